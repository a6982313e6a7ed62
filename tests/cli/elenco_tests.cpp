// lentiva-cli elenco run as a program: its command line, its three output
// forms with their exact bytes and exit codes, and the header values of the
// real invoices, which must be those of "info".
#include "archivio/zipprova.h"
#include "invoice/header.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/fatturaconforme.h"
#include "support/testsupport.h"

namespace {
struct Uscita {
    int codice = -1;
    QByteArray out;
    QByteArray err;
};

Uscita lentiva(const QStringList &argomenti)
{
    QProcess p;
    p.start(programDir() + QStringLiteral("/lentiva-cli"), argomenti);
    EXPECT_TRUE(p.waitForFinished(60000));
    return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
        p.readAllStandardError() };
}

QByteArray fattura(const QByteArray &corpi)
{
    return "<p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>"
           "FPR12</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>"
           "IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>Città S.p.A."
           "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>"
        + corpi + "</p:FatturaElettronica>";
}

QByteArray corpo(const QByteArray &numero, const QByteArray &imponibile)
{
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD04</TipoDocumento><Divisa>"
           "EUR</Divisa><Data>2024-05-06</Data><Numero>"
        + numero
        + "</Numero></DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi><DettaglioLinee><NumeroLinea>1"
          "</NumeroLinea><Descrizione>Ore</Descrizione><Quantita>3.00</Quantita><PrezzoTotale>"
        + imponibile + "</PrezzoTotale><Natura>N2.2</Natura></DettaglioLinee><DatiRiepilogo><ImponibileImporto>"
        + imponibile + "</ImponibileImporto><Imposta>0.00</Imposta></DatiRiepilogo></DatiBeniServizi>"
        + "</FatturaElettronicaBody>";
}
} // namespace

TEST(Elenco, UsageErrorsExitTwo)
{
    const struct {
        const char *nome;
        QStringList argomenti;
        const char *errore;
    } casi[] = {
        { "no path", { QStringLiteral("elenco"), QStringLiteral("--json") }, "nessun file indicato" },
        { "both forms",
            { QStringLiteral("elenco"), QStringLiteral("--json"), QStringLiteral("--csv"), QStringLiteral("x") },
            "--json e --csv non vanno insieme" },
        { "twice",
            { QStringLiteral("elenco"), QStringLiteral("--righe"), QStringLiteral("--righe"), QStringLiteral("x") },
            "opzione ripetuta: --righe" },
        { "another command's option", { QStringLiteral("elenco"), QStringLiteral("-o"), QStringLiteral("x") },
            "opzione non valida per elenco: -o" },
        { "lines and the summary",
            { QStringLiteral("elenco"), QStringLiteral("--righe"), QStringLiteral("--riepilogo-iva"),
                QStringLiteral("x") },
            "--righe e --riepilogo-iva non vanno insieme" },
        { "a VAT number without the summary",
            { QStringLiteral("elenco"), QStringLiteral("--partita-iva"), QStringLiteral("IT1"), QStringLiteral("x") },
            "--partita-iva vale solo con --riepilogo-iva" },
        { "an escape in an option", { QStringLiteral("elenco"), QStringLiteral("--\x1b[2J"), QStringLiteral("x") },
            "opzione non valida per elenco: --\\x1b[2J" },
        { "lines or messages",
            { QStringLiteral("elenco"), QStringLiteral("--righe"), QStringLiteral("--messaggi"), QStringLiteral("x") },
            "--righe e --messaggi non vanno insieme" },
        { "messages as CSV",
            { QStringLiteral("elenco"), QStringLiteral("--messaggi"), QStringLiteral("--csv"), QStringLiteral("x") },
            "--messaggi e --csv non vanno insieme" },
    };
    for (const auto &c : casi) {
        const Uscita u = lentiva(c.argomenti);
        EXPECT_EQ(u.codice, 2) << c.nome;
        EXPECT_EQ(u.err, "lentiva-cli: " + QByteArray(c.errore) + "\nPer l'aiuto: lentiva-cli --help\n") << c.nome;
    }
}

