// Small walks over libxml2 trees by local name, for signatures and lists whose
// namespaces vary between versions. Internal to the signature module.
#pragma once

#include <QString>
#include <libxml/tree.h>
#include <vector>

inline bool haNome(const xmlNode *n, const char *nome)
{
    return n != nullptr && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST nome);
}

// The element children of n with that local name, in order.
inline std::vector<xmlNode *> figli(const xmlNode *n, const char *nome)
{
    std::vector<xmlNode *> trovati;
    for (xmlNode *c = n != nullptr ? n->children : nullptr; c != nullptr; c = c->next)
        if (haNome(c, nome))
            trovati.push_back(c);
    return trovati;
}

inline xmlNode *figlio(const xmlNode *n, const char *nome)
{
    for (xmlNode *c = n != nullptr ? n->children : nullptr; c != nullptr; c = c->next)
        if (haNome(c, nome))
            return c;
    return nullptr;
}

// The text of the element and its descendants; empty for null.
inline QString testo(const xmlNode *n)
{
    if (n == nullptr)
        return QString();
    xmlChar *t = xmlNodeGetContent(n);
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(t));
    xmlFree(t);
    return s.trimmed();
}

inline QString attributo(const xmlNode *n, const char *nome)
{
    xmlChar *v = xmlGetProp(n, BAD_CAST nome);
    const QString s = v != nullptr ? QString::fromUtf8(reinterpret_cast<const char *>(v)) : QString();
    xmlFree(v);
    return s;
}
