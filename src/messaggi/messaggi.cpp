// Recognising and reading the exchange system's messages from a parsed
// document: one walk over the root's children.
#include "messaggi/messaggi.h"

#include "common/filenames.h"
#include "common/strings.h"
#include "invoice/xmlsicuro.h"

#include <QByteArrayView>
#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <libxml/tree.h>
#include <tuple>

namespace {
struct Radice {
    const char *nome;
    TipoMessaggio tipo;
};

// The roots the system has used; the later schema renamed two of them.
constexpr Radice kRadici[] = {
    { "RicevutaConsegna", TipoMessaggio::RC },
    { "NotificaMancataConsegna", TipoMessaggio::MC },
    { "RicevutaImpossibilitaRecapito", TipoMessaggio::MC },
    { "NotificaScarto", TipoMessaggio::NS },
    { "RicevutaScarto", TipoMessaggio::NS },
    { "NotificaEsito", TipoMessaggio::NE },
    { "NotificaDecorrenzaTermini", TipoMessaggio::DT },
    { "AttestazioneTrasmissioneFattura", TipoMessaggio::AT },
    { "NotificaEsitoCommittente", TipoMessaggio::EC },
    { "ScartoEsitoCommittente", TipoMessaggio::SE },
    { "MetadatiInvioFile", TipoMessaggio::MT },
    { "FileMetadati", TipoMessaggio::MT },
};

// The first namespace is the one of the published schema; the second the
// later one of the tax agency. Later versions keep these stems.
constexpr QByteArrayView kSpaziNomi[] = {
    "http://www.fatturapa.gov.it/sdi/messaggi/",
    "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/",
};
constexpr const char *kFirmaXml = "http://www.w3.org/2000/09/xmldsig#";

QByteArrayView vista(const xmlChar *testo)
{
    return testo == nullptr ? QByteArrayView() : QByteArrayView(reinterpret_cast<const char *>(testo));
}

bool spazioDelSistema(QByteArrayView href)
{
    for (QByteArrayView stem : kSpaziNomi)
        if (href.startsWith(stem))
            return true;
    return false;
}

TipoMessaggio tipoDiRadice(QByteArrayView nome)
{
    for (const Radice &r : kRadici)
        if (nome == QByteArrayView(r.nome))
            return r.tipo;
    return TipoMessaggio::Nessuno;
}

// Bytes of code 0x20 or below off both ends: in UTF-8 these are the same
// characters trimControls takes off the text.
QByteArrayView senzaSpazi(QByteArrayView testo)
{
    while (!testo.isEmpty() && static_cast<uchar>(testo.front()) <= 0x20)
        testo = testo.sliced(1);
    while (!testo.isEmpty() && static_cast<uchar>(testo.back()) <= 0x20)
        testo.chop(1);
    return testo;
}

// The text of the element and all below it, trimmed; iterative, since a
// hostile message may nest deeply. Most elements hold one text node, which
// is converted straight from the document.
QString testoDi(const xmlNode *elemento)
{
    const xmlNode *n = elemento->children;
    if (n == nullptr)
        return QString();
    if (n->next == nullptr && (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE))
        return QString::fromUtf8(senzaSpazi(vista(n->content)));
    QByteArray testo;
    while (n != nullptr) {
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr)
            testo += reinterpret_cast<const char *>(n->content);
        if (n->type == XML_ELEMENT_NODE && n->children != nullptr) {
            n = n->children;
            continue;
        }
        while (n != elemento && n->next == nullptr)
            n = n->parent;
        n = n == elemento ? nullptr : n->next;
    }
    return QString::fromUtf8(senzaSpazi(testo));
}

bool elemento(const xmlNode *n)
{
    return n != nullptr && n->type == XML_ELEMENT_NODE;
}

// Stops at the first byte that differs: most names are told apart at once.
bool nomeE(const xmlNode *n, const char *nome)
{
    return n->name != nullptr && std::strcmp(reinterpret_cast<const char *>(n->name), nome) == 0;
}

// Where each child's text goes; the first occurrence wins.
struct Campo {
    const char *nome;
    QString MessaggioSdI::*campo;
};

