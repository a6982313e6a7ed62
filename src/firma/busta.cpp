// Signed envelopes read in memory.
#include "firma/busta.h"
#include "firma/busta_p.h"

#include "attachments/envelopetext.h"
#include "common/errors.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <limits>
#include <optional>

namespace {
const QString kNonBusta = QStringLiteral("Il file non è una busta firmata (.p7m) leggibile");
const QString kSenzaContenuto = QStringLiteral("La busta firmata non contiene il documento firmato");
const QString kTroppiLivelli = QStringLiteral("La busta firmata contiene troppe buste annidate");

// The signed-data envelope in der, or null when der is not one.
CmsPtr cmsFirmato(QByteArrayView der)
{
    if (der.isEmpty() || der.size() > std::numeric_limits<long>::max())
        return nullptr;
    const auto *p = reinterpret_cast<const unsigned char *>(der.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    ERR_clear_error(); // a failed parse leaves its reasons on this thread's queue
    if (cms && OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed)
        cms.reset();
    return cms;
}

CmsPtr cmsDa(QByteArrayView bytes)
{
    if (looksLikeDer(bytes))
        return cmsFirmato(bytes);
    // The usual innermost content, spared a pass of the Base64 decoder.
    if (InizioXml(bytes))
        return nullptr;
    const std::optional<QByteArray> der = derFromBase64Envelope(bytes);
    return der ? cmsFirmato(*der) : nullptr;
}

// What the envelope signs, left inside the envelope (valid while it lives);
// nullopt when the content is detached.
std::optional<QByteArray> contenutoDi(CMS_ContentInfo *cms)
{
    ASN1_OCTET_STRING **content = CMS_get0_content(cms);
    if (content == nullptr || *content == nullptr)
        return std::nullopt;
    return QByteArray::fromRawData(
        reinterpret_cast<const char *>(ASN1_STRING_get0_data(*content)), ASN1_STRING_length(*content));
}
} // namespace

bool InizioXml(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    for (const char c : bytes.first(qMin<qsizetype>(bytes.size(), 4096))) {
        if (c == '<')
            return true;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return false;
}

std::vector<LivelloBusta> LeggiLivelliBusta(QByteArrayView bytes)
{
    std::vector<LivelloBusta> livelli;
    CmsPtr cms = cmsDa(bytes);
    if (!cms)
        throw Exception(kNonBusta);
    while (cms) {
        if (livelli.size() >= kMaxLivelliBusta)
            throw Exception(kTroppiLivelli);
        std::optional<QByteArray> contenuto = contenutoDi(cms.get());
        if (!contenuto)
            throw Exception(kSenzaContenuto);
        // Some senders sign an envelope again: its content is an envelope too.
        CmsPtr interno = cmsDa(*contenuto);
        livelli.push_back({ std::move(cms), std::move(*contenuto) });
        cms = std::move(interno);
    }
    return livelli;
}

BustaAperta ApriBusta(QByteArrayView bytes)
{
    const std::vector<LivelloBusta> livelli = LeggiLivelliBusta(bytes);
    const QByteArray &documento = livelli.back().contenuto;
    // A copy of its own: the content lies inside the envelopes, freed on return.
    return { QByteArray(documento.constData(), documento.size()), static_cast<int>(livelli.size()) };
}
