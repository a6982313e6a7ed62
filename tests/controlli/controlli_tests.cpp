// The exchange system's checks run offline: every content check failing and
// passing on a good invoice changed in one place, the schema's errors in the
// program's words, the files that cannot be checked, the real invoices of
// the shared corpus, big and hostile inputs, threads and the outputs.
#include "controlli/controlli.h"
#include "controlli/controlli_p.h"
#include "controlli/decimale.h"
#include "controlli/identificativi.h"
#include "controlli/lettura.h"
#include "controlli/uscita.h"
#include "invoice/xmlsicuro.h"
#include "support/fatturaconforme.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {
const QDate Oggi(2024, 6, 1);

const char *const Buona = FatturaConforme;

const SchemiFattura &schemi()
{
    static const SchemiFattura s(programDir() + QStringLiteral("/SCHEMI"));
    return s;
}

// Replaces every occurrence (the change must be there: a row that changes
// nothing would pass for the wrong reason).
QByteArray cambia(QByteArray xml, const char *da, const char *a)
{
    EXPECT_TRUE(xml.contains(da)) << da;
    return xml.replace(da, a);
}

QStringList codici(const RisultatoControlli &r)
{
    QStringList c;
    for (const Rilievo &x : r.rilievi)
        c << (x.codice.isEmpty() ? QStringLiteral("avviso") : x.codice);
    return c;
}

// The archive's way: the findings' codes of the checks on the one walk (the
// quick schema check, else libxml2), in order.
QStringList codiciInLettura(const QByteArray &xml)
{
    const PercorsiFattura percorsi;
    ControlliInLettura c;
    const DocumentoFattura doc(xml, percorsi, DocumentoFattura::Modo::Rapido, c.osservatore());
    QStringList trovati = codici(c.risultato(schemi(), xml, doc.lettoRapido(), Oggi));
    trovati.sort();
    return trovati;
}

// Whether the quick schema check says the invoice is valid, without libxml2.
bool presaRapida(const QByteArray &xml)
{
    AlberoFattura albero;
    AlberoFattura::Costruttore costruttore(albero);
    const PercorsiFattura percorsi;
    const DocumentoFattura doc(xml, percorsi, DocumentoFattura::Modo::Rapido, &costruttore);
    costruttore.concludi();
    for (const auto &rapido : schemi().dati().rapido)
        if (doc.lettoRapido() && rapido && rapido->valido(albero))
            return true;
    return false;
}

struct Caso {
    const char *nome;
    std::vector<std::pair<const char *, const char *>> cambi;
    const char *codici; // every finding's code ("avviso" for a warning), the one shown below first; empty: none
    const char *campo; // of the first finding with the first code
    const char *messaggio;
    const char *base = Buona; // the good invoice the changes apply to
};

void verifica(const Caso &c)
{
    QByteArray xml(c.base);
    for (const auto &[da, a] : c.cambi)
        xml = cambia(xml, da, a);
    const RisultatoControlli r = ControllaFattura(schemi(), xml, Oggi);
    QStringList trovati = codici(r), attesi = QString::fromLatin1(c.codici).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype primo = trovati.indexOf(attesi.value(0));
    trovati.sort();
    std::sort(attesi.begin(), attesi.end());
    EXPECT_EQ(trovati, attesi);
    // The archive's one walk finds the same; the quick check takes exactly
    // the invoices the schema accepts.
    EXPECT_EQ(codiciInLettura(xml), trovati);
    EXPECT_EQ(presaRapida(xml), !trovati.contains(QStringLiteral("00200")));
    EXPECT_EQ(r.esito, r.errori() > 0 ? EsitoControllo::NonConforme : EsitoControllo::Conforme);
    if (primo < 0)
        return;
    EXPECT_EQ(r.rilievi[primo].campo.toStdString(), c.campo);
    EXPECT_EQ(r.rilievi[primo].messaggio.toStdString(), c.messaggio);
}

const char *const Riga3 = "<DatiRiepilogo><AliquotaIVA>22.00";
const char *const Linea10
    = "<DettaglioLinee><NumeroLinea>3</NumeroLinea><Descrizione>Libri</Descrizione><PrezzoUnitario>"
      "1.00</PrezzoUnitario><PrezzoTotale>1.00</PrezzoTotale><AliquotaIVA>10.00</AliquotaIVA>"
      "</DettaglioLinee><DatiRiepilogo><AliquotaIVA>22.00";

