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
#include "common/testopiano.h"
#include "invoice/xmlsicuro.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <openssl/err.h>
#include <optional>
#include <string>
#include <string_view>

namespace {
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

// What every signer of one file is judged with.
struct Giudizio {
    const ElencoCertificatori *elenco;
    QDateTime adesso;
    std::optional<InfoElenco> &usato;
};

// Why the chain was not trusted at the time judged, as a sentence's second half.
QString causaSfiducia(const Fiducia &fiducia, const Firmatario &f, const QString &allora)
{
    switch (fiducia.stato) {
    case Fiducia::NonAttivo:
        return QStringLiteral("il certificatore %1 (%2) non è attivo nell'elenco %3")
            .arg(di(f), fiducia.certificatore, allora);
    case Fiducia::NonValido:
        return QStringLiteral("un certificato della catena %1 non è valido %2").arg(di(f), allora);
    case Fiducia::NonInElenco:
    case Fiducia::Fidato:
        break;
    }
    return QStringLiteral("il certificatore %1 non è nell'elenco").arg(di(f));
}

// The trust half of the outcome, for a signer whose signature is intact:
// purpose, algorithms, then certificate and certifier at the time a
// time-stamp proves, or else now.
void giudica(Firmatario &f, X509 *cert, STACK_OF(X509) * altri, const Algoritmo &algoritmo, const Giudizio &g)
{
    f.esito = EsitoFirma::NonVerificata;
    if (const QString uso = UsoNonFirma(cert, di(f)); !uso.isEmpty()) {
        f.motivo = nonVerificata(uso);
        return;
    }
    if (algoritmo.robustezza == Robustezza::Debole) {
        f.motivo = nonVerificata(QStringLiteral("algoritmo non più sicuro (%1)").arg(algoritmo.debolezza));
        return;
    }
    if (g.elenco == nullptr || (g.elenco->elenchi().isEmpty() && g.elenco->problemi().isEmpty())) {
        f.motivo = nonVerificata(QStringLiteral("manca l'elenco dei certificatori (cartella CERTIFICATORI)"));
        return;
    }
    if (g.elenco->elenchi().isEmpty()) {
        f.motivo = nonVerificata(QStringLiteral("l'elenco dei certificatori non è utilizzabile (%1)")
                                     .arg(g.elenco->problemi().join(QStringLiteral("; "))));
        return;
    }
    const bool marcata = f.marcaTemporale.isValid();
    f.dataVerifica = marcata ? f.marcaTemporale : g.adesso;
    const QString allora = marcata ? QStringLiteral("il %1, data della marca temporale").arg(Giorno(f.marcaTemporale))
                                   : QStringLiteral("oggi");
    const auto valido = [&f](const QDateTime &t) { return f.validoDal <= t && t <= f.validoAl; };
    QString causa;
    if (!valido(f.dataVerifica)) {
        causa = f.dataVerifica > f.validoAl
            ? QStringLiteral("certificato %1 scaduto il %2").arg(di(f), Giorno(f.validoAl))
            : QStringLiteral("certificato %1 valido solo dal %2").arg(di(f), Giorno(f.validoDal));
        if (marcata)
            causa += QStringLiteral(", prima della marca temporale del %1").arg(Giorno(f.marcaTemporale));
    } else {
        const Fiducia fiducia = ValutaFiducia(*g.elenco, cert, altri, f.dataVerifica);
        if (fiducia.elenco >= 0 && !g.usato)
            g.usato = g.elenco->elenchi().at(fiducia.elenco);
        f.certificatore = fiducia.certificatore;
        if (fiducia.stato == Fiducia::Fidato) {
            f.esito = EsitoFirma::Valida;
            f.motivo = QStringLiteral("Firma valida: documento integro, certificato valido ed emesso da un "
                                      "certificatore attivo nell'elenco %1 (la revoca non è verificata).")
                           .arg(allora);
            return;
        }
        causa = causaSfiducia(fiducia, f, allora);
    }
    // What the signer declares is no proof; but it is worth saying when it is
    // the only thing missing.
    if (!marcata && f.dataFirma.isValid() && f.dataFirma < g.adesso && valido(f.dataFirma)
        && ValutaFiducia(*g.elenco, cert, altri, f.dataFirma).stato == Fiducia::Fidato)
        causa += QStringLiteral("; valido alla data dichiarata dal firmatario, che nessuna marca temporale conferma");
    f.motivo = nonVerificata(causa);
}

// The time-stamp a signature carries, verified: its time proves when the
// signature existed; otherwise why it does not.
void marca(Firmatario &f, QByteArrayView token, QByteArrayView marcati, const ElencoCertificatori *elenco)
{
    if (token.isEmpty())
        return;
    const EsitoMarca m = VerificaMarca(token, marcati, elenco);
    f.marcaTemporale = m.quando;
    f.notaMarca = m.nota;
}

QDateTime dataFirma(CMS_SignerInfo *si)
{
    const int i = CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, -1);
    const ASN1_TYPE *t = i >= 0 ? X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(si, i), 0) : nullptr;
    if (t == nullptr || (t->type != V_ASN1_UTCTIME && t->type != V_ASN1_GENERALIZEDTIME))
        return QDateTime();
    return TempoAsn1(t->value.utctime);
}

