// The invoice page as a PDF file: A4 portrait with margins, text kept as
// text, readable by everyone. The window exports the page on show; a program
// without a window can give the page to a pane it never shows.
#pragma once

#include <QPageLayout>
#include <QString>

class InvoicePane;

// A4 portrait with 10 mm margins: the engine's own default has none, and a
// printed page needs some.
QPageLayout impaginazionePdf();

// The default name of the PDF of an invoice: its path without a ".p7m" (any
// case) and then without its last extension, with ".pdf" added.
QString nomePdfPer(const QString &fileFattura);

// Waits until the pane's last page has loaded and returns it as PDF. Throws
// Exception with "Esportazione PDF non riuscita" when the pane has no page,
// the page failed to load or the engine produced nothing.
QByteArray pdfDellaPagina(InvoicePane &pane);

// The same PDF written to path with mode 0644 less the umask. Throws Exception with "Esportazione PDF non
// riuscita: " and the path when the pane has no page, the page failed to load,
// the engine produced nothing or the file could not be written.
void esportaPdf(InvoicePane &pane, const QString &path);
