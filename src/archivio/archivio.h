// Archives of invoices: files, folders (recursively) and ZIP archives (a ZIP
// inside a ZIP too) read as one list with a row per invoice body, on every
// core, in a stable order (by path, then entry, then body). Envelopes are
// opened in memory and nothing is written anywhere. The exchange system's
// messages found beside the invoices are read in the same pass, kept apart,
// and tell each invoice's fate.
#pragma once

#include "archivio/formati.h"
#include "messaggi/messaggi.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stop_token>
#include <vector>

// One line of an invoice (DettaglioLinee, or a simplified invoice's
// DatiBeniServizi), its texts as written.
struct LineaFattura {
    QString numero;
    QString codice; // the CodiceValore of every CodiceArticolo, joined by ", "
    QString descrizione;
    QString quantita;
    QString unita;
    QString prezzoUnitario;
    QString prezzoTotale;
    QString aliquotaONatura; // the nature code when given, else the VAT rate
};

// One VAT summary of an invoice body (DatiRiepilogo; for a simplified
// invoice, each DatiBeniServizi with its tax taken out), as written.
struct AliquotaFattura {
    QString aliquota; // the VAT rate, "22.00"
    QString natura; // the nature code of a rate of zero, "N2.2"
    QString esigibilita; // EsigibilitaIVA: I, D or S; empty when not given
    Importo imponibile;
    Importo imposta;
};

// One invoice body.
struct RigaArchivio {
    QString file; // the file on disk; for an entry, the ZIP archive
    QStringList voci; // the entry inside the ZIP, then inside each ZIP within it
    int corpo = 1;
    QString formato;
    QString tipoDocumento; // the code as written
    QString descrizioneTipo;
    QString numero;
    QString data; // as written
    QString cedente; // company name, or first name and surname
    QString cedenteId; // VAT number (country and code), or the fiscal code
    QString cessionario;
    QString cessionarioId;
    QString valuta;
    Importo imponibile; // sum of the summary rows
    Importo imposta;
    Importo totale; // the document's total when given, else taxable + tax
    Importo daPagare; // sum of the payments, when given
    int allegati = 0;
    QString firma; // the signature outcome ("valida", ..., "assente"); empty when not checked
    QString sdi; // the SDI identifier from the metadata file
    // What the exchange system's messages tell (StatoSdI: consegnata,
    // scartata, ...), empty when none names the invoice; and the kinds of
    // those messages ("RC", "NE"), oldest first.
    QString statoSdi;
    QStringList messaggi;
    // The findings of the exchange system's checks on this body and on the
    // file's header; -1 when not checked (checks off, or not checkable).
    int controlli = -1;
    bool busta = false; // read from a signed envelope
    std::vector<LineaFattura> linee; // only when asked for
    QString motivoFirma; // the signature's sentence, when it is checked and present
    // Why the fields are empty: a signed envelope that cannot be opened, or
    // whose content does not read as an invoice; empty for the other rows.
    QString illeggibile;
    std::vector<AliquotaFattura> aliquote; // the VAT summary, only when asked for

    // The entry as one text: the names joined by "/", empty for a plain file.
    QString voce() const { return voci.join(QLatin1Char('/')); }
};

// A file (or entry) that gave no invoice, with the reason on one line.
struct FileNonFattura {
    QString file;
    QStringList voci;
    QString motivo;
};

// A message of the exchange system found among the files: never an invoice
// row, never a file that is not an invoice.
struct MessaggioArchivio {
    QString file; // as RigaArchivio's
    QStringList voci;
    MessaggioSdI messaggio;
    QString firma; // its own signature's outcome, when asked for (OpzioniArchivio::firmaMessaggi)
    qsizetype riga = -1; // the first invoice row it names; -1 when it names none of the archive
};
// Kept in blocks: ten thousand messages gathered one by one never move.
using MessaggiArchivio = std::deque<MessaggioArchivio>;

// Where a row's bytes come from, as one text ("file", or "file/entry/...").
QString NomeOrigine(const QString &file, const QStringList &voci);

class ElencoPigro;
class SchemiFattura;

// What one path given to the reading that is a ZIP archive (with the ZIP
// archives inside it) may cost; past it, the rest of that archive is refused
// with one reason and the reading goes on with the other paths.
struct LimitiArchivio {
    qint64 byteMassimi = 2'000'000'000; // inflated bytes at most...
    qint64 volteDimensione = 200; // ...and at most this many times the archive's size...
    qint64 byteMinimi = 16'000'000; // ...but never less than this
    qint64 vociMassime = 100'000; // entries, those inside inner archives included
    int annidati = 4; // ZIP archives inside ZIP archives, at most this deep
};

