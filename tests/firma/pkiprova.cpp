#include "pkiprova.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <libxml/c14n.h>
#include <libxml/parser.h>
#include <libxml/xpathInternals.h>
#include <memory>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/ts.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace {
struct Libera {
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(X509 *p) const { X509_free(p); }
    void operator()(BIO *p) const { BIO_free(p); }
    void operator()(CMS_ContentInfo *p) const { CMS_ContentInfo_free(p); }
    void operator()(TS_REQ *p) const { TS_REQ_free(p); }
    void operator()(TS_MSG_IMPRINT *p) const { TS_MSG_IMPRINT_free(p); }
    void operator()(TS_RESP_CTX *p) const { TS_RESP_CTX_free(p); }
    void operator()(TS_RESP *p) const { TS_RESP_free(p); }
    void operator()(ASN1_OBJECT *p) const { ASN1_OBJECT_free(p); }
    void operator()(ASN1_TIME *p) const { ASN1_TIME_free(p); }
    void operator()(xmlDoc *p) const { xmlFreeDoc(p); }
    void operator()(xmlXPathContext *p) const { xmlXPathFreeContext(p); }
    void operator()(xmlXPathObject *p) const { xmlXPathFreeObject(p); }
};
template <typename T> using Ptr = std::unique_ptr<T, Libera>;

void richiedi(bool ok, const char *cosa)
{
    if (!ok)
        throw std::runtime_error(cosa);
}

struct Identita {
    Ptr<EVP_PKEY> chiave;
    Ptr<X509> cert;
};

// What a certificate is for, and its key.
struct Profilo {
    bool ca = false;
    bool qc = false;
    int rsa = 0; // bits of an RSA key; 0: EC P-256
    const char *uso = nullptr; // keyUsage; null: what a CA or a signer has
    const char *usoEsteso = nullptr; // extendedKeyUsage, when any
};

// soggetto: "C=IT/O=.../CN=...".
Identita identita(
    const char *soggetto, const Identita *emittente, const QDateTime &dal, const QDateTime &al, const Profilo &profilo)
{
    Identita id { Ptr<EVP_PKEY>(profilo.rsa > 0 ? EVP_RSA_gen(unsigned(profilo.rsa)) : EVP_EC_gen("P-256")),
        Ptr<X509>(X509_new()) };
    X509 *c = id.cert.get();
    X509_set_version(c, 2);
    static long serie = 1000;
    ASN1_INTEGER_set(X509_get_serialNumber(c), ++serie);
    ASN1_TIME_set(X509_getm_notBefore(c), static_cast<time_t>(dal.toSecsSinceEpoch()));
    ASN1_TIME_set(X509_getm_notAfter(c), static_cast<time_t>(al.toSecsSinceEpoch()));
    X509_set_pubkey(c, id.chiave.get());
    X509_NAME *nome = X509_get_subject_name(c);
    for (const QString &voce : QString::fromUtf8(soggetto).split(QLatin1Char('/'))) {
        const QByteArray k = voce.section(QLatin1Char('='), 0, 0).toUtf8();
        const QByteArray v = voce.section(QLatin1Char('='), 1).toUtf8();
        richiedi(X509_NAME_add_entry_by_txt(nome, k.constData(), MBSTRING_UTF8,
                     reinterpret_cast<const unsigned char *>(v.constData()), -1, -1, 0),
            "subject");
    }
    X509 *ec = emittente != nullptr ? emittente->cert.get() : c;
    X509_set_issuer_name(c, X509_get_subject_name(ec));
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, ec, c, nullptr, nullptr, 0);
    QList<std::pair<const char *, const char *>> estensioni { { "subjectKeyIdentifier", "hash" },
        { "basicConstraints", profilo.ca ? "critical,CA:TRUE" : "critical,CA:FALSE" },
        { "keyUsage",
            profilo.uso != nullptr ? profilo.uso
                : profilo.ca       ? "critical,keyCertSign,cRLSign"
                                   : "critical,nonRepudiation" } };
    if (profilo.usoEsteso != nullptr)
        estensioni << std::pair { "extendedKeyUsage", profilo.usoEsteso };
    if (emittente != nullptr)
        estensioni << std::pair { "authorityKeyIdentifier", "keyid" };
    if (profilo.qc)
        estensioni << std::pair { "1.3.6.1.5.5.7.1.3", "DER:300A3008060604008E460101" };
    for (const auto &[k, v] : estensioni) {
        X509_EXTENSION *e = X509V3_EXT_nconf(nullptr, &ctx, k, v);
        richiedi(e != nullptr && X509_add_ext(c, e, -1) == 1, k);
        X509_EXTENSION_free(e);
    }
    richiedi(X509_sign(c, emittente != nullptr ? emittente->chiave.get() : id.chiave.get(), EVP_sha256()) > 0, "sign");
    return id;
}

