// CSV by RFC 4180 rules, with ";" as the separator Italian spreadsheets expect.
#include "archivio/csv.h"

namespace {
// A field: quoted when it holds the separator, a quote or a line end.
void campo(QByteArray &out, QStringView testo, bool primo = false)
{
    if (!primo)
        out += ';';
    bool citato = false;
    bool ascii = true;
    for (const QChar c : testo) {
        citato = citato || c == u';' || c == u'"' || c == u'\r' || c == u'\n';
        ascii = ascii && c.unicode() < 0x80;
    }
    const QByteArray utf8 = ascii ? QByteArray() : testo.toUtf8();
    if (!citato) {
        if (ascii)
            for (const QChar c : testo)
                out += static_cast<char>(c.unicode());
        else
            out += utf8;
        return;
    }
    QByteArray dentro = ascii ? testo.toLatin1() : utf8;
    dentro.replace('"', "\"\"");
    out += '"' + dentro + '"';
}

QByteArray intestazione(std::initializer_list<const char *> nomi)
{
    QByteArray out = "\xEF\xBB\xBF";
    bool primo = true;
    for (const char *nome : nomi) {
        campo(out, QString::fromUtf8(nome), primo);
        primo = false;
    }
    return out + "\r\n";
}
} // namespace

QByteArray CsvIntestazioneRighe()
{
    return intestazione({ "File", "Voce", "Corpo", "Formato", "Tipo documento", "Descrizione tipo", "Numero", "Data",
        "Cedente/Prestatore", "Identificativo cedente", "Cessionario/Committente", "Identificativo cessionario",
        "Valuta", "Imponibile", "Imposta", "Totale", "Da pagare", "Allegati", "Firma", "Identificativo SdI",
        "Controlli" });
}

QByteArray CsvIntestazioneLinee()
{
    return intestazione({ "File", "Voce", "Corpo", "Numero", "Data", "Cedente/Prestatore", "Linea", "Codice",
        "Descrizione", "Quantità", "Unità di misura", "Prezzo unitario", "Prezzo totale", "Aliquota IVA o natura" });
}

void CsvRigaSenzaSdi(QByteArray &out, const RigaArchivio &r)
{
    campo(out, r.file, true);
    for (const QString &c : { r.voce(), QString::number(r.corpo), r.formato, r.tipoDocumento, r.descrizioneTipo,
             r.numero, DataItaliana(r.data), r.cedente, r.cedenteId, r.cessionario, r.cessionarioId, r.valuta,
             r.imponibile.conVirgola(), r.imposta.conVirgola(), r.totale.conVirgola(), r.daPagare.conVirgola(),
             QString::number(r.allegati), r.firma })
        campo(out, c);
}

void CsvFineRiga(QByteArray &out, QStringView sdi, int controlli)
{
    campo(out, sdi);
    campo(out, controlli < 0 ? QString() : QString::number(controlli));
    out += "\r\n";
}

void CsvLineeDi(QByteArray &out, const RigaArchivio &r)
{
    const QString voce = r.voce(), corpo = QString::number(r.corpo), data = DataItaliana(r.data);
    for (const LineaFattura &l : r.linee) {
        campo(out, r.file, true);
        for (const QString &c : { voce, corpo, r.numero, data, r.cedente, l.numero, l.codice, l.descrizione,
                 NumeroConVirgola(l.quantita), l.unita, NumeroConVirgola(l.prezzoUnitario),
                 NumeroConVirgola(l.prezzoTotale), NumeroConVirgola(l.aliquotaONatura) })
            campo(out, c);
        out += "\r\n";
    }
}

QByteArray CsvRighe(const std::vector<const RigaArchivio *> &righe)
{
    QByteArray out = CsvIntestazioneRighe();
    for (const RigaArchivio *r : righe) {
        CsvRigaSenzaSdi(out, *r);
        CsvFineRiga(out, r->sdi, r->controlli);
    }
    return out;
}

QByteArray CsvLinee(const std::vector<const RigaArchivio *> &righe)
{
    QByteArray out = CsvIntestazioneLinee();
    for (const RigaArchivio *r : righe)
        CsvLineeDi(out, *r);
    return out;
}
