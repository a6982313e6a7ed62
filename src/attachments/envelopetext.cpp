// Detection and tolerant decoding of Base64 text envelopes.
#include "attachments/envelopetext.h"

#include <array>

namespace {
constexpr char kDerSequenceTag = 0x30;
constexpr int kBlank = -2;
constexpr int kPad = -3;
constexpr int kInvalid = -1;

constexpr std::array<int, 256> makeTable()
{
    std::array<int, 256> table {};
    table.fill(kInvalid);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = i;
    for (const char c : { ' ', '\t', '\r', '\n', '\v', '\f' })
        table[static_cast<unsigned char>(c)] = kBlank;
    table['='] = kPad;
    return table;
}

constexpr std::array<int, 256> kTable = makeTable();

bool isBlank(char c)
{
    return kTable[static_cast<unsigned char>(c)] == kBlank;
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Strips "-----BEGIN label-----" ... "-----END label-----" when present; any
// label is accepted because senders write PKCS7, CMS and others. An opening
// line without its closing one (or text outside them) means the file is not
// the armoured text of one envelope: nullopt.
std::optional<QByteArrayView> stripArmour(QByteArrayView text)
{
    static constexpr QByteArrayView kBegin("-----BEGIN ");
    static constexpr QByteArrayView kEnd("-----END ");
    static constexpr QByteArrayView kDashes("-----");
    const bool opens = text.startsWith(kBegin);
    const qsizetype endAt = text.lastIndexOf(kEnd);
    if (!opens && endAt < 0)
        return text;
    if (!opens || endAt < 0)
        return std::nullopt;
    const qsizetype bodyStart = text.indexOf(kDashes, kBegin.size());
    if (bodyStart < 0 || bodyStart + kDashes.size() > endAt)
        return std::nullopt;
    const QByteArrayView closing = text.sliced(endAt + kEnd.size());
    if (!closing.endsWith(kDashes) || closing.size() < kDashes.size() + 1 || closing.contains('\n'))
        return std::nullopt;
    return text.sliced(bodyStart + kDashes.size(), endAt - bodyStart - kDashes.size());
}
} // namespace

bool looksLikeDer(QByteArrayView bytes)
{
    return !bytes.isEmpty() && bytes.front() == kDerSequenceTag;
}

std::optional<QByteArray> decodeBase64Text(QByteArrayView text)
{
    static constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
    if (text.startsWith(kUtf8Bom))
        text = text.sliced(kUtf8Bom.size());
    const std::optional<QByteArrayView> body = stripArmour(trimmed(text));
    if (!body)
        return std::nullopt;

    QByteArray out;
    out.reserve(body->size() / 4 * 3 + 3);
    quint32 bits = 0;
    int bitCount = 0;
    qsizetype digits = 0;
    qsizetype pads = 0;
    for (const char c : *body) {
        const int v = kTable[static_cast<unsigned char>(c)];
        if (v == kBlank)
            continue;
        if (v == kPad) {
            ++pads;
            continue;
        }
        // A digit after padding, or any other byte, is not Base64 text.
        if (v == kInvalid || pads > 0)
            return std::nullopt;
        ++digits;
        bits = (bits << 6) | static_cast<quint32>(v);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out.append(static_cast<char>((bits >> bitCount) & 0xFF));
        }
    }
    // One digit left over cannot carry a byte; padding may be missing or
    // partial but never go past the end of the last group of four.
    if (digits == 0 || digits % 4 == 1 || pads > (4 - digits % 4) % 4)
        return std::nullopt;
    return out;
}

std::optional<QByteArray> derFromBase64Envelope(QByteArrayView contents)
{
    if (looksLikeDer(contents))
        return std::nullopt;
    // Some senders encode the envelope twice: one more round, no more.
    std::optional<QByteArray> decoded = decodeBase64Text(contents);
    if (decoded && !looksLikeDer(*decoded))
        decoded = decodeBase64Text(*decoded);
    if (decoded && looksLikeDer(*decoded))
        return decoded;
    return std::nullopt;
}
