// The parsed invoice kept for the length of one open.
#include "invoice/xmlcache.h"

#include "common/fileio.h"

#include <QHash>

namespace {
thread_local LetturaUnica *corrente = nullptr;

// A transform may unlink nodes of kinds other than these from its input
// (entity references, a DTD), which the queries after it would then miss; a
// document holding any is parsed afresh for each reader, as it always was.
bool condivisibile(xmlDoc *doc)
{
    if (doc->intSubset != nullptr || doc->extSubset != nullptr)
        return false;
    for (xmlNode *n = doc->children; n != nullptr; n = n->next)
        if (n->type != XML_ELEMENT_NODE && n->type != XML_COMMENT_NODE && n->type != XML_PI_NODE)
            return false;
    xmlNode *root = xmlDocGetRootElement(doc);
    xmlNode *node = root;
    while (node != nullptr) {
        switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            break;
        default:
            return false;
        }
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            node = node->children;
            continue;
        }
        while (node != root && node->next == nullptr)
            node = node->parent;
        node = node == root ? nullptr : node->next;
    }
    return true;
}
} // namespace

LetturaUnica::LetturaUnica()
    : attiva_(corrente == nullptr)
{
    if (attiva_)
        corrente = this;
}

LetturaUnica::~LetturaUnica()
{
    if (attiva_)
        corrente = nullptr;
}

std::shared_ptr<xmlDoc> FatturaAnalizzata(const QString &fileXml, XmlLoadError &error)
{
    const QByteArray bytes = readWholeFile(fileXml);
    // The bytes decide, not the file's times: a rewrite within the clock's
    // granularity keeps them, and a copy of the same bytes parses the same.
    const size_t impronta = corrente != nullptr ? qHash(bytes, 0x4c656e74) : 0;
    if (corrente != nullptr && corrente->doc_ && corrente->file_ == fileXml && corrente->dimensione_ == bytes.size()
        && corrente->impronta_ == impronta)
        return corrente->doc_;

    std::shared_ptr<xmlDoc> doc(parseXml(bytes, QByteArray(), Whitespace::Drop, error).release(), XmlDeleter());
    if (corrente != nullptr && doc && condivisibile(doc.get())) {
        corrente->file_ = fileXml;
        corrente->dimensione_ = bytes.size();
        corrente->impronta_ = impronta;
        corrente->doc_ = doc;
    }
    return doc;
}
