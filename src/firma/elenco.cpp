// Trusted lists in ETSI TS 119 612 form: the CA/QC services with their status
// history and certificates, and the chain check of a signer against them.
#include "firma/elenco.h"
#include "firma/firma_p.h"
#include "firma/xmlnodi.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "invoice/xmlsicuro.h"

#include <QDir>
#include <QFileInfo>
#include <openssl/err.h>

namespace {
const QString kTroppoGrande = QStringLiteral("L'elenco dei certificatori supera i 20 MB e non viene letto");
const QString kNonElenco = QStringLiteral("Il file non è un elenco dei certificatori (ETSI TS 119 612)");
const QString kNonFileNormale = QStringLiteral(
    "L'elenco dei certificatori non è un file normale (un dispositivo, una coda o un collegamento a uno di essi) e "
    "non viene letto");

struct Stato {
    QDateTime inizio;
    TipoServizio tipo = TipoServizio::Altro;
    bool concesso = false;
};

// A listed certificate, kept as it came: parsing one costs OpenSSL a decoder
// look-up for its key, too slow for hundreds at every start. Its subject,
// cheap to read, finds it when a chain needs it.
struct Certificato {
    QByteArray der;
    OsslPtr<X509_NAME> soggetto;
};

struct Servizio {
    QString nome;
    TipoServizio tipo = TipoServizio::Altro; // what it is in any part of its history
    int elenco = 0;
    std::vector<Certificato> certificati;
    std::vector<Stato> storia;

    // The status in force at t: the last one started by then.
    const Stato *statoA(const QDateTime &t) const
    {
        const Stato *vigente = nullptr;
        for (const Stato &s : storia)
            if (s.inizio <= t && (vigente == nullptr || s.inizio >= vigente->inizio))
                vigente = &s;
        return vigente;
    }
};

// Before eIDAS the same standing was called accredited or under supervision.
bool concesso(const QString &stato)
{
    const QString ultimo = stato.section(QLatin1Char('/'), -1);
    for (const char *s : { "granted", "accredited", "undersupervision", "supervisionincessation" })
        if (ultimo == QLatin1String(s))
            return true;
    return false;
}

TipoServizio tipoDa(const QString &identificatore)
{
    if (identificatore.endsWith(QLatin1String("/Svctype/CA/QC")))
        return TipoServizio::Certificati;
    if (identificatore.endsWith(QLatin1String("/Svctype/TSA/QTST"))
        || identificatore.endsWith(QLatin1String("/Svctype/TSA")))
        return TipoServizio::Marche;
    return TipoServizio::Altro;
}

Stato statoDa(const xmlNode *info, TipoServizio predefinito)
{
    const xmlNode *tipo = figlio(info, "ServiceTypeIdentifier");
    return { TempoIso(testo(figlio(info, "StatusStartingTime"))), tipo != nullptr ? tipoDa(testo(tipo)) : predefinito,
        concesso(testo(figlio(info, "ServiceStatus"))) };
}

// The subject of a certificate's DER, read without the rest: certificate,
// to-be-signed part, optional version, serial, algorithm, issuer, validity.
OsslPtr<X509_NAME> soggettoDi(const QByteArray &der)
{
    const auto *p = reinterpret_cast<const unsigned char *>(der.constData());
    const unsigned char *fine = p + der.size();
    long lunghezza = 0;
    int tag = 0, classe = 0;
    // A header of definite length that fits: 0x80 marks an error, 0x01 an indefinite length.
    const auto entra = [&] { return (ASN1_get_object(&p, &lunghezza, &tag, &classe, fine - p) & 0x81) == 0; };
    if (!entra() || !entra())
        return nullptr;
    for (int campo = 0; campo < 4; ++campo) {
        if (!entra())
            return nullptr;
        p += lunghezza;
        if (campo == 0 && classe == V_ASN1_CONTEXT_SPECIFIC && tag == 0)
            --campo; // the version, when present, comes before the serial
    }
    OsslPtr<X509_NAME> nome(d2i_X509_NAME(nullptr, &p, fine - p));
    ERR_clear_error();
    return nome;
}

std::vector<Certificato> certificatiDi(const xmlNode *info)
{
    std::vector<Certificato> certificati;
    for (const xmlNode *id : figli(figlio(info, "ServiceDigitalIdentity"), "DigitalId")) {
        Certificato c { QByteArray::fromBase64(testo(figlio(id, "X509Certificate")).toLatin1()), nullptr };
        c.soggetto = soggettoDi(c.der);
        if (c.soggetto)
            certificati.push_back(std::move(c));
    }
    return certificati;
}

QString nomeIn(const xmlNode *nomi)
{
    return testo(figlio(nomi, "Name"));
}
} // namespace

struct ElencoCertificatori::Dati {
    QList<InfoElenco> elenchi;
    QStringList problemi;
    std::vector<Servizio> servizi;
};

