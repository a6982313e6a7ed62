// Memory for outputs of many megabytes.
#pragma once

#include <QByteArray>

// An uninitialised buffer of size bytes. Large ones ask for huge pages before
// their first touch: faulting a fresh output in page by page can cost more
// than decoding into it.
QByteArray uninitializedBuffer(qsizetype size);
