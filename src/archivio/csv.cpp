// CSV by RFC 4180 rules, with ";" as the separator Italian spreadsheets expect.
#include "archivio/csv.h"

namespace {
// A text a spreadsheet would take for a formula ("=HYPERLINK(...)", "+1",
// "@SUM") starts with an apostrophe, as spreadsheet makers advise, so that
// it stays text; numbers the program writes itself are left as numbers.
bool formula(QStringView testo)
{
    if (testo.isEmpty())
        return false;
    const QChar c = testo.front();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// A field's text: quoted when it holds the separator, a quote or a line end.
void testoCampo(QByteArray &out, QStringView testo)
{
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

// A field after its separator; a number is one the program wrote itself.
void campo(QByteArray &out, QStringView testo, bool primo = false, bool numero = false)
{
    if (!primo)
        out += ';';
    if (!numero && formula(testo))
        testoCampo(out, QString(u'\'' + testo.toString()));
    else
        testoCampo(out, testo);
}

void importo(QByteArray &out, const Importo &i)
{
    campo(out, i.conVirgola(), false, i.numero());
}

void numero(QByteArray &out, const QString &testo)
{
    campo(out, NumeroConVirgola(testo), false, NumeroScritto(testo));
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
        "Stato SdI", "Controlli" });
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
             r.numero, DataItaliana(r.data), r.cedente, r.cedenteId, r.cessionario, r.cessionarioId, r.valuta })
        campo(out, c);
    for (const Importo *i : { &r.imponibile, &r.imposta, &r.totale, &r.daPagare })
        importo(out, *i);
    campo(out, QString::number(r.allegati));
    campo(out, r.firma);
}

void CsvFineRiga(QByteArray &out, QStringView sdi, QStringView statoSdi, int controlli)
{
    campo(out, sdi);
    campo(out, statoSdi);
    campo(out, controlli < 0 ? QString() : QString::number(controlli));
    out += "\r\n";
}

void CsvLineeDi(QByteArray &out, const RigaArchivio &r)
{
    const QString voce = r.voce(), corpo = QString::number(r.corpo), data = DataItaliana(r.data);
    for (const LineaFattura &l : r.linee) {
        campo(out, r.file, true);
        for (const QString &c : { voce, corpo, r.numero, data, r.cedente, l.numero, l.codice, l.descrizione })
            campo(out, c);
        numero(out, l.quantita);
        campo(out, l.unita);
        for (const QString *n : { &l.prezzoUnitario, &l.prezzoTotale, &l.aliquotaONatura })
            numero(out, *n);
        out += "\r\n";
    }
}

QByteArray CsvRighe(const std::vector<const RigaArchivio *> &righe)
{
    QByteArray out = CsvIntestazioneRighe();
    for (const RigaArchivio *r : righe) {
        CsvRigaSenzaSdi(out, *r);
        CsvFineRiga(out, r->sdi, r->statoSdi, r->controlli);
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

QByteArray CsvRiepilogoIva(const std::vector<VoceRiepilogoIva> &voci)
{
    QByteArray out = intestazione(
        { "Verso", "Valuta", "Aliquota IVA", "Natura", "Esigibilità IVA", "Imponibile", "Imposta", "Fatture" });
    for (const VoceRiepilogoIva &v : voci) {
        campo(out, v.verso, true);
        campo(out, v.valuta);
        numero(out, v.aliquota);
        campo(out, v.natura);
        campo(out, v.esigibilita);
        importo(out, Importo::centesimi(v.imponibile));
        importo(out, Importo::centesimi(v.imposta));
        campo(out, QString::number(v.fatture), false, true);
        out += "\r\n";
    }
    return out;
}
