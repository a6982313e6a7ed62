// The message's info object, as lentiva-cli writes it.
#include "cli/infomessaggio.h"

#include "messaggi/pagina.h"

QByteArray InfoMessaggioCli(const QString &file, const MessaggioSdI &messaggio, const QString &firma, bool json)
{
    std::vector<VoceInfo> voci = InfoMessaggio(file, messaggio);
    if (!json)
        return TestoInfo(voci);
    voci.push_back({ QStringLiteral("firma"), QStringLiteral("Firma"), firma });
    return OggettoJsonInfo(voci) + '\n';
}
