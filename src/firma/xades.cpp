// XML signatures (XAdES, enveloped) checked with xmlsec on its OpenSSL back
// end, once the document has passed the profile's checks: same-document
// references only, a short list of transforms, the key of the certificate the
// signature carries. Nothing is ever fetched.
#include "firma/firma_p.h"
#include "firma/xmlnodi.h"
#include "firma/xmlsecptr.h"

#include "invoice/xmlptr.h"
#include "invoice/xmlsicuro.h"

#include <QSet>
#include <libxml/c14n.h>
#include <mutex>
#include <openssl/err.h>
#include <xmlsec/errors.h>
#include <xmlsec/openssl/app.h>
#include <xmlsec/openssl/crypto.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/transforms.h>
#include <xmlsec/xmlsec.h>

namespace {
constexpr const char *kDsig = "http://www.w3.org/2000/09/xmldsig#";

bool eFirma(const xmlNode *n)
{
    return haNome(n, "Signature") && inSpazio(n, kDsig);
}

// Its messages would go to standard error; the outcome says what matters.
void silenzio(const char *, int, const char *, const char *, const char *, int, const char *)
{
}

// The transforms a signature may use: canonical forms, the enveloped-signature
// and XPath filters (their expressions checked beforehand), the usual digests
// and signature methods. XSLT and anything that could reach outside the
// document is left out, and so is MD5.
const std::vector<xmlSecTransformId> &trasformazioniRiferimento()
{
    static const std::vector<xmlSecTransformId> ids { xmlSecTransformInclC14NId, xmlSecTransformInclC14NWithCommentsId,
        xmlSecTransformInclC14N11Id, xmlSecTransformInclC14N11WithCommentsId, xmlSecTransformExclC14NId,
        xmlSecTransformExclC14NWithCommentsId, xmlSecTransformEnvelopedId, xmlSecTransformXPathId,
        xmlSecTransformXPath2Id, xmlSecOpenSSLTransformSha1Id, xmlSecOpenSSLTransformSha224Id,
        xmlSecOpenSSLTransformSha256Id, xmlSecOpenSSLTransformSha384Id, xmlSecOpenSSLTransformSha512Id };
    return ids;
}

const std::vector<xmlSecTransformId> &trasformazioniFirma()
{
    static const std::vector<xmlSecTransformId> ids { xmlSecTransformInclC14NId, xmlSecTransformInclC14NWithCommentsId,
        xmlSecTransformInclC14N11Id, xmlSecTransformInclC14N11WithCommentsId, xmlSecTransformExclC14NId,
        xmlSecTransformExclC14NWithCommentsId, xmlSecOpenSSLTransformRsaSha1Id, xmlSecOpenSSLTransformRsaSha224Id,
        xmlSecOpenSSLTransformRsaSha256Id, xmlSecOpenSSLTransformRsaSha384Id, xmlSecOpenSSLTransformRsaSha512Id,
        xmlSecOpenSSLTransformEcdsaSha1Id, xmlSecOpenSSLTransformEcdsaSha224Id, xmlSecOpenSSLTransformEcdsaSha256Id,
        xmlSecOpenSSLTransformEcdsaSha384Id, xmlSecOpenSSLTransformEcdsaSha512Id };
    return ids;
}

// The digest an algorithm URI names (a digest or a signature method).
int digestDi(const QString &uri)
{
    const QString nome = uri.section(QLatin1Char('#'), -1).toLower();
    for (const auto &[parte, nid] : { std::pair { "md5", NID_md5 }, { "sha224", NID_sha224 }, { "sha256", NID_sha256 },
             { "sha384", NID_sha384 }, { "sha512", NID_sha512 }, { "sha1", NID_sha1 } })
        if (nome.contains(QLatin1String(parte)))
            return nid;
    return NID_undef;
}

// The certificates of ds:KeyInfo; false when one does not parse.
bool certificatiDi(const xmlNode *firma, std::vector<OsslPtr<X509>> &certificati)
{
    for (const xmlNode *dati : figli(figlio(firma, "KeyInfo"), "X509Data")) {
        for (const xmlNode *c : figli(dati, "X509Certificate")) {
            OsslPtr<X509> cert = CertificatoDaDer(QByteArray::fromBase64(testoUtf8(c)));
            if (!cert)
                return false;
            certificati.push_back(std::move(cert));
        }
    }
    return true;
}

// The signer's certificate: the one that issued none of the others.
size_t foglia(const std::vector<OsslPtr<X509>> &certificati)
{
    for (size_t i = 0; i < certificati.size(); ++i) {
        bool emittente = false;
        for (size_t j = 0; j < certificati.size() && !emittente; ++j)
            emittente = i != j && X509_check_issued(certificati[i].get(), certificati[j].get()) == X509_V_OK;
        if (!emittente)
            return i;
    }
    return 0;
}

XmlsecPtr<xmlSecKey> chiaveDi(X509 *cert)
{
    OsslPtr<EVP_PKEY> pubblica(X509_get_pubkey(cert));
    XmlsecPtr<xmlSecKeyData> dati(pubblica ? xmlSecOpenSSLEvpKeyAdopt(pubblica.get()) : nullptr);
    if (!dati)
        return nullptr;
    (void)pubblica.release(); // the key data owns it now
    XmlsecPtr<xmlSecKey> chiave(xmlSecKeyCreate());
    if (!chiave || xmlSecKeySetValue(chiave.get(), dati.get()) < 0)
        return nullptr;
    (void)dati.release();
    return chiave;
}

// The XAdES qualifying properties of this signature.
const xmlNode *qualifiche(const xmlNode *firma)
{
    for (const xmlNode *oggetto : figli(firma, "Object"))
        if (const xmlNode *q = figlio(oggetto, "QualifyingProperties"))
            return q;
    return nullptr;
}

// The SigningTime of the signed properties a reference covers.
QDateTime dataFirmata(const xmlNode *firma, const QSet<QString> &riferiti)
{
    for (const xmlNode *firmate : figli(qualifiche(firma), "SignedProperties"))
        if (riferiti.contains(QLatin1Char('#') + attributo(firmate, "Id")))
            return TempoIso(testo(figlio(figlio(firmate, "SignedSignatureProperties"), "SigningTime")));
    return QDateTime();
}

bool dentro(const xmlNode *n, const xmlNode *antenato)
{
    for (; n != nullptr; n = n->parent)
        if (n == antenato)
            return true;
    return false;
}

// Namespace nodes come as (namespace, its element): they belong where their element does.
int visibile(void *radice, xmlNodePtr nodo, xmlNodePtr genitore)
{
    const xmlNode *n = nodo->type == XML_NAMESPACE_DECL ? genitore : nodo;
    return dentro(n, static_cast<const xmlNode *>(radice)) ? 1 : 0;
}

// The element in the canonical form the algorithm names (inclusive 1.0 when none).
QByteArray canonico(xmlDoc *doc, xmlNode *elemento, const QString &algoritmo)
{
    const bool commenti = algoritmo.endsWith(QLatin1String("#WithComments"));
    const int modo = algoritmo.startsWith(QLatin1String("http://www.w3.org/2001/10/xml-exc-c14n#"))
        ? XML_C14N_EXCLUSIVE_1_0
        : algoritmo.startsWith(QLatin1String("http://www.w3.org/2006/12/xml-c14n11")) ? XML_C14N_1_1
                                                                                      : XML_C14N_1_0;
    XmlOutPtr uscita(xmlAllocOutputBuffer(nullptr));
    if (!uscita || xmlC14NExecute(doc, visibile, elemento, modo, nullptr, commenti ? 1 : 0, uscita.get()) < 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(xmlOutputBufferGetContent(uscita.get())),
        static_cast<qsizetype>(xmlOutputBufferGetSize(uscita.get())));
}

// The signature time-stamp of the unsigned properties, and what it stamps.
void marcaDi(xmlDoc *doc, xmlNode *firma, FirmaXml &r)
{
    const xmlNode *proprieta = figlio(figlio(qualifiche(firma), "UnsignedProperties"), "UnsignedSignatureProperties");
    const xmlNode *marca = figlio(proprieta, "SignatureTimeStamp");
    xmlNode *valore = figlio(firma, "SignatureValue");
    if (marca == nullptr || valore == nullptr)
        return;
    r.marca = QByteArray::fromBase64(testoUtf8(figlio(marca, "EncapsulatedTimeStamp")));
    r.marcati = canonico(doc, valore, attributo(figlio(marca, "CanonicalizationMethod"), "Algorithm"));
}
} // namespace

