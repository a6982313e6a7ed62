// The exchange system's (SdI) messages: receipts, rejections, outcomes, the
// lapse of terms, metadata. Recognised by the root element, read into a plain
// struct; the table of the system's error codes; the file-name convention; the
// fate of an invoice from the messages that name it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

struct _xmlDoc;

// The kinds, by the two letters the system puts in the messages' file names.
enum class TipoMessaggio {
    Nessuno, // not a message
    Sconosciuto, // a root the program does not know, in a namespace of the system
    RC, // RicevutaConsegna
    MC, // NotificaMancataConsegna, RicevutaImpossibilitaRecapito
    NS, // NotificaScarto, RicevutaScarto
    NE, // NotificaEsito
    DT, // NotificaDecorrenzaTermini
    AT, // AttestazioneTrasmissioneFattura
    EC, // NotificaEsitoCommittente
    SE, // ScartoEsitoCommittente
    MT, // MetadatiInvioFile, FileMetadati
};

// "NS"; empty for Nessuno and Sconosciuto.
QString SiglaMessaggio(TipoMessaggio tipo);
// "Notifica di scarto", ...; "Messaggio SdI non riconosciuto" for Sconosciuto.
QString DescrizioneMessaggio(TipoMessaggio tipo);

struct ErroreSdI {
    QString codice; // as written ("00200", or anything the message holds)
    QString descrizione; // the system's own words
    QString suggerimento; // given by the later messages only
};

// Every field the messages' schemas give, texts trimmed but otherwise as
// written; what a kind does not have stays empty.
struct MessaggioSdI {
    TipoMessaggio tipo = TipoMessaggio::Nessuno;
    QString radice; // the root's local name
    QString spazioNomi; // the root's namespace
    QString versione; // attribute versione
    QString intermediarioConDupliceRuolo; // attribute IntermediarioConDupliceRuolo
    QString identificativoSdI;
    QString nomeFile; // the file sent (the invoice, or a ZIP of invoices)
    QString hash; // Hash, or the AT's HashFileOriginale
    QString dataOraRicezione;
    QString dataOraConsegna;
    QString dataMessaADisposizione;
    QString destinatarioCodice;
    QString destinatarioDescrizione;
    QString riferimentoArchivioIdentificativoSdI;
    QString riferimentoArchivioNomeFile;
    std::vector<ErroreSdI> errori;
    QString descrizione; // MC, DT, EC (the NE's outcome too)
    QString esito; // EC01/EC02 (EC, and NE inside EsitoCommittente), EN00/EN01 (SE)
    QString numeroFattura; // RiferimentoFattura
    QString annoFattura;
    QString posizioneFattura;
    QString codiceDestinatario; // MT
    QString formato; // MT
    QString tentativiInvio; // MT
    QString messageId;
    QString messageIdCommittente;
    QString pecMessageId;
    QString note;
    bool firmato = false; // holds an XML signature (not checked here)
    // What is missing or odd, one clear Italian sentence each.
    QStringList avvisi;

    QString sigla() const { return SiglaMessaggio(tipo); }
    QString descrizioneTipo() const { return DescrizioneMessaggio(tipo); }
    // The moment the message tells of: the delivery for RC, else the
    // reception; empty when it gives none. ISO 8601 as written.
    QString dataOra() const;
};

// The kind told by the root alone (its local name and namespace): the cheap
// first look. Nessuno for anything else, a null document included.
TipoMessaggio RiconosciMessaggio(const _xmlDoc *doc);

// Reads the message from a document already parsed (only walked, never
// changed). nullopt when it is not a message.
std::optional<MessaggioSdI> LeggiMessaggio(const _xmlDoc *doc);

// A first look at the bytes: the first start tag, past the declaration,
// comments and processing instructions. False (plainly not a message) only
// when that tag is there, has a name of no message and names no namespace of
// the system; anything unusual (other encodings, a DTD) is left to the parser.
bool ForseMessaggio(QByteArrayView bytes);

// The same from bytes, parsed with the program's safe loader; a look at the
// first tag spares the parse of what plainly is not a message. nullopt when
// not a message; errore then holds the parser's reason if the bytes were not
// well-formed XML.
std::optional<MessaggioSdI> LeggiMessaggio(const QByteArray &bytes, QString *errore = nullptr);

