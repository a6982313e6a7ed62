// The Base64 codec. Both directions work on whole groups through small tables
// built from the coder's own alphabet for each call, so the loops carry no
// per-character branches; the exact rules (255 spilling into the neighbours'
// bits, padding judged in every group) are folded into those tables.
#include "codec/base64.h"

#include "codec/buffer.h"

#include <QBuffer>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {
const QString kUnevenEncode = QStringLiteral("Uneven size in Encode.");
const QString kUnevenDecode = QStringLiteral("Uneven size in DecodeToStream.");
const QString kStreamRead = QStringLiteral("Stream read error");
const QString kStreamWrite = QStringLiteral("Stream write error");

// Reading in pieces of whole groups keeps one copy of the data in memory.
constexpr qsizetype kEncodeChunk = 3 * 256 * 1024;
// After a fill character, groups are judged one by one for this many
// characters before the next fill character is looked for.
constexpr qsizetype kPaddedWindow = 64;

// ---- decoding -------------------------------------------------------------

// The value a character has in a group; codes 0 and 128-255 lie outside the
// table and count as characters outside the alphabet.
quint32 tableValue(const TDecodingTable &table, unsigned code)
{
    return code >= 1 && code <= 127 ? table[code - 1] : 255u;
}

// The three bytes v >> 16, v >> 8, v of a group as a little-endian word.
constexpr quint32 outputOrder(quint32 v)
{
    return ((v >> 16) & 0xFFu) | (v & 0xFF00u) | ((v & 0xFFu) << 16);
}

// The group's value is the OR of each character's shifted value, so each
// place gets its own table of contributions, already in output byte order.
struct DecodeTables {
    std::array<quint32, 256> place[4];
};

DecodeTables makeDecodeTables(const TDecodingTable &table)
{
    DecodeTables t;
    for (unsigned c = 0; c < 256; ++c) {
        const quint32 v = tableValue(table, c);
        t.place[0][c] = outputOrder(v << 18);
        t.place[1][c] = outputOrder(v << 12);
        t.place[2][c] = outputOrder(v << 6);
        t.place[3][c] = outputOrder(v);
    }
    return t;
}

inline quint32 decodeGroup(const DecodeTables &t, const uchar *s)
{
    return t.place[0][s[0]] | t.place[1][s[1]] | t.place[2][s[2]] | t.place[3][s[3]];
}

// Groups known to hold no fill character. Writes up to 2 bytes past the
// last group: the output keeps slack for that.
uchar *decodeRun(const DecodeTables &t, const uchar *s, qsizetype groups, uchar *out)
{
    for (; groups >= 4; groups -= 4, s += 16, out += 12) {
        const quint64 a = decodeGroup(t, s), b = decodeGroup(t, s + 4);
        const quint64 c = decodeGroup(t, s + 8), d = decodeGroup(t, s + 12);
        qToLittleEndian<quint64>(a | (b << 24), out);
        qToLittleEndian<quint64>(c | (d << 24), out + 6);
    }
    for (; groups > 0; --groups, s += 4, out += 3)
        qToLittleEndian<quint32>(decodeGroup(t, s), out);
    return out;
}

uchar *decodeJudged(const DecodeTables &t, const uchar *s, uchar fill, uchar *out)
{
    qToLittleEndian<quint32>(decodeGroup(t, s), out);
    return out + (s[2] == fill ? 1 : s[3] == fill ? 2 : 3);
}

// Room for the decoded bytes of a text, slack included.
qsizetype decodedRoom(QByteArrayView text)
{
    return text.size() / 4 * 3 + 8;
}

// Decodes whole groups into out (decodedRoom bytes); returns the bytes kept.
// Fill characters are rare and mostly at the end: runs without one are
// decoded unchecked, and only the groups near one are judged one by one.
qsizetype decodeText(const TDecodingTable &table, char fillChar, QByteArrayView text, char *into)
{
    const DecodeTables tables = makeDecodeTables(table);
    const auto fill = static_cast<uchar>(fillChar);
    const auto *begin = reinterpret_cast<const uchar *>(text.data());
    const uchar *s = begin;
    const uchar *end = begin + text.size();
    auto *out = reinterpret_cast<uchar *>(into);
    while (s < end) {
        const auto *f = static_cast<const uchar *>(std::memchr(s, fill, end - s));
        const uchar *plainEnd = f ? f - (f - begin) % 4 : end;
        out = decodeRun(tables, s, (plainEnd - s) / 4, out);
        s = plainEnd;
        for (const uchar *window = std::min(end, s + kPaddedWindow); s < window; s += 4)
            out = decodeJudged(tables, s, fill, out);
    }
    return out - reinterpret_cast<uchar *>(into);
}

// A memory buffer at its end takes the bytes in place, which spares a second
// copy of the whole output; what it holds afterwards is what one write gives.
QByteArray *appendableBuffer(QIODevice &device)
{
    auto *buffer = qobject_cast<QBuffer *>(&device);
    const QIODevice::OpenMode mode = device.openMode();
    if (!buffer || !(mode & QIODevice::WriteOnly) || (mode & (QIODevice::Text | QIODevice::Append))
        || buffer->pos() != buffer->buffer().size())
        return nullptr;
    return &buffer->buffer();
}

// ---- encoding -------------------------------------------------------------

// Two characters for every 12-bit value, in output order.
using PairTable = std::array<quint16, 4096>;

std::unique_ptr<PairTable> makePairTable(const QByteArray &alphabet)
{
    if (alphabet.size() < 64)
        throw ECodecError(QStringLiteral("Coding table shorter than 64 characters."));
    auto t = std::make_unique<PairTable>();
    for (unsigned i = 0; i < 4096; ++i)
        (*t)[i]
            = static_cast<quint16>(static_cast<uchar>(alphabet[i >> 6]) | static_cast<uchar>(alphabet[i & 63]) << 8);
    return t;
}