const Caso Contenuto[] = {
    { "buona", {}, "", "", "" },
    { "00400_zero_senza_natura",
        { { "0.00</AliquotaIVA><Natura>N4</Natura></DettaglioLinee>", "0.00</AliquotaIVA></DettaglioLinee>" } },
        "00400 00444", "2.2.1.14 Natura",
        "Linea 2 con aliquota IVA zero senza la natura dell'operazione (da N1 a N7), che dica perché l'IVA non si "
        "applica." },
    { "00401_natura_con_aliquota",
        { { "<Ritenuta>SI</Ritenuta></DettaglioLinee>",
            "<Ritenuta>SI</Ritenuta><Natura>N4</Natura></DettaglioLinee>" } },
        "00401", "2.2.1.14 Natura",
        "Linea 1 con aliquota IVA 22.00% e natura N4: la natura si indica solo con aliquota zero." },
    { "00429_riepilogo_senza_natura",
        { { "<AliquotaIVA>0.00</AliquotaIVA><Natura>N4</Natura><Imponibile",
            "<AliquotaIVA>0.00</AliquotaIVA><Imponibile" } },
        "00444 00429", "2.2.1.14 Natura", "La natura N4 compare nella linea 2 ma in nessun riepilogo IVA." },
    { "00430_riepilogo_natura_con_aliquota",
        { { "<AliquotaIVA>22.00</AliquotaIVA><Imponibile",
            "<AliquotaIVA>22.00</AliquotaIVA><Natura>N4</Natura><Imponibile" } },
        "00430 avviso", "2.2.2.2 Natura",
        "Riepilogo IVA con aliquota IVA 22.00% e natura N4: la natura si indica solo con aliquota zero." },
    { "00413_cassa_zero_senza_natura",
        { { "<AliquotaIVA>22.00</AliquotaIVA><Ritenuta>SI</Ritenuta></DatiCassa",
            "<AliquotaIVA>0.00</AliquotaIVA><Ritenuta>SI</Ritenuta></DatiCassa" } },
        "00413 00422 00422", "2.1.1.7.7 Natura",
        "Cassa previdenziale con aliquota IVA zero senza la natura dell'operazione (da N1 a N7), che dica perché "
        "l'IVA non si applica." },
    { "00414_cassa_natura_con_aliquota",
        { { "<Ritenuta>SI</Ritenuta></DatiCassa", "<Ritenuta>SI</Ritenuta><Natura>N4</Natura></DatiCassa" } }, "00414",
        "2.1.1.7.7 Natura",
        "Cassa previdenziale con aliquota IVA 22.00% e natura N4: la natura si indica solo con aliquota zero." },
    { "00423_totale_linea", { { "<PrezzoTotale>90.00", "<PrezzoTotale>90.02" } }, "00423", "2.2.1.11 PrezzoTotale",
        "Linea 1: il prezzo totale 90.02 non è prezzo unitario (con sconti e maggiorazioni) per quantità, che fa "
        "90.00; la tolleranza è di un centesimo." },
    { "00423_entro_un_centesimo", { { "<PrezzoTotale>90.00", "<PrezzoTotale>90.01" } }, "", "", "" },
    { "00423_sconto_per_importo", { { "<Percentuale>10.00</Percentuale>", "<Importo>5.00</Importo>" } }, "", "", "" },
    { "00423_maggiorazione", { { "<Tipo>SC</Tipo>", "<Tipo>MG</Tipo>" } }, "00423", "2.2.1.11 PrezzoTotale",
        "Linea 1: il prezzo totale 90.00 non è prezzo unitario (con sconti e maggiorazioni) per quantità, che fa "
        "110.00; la tolleranza è di un centesimo." },
    { "00421_imposta", { { "<Imposta>20.68", "<Imposta>20.70" } }, "00421", "2.2.2.6 Imposta",
        "Riepilogo IVA al 22.00%: l'imposta 20.70 non è imponibile per aliquota, che fa 20.68; la tolleranza è di "
        "un centesimo." },
    { "00421_entro_un_centesimo", { { "<Imposta>20.68", "<Imposta>20.69" } }, "", "", "" },
    { "00422_imponibile",
        { { "<ImponibileImporto>94.00", "<ImponibileImporto>96.00" }, { "<Imposta>20.68", "<Imposta>21.12" } }, "00422",
        "2.2.2.5 ImponibileImporto",
        "Riepilogo IVA al 22.00%: l'imponibile 96.00 non è la somma dei prezzi totali delle linee e dei contributi "
        "cassa a quell'aliquota, più l'arrotondamento, che fa 94.00; la tolleranza è di un euro." },
    { "00422_entro_un_euro",
        { { "<ImponibileImporto>94.00", "<ImponibileImporto>94.90" }, { "<Imposta>20.68", "<Imposta>20.88" } }, "", "",
        "" },
    { "00419_aliquota_senza_riepilogo", { { Riga3, Linea10 } }, "00419", "2.2.2 DatiRiepilogo",
        "Manca il riepilogo IVA dell'aliquota 10.00%, usata nella linea 3." },
    { "00443_riepilogo_senza_linee",
        { { "</DatiBeniServizi>",
            "<DatiRiepilogo><AliquotaIVA>10.00</AliquotaIVA><ImponibileImporto>0.00</ImponibileImporto><Imposta>0.00</"
            "Imposta></DatiRiepilogo></DatiBeniServizi>" } },
        "00443", "2.2.2.1 AliquotaIVA",
        "Il riepilogo IVA ha l'aliquota 10.00%, che nessuna linea e nessuna cassa previdenziale usa." },
    { "00411_linea_con_ritenuta",
        { { "<AliquotaIVA>22.00</AliquotaIVA><Ritenuta>SI</Ritenuta></DatiCassa",
              "<AliquotaIVA>22.00</AliquotaIVA></DatiCassa" },
            { "<DatiRitenuta><TipoRitenuta>RT01</TipoRitenuta><ImportoRitenuta>18.00</"
              "ImportoRitenuta><AliquotaRitenuta>20.00</AliquotaRitenuta><CausalePagamento>A</CausalePagamento></"
              "DatiRitenuta>",
                "" } },
        "00411", "2.1.1.5 DatiRitenuta",
        "La linea 1 è soggetta a ritenuta (Ritenuta SI), ma mancano i dati della ritenuta." },
    { "00415_cassa_con_ritenuta",
        { { "<Ritenuta>SI</Ritenuta></DettaglioLinee>", "</DettaglioLinee>" },
            { "<DatiRitenuta><TipoRitenuta>RT01</TipoRitenuta><ImportoRitenuta>18.00</"
              "ImportoRitenuta><AliquotaRitenuta>20.00</AliquotaRitenuta><CausalePagamento>A</CausalePagamento></"
              "DatiRitenuta>",
                "" } },
        "00415", "2.1.1.5 DatiRitenuta",
        "Il contributo alla cassa previdenziale è soggetto a ritenuta (Ritenuta SI), ma mancano i dati della "
        "ritenuta." },
    { "00403_data_futura", { { "2024-05-10", "2024-06-02" } }, "00403", "2.1.1.3 Data",
        "La data del documento (02/06/2024) è successiva a oggi (01/06/2024): il Sistema di Interscambio scarta una "
        "fattura datata dopo il giorno in cui la riceve." },
    { "00403_data_di_oggi", { { "2024-05-10", "2024-06-01" } }, "", "", "" },
    { "00418_nota_prima_della_fattura",
        { { "TD01", "TD04" },
            { "</DatiGeneraliDocumento>",
                "</DatiGeneraliDocumento><DatiFattureCollegate><IdDocumento>7</IdDocumento><Data>2024-05-20</Data></"
                "DatiFattureCollegate>" } },
        "00418", "2.1.1.3 Data",
        "La nota di credito è datata 10/05/2024, prima della fattura collegata del 20/05/2024." },
    { "00471_stesso_soggetto", { { "12345678903", "01234567897" } }, "00471", "2.1.1.1 TipoDocumento",
        "Con il tipo documento TD01 cedente e cessionario devono essere soggetti diversi: qui sono lo stesso." },
    { "00472_autoconsumo_a_altri", { { "TD01", "TD27" } }, "00472", "2.1.1.1 TipoDocumento",
        "Con il tipo documento TD27 (autofattura) cedente e cessionario devono essere lo stesso soggetto: qui sono "
        "diversi." },
    { "00472_autoconsumo", { { "TD01", "TD27" }, { "12345678903", "01234567897" } }, "", "", "" },
    { "00473_integrazione_cedente_italiano", { { "TD01", "TD17" } }, "00473", "1.2.1.1.1 IdPaese",
        "Con il tipo documento TD17 (integrazione per un acquisto dall'estero) il cedente non può essere italiano." },
    { "00473_cedente_estero",
        { { "TD01", "TD17" },
            { "<IdPaese>IT</IdPaese><IdCodice>01234567897", "<IdPaese>DE</IdPaese><IdCodice>01234567897" } },
        "", "", "" },
    { "00474_zero_in_integrazione", { { "TD01", "TD16" } }, "00474", "2.2.1.12 AliquotaIVA",
        "Linea 2 con aliquota IVA zero: un documento TD16 serve a far pagare l'IVA, e non ammette linee senza "
        "imposta." },
    { "00475_integrazione_senza_partita_iva",
        { { "TD01", "TD17" },
            { "<IdPaese>IT</IdPaese><IdCodice>01234567897", "<IdPaese>DE</IdPaese><IdCodice>01234567897" },
            { "<IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>12345678903</IdCodice></IdFiscaleIVA>", "" } },
        "00475", "1.4.1.1 IdFiscaleIVA",
        "Con il tipo documento TD17 il cessionario, che emette il documento, deve indicare la sua partita IVA." },
    // TD28, a purchase from San Marino on a paper invoice with VAT: a supplier of San Marino, the buyer's VAT number.
    { "td28_cedente_sammarinese",
        { { "TD01", "TD28" },
            { "<IdPaese>IT</IdPaese><IdCodice>01234567897", "<IdPaese>SM</IdPaese><IdCodice>01234567897" } },
        "", "", "" },
    { "00473_td28_cedente_non_sammarinese", { { "TD01", "TD28" } }, "00473", "1.2.1.1.1 IdPaese",
        "Con il tipo documento TD28 (acquisto da San Marino) il cedente deve essere di San Marino: qui il paese è "
        "IT." },
    { "00475_td28_senza_partita_iva",
        { { "TD01", "TD28" },
            { "<IdPaese>IT</IdPaese><IdCodice>01234567897", "<IdPaese>SM</IdPaese><IdCodice>01234567897" },
            { "<IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>12345678903</IdCodice></IdFiscaleIVA>", "" } },
        "00475", "1.4.1.1 IdFiscaleIVA",
        "Con il tipo documento TD28 il cessionario, che emette il documento, deve indicare la sua partita IVA." },
    // TD29, the recipient's report of a missing or irregular invoice (from 1 April 2025): an Italian supplier,
    // another subject than the recipient, the recipient's VAT number.
    { "td29_comunicazione", { { "TD01", "TD29" } }, "", "", "" },
    { "00471_td29_stesso_soggetto", { { "TD01", "TD29" }, { "12345678903", "01234567897" } }, "00471",
        "2.1.1.1 TipoDocumento",
        "Con il tipo documento TD29 cedente e cessionario devono essere soggetti diversi: qui sono lo stesso." },
    { "00473_td29_cedente_estero",
        { { "TD01", "TD29" },
            { "<IdPaese>IT</IdPaese><IdCodice>01234567897", "<IdPaese>DE</IdPaese><IdCodice>01234567897" } },
        "00473", "1.2.1.1.1 IdPaese",
        "Con il tipo documento TD29 (comunicazione di una fattura omessa o irregolare) il cedente deve essere "
        "italiano: qui il paese è DE." },
    { "00475_td29_senza_partita_iva",
        { { "TD01", "TD29" },
            { "<IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>12345678903</IdCodice></IdFiscaleIVA>", "" } },
        "00475", "1.4.1.1 IdFiscaleIVA",
        "Con il tipo documento TD29 il cessionario, che emette il documento, deve indicare la sua partita IVA." },
    { "00417_cessionario_senza_identificativi",
        { { "<IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>12345678903</IdCodice></IdFiscaleIVA>", "" },
            { "<CodiceFiscale>BNCLGU90T10L219J</CodiceFiscale>", "" } },
        "00417", "1.4.1.1 IdFiscaleIVA",
        "Il cessionario non ha né partita IVA né codice fiscale: ne serve almeno uno." },
    { "00420_inversione_e_scissione",
        { { "N4", "N6.3" },
            { "<Imposta>0.00</Imposta>", "<Imposta>0.00</Imposta><EsigibilitaIVA>S</EsigibilitaIVA>" } },
        "00420", "2.2.2.2 Natura",
        "Riepilogo IVA al 0.00% con natura N6.3 (inversione contabile) ed esigibilità S (scissione dei pagamenti): le "
        "due cose si escludono." },
    { "00424_aliquota_come_frazione", { { "<AliquotaIVA>22.00", "<AliquotaIVA>0.22" } }, "00424 00424 00424 00421",
        "2.1.1.7.5 AliquotaIVA",
        "Cassa previdenziale con aliquota IVA 0.22: l'aliquota va scritta in percentuale (22.00 per il 22%), non come "
        "frazione." },
    { "00425_numero_senza_cifre", { { "FT/1", "FT/A" } }, "00425", "2.1.1.4 Numero",
        "Il numero del documento FT/A non contiene cifre: ne serve almeno una." },
    { "00427_codice_destinatario", { { "ABC1234", "ABC123" } }, "00427", "1.1.4 CodiceDestinatario",
        "Il codice destinatario ABC123 ha 6 caratteri, ma il formato FPR12 ne vuole 7: 6 per le fatture alla pubblica "
        "amministrazione (FPA12), 7 per quelle tra privati (FPR12)." },
    { "00428_versione", { { "versione=\"FPR12\"", "versione=\"FPA12\"" } }, "00428", "1.1.3 FormatoTrasmissione",
        "Il formato di trasmissione FPR12 non corrisponde alla versione FPA12 indicata nell'elemento radice." },
    { "00437_sconto_vuoto",
        { { "</DatiCassaPrevidenziale>",
            "</DatiCassaPrevidenziale><ScontoMaggiorazione><Tipo>SC</Tipo></ScontoMaggiorazione>" } },
        "00437", "2.1.1.8.2 Percentuale", "Sconto o maggiorazione sul documento senza percentuale né importo." },
    { "00444_nature_diverse", { { "<Natura>N4</Natura></DettaglioLinee>", "<Natura>N2.2</Natura></DettaglioLinee>" } },
        "00444 00444", "2.2.1.14 Natura", "La natura N2.2 compare nella linea 2 ma in nessun riepilogo IVA." },
    { "00445_natura_generica", { { "N4", "N2" } }, "00445 00445", "2.2.1.14 Natura",
        "Linea 2 con natura N2: dal 2021 va indicato il sottocodice (per esempio N2.1)." },
    { "00300_trasmittente", { { "09876543217", "09876543210" } }, "00300", "1.1.1.2 IdCodice",
        "Codice fiscale del trasmittente 09876543210 non valido: l'ultima cifra dovrebbe essere 7. Qui si controlla "
        "solo la cifra di controllo: se il numero esista davvero lo sa solo l'Anagrafe tributaria." },
    { "00301_partita_iva_cedente", { { "01234567897", "01234567890" } }, "00301", "1.2.1.1.2 IdCodice",
        "Partita IVA del cedente 01234567890 non valida: l'ultima cifra dovrebbe essere 7. Qui si controlla solo la "
        "cifra di controllo: se il numero esista davvero lo sa solo l'Anagrafe tributaria." },
    { "00305_partita_iva_cessionario", { { "12345678903", "1234567890" } }, "00305", "1.4.1.1.2 IdCodice",
        "Partita IVA del cessionario 1234567890 non valida: una partita IVA italiana ha 11 cifre." },
    { "00306_codice_fiscale_cessionario", { { "BNCLGU90T10L219J", "BNCLGU90T10L219K" } }, "00306",
        "1.4.1.2 CodiceFiscale",
        "Codice fiscale del cessionario BNCLGU90T10L219K non valido: l'ultimo carattere dovrebbe essere J. Qui si "
        "controlla solo il carattere di controllo: se il codice esista davvero lo sa solo l'Anagrafe tributaria." },
    { "codice_fiscale_omocodico", { { "BNCLGU90T10L219J", "BNCLGU90T10L2NVK" } }, "", "", "" },
    { "codice_fiscale_cedente_avviso",
        { { "</IdFiscaleIVA>\n<Anagrafica><Denominazione>Studio",
            "</IdFiscaleIVA><CodiceFiscale>RSSMRA80A01H501</CodiceFiscale><Anagrafica><Denominazione>Studio" } },
        "avviso", "1.2.1.2 CodiceFiscale",
        "Codice fiscale del cedente RSSMRA80A01H501 non valido: ci vogliono 16 caratteri (lettere e cifre nei loro "
        "posti) o, per una società, 11 cifre." },
    { "bollo_mancante",
        { { "<PrezzoUnitario>10.00</PrezzoUnitario><PrezzoTotale>10.00",
              "<PrezzoUnitario>100.00</PrezzoUnitario><PrezzoTotale>100.00" },
            { "<ImponibileImporto>10.00", "<ImponibileImporto>100.00" } },
        "avviso", "2.1.1.6 DatiBollo",
        "Importi senza IVA per 100.00 euro, oltre 77,47: la fattura deve probabilmente l'imposta di bollo di 2,00 "
        "euro, che qui non è indicata. Il Sistema di Interscambio non la scarta per questo." },
    { "bollo_indicato",
        { { "<PrezzoUnitario>10.00</PrezzoUnitario><PrezzoTotale>10.00",
              "<PrezzoUnitario>100.00</PrezzoUnitario><PrezzoTotale>100.00" },
            { "<ImponibileImporto>10.00", "<ImponibileImporto>100.00" },
            { "</DatiRitenuta>",
                "</DatiRitenuta><DatiBollo><BolloVirtuale>SI</BolloVirtuale><ImportoBollo>2.00</ImportoBollo></"
                "DatiBollo>" } },
        "", "", "" },
    { "bollo_importo",
        { { "</DatiRitenuta>",
            "</DatiRitenuta><DatiBollo><BolloVirtuale>SI</BolloVirtuale><ImportoBollo>1.81</ImportoBollo></"
            "DatiBollo>" } },
        "avviso", "2.1.1.6.2 ImportoBollo",
        "L'imposta di bollo su una fattura è di 2,00 euro: qui ne sono indicati 1.81." },
};

