// The exchange system's checks on arbitrary bytes: from the bytes and from the
// document parsed beforehand, against the program's schemas compiled once.
// Besides crashes: no exception may escape, both entries agree, the outcome
// agrees with the findings, at most 50 schema findings are listed (then one
// 00201), every finding has its sentence and the JSON is one line.
#include "controlli/controlli.h"
#include "controlli/uscita.h"
#include "invoice/xmlsicuro.h"

#include "fuzzsupport.h"

namespace {
const SchemiFattura &schemi()
{
    static const SchemiFattura s(QStringLiteral(LENTIVA_SCHEMI_DIR));
    if (!s.problema().isEmpty())
        fuzzFailure("compiling the schemas", s.problema());
    return s;
}

void verifica(const RisultatoControlli &r)
{
    FUZZ_CHECK(!r.motivo.isEmpty() && !FraseBarra(r).isEmpty(), ParolaEsito(r.esito));
    if (r.esito == EsitoControllo::NonControllabile) {
        FUZZ_CHECK(r.rilievi.isEmpty(), r.motivo);
        return;
    }
    FUZZ_CHECK((r.esito == EsitoControllo::NonConforme) == (r.errori() > 0), r.motivo);
    int schema = 0, oltre = 0;
    for (const Rilievo &x : r.rilievi) {
        FUZZ_CHECK(!x.messaggio.isEmpty() && x.corpo >= 0 && x.riga >= 0, x.codice + x.campo);
        schema += x.codice == QLatin1String("00200");
        oltre += x.codice == QLatin1String("00201");
    }
    FUZZ_CHECK(
        schema == qMin(r.erroriSchema, 50) && oltre == (r.erroriSchema > 50 ? 1 : 0), QString::number(r.erroriSchema));
    const QByteArray json = RisultatoJson(QStringLiteral("f.xml"), r);
    FUZZ_CHECK(json.endsWith("}\n") && json.count('\n') == 1, QString::fromUtf8(json.left(200)));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    const QDate oggi(2024, 6, 1);
    try {
        const RisultatoControlli r = ControllaFattura(schemi(), bytes, oggi);
        verifica(r);
        QString errore;
        const DocumentoXml doc = CaricaXmlSicuro(bytes, errore, RigheXml::OltreLimite);
        if (doc) {
            const QByteArray daDocumento = RisultatoJson(QString(), ControllaDocumento(schemi(), doc.get(), oggi));
            FUZZ_CHECK(daDocumento == RisultatoJson(QString(), r), QString::fromUtf8(daDocumento.left(300)));
        }
        RisultatoTesto(QStringLiteral("f.xml"), r);
    } catch (const std::exception &e) {
        fuzzFailure("an exception escaped", QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
