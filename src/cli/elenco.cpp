// lentiva-cli elenco PATH... [--json | --csv] [--righe]: the archive's rows
// (or its invoice lines) on standard output, the files that are not invoices
// on standard error, one line each.
#include "cli/elenco.h"

#include "archivio/archivio.h"
#include "archivio/csv.h"
#include "cli/comandi.h"
#include "common/folders.h"
#include "firma/elenco.h"

#include <QIODevice>
#include <QStandardPaths>
#include <QStringList>

namespace {
enum class Forma { Tabella, Json, Csv };

// Appends the text as a JSON string: quotes, backslashes and control
// characters escaped.
void json(QByteArray &out, const QString &testo)
{
    const QByteArray utf8 = testo.toUtf8();
    out += '"';
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char cifre[] = "0123456789abcdef";
            const char sequenza[] = { '\\', 'u', '0', '0', cifre[(c >> 4) & 0xf], cifre[c & 0xf] };
            out.append(sequenza, sizeof sequenza);
        } else {
            out += c;
        }
    }
    out += '"';
}

// One JSON object on one line, its keys in the order given.
class Oggetto final {
public:
    Oggetto() { testo_.reserve(1024); }
    Oggetto &testo(const char *chiave, const QString &valore)
    {
        json(chiaveA(chiave), valore);
        return *this;
    }
    Oggetto &numero(const char *chiave, int valore)
    {
        chiaveA(chiave) += QByteArray::number(valore);
        return *this;
    }
    QByteArray riga() { return testo_ + "}\n"; }

private:
    QByteArray &chiaveA(const char *chiave)
    {
        testo_ += testo_.isEmpty() ? '{' : ',';
        testo_ += '"';
        testo_ += chiave;
        testo_ += "\":";
        return testo_;
    }
    QByteArray testo_;
};

QByteArray jsonRiga(const RigaArchivio &r)
{
    return Oggetto()
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
        .testo("sdi", r.sdi)
        .riga();
}

QByteArray jsonLinea(const RigaArchivio &r, const LineaFattura &l)
{
    return Oggetto()
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
        .riga();
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

QByteArray tabellaRighe(const std::vector<RigaArchivio> &righe)
{
    Tabella t({ { "File", false }, { "Corpo", true }, { "Tipo", false }, { "Numero", false }, { "Data", false },
        { "Cedente/Prestatore", false }, { "Imponibile", true }, { "Imposta", true }, { "Totale", true } });
    Totali totali;
    for (const RigaArchivio &r : righe) {
        t.aggiungi({ NomeOrigine(r.file, r.voci), QString::number(r.corpo), r.tipoDocumento, r.numero,
            DataItaliana(r.data), r.cedente, r.imponibile.italiano(), r.imposta.italiano(), r.totale.italiano() });
        totali.aggiungi(r);
    }
    return t.testo() + totali.testo().toUtf8() + '\n';
}

QByteArray tabellaLinee(const std::vector<RigaArchivio> &righe)
{
    Tabella t({ { "File", false }, { "Corpo", true }, { "Numero", false }, { "Linea", true }, { "Descrizione", false },
        { "Quantità", true }, { "Prezzo unitario", true }, { "Prezzo totale", true }, { "IVA", true } });
    qsizetype n = 0;
    for (const RigaArchivio &r : righe)
        for (const LineaFattura &l : r.linee) {
            t.aggiungi({ NomeOrigine(r.file, r.voci), QString::number(r.corpo), r.numero, l.numero, l.descrizione,
                NumeroConVirgola(l.quantita), NumeroConVirgola(l.prezzoUnitario), NumeroConVirgola(l.prezzoTotale),
                NumeroConVirgola(l.aliquotaONatura) });
            ++n;
        }
    return t.testo() + (n == 1 ? QByteArray("1 riga di fattura\n") : QByteArray::number(n) + " righe di fattura\n");
}

int uso(QIODevice &err, const QString &testo)
{
    err.write(QStringLiteral("lentiva-cli: %1\nPer l'aiuto: lentiva-cli --help\n").arg(testo).toUtf8());
    return UscitaUso;
}
} // namespace

int ComandoElenco(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err)
{
    Forma forma = Forma::Tabella;
    bool linee = false;
    QStringList percorsi;
    bool soloPercorsi = false;
    for (const QString &a : argomenti) {
        if (soloPercorsi || !a.startsWith(u'-') || a == QLatin1String("-")) {
            percorsi << a;
        } else if (a == QLatin1String("--")) {
            soloPercorsi = true;
        } else if (a == QLatin1String("--json") || a == QLatin1String("--csv")) {
            const Forma scelta = a == QLatin1String("--json") ? Forma::Json : Forma::Csv;
            if (forma == scelta)
                return uso(err, QStringLiteral("opzione ripetuta: ") + a);
            if (forma != Forma::Tabella)
                return uso(err, QStringLiteral("--json e --csv non vanno insieme"));
            forma = scelta;
        } else if (a == QLatin1String("--righe") && !linee) {
            linee = true;
        } else {
            return uso(err,
                (a == QLatin1String("--righe") ? QStringLiteral("opzione ripetuta: ")
                                               : QStringLiteral("opzione non valida per elenco: "))
                    + a);
        }
    }
    if (percorsi.isEmpty())
        return uso(err, QStringLiteral("nessun file indicato"));

    ElencoPigro firme(
        CartelleCertificatori(dirProgramma, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    OpzioniArchivio opzioni;
    opzioni.linee = linee;
    opzioni.elenchi = &firme;
    RaccoltaArchivio raccolta;
    LeggiArchivio(percorsi, opzioni, raccolta);

    QByteArray testo;
    if (forma == Forma::Json) {
        for (const RigaArchivio &r : raccolta.tutte) {
            if (!linee)
                testo += jsonRiga(r);
            for (const LineaFattura &l : linee ? r.linee : std::vector<LineaFattura>())
                testo += jsonLinea(r, l);
        }
    } else if (forma == Forma::Csv) {
        std::vector<const RigaArchivio *> righe;
        for (const RigaArchivio &r : raccolta.tutte)
            righe.push_back(&r);
        testo = linee ? CsvLinee(righe) : CsvRighe(righe);
    } else {
        testo = linee ? tabellaLinee(raccolta.tutte) : tabellaRighe(raccolta.tutte);
    }
    const bool scritto = out.write(testo) == testo.size();
    for (const FileNonFattura &f : raccolta.nonFatture)
        err.write((NomeOrigine(f.file, f.voci) + QStringLiteral(": ") + f.motivo + u'\n').toUtf8());
    return raccolta.nonFatture.empty() && scritto ? UscitaOk : UscitaErrori;
}
