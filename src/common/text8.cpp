#include "common/text8.h"

#include <array>

namespace {
#include "common/cp1252_tables.inc"

// 64K entries: one lookup per UTF-16 code unit. 0 is a valid target (NUL), so
// unmapped units are marked separately.
struct EncodeTable {
    std::array<unsigned char, 65536> byte {};
    std::array<bool, 65536> mapped {};
    EncodeTable()
    {
        for (const WcEntry &e : kUnicodeToCp1252) {
            byte[e.unicode] = e.byte;
            mapped[e.unicode] = true;
        }
    }
};

const EncodeTable &encodeTable()
{
    static const EncodeTable table;
    return table;
}
} // namespace

QByteArray toWindows1252(QStringView text)
{
    const EncodeTable &t = encodeTable();
    QByteArray out(text.size(), Qt::Uninitialized);
    char *dst = out.data();
    qsizetype n = 0;
    const char16_t *src = text.utf16();
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < len; ++i) {
        const char16_t u = src[i];
        if (u < 0x80) {
            dst[n++] = static_cast<char>(u);
        } else if (QChar::isHighSurrogate(u) && i + 1 < len && QChar::isLowSurrogate(src[i + 1])) {
            // A character beyond the basic plane has no best fit: one "?" for the pair.
            dst[n++] = static_cast<char>(kCp1252DefaultChar);
            ++i;
        } else if (t.mapped[u]) {
            dst[n++] = static_cast<char>(t.byte[u]);
        } else {
            dst[n++] = static_cast<char>(kCp1252DefaultChar);
        }
    }
    out.truncate(n);
    return out;
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = kCp1252ToUnicode[src[i]];
    return out;
}

QByteArray joinLinesCrLf(const QByteArrayList &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}
