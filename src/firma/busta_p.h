// The envelope's levels as libcrypto structures, for the verification.
// Internal to the signature module.
#pragma once

#include "firma/osslptr.h"

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

// Envelopes nested deeper than this are refused: no sender wraps more.
inline constexpr int kMaxLivelliBusta = 8;

struct LivelloBusta {
    CmsPtr cms;
    QByteArray contenuto; // what this level signs, inside cms (not a copy)
};

// Each level from the outermost in; the last one's content is the document.
// The bytes are DER or Base64 text (armoured, wrapped, once or twice
// encoded). Throws Exception as ApriBusta does.
std::vector<LivelloBusta> LeggiLivelliBusta(QByteArrayView bytes);

// True when the bytes open as XML does ('<' after a byte-order mark and
// blanks): no envelope, DER or Base64, starts that way.
bool InizioXml(QByteArrayView bytes);