const Caso Schema[] = {
    { "fuori_posto", { { "<ProgressivoInvio>", "<ContattiTrasmittente/><ProgressivoInvio>" } }, "00200",
        "1.1.5 ContattiTrasmittente",
        "Elemento ContattiTrasmittente fuori posto: qui ci si aspetta ProgressivoInvio." },
    { "manca_numero", { { "<Numero>FT/1</Numero>", "" } }, "00200", "2.1.1.5 DatiRitenuta",
        "Elemento DatiRitenuta fuori posto: qui ci si aspetta Numero." },
    { "manca_alla_fine",
        { { "<ImponibileImporto>10.00</ImponibileImporto><Imposta>0.00</Imposta><RiferimentoNormativo>Art. "
            "10</RiferimentoNormativo>",
            "" } },
        "00200", "2.2.2 DatiRiepilogo",
        "In DatiRiepilogo manca un elemento obbligatorio: ci si aspetta uno tra SpeseAccessorie, Arrotondamento e "
        "ImponibileImporto." },
    { "fuori_elenco", { { "RF01", "RF99" } }, "00200", "1.2.1.8 RegimeFiscale",
        "Valore 'RF99' non ammesso per RegimeFiscale: i valori possibili sono RF01, RF02, RF04, RF05, RF06, RF07, "
        "RF08, "
        "RF09, RF10, RF11, RF12, RF13 e altri 7." },
    { "forma", { { "<CAP>00100", "<CAP>0010" } }, "00200", "1.2.2.3 CAP",
        "Valore '0010' non valido per CAP: ci vogliono 5 cifre." },
    { "troppo_lungo",
        { { "Studio Alfa",
            "Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio" } },
        "00200", "1.2.1.3.1 Denominazione",
        "Valore 'Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio Alfa Studio' non "
        "valido "
        "per Denominazione: ci vogliono da 1 a 80 caratteri dell'alfabeto latino." },
    { "esponente", { { "<PrezzoTotale>90.00", "<PrezzoTotale>9e1" } }, "00200", "2.2.1.11 PrezzoTotale",
        "Valore '9e1' non valido per PrezzoTotale: ci vuole un numero con il punto decimale, senza esponente (per "
        "esempio 1234.50)." },
    { "nove_decimali", { { "<Quantita>2.00", "<Quantita>2.000000001" } }, "00200", "2.2.1.5 Quantita",
        "Valore '2.000000001' non valido per Quantita: ci vuole una quantità con il punto e da 2 a 8 decimali (per "
        "esempio 1.00)." },
    { "troppo_grande",
        { { "<AliquotaIVA>0.00</AliquotaIVA><Natura>N4</Natura></Dettaglio",
            "<AliquotaIVA>100.01</AliquotaIVA><Natura>N4</Natura></Dettaglio" } },
        "00200 00401 00419 00443", "2.2.1.12 AliquotaIVA",
        "Valore 100.01 troppo grande per AliquotaIVA: il massimo è 100.00." },
    { "data_inesistente", { { "2024-05-10", "2024-02-30" } }, "00200", "2.1.1.3 Data",
        "Valore '2024-02-30' non valido per Data: ci vuole una data esistente nella forma aaaa-mm-gg." },
    { "attributo_estraneo", { { "versione=\"FPR12\"", "versione=\"FPR12\" x=\"1\"" } }, "00200",
        "FatturaElettronica, attributo x", "Attributo x non ammesso in FatturaElettronica." },
    { "attributo_mancante", { { "versione=\"FPR12\"", "" } }, "00200", "FatturaElettronica, attributo versione",
        "Manca l'attributo obbligatorio versione in FatturaElettronica." },
    { "versione_fuori_elenco", { { "versione=\"FPR12\"", "versione=\"FPR13\"" } }, "00200 00428",
        "FatturaElettronica, attributo versione",
        "Valore 'FPR13' non ammesso per l'attributo versione di FatturaElettronica: i valori possibili sono FPA12 e "
        "FPR12." },
    { "elementi_in_testo", { { "<ProgressivoInvio>00001", "<ProgressivoInvio>00001<X/>" } }, "00200",
        "1.1.2 ProgressivoInvio", "ProgressivoInvio deve contenere solo testo, non altri elementi." },
    { "testo_tra_elementi", { { "<DatiTrasmissione>", "<DatiTrasmissione>testo" } }, "00200", "1.1 DatiTrasmissione",
        "DatiTrasmissione non può contenere testo, solo altri elementi." },
};

