#include "pkiprova.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <memory>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace {
struct Libera {
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(X509 *p) const { X509_free(p); }
    void operator()(BIO *p) const { BIO_free(p); }
    void operator()(CMS_ContentInfo *p) const { CMS_ContentInfo_free(p); }
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

// soggetto: "C=IT/O=.../CN=..."; giorni relative to now.
Identita identita(const char *soggetto, const Identita *emittente, int dal, int al, bool ca, bool qc)
{
    Identita id { Ptr<EVP_PKEY>(EVP_EC_gen("P-256")), Ptr<X509>(X509_new()) };
    X509 *c = id.cert.get();
    X509_set_version(c, 2);
    static long serie = 1000;
    ASN1_INTEGER_set(X509_get_serialNumber(c), ++serie);
    X509_gmtime_adj(X509_getm_notBefore(c), long(dal) * 86400);
    X509_gmtime_adj(X509_getm_notAfter(c), long(al) * 86400);
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
        { "basicConstraints", ca ? "critical,CA:TRUE" : "critical,CA:FALSE" },
        { "keyUsage", ca ? "critical,keyCertSign,cRLSign" : "critical,nonRepudiation" } };
    if (emittente != nullptr)
        estensioni << std::pair { "authorityKeyIdentifier", "keyid" };
    if (qc)
        estensioni << std::pair { "1.3.6.1.5.5.7.1.3", "DER:300A3008060604008E460101" };
    for (const auto &[k, v] : estensioni) {
        X509_EXTENSION *e = X509V3_EXT_nconf(nullptr, &ctx, k, v);
        richiedi(e != nullptr && X509_add_ext(c, e, -1) == 1, k);
        X509_EXTENSION_free(e);
    }
    richiedi(X509_sign(c, emittente != nullptr ? emittente->chiave.get() : id.chiave.get(), EVP_sha256()) > 0, "sign");
    return id;
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
    Identita certificatore, altroCertificatore, qualificato, scaduto, estraneo;

    const Identita &di(Chi chi) const { return chi == Qualificato ? qualificato : chi == Scaduto ? scaduto : estraneo; }

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
    d_->certificatore = identita(
        "C=IT/O=Certificatore di Prova S.p.A./CN=CA di Prova Qualificata", nullptr, -3650, 3650, true, false);
    d_->altroCertificatore = identita("C=IT/O=Altro Certificatore/CN=CA Estranea", nullptr, -3650, 3650, true, false);
    d_->qualificato
        = identita("C=IT/O=Rossi S.r.l./serialNumber=TINIT-RSSMRA80A01H501U/GN=MARIO/SN=ROSSI/CN=MARIO ROSSI",
            &d_->certificatore, -30, 365, false, true);
    d_->scaduto = identita(
        "C=IT/serialNumber=TINIT-BNCLCU75B42F205X/CN=LUCIA BIANCHI", &d_->certificatore, -30, -1, false, true);
    d_->estraneo = identita("C=IT/organizationIdentifier=VATIT-01234567890/O=Verdi S.p.A./CN=ANNA VERDI",
        &d_->altroCertificatore, -30, 365, false, false);
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

QByteArray PkiProva::xmlFirmato(const QByteArray &xml, Chi chi) const
{
    const QByteArray firma
        = "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"firma\"><ds:SignedInfo>"
          "<ds:CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
          "<ds:SignatureMethod Algorithm=\"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256\"/>"
          "<ds:Reference URI=\"\"><ds:Transforms><ds:Transform "
          "Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/></ds:Transforms>"
          "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/></ds:Reference>"
          "<ds:Reference URI=\"#proprieta\" Type=\"http://uri.etsi.org/01903#SignedProperties\">"
          "<ds:DigestMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#sha256\"/><ds:DigestValue/></ds:Reference>"
          "</ds:SignedInfo><ds:SignatureValue/><ds:KeyInfo><ds:X509Data/></ds:KeyInfo><ds:Object>"
          "<xades:QualifyingProperties xmlns:xades=\"http://uri.etsi.org/01903/v1.3.2#\" Target=\"#firma\">"
          "<xades:SignedProperties Id=\"proprieta\"><xades:SignedSignatureProperties><xades:SigningTime>"
        + iso(QDateTime::currentDateTimeUtc())
        + "</xades:SigningTime></xades:SignedSignatureProperties></xades:SignedProperties>"
          "</xades:QualifyingProperties></ds:Object></ds:Signature>";
    const qsizetype fine = xml.lastIndexOf("</");
    return d_->firmaConXmlsec(xml.left(fine) + firma + xml.mid(fine), d_->di(chi));
}

QByteArray PkiProva::elenco(const QList<Stato> &storia, bool firmato, int servizi) const
{
    const auto servizio = [](const char *nome, X509 *cert, const Stato &s, bool storico) {
        return QByteArray(storico ? "<ServiceHistoryInstance>" : "<ServiceInformation>")
            + "<ServiceTypeIdentifier>http://uri.etsi.org/TrstSvc/Svctype/CA/QC</ServiceTypeIdentifier>"
              "<ServiceName><Name xml:lang=\"it\">"
            + nome + "</Name></ServiceName><ServiceDigitalIdentity><DigitalId><X509Certificate>" + der(cert).toBase64()
            + "</X509Certificate></DigitalId></ServiceDigitalIdentity>"
              "<ServiceStatus>http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/"
            + s.stato + "</ServiceStatus><StatusStartingTime>" + iso(s.dal) + "</StatusStartingTime>"
            + (storico ? "</ServiceHistoryInstance>" : "</ServiceInformation>");
    };
    // Each service with the whole history, as real lists repeat it.
    const auto servizioIntero = [&](const char *nome, X509 *cert) {
        QByteArray t = "<TSPService>" + servizio(nome, cert, storia[0], false) + "<ServiceHistory>";
        for (qsizetype i = 1; i < storia.size(); ++i)
            t += servizio(nome, cert, storia[i], true);
        return t + "</ServiceHistory></TSPService>";
    };
    QByteArray tsp = servizioIntero("CA di Prova Qualificata", d_->certificatore.cert.get());
    for (int i = 1; i < servizi; ++i)
        tsp += servizioIntero(
            "Servizio", identita("C=IT/O=Altro/CN=Servizio", nullptr, -10, 10, true, false).cert.get());
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