// Days relative to now.
Identita identita(const char *soggetto, const Identita *emittente, int dal, int al, const Profilo &profilo)
{
    const QDateTime adesso = QDateTime::currentDateTimeUtc();
    return identita(soggetto, emittente, adesso.addDays(dal), adesso.addDays(al), profilo);
}

QDateTime il(int anno, int mese, int giorno)
{
    return QDateTime(QDate(anno, mese, giorno), QTime(0, 0), Qt::UTC);
}

int orario(TS_RESP_CTX *, void *dati, long *secondi, long *micro)
{
    *secondi = *static_cast<const long *>(dati);
    *micro = 0;
    return 1;
}

// An RFC 3161 token of the unit over the SHA-256 of dati, at that time.
QByteArray tokenMarca(const Identita &unita, const QByteArray &dati, const QDateTime &quando)
{
    unsigned char h[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(dati.constData()), size_t(dati.size()), h);
    Ptr<TS_REQ> richiesta(TS_REQ_new());
    Ptr<TS_MSG_IMPRINT> impronta(TS_MSG_IMPRINT_new());
    X509_ALGOR *algoritmo = X509_ALGOR_new();
    X509_ALGOR_set0(algoritmo, OBJ_nid2obj(NID_sha256), V_ASN1_NULL, nullptr);
    TS_MSG_IMPRINT_set_algo(impronta.get(), algoritmo);
    X509_ALGOR_free(algoritmo);
    TS_MSG_IMPRINT_set_msg(impronta.get(), h, sizeof h);
    TS_REQ_set_version(richiesta.get(), 1);
    TS_REQ_set_msg_imprint(richiesta.get(), impronta.get());
    TS_REQ_set_cert_req(richiesta.get(), 1);
    Ptr<BIO> bio(BIO_new(BIO_s_mem()));
    richiedi(i2d_TS_REQ_bio(bio.get(), richiesta.get()) == 1, "TS_REQ");
    Ptr<TS_RESP_CTX> ctx(TS_RESP_CTX_new());
    const Ptr<ASN1_OBJECT> politica(OBJ_txt2obj("1.3.6.1.4.1.99999.1", 1));
    long secondi = static_cast<long>(quando.toSecsSinceEpoch());
    richiedi(TS_RESP_CTX_set_signer_cert(ctx.get(), unita.cert.get()) == 1
            && TS_RESP_CTX_set_signer_key(ctx.get(), unita.chiave.get()) == 1
            && TS_RESP_CTX_set_def_policy(ctx.get(), politica.get()) == 1
            && TS_RESP_CTX_add_md(ctx.get(), EVP_sha256()) == 1,
        "TS_RESP_CTX");
    TS_RESP_CTX_set_time_cb(ctx.get(), orario, &secondi);
    Ptr<TS_RESP> risposta(TS_RESP_create_response(ctx.get(), bio.get()));
    richiedi(risposta && TS_RESP_get_token(risposta.get()) != nullptr, "TS_RESP_create_response");
    unsigned char *der = nullptr;
    const int n = i2d_PKCS7(TS_RESP_get_token(risposta.get()), &der);
    QByteArray token(reinterpret_cast<const char *>(der), n);
    OPENSSL_free(der);
    return token;
}