constexpr Campo kCampiRadice[] = {
    { "IdentificativoSdI", &MessaggioSdI::identificativoSdI },
    { "NomeFile", &MessaggioSdI::nomeFile },
    { "Hash", &MessaggioSdI::hash },
    { "HashFileOriginale", &MessaggioSdI::hash },
    { "DataOraRicezione", &MessaggioSdI::dataOraRicezione },
    { "DataOraConsegna", &MessaggioSdI::dataOraConsegna },
    { "DataMessaADisposizione", &MessaggioSdI::dataMessaADisposizione },
    { "Descrizione", &MessaggioSdI::descrizione },
    { "Esito", &MessaggioSdI::esito },
    { "Scarto", &MessaggioSdI::esito },
    { "CodiceDestinatario", &MessaggioSdI::codiceDestinatario },
    { "Formato", &MessaggioSdI::formato },
    { "TentativiInvio", &MessaggioSdI::tentativiInvio },
    { "MessageId", &MessaggioSdI::messageId },
    { "MessageIdCommittente", &MessaggioSdI::messageIdCommittente },
    { "PecMessageId", &MessaggioSdI::pecMessageId },
    { "Note", &MessaggioSdI::note },
};

// Inside the NE's EsitoCommittente: the recipient's outcome it forwards.
constexpr Campo kCampiEsito[] = {
    { "IdentificativoSdI", &MessaggioSdI::identificativoSdI },
    { "Esito", &MessaggioSdI::esito },
    { "Descrizione", &MessaggioSdI::descrizione },
    { "MessageIdCommittente", &MessaggioSdI::messageIdCommittente },
};

template <size_t N>
bool leggiCampo(const xmlNode *n, const Campo (&campi)[N], MessaggioSdI &m, std::vector<bool> &visti)
{
    for (size_t i = 0; i < N; ++i) {
        if (!nomeE(n, campi[i].nome))
            continue;
        if (!visti[i]) {
            visti[i] = true;
            m.*(campi[i].campo) = testoDi(n);
        }
        return true;
    }
    return false;
}

void leggiRiferimentoFattura(const xmlNode *rif, MessaggioSdI &m)
{
    for (const xmlNode *c = rif->children; c != nullptr; c = c->next) {
        if (!elemento(c))
            continue;
        QString *dove = nomeE(c, "NumeroFattura") ? &m.numeroFattura
            : nomeE(c, "AnnoFattura")             ? &m.annoFattura
            : nomeE(c, "PosizioneFattura")        ? &m.posizioneFattura
                                                  : nullptr;
        if (dove != nullptr && dove->isEmpty())
            *dove = testoDi(c);
    }
}

void leggiErrori(const xmlNode *lista, MessaggioSdI &m)
{
    for (const xmlNode *e = lista->children; e != nullptr; e = e->next) {
        if (!elemento(e) || !nomeE(e, "Errore"))
            continue;
        ErroreSdI errore;
        bool codice = false, descrizione = false, suggerimento = false;
        for (const xmlNode *c = e->children; c != nullptr; c = c->next) {
            if (!elemento(c))
                continue;
            if (!codice && nomeE(c, "Codice")) {
                codice = true;
                errore.codice = testoDi(c);
            } else if (!descrizione && nomeE(c, "Descrizione")) {
                descrizione = true;
                errore.descrizione = testoDi(c);
            } else if (!suggerimento && nomeE(c, "Suggerimento")) {
                suggerimento = true;
                errore.suggerimento = testoDi(c);
            }
        }
        m.errori.push_back(std::move(errore));
    }
}

void leggiSottocampi(const xmlNode *padre, const char *primo, QString &a, const char *secondo, QString &b)
{
    for (const xmlNode *c = padre->children; c != nullptr; c = c->next) {
        if (!elemento(c))
            continue;
        if (a.isEmpty() && nomeE(c, primo))
            a = testoDi(c);
        else if (b.isEmpty() && nomeE(c, secondo))
            b = testoDi(c);
    }
}

