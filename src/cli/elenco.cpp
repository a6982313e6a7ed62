// lentiva-cli elenco PATH... [--json | --csv] [--righe | --messaggi |
// --riepilogo-iva [--partita-iva IT...]]: the archive's rows (or its invoice
// lines, the user's "righe", the exchange system's messages, or the VAT
// summary) on standard output, the files that are neither invoices nor
// messages on standard error, one line each. Whatever comes from a file is
// escaped for the terminal (the table, standard error) or for JSON.
#include "cli/elenco.h"

#include "archivio/archivio.h"
#include "archivio/csv.h"
#include "archivio/riepilogo.h"
#include "cli/controlla.h"
#include "cli/infomessaggio.h"
#include "cli/terminale.h"
#include "common/folders.h"
#include "common/json.h"
#include "controlli/controlli.h"
#include "firma/elenco.h"

#include <QIODevice>
#include <QStandardPaths>
#include <QStringList>

namespace {
enum class Forma { Tabella, Json, Csv };
enum class Cosa { Fatture, Linee, Messaggi, RiepilogoIva };

// The JSON object of a row without its last key, the SDI identifier.
QByteArray jsonRigaSenzaSdi(const RigaArchivio &r)
{
    return OggettoJson()
        .testo("file", r.file)
        .testo("voce", r.voce())
        .numero("corpo", r.corpo)
        .testo("formato", r.formato)
        .testo("tipo_documento", r.tipoDocumento)
        .testo("numero", r.numero)
        .testo("data", r.data)
        .testo("cedente", r.cedente)
        .testo("cedente_id", r.cedenteId)
        .testo("cessionario", r.cessionario)
        .testo("cessionario_id", r.cessionarioId)
        .testo("valuta", r.valuta)
        .testo("imponibile", r.imponibile.conPunto())
        .testo("imposta", r.imposta.conPunto())
        .testo("totale", r.totale.conPunto())
        .testo("da_pagare", r.daPagare.conPunto())
        .numero("allegati", r.allegati)
        .testo("firma", r.firma)
        .fine()
        .chopped(1);
}

QByteArray jsonLinea(const RigaArchivio &r, const LineaFattura &l)
{
    return OggettoJson()
        .testo("file", r.file)
        .testo("voce", r.voce())
        .numero("corpo", r.corpo)
        .testo("numero", r.numero)
        .testo("data", r.data)
        .testo("cedente", r.cedente)
        .testo("linea", l.numero)
        .testo("codice", l.codice)
        .testo("descrizione", l.descrizione)
        .testo("quantita", l.quantita)
        .testo("unita", l.unita)
        .testo("prezzo_unitario", l.prezzoUnitario)
        .testo("prezzo_totale", l.prezzoTotale)
        .testo("aliquota_iva", l.aliquotaONatura)
        .fine(true);
}

QByteArray jsonRiepilogo(const VoceRiepilogoIva &v)
{
    return OggettoJson()
        .testo("verso", v.verso)
        .testo("valuta", v.valuta)
        .testo("aliquota", v.aliquota)
        .testo("natura", v.natura)
        .testo("esigibilita", v.esigibilita)
        .testo("imponibile", FormatoCentesimi(v.imponibile, u'.', false))
        .testo("imposta", FormatoCentesimi(v.imposta, u'.', false))
        .numero("fatture", v.fatture)
        .fine(true);
}

// Columns padded to their widest cell; numbers to the right. Cells are
// escaped for the terminal.
class Tabella final {
public:
    explicit Tabella(const std::vector<std::pair<const char *, bool>> &colonne)
    {
        QStringList intestazione;
        for (const auto &[nome, destra] : colonne) {
            intestazione << QString::fromUtf8(nome);
            destra_.push_back(destra);
        }
        aggiungi(intestazione);
    }
    // A column more, before any row.
    void colonna(const char *nome, bool destra)
    {
        righe_.first() << QString::fromUtf8(nome);
        destra_.push_back(destra);
        larghezze_.clear();
        aggiungi(righe_.takeFirst());
    }
    // The first cell is a name, kept whole; in the others several values
    // (a body's, joined by CR LF) show as "a | b".
    void aggiungi(QStringList celle)
    {
        righe_.append(QStringList());
        for (qsizetype i = 0; i < celle.size(); ++i)
            cambia(righe_.size() - 1, i, celle[i]);
    }
    // A cell given later (the first row after the header is 1).
    void cambia(qsizetype riga, qsizetype colonna, QString testo)
    {
        testo = colonna == 0 ? PerTerminale(testo) : ValorePerTerminale(std::move(testo));
        larghezze_.resize(std::max<size_t>(larghezze_.size(), colonna + 1));
        larghezze_[colonna] = std::max(larghezze_[colonna], testo.size());
        QStringList &celle = righe_[riga];
        while (celle.size() <= colonna)
            celle.append(QString());
        celle[colonna] = std::move(testo);
    }
    QByteArray testo() const
    {
        QString t;
        for (const QStringList &celle : righe_) {
            QString riga;
            for (qsizetype i = 0; i < celle.size(); ++i) {
                const QString cella = destra_[i] ? celle[i].rightJustified(larghezze_[i])
                    : i + 1 < celle.size()       ? celle[i].leftJustified(larghezze_[i])
                                                 : celle[i];
                riga += (i > 0 ? QStringLiteral("  ") : QString()) + cella;
            }
            while (riga.endsWith(u' ')) // an empty last column
                riga.chop(1);
            t += riga + u'\n';
        }
        return t.toUtf8();
    }

private:
    std::vector<bool> destra_;
    std::vector<qsizetype> larghezze_;
    QList<QStringList> righe_;
};

const std::vector<std::pair<const char *, bool>> kColonneFatture = { { "File", false }, { "Corpo", true },
    { "Tipo", false }, { "Numero", false }, { "Data", false }, { "Cedente/Prestatore", false }, { "Imponibile", true },
    { "Imposta", true }, { "Totale", true }, { "Stato SdI", false } };
const std::vector<std::pair<const char *, bool>> kColonneLinee
    = { { "File", false }, { "Corpo", true }, { "Numero", false }, { "Linea", true }, { "Descrizione", false },
          { "Quantità", true }, { "Prezzo unitario", true }, { "Prezzo totale", true }, { "IVA", true } };
const std::vector<std::pair<const char *, bool>> kColonneMessaggi = { { "Tipo", false }, { "File", false },
    { "Identificativo SdI", false }, { "Data", false }, { "Fattura", false } };
const std::vector<std::pair<const char *, bool>> kColonneRiepilogo
    = { { "Verso", false }, { "Valuta", false }, { "Aliquota", true }, { "Natura", false }, { "Esigibilità", false },
          { "Imponibile", true }, { "Imposta", true }, { "Fatture", true } };

// The table of what is asked; the invoices' with the checks' column only
// when they run.
Tabella tabellaPer(Cosa cosa, bool conVerso, bool controlli)
{
    switch (cosa) {
    case Cosa::Linee:
        return Tabella(kColonneLinee);
    case Cosa::Messaggi:
        return Tabella(kColonneMessaggi);
    case Cosa::RiepilogoIva:
        return Tabella(std::vector(kColonneRiepilogo.begin() + (conVerso ? 0 : 1), kColonneRiepilogo.end()));
    case Cosa::Fatture:
        break;
    }
    Tabella t(kColonneFatture);
    if (controlli)
        t.colonna("Controlli", true);
    return t;
}

// The rows as they come, kept as what will be written: the text of each
// (without its last fields, from the SDI identifier on: the identifier and
// the fate the messages tell, which files read later may still bring, and the
// checks' findings) or the table's cells; for the VAT summary only its sums.
// Memory grows with the rows, never with the files read.
class Uscita final : public Ricevitore {
public:
    Uscita(Forma forma, Cosa cosa, const QStringList &partiteIva, bool controlli)
        : forma_(forma)
        , cosa_(cosa)
        , controlli_(controlli)
        , tabella_(tabellaPer(cosa, !partiteIva.isEmpty(), controlli))
        , riepilogo_(partiteIva)
        , conVerso_(!partiteIva.isEmpty())
    {
        if (forma == Forma::Csv && cosa != Cosa::RiepilogoIva)
            intestazione_ = cosa == Cosa::Linee ? CsvIntestazioneLinee() : CsvIntestazioneRighe();
    }

