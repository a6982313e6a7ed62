// Signed envelopes (.p7m) read in memory with libcrypto: the DER or the Base64
// text forms, nested envelopes unwrapped, the document they wrap. Nothing is
// written anywhere.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct BustaAperta {
    QByteArray contenuto; // the innermost content: the invoice
    int livelli = 0; // how many envelopes wrapped it (1 for a plain envelope)
};

// Opens the envelope and every envelope found inside it. Throws Exception with
// the Italian message the user sees when the bytes are not a signed envelope
// or hold no content.
BustaAperta ApriBusta(QByteArrayView bytes);
