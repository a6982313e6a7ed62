// What "lentiva-cli pdf" needs beyond the core: an application that can host
// the web engine without a screen, and a hidden web pane that renders the
// pages. Only the program links this, so the commands stay on Qt Core.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <memory>

class InvoicePane;

// Prepares the process for the web engine (offscreen unless the user chose a
// platform, no sandbox as root) and creates the application it runs in.
std::unique_ptr<QCoreApplication> applicazionePerPdf(int &argc, char **argv);

// Renders pages to PDF in one hidden pane, made at the first page. Must be
// destroyed before the application.
class ConvertitorePdf final {
public:
    ConvertitorePdf();
    ~ConvertitorePdf();
    ConvertitorePdf(const ConvertitorePdf &) = delete;
    ConvertitorePdf &operator=(const ConvertitorePdf &) = delete;

    // Throws Exception when the page cannot be made into a PDF.
    QByteArray converti(const QByteArray &pagina);

private:
    std::unique_ptr<InvoicePane> pane_;
};
