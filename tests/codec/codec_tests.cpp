// The Base64 codec: its edge cases and quirks, stream behaviour, size limits,
// and random data against QByteArray's Base64 and a plain reference decoder.
#include "codec/base64.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include "support/testsupport.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {
QByteArray encode(const QByteArray &bytes, qint64 pos = 0, qint32 count = kEncodeAll)
{
    QBuffer source;
    source.setData(bytes);
    source.open(QIODevice::ReadOnly);
    source.seek(pos);
    TEncoderMIME encoder;
    return encoder.Encode(source, count);
}

QByteArray decode(QByteArrayView text)
{
    return TDecoder::DecodeText<TDecoderMIME>(text);
}

// The decoding rule written out plainly, group by group.
QByteArray referenceDecode(QByteArrayView text)
{
    const auto value = [](char c) -> quint32 {
        const qsizetype i = Base64Alphabet.indexOf(c);
        return i < 0 ? 255 : quint32(i);
    };
    QByteArray out;
    for (qsizetype i = 0; i + 4 <= text.size(); i += 4) {
        const quint32 v
            = value(text[i]) << 18 | value(text[i + 1]) << 12 | value(text[i + 2]) << 6 | value(text[i + 3]);
        const char bytes[3] = { char(v >> 16), char(v >> 8), char(v) };
        out.append(bytes, text[i + 2] == '=' ? 1 : text[i + 3] == '=' ? 2 : 3);
    }
    return out;
}

// A device that announces one size, yields only its bytes and takes at most
// `capacity` bytes per write; it counts what is asked of it.
class FakeDevice final : public QIODevice {
public:
    FakeDevice(qint64 size, QByteArray data, qint64 cap = 0)
        : announced(size)
        , bytes(std::move(data))
        , capacity(cap)
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    qint64 size() const override { return announced; }
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = std::clamp<qint64>(bytes.size() - pos(), 0, max);
        memcpy(data, bytes.constData() + pos(), n);
        return ++reads, n;
    }
    qint64 writeData(const char *, qint64 len) override { return ++writes, std::min(len, capacity); }

    qint64 announced;
    QByteArray bytes;
    qint64 capacity;
    int reads = 0, writes = 0;
};

// A decoder of another fill character, to tell which class DecodeText builds.
class TDecoderDot final : public TDecoder4to3 {
public:
    TDecoderDot()
    {
        BuildDecodingTable(Base64Alphabet, DecodingTable);
        FillChar = '.';
    }
};

} // namespace

TEST(Base64, StandardTextsBothWays)
{
    const struct {
        const char *name;
        QByteArray bytes, text;
    } rows[] = {
        { "nothing", "", "" },
        { "one byte pads twice", "f", "Zg==" },
        { "two bytes pad once", "fo", "Zm8=" },
        { "three bytes no padding", "foo", "Zm9v" },
        { "six bytes", "foobar", "Zm9vYmFy" },
        { "NUL and high bytes kept whole", QByteArray("\0\xff\x80\x01", 4), "AP+AAQ==" },
        { "last values of the alphabet", "\xfb\xff\xbf", "+/+/" },
    };
    for (const auto &r : rows) {
        EXPECT_EQ(encode(r.bytes), r.text) << r.name;
        EXPECT_EQ(decode(r.text), r.bytes) << r.name;
    }
}

TEST(Base64, EncodeCountsAndPositions)
{
    QBuffer source;
    source.setData("abcdefgh");
    source.open(QIODevice::ReadOnly);
    TEncoderMIME encoder;
    EXPECT_EQ(encoder.Encode(source, 3), "YWJj");
    EXPECT_EQ(source.pos(), 3);
    EXPECT_EQ(encoder.Encode(source, 30), "ZGVmZ2g=") << "a count past the end takes the rest";
    EXPECT_EQ(source.pos(), 8);
    EXPECT_EQ(encode("abcdefgh", 5), "Zmdo") << "only the bytes from the position on";
    EXPECT_EQ(errorOf([&] { encoder.Encode(source, 4); }), "Uneven size in Encode.");
    EXPECT_EQ(errorOf([&] { encoder.Encode(source, -3); }), "Negative count in Encode.");
}

TEST(Base64, DecodesByTheGroupRules)
{
    const struct {
        const char *name;
        QByteArray text, bytes;
        const char *error = nullptr;
    } rows[] = {
        { "third fill keeps one byte whatever the fourth", "Zg=B", "f" },
        { "padding judged in every group", "Zg==Zm8=Zm9v", "ffofoo" },
        { "fill in first place spills 255", "=Zm9", "\xfd\x99\xbd" },
        { "CR LF inside a multiple of four", "Zm\r\nZm9v",
            "f\x7f\xff"
            "foo" },
        { "letter case matters", "ZG9v", "doo" },
        { "code 0 and 200 count as 255", QByteArray("Z\0\xc8v", 4), "o\xff\xef" },
        { "length not a multiple of four", "Zm9vYg=", "", "Uneven size in DecodeToStream." },
        { "line break makes it uneven", "Zm9v\r\nYg==", "", "Uneven size in DecodeToStream." },
        { "blanks count in the length", " Zg==", "", "Uneven size in DecodeToStream." },
    };
    for (const auto &r : rows) {
        if (r.error)
            EXPECT_EQ(errorOf([&] { decode(r.text); }), r.error) << r.name;
        else
            EXPECT_EQ(decode(r.text), r.bytes) << r.name;
    }
}