// The canonical form of ds:SignatureValue, as a signature time-stamp stamps it.
QByteArray valoreCanonico(const QByteArray &xml)
{
    Ptr<xmlDoc> doc(xmlReadMemory(xml.constData(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET));
    Ptr<xmlXPathContext> ctx(xmlXPathNewContext(doc.get()));
    xmlXPathRegisterNs(ctx.get(), BAD_CAST "ds", BAD_CAST "http://www.w3.org/2000/09/xmldsig#");
    Ptr<xmlXPathObject> nodi(xmlXPathEvalExpression(
        BAD_CAST "(//. | //@* | //namespace::*)[ancestor-or-self::ds:SignatureValue]", ctx.get()));
    xmlChar *out = nullptr;
    const int n = nodi ? xmlC14NDocDumpMemory(doc.get(), nodi->nodesetval, XML_C14N_1_0, nullptr, 0, &out) : -1;
    richiedi(n > 0, "c14n");
    QByteArray c(reinterpret_cast<const char *>(out), n);
    xmlFree(out);
    return c;
}

QByteArray pem(const Identita &id, bool chiave)
{
    Ptr<BIO> bio(BIO_new(BIO_s_mem()));
    if (chiave)
        PEM_write_bio_PrivateKey(bio.get(), id.chiave.get(), nullptr, nullptr, 0, nullptr, nullptr);
    else
        PEM_write_bio_X509(bio.get(), id.cert.get());
    char *dati = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &dati);
    return QByteArray(dati, n);
}

QByteArray der(X509 *cert)
{
    unsigned char *dati = nullptr;
    const int n = i2d_X509(cert, &dati);
    QByteArray b(reinterpret_cast<const char *>(dati), n);
    OPENSSL_free(dati);
    return b;
}

void scrivi(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    richiedi(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), "write");
}

// BER with every indefinite length made definite; constructed elements stay
// constructed, so a streamed content keeps its pieces.
QByteArray definito(const unsigned char *&p, const unsigned char *fine)
{
    const unsigned char *inizio = p;
    long lunghezza = 0;
    int tag = 0, classe = 0;
    const int esito = ASN1_get_object(&p, &lunghezza, &tag, &classe, fine - p);
    richiedi((esito & 0x80) == 0, "BER");
    if (!(esito & V_ASN1_CONSTRUCTED)) {
        p += lunghezza;
        return QByteArray(reinterpret_cast<const char *>(inizio), p - inizio);
    }
    QByteArray dentro;
    const unsigned char *fineDentro = esito & 1 ? fine : p + lunghezza;
    while (p < fineDentro && !(esito & 1 && p[0] == 0 && p[1] == 0))
        dentro += definito(p, fineDentro);
    if (esito & 1)
        p += 2; // the end-of-contents
    QByteArray out(ASN1_object_size(1, static_cast<int>(dentro.size()), tag) - dentro.size(), Qt::Uninitialized);
    auto *q = reinterpret_cast<unsigned char *>(out.data());
    ASN1_put_object(&q, 1, static_cast<int>(dentro.size()), tag, classe);
    return out + dentro;
}

QByteArray iso(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODate).toLatin1();
}
} // namespace

struct PkiProva::Dati {
    QDir cartella;
    Identita certificatore, altroCertificatore, vecchioCertificatore;
    Identita qualificato, scaduto, estraneo, storico, server, rsa2048, rsa1024, rsa512, marcatore, marcatoreEstraneo;

    const Identita &di(Chi chi) const
    {
        switch (chi) {
        case Qualificato:
            return qualificato;
        case Scaduto:
            return scaduto;
        case Estraneo:
            return estraneo;
        case Storico:
            return storico;
        case Server:
            return server;
        case Rsa2048:
            return rsa2048;
        case Rsa1024:
            return rsa1024;
        case Rsa512:
            return rsa512;
        case Marcatore:
            return marcatore;
        case MarcatoreEstraneo:
            break;
        }
        return marcatoreEstraneo;
    }

