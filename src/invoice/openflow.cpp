#include "invoice/openflow.h"

#include "common/filenames.h"
#include "common/folders.h"
#include "common/strings.h"
#include "common/text8.h"
#include "invoice/rendering.h"
#include "invoice/xmlcache.h"
#include "invoice/xmlquery.h"

QString FoglioPerFormato(const QByteArray &formato, const QString &dirProgramma)
{
    if (formato == "FPA12")
        return dirProgramma + DirFogliStile + FoglioFPA12;
    if (formato == "FPR12")
        return dirProgramma + DirFogliStile + FoglioFPR12;
    if (formato == "FSM10")
        return dirProgramma + DirFogliStile + FoglioFSM10;
    return QString();
}

QString FoglioPredefinitoIn(const QString &dirProgramma)
{
    return dirProgramma + DirFogliStile + FoglioPredefinito;
}

bool MostraFattura(const QString &scelto, StatoFattura &stato, InvoiceDisplay &display)
{
    FogliCompilati soloQuesta;
    return MostraFattura(scelto, stato, display, soloQuesta);
}

bool MostraFattura(const QString &scelto, StatoFattura &stato, InvoiceDisplay &display, FogliCompilati &fogli)
{
    // The format, the page and the header fields each read the XML; while
    // this open runs they share one parse of it.
    const LetturaUnica letturaUnica;
    stato.FileXml = scelto;
    if (hasExtension(scelto, u".p7m"))
        stato.FileXml = display.extractEnvelope(scelto);

    QByteArrayList formato;
    if (!LeggiValoriXml(stato.FileXml, "FormatoTrasmissione", formato, display)) {
        if (display.showOtherDocument(stato.FileXml, stato, fogli))
            return true;
        display.plainMessage(MsgDocumentoNonGestito);
        return false;
    }
    const QString foglio = FoglioPerFormato(trimControls(joinLinesCrLf(formato)), stato.DirProgramma);
    if (!foglio.isEmpty())
        stato.FoglioStile = foglio;

    QString html = TrasformaXsl(stato.FileXml, stato.FoglioStile, fogli);
    display.pageRendered(html);
    display.showPage(TestoPerPannello(std::move(html)));
    display.loadAttachments(stato.FileXml);
    LeggiDatiDocumento(stato.FileXml, display,
        [&display](CampoTestata field, const QByteArray &text) { display.setHeaderField(field, text); });
    return true;
}
