// What the harnesses share: a private scratch folder per process, writing an
// input there as a file, and stopping loudly on a broken expectation.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

// The input as bytes (not copied: valid while the harness call runs).
QByteArray inputBytes(const uint8_t *data, size_t size);

// This process's own scratch folder, made on first use and removed at exit.
QString scratchDir();

// Writes bytes to the file (replacing it) and returns its path; aborts when
// the file cannot be written, since nothing after that would mean anything.
QString writeScratchFile(const QString &path, const QByteArray &bytes);

// Removes a folder and everything in it; aborts when it cannot.
void removeTree(const QString &path);

// The names in a folder, hidden ones included, sorted.
QStringList folderEntries(const QString &path);

// Reports a broken expectation and aborts, which libFuzzer records as a
// crash with the input that caused it.
[[noreturn]] void fuzzFailure(const char *what, const QString &detail = QString());

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fuzzFailure(#condition, detail);                                                                           \
    } while (0)
