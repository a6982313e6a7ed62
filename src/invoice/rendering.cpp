// libxslt rendering with a locked-down processor, and the transliteration.
#include "invoice/rendering.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/text8.h"
#include "invoice/xmlcache.h"
#include "invoice/xmlload.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>
#include <algorithm>
#include <libxml/uri.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/xsltutils.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
struct Riga {
    char16_t carattere;
    char byte;
    const char *sostituto;
};

// Applied in this order.
constexpr Riga kTraslitterazioni[] = {
    { 0x00C0, '\xC0', "A'" },
    { 0x00E0, '\xE0', "a'" },
    { 0x00C8, '\xC8', "E'" },
    { 0x00E8, '\xE8', "e'" },
    { 0x00C9, '\xC9', "E'" },
    { 0x00E9, '\xE9', "e'" },
    { 0x00CC, '\xCC', "I'" },
    { 0x00EC, '\xEC', "i'" },
    { 0x00D2, '\xD2', "O'" },
    { 0x00F2, '\xF2', "o'" },
    { 0x00D9, '\xD9', "U'" },
    { 0x00F9, '\xF9', "u'" },
    { 0x20AC, '\x80', "EU" },
};

// Applies the table and returns the 8-bit text; applied stays false (and the
// result empty) when no row applies and the text is left alone.
QByteArray transliterate8(const QString &html, bool &applied)
{
    applied = false;
    QByteArray bytes;
    for (const Riga &riga : kTraslitterazioni) {
        // Before the first conversion the rows look at the original text;
        // afterwards at its 8-bit form, which is what the rows would see.
        const bool present = applied ? bytes.contains(riga.byte) : html.contains(QChar(riga.carattere));
        if (!present)
            continue;
        if (!applied) {
            bytes = toWindows1252(html);
            applied = true;
        }
        bytes.replace(riga.byte, riga.sostituto);
    }
    return bytes;
}

// Stylesheets may pull in their own includes; nothing else is ever loaded.
xmlDocPtr stylesheetLoader(const xmlChar *uri, xmlDictPtr dict, int options, void *, xsltLoadType type)
{
    if (type != XSLT_LOAD_STYLESHEET || uri == nullptr)
        return nullptr;
    // Stylesheets are named by file URLs (see TrasformaXsl), so includes
    // resolve to file URLs too.
    const QUrl url = QUrl::fromEncoded(QByteArray(reinterpret_cast<const char *>(uri)));
    if (!url.isLocalFile())
        return nullptr;
    const QString path = url.toLocalFile();
    try {
        XmlLoadError error;
        XmlDocPtr doc = parseXml(readWholeFile(path), QByteArray(reinterpret_cast<const char *>(uri)), Whitespace::Keep,
            error, dict, options & XML_PARSE_NOCDATA);
        return doc.release();
    } catch (const Exception &) {
        return nullptr;
    }
}

void initXslt()
{
    static std::once_flag once;
    std::call_once(once, [] {
        initXmlLibraries();
        xsltSetLoaderFunc(stylesheetLoader);
    });
}

XmlPtr<xsltSecurityPrefs> lockedDownPrefs()
{
    XmlPtr<xsltSecurityPrefs> prefs(xsltNewSecurityPrefs());
    for (xsltSecurityOption option : { XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
             XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK })
        xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
    return prefs;
}

int appendToByteArray(void *context, const char *buffer, int len)
{
    static_cast<QByteArray *>(context)->append(buffer, len);
    return len;
}

// The result serialised as UTF-8 whatever the stylesheet's output encoding,
// so that non-ASCII characters arrive as characters, not as references.
QByteArray serializeUtf8(xmlDoc *result, xsltStylesheet *style)
{
    QByteArray out;
    xmlOutputBufferPtr buffer
        = xmlOutputBufferCreateIO(appendToByteArray, nullptr, &out, xmlFindCharEncodingHandler("UTF-8"));
    if (buffer == nullptr)
        throw Exception(QStringLiteral("Out of memory"));
    const int written = xsltSaveResultTo(buffer, result, style);
    xmlOutputBufferClose(buffer);
    if (written < 0)
        throw Exception(QStringLiteral("Errore nella scrittura del risultato XSL"));
    return out;
}
} // namespace

