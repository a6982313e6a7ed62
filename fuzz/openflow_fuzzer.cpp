// The whole open road on arbitrary bytes, as the window takes it, with a
// display that only keeps what it is given: format, stylesheet and page,
// attachment list, header; a message of the exchange system takes its own
// road, as in the window. Expected failures end the road with Exception;
// a crash, a sanitizer report, any other exception or a hang is a fault.
#include "attachments/allegati.h"
#include "common/errors.h"
#include "common/folders.h"
#include "invoice/openflow.h"
#include "messaggi/pagina.h"

#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <map>

namespace {
struct HeadlessDisplay final : InvoiceDisplay {
    QByteArray page;
    QList<TAllegatoItem> attachments;
    std::map<CampoTestata, QByteArray> header;
    QStringList messages;

    // The harness only ever opens names ending in .xml.
    QString extractEnvelope(const QString &envelope) override { fuzzFailure("envelope asked for", envelope); }
    void showPage(const QByteArray &bytes) override { page = bytes; }
    void loadAttachments(const QString &fileXml) override
    {
        attachments.clear();
        LeggiAllegati(fileXml, attachments);
    }
    void setHeaderField(CampoTestata field, const QByteArray &text) override { header[field] = text; }
    void plainMessage(const QString &text) override { messages << text; }
    bool showOtherDocument(const QString &fileXml, const StatoFattura &stato, FogliCompilati &fogli) override
    {
        const std::optional<MessaggioSdI> messaggio = MostraMessaggio(fileXml, stato.DirProgramma, *this, fogli);
        FUZZ_CHECK(!messaggio || (!page.isEmpty() && header.size() == 4), QString());
        return messaggio.has_value();
    }
};

// A program folder of this process, with the repository's stylesheets.
QString programFolder()
{
    static const QString folder = [] {
        const QString dir = scratchDir() + QStringLiteral("/programma/");
        const QString styles = dir + DirFogliStile;
        QDir().mkpath(styles);
        const QDir source(QStringLiteral(LENTIVA_STYLESHEET_DIR));
        const QStringList sheets = source.entryList({ QStringLiteral("*.xsl") }, QDir::Files);
        if (sheets.size() < 5)
            fuzzFailure("stylesheets missing", source.path());
        for (const QString &name : sheets)
            if (!QFile::copy(source.filePath(name), styles + name))
                fuzzFailure("copying a stylesheet", name);
        return dir;
    }();
    return folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString file = writeScratchFile(scratchDir() + QStringLiteral("/fattura.xml"), inputBytes(data, size));
    StatoFattura stato;
    stato.DirProgramma = programFolder();
    stato.FoglioStile = FoglioPredefinitoIn(stato.DirProgramma);
    HeadlessDisplay display;
    try {
        MostraFattura(file, stato, display);
    } catch (const Exception &) {
        return 0;
    }
    FUZZ_CHECK(stato.FileXml == file, stato.FileXml);
    // The road either stops with a message before the page or shows the page.
    FUZZ_CHECK(!display.page.isEmpty() || !display.messages.isEmpty(), QString());
    return 0;
}
