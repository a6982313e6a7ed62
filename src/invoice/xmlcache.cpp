// The parsed invoice kept for the length of one open.
#include "invoice/xmlcache.h"

#include "common/errors.h"
#include "common/fileio.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

namespace {
constexpr qsizetype kPezzo = qsizetype(1) << 20;
constexpr size_t kSeme = 0x4c656e74;

// A fingerprint of the bytes, chunk by chunk, so that a file can be checked
// against it without being held in memory whole.
size_t improntaDi(QByteArrayView bytes)
{
    size_t h = kSeme;
    for (qsizetype off = 0; off < bytes.size(); off += kPezzo)
        h = qHash(bytes.sliced(off, qMin(kPezzo, bytes.size() - off)), h);
    return h;
}

// The fingerprint of the file read with one open, its reads and one close;
// false when that fails, so that the slower way below tells why.
bool improntaDiretta(const QString &fileXml, qsizetype attesa, size_t &h, qsizetype &dimensione)
{
    const int fd = ::open(QFile::encodeName(fileXml).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Room for the size expected and a byte more, to see that it ends there;
    // chunks as improntaDi's beyond.
    QByteArray pezzo(std::min(kPezzo, attesa + 1), Qt::Uninitialized);
    h = kSeme;
    dimensione = 0;
    qsizetype n = 0; // in the chunk at hand
    bool letto = true;
    for (;;) {
        const ssize_t got = ::read(fd, pezzo.data() + n, static_cast<size_t>(pezzo.size() - n));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            letto = got == 0;
            break;
        }
        n += got;
        if (n < pezzo.size())
            continue;
        if (pezzo.size() < kPezzo) {
            pezzo.resize(kPezzo);
            continue;
        }
        h = qHash(QByteArrayView(pezzo.constData(), n), h);
        dimensione += n;
        n = 0;
    }
    if (n > 0) {
        h = qHash(QByteArrayView(pezzo.constData(), n), h);
        dimensione += n;
    }
    ::close(fd);
    return letto;
}

// The same fingerprint read from the file; fails as reading the whole file does.
size_t improntaDelFile(const QString &fileXml, qsizetype attesa, qsizetype &dimensione)
{
    size_t diretta = 0;
    if (improntaDiretta(fileXml, attesa, diretta, dimensione))
        return diretta;
    QFile file(fileXml);
    openForReading(file);
    QByteArray pezzo(kPezzo, Qt::Uninitialized);
    size_t h = kSeme;
    dimensione = 0;
    for (;;) {
        qsizetype n = 0;
        while (n < kPezzo) {
            const qint64 got = file.read(pezzo.data() + n, kPezzo - n);
            if (got < 0)
                throw Exception(QStringLiteral("Stream read error"));
            if (got == 0)
                break;
            n += got;
        }
        if (n == 0)
            break;
        h = qHash(QByteArrayView(pezzo.constData(), n), h);
        dimensione += n;
        if (n < kPezzo)
            break;
    }
    return h;
}
} // namespace

std::shared_ptr<xmlDoc> FatturaAnalizzata(const QString &fileXml, XmlLoadError &error)
{
    // The bytes decide, not the file's times: a rewrite within the clock's
    // granularity keeps them, and a copy of the same bytes parses the same.
    // Checking them streams the file, so a big invoice is not held twice.
    if (corrente != nullptr && corrente->doc_ && corrente->file_ == fileXml) {
        qsizetype dimensione = 0;
        if (improntaDelFile(fileXml, corrente->dimensione_, dimensione) == corrente->impronta_
            && dimensione == corrente->dimensione_)
            return corrente->doc_;
    }

    const QByteArray bytes = readWholeFile(fileXml);
    std::shared_ptr<xmlDoc> doc(parseXml(bytes, QByteArray(), Whitespace::Drop, error).release(), XmlDeleter());
    if (corrente != nullptr && doc && condivisibile(doc.get())) {
        corrente->file_ = fileXml;
        corrente->dimensione_ = bytes.size();
        corrente->impronta_ = improntaDi(bytes);
        corrente->doc_ = doc;
    }
    return doc;
}
