// Lentiva: builds the application and the main window and runs the loop.
#include "app/dialoghi.h"
#include "app/invoicepane.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Chromium refuses to run as root inside its sandbox.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The arguments as the user gave them: Qt takes its own options
    // (-reverse, -style ...) out of argv while the application is built.
    QStringList argomenti;
    for (int i = 1; i < argc; ++i)
        argomenti << QString::fromLocal8Bit(argv[i]);
    const ImpostazioniDellaSessione impostazioni;
    InvoicePane::registerScheme();
    QApplication app(argc, argv);
    impostaApplicazione();

    DialoghiQt dialoghi;
    TFLENTIVA window(QCoreApplication::applicationDirPath() + QDir::separator(), argomenti, dialoghi);
    window.avvia();
    return QApplication::exec();
}
