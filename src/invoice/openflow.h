// The road of one invoice from the chosen file to the finished display:
// envelope, format, stylesheet, page, attachments, header. The window and the
// command line each provide the display it drives.
#pragma once

#include "common/messages.h"
#include "invoice/header.h"
#include "invoice/rendering.h"

#include <QByteArray>
#include <QString>

struct StatoFattura;

class InvoiceDisplay : public MessageSink {
public:
    // Extracts the XML of a signed envelope and returns its path; throws.
    virtual QString extractEnvelope(const QString &envelope) = 0;
    // The stylesheet's output as it came, just before showPage gets it
    // transliterated; the window has no use for it, the command line can
    // write it as it is.
    virtual void pageRendered(const QString &html) { Q_UNUSED(html); }
    // Shows the page bytes (code page 1252) in place of the previous page.
    virtual void showPage(const QByteArray &page) = 0;
    // Rebuilds the attachment list from the XML file; throws.
    virtual void loadAttachments(const QString &fileXml) = 0;
    virtual void setHeaderField(CampoTestata field, const QByteArray &text) = 0;
    // Offered the XML of a file that holds no FormatoTrasmissione (or could
    // not be read), before the message of an unhandled document: a display
    // that shows another kind of document (the exchange system's messages)
    // shows it and returns true. What it does not take is no error: false.
    virtual bool showOtherDocument(const QString &fileXml, const StatoFattura &stato, FogliCompilati &fogli)
    {
        Q_UNUSED(fileXml);
        Q_UNUSED(stato);
        Q_UNUSED(fogli);
        return false;
    }
};

// What carries over from one invoice to the next.
struct StatoFattura {
    QString DirProgramma;
    QString FileXml; // the XML being shown (for an envelope, the one extracted)
    QString FoglioStile; // the stylesheet of the last recognised format
};

inline const QString MsgDocumentoNonGestito
    = QStringLiteral("Documento xml non gestito, visualizzazione non possibile!");

// The stylesheet path for a transmission format, or empty for an unknown one.
QString FoglioPerFormato(const QByteArray &formato, const QString &dirProgramma);
QString FoglioPredefinitoIn(const QString &dirProgramma);

// Runs the flow on the chosen path, with the stylesheets the caller keeps
// compiled. Errors end it where they arise (thrown to the caller); what
// earlier steps set stays. True when it reached its last step (or the display
// showed another kind of document), false when it stopped at the message of
// an unhandled document.
bool MostraFattura(const QString &scelto, StatoFattura &stato, InvoiceDisplay &display, FogliCompilati &fogli);
// The same with the stylesheet compiled for this open only.
bool MostraFattura(const QString &scelto, StatoFattura &stato, InvoiceDisplay &display);