QString attributo(const xmlNode *n, const char *nome)
{
    for (const xmlAttr *a = n->properties; a != nullptr; a = a->next)
        if (a->ns == nullptr && vista(a->name) == QByteArrayView(nome)) {
            QByteArray valore;
            for (const xmlNode *t = a->children; t != nullptr; t = t->next)
                if (t->content != nullptr)
                    valore += reinterpret_cast<const char *>(t->content);
            return trimControls(QString::fromUtf8(valore));
        }
    return QString();
}

// What each kind must hold, as its schema says: the field, the words for it
// and the element's name.
struct Obbligatorio {
    QString MessaggioSdI::*campo;
    const char *parole;
    const char *elemento;
};

constexpr Obbligatorio kId { &MessaggioSdI::identificativoSdI, "l'identificativo SdI", "IdentificativoSdI" };
constexpr Obbligatorio kNome { &MessaggioSdI::nomeFile, "il nome del file", "NomeFile" };
constexpr Obbligatorio kRicezione { &MessaggioSdI::dataOraRicezione, "la data e l'ora di ricezione",
    "DataOraRicezione" };
constexpr Obbligatorio kConsegna { &MessaggioSdI::dataOraConsegna, "la data e l'ora di consegna", "DataOraConsegna" };
constexpr Obbligatorio kDestinatario { &MessaggioSdI::destinatarioCodice, "il codice del destinatario",
    "Destinatario/Codice" };
constexpr Obbligatorio kMessageId { &MessaggioSdI::messageId, "l'identificativo del messaggio", "MessageId" };
constexpr Obbligatorio kHash { &MessaggioSdI::hash, "l'impronta del file", "Hash" };
constexpr Obbligatorio kHashOriginale { &MessaggioSdI::hash, "l'impronta del file originale", "HashFileOriginale" };
constexpr Obbligatorio kEsito { &MessaggioSdI::esito, "l'esito", "Esito" };
constexpr Obbligatorio kScarto { &MessaggioSdI::esito, "l'esito dello scarto", "Scarto" };
constexpr Obbligatorio kCodiceDest { &MessaggioSdI::codiceDestinatario, "il codice destinatario",
    "CodiceDestinatario" };
constexpr Obbligatorio kFormato { &MessaggioSdI::formato, "il formato", "Formato" };
constexpr Obbligatorio kTentativi { &MessaggioSdI::tentativiInvio, "i tentativi di invio", "TentativiInvio" };

std::vector<Obbligatorio> obbligatori(const MessaggioSdI &m)
{
    const bool agenzia = m.spazioNomi.startsWith(QLatin1String(kSpaziNomi[1].data(), kSpaziNomi[1].size()));
    switch (m.tipo) {
    case TipoMessaggio::RC:
        if (agenzia)
            return { kId, kNome, kHash, kRicezione, kConsegna, kDestinatario, kMessageId };
        return { kId, kNome, kRicezione, kConsegna, kDestinatario, kMessageId };
    case TipoMessaggio::NS:
    case TipoMessaggio::MC:
        if (agenzia)
            return { kId, kNome, kHash, kRicezione, kMessageId };
        return { kId, kNome, kRicezione, kMessageId };
    case TipoMessaggio::NE:
        return { kId, kNome, kEsito, kMessageId };
    case TipoMessaggio::DT:
        return { kId, kNome, kMessageId };
    case TipoMessaggio::AT:
        return { kId, kNome, kRicezione, kDestinatario, kMessageId, kHashOriginale };
    case TipoMessaggio::EC:
        return { kId, kEsito };
    case TipoMessaggio::SE:
        return { kId, kScarto, kMessageId };
    case TipoMessaggio::MT:
        if (m.radice == QLatin1String("FileMetadati"))
            return { kId, kNome, kHash, kCodiceDest, kFormato, kTentativi, kMessageId };
        return { kId, kNome, kCodiceDest, kFormato, kTentativi, kMessageId };
    default:
        return {};
    }
}

