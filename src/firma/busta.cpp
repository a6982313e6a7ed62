// Signed envelopes read in memory. libcrypto's parser copies the signed
// content out of the bytes; for an envelope in DER with the content in one
// piece, the usual form, the content is left where it lies and libcrypto
// parses the envelope without it: a 20 MB invoice is not copied to be checked.
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

// What the envelope signs, left inside the envelope (valid while it lives);
// nullopt when the content is not there.
std::optional<QByteArray> contenutoDi(CMS_ContentInfo *cms)
{
    ASN1_OCTET_STRING **content = CMS_get0_content(cms);
    if (content == nullptr || *content == nullptr)
        return std::nullopt;
    return QByteArray::fromRawData(
        reinterpret_cast<const char *>(ASN1_STRING_get0_data(*content)), ASN1_STRING_length(*content));
}

// One DER element: where it starts, its contents and where it ends.
struct Elemento {
    const unsigned char *inizio = nullptr;
    const unsigned char *dati = nullptr;
    const unsigned char *fine = nullptr;
    int tag = 0;
    int classe = 0;
    bool costruito = false;
};

// Reads the element at p (moving p to its contents); false for anything but a
// definite length that fits before fine.
bool leggi(const unsigned char *&p, const unsigned char *fine, Elemento &e, int tag, int classe = V_ASN1_UNIVERSAL)
{
    e.inizio = p;
    long lunghezza = 0;
    const int esito = p < fine ? ASN1_get_object(&p, &lunghezza, &e.tag, &e.classe, fine - p) : 0x80;
    if ((esito & 0x81) != 0)
        return false;
    e.costruito = (esito & V_ASN1_CONSTRUCTED) != 0;
    e.dati = p;
    e.fine = p + lunghezza;
    return e.tag == tag && e.classe == classe;
}

QByteArray tlv(int tag, int classe, const QByteArray &dati)
{
    QByteArray out(ASN1_object_size(1, static_cast<int>(dati.size()), tag) - dati.size(), Qt::Uninitialized);
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    ASN1_put_object(&p, 1, static_cast<int>(dati.size()), tag, classe);
    return out + dati;
}

QByteArray tratto(const unsigned char *da, const unsigned char *a)
{
    return QByteArray(reinterpret_cast<const char *>(da), a - da);
}

// An envelope in DER with its content in one OCTET STRING, split into the
// envelope without the content (so libcrypto reads it as one whose content is
// detached) and the content in place; its certificates taken out too, for
// CertificatoDaDer to decode. nullopt for any other form (BER, content in
// pieces, no content), which libcrypto then reads whole.
struct Separata {
    QByteArray involucro;
    QByteArrayView contenuto;
    std::vector<QByteArrayView> certificati;
};

// The certificates field ([0] IMPLICIT SET OF CertificateChoices) at p, when
// it is there and holds plain certificates only: their DERs, and p past it.
bool certificati(const unsigned char *&p, const unsigned char *fine, std::vector<QByteArrayView> &der)
{
    Elemento insieme;
    const unsigned char *q = p;
    if (!leggi(q, fine, insieme, 0, V_ASN1_CONTEXT_SPECIFIC) || !insieme.costruito)
        return true; // none: nothing to take out
    while (q < insieme.fine) {
        Elemento cert;
        if (!leggi(q, insieme.fine, cert, V_ASN1_SEQUENCE))
            return false; // an attribute certificate or worse: libcrypto reads it all
        der.emplace_back(reinterpret_cast<const char *>(cert.inizio), cert.fine - cert.inizio);
        q = cert.fine;
    }
    p = insieme.fine;
    return true;
}

