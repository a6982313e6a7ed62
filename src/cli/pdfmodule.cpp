// "lentiva-cli pdf" as a module loaded only for that command: the web engine
// it needs costs tens of megabytes just by being linked, which every other
// command would otherwise pay.
#include "cli/comandi.h"
#include "cli/paginapdf.h"

extern "C" Q_DECL_EXPORT int lentivaCliPdf(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> app = applicazionePerPdf(argc, argv);
    ConvertitorePdf convertitore; // after the application, so that it goes first
    return EseguiRigaDiComando([&convertitore](const QByteArray &pagina) { return convertitore.converti(pagina); });
}