TEST(Base64, DecodingTables)
{
    TDecodingTable table {};
    TDecoder4to3::BuildDecodingTable("ABA\xc8", table);
    EXPECT_EQ(table['A' - 1], 2) << "a repeated character keeps its last place";
    EXPECT_EQ(table['B' - 1], 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), 255), 125);
    EXPECT_EQ(TDecoder::DecodeText<TDecoderDot>("Zg.B"), "f") << "DecodeText builds the class asked for";
    EXPECT_EQ(TDecoder::DecodeText<TDecoderMIME>("Zg.B").size(), 3);
}

TEST(Base64, StreamsTakeOneWriteAtTheirPosition)
{
    QByteArray existing("0123456789");
    QBuffer middle(&existing);
    middle.open(QIODevice::ReadWrite);
    middle.seek(2);
    TDecoderMIME decoder;
    decoder.DecodeToStream("QUJD", middle);
    EXPECT_EQ(existing, "01ABC56789");
    EXPECT_EQ(middle.pos(), 5);
    QByteArray tail("xy");
    QBuffer atEnd(&tail);
    atEnd.open(QIODevice::WriteOnly | QIODevice::Append);
    decoder.DecodeToStream("QUJD", atEnd);
    EXPECT_EQ(tail, "xyABC");

    FakeDevice sink(0, {}, 1);
    decoder.DecodeToStream("", sink);
    EXPECT_EQ(errorOf([&] { decoder.DecodeToStream("QUI", sink); }), "Uneven size in DecodeToStream.");
    EXPECT_EQ(sink.writes, 0) << "nothing written for empty or refused text";
    EXPECT_EQ(errorOf([&] { decoder.DecodeToStream("QUJD", sink); }), "Stream write error");
    EXPECT_EQ(sink.writes, 1);

    TEncoderMIME encoder;
    FakeDevice empty(0, "abc");
    EXPECT_EQ(encoder.Encode(empty, kEncodeAll), "");
    EXPECT_EQ(empty.reads, 0) << "nothing to encode reads nothing";
    FakeDevice liar(6, "abc");
    EXPECT_EQ(errorOf([&] { encoder.Encode(liar, kEncodeAll); }), "Stream read error");
}

TEST(Base64, SizesPastThirtyTwoBitsAreRefused)
{
    TEncoderMIME encoder;
    FakeDevice huge(3'000'000'000LL, "abc");
    EXPECT_EQ(errorOf([&] { encoder.Encode(huge, kEncodeAll); }),
        "Data too large to encode: 3000000000 bytes (at most 1610612733).");
    EXPECT_EQ(encoder.Encode(huge, 3), "YWJj") << "a count within the limits still works";
#ifdef Q_OS_LINUX
    // Address space only: the text is refused before any of it is read.
    const size_t size = 2'147'483'652u;
    struct Mapping {
        void *p;
        size_t n;
        ~Mapping() { munmap(p, n); }
    } m { mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0), size };
    ASSERT_NE(m.p, MAP_FAILED);
    const QByteArrayView text(static_cast<const char *>(m.p), qsizetype(size));
    EXPECT_EQ(
        errorOf([&] { decode(text); }), "Base64 text too large to decode: 2147483652 characters (at most 2147483647).");
#endif
}

TEST(Base64, RandomBytesRoundTrip)
{
    QRandomGenerator rng(20240601);
    QList<qsizetype> sizes;
    for (qsizetype n = 0; n < 200; ++n)
        sizes << n;
    for (int i = 0; i < 200; ++i)
        sizes << rng.bounded(100'000);
    sizes << 3 * 1024 * 1024 + 1 << 5'000'000;
    QByteArray bytes;
    for (qsizetype n : sizes) {
        bytes = QByteArray(n, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(rng.generate());
        const QByteArray text = encode(bytes);
        ASSERT_EQ(text, bytes.toBase64()) << n << " bytes";
        ASSERT_EQ(decode(text), bytes) << n << " bytes";
    }
    FakeDevice device(5'000'000, bytes); // read piece by piece, not in place
    EXPECT_EQ(TEncoderMIME().Encode(device, kEncodeAll), bytes.toBase64());
}

TEST(Base64, RandomTextsMatchTheReferenceDecoder)
{
    const QByteArray pool = Base64Alphabet.toByteArray() + QByteArray("====\r\n \t\0\x7f\x80\xc3\xa8\xff", 14);
    QRandomGenerator rng(7);
    for (int i = 0; i < 3000; ++i) {
        const qsizetype groups = i < 2990 ? rng.bounded(150) : rng.bounded(50'000);
        const int fillEvery = 1 + rng.bounded(i % 2 ? 3 : 300);
        QByteArray text(groups * 4, Qt::Uninitialized);
        for (char &c : text)
            c = rng.bounded(fillEvery) == 0 ? pool[rng.bounded(pool.size())] : Base64Alphabet[rng.bounded(64)];
        ASSERT_EQ(decode(text), referenceDecode(text)) << "case " << i;
    }
}