void controlla(MessaggioSdI &m, bool conSpazioNomi)
{
    if (m.tipo == TipoMessaggio::Sconosciuto)
        m.avvisi << QStringLiteral(
            "Tipo di messaggio non riconosciuto (elemento %1): sono mostrati i dati che contiene.")
                        .arg(m.radice);
    if (!conSpazioNomi)
        m.avvisi << QStringLiteral("Il messaggio non dichiara lo spazio dei nomi del Sistema di Interscambio.");
    for (const Obbligatorio &o : obbligatori(m))
        if ((m.*(o.campo)).isEmpty())
            m.avvisi << QStringLiteral("Il messaggio non indica %1 (elemento %2).")
                            .arg(QString::fromUtf8(o.parole), QLatin1String(o.elemento));
    if (m.tipo == TipoMessaggio::NS && m.errori.empty())
        m.avvisi << QStringLiteral("Il messaggio non elenca gli errori (elemento ListaErrori).");
    if (m.errori.size() > 200)
        m.avvisi << QStringLiteral("Il messaggio elenca %1 errori, più dei 200 che il Sistema di Interscambio prevede.")
                        .arg(m.errori.size());
    for (size_t i = 0; i < m.errori.size(); ++i) {
        if (m.errori[i].codice.isEmpty())
            m.avvisi << QStringLiteral("L'errore n. %1 non ha un codice.").arg(i + 1);
        if (m.errori[i].descrizione.isEmpty())
            m.avvisi << QStringLiteral("L'errore n. %1 non ha una descrizione.").arg(i + 1);
    }
    const bool esitoCommittente = m.tipo == TipoMessaggio::EC || m.tipo == TipoMessaggio::NE;
    const bool esitoNoto = m.esito.isEmpty()
        || (esitoCommittente && (m.esito == QLatin1String("EC01") || m.esito == QLatin1String("EC02")))
        || (m.tipo == TipoMessaggio::SE && (m.esito == QLatin1String("EN00") || m.esito == QLatin1String("EN01")));
    if ((esitoCommittente || m.tipo == TipoMessaggio::SE) && !esitoNoto)
        m.avvisi << QStringLiteral("Esito non previsto: %1.").arg(m.esito);
}

} // namespace

bool ForseMessaggio(QByteArrayView b)
{
    qsizetype i = b.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype n = b.size();
    if (n - i >= 2 && (b[i] == 0 || b[i + 1] == 0 || static_cast<uchar>(b[i]) >= 0xFE))
        return true;
    const auto spazio = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < n) {
        while (i < n && spazio(b[i]))
            ++i;
        if (i >= n || b[i] != '<')
            return true;
        const QByteArrayView resto = b.sliced(i);
        if (resto.startsWith("<?") || resto.startsWith("<!--")) {
            const bool pi = resto.startsWith("<?");
            const qsizetype fine = resto.indexOf(pi ? QByteArrayView("?>") : QByteArrayView("-->"), pi ? 2 : 4);
            if (fine < 0)
                return true;
            i += fine + (pi ? 2 : 3);
            continue;
        }
        if (resto.startsWith("<!"))
            return true;
        // The root's start tag: its name, then up to its end (quotes respected).
        qsizetype j = 1;
        while (j < resto.size() && !spazio(resto[j]) && resto[j] != '>' && resto[j] != '/')
            ++j;
        QByteArrayView nome = resto.sliced(1, j - 1);
        if (const qsizetype due = nome.lastIndexOf(':'); due >= 0)
            nome = nome.sliced(due + 1);
        if (tipoDiRadice(nome) != TipoMessaggio::Nessuno)
            return true;
        char virgolette = 0;
        for (; j < resto.size(); ++j) {
            const char c = resto[j];
            if (virgolette != 0) {
                if (c == virgolette)
                    virgolette = 0;
            } else if (c == '"' || c == '\'') {
                virgolette = c;
            } else if (c == '>') {
                break;
            }
        }
        const QByteArrayView tag = resto.first(j);
        for (QByteArrayView stem : kSpaziNomi)
            if (tag.contains(stem))
                return true;
        return j >= resto.size(); // a tag without its end: let the parser say
    }
    return true;
}

