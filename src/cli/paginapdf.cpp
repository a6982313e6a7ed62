#include "cli/paginapdf.h"

#include "app/invoicepane.h"
#include "app/pdfexport.h"

#include <QApplication>
#include <unistd.h>

std::unique_ptr<QCoreApplication> applicazionePerPdf(int &argc, char **argv)
{
    // A command-line program needs no screen, even where there is one: nothing
    // is ever shown. A platform the user names still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Chromium refuses to run as root inside its sandbox.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    // Standard error is for the files' errors: the engine's start-up chatter
    // (sandbox, graphics back end, runtime folder) stays out; failures pass.
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            standard(type, context, message);
    });
    InvoicePane::registerScheme();
    return std::make_unique<QApplication>(argc, argv);
}

ConvertitorePdf::ConvertitorePdf() = default;
ConvertitorePdf::~ConvertitorePdf() = default;

QByteArray ConvertitorePdf::converti(const QByteArray &pagina)
{
    if (!pane_)
        pane_ = std::make_unique<InvoicePane>();
    pane_->showPage(pagina);
    return pdfDellaPagina(*pane_);
}
