// Rendering an invoice with an XSLT stylesheet, the transliteration of
// accented letters, and the 8-bit bytes the browser pane receives.
#pragma once

#include <QByteArray>
#include <QString>

// Applies the stylesheet to the invoice and returns the result as text.
// Throws Exception: "Errore nel caricamento XML: %1", "Errore nel caricamento
// XSL: %1", or the processor's own description of a failed transform.
QString TrasformaXsl(const QString &fileXml, const QString &foglioStile);

// Replaces the twelve accented Italian vowels and the euro sign by plain forms
// (a' ... EU). Once a row applies, the whole text has passed through code page
// 1252, so characters it lacks are replaced as the conversion does.
void TraslitteraHtml(QString &html);

// The page as the pane receives it: transliterated, then code page 1252.
QByteArray TestoPerPannello(QString html);
