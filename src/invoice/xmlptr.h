// Ownership of libxml2/libxslt handles: one overloaded deleter for them all,
// for every module that holds them (the signature module's documents too).
// Only forward declarations here: the header needs no libxml2 headers.
#pragma once

#include <memory>

struct _xmlDoc;
struct _xmlParserCtxt;
struct _xmlOutputBuffer;
struct _xmlBuffer;
struct _xmlCharEncodingHandler;
struct _xsltStylesheet;
struct _xsltTransformContext;
struct _xsltSecurityPrefs;
typedef unsigned char xmlChar; // as libxml2 declares it

struct XmlDeleter {
    void operator()(xmlChar *p) const; // strings libxml2 hands over (xmlFree)
    void operator()(_xmlDoc *p) const;
    void operator()(_xmlParserCtxt *p) const;
    void operator()(_xmlOutputBuffer *p) const;
    void operator()(_xmlBuffer *p) const;
    void operator()(_xmlCharEncodingHandler *p) const;
    void operator()(_xsltStylesheet *p) const;
    void operator()(_xsltTransformContext *p) const;
    void operator()(_xsltSecurityPrefs *p) const;
};

template <typename T> using XmlPtr = std::unique_ptr<T, XmlDeleter>;
using XmlDocPtr = XmlPtr<_xmlDoc>;
using XmlOutPtr = XmlPtr<_xmlOutputBuffer>;
