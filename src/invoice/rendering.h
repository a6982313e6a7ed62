// Rendering an invoice with an XSLT stylesheet, the transliteration of
// accented letters, and the 8-bit bytes the browser pane receives.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct _xmlDoc;

// Compiled stylesheets, kept by their owner (the window for its run, the
// command line for one command) and handed to each rendering. For the window
// a stylesheet is compiled again as soon as its file or one it includes
// changed its size or modification time, so an edited stylesheet is still
// picked up; a command over many files looks at them once, at the first use.
// One that fails to load or compile is never kept.
class FogliCompilati final {
public:
    enum class Controllo { AdOgniUso, UnaVolta };
    explicit FogliCompilati(Controllo controllo = Controllo::AdOgniUso);
    ~FogliCompilati();
    FogliCompilati(const FogliCompilati &) = delete;
    FogliCompilati &operator=(const FogliCompilati &) = delete;
    // How many stylesheets were compiled, for tests and benchmarks.
    int compilazioni() const;

private:
    friend QString TrasformaDocumentoXsl(_xmlDoc *, const QString &, FogliCompilati &);
    struct Dati;
    std::unique_ptr<Dati> d_;
};

// Applies the stylesheet to the invoice and returns the result as text.
// Throws Exception: "Errore nel caricamento XML: %1", "Errore nel caricamento
// XSL: %1", or the processor's own description of a failed transform.
QString TrasformaXsl(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli);
// The same with the stylesheet compiled for this one call.
QString TrasformaXsl(const QString &fileXml, const QString &foglioStile);
// The same on a document the caller has parsed (and perhaps completed), which
// the transform only reads. Throws as TrasformaXsl does, but for the loading.
QString TrasformaDocumentoXsl(_xmlDoc *doc, const QString &foglioStile, FogliCompilati &fogli);

// Replaces the twelve accented Italian vowels and the euro sign by plain forms
// (a' ... EU). Once a row applies, the whole text has passed through code page
// 1252, so characters it lacks are replaced as the conversion does.
void TraslitteraHtml(QString &html);

// Text folded for a search that finds what the page shows: lower case, the
// accented vowels in the page's plain form (à, a' and A' all read a'), every
// apostrophe (’ ‘ ` ´) as '.
QString PiegaPerRicerca(QStringView testo);

// The page as the pane receives it: transliterated, then code page 1252.
QByteArray TestoPerPannello(QString html);