// For lists that read many files: the bytes read without libxml2's tree when
// they have the usual shape of a message (UTF-8 elements, attributes and
// text, predefined entities and character references, declared prefixes).
// Rifiutata for anything else, well-formed or not: LeggiMessaggio on the
// parsed document then reads it. What it takes, it reads as LeggiMessaggio
// would.
struct LetturaRapida {
    enum Esito { Rifiutata, NonMessaggio, Messaggio } esito = Rifiutata;
    MessaggioSdI messaggio; // for Messaggio
    bool conFormato = false; // some element is named FormatoTrasmissione (ASCII case folded)
};
// Traccia reads only what ties a message to its invoice and tells its fate
// (tipo, identificativoSdI, nomeFile, the two times, esito), each as the whole
// reading gives it, and no warnings: an archive that lists no message needs
// no more of it.
enum class CampiMessaggio { Tutti, Traccia };
LetturaRapida LeggiMessaggioRapido(QByteArrayView bytes, CampiMessaggio quali = CampiMessaggio::Tutti);

// ---------------------------------------------------------------- error codes

struct VoceCodiceErrore {
    const char *codice; // "00200"
    const char *descrizione; // the system's short description (UTF-8)
    const char *spiegazione; // what it means and what to do, in the program's words (UTF-8)
};

// The table, ordered by code.
const std::vector<VoceCodiceErrore> &TabellaCodiciErrore();
// The row of the code as written (no trimming, no padding); nullopt when the
// table does not know it.
std::optional<VoceCodiceErrore> CercaCodiceErrore(QStringView codice);
// The explanation shown beside an error: the table's, else a sentence saying
// the code is unknown (or not in the system's form).
QString SpiegazioneErrore(QStringView codice);

// ---------------------------------------------------------------- file names

// <sender>_<progressive>_<type>_<number>.xml, e.g. IT01234567890_11111_NS_001.xml.
struct NomeFileMessaggio {
    QString mittente; // IT01234567890
    QString progressivo; // 11111
    QString tipo; // NS (upper-case)
    QString numero; // 001
    // The invoice file's name without extension: IT01234567890_11111.
    QString fattura() const { return mittente + QLatin1Char('_') + progressivo; }
};

// Folders are dropped; the extension must be .xml (any case). nullopt when the
// name does not follow the convention.
std::optional<NomeFileMessaggio> LeggiNomeFileMessaggio(QStringView nome);

// ---------------------------------------------------------------- the invoice's fate

// The key an invoice file name is matched by: without folders, ASCII
// lower-cased, without a final ".p7m". "C:\\x\\IT1_A.XML.p7m" gives "it1_a.xml".
QString ChiaveNomeFattura(QStringView nome);

// Which invoice a message names: by its file name's key (empty when the
// message gives none), or by the SdI identifier.
struct RiferimentoMessaggio {
    QString chiaveNomeFile;
    QString identificativoSdI;
};
RiferimentoMessaggio RiferimentoDi(const MessaggioSdI &messaggio);

// The stato_sdi a message implies: consegnata (RC), scartata (NS),
// mancata_consegna (MC), accettata (NE, EC with EC01), rifiutata (NE, EC with
// EC02), decorrenza_termini (DT), non_recapitabile (AT); empty for the rest.
QString StatoImplicato(TipoMessaggio tipo, QStringView esito);

// One message naming an invoice, as the fate is judged from.
struct EventoSdI {
    TipoMessaggio tipo = TipoMessaggio::Nessuno;
    QString dataOra; // ISO 8601 as written; may be empty or unreadable
    QString esito;
};

// The messages in the exchange's own order, as indices into eventi: delivery,
// failed delivery or rejection (and the metadata); then the attestation of a
// failed delivery; then the recipient's outcome (and its rejection); then the
// lapse of terms. Within a step by time (a message without a readable time
// first), then as given.
std::vector<std::size_t> OrdineEventi(const std::vector<EventoSdI> &eventi);

// The invoice's stato_sdi: a rejection is final; otherwise the latest message
// that implies a state decides. Empty when none does.
QString StatoSdI(const std::vector<EventoSdI> &eventi);
// The same with the order OrdineEventi gave them.
QString StatoSdI(const std::vector<EventoSdI> &eventi, const std::vector<std::size_t> &ordine);