TEST(Elenco, TableJsonAndCsvOfAFolderWithOneFileThatIsNotAnInvoice)
{
    QTemporaryDir dir;
    const QString d = QDir(dir.path()).canonicalPath();
    writeBytes(d + QStringLiteral("/a.xml"), fattura(corpo("A/1", "1234.5") + corpo("A/2", "0.50")));
    writeBytes(d + QStringLiteral("/b.txt"), "x");
    const QByteArray a = (d + QStringLiteral("/a.xml")).toUtf8();
    const QByteArray scarto = (d + QStringLiteral("/b.txt")).toUtf8()
        + ": Non \xC3\xA8 un file XML leggibile (riga 1): il testo non comincia con un elemento XML, nel testo \"x\"\n";
    const QByteArray comune = "\"formato\":\"FPR12\",\"tipo_documento\":\"TD04\",";
    const QByteArray parti = "\"data\":\"2024-05-06\",\"cedente\":\"Città S.p.A.\",\"cedente_id\":\"IT01234567890\","
                             "\"cessionario\":\"\",\"cessionario_id\":\"\",\"valuta\":\"EUR\",";
    const struct {
        const char *nome;
        QStringList opzioni;
        QByteArray out;
    } casi[] = {
        { "table", {},
            "File" + QByteArray(a.size() - 4, ' ')
                + "  Corpo  Tipo  Numero  Data        Cedente/Prestatore  Imponibile  "
                  "Imposta    Totale  Stato SdI\n"
                + a + "      1  TD04  A/1     06/05/2024  Città S.p.A.          1.234,50     0,00  1.234,50\n" + a
                + "      2  TD04  A/2     06/05/2024  Città S.p.A.              0,50     0,00      0,50\n"
                  "2 fatture; EUR: imponibile 1.235,00, imposta 0,00, totale 1.235,00\n" },
        { "json", { QStringLiteral("--json") },
            "{\"file\":\"" + a + "\",\"voce\":\"\",\"corpo\":1," + comune + "\"numero\":\"A/1\"," + parti
                + "\"imponibile\":\"1234.50\",\"imposta\":\"0.00\",\"totale\":\"1234.50\",\"da_pagare\":\"\","
                  "\"allegati\":0,\"firma\":\"assente\",\"sdi\":\"\",\"stato_sdi\":\"\",\"messaggi\":[],\"controlli\":"
                  "null}\n{\"file\":\""
                + a + "\",\"voce\":\"\",\"corpo\":2," + comune + "\"numero\":\"A/2\"," + parti
                + "\"imponibile\":\"0.50\",\"imposta\":\"0.00\",\"totale\":\"0.50\",\"da_pagare\":\"\",\"allegati\":0,"
                  "\"firma\":\"assente\",\"sdi\":\"\",\"stato_sdi\":\"\",\"messaggi\":[],\"controlli\":null}\n" },
        { "lines as json", { QStringLiteral("--json"), QStringLiteral("--righe") },
            "{\"file\":\"" + a
                + "\",\"voce\":\"\",\"corpo\":1,\"numero\":\"A/1\",\"data\":\"2024-05-06\",\"cedente\":\"Città "
                  "S.p.A.\","
                  "\"linea\":\"1\",\"codice\":\"\",\"descrizione\":\"Ore\",\"quantita\":\"3.00\",\"unita\":\"\","
                  "\"prezzo_unitario\":\"\",\"prezzo_totale\":\"1234.5\",\"aliquota_iva\":\"N2.2\"}\n{\"file\":\""
                + a
                + "\",\"voce\":\"\",\"corpo\":2,\"numero\":\"A/2\",\"data\":\"2024-05-06\",\"cedente\":\"Città "
                  "S.p.A.\","
                  "\"linea\":\"1\",\"codice\":\"\",\"descrizione\":\"Ore\",\"quantita\":\"3.00\",\"unita\":\"\","
                  "\"prezzo_unitario\":\"\",\"prezzo_totale\":\"0.50\",\"aliquota_iva\":\"N2.2\"}\n" },
        { "lines as csv", { QStringLiteral("--csv"), QStringLiteral("--righe") },
            "\xEF\xBB\xBF"
            "File;Voce;Corpo;Numero;Data;Cedente/Prestatore;Linea;Codice;Descrizione;Quantità;Unità di "
            "misura;Prezzo unitario;Prezzo totale;Aliquota IVA o natura\r\n"
                + a + ";;1;A/1;06/05/2024;Città S.p.A.;1;;Ore;3,00;;;1234,5;N2.2\r\n" + a
                + ";;2;A/2;06/05/2024;Città S.p.A.;1;;Ore;3,00;;;0,50;N2.2\r\n" },
    };
    for (const auto &c : casi) {
        const Uscita u = lentiva(QStringList { QStringLiteral("elenco"), d } + c.opzioni);
        EXPECT_EQ(u.codice, 1) << c.nome;
        EXPECT_EQ(u.out, c.out) << c.nome;
        EXPECT_EQ(u.err, scarto) << c.nome;
    }
    const Uscita csv = lentiva({ QStringLiteral("elenco"), QStringLiteral("--csv"), QString::fromUtf8(a) });
    EXPECT_EQ(csv.codice, 0);
    EXPECT_TRUE(csv.out.startsWith("\xEF\xBB\xBF"
                                   "File;Voce;Corpo;"));
    EXPECT_TRUE(csv.out.endsWith(";;2;FPR12;TD04;nota di credito;A/2;06/05/2024;Città S.p.A.;IT01234567890;;;EUR;0,50;"
                                 "0,00;0,50;;0;assente;;;\r\n"));
}

