// The verification of a signed document: CAdES envelopes with libcrypto's
// CMS, each signer's signed attributes and content digest checked; XAdES
// signatures through xades.cpp; each signer judged against the lists, the
// worst one deciding the outcome and its sentence.
#include "firma/firma.h"
#include "firma/busta_p.h"
#include "firma/firma_p.h"

#include "attachments/envelopetext.h"
#include "common/errors.h"
#include "common/filenames.h"
#include "invoice/xmlsicuro.h"

#include <climits>
#include <cstring>
#include <openssl/err.h>

namespace {
const QString kValida = QStringLiteral("Firma valida: documento integro, certificato emesso da un certificatore "
                                       "dell'elenco e valido alla data della firma (la revoca non è verificata).");
const QString kAssente = QStringLiteral("Nessuna firma: il documento non è firmato.");

QString nonValida(QString causa)
{
    if (!causa.isEmpty())
        causa[0] = causa[0].toLower();
    return QStringLiteral("Firma non valida: %1.").arg(causa);
}

QString nonVerificata(const QString &causa)
{
    return QStringLiteral("Firma integra ma non verificata: %1.").arg(causa);
}

QString di(const Firmatario &f)
{
    return f.nome.isEmpty() ? QStringLiteral("del firmatario") : QStringLiteral("di ") + f.nome;
}

// The trust half of the outcome, for a signer whose signature is intact.
void giudica(Firmatario &f, X509 *cert, STACK_OF(X509) * altri, const ElencoCertificatori *elenco,
    std::optional<InfoElenco> &usato)
{
    f.esito = EsitoFirma::NonVerificata;
    if (elenco == nullptr || (elenco->elenchi().isEmpty() && elenco->problemi().isEmpty())) {
        f.motivo = nonVerificata(QStringLiteral("manca l'elenco dei certificatori (cartella CERTIFICATORI)"));
        return;
    }
    if (elenco->elenchi().isEmpty()) {
        f.motivo = nonVerificata(QStringLiteral("l'elenco dei certificatori non è utilizzabile (%1)")
                                     .arg(elenco->problemi().join(QStringLiteral("; "))));
        return;
    }
    if (!f.validoAllaFirma) {
        f.motivo = nonVerificata(QStringLiteral("il certificato %1 non era valido alla data della firma").arg(di(f)));
        return;
    }
    const QDateTime quando = f.dataFirma.isValid() ? f.dataFirma : QDateTime::currentDateTimeUtc();
    const Fiducia fiducia = ValutaFiducia(*elenco, cert, altri, quando);
    if (fiducia.elenco >= 0 && !usato)
        usato = elenco->elenchi().at(fiducia.elenco);
    f.certificatore = fiducia.certificatore;
    switch (fiducia.stato) {
    case Fiducia::Fidato:
        f.esito = EsitoFirma::Valida;
        f.motivo = kValida;
        break;
    case Fiducia::NonAttivo:
        f.motivo = nonVerificata(QStringLiteral("il certificatore %1 (%2) non era attivo nell'elenco alla data della "
                                                "firma")
                                     .arg(di(f), fiducia.certificatore));
        break;
    case Fiducia::NonValido:
        f.motivo = nonVerificata(
            QStringLiteral("un certificato della catena %1 non era valido alla data della firma").arg(di(f)));
        break;
    case Fiducia::NonInElenco:
        f.motivo = nonVerificata(QStringLiteral("il certificatore %1 non è nell'elenco").arg(di(f)));
        break;
    }
}

QDateTime dataFirma(CMS_SignerInfo *si)
{
    const int i = CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, -1);
    const ASN1_TYPE *t = i >= 0 ? X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(si, i), 0) : nullptr;
    if (t == nullptr || (t->type != V_ASN1_UTCTIME && t->type != V_ASN1_GENERALIZEDTIME))
        return QDateTime();
    return TempoAsn1(t->value.utctime);
}

