// The attachment list and the saving of one attachment.
#include "attachments/allegati.h"

#include "attachments/messaggi.h"
#include "attachments/tagscan.h"
#include "codec/base64.h"
#include "codec/buffer.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/text8.h"

#include <QFile>
#include <QStringDecoder>
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

namespace {
constexpr QByteArrayView kApre = "<Allegati>";
constexpr QByteArrayView kChiude = "</Allegati>";

// A value found in the raw bytes, with its inner line ends written as CR LF:
// what it would be in the text read as lines (trimmed values start and end
// with neither CR nor LF, so no line end is added after them).
QByteArray valoreNormalizzato(QByteArrayView blocco, QByteArrayView nome)
{
    QByteArray valore = ValoreTag(blocco, nome);
    if (valore.contains('\r') || valore.contains('\n')) {
        valore = normalizeLineEnds(std::move(valore));
        valore.chop(2);
    }
    return valore;
}

// The length of the bytes read as lines, counted piece by piece: every lone CR
// or LF grows by one, and a last line without an end by two.
class LunghezzaTesto final {
public:
    void aggiungi(QByteArrayView pezzo)
    {
        for (char c : pezzo) {
            if (precedente_ == '\r' && c != '\n')
                ++lunghezza_;
            if (c == '\n' && precedente_ != '\r')
                ++lunghezza_;
            ++lunghezza_;
            precedente_ = c;
        }
    }
    qint64 totale() const
    {
        if (precedente_ == '\r')
            return lunghezza_ + 1;
        return lunghezza_ + (lunghezza_ > 0 && precedente_ != '\n' ? 2 : 0);
    }

private:
    qint64 lunghezza_ = 0;
    char precedente_ = 0;
};
} // namespace

qint32 LeggiAllegati(const QString &fileName, QList<TAllegatoItem> &list, qsizetype pezzo)
{
    // Tags hold no CR or LF, so the blocks are the same in the raw bytes as in
    // the text read as lines: the file is scanned in pieces, keeping only the
    // block at hand, and only the values get their line ends rewritten. A big
    // invoice is thus never held whole.
    QFile file(fileName);
    openForReading(file);
    QList<TAllegatoItem> trovati;
    LunghezzaTesto lunghezza;
    QByteArray attesa; // raw bytes not yet passed over
    bool fine = false;
    qsizetype cercaDa = 0; // where the tag being looked for may still start
    bool dentro = false; // an opening tag starts the bytes waiting
    while (true) {
        const QByteArrayView tag = dentro ? kChiude : kApre;
        const qsizetype i = QByteArrayView(attesa).indexOf(tag, cercaDa);
        if (i >= 0) {
            if (!dentro) {
                attesa.remove(0, i);
                dentro = true;
                cercaDa = kApre.size();
                continue;
            }
            const QByteArrayView blocco = QByteArrayView(attesa).first(i + kChiude.size());
            QByteArray nome = valoreNormalizzato(blocco, "NomeAttachment");
            QByteArray contenuto = valoreNormalizzato(blocco, "Attachment");
            if (!nome.isEmpty() && !contenuto.isEmpty())
                trovati.append({ std::move(nome), std::move(contenuto) });
            attesa.remove(0, i + kChiude.size());
            dentro = false;
            cercaDa = 0;
            continue;
        }
        if (fine)
            break;
        // Not in what is here: keep what a tag could still start in, read on.
        if (dentro) {
            cercaDa = qMax<qsizetype>(cercaDa, attesa.size() - (kChiude.size() - 1));
        } else {
            attesa.remove(0, qMax<qsizetype>(0, attesa.size() - (kApre.size() - 1)));
            cercaDa = 0;
        }
        const qsizetype prima = attesa.size();
        attesa.resize(prima + pezzo);
        const qint64 letti = file.read(attesa.data() + prima, pezzo);
        if (letti < 0)
            throw Exception(QStringLiteral("Stream read error"));
        attesa.resize(prima + letti);
        if (const void *nul = std::memchr(attesa.constData() + prima, 0, static_cast<size_t>(letti))) {
            attesa.truncate(static_cast<const char *>(nul) - attesa.constData());
            fine = true; // the text ends at the first NUL
        }
        lunghezza.aggiungi(QByteArrayView(attesa).sliced(prima));
        if (letti == 0)
            fine = true;
    }
    if (!fine || file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Stream read error"));
    // The same limit as for the text held whole, and nothing listed past it.
    constexpr qint64 kMax = std::numeric_limits<qint32>::max() - 1;
    if (lunghezza.totale() > kMax)
        throw Exception(MsgFileTroppoGrande.arg(displayPath(fileName)).arg(lunghezza.totale()).arg(kMax));
    const auto count = static_cast<qint32>(trovati.size());
    list.append(std::move(trovati));
    return count;
}

namespace {
// Names are 8-bit text of the invoice: UTF-8 when their bytes are UTF-8,
// otherwise code page 1252, which gives every byte its own character, so two
// different names never meet on one file.
QString nomeDecodificato(const QByteArray &nome)
{
    QStringDecoder utf8(
        QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString testo = utf8.decode(nome);
    return utf8.hasError() ? fromWindows1252(nome) : testo;
}
} // namespace

QString NomeVisibile(const QByteArray &nome)
{
    const QString decoded = nomeDecodificato(nome);
    const QString file = plainFileName(decoded);
    return file.isEmpty() ? decoded : file;
}

QString NomeFileAllegato(const QByteArray &nome)
{
    const QString visibile = nomeDecodificato(nome);
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
    // The decoder judges the fill group by group, so "xx==" and "xxx=" give
    // their bytes wherever they stand (padded pieces joined); a fill first or
    // second in a group, or a letter after one, would give wrong bytes.
    if (visti & kRiempimento) {
        for (qsizetype p = 0; (p = testo.indexOf('=', p)) >= 0; ++p) {
            const qsizetype posto = p % 4;
            if (posto < 2 || (posto == 2 && p + 1 < testo.size() && testo[p + 1] != '='))
                throw Exception(MsgRiempimentoFuoriPosto.arg(nomeVisibile));
        }
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