    void righe(std::vector<RigaArchivio> &&nuove) override
    {
        for (const RigaArchivio &r : nuove) {
            // A signed envelope that cannot be read is a row, and an error.
            if (!r.illeggibile.isEmpty())
                nonFatture.push_back({ r.file, r.voci, r.illeggibile });
            ++lette_;
            if (cosa_ == Cosa::RiepilogoIva) {
                riepilogo_.aggiungi(r);
            } else if (cosa_ == Cosa::Linee) {
                for (const LineaFattura &l : r.linee) {
                    if (forma_ == Forma::Json)
                        pezzo() += jsonLinea(r, l);
                    else if (forma_ == Forma::Tabella)
                        tabella_.aggiungi({ NomeOrigine(r.file, r.voci), QString::number(r.corpo), r.numero, l.numero,
                            l.descrizione, NumeroConVirgola(l.quantita), NumeroConVirgola(l.prezzoUnitario),
                            NumeroConVirgola(l.prezzoTotale), NumeroConVirgola(l.aliquotaONatura) });
                    ++linee;
                }
                if (forma_ == Forma::Csv)
                    CsvLineeDi(pezzo(), r);
            } else if (cosa_ == Cosa::Messaggi) {
                file_ << NomeOrigine(r.file, r.voci); // what a message names
            } else if (forma_ == Forma::Tabella) {
                QStringList celle { NomeOrigine(r.file, r.voci), QString::number(r.corpo), r.tipoDocumento, r.numero,
                    DataItaliana(r.data), r.cedente, r.imponibile.italiano(), r.imposta.italiano(),
                    r.totale.italiano() };
                if (controlli_) // after the fate the messages tell, given later
                    celle << QString() << (r.controlli < 0 ? QString() : QString::number(r.controlli));
                tabella_.aggiungi(celle);
                totali_.aggiungi(r);
            } else {
                QByteArray &p = pezzo();
                const qsizetype da = p.size();
                if (forma_ == Forma::Json)
                    p += jsonRigaSenzaSdi(r);
                else
                    CsvRigaSenzaSdi(p, r);
                righe_.push_back({ pezzi_.size() - 1, da, p.size(), r.controlli });
                sdi_.push_back(r.sdi);
                stati_.emplace_back();
            }
        }
    }
    void sdi(qsizetype riga, const QString &identificativo) override
    {
        if (static_cast<size_t>(riga) < sdi_.size())
            sdi_[static_cast<size_t>(riga)] = identificativo;
    }
    void statoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi) override
    {
        if (static_cast<size_t>(riga) < stati_.size())
            stati_[static_cast<size_t>(riga)] = { stato, messaggi };
        else if (forma_ == Forma::Tabella && cosa_ == Cosa::Fatture)
            tabella_.cambia(riga + 1, 9, stato);
    }
    void nonFattura(FileNonFattura &&file) override { nonFatture.push_back(std::move(file)); }
    // The messages come last, each with the row it names.
    void messaggi(MessaggiArchivio &&trovati) override
    {
        if (cosa_ != Cosa::Messaggi)
            return;
        for (const MessaggioArchivio &m : trovati) {
            const QString origine = NomeOrigine(m.file, m.voci);
            if (forma_ == Forma::Json) {
                pezzo() += InfoMessaggioCli(origine, m.messaggio, m.firma, true);
                continue;
            }
            const QString fattura = m.riga >= 0 ? file_.value(m.riga)
                : m.messaggio.nomeFile.isEmpty()
                ? QStringLiteral("(nessuna fattura dell'archivio)")
                : QStringLiteral("(nessuna fattura dell'archivio: %1)").arg(m.messaggio.nomeFile);
            const QString tipo = m.messaggio.sigla().isEmpty()
                ? m.messaggio.descrizioneTipo()
                : m.messaggio.sigla() + u' ' + m.messaggio.descrizioneTipo();
            tabella_.aggiungi({ tipo, origine, m.messaggio.identificativoSdI, m.messaggio.dataOra(), fattura });
            ++messaggiScritti;
        }
    }

