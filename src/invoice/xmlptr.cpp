// The deleters of the libxml2/libxslt handles.
#include "invoice/xmlptr.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

void XmlDeleter::operator()(xmlChar *p) const
{
    xmlFree(p);
}

void XmlDeleter::operator()(_xmlDoc *p) const
{
    xmlFreeDoc(p);
}

void XmlDeleter::operator()(_xmlParserCtxt *p) const
{
    xmlFreeParserCtxt(p);
}

void XmlDeleter::operator()(_xmlOutputBuffer *p) const
{
    xmlOutputBufferClose(p);
}

void XmlDeleter::operator()(_xmlBuffer *p) const
{
    xmlBufferFree(p);
}

void XmlDeleter::operator()(_xmlCharEncodingHandler *p) const
{
    xmlCharEncCloseFunc(p);
}

void XmlDeleter::operator()(_xsltStylesheet *p) const
{
    xsltFreeStylesheet(p);
}

void XmlDeleter::operator()(_xsltTransformContext *p) const
{
    xsltFreeTransformContext(p);
}

void XmlDeleter::operator()(_xsltSecurityPrefs *p) const
{
    xsltFreeSecurityPrefs(p);
}
