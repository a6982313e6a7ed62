// The safe loader as other modules see it.
#include "invoice/xmlsicuro.h"

#include "invoice/xmlload.h"

DocumentoXml CaricaXmlSicuro(const QByteArray &bytes, QString &errore, RigheXml righe)
{
    XmlLoadError error;
    DocumentoXml doc = parseXml(bytes, QByteArray(), Whitespace::Keep, error, nullptr,
        righe == RigheXml::OltreLimite ? XML_PARSE_BIG_LINES : 0);
    if (!doc)
        errore = loadErrorText(error);
    return doc;
}

void InizializzaXml()
{
    initXmlLibraries();
}