QString SiglaMessaggio(TipoMessaggio tipo)
{
    switch (tipo) {
    case TipoMessaggio::RC:
        return QStringLiteral("RC");
    case TipoMessaggio::MC:
        return QStringLiteral("MC");
    case TipoMessaggio::NS:
        return QStringLiteral("NS");
    case TipoMessaggio::NE:
        return QStringLiteral("NE");
    case TipoMessaggio::DT:
        return QStringLiteral("DT");
    case TipoMessaggio::AT:
        return QStringLiteral("AT");
    case TipoMessaggio::EC:
        return QStringLiteral("EC");
    case TipoMessaggio::SE:
        return QStringLiteral("SE");
    case TipoMessaggio::MT:
        return QStringLiteral("MT");
    case TipoMessaggio::Nessuno:
    case TipoMessaggio::Sconosciuto:
        break;
    }
    return QString();
}

QString DescrizioneMessaggio(TipoMessaggio tipo)
{
    switch (tipo) {
    case TipoMessaggio::RC:
        return QStringLiteral("Ricevuta di consegna");
    case TipoMessaggio::MC:
        return QStringLiteral("Notifica di mancata consegna");
    case TipoMessaggio::NS:
        return QStringLiteral("Notifica di scarto");
    case TipoMessaggio::NE:
        return QStringLiteral("Notifica di esito");
    case TipoMessaggio::DT:
        return QStringLiteral("Notifica di decorrenza termini");
    case TipoMessaggio::AT:
        return QStringLiteral("Attestazione di avvenuta trasmissione della fattura con impossibilità di recapito");
    case TipoMessaggio::EC:
        return QStringLiteral("Notifica di esito committente");
    case TipoMessaggio::SE:
        return QStringLiteral("Notifica di scarto esito committente");
    case TipoMessaggio::MT:
        return QStringLiteral("File dei metadati");
    case TipoMessaggio::Sconosciuto:
        return QStringLiteral("Messaggio SdI non riconosciuto");
    case TipoMessaggio::Nessuno:
        break;
    }
    return QString();
}

QString MessaggioSdI::dataOra() const
{
    if (tipo == TipoMessaggio::RC && !dataOraConsegna.isEmpty())
        return dataOraConsegna;
    return dataOraRicezione.isEmpty() ? dataOraConsegna : dataOraRicezione;
}

TipoMessaggio RiconosciMessaggio(const _xmlDoc *doc)
{
    const xmlNode *root = doc == nullptr ? nullptr : xmlDocGetRootElement(doc);
    if (root == nullptr)
        return TipoMessaggio::Nessuno;
    const TipoMessaggio tipo = tipoDiRadice(vista(root->name));
    if (root->ns == nullptr || root->ns->href == nullptr)
        return tipo; // a known root without namespace is read too, with a warning
    if (!spazioDelSistema(vista(root->ns->href)))
        return TipoMessaggio::Nessuno;
    return tipo == TipoMessaggio::Nessuno ? TipoMessaggio::Sconosciuto : tipo;
}

