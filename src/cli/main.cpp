// lentiva-cli: builds the application, hands the arguments to the commands and
// returns their exit code. Needs no display, "pdf" included.
#include "cli/comandi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <memory>

#ifdef LENTIVA_CLI_PDF
#include "cli/paginapdf.h"
#endif

int main(int argc, char *argv[])
{
#ifdef LENTIVA_CLI_PDF
    // Only "pdf" pays for the web engine.
    const bool perPdf = argc > 1 && qstrcmp(argv[1], "pdf") == 0;
    const std::unique_ptr<QCoreApplication> app
        = perPdf ? applicazionePerPdf(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    ConvertitorePdf convertitore; // after the application, so that it goes first
    PaginaInPdf inPdf;
    if (perPdf)
        inPdf = [&convertitore](const QByteArray &pagina) { return convertitore.converti(pagina); };
#else
    QCoreApplication app(argc, argv);
    const PaginaInPdf inPdf;
#endif
    QCoreApplication::setApplicationName(QStringLiteral("lentiva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.0.0"));

    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    return EseguiComando(argomenti, QCoreApplication::applicationDirPath() + QDir::separator(), out, err, inPdf);
}