// The signature time-stamp token among the unsigned attributes, DER.
QByteArrayView tokenMarca(CMS_SignerInfo *si)
{
    const int i = CMS_unsigned_get_attr_by_NID(si, NID_id_smime_aa_timeStampToken, -1);
    const ASN1_TYPE *t = i >= 0 ? X509_ATTRIBUTE_get0_type(CMS_unsigned_get_attr(si, i), 0) : nullptr;
    if (t == nullptr || t->type != V_ASN1_SEQUENCE)
        return QByteArrayView();
    return QByteArrayView(t->value.sequence->data, t->value.sequence->length);
}

// The digests a signer uses: the one it names, and the one its signature algorithm implies.
std::vector<int> digestDi(CMS_SignerInfo *si)
{
    X509_ALGOR *digest = nullptr, *firma = nullptr;
    CMS_SignerInfo_get0_algs(si, nullptr, nullptr, &digest, &firma);
    std::vector<int> nid { digest != nullptr ? OBJ_obj2nid(digest->algorithm) : NID_undef };
    int implicito = NID_undef;
    if (firma != nullptr && OBJ_find_sigid_algs(OBJ_obj2nid(firma->algorithm), &implicito, nullptr) == 1)
        nid.push_back(implicito);
    return nid;
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

void verificaBusta(QByteArrayView bytes, const Giudizio &g, EsitoVerifica &r, QByteArray *documento)
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
        STACK_OF(X509) *certificati = livelli[l].certificati.get();
        // Each signer's certificate from the envelope; their chains are checked
        // afterwards, at the time judged.
        CMS_set1_signers_certs(cms, certificati, 0);
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
            const Algoritmo algoritmo = ValutaAlgoritmo(digestDi(si), cert);
            f.algoritmo = algoritmo.nome;
            // A broken algorithm proves nothing, whatever the arithmetic says.
            const QString causa = algoritmo.robustezza == Robustezza::Rotta
                ? QStringLiteral("la firma usa un algoritmo non sicuro (%1)").arg(algoritmo.debolezza)
                : alterazione(cms, si, livelli[l].contenuto);
            ERR_clear_error();
            f.integra = causa.isEmpty();
            if (f.integra) {
                const ASN1_OCTET_STRING *valore = CMS_SignerInfo_get0_signature(si);
                marca(f, tokenMarca(si), QByteArrayView(ASN1_STRING_get0_data(valore), ASN1_STRING_length(valore)),
                    g.elenco);
                giudica(f, cert, certificati, algoritmo, g);
            } else {
                f.motivo = nonValida(causa);
            }
            r.firmatari << f;
        }
    }
}

