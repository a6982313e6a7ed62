#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

QString corpusDir()
{
    const QString dir = QStringLiteral(LENTIVA_CORPUS_DIR);
    return QDir(dir).exists() ? QDir(dir).canonicalPath() : QString();
}

QStringList corpusFiles(const QString &subfolder, const QString &suffix)
{
    QStringList files;
    if (corpusDir().isEmpty())
        return files;
    QDirIterator it(corpusDir() + QLatin1Char('/') + subfolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (f.endsWith(suffix, Qt::CaseInsensitive))
            files << f;
    }
    files.sort();
    return files;
}

QString programDir()
{
    return QStringLiteral(LENTIVA_PROGRAM_DIR);
}

QString sourceDir()
{
    return QStringLiteral(LENTIVA_SOURCE_DIR);
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}
