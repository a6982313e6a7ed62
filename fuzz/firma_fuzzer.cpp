// Signature verification on arbitrary bytes, as an envelope or XML (whichever
// they look like) against the trusted lists of the seeds' certifiers and
// time-stamping unit, and as a trusted list when they name one. Besides
// crashes and hangs: no exception may escape, every outcome has its sentence,
// the outcome agrees with the integrity, nothing is valid that does not
// follow the invoice profile, and readable bytes the archive would take for
// unsigned without a check are unsigned for the check too.
#include "common/errors.h"
#include "firma/firma.h"
#include "invoice/xmlsicuro.h"

#include "fuzzsupport.h"

#include <QFile>

namespace {
const ElencoCertificatori &elenco()
{
    static const ElencoCertificatori lista = [] {
        ElencoCertificatori e;
        for (const QString &percorso : QStringLiteral(LENTIVA_FUZZ_ELENCHI).split(QLatin1Char('|'))) {
            QFile f(percorso);
            if (!f.open(QIODevice::ReadOnly))
                fuzzFailure("reading the seeds' list", f.fileName());
            e.aggiungi(f.readAll(), f.fileName());
        }
        return e;
    }();
    return lista;
}

void controlla(const EsitoVerifica &e, bool dtd)
{
    FUZZ_CHECK(!e.motivo.isEmpty(), ParolaEsito(e.esito));
    if (e.esito == EsitoFirma::Assente) {
        FUZZ_CHECK(e.firmatari.isEmpty() && e.tipo.isEmpty(), e.motivo);
        return;
    }
    FUZZ_CHECK((e.esito == EsitoFirma::NonValida) == !e.integra, e.motivo);
    // The profile admits no DTD: a valid signature can never come with one.
    FUZZ_CHECK(!(e.esito == EsitoFirma::Valida && e.tipo == QLatin1String("XAdES") && dtd), e.motivo);
    for (const Firmatario &f : e.firmatari) {
        FUZZ_CHECK(f.esito <= e.esito && !f.motivo.isEmpty(), f.motivo);
        FUZZ_CHECK(f.integra == (f.esito != EsitoFirma::NonValida), f.motivo);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    try {
        const EsitoVerifica esito
            = VerificaFirma(bytes, FormaFile::Rileva, &elenco(), QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC));
        controlla(esito, bytes.contains("<!DOCTYPE"));
        // The archive's shortcut, taken once the document has been read, never
        // skips a file the check would not call unsigned.
        QString errore;
        if (SenzaFirmaXml(bytes) && CaricaXmlSicuro(bytes, errore))
            FUZZ_CHECK(esito.esito == EsitoFirma::Assente, esito.motivo);
        if (bytes.contains("TrustServiceStatusList")) {
            try {
                ElencoCertificatori e;
                e.aggiungi(bytes, QStringLiteral("elenco.xml"));
                FUZZ_CHECK(e.elenchi().size() == 1, QString());
            } catch (const Exception &) {
                // a list refused with its sentence
            }
        }
    } catch (const std::exception &e) {
        fuzzFailure("an exception escaped", QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