namespace {
// What a stylesheet file looked like when it was compiled: one look-up, no
// time zone (a local time would make every look read the zone file).
struct Impronta {
    QString percorso;
    qint64 dimensione = -1;
    qint64 secondi = 0;
    qint64 nanosecondi = 0;
    bool operator==(const Impronta &) const = default;
};

Impronta improntaDi(const QString &percorso)
{
    struct stat s;
    if (::stat(QFile::encodeName(percorso).constData(), &s) != 0)
        return { percorso };
    return { percorso, static_cast<qint64>(s.st_size), static_cast<qint64>(s.st_mtim.tv_sec),
        static_cast<qint64>(s.st_mtim.tv_nsec) };
}

// The files the compiled stylesheet was read from besides its own: its
// includes, and its imports with theirs.
void fileInclusi(const xsltStylesheet *style, QList<Impronta> &file)
{
    for (const xsltDocument *d = style->docList; d != nullptr; d = d->next)
        if (d->doc != nullptr && d->doc->URL != nullptr)
            file << improntaDi(QUrl::fromEncoded(reinterpret_cast<const char *>(d->doc->URL)).toLocalFile());
    for (const xsltStylesheet *i = style->imports; i != nullptr; i = i->next) {
        if (i->doc != nullptr && i->doc->URL != nullptr)
            file << improntaDi(QUrl::fromEncoded(reinterpret_cast<const char *>(i->doc->URL)).toLocalFile());
        fileInclusi(i, file);
    }
}

// Loads and compiles the stylesheet; null when it cannot be loaded or holds errors.
XmlPtr<xsltStylesheet> compila(const QString &foglioStile)
{
    // Its messages stay here: a transform reports its own, whether or not
    // the stylesheet was compiled for it.
    const XmlErrorCapture compilazione;
    try {
        XmlLoadError error;
        // A file URL, so that relative includes resolve even from folders
        // whose names hold blanks or other characters a URI must escape.
        const QByteArray url = QUrl::fromLocalFile(QFileInfo(foglioStile).absoluteFilePath()).toEncoded();
        XmlDocPtr styleDoc
            = parseXml(readWholeFile(foglioStile), url, Whitespace::Keep, error, nullptr, XML_PARSE_NOCDATA);
        if (!styleDoc)
            return nullptr;
        XmlPtr<xsltStylesheet> style(xsltParseStylesheetDoc(styleDoc.get()));
        if (style)
            styleDoc.release(); // the stylesheet owns its document now
        if (style && style->errors == 0)
            return style;
    } catch (const Exception &) {
    }
    return nullptr;
}
} // namespace

struct FogliCompilati::Dati {
    struct Voce {
        XmlPtr<xsltStylesheet> foglio;
        QList<Impronta> file; // the stylesheet's own first
    };
    FogliCompilati::Controllo controllo;
    std::map<QString, Voce> voci;
    int compilazioni = 0;
};

FogliCompilati::FogliCompilati(Controllo controllo)
    : d_(std::make_unique<Dati>(Dati { controllo, {}, 0 }))
{
}

FogliCompilati::~FogliCompilati() = default;

int FogliCompilati::compilazioni() const
{
    return d_->compilazioni;
}

QString TrasformaXsl(const QString &fileXml, const QString &foglioStile)
{
    FogliCompilati soloQuesta;
    return TrasformaXsl(fileXml, foglioStile, soloQuesta);
}

