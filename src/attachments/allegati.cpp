// The attachment list and the saving of one attachment.
#include "attachments/allegati.h"

#include "attachments/messaggi.h"
#include "attachments/tagscan.h"
#include "codec/base64.h"
#include "codec/buffer.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"

#include <QFile>
#include <array>
#include <cstring>
#include <limits>

namespace {
// Character classes of an attachment's text, as bits so one pass can OR them.
enum : uchar { kAlfabeto = 0, kSpazio = 1, kRiempimento = 2, kEstraneo = 4 };

constexpr std::array<uchar, 256> kClassi = [] {
    std::array<uchar, 256> classi {};
    classi.fill(kEstraneo);
    for (char c : Base64Alphabet)
        classi[static_cast<uchar>(c)] = kAlfabeto;
    for (uchar c : { ' ', '\t', '\r', '\n' })
        classi[c] = kSpazio;
    classi['='] = kRiempimento;
    return classi;
}();

QString mostraCarattere(uchar c)
{
    if (c > 0x20 && c < 0x7f)
        return QString::asprintf("\"%c\"", c);
    return QString::asprintf("(byte 0x%02X)", c);
}
} // namespace

QByteArray CaricaFattura(const QString &fileName)
{
    // One byte short of the 32-bit limit, so the position after the last
    // closing tag still fits.
    constexpr qsizetype kMax = std::numeric_limits<qint32>::max() - 1;
    QByteArray text = loadTextAsLines(fileName);
    if (text.size() > kMax)
        throw Exception(MsgFileTroppoGrande.arg(displayPath(fileName)).arg(text.size()).arg(kMax));
    return text;
}

qint32 LeggiAllegati(const QString &fileName, QList<TAllegatoItem> &list)
{
    const QByteArray text = CaricaFattura(fileName);
    qint32 count = 0;
    qint32 position = 1;
    for (;;) {
        const qint32 p1 = PosDa("<Allegati>", text, position);
        if (p1 == 0)
            break;
        const qint32 p2 = PosDa("</Allegati>", text, p1);
        if (p2 == 0)
            break;
        position = p2 + 11;
        const QByteArrayView block = QByteArrayView(text).sliced(p1 - 1, position - p1);
        QByteArray nome = ValoreTag(block, "NomeAttachment");
        QByteArray contenuto = ValoreTag(block, "Attachment");
        if (nome.isEmpty() || contenuto.isEmpty())
            continue;
        list.append({ std::move(nome), std::move(contenuto) });
        ++count;
    }
    return count;
}

QString NomeVisibile(const QByteArray &nome)
{
    const QString decoded = QFile::decodeName(nome);
    const QString file = plainFileName(decoded);
    return file.isEmpty() ? decoded : file;
}

QString NomeFileAllegato(const QByteArray &nome)
{
    const QString visibile = QFile::decodeName(nome);
    const QString file = plainFileName(visibile);
    if (file.isEmpty())
        throw Exception(MsgNomeAllegatoNonValido.arg(visibile));
    return file;
}

QString PercorsoAllegato(const QString &cartella, const QString &nomeFile)
{
    return cartella.isEmpty() ? nomeFile : includeTrailingSeparator(cartella) + nomeFile;
}

QByteArray TestoBase64Allegato(const QByteArray &contenuto, const QString &nomeVisibile)
{
    const auto *in = reinterpret_cast<const uchar *>(contenuto.constData());
    const qsizetype size = contenuto.size();
    uchar visti = 0;
    qsizetype i = 0;
    for (; i < size && !(kClassi[in[i]] & kSpazio); ++i)
        visti |= kClassi[in[i]];
    // From the first blank on, one pass both checks and drops the blanks.
    QByteArray testo = contenuto;
    if (i < size) {
        testo = uninitializedBuffer(size);
        char *out = testo.data();
        std::memcpy(out, in, i);
        qsizetype kept = i;
        for (; i < size; ++i) {
            const uchar classe = kClassi[in[i]];
            visti |= classe;
            out[kept] = static_cast<char>(in[i]);
            kept += !(classe & kSpazio);
        }
        testo.truncate(kept);
    }
    if (visti & kEstraneo) {
        for (i = 0; i < size; ++i)
            if (kClassi[in[i]] == kEstraneo)
                throw Exception(MsgCarattereNonBase64.arg(nomeVisibile, mostraCarattere(in[i])));
    }
    if (visti & kRiempimento) {
        qsizetype finale = 0;
        while (finale < testo.size() && testo[testo.size() - 1 - finale] == '=')
            ++finale;
        if (finale > 2 || std::memchr(testo.constData(), '=', testo.size() - finale))
            throw Exception(MsgRiempimentoFuoriPosto.arg(nomeVisibile));
    }
    return testo;
}

void SalvaAllegato(const TAllegatoItem &item, const QString &cartella)
{
    // The text goes in as stored, a "base64," prefix included: its "," is
    // refused by name here, where decoding it would write wrong bytes.
    const QByteArray testo = TestoBase64Allegato(item.Contenuto, NomeVisibile(item.Nome));
    // DecodeText makes this save's own TDecoderMIME and releases it, also on error.
    const QByteArray bytes = TDecoderMIME::DecodeText<TDecoderMIME>(testo);
    writeFileAtomically(PercorsoAllegato(cartella, NomeFileAllegato(item.Nome)), bytes);
}
