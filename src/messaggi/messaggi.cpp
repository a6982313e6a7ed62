// Recognising and reading the exchange system's messages from a parsed
// document: one walk over the root's children.
#include "messaggi/messaggi.h"

#include "common/filenames.h"
#include "common/strings.h"
#include "common/testopiano.h"
#include "invoice/xmlsicuro.h"

#include <QByteArrayView>
#include <QDateTime>
#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <libxml/tree.h>
#include <string>
#include <tuple>
#include <utility>

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

// The reading below works on libxml2's nodes and on the quick reader's,
// which have the same members.
template <typename N> bool elemento(const N *n)
{
    return n != nullptr && n->type == XML_ELEMENT_NODE;
}

// Most names are told apart by their first letter, without a call.
template <typename N> bool nomeE(const N *n, const char *nome)
{
    return n->name != nullptr && n->name[0] == static_cast<unsigned char>(nome[0])
        && std::strcmp(reinterpret_cast<const char *>(n->name), nome) == 0;
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

// The fields a message's trace needs: what ties it to its invoice and tells its fate.
bool diTraccia(QString MessaggioSdI::*campo)
{
    return campo == &MessaggioSdI::identificativoSdI || campo == &MessaggioSdI::nomeFile
        || campo == &MessaggioSdI::dataOraRicezione || campo == &MessaggioSdI::dataOraConsegna
        || campo == &MessaggioSdI::esito;
}

template <typename Nodo, size_t N>
bool leggiCampo(const Nodo *n, const Campo (&campi)[N], MessaggioSdI &m, std::vector<bool> &visti, CampiMessaggio quali)
{
    for (size_t i = 0; i < N; ++i) {
        if (!nomeE(n, campi[i].nome))
            continue;
        if (!visti[i]) {
            visti[i] = true;
            if (quali == CampiMessaggio::Tutti || diTraccia(campi[i].campo))
                m.*(campi[i].campo) = testoDi(n);
        }
        return true;
    }
    return false;
}

template <typename N> void leggiRiferimentoFattura(const N *rif, MessaggioSdI &m)
{
    for (const N *c = rif->children; c != nullptr; c = c->next) {
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

template <typename N> void leggiErrori(const N *lista, MessaggioSdI &m)
{
    for (const N *e = lista->children; e != nullptr; e = e->next) {
        if (!elemento(e) || !nomeE(e, "Errore"))
            continue;
        ErroreSdI errore;
        bool codice = false, descrizione = false, suggerimento = false;
        for (const N *c = e->children; c != nullptr; c = c->next) {
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

template <typename N>
void leggiSottocampi(const N *padre, const char *primo, QString &a, const char *secondo, QString &b)
{
    for (const N *c = padre->children; c != nullptr; c = c->next) {
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

namespace {
// Each kind's letters and its name in Italian, in the order of the enumeration.
constexpr std::pair<const char *, const char *> kTipi[] = {
    { "", "" },
    { "", "Messaggio SdI non riconosciuto" },
    { "RC", "Ricevuta di consegna" },
    { "MC", "Notifica di mancata consegna" },
    { "NS", "Notifica di scarto" },
    { "NE", "Notifica di esito" },
    { "DT", "Notifica di decorrenza termini" },
    { "AT", "Attestazione di avvenuta trasmissione della fattura con impossibilità di recapito" },
    { "EC", "Notifica di esito committente" },
    { "SE", "Notifica di scarto esito committente" },
    { "MT", "File dei metadati" },
};
static_assert(std::size(kTipi) == static_cast<size_t>(TipoMessaggio::MT) + 1);
} // namespace

QString SiglaMessaggio(TipoMessaggio tipo)
{
    // Made once: every invoice's fate in an archive lists them.
    static const std::array<QString, std::size(kTipi)> sigle = [] {
        std::array<QString, std::size(kTipi)> s;
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = QString::fromLatin1(kTipi[i].first);
        return s;
    }();
    return sigle[static_cast<size_t>(tipo)];
}

QString DescrizioneMessaggio(TipoMessaggio tipo)
{
    return QString::fromUtf8(kTipi[static_cast<size_t>(tipo)].second);
}

QString MessaggioSdI::dataOra() const
{
    if (tipo == TipoMessaggio::RC && !dataOraConsegna.isEmpty())
        return dataOraConsegna;
    return dataOraRicezione.isEmpty() ? dataOraConsegna : dataOraRicezione;
}

namespace {
// ---------------------------------------------------------------- the quick reading

// A quick reader's node: an element with the members the reading uses, as
// libxml2's have them.
struct SpazioRapido {
    const xmlChar *href;
};

using AttributiRapidi = std::vector<std::pair<QByteArrayView, QByteArrayView>>;

// Made with every member given (a message makes a few dozen, and zeroing a
// struct this size costs a slow string store).
struct NodoRapido {
    xmlElementType type;
    const xmlChar *name; // the local name
    const SpazioRapido *ns;
    NodoRapido *children; // elements only: texts are pieces
    NodoRapido *next;
    NodoRapido *parent;
    NodoRapido *ultimo; // the last child, while the children come
    size_t pezzoInizio; // the texts inside it: pezzi[inizio, fine)
    size_t pezzoFine;
    const AttributiRapidi *attributi; // without prefix, root only; else null
    const std::vector<QByteArrayView> *pezzi;
    SpazioRapido spazio; // what ns points to
};

QString testoDi(const NodoRapido *n)
{
    const std::vector<QByteArrayView> &pezzi = *n->pezzi;
    if (n->pezzoFine - n->pezzoInizio == 1)
        return QString::fromUtf8(senzaSpazi(pezzi[n->pezzoInizio]));
    QByteArray testo;
    for (size_t i = n->pezzoInizio; i < n->pezzoFine; ++i)
        testo.append(pezzi[i]);
    return QString::fromUtf8(senzaSpazi(testo));
}

QString attributo(const NodoRapido *n, const char *nome)
{
    if (n->attributi == nullptr)
        return QString();
    for (const auto &[a, valore] : *n->attributi)
        if (a == nome)
            return trimControls(QString::fromUtf8(valore));
    return QString();
}

// The usual shape of a message read in one pass without libxml2's tree: UTF-8
// elements, attributes and text, the five predefined entities and character
// references, namespaces declared with their prefixes. It says yes only to
// what it fully understands and libxml2 reads the same way; anything else
// (comments, processing instructions, CDATA, a DTD, other encodings, odd
// names or declarations, and whatever is not well-formed) is refused, and
// libxml2 reads it instead.
// GCC specialises the reading for the one object each thread keeps and then
// addresses that object anew at every use of a member: a tenth of a
// message's time. Kept a function of its own object.
#if defined(__GNUC__) && !defined(__clang__)
#define LETTURA_SENZA_SPECIALIZZARE [[gnu::noipa]]
#else
#define LETTURA_SENZA_SPECIALIZZARE
#endif

class LettoreRapido final {
    // Nodes and pieces whose room is kept from one message to the next:
    // those of a message with its signature.
    static constexpr size_t kTenuti = 1024;

public:
    LETTURA_SENZA_SPECIALIZZARE bool leggi(QByteArrayView b);
    // Ready for the next message, with the room of the usual ones kept.
    void azzera()
    {
        b_ = {};
        i_ = 0;
        radice_ = nullptr;
        conFormato = false;
        if (nodi_.capacity() > kTenuti || nomi_.capacity() > 64 * kTenuti || pezzi.capacity() > kTenuti) {
            nodi_ = {};
            nomi_ = {};
            pezzi = {};
        }
        nodi_.clear();
        nomi_.clear();
        pezzi.clear();
        dichiarati_.clear();
        aperti_.clear();
        visti_.clear();
        copie_.clear();
        attributiRadice_.clear();
    }
    const NodoRapido *radice() const { return radice_; }
    // Some element is named FormatoTrasmissione (ASCII case folded).
    bool conFormato = false;

private:
    static bool spazio(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool inizioNome(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
    void salta() // white space
    {
        while (i_ < b_.size() && spazio(b_[i_]))
            ++i_;
    }
    bool nome(QByteArrayView &prefisso, QByteArrayView &locale);
    bool dichiarazione();
    bool testo(QByteArrayView &risultato, bool attributo);
    bool utf8();
    bool riferimento(QByteArray &out);
    // The text kept with its NUL, or null (never: see nomi_).
    const xmlChar *conserva(QByteArrayView testo)
    {
        if (nomi_.size() + size_t(testo.size()) >= nomi_.capacity())
            return nullptr;
        const auto kept = reinterpret_cast<const xmlChar *>(nomi_.data() + nomi_.size());
        nomi_.append(testo.data(), size_t(testo.size()));
        nomi_.push_back('\0');
        return kept;
    }
    // The declaration in force for the prefix, or null.
    const std::tuple<QByteArrayView, const xmlChar *, size_t> *dichiarato(QByteArrayView prefisso) const;

    // Everything is sized from the bytes before the reading, so that a
    // message costs a handful of allocations and nothing moves: at most one
    // node per '<'.
    QByteArrayView b_;
    qsizetype i_ = 0;
    NodoRapido *radice_ = nullptr;
    std::vector<NodoRapido> nodi_;
    // The local names and the namespaces, each ending in NUL; each takes no
    // more than the bytes it was read from and the one after them.
    std::string nomi_;
    // The prefixes in force, innermost last: (prefix, namespace, depth).
    std::vector<std::tuple<QByteArrayView, const xmlChar *, size_t>> dichiarati_;
    std::vector<QByteArrayView> aperti_; // the open elements' names as written
    std::vector<QByteArrayView> visti_; // the attributes of the tag being read
    std::vector<QByteArray> copie_; // texts that are not as written (their bytes never move)
    AttributiRapidi attributiRadice_;

public:
    std::vector<QByteArrayView> pezzi;
};

bool LettoreRapido::nome(QByteArrayView &prefisso, QByteArrayView &locale)
{
    const char *const dati = b_.data();
    const char *const fine = dati + b_.size();
    const char *const inizio = dati + i_;
    const char *p = inizio;
    const char *due = nullptr;
    if (p == fine || !inizioNome(*p))
        return false;
    for (;;) {
        p = FineNome(p, fine);
        if (p == fine || *p != ':')
            break;
        if (due != nullptr || p + 1 == fine || !inizioNome(p[1]))
            return false;
        due = p++;
    }
    i_ = p - dati;
    if (p == fine || static_cast<uchar>(*p) >= 0x80)
        return false;
    prefisso = due == nullptr ? QByteArrayView() : QByteArrayView(inizio, due);
    locale = due == nullptr ? QByteArrayView(inizio, p) : QByteArrayView(due + 1, p);
    return true;
}

// <?xml version="1.0" [encoding="UTF-8"] [standalone="yes|no"]?>, strictly.
bool LettoreRapido::dichiarazione()
{
    i_ += 5;
    const auto coppia = [this](const char *chiave, std::initializer_list<const char *> valori, bool facoltativa) {
        const qsizetype prima = i_;
        salta();
        if (i_ == prima || !b_.sliced(i_).startsWith(chiave)) {
            i_ = prima;
            return facoltativa;
        }
        i_ += qsizetype(std::strlen(chiave));
        salta();
        if (i_ >= b_.size() || b_[i_] != '=')
            return false;
        ++i_;
        salta();
        if (i_ >= b_.size() || (b_[i_] != '"' && b_[i_] != '\''))
            return false;
        const char virgolette = b_[i_++];
        for (const char *v : valori) {
            const QByteArrayView atteso(v);
            if (b_.sliced(i_).startsWith(atteso) && i_ + atteso.size() < b_.size()
                && b_[i_ + atteso.size()] == virgolette) {
                i_ += atteso.size() + 1;
                return true;
            }
        }
        return false;
    };
    if (!coppia("version", { "1.0" }, false) || !coppia("encoding", { "UTF-8", "utf-8" }, true)
        || !coppia("standalone", { "yes", "no" }, true))
        return false;
    salta();
    if (!b_.sliced(i_).startsWith("?>"))
        return false;
    i_ += 2;
    return true;
}

// One UTF-8 character that XML allows, passed over.
bool LettoreRapido::utf8()
{
    const uchar c = static_cast<uchar>(b_[i_]);
    const int lunghezza = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (lunghezza == 0 || c > 0xF4 || i_ + lunghezza > b_.size())
        return false;
    char32_t punto = c & (0x3F >> (lunghezza - 1));
    for (int k = 1; k < lunghezza; ++k) {
        const uchar d = static_cast<uchar>(b_[i_ + k]);
        if ((d & 0xC0) != 0x80)
            return false;
        punto = (punto << 6) | (d & 0x3F);
    }
    const char32_t minimo[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (punto < minimo[lunghezza] || punto > 0x10FFFF || (punto >= 0xD800 && punto <= 0xDFFF) || punto == 0xFFFE
        || punto == 0xFFFF)
        return false;
    i_ += lunghezza;
    return true;
}

// &lt; &gt; &amp; &quot; &apos; &#N; &#xH;
bool LettoreRapido::riferimento(QByteArray &out)
{
    const qsizetype fine = b_.indexOf(';', i_);
    if (fine < 0 || fine - i_ > 12)
        return false;
    const QByteArrayView r = b_.sliced(i_ + 1, fine - i_ - 1);
    i_ = fine + 1;
    const struct {
        const char *nome;
        char c;
    } predefiniti[] = { { "lt", '<' }, { "gt", '>' }, { "amp", '&' }, { "quot", '"' }, { "apos", '\'' } };
    for (const auto &p : predefiniti)
        if (r == QByteArrayView(p.nome)) {
            out += p.c;
            return true;
        }
    if (r.size() < 2 || r[0] != '#')
        return false;
    const bool esadecimale = r[1] == 'x';
    const QByteArrayView cifre = r.sliced(esadecimale ? 2 : 1);
    if (cifre.isEmpty())
        return false;
    char32_t punto = 0;
    for (const char c : cifre) {
        const int v = c >= '0' && c <= '9'        ? c - '0'
            : esadecimale && c >= 'a' && c <= 'f' ? c - 'a' + 10
            : esadecimale && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (v < 0 || punto > 0x10FFFF)
            return false;
        punto = punto * (esadecimale ? 16 : 10) + char32_t(v);
    }
    const bool ammesso = punto == 0x9 || punto == 0xA || punto == 0xD || (punto >= 0x20 && punto <= 0xD7FF)
        || (punto >= 0xE000 && punto <= 0xFFFD) || (punto >= 0x10000 && punto <= 0x10FFFF);
    if (!ammesso)
        return false;
    const QString s = QString::fromUcs4(&punto, 1);
    out += s.toUtf8();
    return true;
}

// Text up to the next '<' (an attribute's value: up to its quote, which the
// caller checks); line ends as libxml2 gives them. Most texts are taken as
// they stand in the bytes; only one with a reference or a CR is copied.
bool LettoreRapido::testo(QByteArrayView &risultato, bool attributo)
{
    const qsizetype inizio = i_;
    QByteArray *copia = nullptr;
    qsizetype tratto = i_; // the bytes not yet copied start here
    const qsizetype fine = b_.size();
    const char *const dati = b_.data();
    while (i_ < fine) {
        i_ = (attributo ? PrimoNonPiano<false, '<', '&', '"', '\''>(dati + i_, dati + fine)
                        : PrimoNonPiano<true, '<', '&', '>'>(dati + i_, dati + fine))
            - dati;
        if (i_ >= fine)
            break;
        const char c = b_[i_];
        const uchar u = static_cast<uchar>(c);
        if (u >= 0x80) {
            if (!utf8())
                return false;
            continue;
        }
        if (c == '<' || (attributo && (c == '"' || c == '\'')))
            break;
        if (u >= 0x20 && c != '&') {
            if (c == '>' && i_ - inizio >= 2 && b_[i_ - 1] == ']' && b_[i_ - 2] == ']')
                return false;
            ++i_;
            continue;
        }
        if (c == '\t' || c == '\n') {
            if (attributo)
                return false; // libxml2 turns them into blanks
            ++i_;
            continue;
        }
        if (attributo || (c != '&' && c != '\r'))
            return false;
        if (copia == nullptr)
            copia = &copie_.emplace_back();
        copia->append(b_.sliced(tratto, i_ - tratto));
        if (c == '&') {
            if (!riferimento(*copia))
                return false;
        } else {
            *copia += '\n';
            i_ += i_ + 1 < fine && dati[i_ + 1] == '\n' ? 2 : 1;
        }
        tratto = i_;
    }
    if (copia == nullptr) {
        risultato = b_.sliced(inizio, i_ - inizio);
    } else {
        copia->append(b_.sliced(tratto, i_ - tratto));
        risultato = *copia;
    }
    return true;
}

// The names compared while reading are short and mostly differ at once: told
// apart by size and first byte before any call.
bool uguali(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size()
        && (a.isEmpty() || (a.front() == b.front() && std::memcmp(a.data(), b.data(), size_t(a.size())) == 0));
}

const std::tuple<QByteArrayView, const xmlChar *, size_t> *LettoreRapido::dichiarato(QByteArrayView prefisso) const
{
    for (auto it = dichiarati_.rbegin(); it != dichiarati_.rend(); ++it)
        if (uguali(std::get<0>(*it), prefisso))
            return &*it;
    return nullptr;
}

bool LettoreRapido::leggi(QByteArrayView b)
{
    constexpr size_t kProfonditaMassima = 200;
    b_ = b;
    i_ = b_.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    nomi_.reserve(size_t(b_.size()) + 1);
    // A node needs four bytes at least ("<a/>"): a small message is sized by
    // its length, within the room kept; a bigger one by its '<'.
    const size_t aperture = size_t(b_.size()) <= 4 * kTenuti ? size_t(b_.size()) / 4 + 1
                                                             : ContaByte<'<'>(b_.data(), b_.data() + b_.size());
    nodi_.reserve(aperture);
    pezzi.reserve(aperture + 1); // a text ends at a '<' or at the end
    aperti_.reserve(16);
    dichiarati_.reserve(16);
    if (b_.sliced(i_).startsWith("<?xml") && i_ + 5 < b_.size() && spazio(b_[i_ + 5]) && !dichiarazione())
        return false;
    salta();
    NodoRapido *aperto = nullptr;
    size_t profondita = 0;
    // Below the root's signature nothing is read, only checked: its elements
    // and texts get no node and no piece. 0 while outside it.
    size_t firma = 0;
    const auto dentroFirma = [&] { return firma != 0 && profondita > firma; };
    while (i_ < b_.size()) {
        if (b_[i_] != '<') {
            if (aperto == nullptr) {
                salta();
                if (i_ < b_.size())
                    return false;
                break;
            }
            QByteArrayView t;
            if (!testo(t, false))
                return false;
            if (!dentroFirma())
                pezzi.push_back(t);
            continue;
        }
        ++i_;
        if (i_ < b_.size() && (b_[i_] == '!' || b_[i_] == '?'))
            return false; // comments, CDATA, DTD, instructions: libxml2's
        if (i_ < b_.size() && b_[i_] == '/') { // an end tag: the open element's name, whole
            ++i_;
            if (aperto == nullptr || b_.size() - i_ < aperti_.back().size()
                || !uguali(b_.sliced(i_, aperti_.back().size()), aperti_.back()))
                return false;
            i_ += aperti_.back().size();
            // The name ends there: a byte that would go on with it is neither a blank nor '>'.
            salta();
            if (i_ >= b_.size() || b_[i_] != '>')
                return false;
            ++i_;
            aperti_.pop_back();
            while (!dichiarati_.empty() && std::get<2>(dichiarati_.back()) == profondita)
                dichiarati_.pop_back();
            if (dentroFirma()) {
                --profondita;
                continue;
            }
            if (profondita == firma)
                firma = 0;
            aperto->pezzoFine = pezzi.size();
            --profondita;
            aperto = aperto->parent;
            if (aperto == nullptr) {
                salta();
                if (i_ < b_.size())
                    return false;
            }
            continue;
        }
        if (aperto == nullptr && radice_ != nullptr)
            return false; // a second root
        const qsizetype inizio = i_;
        QByteArrayView prefisso, locale;
        if (!nome(prefisso, locale) || ++profondita > kProfonditaMassima)
            return false;
        const QByteArrayView intero = b_.sliced(inizio, i_ - inizio);
        NodoRapido *n = nullptr;
        if (!dentroFirma()) {
            if (nodi_.size() == nodi_.capacity())
                return false; // never: a node comes from a '<'
            const xmlChar *nomeLocale = conserva(locale);
            if (nomeLocale == nullptr)
                return false;
            n = &nodi_.emplace_back(NodoRapido { XML_ELEMENT_NODE, nomeLocale, nullptr, nullptr, nullptr, aperto,
                nullptr, pezzi.size(), 0, aperto == nullptr ? &attributiRadice_ : nullptr, &pezzi, { nullptr } });
        }
        conFormato = conFormato
            || (locale.size() == qsizetype(std::strlen("FormatoTrasmissione"))
                && equalsIgnoreAsciiCase(locale, "FormatoTrasmissione"));
        // The attributes, then the tag's end.
        visti_.clear();
        bool vuoto = false;
        for (;;) {
            const qsizetype prima = i_;
            salta();
            if (i_ >= b_.size())
                return false;
            if (b_[i_] == '>' || (b_[i_] == '/' && i_ + 1 < b_.size() && b_[i_ + 1] == '>')) {
                vuoto = b_[i_] == '/';
                i_ += vuoto ? 2 : 1;
                break;
            }
            if (i_ == prima)
                return false; // attributes need blanks between them
            QByteArrayView aPrefisso, aLocale;
            const qsizetype aInizio = i_;
            if (!nome(aPrefisso, aLocale))
                return false;
            const QByteArrayView aIntero = b_.sliced(aInizio, i_ - aInizio);
            for (QByteArrayView v : visti_)
                if (uguali(v, aIntero))
                    return false;
            visti_.push_back(aIntero);
            salta();
            if (i_ >= b_.size() || b_[i_] != '=')
                return false;
            ++i_;
            salta();
            if (i_ >= b_.size() || (b_[i_] != '"' && b_[i_] != '\''))
                return false;
            const char virgolette = b_[i_++];
            QByteArrayView valore;
            if (!testo(valore, true) || i_ >= b_.size() || b_[i_] != virgolette)
                return false;
            ++i_;
            // A value is never a copy (a reference refuses it): it stays in the bytes.
            if (aPrefisso.isEmpty() && uguali(aLocale, "xmlns")) {
                const xmlChar *href = valore.isEmpty() ? nullptr : conserva(valore);
                if (!valore.isEmpty() && href == nullptr)
                    return false;
                dichiarati_.emplace_back(QByteArrayView(), href, profondita);
            } else if (uguali(aPrefisso, "xmlns")) {
                if (valore.isEmpty() || aLocale.startsWith("xml") || valore == "http://www.w3.org/XML/1998/namespace"
                    || valore == "http://www.w3.org/2000/xmlns/")
                    return false;
                const xmlChar *href = conserva(valore);
                if (href == nullptr)
                    return false;
                dichiarati_.emplace_back(aLocale, href, profondita);
            } else if (!aPrefisso.isEmpty()) {
                return false; // a prefixed attribute: libxml2's
            } else if (aperto == nullptr) {
                attributiRadice_.emplace_back(aLocale, valore);
            }
        }
        const auto *d = dichiarato(prefisso);
        if (!prefisso.isEmpty() && (prefisso.startsWith("xml") || d == nullptr))
            return false;
        if (n == nullptr) { // inside the signature
            while (vuoto && !dichiarati_.empty() && std::get<2>(dichiarati_.back()) == profondita)
                dichiarati_.pop_back();
            profondita -= vuoto ? 1 : 0;
            if (!vuoto)
                aperti_.push_back(intero);
            continue;
        }
        n->spazio.href = d != nullptr ? std::get<1>(*d) : nullptr;
        n->ns = n->spazio.href != nullptr ? &n->spazio : nullptr;
        if (aperto == nullptr)
            radice_ = n;
        else if (aperto->ultimo == nullptr)
            aperto->children = aperto->ultimo = n;
        else
            aperto->ultimo = aperto->ultimo->next = n;
        if (vuoto) {
            n->pezzoFine = pezzi.size();
            while (!dichiarati_.empty() && std::get<2>(dichiarati_.back()) == profondita)
                dichiarati_.pop_back();
            --profondita;
            if (aperto == nullptr) {
                salta();
                if (i_ < b_.size())
                    return false;
            }
            continue;
        }
        if (profondita == 2 && n->ns != nullptr && vista(n->spazio.href) == QByteArrayView(kFirmaXml))
            firma = profondita;
        aperti_.push_back(intero);
        aperto = n;
    }
    return radice_ != nullptr && aperto == nullptr;
}
} // namespace

namespace {
// The kind the root tells: its local name and namespace.
template <typename N> TipoMessaggio tipoDi(const N *root)
{
    if (root == nullptr)
        return TipoMessaggio::Nessuno;
    const TipoMessaggio tipo = tipoDiRadice(vista(root->name));
    if (root->ns == nullptr || root->ns->href == nullptr)
        return tipo; // a known root without namespace is read too, with a warning
    if (!spazioDelSistema(vista(root->ns->href)))
        return TipoMessaggio::Nessuno;
    return tipo == TipoMessaggio::Nessuno ? TipoMessaggio::Sconosciuto : tipo;
}

// Only the trace: the same walk, so the fields it reads come out as the
// whole reading gives them; the rest, and the warnings, are left empty.
template <typename N>
MessaggioSdI leggiDa(const N *root, TipoMessaggio tipo, CampiMessaggio quali = CampiMessaggio::Tutti)
{
    const bool tutti = quali == CampiMessaggio::Tutti;
    MessaggioSdI m;
    m.tipo = tipo;
    const bool conSpazioNomi = root->ns != nullptr && root->ns->href != nullptr;
    if (tutti) {
        m.radice = QString::fromUtf8(vista(root->name));
        if (conSpazioNomi)
            m.spazioNomi = QString::fromUtf8(vista(root->ns->href));
        m.versione = attributo(root, "versione");
        m.intermediarioConDupliceRuolo = attributo(root, "IntermediarioConDupliceRuolo");
    }

    std::vector<bool> visti(std::size(kCampiRadice), false);
    bool destinatario = false, archivio = false, errori = false, riferimento = false, esito = false;
    for (const N *c = root->children; c != nullptr; c = c->next) {
        if (!elemento(c))
            continue;
        if (c->ns != nullptr && vista(c->ns->href) == QByteArrayView(kFirmaXml)) {
            m.firmato = m.firmato || nomeE(c, "Signature");
        } else if (leggiCampo(c, kCampiRadice, m, visti, quali)) {
        } else if (!destinatario && nomeE(c, "Destinatario")) {
            destinatario = true;
            if (tutti)
                leggiSottocampi(c, "Codice", m.destinatarioCodice, "Descrizione", m.destinatarioDescrizione);
        } else if (!archivio && nomeE(c, "RiferimentoArchivio")) {
            archivio = true;
            if (tutti)
                leggiSottocampi(c, "IdentificativoSdI", m.riferimentoArchivioIdentificativoSdI, "NomeFile",
                    m.riferimentoArchivioNomeFile);
        } else if (!errori && nomeE(c, "ListaErrori")) {
            errori = true;
            if (tutti)
                leggiErrori(c, m);
        } else if (!riferimento && nomeE(c, "RiferimentoFattura")) {
            riferimento = true;
            if (tutti)
                leggiRiferimentoFattura(c, m);
        } else if (!esito && nomeE(c, "EsitoCommittente")) {
            esito = true;
            std::vector<bool> vistiEsito(std::size(kCampiEsito), false);
            for (const N *e = c->children; e != nullptr; e = e->next) {
                if (!elemento(e))
                    continue;
                if (nomeE(e, "RiferimentoFattura") && !riferimento) {
                    riferimento = true;
                    if (tutti)
                        leggiRiferimentoFattura(e, m);
                } else if (nomeE(e, "IdentificativoSdI") && !m.identificativoSdI.isEmpty()) {
                    vistiEsito[0] = true; // the root's own identifier stays
                } else {
                    leggiCampo(e, kCampiEsito, m, vistiEsito, quali);
                }
            }
        }
    }
    if (tutti)
        controlla(m, conSpazioNomi);
    return m;
}
} // namespace

TipoMessaggio RiconosciMessaggio(const _xmlDoc *doc)
{
    return tipoDi(doc == nullptr ? nullptr : xmlDocGetRootElement(doc));
}

std::optional<MessaggioSdI> LeggiMessaggio(const _xmlDoc *doc)
{
    const TipoMessaggio tipo = RiconosciMessaggio(doc);
    if (tipo == TipoMessaggio::Nessuno)
        return std::nullopt;
    return leggiDa(xmlDocGetRootElement(doc), tipo);
}

LetturaRapida LeggiMessaggioRapido(QByteArrayView bytes, CampiMessaggio quali)
{
    // One reader per thread: an archive's messages reuse its room.
    thread_local LettoreRapido lettore;
    struct Azzera {
        LettoreRapido &lettore;
        ~Azzera() { lettore.azzera(); }
    } const azzera { lettore };
    LetturaRapida r;
    if (!lettore.leggi(bytes))
        return r;
    r.conFormato = lettore.conFormato;
    const TipoMessaggio tipo = tipoDi(lettore.radice());
    r.esito = tipo == TipoMessaggio::Nessuno ? LetturaRapida::NonMessaggio : LetturaRapida::Messaggio;
    if (tipo != TipoMessaggio::Nessuno)
        r.messaggio = leggiDa(lettore.radice(), tipo, quali);
    return r;
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
    if (eventi.size() < 2) // most invoices have one message: no time to read
        return std::vector<std::size_t>(eventi.size(), 0);
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
    return StatoSdI(eventi, OrdineEventi(eventi));
}

QString StatoSdI(const std::vector<EventoSdI> &eventi, const std::vector<std::size_t> &ordine)
{
    QString stato;
    for (std::size_t i : ordine) {
        if (eventi[i].tipo == TipoMessaggio::NS)
            return StatoImplicato(TipoMessaggio::NS, {});
        if (const QString s = StatoImplicato(eventi[i].tipo, eventi[i].esito); !s.isEmpty())
            stato = s;
    }
    return stato;
}
