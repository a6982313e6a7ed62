#include "common/filenames.h"

#include "common/strings.h"

namespace {
// The one test of a separator, inline: the searches below run it for every
// character of every file name of an archive.
bool separatore(char16_t c, PathRules rules)
{
    return rules == PathRules::Windows ? c == u'\\' || c == u':' : c == u'/';
}

qsizetype lastSeparator(QStringView path, PathRules rules)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (separatore(path[i].unicode(), rules))
            return i;
    return -1;
}

// The last dot of the name, found from the end: the folders before it are
// never looked at.
qsizetype extensionStart(QStringView path, PathRules rules)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const char16_t c = path[i].unicode();
        if (c == u'.')
            return i;
        if (separatore(c, rules))
            return -1;
    }
    return -1;
}
} // namespace

QChar folderSeparator(PathRules rules)
{
    return rules == PathRules::Windows ? QLatin1Char('\\') : QLatin1Char('/');
}

bool isFolderSeparator(QChar c, PathRules rules)
{
    return separatore(c.unicode(), rules);
}

QString extractFilePath(QStringView path, PathRules rules)
{
    return path.first(lastSeparator(path, rules) + 1).toString();
}

QString extractFileName(QStringView path, PathRules rules)
{
    return path.sliced(lastSeparator(path, rules) + 1).toString();
}

QString extractFileExt(QStringView path, PathRules rules)
{
    const qsizetype dot = extensionStart(path, rules);
    return dot < 0 ? QString() : path.sliced(dot).toString();
}

QString removeFileExt(QStringView path, PathRules rules)
{
    const qsizetype dot = extensionStart(path, rules);
    return (dot < 0 ? path : path.first(dot)).toString();
}

bool hasExtension(QStringView path, QStringView ext, PathRules rules)
{
    // Said for every file of an archive: compared in place, nothing copied.
    const qsizetype dot = extensionStart(path, rules);
    return equalsIgnoreAsciiCase(dot < 0 ? QStringView() : path.sliced(dot), ext);
}

QString includeTrailingSeparator(QStringView folder, PathRules rules)
{
    if (!folder.isEmpty() && folder.back() == folderSeparator(rules))
        return folder.toString();
    return folder.toString() + folderSeparator(rules);
}

QString plainFileName(QStringView name)
{
    qsizetype cut = -1;
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        const QChar c = name[i];
        if (c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':')) {
            cut = i;
            break;
        }
    }
    const QString last = name.sliced(cut + 1).toString();
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
        return QString();
    return last;
}
