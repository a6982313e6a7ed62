// The path query: parse the file, walk every element as a possible start.
#include "invoice/xmlquery.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "common/strings.h"
#include "common/text8.h"
#include "invoice/xmlcache.h"
#include "invoice/xmlload.h"
#include "invoice/xmlquery_p.h"

#include <cstring>

namespace {
QByteArray qualifiedName(const xmlNode *node)
{
    const auto *name = reinterpret_cast<const char *>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr)
        return QByteArray(reinterpret_cast<const char *>(node->ns->prefix)) + ':' + name;
    return QByteArray(name);
}

bool isAscii(const QByteArray &text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(const char *text)
{
    for (; *text != 0; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    return true;
}

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The element's NomeLocale8 equals the step. A plain name (ASCII, no ":") is
// its own local name and is compared in place: the walk tries every element.
bool matchesStep(const xmlNode *node, const QByteArray &step)
{
    if (!NomeSemplice(node))
        return equalsIgnoreAsciiCase(NomeLocale8(node), step);
    const auto *name = reinterpret_cast<const char *>(node->name);
    const qsizetype n = step.size();
    qsizetype i = 0;
    for (; name[i] != 0; ++i)
        if (i >= n || foldAscii(name[i]) != foldAscii(step[i]))
            return false;
    return i == n;
}

bool CercaPercorso(xmlNode *element, const QByteArrayList &steps, qsizetype index, Trovati &found)
{
    if (element == nullptr)
        return false;
    if (!matchesStep(element, steps[index]))
        return false;
    if (index == steps.size() - 1) {
        found.push_back(element);
        return true;
    }
    bool result = false;
    for (xmlNode *child = element->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE && CercaPercorso(child, steps, index + 1, found))
            result = true;
    return result;
}

void CercaNodi(xmlNode *element, const QByteArrayList &steps, Trovati &found)
{
    if (element == nullptr)
        return;
    CercaPercorso(element, steps, 0, found);
    for (xmlNode *child = element->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            CercaNodi(child, steps, found);
}

QString elementText(const xmlNode *element)
{
    const xmlNode *child = element->children;
    if (child == nullptr)
        return QString();
    if (child->next == nullptr && (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE))
        return QString::fromUtf8(reinterpret_cast<const char *>(child->content));
    throw Exception(QStringLiteral("Element does not contain a single text node"));
}
} // namespace

QByteArrayList PassiPercorso(const QByteArray &path)
{
    QByteArrayList steps = DividiPercorso(path);
    for (QByteArray &step : steps)
        step = NomeLocale(step);
    return steps;
}

void CercaElementi(xmlNode *start, const QByteArrayList &steps, Trovati &found)
{
    if (!steps.isEmpty())
        CercaNodi(start, steps, found);
}

bool NomeSemplice(const xmlNode *element)
{
    const auto *name = reinterpret_cast<const char *>(element->name);
    return isAscii(name) && std::strchr(name, ':') == nullptr
        && (element->ns == nullptr || element->ns->prefix == nullptr
            || isAscii(reinterpret_cast<const char *>(element->ns->prefix)));
}

// Names come as UTF-8 from the parser; compared as 8-bit text.
QByteArray NomeLocale8(const xmlNode *node)
{
    QByteArray name = qualifiedName(node);
    if (!isAscii(name))
        name = toWindows1252(QString::fromUtf8(name));
    return NomeLocale(name);
}

QByteArray ValoreElemento(const xmlNode *element)
{
    return toWindows1252(trimControls(elementText(element)));
}

QByteArray NomeLocale(const QByteArray &name)
{
    const qsizetype colon = name.indexOf(':');
    return colon < 0 ? name : name.mid(colon + 1);
}

QByteArrayList DividiPercorso(const QByteArray &path)
{
    QByteArrayList steps;
    const qsizetype n = path.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (path[i] == '\r' || path[i] == '\n'))
            ++i;
        const qsizetype start = i;
        char quote = 0;
        while (i < n) {
            const char c = path[i];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '.' || c == '\r' || c == '\n') {
                break;
            }
            ++i;
        }
        if (i > start)
            steps.append(path.mid(start, i - start));
        if (i < n)
            ++i;
    }
    return steps;
}

bool LeggiValoriXml(const QString &fileName, const QByteArray &path, QByteArrayList &values, MessageSink &messages)
{
    values.clear();
    if (!fileExists(fileName))
        return false;

    std::shared_ptr<xmlDoc> doc;
    {
        XmlErrorCapture capture;
        try {
            XmlLoadError error;
            doc = FatturaAnalizzata(fileName, error);
            if (!doc) {
                messages.plainMessage(PrefissoXmlConErrori + loadErrorText(error));
                return false;
            }
        } catch (const Exception &e) {
            messages.plainMessage(PrefissoXmlConErrori + e.message());
            return false;
        }
    }

    Trovati found;
    CercaElementi(xmlDocGetRootElement(doc.get()), PassiPercorso(path), found);
    for (const xmlNode *element : found)
        values.append(ValoreElemento(element));
    return !values.isEmpty();
}