    // Signs the template (a document whose ds:Signature is to be filled in) with
    // the xmlsec1 tool.
    QByteArray firmaConXmlsec(const QByteArray &modello, const Identita &id) const
    {
        const QString k = cartella.filePath(QStringLiteral("k.pem")), c = cartella.filePath(QStringLiteral("c.pem"));
        const QString in = cartella.filePath(QStringLiteral("modello.xml"));
        const QString out = cartella.filePath(QStringLiteral("firmato.xml"));
        scrivi(k, pem(id, true));
        scrivi(c, pem(id, false));
        scrivi(in, modello);
        QFile::remove(out);
        QProcess p;
        p.start(QStringLiteral("xmlsec1"),
            { QStringLiteral("--sign"), QStringLiteral("--privkey-pem"), k + QLatin1Char(',') + c,
                QStringLiteral("--id-attr:Id"), QStringLiteral("http://uri.etsi.org/01903/v1.3.2#:SignedProperties"),
                QStringLiteral("--id-attr:Id"), QStringLiteral("TrustServiceStatusList"), QStringLiteral("--output"),
                out, in });
        richiedi(p.waitForFinished(60000) && p.exitCode() == 0, "xmlsec1 --sign");
        QFile f(out);
        richiedi(f.open(QIODevice::ReadOnly), "xmlsec1 output");
        return f.readAll();
    }
};

PkiProva::PkiProva(const QString &cartella)
    : d_(std::make_unique<Dati>())
{
    d_->cartella = QDir(cartella);
    const Profilo ca { true, false };
    const Profilo firma { false, true };
    d_->certificatore
        = identita("C=IT/O=Certificatore di Prova S.p.A./CN=CA di Prova Qualificata", nullptr, -3650, 3650, ca);
    d_->altroCertificatore = identita("C=IT/O=Altro Certificatore/CN=CA Estranea", nullptr, -3650, 3650, ca);
    d_->vecchioCertificatore
        = identita("C=IT/O=Vecchio Certificatore S.p.A./CN=CA Storica", nullptr, il(2010, 1, 1), il(2030, 1, 1), ca);
    d_->qualificato
        = identita("C=IT/O=Rossi S.r.l./serialNumber=TINIT-RSSMRA80A01H501U/GN=MARIO/SN=ROSSI/CN=MARIO ROSSI",
            &d_->certificatore, -30, 365, firma);
    d_->scaduto
        = identita("C=IT/serialNumber=TINIT-BNCLCU75B42F205X/CN=LUCIA BIANCHI", &d_->certificatore, -30, -1, firma);
    d_->estraneo = identita("C=IT/organizationIdentifier=VATIT-01234567890/O=Verdi S.p.A./CN=ANNA VERDI",
        &d_->altroCertificatore, -30, 365, { false, false });
    d_->storico = identita("C=IT/serialNumber=TINIT-NREGPP60A01F205Z/CN=GIUSEPPE NERI", &d_->vecchioCertificatore,
        il(2015, 1, 1), il(2016, 12, 31), firma);
    d_->server = identita("C=IT/O=Certificatore di Prova S.p.A./CN=www.prova.example", &d_->certificatore, -30, 365,
        { false, false, 0, "critical,keyEncipherment", "serverAuth" });
    const char *russo = "C=IT/serialNumber=TINIT-RSSPLA70A01H501X/CN=PAOLO RUSSO";
    d_->rsa2048 = identita(russo, &d_->certificatore, -30, 365, { false, true, 2048 });
    d_->rsa1024 = identita(russo, &d_->certificatore, -30, 365, { false, true, 1024 });
    d_->rsa512 = identita(russo, &d_->certificatore, -30, 365, { false, true, 512 });
    const Profilo marca { false, false, 0, "critical,digitalSignature,nonRepudiation", "critical,timeStamping" };
    d_->marcatore = identita("C=IT/O=Certificatore di Prova S.p.A./CN=Marcatura Temporale di Prova", nullptr,
        il(2010, 1, 1), il(2040, 1, 1), marca);
    d_->marcatoreEstraneo
        = identita("C=IT/O=Altro/CN=Marcatura Estranea", nullptr, il(2010, 1, 1), il(2040, 1, 1), marca);
}

PkiProva::~PkiProva() = default;