TEST(Elenco, ControlliCountsTheFindingsOfEachRowInEveryForm)
{
    QTemporaryDir dir;
    const QString d = QDir(dir.path()).canonicalPath();
    const QByteArray buona(FatturaConforme);
    writeBytes(d + QStringLiteral("/a.xml"), buona);
    // Two findings: the tax of the summary (00421) and the taxable amount's sum (00422).
    writeBytes(d + QStringLiteral("/b.xml"),
        QByteArray(buona)
            .replace("<Imposta>20.68", "<Imposta>20.70")
            .replace("<ImponibileImporto>94.00", "<ImponibileImporto>96.00"));
    const struct {
        const char *nome;
        QStringList opzioni;
        QByteArray fineA, fineB;
    } casi[] = {
        { "json", { QStringLiteral("--json") }, ",\"messaggi\":[],\"controlli\":0}",
            ",\"messaggi\":[],\"controlli\":2}" },
        { "csv", { QStringLiteral("--csv") }, ";assente;;;0\r", ";assente;;;2\r" },
        { "table", {}, "  0", "  2" },
    };
    for (const auto &c : casi) {
        const Uscita u
            = lentiva(QStringList { QStringLiteral("elenco"), QStringLiteral("--controlli"), d } + c.opzioni);
        EXPECT_EQ(u.codice, 0) << c.nome << u.err.toStdString();
        const QList<QByteArray> righe = u.out.split('\n');
        const qsizetype prima = c.opzioni.isEmpty() || c.opzioni[0] == QLatin1String("--csv") ? 1 : 0;
        ASSERT_GE(righe.size(), prima + 2) << c.nome;
        EXPECT_TRUE(righe[prima].endsWith(c.fineA)) << c.nome << righe[prima].toStdString();
        EXPECT_TRUE(righe[prima + 1].endsWith(c.fineB)) << c.nome << righe[prima + 1].toStdString();
    }
    const Uscita csv = lentiva({ QStringLiteral("elenco"), QStringLiteral("--csv"), d });
    const QList<QByteArray> righe = csv.out.split('\n');
    EXPECT_TRUE(righe[0].endsWith(";Firma;Identificativo SdI;Stato SdI;Controlli\r"));
    EXPECT_EQ(righe[0].count(';'), righe[1].count(';'));
    EXPECT_TRUE(righe[1].endsWith(";assente;;;\r")); // not checked: empty
}

