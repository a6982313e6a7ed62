// Safe loading of untrusted XML: no network, no DTD loading, no entity
// declarations at all (so no external entities and no entity expansion
// bombs), white-space-only text dropped. Internal to the invoice module.
#pragma once

#include "invoice/xmlptr.h"

#include <QByteArray>
#include <QString>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

struct XmlLoadError {
    QString reason; // the parser's own words
    int line = 0;
    QString sourceText; // the start of the line at fault
};

enum class Whitespace { Drop, Keep };

// Calls once the global libxml2/libxslt set-up (loaders, error sinks).
void initXmlLibraries();

// Parses bytes; url names the document for relative references. On failure
// returns null and fills error. dict, when given, is shared with the caller
// (stylesheet includes must use the stylesheet's dictionary).
XmlDocPtr parseXml(const QByteArray &bytes, const QByteArray &url, Whitespace whitespace, XmlLoadError &error,
    xmlDict *dict = nullptr, int extraOptions = 0);

// The text form of a load error: reason, "Line: N", start of the bad line.
QString loadErrorText(const XmlLoadError &error);

// Collects libxml2/libxslt messages instead of printing them to stderr.
class XmlErrorCapture final {
public:
    XmlErrorCapture();
    ~XmlErrorCapture();
    XmlErrorCapture(const XmlErrorCapture &) = delete;
    XmlErrorCapture &operator=(const XmlErrorCapture &) = delete;
    const QString &firstMessage() const { return first_; }
    int firstLine() const { return firstLine_; }
    void add(const QString &message, int line = 0);

private:
    XmlErrorCapture *previous_;
    QString first_;
    int firstLine_ = 0;
};
