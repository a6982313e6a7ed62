// Ownership of libxml2's schema handles: one overloaded deleter. Internal to
// the checks; the public headers never include libxml2.
#pragma once

#include <libxml/xmlregexp.h>
#include <libxml/xmlschemas.h>
#include <memory>

struct LiberaSchemi {
    void operator()(xmlSchemaParserCtxt *p) const { xmlSchemaFreeParserCtxt(p); }
    void operator()(xmlSchema *p) const { xmlSchemaFree(p); }
    void operator()(xmlSchemaValidCtxt *p) const { xmlSchemaFreeValidCtxt(p); }
    void operator()(xmlRegexp *p) const { xmlRegFreeRegexp(p); }
};

template <typename T> using SchemiPtr = std::unique_ptr<T, LiberaSchemi>;
