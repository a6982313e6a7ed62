// Safe XML loading and the collection of library messages.
#include "invoice/xmlload.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxslt/xsltutils.h>
#include <mutex>

namespace {
thread_local XmlErrorCapture *currentCapture = nullptr;

QString cleanMessage(const char *text)
{
    return QString::fromUtf8(text).trimmed();
}

void structuredError(void *, xmlErrorPtr error)
{
    if (currentCapture != nullptr && error != nullptr && error->message != nullptr && error->level >= XML_ERR_ERROR)
        currentCapture->add(cleanMessage(error->message), error->line);
}

void genericError(void *, const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (currentCapture != nullptr)
        currentCapture->add(cleanMessage(buffer));
}

// Nothing outside the bytes the program hands over is ever read by the parser.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}

struct ParseGuard {
    QString refusal;
    int line = 0;
};

void refuse(void *context, const xmlChar *name)
{
    auto *ctxt = static_cast<xmlParserCtxtPtr>(context);
    auto *guard = static_cast<ParseGuard *>(ctxt->_private);
    if (guard->refusal.isEmpty()) {
        guard->refusal = QStringLiteral("Entity declarations are not allowed (entity '%1')")
                             .arg(QString::fromUtf8(reinterpret_cast<const char *>(name)));
        guard->line = ctxt->input != nullptr ? ctxt->input->line : 0;
    }
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
}

void refuseEntityDecl(void *ctx, const xmlChar *name, int, const xmlChar *, const xmlChar *, xmlChar *)
{
    refuse(ctx, name);
}

void refuseUnparsedEntityDecl(void *ctx, const xmlChar *name, const xmlChar *, const xmlChar *, const xmlChar *)
{
    refuse(ctx, name);
}

bool isXmlBlank(const xmlChar *text)
{
    for (; *text != 0; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r')
            return false;
    return true;
}

// Drops text nodes made only of white space, as a loader that does not
// preserve white space would. Iterative: documents may be deep.
void dropBlankText(xmlNode *root)
{
    xmlNode *node = root;
    while (node != nullptr) {
        xmlNode *next = nullptr;
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            next = node->children;
        } else {
            xmlNode *up = node;
            while (up != nullptr && up != root && up->next == nullptr)
                up = up->parent;
            next = (up == nullptr || up == root) ? nullptr : up->next;
        }
        if (node->type == XML_TEXT_NODE && isXmlBlank(node->content)) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        node = next;
    }
}

struct Lettura {
    const char *dati;
    qsizetype resto;
};

int leggiBlocco(void *context, char *buffer, int len)
{
    auto *lettura = static_cast<Lettura *>(context);
    const auto n = static_cast<int>(qMin<qsizetype>(len, lettura->resto));
    std::memcpy(buffer, lettura->dati, static_cast<size_t>(n));
    lettura->dati += n;
    lettura->resto -= n;
    return n;
}

// The encoding the document's byte-order mark shows or its declaration names;
// UTF-8 when neither says.
QByteArray encodingOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return "UTF-16LE";
    if (bytes.startsWith("\xFE\xFF"))
        return "UTF-16BE";
    static const QRegularExpression declaration(
        QStringLiteral(R"(^(?:\xEF\xBB\xBF)?<\?xml\s[^>]*?encoding\s*=\s*["']([A-Za-z][A-Za-z0-9._-]*)["'])"));
    const QRegularExpressionMatch m
        = declaration.match(QString::fromLatin1(bytes.first(qMin<qsizetype>(bytes.size(), 200))));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray("UTF-8");
}

// Bytes of that encoding as text, through libxml2's own converters: what
// cannot be converted (a sequence cut short) is left out.
QString decoded(QByteArrayView bytes, const QByteArray &encoding)
{
    const XmlPtr<xmlCharEncodingHandler> handler(xmlFindCharEncodingHandler(encoding.constData()));
    if (!handler || encoding.compare("UTF-8", Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes);
    const XmlPtr<xmlBuffer> in(xmlBufferCreate());
    const XmlPtr<xmlBuffer> out(xmlBufferCreate());
    if (!in || !out)
        return QString();
    xmlBufferAdd(in.get(), reinterpret_cast<const xmlChar *>(bytes.data()), static_cast<int>(bytes.size()));
    xmlCharEncInFunc(handler.get(), out.get(), in.get());
    return QString::fromUtf8(reinterpret_cast<const char *>(xmlBufferContent(out.get())), xmlBufferLength(out.get()));
}

// Where the line, counted from 1, starts; -1 past the last line.
template <typename View, typename Char> qsizetype lineStart(View text, Char lf, int line)
{
    qsizetype start = 0;
    for (int i = 1; i < line && start >= 0; ++i) {
        start = text.indexOf(lf, start);
        if (start >= 0)
            ++start;
    }
    return start;
}

QString first40(QStringView text)
{
    const qsizetype lf = text.indexOf(u'\n');
    QString line = (lf < 0 ? text : text.first(lf)).toString();
    line.remove(QLatin1Char('\r'));
    return line.left(40);
}

// The first 40 characters of the line in the file's own encoding.
QString lineOf(const QByteArray &bytes, int line)
{
    const QByteArray encoding = encodingOf(bytes);
    // Only UTF-16 has line ends that are not single bytes: its whole text is
    // decoded. Otherwise only the start of the line is.
    if (encoding.toUpper().startsWith("UTF-16")) {
        const QString whole = decoded(bytes, encoding);
        const qsizetype start = lineStart(QStringView(whole), u'\n', line);
        return start < 0 ? QString() : first40(QStringView(whole).sliced(start));
    }
    const qsizetype start = lineStart(QByteArrayView(bytes), '\n', line);
    if (start < 0)
        return QString();
    // Enough bytes for 40 characters of any encoding the file may use.
    const QByteArrayView rest = QByteArrayView(bytes).sliced(start);
    return first40(decoded(rest.first(qMin<qsizetype>(rest.size(), 160)), encoding));
}
} // namespace

