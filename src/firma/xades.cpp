// XML signatures (XAdES, enveloped) checked with xmlsec on its OpenSSL back
// end: same-document references only, a short list of transforms, the key of
// the certificate the signature carries. Nothing is ever fetched.
#include "firma/firma_p.h"
#include "firma/xmlnodi.h"
#include "firma/xmlsecptr.h"

#include "invoice/xmlsicuro.h"

#include <QSet>
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
    return haNome(n, "Signature") && n->ns != nullptr && xmlStrEqual(n->ns->href, BAD_CAST kDsig);
}

// The next node of a walk over the elements under radice; discendi false
// skips the children of n.
xmlNode *prossimo(xmlNode *n, const xmlNode *radice, bool discendi)
{
    if (discendi && n->children != nullptr)
        return n->children;
    while (n != radice && n->next == nullptr)
        n = n->parent;
    return n == radice ? nullptr : n->next;
}

// Its messages would go to standard error; the outcome says what matters.
void silenzio(const char *, int, const char *, const char *, const char *, int, const char *)
{
}

// The transforms a signature may use: canonical forms, the enveloped-signature
// and XPath filters, the usual digests and signature methods. XSLT and
// anything that could reach outside the document is left out.
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

// The certificates of ds:KeyInfo; false when one does not parse.
bool certificatiDi(const xmlNode *firma, std::vector<OsslPtr<X509>> &certificati)
{
    for (const xmlNode *dati : figli(figlio(firma, "KeyInfo"), "X509Data")) {
        for (const xmlNode *c : figli(dati, "X509Certificate")) {
            const QByteArray der = QByteArray::fromBase64(testo(c).toLatin1());
            const auto *p = reinterpret_cast<const unsigned char *>(der.constData());
            OsslPtr<X509> cert(d2i_X509(nullptr, &p, der.size()));
            ERR_clear_error();
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

// The SigningTime of the signed properties a reference covers.
QDateTime dataFirmata(const xmlNode *firma, const QSet<QString> &riferiti)
{
    for (const xmlNode *oggetto : figli(firma, "Object"))
        for (const xmlNode *qualifiche : figli(oggetto, "QualifyingProperties"))
            for (const xmlNode *firmate : figli(qualifiche, "SignedProperties"))
                if (riferiti.contains(QLatin1Char('#') + attributo(firmate, "Id")))
                    return TempoIso(testo(figlio(figlio(firmate, "SignedSignatureProperties"), "SigningTime")));
    return QDateTime();
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
        n = prossimo(n, radice, !firma);
    }
    return firme;
}

bool RegistraId(xmlDoc *doc)
{
    xmlNode *radice = xmlDocGetRootElement(doc);
    for (xmlNode *n = radice; n != nullptr; n = prossimo(n, radice, true)) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttr *a = n->properties; a != nullptr; a = a->next) {
            if (a->ns != nullptr || !(xmlStrEqual(a->name, BAD_CAST "Id") || xmlStrEqual(a->name, BAD_CAST "ID")))
                continue;
            xmlChar *valore = xmlNodeListGetString(doc, a->children, 1);
            if (valore == nullptr)
                continue;
            const xmlAttr *gia = xmlGetID(doc, valore);
            if (gia == nullptr)
                xmlAddID(nullptr, doc, valore, a);
            xmlFree(valore);
            if (gia != nullptr && gia != a)
                return false;
        }
    }
    return true;
}

FirmaXml VerificaNodoFirma(xmlDoc *doc, xmlNode *firma)
{
    FirmaXml r;
    if (!XmlsecPronto()) {
        r.motivo = QStringLiteral("la verifica delle firme XML non è disponibile");
        return r;
    }
    // Every reference stays inside the document; one of them covers it whole.
    const QString idRadice = attributo(xmlDocGetRootElement(doc), "Id");
    QSet<QString> riferiti;
    bool intero = false;
    for (const xmlNode *ref : figli(figlio(firma, "SignedInfo"), "Reference")) {
        const QString uri = attributo(ref, "URI");
        if (!uri.isEmpty() && !uri.startsWith(QLatin1Char('#'))) {
            r.motivo = QStringLiteral("la firma rimanda a un indirizzo esterno (%1), che non viene scaricato").arg(uri);
            return r;
        }
        riferiti << uri;
        intero = intero || (xmlHasProp(ref, BAD_CAST "URI") && uri.isEmpty())
            || (!idRadice.isEmpty() && uri == QLatin1Char('#') + idRadice);
    }
    if (!intero) {
        r.motivo = QStringLiteral("la firma non copre l'intero documento");
        return r;
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
    return r;
}
