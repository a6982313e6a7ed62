// The path query's walk over a document already parsed, shared by the file
// query and the invoices read from memory. Internal to the invoice module.
#pragma once

#include "invoice/xmlptr.h"

#include <QByteArray>
#include <QByteArrayList>
#include <libxml/tree.h>
#include <vector>

using Trovati = std::vector<xmlNode *>;

// The path's steps, each reduced to its local name.
QByteArrayList PassiPercorso(const QByteArray &path);

// Appends every element that ends the steps, trying start and every element
// below it as the first step, in the query's order.
void CercaElementi(xmlNode *start, const QByteArrayList &steps, Trovati &found);

// Whether the element's name is ASCII without ":" and its prefix ASCII: then
// the name is its own local name.
bool NomeSemplice(const xmlNode *element);

// The element's local name as the query compares it: the name in code page
// 1252 after its first ":".
QByteArray NomeLocale8(const xmlNode *element);

// The element's trimmed text in code page 1252; throws Exception "Element does
// not contain a single text node" as the query does.
QByteArray ValoreElemento(const xmlNode *element);