void XmlErrorCapture::add(const QString &message, int line)
{
    if (first_.isEmpty()) {
        first_ = message;
        firstLine_ = line;
    }
}

XmlErrorCapture::XmlErrorCapture()
    : previous_(currentCapture)
{
    initXmlLibraries();
    currentCapture = this;
}

XmlErrorCapture::~XmlErrorCapture()
{
    currentCapture = previous_;
}

void initXmlLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
        xmlSetStructuredErrorFunc(nullptr, structuredError);
        xmlSetGenericErrorFunc(nullptr, genericError);
        // libxml2 keeps its error handlers per thread: threads that parse
        // later (the archive's workers) start from these.
        xmlThrDefSetStructuredErrorFunc(nullptr, structuredError);
        xmlThrDefSetGenericErrorFunc(nullptr, genericError);
        xsltSetGenericErrorFunc(nullptr, genericError);
    });
}

XmlDocPtr parseXml(const QByteArray &bytes, const QByteArray &url, Whitespace whitespace, XmlLoadError &error,
    xmlDict *dict, int extraOptions)
{
    initXmlLibraries();
    XmlPtr<xmlParserCtxt> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        error.reason = QStringLiteral("Out of memory");
        return nullptr;
    }
    if (dict != nullptr) {
        xmlDictFree(ctxt->dict);
        ctxt->dict = dict;
        xmlDictReference(dict);
    }
    XmlErrorCapture capture;
    ParseGuard guard;
    ctxt->_private = &guard;
    ctxt->sax->entityDecl = refuseEntityDecl;
    ctxt->sax->unparsedEntityDecl = refuseUnparsedEntityDecl;
    // HUGE lifts the 10 MB limit on one text node (big attachments); entity
    // bombs are out of reach anyway since declarations are refused.
    // Invoices are only read once parsed, so their short texts can live inside
    // their nodes (a few megabytes less on invoices of thousands of lines);
    // stylesheets are rewritten while compiled and keep the plain form.
    const int compact = whitespace == Whitespace::Drop ? XML_PARSE_COMPACT : 0;
    const int options = XML_PARSE_NONET | XML_PARSE_HUGE | compact | extraOptions;
    // Fed through a reader rather than as one block of memory, which libxml2
    // would first copy whole into a buffer of its own.
    Lettura lettura { bytes.constData(), bytes.size() };
    XmlDocPtr doc(xmlCtxtReadIO(
        ctxt.get(), leggiBlocco, nullptr, &lettura, url.isEmpty() ? nullptr : url.constData(), nullptr, options));
    if (!guard.refusal.isEmpty()) {
        error.reason = guard.refusal;
        error.line = guard.line;
        error.sourceText = lineOf(bytes, guard.line);
        return nullptr;
    }
    if (!doc || !ctxt->wellFormed) {
        // The first error is the cause; later ones follow from it.
        const xmlError *last = xmlCtxtGetLastError(ctxt.get());
        if (!capture.firstMessage().isEmpty()) {
            error.reason = capture.firstMessage();
            error.line = capture.firstLine();
        } else if (last != nullptr && last->message != nullptr) {
            error.reason = cleanMessage(last->message);
            error.line = last->line;
        } else {
            error.reason = QStringLiteral("Document is not well-formed");
        }
        error.sourceText = lineOf(bytes, error.line);
        return nullptr;
    }
    if (whitespace == Whitespace::Drop)
        dropBlankText(xmlDocGetRootElement(doc.get()));
    return doc;
}

QString loadErrorText(const XmlLoadError &error)
{
    return QStringLiteral("%1\r\nLine: %2\r\n%3").arg(error.reason).arg(error.line).arg(error.sourceText);
}
