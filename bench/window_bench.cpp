// The window from the outside: the program's own start (main.cpp's steps)
// with an invoice on the command line, until the pane reports the first page
// shown; then a second, bigger invoice chosen through "Seleziona", until its
// page is shown; then the signature panel's check of the second file, alone.
// Prints the times in milliseconds and quits.
//
// Usage: window_bench FIRST.xml SECOND.xml  (under QT_QPA_PLATFORM=offscreen)
#include "app/dialoghi.h"
#include "app/invoicepane.h"
#include "app/mainwindow.h"
#include "app/pannellofirma.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {
// Milliseconds since the kernel started this process.
double msDallAvvio()
{
    FILE *f = std::fopen("/proc/self/stat", "r");
    unsigned long long avvio = 0;
    if (f != nullptr) {
        // Field 22 is the start time in clock ticks after boot; the command
        // name in field 2 holds no blanks for this program.
        for (int i = 1; i < 22; ++i)
            std::fscanf(f, "%*s");
        std::fscanf(f, "%llu", &avvio);
        std::fclose(f);
    }
    timespec ora {};
    clock_gettime(CLOCK_BOOTTIME, &ora);
    const double oraMs = ora.tv_sec * 1e3 + ora.tv_nsec / 1e6;
    return oraMs - double(avvio) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// "Seleziona" answers with the second invoice; every message ends the run.
class DialoghiBench final : public Dialoghi {
public:
    QString scegliFile(QWidget *, const ImpostazioniDialogo &) override { return risposta; }
    QString scegliFileDaSalvare(QWidget *, const ImpostazioniDialogo &, const QString &) override { return {}; }
    QString scegliCartella(QWidget *, const QString &, const QString &) override { return {}; }
    void stampa(QWidget *, QWebEngineView *) override { }
    void messaggio(QWidget *, const QString &testo) override { fallisci(testo); }
    void errore(QWidget *, const QString &testo) override { fallisci(testo); }
    void apri(const QUrl &) override { }
    QString risposta;

private:
    static void fallisci(const QString &testo)
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(testo));
        std::exit(1);
    }
};
} // namespace

int main(int argc, char *argv[])
{
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    InvoicePane::registerScheme();
    QApplication app(argc, argv);
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    if (argomenti.size() != 2) {
        std::fprintf(stderr, "usage: window_bench FIRST.xml SECOND.xml\n");
        return 2;
    }
    DialoghiBench dialoghi;
    dialoghi.risposta = argomenti[1];
    TFLENTIVA window(QCoreApplication::applicationDirPath() + QDir::separator(), { argomenti[0] }, dialoghi);

    int pagine = 0;
    QElapsedTimer seconda;
    QObject::connect(window.browser(), &InvoicePane::pageShown, &app, [&](bool ok) {
        if (!ok) {
            std::fprintf(stderr, "page not shown\n");
            std::exit(1);
        }
        if (++pagine == 1) {
            std::printf("start to first page: %.0f ms\n", msDallAvvio());
            std::fflush(stdout);
            // After the event that reported the page, as a user's click would come.
            QTimer::singleShot(0, &window, [&] {
                seconda.start();
                window.btnSelFileClick();
            });
        } else {
            std::printf("second invoice, click to page shown: %lld ms\n", seconda.elapsed());
            // The signature panel's share of that open: its check, timed alone.
            QElapsedTimer firma;
            firma.start();
            // The check runs on a worker of its own: each waited for.
            for (int i = 0; i < 20; ++i) {
                QEventLoop attesa;
                bool fatta = false;
                QObject::connect(window.pannelloFirma(), &PannelloFirma::verificata, &attesa, [&] {
                    fatta = true;
                    attesa.quit();
                });
                window.pannelloFirma()->verifica(argomenti[1]);
                if (!fatta)
                    attesa.exec();
            }
            std::printf("signature panel, one check (%s): %.1f ms\n",
                qPrintable(ParolaEsito(window.pannelloFirma()->esito().esito)), double(firma.nsecsElapsed()) / 20e6);
            QCoreApplication::quit();
        }
    });
    window.showMaximized();
    return QApplication::exec();
}