std::optional<MessaggioSdI> LeggiMessaggio(const _xmlDoc *doc)
{
    const TipoMessaggio tipo = RiconosciMessaggio(doc);
    if (tipo == TipoMessaggio::Nessuno)
        return std::nullopt;
    const xmlNode *root = xmlDocGetRootElement(doc);
    MessaggioSdI m;
    m.tipo = tipo;
    m.radice = QString::fromUtf8(vista(root->name));
    const bool conSpazioNomi = root->ns != nullptr && root->ns->href != nullptr;
    if (conSpazioNomi)
        m.spazioNomi = QString::fromUtf8(vista(root->ns->href));
    m.versione = attributo(root, "versione");
    m.intermediarioConDupliceRuolo = attributo(root, "IntermediarioConDupliceRuolo");

    std::vector<bool> visti(std::size(kCampiRadice), false);
    bool destinatario = false, archivio = false, errori = false, riferimento = false, esito = false;
    for (const xmlNode *c = root->children; c != nullptr; c = c->next) {
        if (!elemento(c))
            continue;
        if (c->ns != nullptr && vista(c->ns->href) == QByteArrayView(kFirmaXml)) {
            m.firmato = m.firmato || nomeE(c, "Signature");
        } else if (leggiCampo(c, kCampiRadice, m, visti)) {
        } else if (!destinatario && nomeE(c, "Destinatario")) {
            destinatario = true;
            leggiSottocampi(c, "Codice", m.destinatarioCodice, "Descrizione", m.destinatarioDescrizione);
        } else if (!archivio && nomeE(c, "RiferimentoArchivio")) {
            archivio = true;
            leggiSottocampi(c, "IdentificativoSdI", m.riferimentoArchivioIdentificativoSdI, "NomeFile",
                m.riferimentoArchivioNomeFile);
        } else if (!errori && nomeE(c, "ListaErrori")) {
            errori = true;
            leggiErrori(c, m);
        } else if (!riferimento && nomeE(c, "RiferimentoFattura")) {
            riferimento = true;
            leggiRiferimentoFattura(c, m);
        } else if (!esito && nomeE(c, "EsitoCommittente")) {
            esito = true;
            std::vector<bool> vistiEsito(std::size(kCampiEsito), false);
            for (const xmlNode *e = c->children; e != nullptr; e = e->next) {
                if (!elemento(e))
                    continue;
                if (nomeE(e, "RiferimentoFattura") && !riferimento) {
                    riferimento = true;
                    leggiRiferimentoFattura(e, m);
                } else if (nomeE(e, "IdentificativoSdI") && !m.identificativoSdI.isEmpty()) {
                    vistiEsito[0] = true; // the root's own identifier stays
                } else {
                    leggiCampo(e, kCampiEsito, m, vistiEsito);
                }
            }
        }
    }
    controlla(m, conSpazioNomi);
    return m;
}

std::optional<MessaggioSdI> LeggiMessaggio(const QByteArray &bytes, QString *errore)
{
    if (!ForseMessaggio(bytes))
        return std::nullopt;
    QString motivo;
    const DocumentoXml doc = CaricaXmlSicuro(bytes, motivo);
    if (!doc) {
        if (errore != nullptr)
            *errore = motivo;
        return std::nullopt;
    }
    return LeggiMessaggio(doc.get());
}

// ---------------------------------------------------------------- error codes

const std::vector<VoceCodiceErrore> &TabellaCodiciErrore()
{
    static const std::vector<VoceCodiceErrore> tabella {
#include "messaggi/codici_errore.inc"
    };
    return tabella;
}

std::optional<VoceCodiceErrore> CercaCodiceErrore(QStringView codice)
{
    const auto &tabella = TabellaCodiciErrore();
    const auto it = std::lower_bound(tabella.begin(), tabella.end(), codice,
        [](const VoceCodiceErrore &v, QStringView c) { return QLatin1String(v.codice) < c; });
    if (it == tabella.end() || QLatin1String(it->codice) != codice)
        return std::nullopt;
    return *it;
}

QString SpiegazioneErrore(QStringView codice)
{
    if (const auto voce = CercaCodiceErrore(codice))
        return QString::fromUtf8(voce->spiegazione);
    const bool cinqueCifre
        = codice.size() == 5 && std::all_of(codice.begin(), codice.end(), [](QChar c) { return c.isDigit(); });
    if (!cinqueCifre)
        return QStringLiteral("Codice non nella forma del Sistema di Interscambio (cinque cifre): è riportato come è "
                              "arrivato; vale la descrizione del Sistema di Interscambio.");
    return QStringLiteral("Codice non presente nella tabella del programma: vale la descrizione del Sistema di "
                          "Interscambio.");
}

// ---------------------------------------------------------------- file names

