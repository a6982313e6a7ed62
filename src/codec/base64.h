// The Base64 codec: a general 3-to-4 encoder and 4-to-3 decoder over a
// 64-character alphabet and a fill character, and the two MIME classes that fix
// them to the standard alphabet and "=". Strict and plain: the encoder writes no
// line breaks; the decoder takes only whole groups of four characters, skips
// nothing and checks no character (one outside the alphabet enters its group as
// 255), and judges padding group by group.
#pragma once

#include "common/errors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <array>
#include <concepts>
#include <limits>

class ECodecError final : public Exception {
public:
    using Exception::Exception;
};

// Counts and sizes are 32-bit signed; anything larger is refused.
inline constexpr qint32 kCodecMaxSize = std::numeric_limits<qint32>::max();
// Encode's count that means "from the position to the end".
inline constexpr qint32 kEncodeAll = std::numeric_limits<qint32>::max();
// The most bytes whose text still has a 32-bit length.
inline constexpr qint32 kEncodeMaxBytes = (kCodecMaxSize / 4) * 3;

inline constexpr QByteArrayView Base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// One entry per character code 1 to 127 (entry i is code i + 1).
using TDecodingTable = std::array<quint8, 127>;

// Coders are small objects made for one job and destroyed by their maker.
class TCodecBase {
public:
    TCodecBase() = default;
    virtual ~TCodecBase() = default;
    TCodecBase(const TCodecBase &) = delete;
    TCodecBase &operator=(const TCodecBase &) = delete;
};

class TEncoder : public TCodecBase {
public:
    // Encodes count bytes from the source's position (kEncodeAll: to its end)
    // and leaves the position behind the last byte encoded.
    virtual QByteArray Encode(QIODevice &source, qint32 count) = 0;
};

class TEncoder3to4 : public TEncoder {
public:
    QByteArray Encode(QIODevice &source, qint32 count) override;

    QByteArray CodingTable; // character i stands for the 6-bit value i
    char FillChar = 0;
};

class TEncoderMIME final : public TEncoder3to4 {
public:
    TEncoderMIME();
};

class TDecoder : public TCodecBase {
public:
    // Writes the decoded bytes at the destination's position in one write.
    virtual void DecodeToStream(QByteArrayView text, QIODevice &destination) = 0;
    QByteArray DecodeToBytes(QByteArrayView text);

    // Class-level: builds a fresh decoder of Class for this one text, so the
    // settings of any decoder the caller holds play no part.
    template <std::derived_from<TDecoder> Class> static QByteArray DecodeText(QByteArrayView text)
    {
        Class decoder;
        return decoder.DecodeToBytes(text);
    }
};

class TDecoder4to3 : public TDecoder {
public:
    void DecodeToStream(QByteArrayView text, QIODevice &destination) override;

    static constexpr void BuildDecodingTable(QByteArrayView alphabet, TDecodingTable &table)
    {
        table.fill(255);
        for (qsizetype i = 0; i < alphabet.size(); ++i) {
            const auto code = static_cast<quint8>(alphabet[i]);
            if (code >= 1 && code <= 127)
                table[code - 1] = static_cast<quint8>(i);
        }
    }

    TDecodingTable DecodingTable {};
    char FillChar = 0;
};

inline constexpr TDecodingTable MimeDecodingTable = [] {
    TDecodingTable table {};
    TDecoder4to3::BuildDecodingTable(Base64Alphabet, table);
    return table;
}();

class TDecoderMIME final : public TDecoder4to3 {
public:
    TDecoderMIME();
};