// The checks CMS_verify makes of one signer, but with the content digested
// where it lies: CMS_verify reads it through a chain of BIOs, 4 KB at a time,
// which costs a 20 MB invoice a third more than its digest. Empty when the
// signer verifies, else why not.
QString alterazione(CMS_ContentInfo *cms, CMS_SignerInfo *si, const QByteArray &contenuto)
{
    if (CMS_signed_get_attr_count(si) < 0) {
        // No signed attributes: the signature covers the content itself.
        OsslPtr<BIO> in(contenuto.size() <= INT_MAX
                ? BIO_new_mem_buf(contenuto.constData(), static_cast<int>(contenuto.size()))
                : nullptr);
        OsslPtr<BIO> dati(in ? CMS_dataInit(cms, in.get()) : nullptr);
        if (dati)
            (void)in.release(); // now the end of the chain
        char buffer[65536];
        while (dati && BIO_read(dati.get(), buffer, sizeof buffer) > 0) { }
        return dati && CMS_SignerInfo_verify_content(si, dati.get()) == 1
            ? QString()
            : QStringLiteral("il contenuto è stato modificato dopo la firma");
    }
    if (CMS_SignerInfo_verify(si) != 1)
        return QStringLiteral("la firma non corrisponde ai dati firmati");
    X509_ALGOR *algoritmo = nullptr;
    CMS_SignerInfo_get0_algs(si, nullptr, nullptr, &algoritmo, nullptr);
    const EVP_MD *md = algoritmo != nullptr ? EVP_get_digestbyobj(algoritmo->algorithm) : nullptr;
    const auto *atteso = static_cast<const ASN1_OCTET_STRING *>(
        CMS_signed_get0_data_by_OBJ(si, OBJ_nid2obj(NID_pkcs9_messageDigest), -3, V_ASN1_OCTET_STRING));
    unsigned char impronta[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (md == nullptr || atteso == nullptr
        || EVP_Digest(contenuto.constData(), size_t(contenuto.size()), impronta, &n, md, nullptr) != 1)
        return QStringLiteral("la firma non è verificabile (algoritmi o struttura non ammessi)");
    if (int(n) != ASN1_STRING_length(atteso) || std::memcmp(impronta, ASN1_STRING_get0_data(atteso), n) != 0)
        return QStringLiteral("il contenuto è stato modificato dopo la firma");
    return QString();
}

void verificaBusta(QByteArrayView bytes, const ElencoCertificatori *elenco, EsitoVerifica &r, QByteArray *documento)
{
    r.tipo = QStringLiteral("CAdES");
    const std::vector<LivelloBusta> livelli = LeggiLivelliBusta(bytes);
    if (documento != nullptr) // a copy of its own: the levels go on return
        *documento = QByteArray(livelli.back().contenuto.constData(), livelli.back().contenuto.size());
    for (size_t l = 0; l < livelli.size(); ++l) {
        CMS_ContentInfo *cms = livelli[l].cms.get();
        STACK_OF(CMS_SignerInfo) *firme = CMS_get0_SignerInfos(cms);
        if (sk_CMS_SignerInfo_num(firme) <= 0)
            throw Exception(QStringLiteral("la busta non contiene firmatari"));
        const Certificati certificati(CMS_get1_certs(cms));
        // Each signer's certificate from the envelope; their chains are checked
        // afterwards, at the signing time.
        CMS_set1_signers_certs(cms, nullptr, 0);
        ERR_clear_error();
        for (int i = 0; i < sk_CMS_SignerInfo_num(firme); ++i) {
            CMS_SignerInfo *si = sk_CMS_SignerInfo_value(firme, i);
            Firmatario f;
            f.livello = static_cast<int>(l) + 1;
            f.dataFirma = dataFirma(si);
            X509 *cert = nullptr;
            CMS_SignerInfo_get0_algs(si, nullptr, &cert, nullptr, nullptr);
            if (cert == nullptr) {
                f.motivo = nonValida(QStringLiteral("manca il certificato del firmatario"));
                r.firmatari << f;
                continue;
            }
            LeggiCertificato(cert, f);
            const QString causa = alterazione(cms, si, livelli[l].contenuto);
            ERR_clear_error();
            f.integra = causa.isEmpty();
            if (f.integra)
                giudica(f, cert, certificati.get(), elenco, r.elenco);
            else
                f.motivo = nonValida(causa);
            r.firmatari << f;
        }
    }
}

void verificaXml(QByteArrayView bytes, const ElencoCertificatori *elenco, EsitoVerifica &r)
{
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(QByteArray::fromRawData(bytes.data(), bytes.size()), errore);
    if (!doc)
        throw Exception(QStringLiteral("il documento non è un XML leggibile (%1)")
                            .arg(errore.section(QStringLiteral("\r\n"), 0, 0)));
    const std::vector<_xmlNode *> firme = NodiFirma(doc.get());
    if (firme.empty())
        return;
    r.tipo = QStringLiteral("XAdES");
    if (!RegistraId(doc.get()))
        throw Exception(QStringLiteral("il documento ripete lo stesso identificativo (Id) su più elementi"));
    for (_xmlNode *n : firme) {
        const FirmaXml x = VerificaNodoFirma(doc.get(), n);
        Firmatario f;
        f.dataFirma = x.dataFirma;
        if (x.cert)
            LeggiCertificato(x.cert.get(), f);
        f.integra = x.integra;
        if (f.integra)
            giudica(f, x.cert.get(), x.altri.get(), elenco, r.elenco);
        else
            f.motivo = nonValida(x.motivo);
        r.firmatari << f;
    }
}

bool sembraBusta(QByteArrayView bytes)
{
    return looksLikeDer(bytes) || (!InizioXml(bytes) && derFromBase64Envelope(bytes).has_value());
}
} // namespace