// Conforme too: a simplified invoice (TD07).
const char *const BuonaSemplificata = R"(<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronicaSemplificata versione="FSM10" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.0">
<FatturaElettronicaHeader>
<DatiTrasmissione><IdTrasmittente><IdPaese>IT</IdPaese><IdCodice>09876543217</IdCodice></IdTrasmittente>
<ProgressivoInvio>00001</ProgressivoInvio><FormatoTrasmissione>FSM10</FormatoTrasmissione>
<CodiceDestinatario>ABC1234</CodiceDestinatario></DatiTrasmissione>
<CedentePrestatore><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567897</IdCodice></IdFiscaleIVA>
<Denominazione>Studio Alfa</Denominazione><Sede><Indirizzo>Via Roma 1</Indirizzo><CAP>00100</CAP><Comune>Roma</Comune>
<Nazione>IT</Nazione></Sede><RegimeFiscale>RF01</RegimeFiscale></CedentePrestatore>
<CessionarioCommittente><IdentificativiFiscali><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>12345678903</IdCodice>
</IdFiscaleIVA></IdentificativiFiscali></CessionarioCommittente>
</FatturaElettronicaHeader>
<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD07</TipoDocumento><Divisa>EUR</Divisa>
<Data>2024-05-10</Data><Numero>FS/1</Numero></DatiGeneraliDocumento></DatiGenerali>
<DatiBeniServizi><Descrizione>Caffè</Descrizione><Importo>12.20</Importo><DatiIVA><Imposta>2.20</Imposta></DatiIVA>
</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronicaSemplificata>
)";