TEST(Elenco, RealInvoicesGiveTheHeaderValuesOfInfo)
{
    REQUIRE_CORPUS();
    int confrontati = 0;
    // info opens an envelope as the window does, writing its XML beside it:
    // copies, so that the shared corpus stays as it is.
    QTemporaryDir copie;
    QStringList fatture = corpusFiles(QStringLiteral("xml"), QStringLiteral(".xml"));
    for (const QString &busta : corpusFiles(QStringLiteral("p7m"), QStringLiteral(".p7m"))) {
        fatture << copie.filePath(QFileInfo(busta).fileName());
        QFile::copy(busta, fatture.last());
    }
    for (const QString &file : fatture) {
        SCOPED_TRACE(file.toStdString());
        const Uscita info = lentiva({ QStringLiteral("info"), QStringLiteral("--json"), file });
        const Uscita elenco = lentiva({ QStringLiteral("elenco"), QStringLiteral("--json"), file });
        if (info.codice != 0) {
            // Not an invoice; or a signed envelope that cannot be read, listed
            // with its red outcome and empty fields.
            EXPECT_EQ(elenco.codice, 1);
            for (const QByteArray &riga : elenco.out.split('\n')) {
                const QJsonObject r = QJsonDocument::fromJson(riga).object();
                EXPECT_TRUE(riga.isEmpty()
                    || (r.value(QStringLiteral("firma")) == QStringLiteral("non_valida")
                        && r.value(QStringLiteral("numero")).toString().isEmpty()));
            }
            continue;
        }
        ASSERT_EQ(elenco.codice, 0) << elenco.err.toStdString();
        const QJsonObject attesi = QJsonDocument::fromJson(info.out).object();
        QStringList numeri, date, tipi;
        QString cedente;
        for (const QByteArray &riga : elenco.out.trimmed().split('\n')) {
            const QJsonObject r = QJsonDocument::fromJson(riga).object();
            EXPECT_EQ(r.value(QStringLiteral("formato")), attesi.value(QStringLiteral("formato")));
            numeri << r.value(QStringLiteral("numero")).toString();
            date << r.value(QStringLiteral("data")).toString();
            tipi << r.value(QStringLiteral("tipo_documento")).toString();
            cedente = r.value(QStringLiteral("cedente")).toString();
        }
        // Several bodies: info joins their values line by line.
        const QString crlf = QStringLiteral("\r\n");
        EXPECT_EQ(numeri.join(crlf), attesi.value(QStringLiteral("numero")).toString());
        EXPECT_EQ(date.join(crlf), attesi.value(QStringLiteral("data")).toString());
        EXPECT_EQ(QString::fromLatin1(DescrTipoDoc(tipi.join(crlf).toLatin1())),
            attesi.value(QStringLiteral("tipo_documento")).toString());
        // Where info shows no supplier (a person, a simplified invoice) the list names one.
        const QString fornitore = attesi.value(QStringLiteral("cedente_prestatore")).toString();
        if (!fornitore.isEmpty()) {
            EXPECT_EQ(cedente, fornitore);
        }
        ++confrontati;
    }
    EXPECT_GE(confrontati, 30);
}

