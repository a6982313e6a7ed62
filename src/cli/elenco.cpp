// lentiva-cli elenco PATH... [--json | --csv] [--righe]: the archive's rows
// (or its invoice lines, the user's "righe") on standard output, the files
// that are not invoices on standard error, one line each.
#include "cli/elenco.h"

#include "archivio/archivio.h"
#include "archivio/csv.h"
#include "cli/controlla.h"
#include "cli/json.h"
#include "common/folders.h"
#include "controlli/controlli.h"
#include "firma/elenco.h"

#include <QIODevice>
#include <QStandardPaths>
#include <QStringList>

namespace {
enum class Forma { Tabella, Json, Csv };

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

// Columns padded to their widest cell; numbers to the right.
class Tabella final {
public:
    explicit Tabella(std::initializer_list<std::pair<const char *, bool>> colonne)
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
    void aggiungi(QStringList celle)
    {
        for (QString &c : celle)
            c.replace(QLatin1String("\r\n"), QLatin1String(" | "));
        larghezze_.resize(celle.size());
        for (qsizetype i = 0; i < celle.size(); ++i)
            larghezze_[i] = std::max(larghezze_[i], celle[i].size());
        righe_ << celle;
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
            t += riga + u'\n';
        }
        return t.toUtf8();
    }

private:
    std::vector<bool> destra_;
    std::vector<qsizetype> larghezze_;
    QList<QStringList> righe_;
};

// The table of the rows; the checks' column only when they run.
Tabella tabellaRighe(bool controlli)
{
    Tabella t({ { "File", false }, { "Corpo", true }, { "Tipo", false }, { "Numero", false }, { "Data", false },
        { "Cedente/Prestatore", false }, { "Imponibile", true }, { "Imposta", true }, { "Totale", true } });
    if (controlli)
        t.colonna("Controlli", true);
    return t;
}

// The rows as they come, kept as what will be written: the text of each
// (without its last fields, from the SDI identifier on, which a metadata
// file read later may still bring) or the table's cells. Memory grows with
// the rows, never with the files read.
class Uscita final : public Ricevitore {
public:
    Uscita(Forma forma, bool linee, bool controlli)
        : forma_(forma)
        , linee_(linee)
        , controlli_(controlli)
        , tabella_(linee ? Tabella({ { "File", false }, { "Corpo", true }, { "Numero", false }, { "Linea", true },
                       { "Descrizione", false }, { "Quantità", true }, { "Prezzo unitario", true },
                       { "Prezzo totale", true }, { "IVA", true } })
                         : tabellaRighe(controlli))
    {
        if (forma == Forma::Csv)
            intestazione_ = linee ? CsvIntestazioneLinee() : CsvIntestazioneRighe();
    }

    void righe(std::vector<RigaArchivio> &&nuove) override
    {
        for (const RigaArchivio &r : nuove) {
            if (linee_) {
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
            } else if (forma_ == Forma::Tabella) {
                QStringList celle { NomeOrigine(r.file, r.voci), QString::number(r.corpo), r.tipoDocumento, r.numero,
                    DataItaliana(r.data), r.cedente, r.imponibile.italiano(), r.imposta.italiano(),
                    r.totale.italiano() };
                if (controlli_)
                    celle << (r.controlli < 0 ? QString() : QString::number(r.controlli));
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
            }
        }
    }
    void sdi(qsizetype riga, const QString &identificativo) override
    {
        if (static_cast<size_t>(riga) < sdi_.size())
            sdi_[static_cast<size_t>(riga)] = identificativo;
    }
    void nonFattura(FileNonFattura &&file) override { nonFatture.push_back(std::move(file)); }

    // Written in pieces: the rows' text is not copied whole once more.
    bool scrivi(QIODevice &out) const
    {
        const auto scrivi = [&out](const QByteArray &t) { return out.write(t) == t.size(); };
        if (forma_ == Forma::Tabella)
            return scrivi(tabella_.testo()
                + (!linee_           ? totali_.testo().toUtf8() + '\n'
                        : linee == 1 ? QByteArray("1 riga di fattura\n")
                                     : QByteArray::number(linee) + " righe di fattura\n"));
        bool scritto = scrivi(intestazione_);
        if (linee_) {
            for (const QByteArray &p : pezzi_)
                scritto = scrivi(p) && scritto;
            return scritto;
        }
        QByteArray uscita;
        for (size_t i = 0; i < righe_.size(); ++i) {
            const Posizione &r = righe_[i];
            uscita += QByteArrayView(pezzi_[r.pezzo]).sliced(r.da, r.a - r.da);
            if (forma_ == Forma::Json) {
                uscita += ",\"sdi\":";
                AggiungiTestoJson(uscita, sdi_[i]);
                uscita += ",\"controlli\":";
                uscita += r.controlli < 0 ? QByteArray("null") : QByteArray::number(r.controlli);
                uscita += "}\n";
            } else {
                CsvFineRiga(uscita, sdi_[i], r.controlli);
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

private:
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

    const Forma forma_;
    const bool linee_;
    const bool controlli_;
    QByteArray intestazione_; // the CSV's
    std::vector<QByteArray> pezzi_;
    std::vector<Posizione> righe_; // each row's text, without its last fields
    std::vector<QString> sdi_;
    Tabella tabella_;
    Totali totali_;
};
} // namespace

int ComandoElenco(const RigaLetta &riga, AmbienteComando &ambiente)
{
    const Forma forma = riga.ha("--json") ? Forma::Json : riga.ha("--csv") ? Forma::Csv : Forma::Tabella;
    const bool linee = riga.ha("--righe");
    const bool controlli = riga.ha("--controlli");
    ElencoPigro elenchi(CartelleCertificatori(
        ambiente.dirProgramma, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    OpzioniArchivio opzioni;
    opzioni.linee = linee;
    opzioni.elenchi = &elenchi;
    opzioni.adesso = QDateTime::currentDateTimeUtc();
    // Compiled once, before the workers start: they share them.
    const std::unique_ptr<const SchemiFattura> schemi
        = controlli ? std::make_unique<const SchemiFattura>(CartellaSchemi(ambiente.dirProgramma)) : nullptr;
    opzioni.schemi = schemi.get();
    opzioni.oggi = QDate::currentDate();
    Uscita uscita(forma, linee, controlli);
    LeggiArchivio(riga.operandi, opzioni, uscita);

    const bool scritto = uscita.scrivi(ambiente.out);
    for (const FileNonFattura &f : uscita.nonFatture)
        ambiente.err.write((NomeOrigine(f.file, f.voci) + QStringLiteral(": ") + f.motivo + u'\n').toUtf8());
    return uscita.nonFatture.empty() && scritto ? UscitaOk : UscitaErrori;
}