const Caso Semplificata[] = {
    { "buona", {}, "", "", "", BuonaSemplificata },
    { "00471_td07_stesso_soggetto", { { "12345678903", "01234567897" } }, "00471", "TipoDocumento",
        "Con il tipo documento TD07 cedente e cessionario devono essere soggetti diversi: qui sono lo stesso.",
        BuonaSemplificata },
};

class ControlliContenuto : public testing::TestWithParam<Caso> { };
TEST_P(ControlliContenuto, CodiceCampoEFrase)
{
    verifica(GetParam());
}
auto nomeCaso = [](const testing::TestParamInfo<Caso> &i) { return std::string(i.param.nome); };
INSTANTIATE_TEST_SUITE_P(Controlli, ControlliContenuto, testing::ValuesIn(Contenuto), nomeCaso);
INSTANTIATE_TEST_SUITE_P(Schema, ControlliContenuto, testing::ValuesIn(Schema), nomeCaso);
INSTANTIATE_TEST_SUITE_P(Semplificata, ControlliContenuto, testing::ValuesIn(Semplificata), nomeCaso);

TEST(Controlli, FiftySchemaErrorsThenOneFindingAndEveryContentFinding)
{
    // 10,000 lines whose total breaks both the schema (one decimal) and the
    // arithmetic; the last one's number is past the schema's 9999 too.
    QByteArray linee;
    for (int i = 1; i <= 10000; ++i)
        linee += "<DettaglioLinee><NumeroLinea>" + QByteArray::number(i)
            + "</NumeroLinea><Descrizione>x</Descrizione><PrezzoUnitario>1.00</PrezzoUnitario><PrezzoTotale>2.0"
              "</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>\n";
    const QByteArray xml
        = cambia(QByteArray(Buona), "<DatiRiepilogo><AliquotaIVA>22.00", linee + "<DatiRiepilogo><AliquotaIVA>22.00");
    const RisultatoControlli r = ControllaFattura(schemi(), xml, Oggi);
    EXPECT_EQ(r.erroriSchema, 10001);
    const QStringList c = codici(r);
    EXPECT_EQ(c.count(QStringLiteral("00200")), 50);
    EXPECT_EQ(c.value(50), QStringLiteral("00201"));
    EXPECT_EQ(r.rilievi[50].messaggio,
        QStringLiteral("Gli errori di formato sono 10001: come il Sistema di Interscambio, "
                       "se ne elencano i primi 50."));
    EXPECT_EQ(c.count(QStringLiteral("00423")), 10000);
    EXPECT_EQ(r.rilievi[r.rilievi.size() - 2].linea, QStringLiteral("10000"));
    EXPECT_EQ(c.last(), QStringLiteral("00422"));
    EXPECT_EQ(FraseBarra(r), QStringLiteral("La fattura non supererebbe i controlli dello SdI: 10052 errori"));
}

