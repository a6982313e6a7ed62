// One file's bytes made into rows of the archive. Internal to the archive module.
#pragma once

#include "archivio/archivio.h"

#include <memory>
#include <vector>

// A metadata file of the SDI: which invoice it describes and its identifier.
struct MetadatiSdi {
    QString chiave; // ChiaveFattura of the invoice's name
    QString identificativo;
    FileNonFattura origine; // where it was, and what to say when no invoice matches
    bool messaggio = false; // also among the messages: never told as a file that is not an invoice
};

// Texts one worker keeps for the whole reading, in blocks: the messages'
// traces are views into them, so ten thousand traces cost a few allocations,
// made and freed by no other thread.
class TestiTracce final {
public:
    QStringView tieni(QStringView testo);

private:
    std::vector<std::unique_ptr<char16_t[]>> blocchi_;
    qsizetype usati_ = 0; // of the last block
    qsizetype capienza_ = 0;
};

// What the meeting of a message with its invoice needs of it, in the texts of
// the worker that read it.
struct TracciaMessaggio {
    QStringView chiave; // the invoice it names by file name, by ChiaveFattura, or empty
    QStringView identificativo; // its SdI identifier
    TipoMessaggio tipo = TipoMessaggio::Nessuno;
    QStringView dataOra;
    QStringView esito;

    EventoSdI evento() const { return { tipo, dataOra.toString(), esito.toString() }; }
};

struct EsitoFile {
    std::vector<RigaArchivio> righe;
    std::vector<FileNonFattura> nonFatture;
    std::vector<MetadatiSdi> metadati;
    std::vector<TracciaMessaggio> tracce; // one per message
    std::vector<MessaggioArchivio> messaggi; // the messages themselves, when OpzioniArchivio::messaggi
};

// Reads the bytes of the file (or of the entry, when voci is not empty): an
// envelope by its name's .p7m, then a message of the exchange system, the
// invoice or the metadata. Never throws:
// what is not an invoice goes to nonFatture with its reason.
// The traces' texts go to testi.
void AnalizzaFile(QByteArrayView bytes, const QString &file, const QStringList &voci, const OpzioniArchivio &opzioni,
    TestiTracce &testi, EsitoFile &esito);

// The name under which an invoice and its metadata meet: the file name without
// its folders, its .p7m and its .xml, ASCII letters in lower case.
QString ChiaveFattura(const QString &nome);

// A message on one line: its lines joined by blanks.
QString MotivoInUnaRiga(const QString &messaggio);

// Why a file is not read, as the list shows it: on one line, and for a
// document that is not well-formed an Italian sentence with the line and the
// start of its text instead of the parser's own words.
QString MotivoLettura(const QString &messaggio);
