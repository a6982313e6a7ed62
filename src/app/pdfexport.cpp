#include "app/pdfexport.h"

#include "app/invoicepane.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"

#include <QEventLoop>
#include <QFile>
#include <QPageSize>
#include <QWebEnginePage>
#include <sys/stat.h>

namespace {
// A file replaced keeps its old mode, which may be the 0600 the engine gives
// its own PDFs; ours are meant to be shared.
bool rendiLeggibile(const QString &path)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::chmod(QFile::encodeName(path).constData(), 0644 & ~mask) == 0;
}
} // namespace

QPageLayout impaginazionePdf()
{
    return QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

QString nomePdfPer(const QString &fileFattura)
{
    // A signed invoice is named after the invoice inside: a.xml.p7m.
    const QString base = hasExtension(fileFattura, u".p7m") ? removeFileExt(fileFattura) : fileFattura;
    return removeFileExt(base) + QStringLiteral(".pdf");
}

QByteArray pdfDellaPagina(InvoicePane &pane)
{
    const Exception fallita(QStringLiteral("Esportazione PDF non riuscita"));
    if (!pane.hasPage())
        throw fallita;
    // User input stays out while waiting, so no second export or open can
    // start in the middle of this one.
    QEventLoop loop;
    if (!pane.pageReady()) {
        bool caricata = false;
        const auto connection = QObject::connect(&pane, &InvoicePane::pageShown, &loop, [&](bool ok) {
            caricata = ok;
            loop.quit();
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        QObject::disconnect(connection);
        if (!caricata)
            throw fallita;
    }
    QByteArray pdf;
    bool pronto = false;
    pane.page()->printToPdf(
        [&](const QByteArray &bytes) {
            pdf = bytes;
            pronto = true;
            loop.quit();
        },
        impaginazionePdf());
    if (!pronto)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (pdf.isEmpty())
        throw fallita;
    return pdf;
}

void esportaPdf(InvoicePane &pane, const QString &path)
{
    try {
        writeFileAtomically(path, pdfDellaPagina(pane));
    } catch (const Exception &) {
        throw Exception(QStringLiteral("Esportazione PDF non riuscita: ") + path);
    }
    if (!rendiLeggibile(path))
        throw Exception(QStringLiteral("Esportazione PDF non riuscita: ") + path);
}
