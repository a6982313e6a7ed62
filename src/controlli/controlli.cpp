// The two levels on one invoice: which format it is, its schema, its content,
// and the outcome with its sentence.
#include "controlli/controlli_p.h"
#include "controlli/uscita.h"

#include "invoice/xmlsicuro.h"

#include <QRegularExpression>
#include <algorithm>

namespace {
const char *const SpazioOrdinaria = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2";
const char *const SpazioSemplificata = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0";
const char *const Spazio11 = "http://www.fatturapa.gov.it/sdi/fatturapa/v1.1";

RisultatoControlli nonControllabile(const QString &motivo)
{
    RisultatoControlli r;
    r.esito = EsitoControllo::NonControllabile;
    r.motivo = motivo;
    return r;
}

QString testoXml(const xmlChar *s)
{
    return s == nullptr ? QString() : QString::fromUtf8(reinterpret_cast<const char *>(s));
}

RisultatoControlli controlla(const SchemiFattura &schemi, xmlDoc *documento, QDate oggi)
{
    const xmlNode *radice = xmlDocGetRootElement(documento);
    if (radice == nullptr)
        return nonControllabile(QStringLiteral("Il file non contiene alcun elemento: non è una fattura elettronica."));
    const QString nome = testoXml(radice->name);
    const QString spazio = radice->ns != nullptr ? testoXml(radice->ns->href) : QString();
    FormatoFattura formato;
    if (nome == QLatin1String("FatturaElettronica") && spazio == QLatin1String(SpazioOrdinaria))
        formato = FormatoFattura::Ordinaria12;
    else if (nome == QLatin1String("FatturaElettronicaSemplificata") && spazio == QLatin1String(SpazioSemplificata))
        formato = FormatoFattura::Semplificata;
    else if (nome == QLatin1String("FatturaElettronica") && spazio == QLatin1String(Spazio11))
        formato = FormatoFattura::Versione11;
    else if (nome.startsWith(QLatin1String("FatturaElettronica")))
        return nonControllabile(
            QStringLiteral("La fattura dichiara lo spazio dei nomi \"%1\", che non è quello di nessun formato della "
                           "fattura elettronica: non c'è uno schema con cui controllarla.")
                .arg(spazio));
    else
        return nonControllabile(
            QStringLiteral("Il file non è una fattura elettronica: il suo elemento principale è %1.").arg(nome));

    const SchemiFattura::Dati &dati = schemi.dati();
    const int i = static_cast<int>(formato);
    if (!dati.schema[i])
        return nonControllabile(dati.problema[i]);

    RisultatoControlli r;
    const Luogo luogo { radice, formato == FormatoFattura::Ordinaria12 };
    r.erroriSchema = ControllaSchema(dati.schema[i].get(), documento, luogo, r.rilievi);
    if (r.erroriSchema < 0)
        return nonControllabile(QStringLiteral("La validazione con lo schema %1 non si è potuta eseguire.")
                                    .arg(QString::fromLatin1(FileSchema(formato))));
    const qsizetype schema = r.rilievi.size();
    ControllaContenuto(formato, luogo, oggi, r.rilievi);
    // The content findings in the order of the file, as the schema's are.
    std::stable_sort(r.rilievi.begin() + schema, r.rilievi.end(),
        [](const Rilievo &a, const Rilievo &b) { return a.riga < b.riga; });
    r.esito = r.errori() > 0 ? EsitoControllo::NonConforme : EsitoControllo::Conforme;
    r.motivo = FraseBarra(r);
    RegistriVettorialiPuliti(); // the caller's own libxml2 work comes next
    return r;
}

QString memoriaInsufficiente()
{
    return QStringLiteral("Memoria insufficiente per controllare la fattura.");
}
} // namespace

QString ParolaEsito(EsitoControllo esito)
{
    switch (esito) {
    case EsitoControllo::Conforme:
        return QStringLiteral("conforme");
    case EsitoControllo::NonConforme:
        return QStringLiteral("non_conforme");
    case EsitoControllo::NonControllabile:
        break;
    }
    return QStringLiteral("non_controllabile");
}

int RisultatoControlli::errori() const
{
    return static_cast<int>(std::count_if(rilievi.begin(), rilievi.end(), [](const Rilievo &r) { return r.scarto; }));
}

int RisultatoControlli::avvisi() const
{
    return static_cast<int>(rilievi.size()) - errori();
}

RisultatoControlli ControllaFattura(const SchemiFattura &schemi, QByteArrayView bytes, QDate oggi)
{
    if (bytes.trimmed().isEmpty())
        return nonControllabile(QStringLiteral("Il file è vuoto: non è una fattura elettronica."));
    try {
        QString errore;
        RegistriVettorialiPuliti();
        const DocumentoXml documento
            = CaricaXmlSicuro(QByteArray::fromRawData(bytes.data(), bytes.size()), errore, RigheXml::OltreLimite);
        if (!documento) {
            static const QRegularExpression riga(QStringLiteral("Line: (\\d+)"));
            const QString n = riga.match(errore).captured(1);
            return nonControllabile(n.isEmpty() || n == QLatin1String("0")
                    ? QStringLiteral("Il file non è un XML ben formato: non si può controllare.")
                    : QStringLiteral("Il file non è un XML ben formato (errore alla riga %1): non si può controllare.")
                          .arg(n));
        }
        return controlla(schemi, documento.get(), oggi);
    } catch (...) {
        return nonControllabile(memoriaInsufficiente());
    }
}

RisultatoControlli ControllaDocumento(const SchemiFattura &schemi, _xmlDoc *documento, QDate oggi)
{
    if (documento == nullptr)
        return nonControllabile(QStringLiteral("Nessun documento da controllare."));
    try {
        return controlla(schemi, documento, oggi);
    } catch (...) {
        return nonControllabile(memoriaInsufficiente());
    }
}
