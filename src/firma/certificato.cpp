// A signer's certificate read into its fields: names, fiscal code, validity,
// qualified status, fingerprint; whether it may sign, and how strong its
// algorithms still are.
#include "firma/firma_p.h"

#include <QHash>
#include <climits>
#include <mutex>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>
#include <unordered_map>

namespace {
QString testoVoce(const X509_NAME *nome, int nid)
{
    const int i = X509_NAME_get_index_by_NID(nome, nid, -1);
    if (i < 0)
        return QString();
    unsigned char *utf8 = nullptr;
    const int n = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(nome, i)));
    const OsslPtr<unsigned char> libera(utf8);
    return n < 0 ? QString() : QString::fromUtf8(reinterpret_cast<const char *>(utf8), n);
}

QString testoNome(const X509_NAME *nome)
{
    OsslPtr<BIO> bio(BIO_new(BIO_s_mem()));
    X509_NAME_print_ex(bio.get(), nome, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char *dati = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &dati);
    return QString::fromUtf8(dati, static_cast<qsizetype>(n));
}

// TINIT-RSSMRA80A01H501U, IT:RSSMRA80A01H501U or VATIT-01234567890 give the
// code itself; other forms are shown as written.
QString codiceFiscale(const X509_NAME *soggetto)
{
    for (const int nid : { NID_serialNumber, NID_organizationIdentifier }) {
        const QString valore = testoVoce(soggetto, nid);
        for (const char *prefisso : { "TINIT-", "IT:", "VATIT-" })
            if (valore.startsWith(QLatin1String(prefisso), Qt::CaseInsensitive))
                return valore.mid(qsizetype(qstrlen(prefisso)));
    }
    return testoVoce(soggetto, NID_serialNumber);
}

// A qualified certificate says so with the QcCompliance statement among its
// QC statements.
bool qualificato(X509 *cert)
{
    const int i = X509_get_ext_by_NID(cert, NID_qcStatements, -1);
    if (i < 0)
        return false;
    const ASN1_OCTET_STRING *dati = X509_EXTENSION_get_data(X509_get_ext(cert, i));
    const unsigned char *p = ASN1_STRING_get0_data(dati);
    const OsslPtr<STACK_OF(ASN1_TYPE)> dichiarazioni(d2i_ASN1_SEQUENCE_ANY(nullptr, &p, ASN1_STRING_length(dati)));
    const OsslPtr<ASN1_OBJECT> conformita(OBJ_txt2obj("0.4.0.1862.1.1", 1));
    for (int k = 0; dichiarazioni && k < sk_ASN1_TYPE_num(dichiarazioni.get()); ++k) {
        const ASN1_TYPE *d = sk_ASN1_TYPE_value(dichiarazioni.get(), k);
        if (d->type != V_ASN1_SEQUENCE)
            continue;
        const unsigned char *q = d->value.sequence->data;
        const OsslPtr<STACK_OF(ASN1_TYPE)> campi(d2i_ASN1_SEQUENCE_ANY(nullptr, &q, d->value.sequence->length));
        const ASN1_TYPE *id = campi && sk_ASN1_TYPE_num(campi.get()) > 0 ? sk_ASN1_TYPE_value(campi.get(), 0) : nullptr;
        if (id != nullptr && id->type == V_ASN1_OBJECT && OBJ_cmp(id->value.object, conformita.get()) == 0)
            return true;
    }
    return false;
}
} // namespace

QDateTime TempoAsn1(const ASN1_TIME *t)
{
    tm campi {};
    if (t == nullptr || ASN1_TIME_to_tm(t, &campi) != 1)
        return QDateTime();
    return QDateTime(QDate(campi.tm_year + 1900, campi.tm_mon + 1, campi.tm_mday),
        QTime(campi.tm_hour, campi.tm_min, campi.tm_sec), Qt::UTC);
}

QDateTime TempoIso(const QString &testo)
{
    QDateTime t = QDateTime::fromString(testo.trimmed(), Qt::ISODateWithMs);
    if (!t.isValid())
        return QDateTime();
    // A time without a zone is read as UTC, never as this machine's time.
    if (t.timeSpec() == Qt::LocalTime)
        t.setTimeSpec(Qt::UTC);
    return t.toUTC();
}

OsslPtr<X509> CertificatoDaDer(QByteArrayView der)
{
    // One per process: decoded certificates are immutable, shared by reference.
    static std::mutex mutex;
    struct Hash {
        size_t operator()(const QByteArray &b) const { return qHash(b); }
    };
    static std::unordered_map<QByteArray, OsslPtr<X509>, Hash> decodificati;
    constexpr size_t kMassimo = 4096;
    const QByteArray chiave = QByteArray::fromRawData(der.data(), der.size());
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = decodificati.find(chiave); it != decodificati.end()) {
            X509_up_ref(it->second.get());
            return OsslPtr<X509>(it->second.get());
        }
    }
    const auto *p = reinterpret_cast<const unsigned char *>(der.data());
    OsslPtr<X509> cert(der.size() <= LONG_MAX ? d2i_X509(nullptr, &p, long(der.size())) : nullptr);
    ERR_clear_error();
    // Trailing bytes would make two DERs one certificate: not kept.
    if (!cert || p != reinterpret_cast<const unsigned char *>(der.data()) + der.size())
        return cert;
    const std::lock_guard<std::mutex> lock(mutex);
    if (decodificati.size() >= kMassimo)
        decodificati.clear();
    X509_up_ref(cert.get());
    decodificati.emplace(QByteArray(der.data(), der.size()), OsslPtr<X509>(cert.get()));
    return cert;
}

QString Giorno(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("dd/MM/yyyy"));
}

