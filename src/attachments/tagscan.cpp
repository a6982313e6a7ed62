// Tag scanning over raw invoice bytes.
#include "attachments/tagscan.h"

#include "codec/buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
// Positions are 32-bit: bytes past the largest one are never searched.
constexpr qsizetype kMaxPosition = std::numeric_limits<qint32>::max();

QByteArray openingTag(QByteArrayView name)
{
    return '<' + name.toByteArray() + '>';
}

QByteArray closingTag(QByteArrayView name)
{
    return "</" + name.toByteArray() + '>';
}

// memchr runs far ahead of a general search, and tags are rare in the long
// Base64 runs that make up most of a large invoice.
qsizetype find(QByteArrayView pattern, QByteArrayView text, qsizetype from)
{
    const char first = pattern.front();
    const qsizetype rest = pattern.size() - 1;
    const char *p = text.data() + from;
    const char *last = text.data() + text.size() - pattern.size();
    while (p <= last) {
        p = static_cast<const char *>(std::memchr(p, first, last - p + 1));
        if (!p)
            return -1;
        if (std::memcmp(p + 1, pattern.data() + 1, rest) == 0)
            return p - text.data();
        ++p;
    }
    return -1;
}

QByteArray copyOf(QByteArrayView text)
{
    QByteArray copy = uninitializedBuffer(text.size());
    if (!text.isEmpty())
        std::memcpy(copy.data(), text.data(), text.size());
    return copy;
}
} // namespace

qint32 PosDa(QByteArrayView pattern, QByteArrayView text, qint32 start)
{
    start = std::max(start, 1);
    text = text.first(std::min(text.size(), kMaxPosition));
    if (pattern.isEmpty() || text.isEmpty())
        return 0;
    if (start > text.size() - pattern.size() + 1)
        return 0;
    const qsizetype found = find(pattern, text, start - 1);
    return found < 0 ? 0 : static_cast<qint32>(found + 1);
}

QByteArrayView EstraiElementoVista(QByteArrayView text, QByteArrayView name, qint32 &position)
{
    const QByteArray closing = closingTag(name);
    const qint32 p1 = PosDa(openingTag(name), text, position);
    if (p1 == 0)
        return {};
    const qint32 p2 = PosDa(closing, text, p1);
    if (p2 == 0)
        return {};
    const qint64 end = qint64(p2) + closing.size();
    if (end > kMaxPosition)
        return {};
    position = static_cast<qint32>(end);
    return text.sliced(p1 - 1, end - p1);
}

QByteArrayView ValoreTagVista(QByteArrayView text, QByteArrayView name)
{
    const QByteArray opening = openingTag(name);
    const qint32 p1 = PosDa(opening, text, 1);
    if (p1 == 0)
        return {};
    const qint64 start = qint64(p1) + opening.size();
    const qint32 p2 = PosDa(closingTag(name), text, 1);
    if (start >= p2)
        return {};
    return trimmedView(text.sliced(start - 1, p2 - start));
}

QByteArray EstraiElemento(QByteArrayView text, QByteArrayView name, qint32 &position)
{
    return copyOf(EstraiElementoVista(text, name, position));
}

QByteArray ValoreTag(QByteArrayView text, QByteArrayView name)
{
    return copyOf(ValoreTagVista(text, name));
}

QByteArrayView trimmedView(QByteArrayView text)
{
    const auto isControl = [](char c) { return static_cast<uchar>(c) <= 0x20; };
    while (!text.isEmpty() && isControl(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isControl(text.back()))
        text.chop(1);
    return text;
}
