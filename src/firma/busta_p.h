// The envelope's levels as libcrypto structures, for the verification.
// Internal to the signature module.
#pragma once

#include "firma/firma_p.h"
#include "firma/osslptr.h"

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

// Envelopes nested deeper than this are refused: no sender wraps more.
inline constexpr int kMaxLivelliBusta = 8;

struct LivelloBusta {
    CmsPtr cms; // without its content (and its certificates) when the content lay whole in the bytes
    QByteArray contenuto; // what this level signs, not a copy: in the bytes, in decodificati or in cms
    // The certificates the envelope carries: taken out of it before libcrypto
    // parses it and decoded through CertificatoDaDer, or else the envelope's own.
    Certificati certificati;
    QByteArray decodificati; // the DER of an envelope that came as Base64 text
};

// Each level from the outermost in; the last one's content is the document.
// The bytes are DER or Base64 text (armoured, wrapped, once or twice
// encoded) and must outlive the levels. Throws Exception as ApriBusta does.
std::vector<LivelloBusta> LeggiLivelliBusta(QByteArrayView bytes);

// True when the bytes open as XML does ('<' after a byte-order mark and
// blanks): no envelope, DER or Base64, starts that way.
bool InizioXml(QByteArrayView bytes);
