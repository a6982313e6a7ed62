// The two levels on one invoice: which format it is, its schema, its content,
// and the outcome with its sentence.
#include "controlli/controlli_p.h"
#include "controlli/lettura.h"
#include "controlli/uscita.h"

#include "invoice/xmlsicuro.h"

#include <QRegularExpression>
#include <algorithm>

namespace {
const char *const SpazioOrdinaria = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2";
const char *const SpazioSemplificata = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0";
const char *const Spazio11 = "http://www.fatturapa.gov.it/sdi/fatturapa/v1.1";

QString memoriaInsufficiente()
{
    return QStringLiteral("Memoria insufficiente per controllare la fattura.");
}

RisultatoControlli nonControllabile(const QString &motivo)
{
    RisultatoControlli r;
    r.esito = EsitoControllo::NonControllabile;
    r.motivo = motivo;
    return r;
}

// The content checks on the tree, and the outcome, after the schema's findings.
RisultatoControlli concludi(RisultatoControlli r, FormatoFattura formato, const AlberoFattura &albero, QDate oggi)
{
    const qsizetype schema = r.rilievi.size();
    ControllaContenuto(formato, LuogoAlbero { albero, formato == FormatoFattura::Ordinaria12 }, oggi, r.rilievi);
    // The content findings in the order of the file, as the schema's are.
    std::stable_sort(r.rilievi.begin() + schema, r.rilievi.end(),
        [](const Rilievo &a, const Rilievo &b) { return a.riga < b.riga; });
    r.esito = r.errori() > 0 ? EsitoControllo::NonConforme : EsitoControllo::Conforme;
    r.motivo = FraseBarra(r);
    RegistriVettorialiPuliti(); // the caller's own libxml2 work comes next
    return r;
}

RisultatoControlli controlla(const SchemiFattura &schemi, xmlDoc *documento, QDate oggi)
{
    const xmlNode *radice = xmlDocGetRootElement(documento);
    if (radice == nullptr)
        return nonControllabile(QStringLiteral("Il file non contiene alcun elemento: non è una fattura elettronica."));
    FormatoFattura formato;
    QString motivo;
    if (!FormatoDi(reinterpret_cast<const char *>(radice->name),
            radice->ns != nullptr && radice->ns->href != nullptr ? reinterpret_cast<const char *>(radice->ns->href)
                                                                 : "",
            formato, motivo))
        return nonControllabile(motivo);

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
    AlberoFattura albero;
    AlberoFattura::DaDocumento(documento, albero);
    return concludi(std::move(r), formato, albero, oggi);
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

bool FormatoDi(std::string_view nome, std::string_view spazio, FormatoFattura &formato, QString &motivo)
{
    if (nome == "FatturaElettronica" && spazio == SpazioOrdinaria)
        formato = FormatoFattura::Ordinaria12;
    else if (nome == "FatturaElettronicaSemplificata" && spazio == SpazioSemplificata)
        formato = FormatoFattura::Semplificata;
    else if (nome == "FatturaElettronica" && spazio == Spazio11)
        formato = FormatoFattura::Versione11;
    else if (nome.substr(0, 18) == "FatturaElettronica")
        motivo
            = QStringLiteral("La fattura dichiara lo spazio dei nomi \"%1\", che non è quello di nessun formato della "
                             "fattura elettronica: non c'è uno schema con cui controllarla.")
                  .arg(QString::fromUtf8(spazio.data(), static_cast<qsizetype>(spazio.size())));
    else
        motivo = QStringLiteral("Il file non è una fattura elettronica: il suo elemento principale è %1.")
                     .arg(QString::fromUtf8(nome.data(), static_cast<qsizetype>(nome.size())));
    return motivo.isEmpty();
}

struct ControlliInLettura::Dati {
    AlberoFattura albero;
    AlberoFattura::Costruttore costruttore { albero };
};

ControlliInLettura::ControlliInLettura()
    : d_(std::make_unique<Dati>())
{
}

ControlliInLettura::~ControlliInLettura() = default;

OsservatoreLettura *ControlliInLettura::osservatore()
{
    return &d_->costruttore;
}

RisultatoControlli ControlliInLettura::risultato(
    const SchemiFattura &schemi, QByteArrayView bytes, bool lettoRapido, QDate oggi)
{
    try {
        if (lettoRapido) {
            d_->costruttore.concludi();
            const Nodo *radice = d_->albero.radice();
            FormatoFattura formato;
            QString motivo;
            if (radice != nullptr && FormatoDi(radice->nome, d_->albero.spazioRadice(), formato, motivo)) {
                const SchemiFattura::Dati &dati = schemi.dati();
                const int i = static_cast<int>(formato);
                if (!dati.schema[i])
                    return nonControllabile(dati.problema[i]);
                // Plainly valid: the schema has nothing to say, the content checks read the walk.
                if (dati.rapido[i] && dati.rapido[i]->valido(d_->albero))
                    return concludi(RisultatoControlli(), formato, d_->albero, oggi);
            }
        }
    } catch (const std::bad_alloc &) {
        return nonControllabile(memoriaInsufficiente());
    }
    return ControllaFattura(schemi, bytes, oggi);
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