    // Written in pieces: the rows' text is not copied whole once more.
    bool scrivi(QIODevice &out, QIODevice &err)
    {
        const auto scrivi = [&out](const QByteArray &t) { return out.write(t) == t.size(); };
        if (cosa_ == Cosa::RiepilogoIva)
            return scrivi(riepilogo(err));
        if (forma_ == Forma::Tabella && cosa_ == Cosa::Messaggi)
            return scrivi(tabella_.testo()
                + (messaggiScritti == 1 ? QByteArray("1 messaggio\n")
                                        : QByteArray::number(messaggiScritti) + " messaggi\n"));
        if (forma_ == Forma::Tabella)
            return scrivi(tabella_.testo()
                + (cosa_ == Cosa::Fatture ? PerTerminale(totali_.testo()).toUtf8() + '\n'
                        : linee == 1      ? QByteArray("1 riga di fattura\n")
                                          : QByteArray::number(linee) + " righe di fattura\n"));
        bool scritto = scrivi(intestazione_);
        if (cosa_ == Cosa::Linee || cosa_ == Cosa::Messaggi) {
            for (const QByteArray &p : pezzi_)
                scritto = scrivi(p) && scritto;
            return scritto;
        }
        QByteArray uscita;
        for (size_t i = 0; i < righe_.size(); ++i) {
            const Posizione &r = righe_[i];
            uscita += QByteArrayView(pezzi_[r.pezzo]).sliced(r.da, r.a - r.da);
            const Stato &stato = stati_[i];
            if (forma_ == Forma::Json) {
                uscita += ",\"sdi\":";
                AggiungiTestoJson(uscita, sdi_[i]);
                uscita += ",\"stato_sdi\":";
                AggiungiTestoJson(uscita, stato.stato);
                uscita += ",\"messaggi\":[";
                for (qsizetype t = 0; t < stato.messaggi.size(); ++t) {
                    if (t > 0)
                        uscita += ',';
                    AggiungiTestoJson(uscita, stato.messaggi[t]);
                }
                uscita += "],\"controlli\":";
                uscita += r.controlli < 0 ? QByteArray("null") : QByteArray::number(r.controlli);
                uscita += "}\n";
            } else {
                CsvFineRiga(uscita, sdi_[i], stato.stato, r.controlli);
            }
            if (uscita.size() >= kPezzo) {
                scritto = scrivi(uscita) && scritto;
                uscita.truncate(0);
            }
        }
        return scrivi(uscita) && scritto;
    }