inline void encodeGroup(const PairTable &t, quint32 g, uchar *out)
{
    qToLittleEndian<quint32>(t[(g >> 12) & 0xFFF] | quint32(t[g & 0xFFF]) << 16, out);
}

// Whole groups only: len is a multiple of 3.
uchar *encodeRun(const PairTable &t, const uchar *s, qsizetype len, uchar *out)
{
    const uchar *end = s + len;
    for (; end - s >= 14; s += 12, out += 16) {
        const quint64 x = qFromBigEndian<quint64>(s), y = qFromBigEndian<quint64>(s + 6);
        const auto pack = [&t](quint64 w) {
            const auto g1 = quint32(w >> 40), g2 = quint32(w >> 16);
            return quint64(t[(g1 >> 12) & 0xFFF]) | quint64(t[g1 & 0xFFF]) << 16 | quint64(t[(g2 >> 12) & 0xFFF]) << 32
                | quint64(t[g2 & 0xFFF]) << 48;
        };
        qToLittleEndian<quint64>(pack(x), out);
        qToLittleEndian<quint64>(pack(y), out + 8);
    }
    for (; s < end; s += 3, out += 4)
        encodeGroup(t, quint32(s[0]) << 16 | quint32(s[1]) << 8 | s[2], out);
    return out;
}

void readFully(QIODevice &source, char *data, qsizetype len)
{
    qsizetype got = 0;
    while (got < len) {
        const qint64 r = source.read(data + got, len - got);
        if (r <= 0)
            throw Exception(kStreamRead);
        got += r;
    }
}
} // namespace

// ---- classes ----------------------------------------------------------------

QByteArray TEncoder3to4::Encode(QIODevice &source, qint32 count)
{
    if (count != kEncodeAll && count % 3 > 0)
        throw ECodecError(kUnevenEncode);
    if (count < 0)
        throw ECodecError(QStringLiteral("Negative count in Encode."));
    qint64 n = source.size() - source.pos();
    if (count != kEncodeAll && count < n)
        n = count;
    if (n <= 0)
        return {};
    if (n > kEncodeMaxBytes)
        throw ECodecError(
            QStringLiteral("Data too large to encode: %1 bytes (at most %2).").arg(n).arg(kEncodeMaxBytes));

    const auto table = makePairTable(CodingTable);
    QByteArray result = uninitializedBuffer(((n + 2) / 3) * 4);
    auto *out = reinterpret_cast<uchar *>(result.data());
    const auto encodePiece = [&](const char *data, qsizetype len) {
        const auto *in = reinterpret_cast<const uchar *>(data);
        const qsizetype whole = len - len % 3;
        out = encodeRun(*table, in, whole, out);
        if (whole < len) {
            const bool two = len - whole == 2;
            encodeGroup(*table, quint32(in[whole]) << 16 | (two ? quint32(in[whole + 1]) << 8 : 0u), out);
            out[3] = static_cast<uchar>(FillChar);
            if (!two)
                out[2] = static_cast<uchar>(FillChar);
        }
    };
    // A memory buffer is read in place, which is what one read would give.
    auto *buffer = qobject_cast<QBuffer *>(&source);
    if (buffer && source.isReadable() && !(source.openMode() & QIODevice::Text)) {
        const qint64 pos = source.pos();
        encodePiece(buffer->data().constData() + pos, n);
        source.seek(pos + n);
        return result;
    }
    QByteArray chunk(std::min<qint64>(n, kEncodeChunk), Qt::Uninitialized);
    for (qint64 left = n; left > 0;) {
        const qsizetype len = std::min<qint64>(left, kEncodeChunk);
        readFully(source, chunk.data(), len);
        left -= len;
        encodePiece(chunk.constData(), len);
    }
    return result;
}

TEncoderMIME::TEncoderMIME()
{
    CodingTable = Base64Alphabet.toByteArray();
    FillChar = '=';
}

QByteArray TDecoder::DecodeToBytes(QByteArrayView text)
{
    QByteArray bytes;
    {
        QBuffer stream(&bytes);
        stream.open(QIODevice::WriteOnly);
        DecodeToStream(text, stream);
    }
    return bytes;
}

void TDecoder4to3::DecodeToStream(QByteArrayView text, QIODevice &destination)
{
    if (text.size() > kCodecMaxSize)
        throw ECodecError(QStringLiteral("Base64 text too large to decode: %1 characters (at most %2).")
                              .arg(text.size())
                              .arg(kCodecMaxSize));
    if (text.size() % 4 > 0)
        throw ECodecError(kUnevenDecode);
    if (text.isEmpty())
        return;

    if (QByteArray *bytes = appendableBuffer(destination)) {
        const qsizetype start = bytes->size();
        if (start == 0)
            *bytes = uninitializedBuffer(decodedRoom(text));
        else
            bytes->resize(start + decodedRoom(text));
        bytes->truncate(start + decodeText(DecodingTable, FillChar, text, bytes->data() + start));
        destination.seek(bytes->size());
        return;
    }
    QByteArray buffer = uninitializedBuffer(decodedRoom(text));
    buffer.truncate(decodeText(DecodingTable, FillChar, text, buffer.data()));
    if (!buffer.isEmpty() && destination.write(buffer) != buffer.size())
        throw Exception(kStreamWrite);
}

TDecoderMIME::TDecoderMIME()
{
    DecodingTable = MimeDecodingTable;
    FillChar = '=';
}
