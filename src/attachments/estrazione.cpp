// Bulk extraction of the attachments of an invoice file.
#include "attachments/estrazione.h"

#include "attachments/allegati.h"
#include "attachments/messaggi.h"
#include "attachments/tagscan.h"
#include "codec/base64.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/strings.h"

#include <cstring>
#include <new>

namespace {
// Where the text after the first "base64," in any letter case begins, or 0.
// Every occurrence ends in ",", so looking at the commas finds the first one.
qsizetype dopoPrefisso(QByteArrayView testo)
{
    const char *inizio = testo.data();
    const char *fine = inizio + testo.size();
    for (const char *p = inizio + 6; p < fine;) {
        const auto *virgola = static_cast<const char *>(std::memchr(p, ',', fine - p));
        if (!virgola)
            return 0;
        if (equalsIgnoreAsciiCase(QByteArrayView(virgola - 6, 6), "base64"))
            return virgola + 1 - inizio;
        p = virgola + 1;
    }
    return 0;
}
} // namespace

qint32 EstraiAllegati(const QString &fileName, const QString &cartella, QString &messaggio)
{
    messaggio.clear();
    qint32 count = 0;
    try {
        if (!fileExists(fileName))
            return 0;
        const QByteArray text = CaricaFattura(fileName);
        // A folder that cannot be made shows as the first file's creation error.
        if (!directoryExists(cartella))
            forceDirectories(cartella);
        qint32 position = 1;
        for (;;) {
            // Views and raw data spare copies of texts that may be large.
            const QByteArrayView block = EstraiElementoVista(text, "Allegati", position);
            if (block.isEmpty())
                break;
            const QByteArray nome = ValoreTag(block, "NomeAttachment");
            QByteArrayView contenuto = trimmedView(ValoreTagVista(block, "Attachment"));
            if (nome.isEmpty() || contenuto.isEmpty())
                continue;
            contenuto = contenuto.sliced(dopoPrefisso(contenuto));
            const QByteArray testo
                = TestoBase64Allegato(QByteArray::fromRawData(contenuto.data(), contenuto.size()), NomeVisibile(nome));
            // DecodeText makes a TDecoderMIME for each attachment and releases it, also on error.
            const QByteArray bytes = TDecoderMIME::DecodeText<TDecoderMIME>(testo);
            writeFileAtomically(PercorsoAllegato(cartella, NomeFileAllegato(nome)), bytes);
            ++count;
        }
    } catch (const Exception &e) {
        messaggio = e.message();
    } catch (const std::bad_alloc &) {
        messaggio = MsgMemoriaInsufficiente;
    } catch (const std::exception &e) {
        messaggio = QString::fromLocal8Bit(e.what());
    } catch (...) {
        messaggio = MsgErroreSconosciuto;
    }
    return count;
}