    std::vector<FileNonFattura> nonFatture;
    qsizetype linee = 0;
    qsizetype messaggiScritti = 0;

private:
    // The VAT summary in the form asked for; the rows left out are told in
    // the table's last line, or on standard error beside JSON and CSV.
    QByteArray riepilogo(QIODevice &err)
    {
        const std::vector<VoceRiepilogoIva> voci = riepilogo_.voci();
        const QString nonSommate = riepilogo_.testoNonSommate();
        if (forma_ != Forma::Tabella && !nonSommate.isEmpty())
            err.write((nonSommate + QStringLiteral(": ") + PerTerminale(riepilogo_.nonSommate().join(u", ")) + u'\n')
                          .toUtf8());
        if (forma_ == Forma::Csv)
            return CsvRiepilogoIva(voci);
        QByteArray testo;
        for (const VoceRiepilogoIva &v : voci) {
            if (forma_ == Forma::Json) {
                testo += jsonRiepilogo(v);
                continue;
            }
            QStringList celle { v.valuta, NumeroConVirgola(v.aliquota), v.natura, v.esigibilita,
                FormatoCentesimi(v.imponibile, u',', true), FormatoCentesimi(v.imposta, u',', true),
                QString::number(v.fatture) };
            if (conVerso_)
                celle.prepend(v.verso);
            tabella_.aggiungi(celle);
        }
        if (forma_ == Forma::Json)
            return testo;
        QString fine = lette_ == 1 ? QStringLiteral("1 fattura") : QStringLiteral("%1 fatture").arg(lette_);
        if (!nonSommate.isEmpty())
            fine += QStringLiteral("; ") + nonSommate + QStringLiteral(" (")
                + riepilogo_.nonSommate().join(QStringLiteral(", ")) + u')';
        return tabella_.testo() + PerTerminale(fine).toUtf8() + '\n';
    }