QByteArray PkiProva::busta(const QByteArray &contenuto, Chi chi, int opzioni) const
{
    const Identita &id = d_->di(chi);
    Ptr<BIO> in(BIO_new_mem_buf(contenuto.constData(), static_cast<int>(contenuto.size())));
    const bool senzaFirmatario = opzioni & SenzaFirmatari;
    const unsigned flags = CMS_BINARY | (opzioni & (Ber | APezzi) ? CMS_STREAM : 0)
        | (opzioni & SenzaCertificato ? CMS_NOCERTS : 0) | (opzioni & SenzaAttributi ? CMS_NOATTR : 0)
        | (senzaFirmatario ? CMS_PARTIAL : 0);
    Ptr<CMS_ContentInfo> cms(CMS_sign(senzaFirmatario ? nullptr : id.cert.get(),
        senzaFirmatario ? nullptr : id.chiave.get(), nullptr, in.get(), flags));
    richiedi(cms != nullptr, "CMS_sign");
    if (senzaFirmatario) {
        ASN1_OCTET_STRING **dentro = CMS_get0_content(cms.get());
        richiedi(dentro != nullptr && *dentro != nullptr, "CMS_get0_content");
        ASN1_OCTET_STRING_set(*dentro, reinterpret_cast<const unsigned char *>(contenuto.constData()),
            static_cast<int>(contenuto.size()));
    }
    Ptr<BIO> out(BIO_new(BIO_s_mem()));
    Ptr<BIO> di(BIO_new_mem_buf(contenuto.constData(), static_cast<int>(contenuto.size())));
    richiedi((flags & CMS_STREAM ? i2d_CMS_bio_stream(out.get(), cms.get(), di.get(), CMS_BINARY | CMS_STREAM)
                                 : i2d_CMS_bio(out.get(), cms.get()))
            == 1,
        "i2d_CMS_bio");
    char *dati = nullptr;
    const long n = BIO_get_mem_data(out.get(), &dati);
    const auto *p = reinterpret_cast<const unsigned char *>(dati);
    return opzioni & APezzi ? definito(p, p + n) : QByteArray(dati, n);
}

QByteArray PkiProva::busta(const QByteArray &contenuto, const Firma &f) const
{
    const Identita &id = d_->di(f.chi);
    Ptr<BIO> in(BIO_new_mem_buf(contenuto.constData(), static_cast<int>(contenuto.size())));
    Ptr<CMS_ContentInfo> cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, CMS_PARTIAL | CMS_BINARY));
    CMS_SignerInfo *si = cms ? CMS_add1_signer(cms.get(), id.cert.get(), id.chiave.get(),
                             EVP_get_digestbyname(f.digest), CMS_PARTIAL | CMS_BINARY)
                             : nullptr;
    richiedi(si != nullptr, "CMS_add1_signer");
    if (f.quando.isValid()) {
        const Ptr<ASN1_TIME> t(ASN1_TIME_set(nullptr, static_cast<time_t>(f.quando.toSecsSinceEpoch())));
        richiedi(CMS_signed_add1_attr_by_NID(si, NID_pkcs9_signingTime, t->type, t.get(), -1) == 1, "signingTime");
    }
    richiedi(CMS_final(cms.get(), in.get(), nullptr, CMS_BINARY) == 1, "CMS_final");
    if (f.marca) {
        const ASN1_OCTET_STRING *valore = CMS_SignerInfo_get0_signature(si);
        const QByteArray firmati = f.marcaAltrui
            ? QByteArray("altro")
            : QByteArray(reinterpret_cast<const char *>(ASN1_STRING_get0_data(valore)), ASN1_STRING_length(valore));
        const QByteArray token
            = tokenMarca(d_->di(f.marcatore), firmati, f.marcaAlle.isValid() ? f.marcaAlle : f.quando);
        richiedi(CMS_unsigned_add1_attr_by_NID(
                     si, NID_id_smime_aa_timeStampToken, V_ASN1_SEQUENCE, token.constData(), int(token.size()))
                == 1,
            "timeStampToken");
    }
    Ptr<BIO> out(BIO_new(BIO_s_mem()));
    richiedi(i2d_CMS_bio(out.get(), cms.get()) == 1, "i2d_CMS_bio");
    char *dati = nullptr;
    const long n = BIO_get_mem_data(out.get(), &dati);
    return QByteArray(dati, n);
}

QByteArray PkiProva::xmlFirmato(const QByteArray &xml, Chi chi) const
{
    Firma f;
    f.chi = chi;
    return xmlFirmato(xml, f, FormaXml());
}

