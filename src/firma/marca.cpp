// Signature time-stamps (RFC 3161 tokens, as CAdES and XAdES carry them): the
// one proof of when a signature existed that the program accepts, since the
// signing time is what the signer says. A token counts only when its imprint
// is that of the signature and its own signature chains to a time-stamping
// service of the trusted lists, granted at the time it states.
#include "firma/firma_p.h"

#include <climits>
#include <cstring>
#include <openssl/err.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>

namespace {
struct MarcaDeleter {
    void operator()(PKCS7 *p) const { PKCS7_free(p); }
    void operator()(TS_TST_INFO *p) const { TS_TST_INFO_free(p); }
    void operator()(TS_VERIFY_CTX *p) const { TS_VERIFY_CTX_free(p); }
};
template <typename T> using MarcaPtr = std::unique_ptr<T, MarcaDeleter>;

EsitoMarca scartata(const QString &nota)
{
    ERR_clear_error();
    return { QDateTime(), nota };
}
} // namespace

EsitoMarca VerificaMarca(QByteArrayView token, QByteArrayView marcati, const ElencoCertificatori *elenco)
{
    const auto *p = reinterpret_cast<const unsigned char *>(token.data());
    const MarcaPtr<PKCS7> busta(token.size() <= LONG_MAX ? d2i_PKCS7(nullptr, &p, long(token.size())) : nullptr);
    const MarcaPtr<TS_TST_INFO> info(busta ? PKCS7_to_TS_TST_INFO(busta.get()) : nullptr);
    if (!info)
        return scartata(QStringLiteral("la marca temporale non è leggibile"));
    const QDateTime quando = TempoAsn1(TS_TST_INFO_get_time(info.get()));
    TS_MSG_IMPRINT *impronta = TS_TST_INFO_get_msg_imprint(info.get());
    const EVP_MD *md = EVP_get_digestbyobj(TS_MSG_IMPRINT_get_algo(impronta)->algorithm);
    if (!quando.isValid() || md == nullptr || EVP_MD_get_type(md) == NID_md5)
        return scartata(QStringLiteral("la marca temporale usa un algoritmo non ammesso"));
    unsigned char calcolata[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    const ASN1_OCTET_STRING *attesa = TS_MSG_IMPRINT_get_msg(impronta);
    if (EVP_Digest(marcati.data(), size_t(marcati.size()), calcolata, &n, md, nullptr) != 1
        || int(n) != ASN1_STRING_length(attesa) || std::memcmp(calcolata, ASN1_STRING_get0_data(attesa), n) != 0)
        return scartata(QStringLiteral("la marca temporale non riguarda questa firma"));
    if (elenco == nullptr)
        return scartata(QStringLiteral("la marca temporale non si può verificare senza l'elenco dei certificatori"));

    // Trusted: the lists' time-stamping services granted at the token's time,
    // each an anchor of its own (the chain may stop at it).
    const std::vector<OsslPtr<X509>> servizi = CertificatiServizi(*elenco, TipoServizio::Marche, quando);
    OsslPtr<X509_STORE> store(X509_STORE_new());
    for (const OsslPtr<X509> &c : servizi)
        X509_STORE_add_cert(store.get(), c.get());
    X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    X509_VERIFY_PARAM_set_time(X509_STORE_get0_param(store.get()), static_cast<time_t>(quando.toSecsSinceEpoch()));
    const MarcaPtr<TS_VERIFY_CTX> ctx(TS_VERIFY_CTX_new());
    if (servizi.empty() || !ctx || !store)
        return scartata(QStringLiteral("la marca temporale non è di un servizio di marcatura dell'elenco attivo il %1")
                            .arg(Giorno(quando)));
    TS_VERIFY_CTX_set_flags(ctx.get(), TS_VFY_VERSION | TS_VFY_SIGNATURE);
    TS_VERIFY_CTX_set_store(ctx.get(), store.release()); // the context owns it now
    if (TS_RESP_verify_token(ctx.get(), busta.get()) != 1)
        return scartata(QStringLiteral("la marca temporale non è di un servizio di marcatura dell'elenco attivo il %1")
                            .arg(Giorno(quando)));
    ERR_clear_error();
    return { quando, QString() };
}
