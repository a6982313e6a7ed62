#include "common/strings.h"

namespace {
template <typename Ch> bool isControlOrBlank(Ch c)
{
    return static_cast<unsigned>(c) <= 0x20;
}

template <typename Ch> Ch lowerAscii(Ch c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<Ch>(c + ('a' - 'A')) : c;
}
} // namespace

QByteArray trimControls(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    const auto *d = reinterpret_cast<const unsigned char *>(text.data());
    while (b < e && isControlOrBlank(d[b]))
        ++b;
    while (e > b && isControlOrBlank(d[e - 1]))
        --e;
    return text.sliced(b, e - b).toByteArray();
}

QString trimControls(QStringView text)
{
    qsizetype b = 0, e = text.size();
    const char16_t *d = text.utf16();
    while (b < e && isControlOrBlank(d[b]))
        ++b;
    while (e > b && isControlOrBlank(d[e - 1]))
        --e;
    return text.sliced(b, e - b).toString();
}

QByteArray toLowerAscii(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char &c : out)
        c = lowerAscii(c);
    return out;
}

QString toLowerAscii(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out)
        c = QChar(lowerAscii(c.unicode()));
    return out;
}

bool equalsIgnoreAsciiCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

bool equalsIgnoreAsciiCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i].unicode()) != lowerAscii(b[i].unicode()))
            return false;
    return true;
}