bool XmlsecPronto()
{
    static std::once_flag once;
    static bool pronto = false;
    std::call_once(once, [] {
        InizializzaXml(); // libxml2 first, with its own sinks and loaders
        xmlSecErrorsSetCallback(silenzio);
        pronto = xmlSecInit() == 0 && xmlSecCheckVersion() == 1 && xmlSecOpenSSLAppInit(nullptr) == 0
            && xmlSecOpenSSLInit() == 0;
        ERR_clear_error();
    });
    return pronto;
}

std::vector<xmlNode *> NodiFirma(xmlDoc *doc)
{
    std::vector<xmlNode *> firme;
    xmlNode *radice = xmlDocGetRootElement(doc);
    for (xmlNode *n = radice; n != nullptr;) {
        const bool firma = eFirma(n);
        if (firma)
            firme.push_back(n);
        n = prossimoNodo(n, radice, !firma);
    }
    return firme;
}

bool RegistraId(xmlDoc *doc)
{
    xmlNode *radice = xmlDocGetRootElement(doc);
    for (xmlNode *n = radice; n != nullptr; n = prossimoNodo(n, radice)) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttr *a = n->properties; a != nullptr; a = a->next) {
            // xml:id the parser registers itself: it takes part in the check.
            const bool xmlId = a->ns != nullptr && xmlStrEqual(a->ns->href, XML_XML_NAMESPACE)
                && xmlStrEqual(a->name, BAD_CAST "id");
            if (!xmlId
                && (a->ns != nullptr || !(xmlStrEqual(a->name, BAD_CAST "Id") || xmlStrEqual(a->name, BAD_CAST "ID"))))
                continue;
            const QByteArray valore = testoUtf8(a->children);
            const xmlAttr *gia = xmlGetID(doc, BAD_CAST valore.constData());
            if (gia == nullptr)
                xmlAddID(nullptr, doc, BAD_CAST valore.constData(), a);
            else if (gia != a)
                return false;
        }
    }
    return true;
}

