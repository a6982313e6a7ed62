// The Base64 decoder on arbitrary text, and the encoder on arbitrary bytes.
// Decoding may refuse a text (ECodecError) but never read or write out of
// bounds; a text of whole groups of alphabet characters decodes to bytes that
// encode back to the same text, and any bytes survive encoding and decoding.
#include "codec/base64.h"

#include "fuzzsupport.h"

#include <QBuffer>
#include <algorithm>

namespace {
bool plainAlphabet(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return Base64Alphabet.contains(c); });
}

// A device other than a memory buffer, handing out its bytes in pieces of a
// given size, so the encoder takes its reading loop instead of the buffer.
class PieceDevice final : public QIODevice {
public:
    PieceDevice(const QByteArray &bytes, qint64 piece)
        : bytes_(bytes)
        , piece_(piece)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    qint64 size() const override { return bytes_.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min({ maxSize, piece_, bytes_.size() - at_ });
        std::copy_n(bytes_.constData() + at_, n, data);
        at_ += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 piece_;
    qint64 at_ = 0;
};

QByteArray encode(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer source(&copy);
    source.open(QIODevice::ReadOnly);
    TEncoderMIME encoder;
    return encoder.Encode(source, kEncodeAll);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = inputBytes(data, size);

    QByteArray decoded;
    bool refused = false;
    try {
        decoded = TDecoderMIME::DecodeText<TDecoderMIME>(input);
    } catch (const ECodecError &) {
        refused = true;
    }
    FUZZ_CHECK(refused == (input.size() % 4 != 0), QString::number(input.size()));
    if (!refused) {
        FUZZ_CHECK(decoded.size() <= input.size() / 4 * 3, QString::number(decoded.size()));
        if (plainAlphabet(input))
            FUZZ_CHECK(encode(decoded) == input, QString::fromLatin1(input.left(80)));
    }

    // Into a stream that already holds bytes the decoded ones go after them,
    // whether they are written through the device or placed in its memory.
    if (!refused && !input.isEmpty()) {
        for (const QIODevice::OpenMode mode :
            { QIODevice::WriteOnly | QIODevice::Append, QIODevice::OpenMode(QIODevice::ReadWrite) }) {
            QByteArray held("held");
            QBuffer stream(&held);
            stream.open(mode);
            stream.seek(held.size());
            TDecoderMIME decoder;
            decoder.DecodeToStream(input, stream);
            FUZZ_CHECK(held == "held" + decoded, QString::number(held.size()));
        }
    }

    const QByteArray text = encode(QByteArray(input));
    FUZZ_CHECK(text.size() == (input.size() + 2) / 3 * 4, QString::number(text.size()));
    PieceDevice device(input, input.isEmpty() ? 1 : 1 + static_cast<uchar>(input[0]) % 7);
    TEncoderMIME encoder;
    FUZZ_CHECK(encoder.Encode(device, kEncodeAll) == text, QString::number(input.size()));
    FUZZ_CHECK(TDecoderMIME::DecodeText<TDecoderMIME>(text) == input, QString::number(input.size()));
    return 0;
}
