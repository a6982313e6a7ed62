// Would the exchange system (SdI) accept this invoice? Its checks that need
// nothing outside the file, run offline on every body of an invoice: the
// official schema of the invoice's format (shipped in SCHEMI/ beside the
// program, nothing fetched) and the content checks of the system's published
// list, with its codes and tolerances. Each finding names the field, the body
// and the line it is in, what was found and what was expected, in Italian.
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <memory>
#include <mutex>

struct _xmlDoc;

enum class EsitoControllo {
    Conforme, // no finding the system would reject the file for
    NonConforme, // at least one
    NonControllabile, // not an invoice, no schema for its format, or the schemas are missing or damaged
};

// "conforme", "non_conforme", "non_controllabile".
QString ParolaEsito(EsitoControllo esito);

struct Rilievo {
    QString codice; // the system's error code ("00423"); empty where it has none
    QString campo; // "2.2.1.11 PrezzoTotale": the number of the published tables, where there is one, and the name
    QString percorso; // the element's path below the root: "FatturaElettronicaBody/DatiBeniServizi/..."
    int corpo = 0; // the body it is in, from 1; 0 in the header
    int riga = 0; // the line of the file; 0 when unknown
    QString linea; // NumeroLinea of the detail line it is in, else empty
    QString trovato; // the value found (empty when the element is missing)
    QString atteso; // the value or form expected, where there is one
    QString messaggio; // one Italian sentence in the program's own words
    bool scarto = true; // the system would reject the file; false for a warning it lets through
};

struct RisultatoControlli {
    EsitoControllo esito = EsitoControllo::NonControllabile;
    QString motivo; // the sentence for the outcome
    QList<Rilievo> rilievi; // schema findings first, then content findings, each in file order
    int erroriSchema = 0; // every schema error, also those beyond the 50 listed

    // The findings the system would reject the file for, and the others.
    int errori() const;
    int avvisi() const;
};

// The official schemas compiled once, from a folder (DirSchemi, SCHEMI/,
// beside the program): the 1.2.x one for FPA12 and FPR12, the simplified one for FSM10,
// the 1.1 one for files in the 1.1 namespace, and the signature schema they
// import. Only files inside the folder are read. A folder that is missing or a
// schema that does not compile is no exception: the formats it concerns are
// then not checkable, with problema() as the sentence. Read-only once built:
// one object may serve checks on any number of threads at once.
class SchemiFattura final {
public:
    explicit SchemiFattura(const QString &cartella);
    ~SchemiFattura();
    SchemiFattura(const SchemiFattura &) = delete;
    SchemiFattura &operator=(const SchemiFattura &) = delete;

    const QString &cartella() const;
    // Empty when every schema compiled; else what is wrong, in one sentence.
    QString problema() const;

    // The compiled schemas, for the module's own files (defined there).
    struct Dati;
    const Dati &dati() const { return *d_; }

private:
    std::unique_ptr<Dati> d_;
};

// The schemas of a folder compiled at the first call, once, on whichever
// thread makes it: for a window or a command that may never need them.
class SchemiPigri final {
public:
    explicit SchemiPigri(QString cartella);
    ~SchemiPigri();
    SchemiPigri(const SchemiPigri &) = delete;
    SchemiPigri &operator=(const SchemiPigri &) = delete;
    const SchemiFattura &schemi();

private:
    QString cartella_;
    std::once_flag compilati_;
    std::unique_ptr<SchemiFattura> schemi_;
};

// Checks the invoice in the bytes (XML: an envelope is opened by the caller).
// oggi is the date the file would reach the system (the caller's today).
// Never throws; bytes that are not an invoice come out non_controllabile.
RisultatoControlli ControllaFattura(const SchemiFattura &schemi, QByteArrayView bytes, QDate oggi);

// The same on a document the caller has already parsed (the archive's own
// parse). Validation may add the signature's ID attributes to the document's
// table of IDs, nothing else; the document must not be used by another thread
// meanwhile. Line numbers past 65535 need XML_PARSE_BIG_LINES at the parse.
RisultatoControlli ControllaDocumento(const SchemiFattura &schemi, _xmlDoc *documento, QDate oggi);
