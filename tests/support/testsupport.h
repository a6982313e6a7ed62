// Helpers shared by the test programs: where things are, scratch folders.
#pragma once

#include "common/errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

// The shared corpus of real invoices, or empty when it is absent.
QString corpusDir();
// Every file under the corpus sub-folder with the given suffix, sorted.
QStringList corpusFiles(const QString &subfolder, const QString &suffix);
// The program folder laid out by the build (programs, FODISTILE/, ...).
QString programDir();
QString sourceDir();

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// The message of the Exception fn throws, or "(no error)".
template <typename Fn> std::string errorOf(Fn &&fn)
{
    try {
        fn();
    } catch (const Exception &e) {
        return e.what();
    }
    return "(no error)";
}

// Skips the running test with a visible message when the corpus is absent.
#define REQUIRE_CORPUS()                                                                                               \
    do {                                                                                                               \
        if (corpusDir().isEmpty())                                                                                     \
            GTEST_SKIP() << "shared corpus not found beside the repository; skipping";                                 \
    } while (0)

// Readable failure output for Qt strings.
#include <ostream>
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
