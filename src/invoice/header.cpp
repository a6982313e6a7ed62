#include "invoice/header.h"

#include "common/strings.h"
#include "common/text8.h"
#include "invoice/xmlquery.h"

const TipoDocumento TabTipiDocumento[23] = {
    { "TD01", "fattura" },
    { "TD02", "acconto/anticipo su fattura" },
    { "TD03", "acconto/anticipo su parcella" },
    { "TD04", "nota di credito" },
    { "TD05", "nota di debito" },
    { "TD06", "parcella" },
    { "TD07", "fattura semplificata" },
    { "TD08", "nota di credito semplificata" },
    { "TD09", "nota di debito semplificata" },
    { "TD16", "integrazione fattura reverse charge interno" },
    { "TD17", "integrazione/autofattura per acquisto servizi dall'estero" },
    { "TD18", "integrazione per acquisto di beni intracomunitari" },
    { "TD19", "integrazione/autofattura per acquisto di beni ex art.17 c.2 DPR 633/72" },
    { "TD20",
        "autofattura per regolarizzazione e integrazione delle fatture (ex art. 6 c.9-bis d.lgs. 471/97 o art. 46 "
        "c.5 d.l. 331/93)" },
    { "TD21", "autofattura per splafonamento" },
    { "TD22", "estrazione beni da Deposito IVA" },
    { "TD23", "estrazione beni da Deposito IVA con versamento dell'IVA" },
    { "TD24", "fattura differita di cui all'art. 21, comma 4, terzo periodo lett. a) DPR 633/72" },
    { "TD25", "fattura differita di cui all'art. 21, comma 4, terzo periodo lett. b) DPR 633/72" },
    { "TD26", "cessione di beni ammortizzabili e per passaggi interni (ex art.36 DPR 633/72)" },
    { "TD27", "fattura per autoconsumo o per cessioni gratuite senza rivalsa" },
    { "TD28", "acquisti da San Marino con IVA (fattura cartacea)" },
    { "TD29", "comunicazione per omessa o irregolare fatturazione (art. 6, comma 8, D.Lgs. 471/97)" },
};

QByteArray DescrTipoDoc(const QByteArray &codice)
{
    for (const TipoDocumento &riga : TabTipiDocumento)
        if (codice == riga.codice)
            return QByteArray(riga.codice) + ' ' + riga.descrizione;
    return QByteArray();
}

void LeggiDatiDocumento(const QString &fileXml, MessageSink &messages,
    const std::function<void(CampoTestata, const QByteArray &)> &setField)
{
    static const struct {
        const char *percorso;
        CampoTestata campo;
    } kQuery[] = {
        { "CedentePrestatore.DatiAnagrafici.Anagrafica.Denominazione", CampoTestata::Fornitore },
        { "DatiGenerali.DatiGeneraliDocumento.TipoDocumento", CampoTestata::TipoDocumento },
        { "DatiGenerali.DatiGeneraliDocumento.Data", CampoTestata::Data },
        { "DatiGenerali.DatiGeneraliDocumento.Numero", CampoTestata::Numero },
    };
    QByteArrayList values;
    for (const auto &q : kQuery) {
        if (!LeggiValoriXml(fileXml, q.percorso, values, messages))
            continue;
        const QByteArray text = trimControls(joinLinesCrLf(values));
        setField(q.campo, q.campo == CampoTestata::TipoDocumento ? DescrTipoDoc(text) : text);
    }
}