QByteArray PkiProva::xmlFirmato(const QByteArray &xml, const Firma &f, const FormaXml &forma) const
{
    const QByteArray digest = QByteArray(f.digest).toLower();
    const bool rsa = EVP_PKEY_get_base_id(d_->di(f.chi).chiave.get()) == EVP_PKEY_RSA;
    const QByteArray metodo = digest == "sha1" && rsa
        ? QByteArray("http://www.w3.org/2000/09/xmldsig#rsa-sha1")
        : "http://www.w3.org/2001/04/xmldsig-more#" + QByteArray(rsa ? "rsa-" : "ecdsa-") + digest;
    const QByteArray impronta = digest == "sha1" ? QByteArray("http://www.w3.org/2000/09/xmldsig#sha1")
                                                 : "http://www.w3.org/2001/04/xmlenc#" + digest;
    const QByteArray firma
        = "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"firma\"><ds:SignedInfo>"
          "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
          "<ds:SignatureMethod Algorithm=\""
        + metodo + "\"/><ds:Reference URI=\"" + forma.uri + "\">"
        + (forma.trasformazioni.isEmpty() ? QByteArray()
                                          : "<ds:Transforms>" + forma.trasformazioni + "</ds:Transforms>")
        + "<ds:DigestMethod Algorithm=\"" + impronta
        + "\"/><ds:DigestValue/></ds:Reference>"
          "<ds:Reference URI=\"#proprieta\" Type=\"http://uri.etsi.org/01903#SignedProperties\">"
          "<ds:DigestMethod Algorithm=\""
        + impronta
        + "\"/><ds:DigestValue/></ds:Reference>"
          "</ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo><ds:X509Data/></ds:KeyInfo><ds:Object>"
          "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" Target=\"#firma\">"
          "<xades:SignedProperties Id=\"proprieta\"><xades:SignedSignatureProperties><xades:SigningTime>"
        + iso(f.quando.isValid() ? f.quando : QDateTime::currentDateTimeUtc())
        + "</xades:SigningTime></xades:SignedSignatureProperties></xades:SignedProperties>"
          "</xades:QualifyingProperties>"
        + forma.oggetto + "</ds:Object></ds:Signature>";
    const qsizetype fine = xml.lastIndexOf("</");
    const QByteArray modello = forma.radice ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + firma + "\n"
                                            : xml.left(fine) + firma + xml.mid(fine);
    if (!forma.firmata)
        return QByteArray(modello)
            .replace("<ds:DigestValue/>", "<ds:DigestValue>AAAA</ds:DigestValue>")
            .replace("<ds:SignatureValue/>", "<ds:SignatureValue>AAAA</ds:SignatureValue>")
            .replace("<ds:X509Data/>",
                "<ds:X509Data><ds:X509Certificate>" + der(d_->di(f.chi).cert.get()).toBase64()
                    + "</ds:X509Certificate></ds:X509Data>");
    QByteArray firmato = d_->firmaConXmlsec(modello, d_->di(f.chi));
    if (f.marca) {
        const QByteArray token
            = tokenMarca(d_->di(f.marcatore), f.marcaAltrui ? QByteArray("altro") : valoreCanonico(firmato),
                f.marcaAlle.isValid() ? f.marcaAlle : f.quando);
        firmato.replace("</xades:QualifyingProperties>",
            "<xades:UnsignedProperties><xades:UnsignedSignatureProperties><xades:SignatureTimeStamp>"
            "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
            "<xades:EncapsulatedTimeStamp>"
                + token.toBase64()
                + "</xades:EncapsulatedTimeStamp></xades:SignatureTimeStamp></xades:UnsignedSignatureProperties>"
                  "</xades:UnsignedProperties></xades:QualifyingProperties>");
    }
    return firmato;
}