ElencoCertificatori::ElencoCertificatori()
    : d_(std::make_unique<Dati>())
{
}
ElencoCertificatori::~ElencoCertificatori() = default;
ElencoCertificatori::ElencoCertificatori(ElencoCertificatori &&) noexcept = default;
ElencoCertificatori &ElencoCertificatori::operator=(ElencoCertificatori &&) noexcept = default;

const QList<InfoElenco> &ElencoCertificatori::elenchi() const
{
    return d_->elenchi;
}

const QStringList &ElencoCertificatori::problemi() const
{
    return d_->problemi;
}

void ElencoCertificatori::aggiungiProblema(const QString &problema)
{
    d_->problemi << problema;
}

void ElencoCertificatori::aggiungi(QByteArrayView bytes, const QString &percorso)
{
    if (bytes.size() > kMaxDimensioneElenco)
        throw Exception(kTroppoGrande);
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(QByteArray::fromRawData(bytes.data(), bytes.size()), errore);
    if (!doc)
        throw Exception(QStringLiteral("L'elenco dei certificatori non è un XML leggibile: ")
            + errore.section(QStringLiteral("\r\n"), 0, 0));
    const xmlNode *radice = xmlDocGetRootElement(doc.get());
    const xmlNode *schema = figlio(radice, "SchemeInformation");
    InfoElenco info;
    info.percorso = percorso;
    info.emissione = TempoIso(testo(figlio(schema, "ListIssueDateTime")));
    if (!haNome(radice, "TrustServiceStatusList") || radice->ns == nullptr
        || !xmlStrEqual(radice->ns->href, BAD_CAST "http://uri.etsi.org/02231/v2#") || !info.emissione.isValid())
        throw Exception(kNonElenco);
    info.prossimoAggiornamento = TempoIso(testo(figlio(figlio(schema, "NextUpdate"), "dateTime")));
    info.territorio = testo(figlio(schema, "SchemeTerritory"));
    info.operatore = nomeIn(figlio(schema, "SchemeOperatorName"));

    std::vector<Servizio> nuovi;
    const int indice = static_cast<int>(d_->elenchi.size());
    for (const xmlNode *tsp : figli(figlio(radice, "TrustServiceProviderList"), "TrustServiceProvider")) {
        const QString fornitore = nomeIn(figlio(figlio(tsp, "TSPInformation"), "TSPName"));
        for (const xmlNode *servizio : figli(figlio(tsp, "TSPServices"), "TSPService")) {
            const xmlNode *attuale = figlio(servizio, "ServiceInformation");
            Servizio s;
            s.elenco = indice;
            s.nome = nomeIn(figlio(attuale, "ServiceName"));
            if (s.nome.isEmpty())
                s.nome = fornitore;
            s.storia.push_back(statoDa(attuale, TipoServizio::Altro));
            for (const xmlNode *prima : figli(figlio(servizio, "ServiceHistory"), "ServiceHistoryInstance"))
                s.storia.push_back(statoDa(prima, s.storia.front().tipo));
            for (const Stato &st : s.storia)
                if (st.tipo != TipoServizio::Altro)
                    s.tipo = st.tipo;
            s.certificati = certificatiDi(attuale);
            if (s.tipo != TipoServizio::Altro && !s.certificati.empty()) {
                ++(s.tipo == TipoServizio::Certificati ? info.certificatori : info.marcature);
                nuovi.push_back(std::move(s));
            }
        }
    }

    const std::vector<xmlNode *> firme = NodiFirma(doc.get());
    if (!firme.empty())
        info.firma = RegistraId(doc.get()) && VerificaNodoFirma(doc.get(), firme.front(), ProfiloFirma::Elenco).integra
            ? FirmaElenco::Integra
            : FirmaElenco::NonIntegra;

    for (Servizio &s : nuovi)
        d_->servizi.push_back(std::move(s));
    d_->elenchi << info;
}

ElencoCertificatori CaricaElenchi(const QStringList &fileOCartelle)
{
    ElencoCertificatori elenco;
    QStringList file;
    for (const QString &fileOCartella : fileOCartelle) {
        const QFileInfo info(fileOCartella);
        if (info.isDir()) {
            for (const QFileInfo &f : QDir(fileOCartella)
                                          .entryInfoList({ QStringLiteral("*.xml") },
                                              QDir::Files | QDir::System | QDir::Hidden, QDir::Name | QDir::IgnoreCase))
                file << f.filePath();
        } else if (!fileOCartella.endsWith(QLatin1Char('/'))) { // a missing folder holds no list
            file << fileOCartella;
        }
    }
    for (const QString &f : file) {
        try {
            QByteArray bytes;
            switch (readRegularFile(f, kMaxDimensioneElenco, bytes)) {
            case RegularRead::NotRegular:
                throw Exception(kNonFileNormale);
            case RegularRead::TooBig:
                throw Exception(kTroppoGrande);
            case RegularRead::Ok:
                break;
            }
            elenco.aggiungi(bytes, f);
        } catch (const Exception &e) {
            elenco.aggiungiProblema(QFileInfo(f).fileName() + QStringLiteral(": ") + e.message());
        }
    }
    return elenco;
}