    // Text kept in pieces of about a megabyte: one growing block would, while
    // it is copied into a bigger one, need twice the room.
    static constexpr qsizetype kPezzo = 1024 * 1024;
    QByteArray &pezzo()
    {
        if (pezzi_.empty() || pezzi_.back().size() >= kPezzo) {
            pezzi_.emplace_back();
            pezzi_.back().reserve(kPezzo + 64 * 1024);
        }
        return pezzi_.back();
    }
    struct Posizione {
        size_t pezzo;
        qsizetype da;
        qsizetype a;
        int controlli; // written after the SDI identifier
    };

    struct Stato {
        QString stato;
        QStringList messaggi;
    };

    const Forma forma_;
    const Cosa cosa_;
    const bool controlli_;
    QByteArray intestazione_; // the CSV's
    std::vector<QByteArray> pezzi_;
    std::vector<Posizione> righe_; // each row's text, without its last fields
    std::vector<QString> sdi_;
    std::vector<Stato> stati_;
    QStringList file_; // with --messaggi, each row's source
    Tabella tabella_;
    Totali totali_;
    RiepilogoIva riepilogo_;
    const bool conVerso_;
    qsizetype lette_ = 0;
};
} // namespace

int ComandoElenco(const RigaLetta &riga, AmbienteComando &ambiente)
{
    const Forma forma = riga.ha("--json") ? Forma::Json : riga.ha("--csv") ? Forma::Csv : Forma::Tabella;
    const Cosa cosa = riga.ha("--righe") ? Cosa::Linee
        : riga.ha("--messaggi")          ? Cosa::Messaggi
        : riga.ha("--riepilogo-iva")     ? Cosa::RiepilogoIva
                                         : Cosa::Fatture;
    if (cosa == Cosa::Messaggi && forma == Forma::Csv) {
        ambiente.err.write("lentiva-cli: --messaggi e --csv non vanno insieme\nPer l'aiuto: lentiva-cli --help\n");
        return UscitaUso;
    }
    const bool controlli = riga.ha("--controlli");
    ElencoPigro elenchi(CartelleCertificatori(
        ambiente.dirProgramma, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    OpzioniArchivio opzioni;
    opzioni.linee = cosa == Cosa::Linee;
    opzioni.aliquote = cosa == Cosa::RiepilogoIva;
    opzioni.elenchi = &elenchi;
    opzioni.adesso = QDateTime::currentDateTimeUtc();
    opzioni.messaggi = cosa == Cosa::Messaggi;
    opzioni.firmaMessaggi = cosa == Cosa::Messaggi && forma == Forma::Json;
    // Compiled once, before the workers start: they share them.
    const std::unique_ptr<const SchemiFattura> schemi
        = controlli ? std::make_unique<const SchemiFattura>(CartellaSchemi(ambiente.dirProgramma)) : nullptr;
    opzioni.schemi = schemi.get();
    opzioni.oggi = QDate::currentDate();
    Uscita uscita(forma, cosa, riga.valori("--partita-iva"), controlli);
    LeggiArchivio(riga.operandi, opzioni, uscita);

    const bool scritto = uscita.scrivi(ambiente.out, ambiente.err);
    for (const FileNonFattura &f : uscita.nonFatture)
        ambiente.err.write(
            (PerTerminale(NomeOrigine(f.file, f.voci)) + QStringLiteral(": ") + PerTerminale(f.motivo) + u'\n')
                .toUtf8());
    return uscita.nonFatture.empty() && scritto ? UscitaOk : UscitaErrori;
}
