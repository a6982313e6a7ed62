// What one open of an invoice shares between its steps. The open reads the
// same file for the format, the page and each header field; parsing it once
// serves them all. Internal to the invoice module.
#pragma once

#include "invoice/xmlload.h"

#include <QString>
#include <memory>

// While one lives on this thread (the outermost, when they nest), the invoice
// parsed by FatturaAnalizzata is kept and handed out again for the same path
// while the file holds the same bytes. Nothing outlives it.
class LetturaUnica final {
public:
    LetturaUnica();
    ~LetturaUnica();
    LetturaUnica(const LetturaUnica &) = delete;
    LetturaUnica &operator=(const LetturaUnica &) = delete;

private:
    friend std::shared_ptr<xmlDoc> FatturaAnalizzata(const QString &fileXml, XmlLoadError &error);
    bool attiva_;
    QString file_;
    qsizetype dimensione_ = 0;
    size_t impronta_ = 0;
    std::shared_ptr<xmlDoc> doc_;
};

// The invoice parsed as the path query and the transform parse it (white space
// dropped, no URL). The file is read every time, so it fails as it always did
// (throws what readWholeFile throws; null with error filled when it is not
// well-formed); only the parse is spared. The document is only read, never changed.
std::shared_ptr<xmlDoc> FatturaAnalizzata(const QString &fileXml, XmlLoadError &error);
