// Ownership of libxml2/libxslt handles: one overloaded deleter for them all.
// Internal to the invoice module; public headers never include libxml2.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <memory>

struct XmlDeleter {
    void operator()(xmlChar *p) const { xmlFree(p); }
    void operator()(xmlDoc *p) const { xmlFreeDoc(p); }
    void operator()(xmlParserCtxt *p) const { xmlFreeParserCtxt(p); }
    void operator()(xmlOutputBuffer *p) const { xmlOutputBufferClose(p); }
    void operator()(xsltStylesheet *p) const { xsltFreeStylesheet(p); }
    void operator()(xsltTransformContext *p) const { xsltFreeTransformContext(p); }
    void operator()(xsltSecurityPrefs *p) const { xsltFreeSecurityPrefs(p); }
};

template <typename T> using XmlPtr = std::unique_ptr<T, XmlDeleter>;
using XmlDocPtr = XmlPtr<xmlDoc>;
using XmlOutPtr = XmlPtr<xmlOutputBuffer>;