// Names and values with control characters (ESC, CR, LF, tab, DEL, C1) from
// files and ZIP entries: the exact bytes of the table and of standard
// error, where nothing can move the cursor or rewrite a line.
TEST(Elenco, ControlCharactersFromFilesAreEscapedForTheTerminal)
{
    QTemporaryDir dir;
    const QString d = QDir(dir.path()).canonicalPath();
    const QString fattura1 = d + QStringLiteral("/a\x1b[2J.xml");
    writeBytes(fattura1, fattura(corpo("1&#13;2", "1234.5")).replace("Città S.p.A.", "Rossi&#9;x"));
    writeBytes(d + QStringLiteral("/b\r\n.txt"), "x");
    writeBytes(d + QString::fromUtf8("/c\x7f\xc2\x85.txt"), "x");
    // libzip reads a name with ESC or BEL as code page 437 (graphic signs),
    // but CR, LF, tab, DEL and C1 come through.
    scriviZip(d + QStringLiteral("/z.zip"), { { QStringLiteral("e\r\n\t\x7f\u009b2J.txt"), "x" } });

    const QByteArray a = d.toUtf8() + "/a\\x1b[2J.xml";
    const QByteArray motivo = ": Non \xC3\xA8 un file XML leggibile (riga 1): il testo non comincia con un elemento "
                              "XML, nel testo \"x\"\n";
    const QByteArray err = d.toUtf8() + "/b\\x0d\\x0a.txt" + motivo + d.toUtf8() + "/c\\x7f\\x85.txt" + motivo
        + d.toUtf8() + "/z.zip/e\\x0d\\x0a\\x09\\x7f\\x9b2J.txt" + motivo;
    const Uscita tabella = lentiva({ QStringLiteral("elenco"), d });
    EXPECT_EQ(tabella.codice, 1);
    EXPECT_EQ(tabella.out,
        "File" + QByteArray(a.size() - 4, ' ')
            + "  Corpo  Tipo  Numero  Data        Cedente/Prestatore  Imponibile  Imposta    Totale  Stato SdI\n" + a
            + "      1  TD04  1\\x0d2  06/05/2024  Rossi\\x09x            1.234,50     0,00  1.234,50\n"
              "1 fattura; EUR: imponibile 1.234,50, imposta 0,00, totale 1.234,50\n");
    EXPECT_EQ(tabella.err, err);
    // JSON escapes them its own way: C1 and DEL too.
    const Uscita json = lentiva({ QStringLiteral("elenco"), d, QStringLiteral("--json") });
    EXPECT_TRUE(json.out.startsWith("{\"file\":\"" + d.toUtf8() + "/a\\u001b[2J.xml\""));
    EXPECT_TRUE(json.out.contains("\"numero\":\"1\\r2\",") && json.out.contains("\"cedente\":\"Rossi\\tx\""))
        << json.out.toStdString();
    EXPECT_EQ(json.err, err);
    // Every command's errors: on one line, the name escaped.
    EXPECT_EQ(lentiva({ QStringLiteral("info"), d + QStringLiteral("/b\r\n.txt") }).err,
        d.toUtf8() + "/b\\x0d\\x0a.txt: ATTENZIONE, XML CON ERRORI (002)! Start tag expected, '<' not found Line: 1 x\n"
            + d.toUtf8() + "/b\\x0d\\x0a.txt: Documento xml non gestito, visualizzazione non possibile!\n");
}

// The VAT summary of two credit notes (TD04) of the company: with its sign,
// in the table, as JSON lines and as CSV.
TEST(Elenco, TheVatSummaryInItsThreeForms)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("a.xml")), fattura(corpo("A/1", "1234.5") + corpo("A/2", "0.50")));
    const QStringList riepilogo { QStringLiteral("elenco"), dir.path(), QStringLiteral("--riepilogo-iva") };
    const Uscita tabella = lentiva(riepilogo);
    EXPECT_EQ(tabella.codice, 0);
    EXPECT_EQ(tabella.out,
        "Valuta  Aliquota  Natura  Esigibilit\xC3\xA0  Imponibile  Imposta  Fatture\n"
        "EUR                                     -1.235,00     0,00        2\n2 fatture\n");
    const Uscita json = lentiva(riepilogo
        + QStringList { QStringLiteral("--json"), QStringLiteral("--partita-iva"), QStringLiteral("01234567890"),
            QStringLiteral("--partita-iva"), QStringLiteral("IT999") });
    EXPECT_EQ(json.out,
        "{\"verso\":\"emesse\",\"valuta\":\"EUR\",\"aliquota\":\"\",\"natura\":\"\",\"esigibilita\":\"\","
        "\"imponibile\":\"-1235.00\",\"imposta\":\"0.00\",\"fatture\":2}\n");
    const Uscita csv = lentiva(riepilogo + QStringList { QStringLiteral("--csv") });
    EXPECT_EQ(csv.out,
        "\xEF\xBB\xBFVerso;Valuta;Aliquota IVA;Natura;Esigibilit\xC3\xA0 IVA;Imponibile;Imposta;Fatture\r\n"
        ";EUR;;;;-1235,00;0,00;2\r\n");
}
