// The invoices' safe XML loading, offered to the other modules that read
// untrusted XML (signatures, trusted lists): no network, no DTD, no entity
// declarations, every text node kept as written.
#pragma once

#include "invoice/xmlptr.h"

#include <QByteArray>
#include <QString>

// The document's owner: the one every module uses (invoice/xmlptr.h).
using DocumentoXml = XmlDocPtr;

// Line numbers past 65535 are lost unless asked for (libxml2 then keeps them
// in the text nodes, where xmlGetLineNo finds them).
enum class RigheXml { FinoA65535, OltreLimite };

// Parses the bytes; on failure returns null and puts the parser's reason,
// "Line: N" and the start of the bad line into errore.
DocumentoXml CaricaXmlSicuro(const QByteArray &bytes, QString &errore, RigheXml righe = RigheXml::FinoA65535);

// The libraries' global set-up, done once; for modules that set up further
// libraries over libxml2 and must do so after it.
void InizializzaXml();