std::optional<NomeFileMessaggio> LeggiNomeFileMessaggio(QStringView nome)
{
    QString base = plainFileName(nome);
    if (!base.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        return std::nullopt;
    base.chop(4);
    const QStringList parti = base.split(QLatin1Char('_'));
    if (parti.size() != 4)
        return std::nullopt;
    const auto alfanumerico = [](const QString &s, qsizetype min, qsizetype max) {
        return s.size() >= min && s.size() <= max && std::all_of(s.begin(), s.end(), [](QChar c) {
            return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
        });
    };
    NomeFileMessaggio n { parti[0], parti[1], parti[2].toUpper(), parti[3] };
    const bool paese = n.mittente.size() >= 2 && n.mittente[0].isLetter() && n.mittente[1].isLetter();
    bool tipoNoto = false;
    for (TipoMessaggio t : { TipoMessaggio::RC, TipoMessaggio::MC, TipoMessaggio::NS, TipoMessaggio::NE,
             TipoMessaggio::DT, TipoMessaggio::AT, TipoMessaggio::EC, TipoMessaggio::SE, TipoMessaggio::MT })
        tipoNoto = tipoNoto || SiglaMessaggio(t) == n.tipo;
    if (!paese || !alfanumerico(n.mittente, 3, 30) || !alfanumerico(n.progressivo, 1, 5) || !tipoNoto
        || !alfanumerico(n.numero, 1, 3))
        return std::nullopt;
    return n;
}

// ---------------------------------------------------------------- the invoice's fate

QString ChiaveNomeFattura(QStringView nome)
{
    QString chiave = toLowerAscii(plainFileName(nome));
    if (chiave.endsWith(QLatin1String(".p7m")))
        chiave.chop(4);
    return chiave;
}

RiferimentoMessaggio RiferimentoDi(const MessaggioSdI &messaggio)
{
    return { messaggio.nomeFile.isEmpty() ? QString() : ChiaveNomeFattura(messaggio.nomeFile),
        messaggio.identificativoSdI };
}

QString StatoImplicato(TipoMessaggio tipo, QStringView esito)
{
    switch (tipo) {
    case TipoMessaggio::RC:
        return QStringLiteral("consegnata");
    case TipoMessaggio::NS:
        return QStringLiteral("scartata");
    case TipoMessaggio::MC:
        return QStringLiteral("mancata_consegna");
    case TipoMessaggio::DT:
        return QStringLiteral("decorrenza_termini");
    case TipoMessaggio::AT:
        return QStringLiteral("non_recapitabile");
    case TipoMessaggio::NE:
    case TipoMessaggio::EC:
        if (esito == u"EC01")
            return QStringLiteral("accettata");
        if (esito == u"EC02")
            return QStringLiteral("rifiutata");
        break;
    default:
        break;
    }
    return QString();
}

namespace {
int passo(TipoMessaggio tipo)
{
    switch (tipo) {
    case TipoMessaggio::RC:
    case TipoMessaggio::MC:
    case TipoMessaggio::NS:
    case TipoMessaggio::MT:
        return 1;
    case TipoMessaggio::AT:
        return 2;
    case TipoMessaggio::NE:
    case TipoMessaggio::EC:
    case TipoMessaggio::SE:
        return 3;
    case TipoMessaggio::DT:
        return 4;
    default:
        return 0;
    }
}
} // namespace

std::vector<std::size_t> OrdineEventi(const std::vector<EventoSdI> &eventi)
{
    struct Chiave {
        int passo;
        bool conOra;
        qint64 ora;
    };
    std::vector<Chiave> chiavi;
    chiavi.reserve(eventi.size());
    for (const EventoSdI &e : eventi) {
        const QDateTime t = QDateTime::fromString(e.dataOra.trimmed(), Qt::ISODateWithMs);
        chiavi.push_back({ passo(e.tipo), t.isValid(), t.isValid() ? t.toMSecsSinceEpoch() : 0 });
    }
    std::vector<std::size_t> ordine(eventi.size());
    for (std::size_t i = 0; i < ordine.size(); ++i)
        ordine[i] = i;
    std::stable_sort(ordine.begin(), ordine.end(), [&](std::size_t a, std::size_t b) {
        const Chiave &x = chiavi[a], &y = chiavi[b];
        return std::tie(x.passo, x.conOra, x.ora) < std::tie(y.passo, y.conOra, y.ora);
    });
    return ordine;
}

QString StatoSdI(const std::vector<EventoSdI> &eventi)
{
    QString stato;
    for (std::size_t i : OrdineEventi(eventi)) {
        if (eventi[i].tipo == TipoMessaggio::NS)
            return StatoImplicato(TipoMessaggio::NS, {});
        if (const QString s = StatoImplicato(eventi[i].tipo, eventi[i].esito); !s.isEmpty())
            stato = s;
    }
    return stato;
}
