// CSV by RFC 4180 rules, with ";" as the separator Italian spreadsheets expect.
#include "archivio/csv.h"

namespace {
class Csv final {
public:
    Csv() { testo_ = "\xEF\xBB\xBF"; }
    Csv &operator<<(const QString &campo)
    {
        if (!primo_)
            testo_ += ';';
        primo_ = false;
        const QByteArray utf8 = campo.toUtf8();
        if (utf8.contains(';') || utf8.contains('"') || utf8.contains('\r') || utf8.contains('\n')) {
            QByteArray citato = utf8;
            citato.replace('"', "\"\"");
            testo_ += '"' + citato + '"';
        } else {
            testo_ += utf8;
        }
        return *this;
    }
    void riga()
    {
        testo_ += "\r\n";
        primo_ = true;
    }
    QByteArray testo() const { return testo_; }

private:
    QByteArray testo_;
    bool primo_ = true;
};

void intestazione(Csv &csv, std::initializer_list<const char *> nomi)
{
    for (const char *nome : nomi)
        csv << QString::fromUtf8(nome);
    csv.riga();
}
} // namespace

QByteArray CsvRighe(const std::vector<const RigaArchivio *> &righe)
{
    Csv csv;
    intestazione(csv,
        { "File", "Voce", "Corpo", "Formato", "Tipo documento", "Descrizione tipo", "Numero", "Data",
            "Cedente/Prestatore", "Identificativo cedente", "Cessionario/Committente", "Identificativo cessionario",
            "Valuta", "Imponibile", "Imposta", "Totale", "Da pagare", "Allegati", "Firma", "Identificativo SdI" });
    for (const RigaArchivio *r : righe) {
        csv << r->file << r->voce() << QString::number(r->corpo) << r->formato << r->tipoDocumento << r->descrizioneTipo
            << r->numero << DataItaliana(r->data) << r->cedente << r->cedenteId << r->cessionario << r->cessionarioId
            << r->valuta << r->imponibile.conVirgola() << r->imposta.conVirgola() << r->totale.conVirgola()
            << r->daPagare.conVirgola() << QString::number(r->allegati) << r->firma << r->sdi;
        csv.riga();
    }
    return csv.testo();
}

QByteArray CsvLinee(const std::vector<const RigaArchivio *> &righe)
{
    Csv csv;
    intestazione(csv,
        { "File", "Voce", "Corpo", "Numero", "Data", "Cedente/Prestatore", "Linea", "Codice", "Descrizione", "Quantità",
            "Unità di misura", "Prezzo unitario", "Prezzo totale", "Aliquota IVA o natura" });
    for (const RigaArchivio *r : righe)
        for (const LineaFattura &l : r->linee) {
            csv << r->file << r->voce() << QString::number(r->corpo) << r->numero << DataItaliana(r->data) << r->cedente
                << l.numero << l.codice << l.descrizione << NumeroConVirgola(l.quantita) << l.unita
                << NumeroConVirgola(l.prezzoUnitario) << NumeroConVirgola(l.prezzoTotale)
                << NumeroConVirgola(l.aliquotaONatura);
            csv.riga();
        }
    return csv.testo();
}