TEST(Controlli, ThousandBodiesEachCheckedAndNamed)
{
    const QByteArray xml(Buona);
    const qsizetype inizio = xml.indexOf("<FatturaElettronicaBody>"), fine = xml.indexOf("</p:Fattura");
    QByteArray corpi;
    for (int i = 0; i < 999; ++i)
        corpi += xml.mid(inizio, fine - inizio);
    corpi += cambia(xml.mid(inizio, fine - inizio), "<PrezzoTotale>90.00", "<PrezzoTotale>91.00");
    const RisultatoControlli r = ControllaFattura(schemi(), xml.left(inizio) + corpi + xml.mid(fine), Oggi);
    ASSERT_EQ(codici(r), QStringList { QStringLiteral("00423") });
    EXPECT_EQ(r.rilievi[0].corpo, 1000);
    EXPECT_EQ(r.rilievi[0].linea, QStringLiteral("1"));
}

TEST(Controlli, LinesPast65535AreCountedFromTheFile)
{
    const QByteArray xml = cambia(
        QByteArray(Buona), "<PrezzoTotale>90.00", QByteArray(70000, '\n').append("<PrezzoTotale>91.00").constData());
    const RisultatoControlli r = ControllaFattura(schemi(), xml, Oggi);
    ASSERT_EQ(codici(r), QStringList { QStringLiteral("00423") });
    EXPECT_EQ(r.rilievi[0].riga, 70020);
}

TEST(Controlli, LongValuesAreQuotedShort)
{
    const QByteArray lungo(1 << 20, 'A');
    const RisultatoControlli r = ControllaFattura(schemi(), cambia(QByteArray(Buona), "FT/1", lungo.constData()), Oggi);
    ASSERT_EQ(codici(r), (QStringList { QStringLiteral("00200"), QStringLiteral("00425") }));
    for (const Rilievo &x : r.rilievi) {
        EXPECT_EQ(x.trovato, QString(100, QLatin1Char('A')) + QChar(0x2026));
        EXPECT_LT(x.messaggio.size(), 300);
    }
}

TEST(Controlli, ParsedDocumentGivesWhatBytesGive)
{
    const QByteArray xml = cambia(QByteArray(Buona), "<Imposta>20.68", "<Imposta>20.70");
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(xml, errore);
    ASSERT_TRUE(doc);
    EXPECT_EQ(RisultatoJson(QStringLiteral("f"), ControllaDocumento(schemi(), doc.get(), Oggi)),
        RisultatoJson(QStringLiteral("f"), ControllaFattura(schemi(), xml, Oggi)));
}

TEST(Controlli, SchemasSharedAcrossThreads)
{
    const QByteArray cattiva = cambia(QByteArray(Buona), "<CAP>00100", "<CAP>0010");
    const QByteArray attesa = RisultatoJson(QString(), ControllaFattura(schemi(), cattiva, Oggi));
    std::vector<std::thread> fili;
    std::atomic<int> diversi { 0 };
    for (int t = 0; t < 4; ++t)
        fili.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                if (RisultatoJson(QString(), ControllaFattura(schemi(), cattiva, Oggi)) != attesa)
                    ++diversi;
        });
    for (std::thread &f : fili)
        f.join();
    EXPECT_EQ(diversi, 0);
}

struct NonControllabile {
    const char *nome;
    QByteArray xml;
    const char *motivo;
};

TEST(Controlli, WhatCannotBeChecked)
{
    const NonControllabile casi[] = {
        { "non XML", "ciao", "Il file non è un XML ben formato (errore alla riga 1): non si può controllare." },
        { "vuoto", " \n", "Il file è vuoto: non è una fattura elettronica." },
        { "altro documento", "<?xml version='1.0'?>\n<Ordine/>",
            "Il file non è una fattura elettronica: il suo elemento principale è Ordine." },
        { "spazio dei nomi", cambia(QByteArray(Buona), "docs/xsd/fatture/v1.2", "docs/xsd/fatture/v9"),
            "La fattura dichiara lo spazio dei nomi \"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v9\", "
            "che "
            "non è quello di nessun formato della fattura elettronica: non c'è uno schema con cui controllarla." },
    };
    for (const NonControllabile &c : casi) {
        const RisultatoControlli r = ControllaFattura(schemi(), c.xml, Oggi);
        EXPECT_EQ(r.esito, EsitoControllo::NonControllabile) << c.nome;
        EXPECT_EQ(r.motivo.toStdString(), c.motivo) << c.nome;
        EXPECT_EQ(FraseBarra(r), r.motivo) << c.nome;
    }
}

