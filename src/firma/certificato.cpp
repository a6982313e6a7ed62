// A signer's certificate read into its fields: names, fiscal code, validity,
// qualified status, fingerprint.
#include "firma/firma_p.h"

#include <openssl/objects.h>
#include <openssl/x509v3.h>

namespace {
QString testoVoce(const X509_NAME *nome, int nid)
{
    const int i = X509_NAME_get_index_by_NID(nome, nid, -1);
    if (i < 0)
        return QString();
    unsigned char *utf8 = nullptr;
    const int n = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(nome, i)));
    if (n < 0)
        return QString();
    QString testo = QString::fromUtf8(reinterpret_cast<const char *>(utf8), n);
    OPENSSL_free(utf8);
    return testo;
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
    const QDateTime quando = f.dataFirma.isValid() ? f.dataFirma : QDateTime::currentDateTimeUtc();
    f.validoAllaFirma = f.validoDal.isValid() && f.validoAl.isValid() && f.validoDal <= quando && quando <= f.validoAl;
    f.qualificato = qualificato(cert);
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (X509_digest(cert, EVP_sha256(), impronta, &n) == 1)
        f.impronta = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(impronta), int(n)).toHex());
}
