// JSON strings written straight from UTF-16, plain ASCII at once; DEL and the
// C1 controls escaped too, as no terminal should see them raw.
#include "common/json.h"

void AggiungiTestoJson(QByteArray &out, QStringView testo)
{
    static constexpr char kCifre[] = "0123456789abcdef";
    // At most six bytes for one code unit (\u00xx, or a lone surrogate).
    const qsizetype inizio = out.size();
    out.resize(inizio + 2 + 6 * testo.size());
    char *p = out.data() + inizio;
    *p++ = '"';
    const char16_t *u = testo.utf16();
    const qsizetype n = testo.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = u[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            *p++ = static_cast<char>(c);
        } else if (c < 0xA0) {
            *p++ = '\\';
            switch (c) {
            case '"':
            case '\\':
                *p++ = static_cast<char>(c);
                break;
            case '\b':
                *p++ = 'b';
                break;
            case '\f':
                *p++ = 'f';
                break;
            case '\n':
                *p++ = 'n';
                break;
            case '\r':
                *p++ = 'r';
                break;
            case '\t':
                *p++ = 't';
                break;
            default:
                *p++ = 'u';
                *p++ = '0';
                *p++ = '0';
                *p++ = kCifre[c >> 4];
                *p++ = kCifre[c & 0xF];
            }
        } else if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(u[i + 1])) {
            const char32_t v = QChar::surrogateToUcs4(c, u[++i]);
            *p++ = static_cast<char>(0xF0 | (v >> 18));
            *p++ = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (v & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            *p++ = '\\';
            *p++ = 'u';
            for (const int spostamento : { 12, 8, 4, 0 })
                *p++ = kCifre[(c >> spostamento) & 0xF];
        } else {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(p - out.data());
}
