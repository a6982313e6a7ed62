// Signed envelopes that arrive as Base64 text instead of binary DER: the
// detection and a tolerant decoder of their own (the attachments' strict codec
// would refuse wrapped, armoured or unpadded text).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// True when the bytes start with the DER SEQUENCE tag that opens every envelope.
bool looksLikeDer(QByteArrayView bytes);

// Decodes Base64 text: optional "-----BEGIN ...-----" / "-----END ...-----"
// armour, a leading UTF-8 byte-order mark, blanks and line breaks anywhere,
// padding optional. nullopt when the whole text is not Base64 of that kind or
// holds nothing.
std::optional<QByteArray> decodeBase64Text(QByteArrayView text);

// The DER to hand to the tool in place of an envelope's bytes: nullopt when the
// bytes already are DER or are neither DER nor Base64 that decodes (once or
// twice) to DER, so they go to the tool unchanged.
std::optional<QByteArray> derFromBase64Envelope(QByteArrayView contents);