Fiducia ValutaFiducia(
    const ElencoCertificatori &elenco, X509 *cert, STACK_OF(X509) * altri, const QDateTime &t, TipoServizio tipo)
{
    const ElencoCertificatori::Dati &d = elenco.dati();
    Fiducia fiducia;
    // The listed certificates that may have issued one of the chain's: those
    // whose subject is the issuer of the signer's or of one the signature carries.
    std::vector<const X509_NAME *> emittenti { X509_get_issuer_name(cert) };
    for (int i = 0; i < sk_X509_num(altri); ++i)
        emittenti.push_back(X509_get_issuer_name(sk_X509_value(altri, i)));
    struct Candidato {
        const Servizio *servizio;
        OsslPtr<X509> cert;
    };
    std::vector<Candidato> candidati;
    const OsslPtr<X509_STORE> store(X509_STORE_new());
    for (const Servizio &s : d.servizi) {
        if (s.tipo != tipo)
            continue;
        for (const Certificato &c : s.certificati) {
            if (std::none_of(emittenti.begin(), emittenti.end(),
                    [&](const X509_NAME *n) { return X509_NAME_cmp(n, c.soggetto.get()) == 0; }))
                continue;
            const auto *p = reinterpret_cast<const unsigned char *>(c.der.constData());
            OsslPtr<X509> x(d2i_X509(nullptr, &p, c.der.size()));
            if (x && X509_STORE_add_cert(store.get(), x.get()) == 1)
                candidati.push_back({ &s, std::move(x) });
        }
    }
    ERR_clear_error(); // a certificate listed twice, or one that does not parse
    OsslPtr<X509_STORE_CTX> ctx(X509_STORE_CTX_new());
    if (candidati.empty() || !store || !ctx || X509_STORE_CTX_init(ctx.get(), store.get(), cert, altri) != 1) {
        ERR_clear_error();
        return fiducia;
    }
    // A listed certifier may be an intermediate authority: the chain ends at it.
    X509_VERIFY_PARAM *param = X509_STORE_CTX_get0_param(ctx.get());
    X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    X509_VERIFY_PARAM_set_time(param, static_cast<time_t>(t.toSecsSinceEpoch()));
    const bool verificata = X509_verify_cert(ctx.get()) == 1;
    const int errore = X509_STORE_CTX_get_error(ctx.get());
    ERR_clear_error();
    if (!verificata) {
        if (errore == X509_V_ERR_CERT_HAS_EXPIRED || errore == X509_V_ERR_CERT_NOT_YET_VALID)
            fiducia.stato = Fiducia::NonValido;
        return fiducia;
    }
    STACK_OF(X509) *catena = X509_STORE_CTX_get0_chain(ctx.get());
    X509 *radice = sk_X509_value(catena, sk_X509_num(catena) - 1);
    for (const Candidato &c : candidati) {
        if (X509_cmp(c.cert.get(), radice) != 0)
            continue;
        const Stato *vigente = c.servizio->statoA(t);
        const bool fidato = vigente != nullptr && vigente->tipo == tipo && vigente->concesso;
        if (fiducia.certificatore.isEmpty() || fidato) {
            fiducia.stato = fidato ? Fiducia::Fidato : Fiducia::NonAttivo;
            fiducia.certificatore = c.servizio->nome;
            fiducia.elenco = c.servizio->elenco;
        }
        if (fidato)
            break;
    }
    return fiducia;
}

std::vector<OsslPtr<X509>> CertificatiServizi(const ElencoCertificatori &elenco, TipoServizio tipo, const QDateTime &t)
{
    std::vector<OsslPtr<X509>> certificati;
    for (const Servizio &s : elenco.dati().servizi) {
        const Stato *vigente = s.tipo == tipo ? s.statoA(t) : nullptr;
        if (vigente == nullptr || vigente->tipo != tipo || !vigente->concesso)
            continue;
        for (const Certificato &c : s.certificati) {
            const auto *p = reinterpret_cast<const unsigned char *>(c.der.constData());
            if (OsslPtr<X509> x(d2i_X509(nullptr, &p, c.der.size())); x)
                certificati.push_back(std::move(x));
        }
    }
    ERR_clear_error();
    return certificati;
}

ElencoPigro::ElencoPigro(QStringList fileOCartelle)
    : percorsi_(std::move(fileOCartelle))
{
}

std::shared_ptr<const ElencoCertificatori> ElencoPigro::elenco()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!elenco_)
        elenco_ = std::make_shared<const ElencoCertificatori>(CaricaElenchi(percorsi_));
    return elenco_;
}

void ElencoPigro::ricarica()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    elenco_.reset();
}