void LeggiCertificato(X509 *cert, Firmatario &f)
{
    const X509_NAME *soggetto = X509_get_subject_name(cert);
    const X509_NAME *emittente = X509_get_issuer_name(cert);
    f.nome = testoVoce(soggetto, NID_commonName);
    f.codiceFiscale = codiceFiscale(soggetto);
    f.organizzazione = testoVoce(soggetto, NID_organizationName);
    f.emittente = testoVoce(emittente, NID_commonName);
    f.soggetto = testoNome(soggetto);
    f.emittenteCompleto = testoNome(emittente);
    if (const ASN1_INTEGER *serie = X509_get0_serialNumber(cert)) {
        f.numeroSerie = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(ASN1_STRING_get0_data(serie)), ASN1_STRING_length(serie))
                .toHex());
    }
    f.validoDal = TempoAsn1(X509_get0_notBefore(cert));
    f.validoAl = TempoAsn1(X509_get0_notAfter(cert));
    f.validoAllaFirma = f.dataFirma.isValid() && f.validoDal.isValid() && f.validoAl.isValid()
        && f.validoDal <= f.dataFirma && f.dataFirma <= f.validoAl;
    f.qualificato = qualificato(cert);
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (X509_digest(cert, EVP_sha256(), impronta, &n) == 1)
        f.impronta = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(impronta), int(n)).toHex());
}

QString UsoNonFirma(X509 *cert, const QString &chi)
{
    const uint32_t uso = X509_get_key_usage(cert); // every bit when the certificate does not restrict it
    if ((uso & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) == 0)
        return QStringLiteral("il certificato %1 non è destinato alla firma (il suo uso della chiave non la "
                              "comprende)")
            .arg(chi);
    const OsslPtr<EXTENDED_KEY_USAGE> estesi(
        static_cast<EXTENDED_KEY_USAGE *>(X509_get_ext_d2i(cert, NID_ext_key_usage, nullptr, nullptr)));
    if (!estesi)
        return QString();
    // Any purpose, e-mail protection (as S/MIME signers carry) or document signing.
    static const char *const ammessi[] = { "2.5.29.37.0", "1.3.6.1.5.5.7.3.4", "1.3.6.1.5.5.7.3.36",
        "1.3.6.1.4.1.311.10.3.12", "1.2.840.113583.1.1.5" };
    QStringList usi;
    for (int i = 0; i < sk_ASN1_OBJECT_num(estesi.get()); ++i) {
        char oid[80];
        OBJ_obj2txt(oid, sizeof oid, sk_ASN1_OBJECT_value(estesi.get(), i), 1);
        for (const char *a : ammessi)
            if (qstrcmp(oid, a) == 0)
                return QString();
        const int nid = OBJ_obj2nid(sk_ASN1_OBJECT_value(estesi.get(), i));
        usi << (nid == NID_server_auth   ? QStringLiteral("autenticazione di server TLS")
                : nid == NID_client_auth ? QStringLiteral("autenticazione di client")
                : nid == NID_code_sign   ? QStringLiteral("firma del codice")
                : nid == NID_time_stamp  ? QStringLiteral("marcatura temporale")
                : nid == NID_OCSP_sign   ? QStringLiteral("risposte OCSP")
                                         : QString::fromLatin1(oid));
    }
    return QStringLiteral("il certificato %1 non è destinato alla firma di documenti (è per: %2)")
        .arg(chi, usi.join(QStringLiteral(", ")));
}

Algoritmo ValutaAlgoritmo(const std::vector<int> &digest, X509 *cert)
{
    Algoritmo a;
    const auto peggio = [&a](Robustezza r, const QString &perche) {
        if (r > a.robustezza) {
            a.robustezza = r;
            a.debolezza = perche;
        }
    };
    QStringList nomi;
    for (const int nid : digest) {
        const QString nome = nid == NID_sha1 ? QStringLiteral("SHA-1")
            : nid == NID_md5                 ? QStringLiteral("MD5")
            : nid == NID_undef
            ? QString()
            : QString::fromLatin1(OBJ_nid2sn(nid)).replace(QLatin1String("SHA"), QLatin1String("SHA-"));
        if (!nome.isEmpty() && !nomi.contains(nome))
            nomi << nome;
        if (nid == NID_md5 || nid == NID_md4 || nid == NID_md2)
            peggio(Robustezza::Rotta, nome);
        else if (nid == NID_sha1)
            peggio(Robustezza::Debole, nome);
    }
    const OsslPtr<EVP_PKEY> chiave(cert != nullptr ? X509_get_pubkey(cert) : nullptr);
    if (chiave) {
        const int bit = EVP_PKEY_get_bits(chiave.get());
        const int tipo = EVP_PKEY_get_base_id(chiave.get());
        const bool ec = tipo == EVP_PKEY_EC;
        const QString nome = tipo == EVP_PKEY_RSA || tipo == EVP_PKEY_RSA_PSS ? QStringLiteral("RSA")
            : tipo == EVP_PKEY_DSA                                            ? QStringLiteral("DSA")
            : ec                                                              ? QStringLiteral("EC")
                                                                              : QString::fromLatin1(OBJ_nid2sn(tipo));
        nomi << QStringLiteral("%1 %2 bit").arg(nome).arg(bit);
        const QString chiaveCorta = QStringLiteral("chiave %1 di %2 bit").arg(nome).arg(bit);
        if (ec || tipo == EVP_PKEY_RSA || tipo == EVP_PKEY_RSA_PSS || tipo == EVP_PKEY_DSA) {
            if (bit < (ec ? 160 : 1024))
                peggio(Robustezza::Rotta, chiaveCorta);
            else if (bit < (ec ? 224 : 2048))
                peggio(Robustezza::Debole, chiaveCorta);
        }
    }
    ERR_clear_error();
    a.nome = nomi.join(QStringLiteral(", "));
    return a;
}
