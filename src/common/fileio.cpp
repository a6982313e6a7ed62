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
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() < size)
        throw Exception(QStringLiteral("Stream read error"));
    return data;
}

QByteArray normalizeLineEnds(QByteArrayView bytes)
{
    if (const void *nul = std::memchr(bytes.data(), 0, static_cast<size_t>(bytes.size())))
        bytes = bytes.first(static_cast<const char *>(nul) - bytes.data());
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    while (p < end) {
        const char *q = p;
        while (q < end && *q != '\r' && *q != '\n')
            ++q;
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