TEST(Controlli, MissingOrDamagedSchemasAreSaid)
{
    const SchemiFattura senza(QStringLiteral("/nessuna/cartella"));
    const char *manca = "Manca la cartella SCHEMI/ accanto al programma: i controlli non si possono eseguire.";
    EXPECT_EQ(senza.problema().toStdString(), manca);
    EXPECT_EQ(ControllaFattura(senza, Buona, Oggi).motivo.toStdString(), manca);

    // A folder with a blank in its name, one schema damaged, one missing.
    QTemporaryDir dir;
    const QString cartella = dir.path() + QStringLiteral("/cartella schemi");
    QDir().mkpath(cartella);
    for (const QString &f : QDir(programDir() + QStringLiteral("/SCHEMI")).entryList(QDir::Files))
        QFile::copy(programDir() + QStringLiteral("/SCHEMI/") + f, cartella + QLatin1Char('/') + f);
    writeBytes(cartella + QStringLiteral("/Schema_VFPA12_V1.2.3.xsd"),
        "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>\n<xs:elem");
    QFile::remove(cartella + QStringLiteral("/fatturapa_v1.1.xsd"));
    const SchemiFattura rotti(cartella);
    EXPECT_EQ(ControllaFattura(rotti, Buona, Oggi).motivo.toStdString(),
        "Lo schema SCHEMI/Schema_VFPA12_V1.2.3.xsd è danneggiato o incompleto: i controlli non si possono eseguire.");
    const QByteArray v11
        = cambia(cambia(QByteArray(Buona), "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2",
                     "http://www.fatturapa.gov.it/sdi/fatturapa/v1.1"),
            "versione=\"FPR12\"", "versione=\"1.1\"");
    EXPECT_EQ(ControllaFattura(rotti, v11, Oggi).motivo.toStdString(),
        "Manca lo schema SCHEMI/fatturapa_v1.1.xsd accanto al programma: i controlli non si possono eseguire.");
    // A schema that imports a file outside its folder does not compile, though the file is there.
    QDir().mkpath(dir.path() + QStringLiteral("/fuori"));
    QFile::copy(cartella + QStringLiteral("/xmldsig-core-schema.xsd"), dir.path() + QStringLiteral("/fuori/firma.xsd"));
    const QString fpa = programDir() + QStringLiteral("/SCHEMI/Schema_VFPA12_V1.2.3.xsd");
    writeBytes(cartella + QStringLiteral("/Schema_VFPA12_V1.2.3.xsd"),
        cambia(readBytes(fpa), "schemaLocation=\"xmldsig-core-schema.xsd\"", "schemaLocation=\"../fuori/firma.xsd\""));
    EXPECT_EQ(SchemiFattura(cartella).problema().toStdString(),
        "Lo schema SCHEMI/Schema_VFPA12_V1.2.3.xsd è "
        "danneggiato o incompleto (riga 8): i controlli non si "
        "possono eseguire.");
    // The signature schema, imported by the simplified one, is read from the folder with the blank.
    REQUIRE_CORPUS();
    const QByteArray semplificata = readBytes(corpusDir() + QStringLiteral("/xml/realworld/IT01234567890_FSM10.xml"));
    EXPECT_EQ(
        codici(ControllaFattura(rotti, semplificata, Oggi)), codici(ControllaFattura(schemi(), semplificata, Oggi)));
    EXPECT_NE(ControllaFattura(rotti, semplificata, Oggi).esito, EsitoControllo::NonControllabile);
}

// Every real invoice the official schema accepts comes out without a schema finding.
TEST(Controlli, CorpusInvoicesTheSchemaAcceptsPassIt)
{
    REQUIRE_CORPUS();
    int controllate = 0;
    for (const QByteArray &riga : readBytes(corpusDir() + QStringLiteral("/MANIFEST.tsv")).split('\n')) {
        const QByteArray file = riga.left(riga.indexOf('\t'));
        if (!file.startsWith("xml/")
            || !(
                riga.contains("XSD 1.2.3: yes") || riga.contains("XSD FSM1.0.2: yes") || riga.contains("XSD 1.1: yes")))
            continue;
        const RisultatoControlli r
            = ControllaFattura(schemi(), readBytes(corpusDir() + QLatin1Char('/') + QString::fromUtf8(file)), Oggi);
        EXPECT_NE(r.esito, EsitoControllo::NonControllabile) << file.constData() << ": " << r.motivo.toStdString();
        EXPECT_FALSE(codici(r).contains(QStringLiteral("00200"))) << file.constData();
        ++controllate;
    }
    EXPECT_GE(controllate, 15);
}

TEST(Controlli, CorpusInvoicesGiveTheSameFindingsInTheArchivesWalk)
{
    REQUIRE_CORPUS();
    int prese = 0, tutte = 0;
    for (const QString &file : corpusFiles(QStringLiteral("xml"), QStringLiteral(".xml"))) {
        const QByteArray xml = readBytes(file);
        QStringList attesi = codici(ControllaFattura(schemi(), xml, Oggi));
        attesi.sort();
        EXPECT_EQ(codiciInLettura(xml), attesi) << file.toStdString();
        const bool presa = presaRapida(xml);
        EXPECT_TRUE(!presa || !attesi.contains(QStringLiteral("00200"))) << file.toStdString();
        prese += presa;
        ++tutte;
    }
    std::printf("quick schema check: %d of %d corpus invoices\n", prese, tutte);
    EXPECT_GE(prese, tutte / 2);
}

TEST(Controlli, OutputsForTheWindowAndTheCommandLine)
{
    RisultatoControlli r
        = ControllaFattura(schemi(), cambia(QByteArray(Buona), "<Imposta>20.68", "<Imposta>20.70"), Oggi);
    EXPECT_EQ(FraseBarra(r), QStringLiteral("La fattura non supererebbe i controlli dello SdI: 1 errore"));
    EXPECT_EQ(RisultatoJson(QStringLiteral("a\"b.xml"), r),
        QByteArray(
            R"({"file":"a\"b.xml","esito":"non_conforme","errori":[{"codice":"00421","campo":"2.2.2.6 Imposta",)"
            R"("corpo":1,"linea":22,"trovato":"20.70","atteso":"20.68","messaggio":"Riepilogo IVA al 22.00%: )"
            R"(l'imposta 20.70 non è imponibile per aliquota, che fa 20.68; la tolleranza è di un centesimo."}],)"
            R"("avvisi":[],"motivo":"La fattura non supererebbe i controlli dello SdI: 1 errore"})"
            "\n"));
    r.rilievi[0].trovato = QStringLiteral("20.70\x1b[2J");
    EXPECT_EQ(RisultatoTesto(QStringLiteral("a.xml"), r),
        QStringLiteral(
            "File: a.xml\nEsito: non_conforme\nMotivo: La fattura non supererebbe i controlli dello SdI: 1 "
            "errore\nErrore 1: 00421 2.2.2.6 Imposta (corpo 1, riga 22)\n  Riepilogo IVA al 22.00%: l'imposta "
            "20.70 non è imponibile per aliquota, che fa 20.68; la tolleranza è di un centesimo.\n  Trovato: "
            "20.70\\x1b[2J\n  Atteso: 20.68\n"));
    r.rilievi.append(r.rilievi[0]);
    EXPECT_EQ(FraseBarra(r), QStringLiteral("La fattura non supererebbe i controlli dello SdI: 2 errori"));
    EXPECT_EQ(FraseBarra(ControllaFattura(schemi(), Buona, Oggi)),
        QStringLiteral("La fattura supererebbe i controlli dello SdI"));
}

