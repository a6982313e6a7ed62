#include "common/fileio.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool directoryExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool forceDirectories(const QString &path)
{
    return !path.isEmpty() && QDir().mkpath(path);
}

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(displayPath(path), file.errorString()));
    const qint64 size = file.size();
    // Read into a buffer of the file's size: readAll grows its own to up to
    // twice that, which counts for invoices of many megabytes. Whatever the
    // size did not tell (a file that grew, a special file) follows.
    QByteArray data(size, Qt::Uninitialized);
    const qint64 got = size > 0 ? file.read(data.data(), size) : 0;
    if (got < 0)
        throw Exception(QStringLiteral("Stream read error"));
    data.truncate(got);
    data.append(file.readAll());
    if (file.error() != QFileDevice::NoError || data.size() < size)
        throw Exception(QStringLiteral("Stream read error"));
    return data;
}

namespace {
// True when every line already ends in CR LF (the usual case), so the text
// can be kept as it is without a copy.
bool endsEveryLineWithCrLf(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    if (bytes.isEmpty())
        return true;
    if (bytes.size() < 2 || end[-2] != '\r' || end[-1] != '\n')
        return false;
    for (const char *lf = p; (lf = static_cast<const char *>(std::memchr(lf, '\n', end - lf))) != nullptr; ++lf)
        if (lf == p || lf[-1] != '\r')
            return false;
    for (const char *cr = p; (cr = static_cast<const char *>(std::memchr(cr, '\r', end - cr))) != nullptr; ++cr)
        if (cr + 1 == end || cr[1] != '\n')
            return false;
    return true;
}

// The next CR or LF from p. The next CR is remembered between calls so that a
// file without any CR is not scanned to its end once per line.
const char *findLineEnd(const char *p, const char *end, const char *&nextCr)
{
    if (nextCr < p) {
        nextCr = static_cast<const char *>(std::memchr(p, '\r', end - p));
        if (nextCr == nullptr)
            nextCr = end;
    }
    const auto *lf = static_cast<const char *>(std::memchr(p, '\n', nextCr - p));
    return lf != nullptr ? lf : nextCr;
}
} // namespace

QByteArray normalizeLineEnds(QByteArray bytes)
{
    if (const void *nul = std::memchr(bytes.constData(), 0, static_cast<size_t>(bytes.size())))
        bytes.truncate(static_cast<const char *>(nul) - bytes.constData());
    if (endsEveryLineWithCrLf(bytes))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    const char *nextCr = nullptr;
    while (p < end) {
        const char *q = findLineEnd(p, end, nextCr);
        out.append(p, q - p);
        out.append("\r\n", 2);
        if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n')
            ++q;
        p = q < end ? q + 1 : end;
    }
    return out;
}

QByteArray loadTextAsLines(const QString &path)
{
    return normalizeLineEnds(readWholeFile(path));
}

void writeFileAtomically(const QString &path, QByteArrayView data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(displayPath(path), file.errorString()));
    if (!data.isEmpty() && file.write(data.data(), data.size()) != data.size()) {
        file.cancelWriting();
        throw Exception(QStringLiteral("Stream write error"));
    }
    if (!file.commit())
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(displayPath(path), file.errorString()));
}