std::optional<Separata> separa(QByteArrayView der)
{
    if (der.size() > std::numeric_limits<int>::max())
        return std::nullopt;
    static const QByteArray kSignedData = QByteArray::fromHex("2a864886f70d010702");
    const auto *p = reinterpret_cast<const unsigned char *>(der.data());
    Elemento info, tipo, esplicito, firmati, versione, algoritmi, incapsulato, tipoContenuto, involucroContenuto,
        ottetti;
    if (!leggi(p, p + der.size(), info, V_ASN1_SEQUENCE) || !leggi(p, info.fine, tipo, V_ASN1_OBJECT)
        || tratto(tipo.dati, tipo.fine) != kSignedData)
        return std::nullopt;
    p = tipo.fine;
    if (!leggi(p, info.fine, esplicito, 0, V_ASN1_CONTEXT_SPECIFIC)
        || !leggi(p, esplicito.fine, firmati, V_ASN1_SEQUENCE) || !leggi(p, firmati.fine, versione, V_ASN1_INTEGER))
        return std::nullopt;
    p = versione.fine;
    if (!leggi(p, firmati.fine, algoritmi, V_ASN1_SET))
        return std::nullopt;
    p = algoritmi.fine;
    if (!leggi(p, firmati.fine, incapsulato, V_ASN1_SEQUENCE)
        || !leggi(p, incapsulato.fine, tipoContenuto, V_ASN1_OBJECT))
        return std::nullopt;
    p = tipoContenuto.fine;
    if (!leggi(p, incapsulato.fine, involucroContenuto, 0, V_ASN1_CONTEXT_SPECIFIC)
        || !leggi(p, involucroContenuto.fine, ottetti, V_ASN1_OCTET_STRING) || ottetti.costruito
        || ottetti.fine != involucroContenuto.fine || involucroContenuto.fine != incapsulato.fine)
        return std::nullopt;
    std::vector<QByteArrayView> portati;
    const unsigned char *dopo = incapsulato.fine;
    if (!certificati(dopo, firmati.fine, portati))
        return std::nullopt;
    const QByteArray senzaContenuto
        = tlv(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, tratto(tipoContenuto.inizio, tipoContenuto.fine));
    const QByteArray corpo = tratto(firmati.dati, incapsulato.inizio) + senzaContenuto + tratto(dopo, firmati.fine);
    const QByteArray dentro = tlv(0, V_ASN1_CONTEXT_SPECIFIC, tlv(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, corpo));
    return Separata { tlv(V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, tratto(tipo.inizio, tipo.fine) + dentro),
        QByteArrayView(ottetti.dati, ottetti.fine - ottetti.dati), std::move(portati) };
}

// The envelope in the bytes, or no cms when they are not one.
LivelloBusta apri(QByteArrayView bytes)
{
    LivelloBusta livello;
    QByteArrayView der = bytes;
    if (!looksLikeDer(bytes)) {
        // The usual innermost content, spared a pass of the Base64 decoder.
        std::optional<QByteArray> decodificati = InizioXml(bytes) ? std::nullopt : derFromBase64Envelope(bytes);
        if (!decodificati)
            return livello;
        livello.decodificati = std::move(*decodificati);
        der = livello.decodificati;
    }
    if (std::optional<Separata> s = separa(der)) {
        livello.cms = cmsFirmato(s->involucro);
        livello.certificati.reset(sk_X509_new_null());
        bool tutti = livello.cms && !contenutoDi(livello.cms.get()) && livello.certificati;
        for (const QByteArrayView c : s->certificati) {
            OsslPtr<X509> x = tutti ? CertificatoDaDer(c) : nullptr;
            tutti = x && sk_X509_push(livello.certificati.get(), x.get()) > 0;
            if (tutti)
                (void)x.release(); // the stack owns it now
        }
        if (tutti) {
            livello.contenuto = QByteArray::fromRawData(s->contenuto.data(), s->contenuto.size());
            return livello;
        }
    }
    livello.cms = cmsFirmato(der);
    if (livello.cms) {
        std::optional<QByteArray> contenuto = contenutoDi(livello.cms.get());
        if (!contenuto)
            throw Exception(kSenzaContenuto);
        livello.contenuto = *contenuto;
        livello.certificati.reset(CMS_get1_certs(livello.cms.get()));
    }
    return livello;
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
    LivelloBusta livello = apri(bytes);
    if (!livello.cms)
        throw Exception(kNonBusta);
    while (livello.cms) {
        if (livelli.size() >= kMaxLivelliBusta)
            throw Exception(kTroppiLivelli);
        // Some senders sign an envelope again: its content is an envelope too.
        LivelloBusta interno = apri(livello.contenuto);
        livelli.push_back(std::move(livello));
        livello = std::move(interno);
    }
    return livelli;
}

BustaAperta ApriBusta(QByteArrayView bytes)
{
    const std::vector<LivelloBusta> livelli = LeggiLivelliBusta(bytes);
    const QByteArray &documento = livelli.back().contenuto;
    // A copy of its own: the content lies inside the bytes or the envelopes.
    return { QByteArray(documento.constData(), documento.size()), static_cast<int>(livelli.size()) };
}