// Every pattern of the schemas that the quick check matches itself gives
// libxml2's answer on values made to sit around its edges.
TEST(Controlli, QuickPatternsAnswerAsLibxml2)
{
    std::vector<std::string> modelli;
    for (const char *nome : { "Schema_VFPA12_V1.2.3.xsd", "Schema_VFSM10_v1.0.2.xsd", "fatturapa_v1.1.xsd" }) {
        QString errore;
        const DocumentoXml doc
            = CaricaXmlSicuro(readBytes(programDir() + QStringLiteral("/SCHEMI/") + QString::fromLatin1(nome)), errore);
        ASSERT_TRUE(doc) << nome;
        std::vector<const xmlNode *> da { xmlDocGetRootElement(doc.get()) };
        while (!da.empty()) {
            const xmlNode *n = da.back();
            da.pop_back();
            for (const xmlNode *c = n->children; c != nullptr; c = c->next)
                if (c->type == XML_ELEMENT_NODE)
                    da.push_back(c);
            if (xmlStrEqual(n->name, reinterpret_cast<const xmlChar *>("pattern"))) {
                xmlChar *v = xmlGetProp(n, reinterpret_cast<const xmlChar *>("value"));
                modelli.emplace_back(reinterpret_cast<const char *>(v));
                xmlFree(v);
            }
        }
    }
    const std::vector<std::string> lettere = { "a", "Z", "0", "9", "5", ".", "-", " ", "\t", "@", "+", "\xc3\xa9",
        "\xe2\x82\xac", "\x7f", "\xc2\x80", "\xc3\xbf", "\xc4\x80", "/", "_", "x" };
    std::mt19937 caso(7);
    int semplici = 0;
    for (const std::string &testo : modelli) {
        const auto m = SchemaRapido::NuovoModello(testo);
        if (!SchemaRapido::Semplice(*m))
            continue;
        ++semplici;
        const SchemiPtr<xmlRegexp> libxml2(xmlRegexpCompile(reinterpret_cast<const xmlChar *>(testo.c_str())));
        ASSERT_TRUE(libxml2) << testo;
        for (int prova = 0; prova < 3000; ++prova) {
            std::string valore;
            // Mostly near the lengths the patterns count, now and then far past them.
            const int lunghezza
                = prova % 50 == 0 ? 1000 + static_cast<int>(caso() % 20) : static_cast<int>(caso() % 40);
            const int insieme = 1 + static_cast<int>(caso() % lettere.size());
            for (int i = 0; i < lunghezza; ++i)
                valore += lettere[caso() % static_cast<unsigned>(insieme)];
            const bool atteso = xmlRegexpExec(libxml2.get(), reinterpret_cast<const xmlChar *>(valore.c_str())) == 1;
            ASSERT_EQ(SchemaRapido::Accetta(*m, valore), atteso) << testo << " on '" << valore << "'";
        }
    }
    EXPECT_GE(semplici, 25);
}

TEST(Decimali, ExactAsWritten)
{
    EXPECT_FALSE(Decimale::leggi(u"1e3").valido());
    EXPECT_FALSE(Decimale::leggi(u"1,50").valido());
    EXPECT_FALSE(Decimale::leggi(u"").valido());
    EXPECT_FALSE(Decimale::leggi(u"1234567890123456789012345678901234567").valido());
    EXPECT_EQ(Decimale::leggi(u"1.123456789").testo(2), QStringLiteral("1.12"));
    EXPECT_EQ(Decimale::leggi(u"-0.005").testo(2), QStringLiteral("-0.01"));
    EXPECT_EQ((Decimale::leggi(u"0.1") + Decimale::leggi(u"0.2")).testo(), QStringLiteral("0.30"));
    EXPECT_EQ((Decimale::leggi(u"123456789.12345678") * Decimale::leggi(u"999999999999.99999999")).testo(2),
        QStringLiteral("123456789123456779998.77"));
    EXPECT_FALSE((Decimale::leggi(u"999999999999999999999999999999") * Decimale::leggi(u"999999999999")).valido());
    EXPECT_EQ(Decimale::leggi(u"22").chiave(), Decimale::leggi(u"22.000").chiave());
    EXPECT_TRUE(Decimale::leggi(u"99999999999999999999.5") > Decimale::leggi(u"99999999999999999999.49"));
}

TEST(Identificativi, CheckDigits)
{
    EXPECT_EQ(VerificaPartitaIva(u"01234567897").esito, VerificaIdentificativo::Valido);
    EXPECT_EQ(VerificaPartitaIva(u"01234567890").attesa, QChar(u'7'));
    EXPECT_EQ(VerificaPartitaIva(u"0123456789A").esito, VerificaIdentificativo::FormaErrata);
    EXPECT_EQ(VerificaCodiceFiscale(u"BNCLGU90T10L219J").esito, VerificaIdentificativo::Valido);
    EXPECT_EQ(VerificaCodiceFiscale(u"BNCLGU90T10L2NVK").esito, VerificaIdentificativo::Valido);
    EXPECT_EQ(VerificaCodiceFiscale(u"BNCLGU90Z10L219J").esito, VerificaIdentificativo::FormaErrata);
    EXPECT_EQ(VerificaCodiceFiscale(u"12345678903").esito, VerificaIdentificativo::Valido);
}
} // namespace
