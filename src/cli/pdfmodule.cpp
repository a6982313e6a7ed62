// "lentiva-cli pdf" as a module loaded only for that command: the web engine
// it needs costs tens of megabytes just by being linked, which every other
// command would otherwise pay.
#include "cli/comandi.h"
#include "cli/paginapdf.h"

#include <QDir>
#include <QFile>

extern "C" Q_DECL_EXPORT int lentivaCliPdf(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app = applicazionePerPdf(argc, argv);
    ConvertitorePdf convertitore; // after the application, so that it goes first
    QCoreApplication::setApplicationName(QStringLiteral("lentiva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.0.0"));
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    return EseguiComando(argomenti, QCoreApplication::applicationDirPath() + QDir::separator(), out, err,
        [&convertitore](const QByteArray &pagina) { return convertitore.converti(pagina); });
}