void verificaXml(QByteArrayView bytes, const Giudizio &g, EsitoVerifica &r)
{
    if (bytes.size() > kMaxDimensioneXmlFirmato)
        throw Exception(QStringLiteral("il documento supera i 200 MB e non viene verificato"));
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(QByteArray::fromRawData(bytes.data(), bytes.size()), errore);
    if (!doc)
        throw Exception(QStringLiteral("il documento non è un XML leggibile (%1)")
                            .arg(errore.section(QStringLiteral("\r\n"), 0, 0)));
    const std::vector<_xmlNode *> firme = NodiFirma(doc.get());
    if (firme.empty())
        return;
    r.tipo = QStringLiteral("XAdES");
    if (const QString causa = ControllaDocumentoFirmato(doc.get(), firme, ProfiloFirma::Fattura); !causa.isEmpty())
        throw Exception(causa);
    if (!RegistraId(doc.get()))
        throw Exception(QStringLiteral("il documento ripete lo stesso identificativo (Id) su più elementi"));
    for (_xmlNode *n : firme) {
        const FirmaXml x = VerificaNodoFirma(doc.get(), n, ProfiloFirma::Fattura);
        Firmatario f;
        f.dataFirma = x.dataFirma;
        if (x.cert)
            LeggiCertificato(x.cert.get(), f);
        f.integra = x.integra;
        f.algoritmo = x.algoritmo.nome;
        if (f.integra) {
            marca(f, x.marca, x.marcati, g.elenco);
            giudica(f, x.cert.get(), x.altri.get(), x.algoritmo, g);
        } else {
            f.motivo = nonValida(x.motivo);
        }
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

namespace {
bool spazioXml(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The encoding an XML declaration names: the first "encoding" before the
// declaration's '>' that is followed by = and a quoted value. Read by hand:
// a regular expression here cost more than the rest of the test, once per
// file of an archive.
std::optional<QByteArrayView> codificaDichiarata(QByteArrayView inizio)
{
    const qsizetype chiusa = inizio.indexOf('>');
    const qsizetype limite = chiusa < 0 ? inizio.size() : chiusa;
    for (qsizetype p = inizio.indexOf("encoding", 5); p >= 0 && p < limite; p = inizio.indexOf("encoding", p + 1)) {
        qsizetype j = p + 8;
        while (j < inizio.size() && spazioXml(inizio[j]))
            ++j;
        if (j >= inizio.size() || inizio[j] != '=')
            continue;
        ++j;
        while (j < inizio.size() && spazioXml(inizio[j]))
            ++j;
        if (j >= inizio.size() || (inizio[j] != '"' && inizio[j] != '\''))
            continue;
        const qsizetype da = ++j;
        while (j < inizio.size() && inizio[j] != '"' && inizio[j] != '\'')
            ++j;
        if (j < inizio.size())
            return inizio.sliced(da, j - da);
    }
    return std::nullopt;
}

// An encoding that writes ASCII as ASCII, by the names libxml2 and iconv take.
bool compatibileAscii(QByteArrayView nome)
{
    const std::string n = nome.toByteArray().toLower().toStdString();
    const auto cifre = [](std::string_view t) {
        return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const auto dopo = [&n](std::string_view prefisso) -> std::optional<std::string_view> {
        if (!std::string_view(n).starts_with(prefisso))
            return std::nullopt;
        return std::string_view(n).substr(prefisso.size());
    };
    if (n == "utf8" || n == "utf-8" || n == "us-ascii" || n == "ascii")
        return true;
    if (const auto iso = dopo("iso")) {
        std::string_view r = *iso;
        if (r.starts_with('-') || r.starts_with('_'))
            r.remove_prefix(1);
        return r.starts_with("8859-") && cifre(r.substr(5));
    }
    if (const auto latin = dopo("latin")) {
        std::string_view r = *latin;
        if (r.starts_with('-'))
            r.remove_prefix(1);
        return r.size() == 1 && cifre(r);
    }
    for (const std::string_view prefisso : { "windows-125", "cp125" })
        if (const auto r = dopo(prefisso))
            return r->size() == 1 && (*r)[0] >= '0' && (*r)[0] <= '8';
    return false;
}
} // namespace

bool SenzaFirmaXml(QByteArrayView bytes)
{
    QByteArrayView inizio = bytes.first(qMin<qsizetype>(bytes.size(), 200));
    if (inizio.startsWith("\xEF\xBB\xBF"))
        inizio = inizio.sliced(3);
    static constexpr char kFirma[] = "Signature";
    if (!inizio.startsWith('<') || ContieneParola(bytes.data(), bytes.data() + bytes.size(), kFirma, sizeof kFirma - 1))
        return false;
    if (!inizio.startsWith("<?xml"))
        return true; // UTF-8
    const std::optional<QByteArrayView> codifica = codificaDichiarata(inizio);
    return !codifica || compatibileAscii(*codifica);
}

FormaFile FormaPerNome(const QString &nome)
{
    if (hasExtension(nome, u".p7m"))
        return FormaFile::Busta;
    return hasExtension(nome, u".xml") ? FormaFile::Xml : FormaFile::Rileva;
}

QString TitoloEsito(EsitoFirma esito)
{
    switch (esito) {
    case EsitoFirma::Valida:
        return QStringLiteral("Firma valida");
    case EsitoFirma::NonVerificata:
        return QStringLiteral("Non verificata");
    case EsitoFirma::NonValida:
        return QStringLiteral("Non valida");
    case EsitoFirma::Assente:
        break;
    }
    return QStringLiteral("Nessuna firma");
}

EsitoVerifica EsitoIlleggibile(const QString &causa)
{
    EsitoVerifica r;
    r.esito = EsitoFirma::NonValida;
    r.motivo = nonValida(causa);
    return r;
}

QString DataIso(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

EsitoVerifica VerificaFirma(QByteArrayView bytes, FormaFile forma, const ElencoCertificatori *elenco,
    const QDateTime &adesso, QByteArray *documento)
{
    EsitoVerifica r;
    const Giudizio giudizio { elenco, adesso.toUTC(), r.elenco };
    try {
        if (forma == FormaFile::Rileva)
            forma = sembraBusta(bytes) ? FormaFile::Busta : FormaFile::Xml;
        if (forma == FormaFile::Busta)
            verificaBusta(bytes, giudizio, r, documento);
        else
            verificaXml(bytes, giudizio, r);
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
    r.esito = r.firmatari.constFirst().esito;
    r.motivo = r.firmatari.constFirst().motivo;
    for (const Firmatario &f : r.firmatari) {
        r.integra = r.integra && f.integra;
        if (f.esito > r.esito) {
            r.esito = f.esito;
            r.motivo = f.motivo;
        }
    }
    if (!r.elenco && elenco != nullptr && !elenco->elenchi().isEmpty())
        r.elenco = elenco->elenchi().constFirst();
    if (r.elenco)
        r.elenco->scaduto
            = r.elenco->prossimoAggiornamento.isValid() && giudizio.adesso > r.elenco->prossimoAggiornamento;
    if (r.elenco && r.elenco->scaduto && r.esito != EsitoFirma::NonValida)
        r.motivo += QStringLiteral(" L'elenco dei certificatori è scaduto il %1: conviene aggiornarlo.")
                        .arg(r.elenco->prossimoAggiornamento.toString(QStringLiteral("dd/MM/yyyy")));
    return r;
}