struct OpzioniArchivio {
    // The trusted lists each file's signatures are checked against (read at
    // the first check, shared by the workers); null: no check, firma stays empty.
    ElencoPigro *elenchi = nullptr;
    QDateTime adesso; // the time signatures are judged at when no time-stamp proves one
    bool linee = false; // also read every invoice line (the user's "righe")
    bool aliquote = false; // also read the VAT summary of every body
    LimitiArchivio limiti;
    // Hand out the messages themselves (Ricevitore::messaggi); without them the
    // rows still get their fate, and a message is forgotten once read.
    bool messaggi = true;
    bool firmaMessaggi = false; // also check each message's own signature (with elenchi)
    // The schemas each invoice is checked with (the exchange system's checks,
    // shared by the workers); null: no check, controlli stays -1.
    const SchemiFattura *schemi = nullptr;
    QDate oggi; // the day the checks judge dates by
    int fili = 0; // workers, the calling thread included; 0 = one per core
    // Once stopped, no more files are started and nothing more is handed out.
    std::stop_token stop;
    // When not empty, only these sources are read (as NomeOrigine gives them);
    // other entries of a ZIP are passed over without being inflated.
    std::set<QString> solo;
};

// What a reading hands out, in order, on the thread that called LeggiArchivio
// (between the files that thread reads itself).
class Ricevitore {
public:
    virtual ~Ricevitore() = default;
    // The next rows, in the list's order; their indices follow the earlier ones.
    virtual void righe(std::vector<RigaArchivio> &&nuove) = 0;
    virtual void nonFattura(FileNonFattura &&file) = 0;
    // A metadata file read after its invoice: the row of that index gets the
    // SDI identifier (rows read after their metadata have it already).
    virtual void sdi(qsizetype riga, const QString &identificativo) = 0;
    // How many files and entries are done, of those found so far.
    virtual void avanzamento(qsizetype /*fatti*/, qsizetype /*trovati*/) { }
    // After the reading, for each row that messages name (read before or
    // after it): its stato_sdi and the kinds seen, oldest first.
    virtual void statoSdi(qsizetype /*riga*/, const QString & /*stato*/, const QStringList & /*messaggi*/) { }
    // Last, the messages found, in the list's order, each with the row it names.
    virtual void messaggi(MessaggiArchivio && /*trovati*/) { }
};

// Everything a reading hands out, kept, for callers that want it all at once.
struct RaccoltaArchivio final : Ricevitore {
    std::vector<RigaArchivio> tutte;
    std::vector<FileNonFattura> nonFatture;
    MessaggiArchivio trovati;
    void righe(std::vector<RigaArchivio> &&nuove) override;
    void nonFattura(FileNonFattura &&file) override;
    void sdi(qsizetype riga, const QString &identificativo) override;
    void statoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi) override;
    void messaggi(MessaggiArchivio &&messaggi) override;
};

// Reads every path (file, folder or .zip) and hands the results out as they
// come, in order. Never throws for a file: each one that is not an invoice is
// handed out with its reason, and the rest goes on.
void LeggiArchivio(const QStringList &percorsi, const OpzioniArchivio &opzioni, Ricevitore &ricevitore);

// The bytes of one source, through as many ZIP archives as it lies in, with
// the same limits as the reading. Throws Exception with the reason.
QByteArray LeggiOrigine(const QString &file, const QStringList &voci);

// The exact totals of some rows, per currency. A row with an amount that is
// given but is not a number is left out of every total, and named.
struct Totali {
    struct PerValuta {
        qint64 imponibile = 0;
        qint64 imposta = 0;
        qint64 totale = 0;
    };
    qsizetype righe = 0;
    std::map<QString, PerValuta> valute;
    QStringList nonSommate; // "file/entry (corpo N)"

    void aggiungi(const RigaArchivio &riga);
    // "3 fatture; EUR: imponibile 1.234,50, imposta 271,59, totale 1.506,09",
    // then the rows left out.
    QString testo() const;
};

// "3 fatture non sommate: importi non leggibili"; empty for none.
QString TestoNonSommate(qsizetype quante);
