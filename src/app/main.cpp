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
    InvoicePane::registerScheme();
    QApplication app(argc, argv);
    impostaApplicazione();

    DialoghiQt dialoghi;
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    TFLENTIVA window(QCoreApplication::applicationDirPath() + QDir::separator(), argomenti, dialoghi);
    window.showMaximized();
    return QApplication::exec();
}
