// Shared harness helpers.
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

QByteArray inputBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

QString scratchDir()
{
    // One per process, so that parallel fuzzers never see each other's files.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/lentiva-fuzz-XXXXXX"));
    if (!dir.isValid())
        fuzzFailure("scratch folder", dir.errorString());
    return dir.path();
}

QString writeScratchFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fuzzFailure("writing the input file", path + QStringLiteral(": ") + file.errorString());
    return path;
}

void removeTree(const QString &path)
{
    QDir dir(path);
    if (dir.exists() && !dir.removeRecursively())
        fuzzFailure("removing a scratch folder", path);
}

QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

void fuzzFailure(const char *what, const QString &detail)
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}