QByteArray PkiProva::elenco(const QList<Stato> &storia, bool firmato, int servizi) const
{
    const auto servizio = [](const char *tipo, const char *nome, X509 *cert, const Stato &s, bool storico) {
        return QByteArray(storico ? "<ServiceHistoryInstance>" : "<ServiceInformation>")
            + "<ServiceTypeIdentifier>http://uri.etsi.org/TrstSvc/Svctype/" + tipo
            + "</ServiceTypeIdentifier>"
              "<ServiceName><Name xml:lang=\"it\">"
            + nome + "</Name></ServiceName><ServiceDigitalIdentity><DigitalId><X509Certificate>" + der(cert).toBase64()
            + "</X509Certificate></DigitalId></ServiceDigitalIdentity>"
              "<ServiceStatus>http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/"
            + s.stato + "</ServiceStatus><StatusStartingTime>" + iso(s.dal) + "</StatusStartingTime>"
            + (storico ? "</ServiceHistoryInstance>" : "</ServiceInformation>");
    };
    // Each service with the whole history, as real lists repeat it.
    const auto servizioIntero = [&](const char *tipo, const char *nome, X509 *cert, const QList<Stato> &stati) {
        QByteArray t = "<TSPService>" + servizio(tipo, nome, cert, stati[0], false) + "<ServiceHistory>";
        for (qsizetype i = 1; i < stati.size(); ++i)
            t += servizio(tipo, nome, cert, stati[i], true);
        return t + "</ServiceHistory></TSPService>";
    };
    QByteArray tsp = servizioIntero("CA/QC", "CA di Prova Qualificata", d_->certificatore.cert.get(), storia);
    for (int i = 1; i < servizi; ++i)
        tsp += servizioIntero("CA/QC", "Servizio",
            identita("C=IT/O=Altro/CN=Servizio", nullptr, -10, 10, Profilo { true, false }).cert.get(), storia);
    tsp += servizioIntero("CA/QC", "CA Storica", d_->vecchioCertificatore.cert.get(),
        { { "withdrawn", il(2017, 1, 1) }, { "granted", il(2000, 1, 1) } });
    tsp += servizioIntero(
        "TSA/QTST", "Marcatura Temporale di Prova", d_->marcatore.cert.get(), { { "granted", il(2000, 1, 1) } });
    QByteArray lista
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<TrustServiceStatusList xmlns=\"http://uri.etsi.org/02231/v2#\" Id=\"elenco\" "
          "TSLTag=\"http://uri.etsi.org/19612/TSLTag\"><SchemeInformation>"
          "<TSLVersionIdentifier>5</TSLVersionIdentifier><TSLSequenceNumber>1</TSLSequenceNumber>"
          "<SchemeOperatorName><Name xml:lang=\"it\">Organismo di prova</Name></SchemeOperatorName>"
          "<SchemeTerritory>IT</SchemeTerritory><ListIssueDateTime>2024-01-01T00:00:00Z</ListIssueDateTime>"
          "<NextUpdate><dateTime>2099-01-01T00:00:00Z</dateTime></NextUpdate></SchemeInformation>"
          "<TrustServiceProviderList><TrustServiceProvider><TSPInformation><TSPName>"
          "<Name xml:lang=\"it\">Certificatore di Prova S.p.A.</Name></TSPName></TSPInformation>"
          "<TSPServices>"
        + tsp + "</TSPServices></TrustServiceProvider></TrustServiceProviderList>";
    if (!firmato)
        return lista + "</TrustServiceStatusList>\n";
    lista += "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\"><ds:SignedInfo>"
             "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\"/>"
             "<ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256\"/>"
             "<ds:Reference URI=\"#elenco\"><ds:Transforms><ds:Transform "
             "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
             "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/></ds:Reference>"
             "</ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo><ds:X509Data/></ds:KeyInfo></ds:Signature>"
             "</TrustServiceStatusList>\n";
    return d_->firmaConXmlsec(lista, d_->altroCertificatore);
}

QByteArray PkiProva::certificatore() const
{
    return der(d_->certificatore.cert.get());
}

QByteArray PkiProva::certificato(Chi chi) const
{
    return der(d_->di(chi).cert.get());
}

ServerProva::ServerProva()
{
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, [this] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
            if (s->readAll().contains("\r\n\r\n")) {
                s->write(risposta);
                s->disconnectFromHost();
            }
        });
    });
}

QUrl ServerProva::indirizzo() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/TL/TSL-IT.xml").arg(server.serverPort()));
}

QByteArray ServerProva::http(const char *stato, const QByteArray &corpo)
{
    return QByteArray("HTTP/1.1 ") + stato + "\r\nContent-Length: " + QByteArray::number(corpo.size())
        + "\r\nConnection: close\r\n\r\n" + corpo;
}
