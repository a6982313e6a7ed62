// File-name rules in one place. Windows separates folders with "\" and ":",
// POSIX with "/"; the helpers take the rule set so both can be tested anywhere.
#pragma once

#include <QString>
#include <QStringView>

enum class PathRules { Windows, Posix };

#ifdef Q_OS_WIN
inline constexpr PathRules kNativePathRules = PathRules::Windows;
#else
inline constexpr PathRules kNativePathRules = PathRules::Posix;
#endif

QChar folderSeparator(PathRules rules = kNativePathRules);
bool isFolderSeparator(QChar c, PathRules rules = kNativePathRules);

// Everything up to and including the last separator; empty when there is none.
QString extractFilePath(QStringView path, PathRules rules = kNativePathRules);
// The text after the last separator.
QString extractFileName(QStringView path, PathRules rules = kNativePathRules);
// From the last "." after the last separator, dot included; empty when none.
QString extractFileExt(QStringView path, PathRules rules = kNativePathRules);
// The path without its last extension: a.xml.p7m gives a.xml.
QString removeFileExt(QStringView path, PathRules rules = kNativePathRules);
// The extension compared with ext after ASCII lower-casing (ext given lower-case).
bool hasExtension(QStringView path, QStringView ext, PathRules rules = kNativePathRules);
// Appends the separator unless the folder already ends in one.
QString includeTrailingSeparator(QStringView folder, PathRules rules = kNativePathRules);

// A name taken from a document reduced to a plain file name: its last part
// after any "\", "/" or ":" (whatever the platform, since names travel between
// systems). Empty when nothing usable is left ("", "." or "..").
QString plainFileName(QStringView name);
