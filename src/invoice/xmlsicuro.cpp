// The safe loader as other modules see it.
#include "invoice/xmlsicuro.h"

#include "invoice/xmlload.h"

DocumentoXml CaricaXmlSicuro(const QByteArray &bytes, QString &errore)
{
    XmlLoadError error;
    DocumentoXml doc = parseXml(bytes, QByteArray(), Whitespace::Keep, error);
    if (!doc)
        errore = loadErrorText(error);
    return doc;
}

void InizializzaXml()
{
    initXmlLibraries();
}