FirmaXml VerificaNodoFirma(xmlDoc *doc, xmlNode *firma, ProfiloFirma profilo)
{
    FirmaXml r;
    if (!XmlsecPronto()) {
        r.motivo = QStringLiteral("la verifica delle firme XML non è disponibile");
        return r;
    }
    if (r.motivo = ControllaDocumentoFirmato(doc, { firma }, profilo); !r.motivo.isEmpty())
        return r;
    if (r.motivo = ControllaProfilo(doc, firma); !r.motivo.isEmpty())
        return r;
    const xmlNode *firmati = figlio(firma, "SignedInfo");
    QSet<QString> riferiti;
    std::vector<int> digest { digestDi(attributo(figlio(firmati, "SignatureMethod"), "Algorithm")) };
    for (const xmlNode *ref : figli(firmati, "Reference")) {
        riferiti << attributo(ref, "URI");
        digest.push_back(digestDi(attributo(figlio(ref, "DigestMethod"), "Algorithm")));
    }
    std::vector<OsslPtr<X509>> certificati;
    if (!certificatiDi(firma, certificati)) {
        r.motivo = QStringLiteral("il certificato del firmatario non è leggibile");
        return r;
    }
    if (certificati.empty()) {
        r.motivo = QStringLiteral("la firma non contiene il certificato del firmatario");
        return r;
    }
    const size_t i = foglia(certificati);
    r.cert = std::move(certificati[i]);
    // A broken algorithm proves nothing, whatever the arithmetic says.
    r.algoritmo = ValutaAlgoritmo(digest, r.cert.get());
    if (r.algoritmo.robustezza == Robustezza::Rotta) {
        r.motivo = QStringLiteral("la firma usa un algoritmo non sicuro (%1)").arg(r.algoritmo.debolezza);
        return r;
    }
    r.altri.reset(sk_X509_new_null());
    for (OsslPtr<X509> &c : certificati)
        if (c && sk_X509_push(r.altri.get(), c.get()) > 0)
            (void)c.release();
    XmlsecPtr<xmlSecDSigCtx> ctx(xmlSecDSigCtxCreate(nullptr));
    XmlsecPtr<xmlSecKey> chiave = chiaveDi(r.cert.get());
    if (!ctx || !chiave) {
        r.motivo = QStringLiteral("la chiave del certificato del firmatario non è utilizzabile");
        return r;
    }
    ctx->flags = XMLSEC_DSIG_FLAGS_IGNORE_MANIFESTS | XMLSEC_DSIG_FLAGS_STORE_SIGNEDINFO_REFERENCES;
    ctx->enabledReferenceUris
        = static_cast<xmlSecTransformUriType>(xmlSecTransformUriTypeEmpty | xmlSecTransformUriTypeSameDocument);
    for (xmlSecTransformId id : trasformazioniRiferimento())
        xmlSecDSigCtxEnableReferenceTransform(ctx.get(), id);
    for (xmlSecTransformId id : trasformazioniFirma())
        xmlSecDSigCtxEnableSignatureTransform(ctx.get(), id);
    ctx->signKey = chiave.release();
    const int esito = xmlSecDSigCtxVerify(ctx.get(), firma);
    ERR_clear_error();
    if (esito < 0) {
        r.motivo = QStringLiteral("la firma non è verificabile (algoritmi o struttura non ammessi)");
        return r;
    }
    if (ctx->status != xmlSecDSigStatusSucceeded) {
        bool riferimentoAlterato = false;
        for (xmlSecSize k = 0; k < xmlSecPtrListGetSize(&ctx->signedInfoReferences); ++k) {
            const auto *rc = static_cast<xmlSecDSigReferenceCtx *>(xmlSecPtrListGetItem(&ctx->signedInfoReferences, k));
            riferimentoAlterato = riferimentoAlterato || rc->status != xmlSecDSigStatusSucceeded;
        }
        r.motivo = riferimentoAlterato ? QStringLiteral("il contenuto è stato modificato dopo la firma")
                                       : QStringLiteral("la firma non corrisponde ai dati firmati");
        return r;
    }
    r.integra = true;
    r.dataFirma = dataFirmata(firma, riferiti);
    marcaDi(doc, firma, r);
    return r;
}
