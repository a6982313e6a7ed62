// The official schemas compiled from SCHEMI/, with nothing read from outside
// that folder and nothing fetched from the network.
#include "controlli/controlli_p.h"

#include "common/folders.h"
#include "invoice/xmlsicuro.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemastypes.h>
#include <mutex>

namespace {
// The schemas of 1.1 and of the simplified 1.0.1 import the signature schema
// from the W3C's site: it is read from the folder instead.
const char *const SchemaFirmaW3c = "http://www.w3.org/TR/2002/REC-xmldsig-core-20020212/xmldsig-core-schema.xsd";
const char *const SchemaFirma = "xmldsig-core-schema.xsd";

// libxml2 has one loader of external resources for the whole process, which
// the invoice module sets to refuse everything. While a thread compiles the
// schemas, this one lets that thread read the files inside their folder, and
// nothing else; every other load still goes to the refusing loader.
thread_local const QString *cartellaAperta = nullptr;
xmlExternalEntityLoader caricatorePrecedente = nullptr;

// The file inside the open folder a URL names, or empty.
QString fileNellaCartella(const char *url)
{
    if (url == nullptr)
        return QString();
    QString percorso = QString::fromUtf8(url);
    if (percorso == QLatin1String(SchemaFirmaW3c))
        percorso = *cartellaAperta + QLatin1Char('/') + QLatin1String(SchemaFirma);
    else if (percorso.startsWith(QLatin1String("file://")))
        percorso = QUrl(percorso).toLocalFile();
    else if (percorso.contains(QLatin1String("://")))
        return QString();
    // libxml2 escapes some characters of the paths it builds.
    if (!QFileInfo::exists(percorso))
        percorso = QUrl::fromPercentEncoding(percorso.toUtf8());
    const QString vero = QFileInfo(percorso).canonicalFilePath();
    const QString cartella = QFileInfo(*cartellaAperta).canonicalFilePath();
    if (vero.isEmpty() || cartella.isEmpty() || !vero.startsWith(cartella + QLatin1Char('/'))
        || !QFileInfo(vero).isFile())
        return QString();
    return vero;
}

xmlParserInputPtr caricaDallaCartella(const char *url, const char *id, xmlParserCtxtPtr ctxt)
{
    if (cartellaAperta == nullptr)
        return caricatorePrecedente(url, id, ctxt);
    const QString file = fileNellaCartella(url);
    if (file.isEmpty())
        return nullptr;
    return xmlNewInputFromFile(ctxt, QFile::encodeName(file).constData());
}

void installaCaricatore()
{
    static std::once_flag una;
    std::call_once(una, [] {
        InizializzaXml(); // the refusing loader first, so that it is the one wrapped
        caricatorePrecedente = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(caricaDallaCartella);
        // libxml2 sets up its built-in types lazily, without a lock.
        xmlSchemaInitTypes();
    });
}

class CartellaAperta final {
public:
    explicit CartellaAperta(const QString &cartella) { cartellaAperta = &cartella; }
    ~CartellaAperta() { cartellaAperta = nullptr; }
    CartellaAperta(const CartellaAperta &) = delete;
    CartellaAperta &operator=(const CartellaAperta &) = delete;
};

struct ErroriCompilazione {
    int riga = 0;
    bool presenti = false;
};

void erroreCompilazione(void *dati, xmlErrorPtr errore)
{
    auto *e = static_cast<ErroriCompilazione *>(dati);
    if (errore != nullptr && errore->level >= XML_ERR_ERROR && !e->presenti) {
        e->presenti = true;
        e->riga = errore->line;
    }
}

QString compila(const QString &cartella, FormatoFattura formato, SchemiPtr<xmlSchema> &schema,
    std::unique_ptr<SchemaRapido> &rapido)
{
    const QString nome = QString::fromLatin1(FileSchema(formato));
    const QString file = cartella + QLatin1Char('/') + nome;
    const QString dove = DirSchemi + nome;
    if (!QFileInfo(file).isFile())
        return QStringLiteral("Manca lo schema %1 accanto al programma: i controlli non si possono eseguire.")
            .arg(dove);
    SchemiPtr<xmlSchemaParserCtxt> ctxt(xmlSchemaNewParserCtxt(QFile::encodeName(file).constData()));
    if (!ctxt)
        return QStringLiteral("Memoria insufficiente per leggere lo schema %1.").arg(dove);
    ErroriCompilazione errori;
    xmlSchemaSetParserStructuredErrors(ctxt.get(), erroreCompilazione, &errori);
    schema.reset(xmlSchemaParse(ctxt.get()));
    if (schema && !errori.presenti) {
        rapido = std::make_unique<SchemaRapido>(file);
        return QString();
    }
    schema.reset();
    return QStringLiteral("Lo schema %1 è danneggiato o incompleto%2: i controlli non si possono eseguire.")
        .arg(dove, errori.riga > 0 ? QStringLiteral(" (riga %1)").arg(errori.riga) : QString());
}
} // namespace

const char *FileSchema(FormatoFattura formato)
{
    switch (formato) {
    case FormatoFattura::Ordinaria12:
        return "Schema_VFPA12_V1.2.3.xsd";
    case FormatoFattura::Semplificata:
        return "Schema_VFSM10_v1.0.2.xsd";
    case FormatoFattura::Versione11:
        break;
    }
    return "fatturapa_v1.1.xsd";
}

SchemiFattura::SchemiFattura(const QString &cartella)
    : d_(std::make_unique<Dati>())
{
    d_->cartella = cartella;
    installaCaricatore();
    const bool esiste = QFileInfo(cartella).isDir();
    // Compiling shares state inside libxml2 (once per run, so one at a time
    // costs nothing); checking against the compiled schemas does not.
    static std::mutex compilazione;
    const std::lock_guard<std::mutex> uno(compilazione);
    CartellaAperta aperta(d_->cartella);
    for (int i = 0; i < NumeroFormati; ++i) {
        if (!esiste)
            d_->problema[i]
                = QStringLiteral("Manca la cartella %1 accanto al programma: i controlli non si possono eseguire.")
                      .arg(DirSchemi);
        else
            d_->problema[i] = compila(d_->cartella, static_cast<FormatoFattura>(i), d_->schema[i], d_->rapido[i]);
    }
}

SchemiFattura::~SchemiFattura() = default;

const QString &SchemiFattura::cartella() const
{
    return d_->cartella;
}

QString SchemiFattura::problema() const
{
    for (const QString &p : d_->problema)
        if (!p.isEmpty())
            return p;
    return QString();
}

SchemiPigri::SchemiPigri(QString cartella)
    : cartella_(std::move(cartella))
{
}

SchemiPigri::~SchemiPigri() = default;

const SchemiFattura &SchemiPigri::schemi()
{
    std::call_once(compilati_, [this] { schemi_ = std::make_unique<SchemiFattura>(cartella_); });
    return *schemi_;
}