QString TrasformaXsl(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli)
{
    initXslt();
    XmlErrorCapture capture;

    std::shared_ptr<xmlDoc> invoice;
    try {
        XmlLoadError error;
        invoice = FatturaAnalizzata(fileXml, error);
    } catch (const Exception &) {
    }
    if (!invoice)
        throw Exception(QStringLiteral("Errore nel caricamento XML: %1").arg(fileXml));
    return TrasformaDocumentoXsl(invoice.get(), foglioStile, fogli);
}

QString TrasformaDocumentoXsl(xmlDoc *invoice, const QString &foglioStile, FogliCompilati &fogli)
{
    initXslt();
    XmlErrorCapture capture;

    auto &voci = fogli.d_->voci;
    auto voce = voci.find(foglioStile);
    const auto immutato = [](const FogliCompilati::Dati::Voce &v) {
        return std::all_of(v.file.begin(), v.file.end(), [](const Impronta &i) { return improntaDi(i.percorso) == i; });
    };
    if (voce == voci.end()
        || (fogli.d_->controllo == FogliCompilati::Controllo::AdOgniUso && !immutato(voce->second))) {
        if (voce != voci.end())
            voci.erase(voce);
        // Looked at before it is read, so a change while it compiles shows next time.
        const Impronta propria = improntaDi(foglioStile);
        XmlPtr<xsltStylesheet> compilato = compila(foglioStile);
        ++fogli.d_->compilazioni;
        if (!compilato)
            throw Exception(QStringLiteral("Errore nel caricamento XSL: %1").arg(foglioStile));
        QList<Impronta> file { propria };
        fileInclusi(compilato.get(), file);
        voce = voci.emplace(foglioStile, FogliCompilati::Dati::Voce { std::move(compilato), std::move(file) }).first;
    }
    xsltStylesheet *const style = voce->second.foglio.get();

    XmlPtr<xsltTransformContext> context(xsltNewTransformContext(style, invoice));
    XmlPtr<xsltSecurityPrefs> prefs = lockedDownPrefs();
    if (!context || xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        throw Exception(QStringLiteral("Errore nella trasformazione XSL"));
    XmlDocPtr result(xsltApplyStylesheetUser(style, invoice, nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state == XSLT_STATE_ERROR || context->state == XSLT_STATE_STOPPED) {
        const QString reason = capture.firstMessage();
        throw Exception(reason.isEmpty() ? QStringLiteral("Errore nella trasformazione XSL") : reason);
    }
    const QByteArray page = serializeUtf8(result.get(), style);
    // The result tree can be large; it goes before the text is built, and its
    // pages go back to the system rather than stay as scattered free memory.
    result.reset();
    context.reset();
#ifdef __GLIBC__
    // Only after a big page: the walk over the heap costs a small open more
    // than its transform would gain.
    if (page.size() >= (qsizetype(1) << 20))
        malloc_trim(0);
#endif
    return QString::fromUtf8(page);
}

void TraslitteraHtml(QString &html)
{
    bool applied = false;
    const QByteArray bytes = transliterate8(html, applied);
    if (applied)
        html = fromWindows1252(bytes);
}

QString PiegaPerRicerca(QStringView testo)
{
    QString r;
    r.reserve(testo.size() + 8);
    for (const QChar c : testo) {
        const char16_t u = c.unicode();
        if (u == u'`' || u == 0x00B4 || u == 0x2018 || u == 0x2019) {
            r += u'\'';
        } else if (u < 0x80) {
            r += QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u);
        } else if (const auto *riga = std::find_if(std::begin(kTraslitterazioni), std::end(kTraslitterazioni),
                       [u](const Riga &t) { return t.carattere == u; });
                   riga != std::end(kTraslitterazioni)) {
            r += QString::fromLatin1(riga->sostituto).toLower();
        } else {
            r += c.toLower();
        }
    }
    return r;
}

QByteArray TestoPerPannello(QString html)
{
    bool applied = false;
    QByteArray bytes = transliterate8(html, applied);
    return applied ? bytes : toWindows1252(html);
}