QString ParolaEsito(EsitoFirma esito)
{
    switch (esito) {
    case EsitoFirma::Valida:
        return QStringLiteral("valida");
    case EsitoFirma::NonVerificata:
        return QStringLiteral("non_verificata");
    case EsitoFirma::NonValida:
        return QStringLiteral("non_valida");
    case EsitoFirma::Assente:
        break;
    }
    return QStringLiteral("assente");
}

FormaFile FormaPerNome(const QString &nome)
{
    if (hasExtension(nome, u".p7m"))
        return FormaFile::Busta;
    return hasExtension(nome, u".xml") ? FormaFile::Xml : FormaFile::Rileva;
}

QString DataIso(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

EsitoVerifica VerificaFirma(
    QByteArrayView bytes, FormaFile forma, const ElencoCertificatori *elenco, QByteArray *documento)
{
    EsitoVerifica r;
    try {
        if (forma == FormaFile::Rileva)
            forma = sembraBusta(bytes) ? FormaFile::Busta : FormaFile::Xml;
        if (forma == FormaFile::Busta)
            verificaBusta(bytes, elenco, r, documento);
        else
            verificaXml(bytes, elenco, r);
    } catch (const Exception &e) {
        r.esito = EsitoFirma::NonValida;
        r.motivo = nonValida(e.message());
    } catch (const std::exception &) {
        r.esito = EsitoFirma::NonValida;
        r.motivo = nonValida(QStringLiteral("memoria insufficiente per verificarla"));
    }
    ERR_clear_error();
    if (!r.motivo.isEmpty())
        return r;
    if (r.firmatari.isEmpty()) {
        r.motivo = kAssente;
        return r;
    }
    r.integra = true;
    r.esito = EsitoFirma::Valida;
    r.motivo = kValida;
    for (const Firmatario &f : r.firmatari) {
        r.integra = r.integra && f.integra;
        if (f.esito > r.esito) {
            r.esito = f.esito;
            r.motivo = f.motivo;
        }
    }
    if (!r.elenco && elenco != nullptr && !elenco->elenchi().isEmpty())
        r.elenco = elenco->elenchi().constFirst();
    if (r.elenco && r.elenco->scaduto && r.esito != EsitoFirma::NonValida)
        r.motivo += QStringLiteral(" L'elenco dei certificatori è scaduto il %1: conviene aggiornarlo.")
                        .arg(r.elenco->prossimoAggiornamento.toString(QStringLiteral("dd/MM/yyyy")));
    return r;
}
