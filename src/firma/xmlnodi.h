// Small walks over libxml2 trees by local name, for signatures and lists whose
// namespaces vary between versions. Internal to the signature module.
#pragma once

#include <QByteArray>
#include <QString>
#include <libxml/tree.h>
#include <vector>

inline bool haNome(const xmlNode *n, const char *nome)
{
    return n != nullptr && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST nome);
}

inline bool inSpazio(const xmlNode *n, const char *spazio)
{
    return n != nullptr && n->ns != nullptr && xmlStrEqual(n->ns->href, BAD_CAST spazio);
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

// The next node of a walk over the tree under radice, in document order;
// discendi false skips the children of n.
inline xmlNode *prossimoNodo(xmlNode *n, const xmlNode *radice, bool discendi = true)
{
    if (discendi && n->type == XML_ELEMENT_NODE && n->children != nullptr)
        return n->children;
    while (n != radice && n->next == nullptr)
        n = n->parent;
    return n == radice ? nullptr : n->next;
}

// The text and CDATA of n and its descendants, as the parser left them (UTF-8).
inline QByteArray testoUtf8(const xmlNode *n)
{
    QByteArray t;
    if (n == nullptr)
        return t;
    if (n->type != XML_ELEMENT_NODE)
        return n->content != nullptr ? QByteArray(reinterpret_cast<const char *>(n->content)) : t;
    for (xmlNode *c = n->children; c != nullptr; c = prossimoNodo(c, n))
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content != nullptr)
            t += reinterpret_cast<const char *>(c->content);
    return t;
}

// The trimmed text of the element; empty for null.
inline QString testo(const xmlNode *n)
{
    return QString::fromUtf8(testoUtf8(n)).trimmed();
}

// The attribute as the element carries it, without a namespace: never a
// default that a DTD declares, which is not in the signed bytes.
inline const xmlAttr *attributoNodo(const xmlNode *n, const char *nome)
{
    for (const xmlAttr *a = n != nullptr ? n->properties : nullptr; a != nullptr; a = a->next)
        if (a->ns == nullptr && xmlStrEqual(a->name, BAD_CAST nome))
            return a;
    return nullptr;
}

inline QString attributo(const xmlNode *n, const char *nome)
{
    const xmlAttr *a = attributoNodo(n, nome);
    QByteArray valore;
    for (const xmlNode *c = a != nullptr ? a->children : nullptr; c != nullptr; c = c->next)
        if (c->content != nullptr)
            valore += reinterpret_cast<const char *>(c->content);
    return QString::fromUtf8(valore);
}
