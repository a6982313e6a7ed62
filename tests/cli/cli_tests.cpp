// lentiva-cli run as a program from the build's program folder: usage errors,
// the page bytes, the header summary, attachments, extraction, Base64 and
// envelopes, each with its exit code and its exact output.
#include "common/folders.h"
#include "invoice/rendering.h"
#include "pkiprova.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/fatturaconforme.h"
#include "support/testsupport.h"

namespace {
QStringList lista(std::initializer_list<const char *> testi)
{
    QStringList l;
    for (const char *t : testi)
        l << QString::fromUtf8(t);
    return l;
}

struct Esito {
    int codice = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray fattura(const QByteArray &formato, const QByteArray &corpi,
    const QByteArray &fornitore = "<Denominazione>ACME S.p.A.</Denominazione>")
{
    return "<?xml version='1.0' encoding='UTF-8'?><p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader>"
           "<DatiTrasmissione><FormatoTrasmissione>"
        + formato + "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici><Anagrafica>"
        + fornitore + "</Anagrafica></DatiAnagrafici></CedentePrestatore></FatturaElettronicaHeader>" + corpi
        + "</p:FatturaElettronica>";
}

QByteArray corpo(const QByteArray &numero, const QByteArray &altro = QByteArray())
{
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD04</TipoDocumento>"
           "<Data>2024-05-06</Data><Numero>"
        + numero + "</Numero></DatiGeneraliDocumento></DatiGenerali>" + altro + "</FatturaElettronicaBody>";
}

QByteArray allegato(const QByteArray &nome, const QByteArray &testo)
{
    return "<Allegati><NomeAttachment>" + nome + "</NomeAttachment><Attachment>" + testo + "</Attachment></Allegati>";
}

class Cli : public ::testing::Test {
protected:
    Esito esegui(const QStringList &argomenti)
    {
        QProcess p;
        p.setProgram(programDir() + QStringLiteral("/lentiva-cli"));
        p.setArguments(argomenti);
        p.setWorkingDirectory(dir.path());
        p.setProcessEnvironment(ambiente);
        p.start();
        EXPECT_TRUE(p.waitForFinished(60000)) << argomenti.join(QLatin1Char(' ')).toStdString();
        return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError() };
    }
    QString file(const char *nome, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString::fromUtf8(nome));
        writeBytes(path, bytes);
        return path;
    }
    static QString foglio(const QString &nome) { return programDir() + QLatin1Char('/') + DirFogliStile + nome; }

    QTemporaryDir dir;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
};

bool openssl(const QStringList &argomenti)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("openssl"), argomenti);
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

// The text of a PDF as pdftotext reads it.
QString testoPdf(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    return p.waitForFinished(30000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                                                         : QStringLiteral("<pdftotext failed>");
}
} // namespace

// Standard error for a file holding just "<r>": the load message on one
// line, then the flow's own, each after the file's name.
static QString erroriFileRotto(const QString &rotto)
{
    return rotto
        + QStringLiteral(": ATTENZIONE, XML CON ERRORI (002)! Premature end of data in tag r line 1 Line: 1 <r>\n")
        + rotto + QStringLiteral(": Documento xml non gestito, visualizzazione non possibile!\n");
}

TEST_F(Cli, UsageErrorsExitTwo)
{
    const struct {
        const char *name;
        QStringList argomenti;
        const char *errore;
    } rows[] = {
        { "no command", QStringList {}, "lentiva-cli: comando mancante" },
        { "unknown command", lista({ "stampa", "a.xml" }), "lentiva-cli: comando sconosciuto: stampa" },
        { "no file", lista({ "info", "--json" }), "lentiva-cli: nessun file indicato" },
        { "option of another command", lista({ "info", "--utf8", "a.xml" }),
            "lentiva-cli: opzione non valida per info: --utf8" },
        { "-o without its value", lista({ "html", "a.xml", "-o" }), "lentiva-cli: manca il valore di -o" },
        { "-d twice", lista({ "estrai", "a.xml", "-d", "x", "-d", "y" }), "lentiva-cli: opzione ripetuta: -d" },
        { "-o and -d", lista({ "html", "a.xml", "-o", "x", "-d", "y" }), "lentiva-cli: -o e -d non vanno insieme" },
        { "several pages without a folder", lista({ "html", "a.xml", "b.xml" }),
            "lentiva-cli: più file vogliono -d CARTELLA" },
        { "base64 of two files", lista({ "base64", "a", "b" }), "lentiva-cli: base64 vuole un solo file" },
        { "several PDFs without a folder", lista({ "pdf", "a.xml", "b.xml" }),
            "lentiva-cli: più file vogliono -d CARTELLA" },
        { "pdf with --utf8", lista({ "pdf", "--utf8", "a.xml" }), "lentiva-cli: opzione non valida per pdf: --utf8" },
        { "firma without file", lista({ "firma", "--json" }), "lentiva-cli: nessun file indicato" },
        { "firma, --elenco twice", lista({ "firma", "--elenco", "a", "--elenco", "b", "c" }),
            "lentiva-cli: opzione ripetuta: --elenco" },
        { "firma, --elenco without its value", lista({ "firma", "a.p7m", "--elenco" }),
            "lentiva-cli: manca il valore di --elenco" },
        { "firma with -o", lista({ "firma", "-o", "x", "a.p7m" }), "lentiva-cli: opzione non valida per firma: -o" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const Esito e = esegui(r.argomenti);
        EXPECT_EQ(e.codice, 2);
        EXPECT_TRUE(e.out.isEmpty());
        EXPECT_EQ(e.err, QByteArray(r.errore) + "\nPer l'aiuto: lentiva-cli --help\n");
    }
    EXPECT_TRUE(esegui({ QStringLiteral("--help") }).out.startsWith("Uso: lentiva-cli COMANDO FILE..."));
    EXPECT_EQ(esegui({ QStringLiteral("--version") }).out, "lentiva-cli 1.1.0\n");
}

TEST_F(Cli, HtmlWritesThePanesBytesOrTheStylesheetsText)
{
    const struct {
        const char *sample;
        const QString &foglio;
    } rows[] = {
        { "IT00000000001_ESEMPIO1.xml", FoglioFPR12 },
        { "IT00000000001_ESEMPIO_PA.xml", FoglioFPA12 },
        { "IT00000000001_SEMPLIFICATA.xml", FoglioFSM10 },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.sample);
        const QString sample = programDir() + QLatin1Char('/') + DirFatture + QString::fromUtf8(r.sample);
        const QString html = TrasformaXsl(sample, foglio(r.foglio));
        const Esito pagina = esegui({ QStringLiteral("html"), sample });
        EXPECT_EQ(pagina.codice, 0);
        EXPECT_EQ(pagina.out, TestoPerPannello(html));
        const Esito utf8 = esegui({ QStringLiteral("html"), QStringLiteral("--utf8"), sample });
        EXPECT_EQ(utf8.out, html.toUtf8());
    }
}

TEST_F(Cli, SeveralFilesGoOnAfterAFailureEachFromTheDefaultStylesheet)
{
    const QString pa = file("pa.xml", fattura("FPA12", corpo("1")));
    const QString rotto = file("rotto.xml", "<r>");
    const QString ignoto = file("ignoto.fattura.xml", fattura("XX99", corpo("2")));
    const QString uscita = dir.filePath(QStringLiteral("pagine"));
    const Esito e = esegui({ QStringLiteral("html"), pa, rotto, ignoto, QStringLiteral("-d"), uscita });
    EXPECT_EQ(e.codice, 1);
    EXPECT_TRUE(e.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(e.err), erroriFileRotto(rotto));
    EXPECT_EQ(QDir(uscita).entryList(QDir::Files), lista({ "ignoto.fattura.html", "pa.html" }));
    EXPECT_EQ(readBytes(uscita + QStringLiteral("/pa.html")), TestoPerPannello(TrasformaXsl(pa, foglio(FoglioFPA12))));
    // An unknown format is shown with the default stylesheet, not the one before it.
    EXPECT_EQ(readBytes(uscita + QStringLiteral("/ignoto.fattura.html")),
        TestoPerPannello(TrasformaXsl(ignoto, foglio(FoglioPredefinito))));
}

TEST_F(Cli, NoPageReplacesAnotherInOneRun)
{
    const QByteArray xml = fattura("FPR12", corpo("1"));
    const QString a = file("a.xml", xml);
    QDir(dir.path()).mkpath(QStringLiteral("altra/busta"));
    const QString altra = file("altra/a.xml", xml);
    const QString busta = dir.filePath(QStringLiteral("altra/busta/a.xml.p7m"));
    const QString chiave = dir.filePath(QStringLiteral("k.pem")), cert = dir.filePath(QStringLiteral("c.pem"));
    ASSERT_TRUE(openssl(lista({ "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                            "-subj", "/CN=Test", "-days", "2", "-keyout" })
        << chiave << QStringLiteral("-out") << cert));
    ASSERT_TRUE(openssl(lista({ "smime", "-sign", "-binary", "-nodetach", "-outform", "DER", "-in" })
        << a << QStringLiteral("-signer") << cert << QStringLiteral("-inkey") << chiave << QStringLiteral("-out")
        << busta));
    const QString uscita = dir.filePath(QStringLiteral("pagine"));
    const Esito e = esegui({ QStringLiteral("html"), a, busta, altra, QStringLiteral("-d"), uscita });
    EXPECT_EQ(e.codice, 0);
    EXPECT_EQ(QString::fromUtf8(e.err),
        altra + QStringLiteral(": pagina scritta come a-2.html, perché a.html è già di un altro file\n"));
    EXPECT_EQ(QDir(uscita).entryList(QDir::Files), lista({ "a-2.html", "a.html", "a.xml.html" }));
}

TEST_F(Cli, InfoPrintsTheHeaderFieldsAsTextOrJson)
{
    const QString due = file("due.xml",
        fattura("FPR12", corpo("A/1") + corpo("A/2"), "<Denominazione>Societ\xc3\xa0 \xe2\x82\xac</Denominazione>"));
    const QString ignoto = file("ignoto.xml", fattura(" XX ", corpo("9"), "<Nome>Mario</Nome>"));

    const Esito testo = esegui({ QStringLiteral("info"), due });
    EXPECT_EQ(testo.codice, 0);
    EXPECT_EQ(testo.out,
        "Formato: FPR12\nTipo documento: \nNumero: A/1 | A/2\nData: 2024-05-06 | 2024-05-06\n"
        "Cedente/Prestatore: Societ\xc3\xa0 \xe2\x82\xac\n");

    const Esito json = esegui({ QStringLiteral("info"), QStringLiteral("--json"), due, ignoto });
    EXPECT_EQ(json.codice, 0);
    const QList<QByteArray> righe = json.out.split('\n');
    ASSERT_EQ(righe.size(), 3);
    EXPECT_TRUE(righe[2].isEmpty());
    const QJsonObject primo = QJsonDocument::fromJson(righe[0]).object();
    EXPECT_EQ(primo.value(QStringLiteral("file")).toString(), due);
    EXPECT_EQ(primo.value(QStringLiteral("numero")).toString(), QStringLiteral("A/1\r\nA/2"));
    EXPECT_EQ(primo.value(QStringLiteral("cedente_prestatore")).toString(), QStringLiteral("Società €"));
    const QJsonObject secondo = QJsonDocument::fromJson(righe[1]).object();
    EXPECT_EQ(secondo.keys(),
        lista({ "cedente_prestatore", "controlli", "data", "file", "firma", "formato", "numero", "tipo_documento" }));
    // The checks' outcome comes last; a namespace of no format cannot be checked.
    EXPECT_TRUE(righe[1].endsWith(",\"firma\":\"assente\",\"controlli\":\"non_controllabile\"}"));
    EXPECT_EQ(secondo.value(QStringLiteral("firma")).toString(), QStringLiteral("assente"));
    EXPECT_EQ(secondo.value(QStringLiteral("formato")).toString(), QStringLiteral("XX"));
    EXPECT_EQ(secondo.value(QStringLiteral("tipo_documento")).toString(), QStringLiteral("TD04 nota di credito"));
    EXPECT_EQ(secondo.value(QStringLiteral("cedente_prestatore")).toString(), QString());
}

TEST_F(Cli, InfoShowsAnErrorAsTheWindowsErrorBoxDoes)
{
    const QString rotto = file("rotto.xml", fattura("FPR12", corpo("<x/>")));
    const Esito e = esegui({ QStringLiteral("info"), rotto });
    EXPECT_EQ(e.codice, 1);
    EXPECT_TRUE(e.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(e.err), rotto + QStringLiteral(": Element does not contain a single text node.\n"));
}

TEST_F(Cli, AllegatiListsDecodedSizesInFileOrder)
{
    const QString f = file("a.xml",
        fattura("FPR12",
            corpo("1",
                allegato("z.txt", QByteArray("hello").toBase64()) + allegato("dir/a.bin", "AAEC\r\nAwQF")
                    + allegato("rotto", "AA*A"))));
    const Esito e = esegui({ QStringLiteral("allegati"), f });
    EXPECT_EQ(e.codice, 1);
    EXPECT_EQ(e.out, "5\tz.txt\n6\ta.bin\n");
    EXPECT_EQ(QString::fromUtf8(e.err),
        f + QStringLiteral(": Contenuto dell'allegato rotto non valido: carattere non Base64 \"*\"\n"));
}

TEST_F(Cli, EstraiReportsTheCountAndTheMessage)
{
    const QString buona
        = file("buona.xml", fattura("FPR12", corpo("1", allegato("uno.txt", "dW5v") + allegato("due.txt", "ZHVl"))));
    const QString cattiva
        = file("cattiva.xml", fattura("FPR12", corpo("1", allegato("tre.txt", "dHJl") + allegato("..", "dHJl"))));
    const QString cartella = dir.filePath(QStringLiteral("estratti"));
    const Esito e = esegui(
        { QStringLiteral("estrai"), buona, cattiva, QStringLiteral("manca.xml"), QStringLiteral("-d"), cartella });
    EXPECT_EQ(e.codice, 1);
    EXPECT_EQ(QString::fromUtf8(e.out),
        QStringLiteral("%1: 2 allegati estratti in %3\n%2: 1 allegato estratto in %3\n").arg(buona, cattiva, cartella));
    EXPECT_EQ(QString::fromUtf8(e.err),
        cattiva + QStringLiteral(": Nome allegato non valido: ..\n")
            + QStringLiteral("manca.xml: Errore: manca.xml non trovato!\n"));
    EXPECT_EQ(readBytes(cartella + QStringLiteral("/due.txt")), "due");
    EXPECT_EQ(readBytes(cartella + QStringLiteral("/tre.txt")), "tre");
}

TEST_F(Cli, Base64PrintsTheEncodedFile)
{
    const QByteArray bytes("\x00\x01\xfe\xff any bytes", 15);
    const Esito e = esegui({ QStringLiteral("base64"), file("dati.bin", bytes) });
    EXPECT_EQ(e.codice, 0);
    EXPECT_EQ(e.out, bytes.toBase64() + '\n');
    // Written in pieces that join into one text.
    const QByteArray grande = QByteArray(2'500'001, 'x').replace(7, 3, bytes);
    EXPECT_EQ(esegui({ QStringLiteral("base64"), file("grande.bin", grande) }).out, grande.toBase64() + '\n');
    const Esito manca = esegui({ QStringLiteral("base64"), QStringLiteral("manca.bin") });
    EXPECT_EQ(manca.codice, 1);
    EXPECT_EQ(manca.err, "manca.bin: Errore: manca.bin non trovato!\n");
}

TEST_F(Cli, EnvelopesOpenAsTheWindowOpensThem)
{
    REQUIRE_CORPUS();
    const QString busta = dir.filePath(QStringLiteral("IT02182030391_31.xml.p7m"));
    ASSERT_TRUE(QFile::copy(corpusDir() + QStringLiteral("/p7m/IT02182030391_31.xml.p7m"), busta));
    const QString xml = dir.filePath(QStringLiteral("IT02182030391_31.xml"));

    const Esito p7m = esegui({ QStringLiteral("p7m"), busta, QStringLiteral("fattura.xml") });
    EXPECT_EQ(p7m.codice, 1);
    EXPECT_EQ(QString::fromUtf8(p7m.out), xml + QLatin1Char('\n'));
    EXPECT_EQ(p7m.err, "fattura.xml: Non è una busta firmata (.p7m)\n");
    EXPECT_TRUE(readBytes(xml).contains("FatturaElettronicaBody"));

    QFile::remove(xml);
    const Esito info = esegui({ QStringLiteral("info"), busta });
    EXPECT_EQ(info.codice, 0);
    EXPECT_TRUE(info.out.startsWith("Formato: FPR12\nTipo documento: TD01 fattura\n")) << info.out.toStdString();
    EXPECT_EQ(esegui({ QStringLiteral("html"), busta }).out, TestoPerPannello(TrasformaXsl(xml, foglio(FoglioFPR12))));
}

TEST_F(Cli, PdfWritesOnePdfPerFileWithoutADisplay)
{
#ifndef LENTIVA_CLI_PDF
    GTEST_SKIP() << "built without the window's modules: no pdf command";
#endif
    ambiente.remove(QStringLiteral("QT_QPA_PLATFORM"));
    ambiente.remove(QStringLiteral("DISPLAY"));
    ambiente.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const struct {
        const char *sample;
        const char *numero;
    } rows[] = {
        { "IT00000000001_ESEMPIO1", "2024/17" },
        { "IT00000000001_ESEMPIO_PA", "FPA 9/24" },
        { "IT00000000001_SEMPLIFICATA", "S-112" },
    };
    QStringList argomenti { QStringLiteral("pdf") };
    for (const auto &r : rows)
        argomenti << programDir() + QLatin1Char('/') + DirFatture + QString::fromUtf8(r.sample)
                + QStringLiteral(".xml");
    const QString rotto = file("rotto.xml", "<r>");
    const QString uscita = dir.filePath(QStringLiteral("pdf"));
    argomenti << rotto << QStringLiteral("-d") << uscita;
    const Esito e = esegui(argomenti);
    EXPECT_EQ(e.codice, 1);
    EXPECT_TRUE(e.out.isEmpty());
    // Nothing on standard error but the broken file's messages.
    EXPECT_EQ(QString::fromUtf8(e.err), erroriFileRotto(rotto));
    EXPECT_EQ(QDir(uscita).entryList(QDir::Files).size(), 3);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.sample);
        const QString pdf = uscita + QLatin1Char('/') + QString::fromUtf8(r.sample) + QStringLiteral(".pdf");
        EXPECT_TRUE(readBytes(pdf).startsWith("%PDF-"));
        EXPECT_TRUE(testoPdf(pdf).contains(QString::fromUtf8(r.numero)));
    }

    // One file goes to standard output.
    const Esito uno = esegui({ QStringLiteral("pdf"), argomenti[1] });
    EXPECT_EQ(uno.codice, 0);
    EXPECT_TRUE(uno.out.startsWith("%PDF-"));
    EXPECT_TRUE(uno.err.isEmpty()) << uno.err.toStdString();
}

TEST_F(Cli, FirmaTellsWhoSignedWithItsExitCode)
{
    const PkiProva pki(dir.path());
    const QByteArray fattura = "<FatturaElettronica>Rossi</FatturaElettronica>";
    const QString busta = file("buona.xml.p7m", pki.busta(fattura));
    const QString alterata = file("alterata.xml.p7m", pki.busta(fattura).replace("Rossi", "Rosso"));
    const QString xml = file("senza firma.xml", fattura);
    const QString elenco
        = file("elenco.xml", pki.elenco({ { "granted", QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC) } }));

    const Esito json
        = esegui({ QStringLiteral("firma"), QStringLiteral("--json"), busta, xml, QStringLiteral("--elenco"), elenco });
    EXPECT_EQ(json.codice, 0);
    const QList<QByteArray> righe = json.out.split('\n');
    ASSERT_EQ(righe.size(), 3);
    const QJsonObject valida = QJsonDocument::fromJson(righe[0]).object();
    EXPECT_EQ(valida.keys(), lista({ "elenco", "esito", "file", "firmatari", "integra", "motivo", "tipo" }));
    EXPECT_EQ(valida.value(QStringLiteral("esito")).toString(), QStringLiteral("valida"));
    EXPECT_EQ(valida.value(QStringLiteral("tipo")).toString(), QStringLiteral("CAdES"));
    EXPECT_TRUE(valida.value(QStringLiteral("integra")).toBool());
    EXPECT_EQ(valida.value(QStringLiteral("elenco"))[QStringLiteral("percorso")].toString(), elenco);
    const QJsonObject rossi = valida.value(QStringLiteral("firmatari")).toArray().at(0).toObject();
    EXPECT_EQ(rossi.value(QStringLiteral("nome")).toString(), QStringLiteral("MARIO ROSSI"));
    EXPECT_EQ(rossi.value(QStringLiteral("codice_fiscale")).toString(), QStringLiteral("RSSMRA80A01H501U"));
    EXPECT_EQ(rossi.value(QStringLiteral("emittente")).toString(), QStringLiteral("CA di Prova Qualificata"));
    EXPECT_TRUE(rossi.value(QStringLiteral("qualificato")).toBool());
    EXPECT_EQ(rossi.value(QStringLiteral("impronta_sha256")).toString().size(), 64);
    for (const char *data : { "valido_dal", "valido_al", "data_firma" })
        EXPECT_TRUE(QDateTime::fromString(rossi.value(QLatin1String(data)).toString(), Qt::ISODate).isValid()
            && rossi.value(QLatin1String(data)).toString().endsWith(QLatin1Char('Z')))
            << data;
    EXPECT_EQ(righe[1],
        "{\"file\":" + QJsonDocument(QJsonArray { xml }).toJson(QJsonDocument::Compact).mid(1).chopped(1)
            + ",\"tipo\":\"\",\"esito\":\"assente\",\"integra\":false,\"firmatari\":[],\"elenco\":null,"
              "\"motivo\":\"Nessuna firma: il documento non è firmato.\"}");

    // Without a list, and with the build's empty CERTIFICATORI/: not verified.
    const Esito testo = esegui({ QStringLiteral("firma"), busta, alterata, dir.filePath(QStringLiteral("manca.p7m")) });
    EXPECT_EQ(testo.codice, 1);
    EXPECT_TRUE(testo.out.startsWith("File: " + busta.toUtf8()
        + "\nEsito: Non verificata\nFirma integra ma non verificata: manca l'elenco dei certificatori (cartella "
          "CERTIFICATORI).\nTipo di firma: CAdES (busta firmata .p7m)\n\nFirmatario 1 (busta 1):\n  Nome: MARIO "
          "ROSSI\n  Codice fiscale: RSSMRA80A01H501U\n"));
    EXPECT_TRUE(testo.out.contains("\n\nFile: " + alterata.toUtf8()
        + "\nEsito: Non valida\nFirma non valida: il contenuto è stato modificato dopo la firma.\n"));
    EXPECT_TRUE(testo.err.startsWith(dir.filePath(QStringLiteral("manca.p7m")).toUtf8() + ": Cannot open file"));
}

// A message of the exchange system opens as an invoice does: its info object
// (keys and signature word), its page; elenco lists messages apart, and an
// invoice they name gets its fate; none of them is a failure.
TEST_F(Cli, MessagesHaveTheirInfoPageAndListApart)
{
    const PkiProva pki(dir.path());
    const QByteArray ns = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0";
    const QString scarto = file("IT01234567890_00001_NS_001.xml",
        pki.xmlFirmato("<t:NotificaScarto xmlns:t='" + ns
            + "' versione='1.0'><IdentificativoSdI>11</IdentificativoSdI><NomeFile>IT01234567890_00001.xml</NomeFile>"
              "<DataOraRicezione>2024-05-06T10:00:00</DataOraRicezione><ListaErrori><Errore><Codice>00200</Codice>"
              "<Descrizione>Non conforme</Descrizione></Errore><Errore><Codice>0A</Codice><Descrizione>?</Descrizione>"
              "</Errore></ListaErrori><MessageId>5</MessageId></t:NotificaScarto>"));
    const QString consegna = file("IT01234567890_00002_RC_001.xml",
        "<RicevutaConsegna xmlns='" + ns
            + "'><IdentificativoSdI>12</IdentificativoSdI><NomeFile>IT01234567890_00002.xml</NomeFile>"
              "<DataOraConsegna>2024-05-07T09:30:00.000+02:00</DataOraConsegna></RicevutaConsegna>");
    const QString fattura1 = file("IT01234567890_00001.xml", fattura("FPR12", corpo("1")));

    const Esito info = esegui({ QStringLiteral("info"), QStringLiteral("--json"), consegna, scarto });
    EXPECT_EQ(info.codice, 0) << info.err.toStdString();
    const QList<QByteArray> righe = info.out.split('\n');
    ASSERT_EQ(righe.size(), 3);
    EXPECT_EQ(righe[0],
        "{\"file\":\"" + consegna.toUtf8()
            + "\",\"messaggio\":\"RC\",\"descrizione\":\"Ricevuta di consegna\",\"identificativo_sdi\":\"12\","
              "\"nome_file\":\"IT01234567890_00002.xml\",\"data_ora\":\"2024-05-07T09:30:00.000+02:00\",\"esito\":\"\","
              "\"errori\":[],\"firma\":\"assente\"}");
    const QJsonObject ns1 = QJsonDocument::fromJson(righe[1]).object();
    EXPECT_EQ(ns1.value(QStringLiteral("firma")).toString(), QStringLiteral("non_verificata"));
    QStringList errori;
    for (const QJsonValue &e : ns1.value(QStringLiteral("errori")).toArray())
        errori << e[QStringLiteral("codice")].toString() + u'|' + e[QStringLiteral("descrizione")].toString() + u'|'
                + e[QStringLiteral("spiegazione")].toString().left(30);
    EXPECT_EQ(
        errori, lista({ "00200|Non conforme|Il file non rispetta lo schema", "0A|?|Codice non nella forma del Sis" }));

    const Esito html = esegui({ QStringLiteral("html"), QStringLiteral("--utf8"), scarto });
    EXPECT_EQ(html.codice, 0) << html.err.toStdString();
    for (const char *testo : { "Notifica di scarto", "Scartata", "00200", "Non conforme", "Il file non rispetta" })
        EXPECT_TRUE(html.out.contains(testo)) << testo;

    const Esito elenco = esegui({ QStringLiteral("elenco"), QStringLiteral("--json"), fattura1, consegna, scarto });
    EXPECT_EQ(elenco.codice, 0) << elenco.err.toStdString();
    EXPECT_TRUE(
        elenco.out.endsWith(",\"sdi\":\"\",\"stato_sdi\":\"scartata\",\"messaggi\":[\"NS\"],\"controlli\":null}\n"))
        << elenco.out.toStdString();
    const Esito messaggi = esegui(
        { QStringLiteral("elenco"), QStringLiteral("--messaggi"), QStringLiteral("--json"), consegna, scarto });
    EXPECT_EQ(messaggi.codice, 0);
    EXPECT_EQ(messaggi.out, righe[1] + '\n' + righe[0] + '\n'); // in the list's order
}

TEST_F(Cli, ControllaTellsEachFilesOutcomeWithItsExitCode)
{
    const QByteArray buona(FatturaConforme);
    const QString conforme = file("buona.xml", buona);
    const QString sbagliata = file("cattiva.xml", QByteArray(buona).replace("<Imposta>20.68", "<Imposta>20.70"));
    const QString altro = file("altro.xml", "<Altro/>");
    const struct {
        const char *nome;
        QStringList file;
        int codice;
        QByteArray err;
    } casi[] = {
        { "conforme", { conforme }, 0, "" },
        { "one is not", { conforme, sbagliata }, 1, "" },
        { "not an invoice", { altro }, 1, "" },
        { "missing", { conforme, QStringLiteral("manca.xml") }, 1,
            "manca.xml: Cannot open file \"" + dir.filePath(QStringLiteral("manca.xml")).toUtf8()
                + "\". No such file or directory.\n" },
        { "no file", {}, 2, "lentiva-cli: nessun file indicato\nPer l'aiuto: lentiva-cli --help\n" },
    };
    for (const auto &c : casi) {
        const Esito e = esegui(QStringList { QStringLiteral("controlla"), QStringLiteral("--json") } + c.file);
        EXPECT_EQ(e.codice, c.codice) << c.nome;
        EXPECT_EQ(e.err, c.err) << c.nome;
    }

    const Esito json = esegui({ QStringLiteral("controlla"), QStringLiteral("--json"), conforme, sbagliata, altro });
    const QList<QByteArray> righe = json.out.split('\n');
    ASSERT_EQ(righe.size(), 4);
    EXPECT_EQ(righe[0],
        "{\"file\":\"" + conforme.toUtf8()
            + "\",\"esito\":\"conforme\",\"errori\":[],\"avvisi\":[],\"motivo\":\"La fattura supererebbe i "
              "controlli dello SdI\"}");
    EXPECT_EQ(righe[1],
        "{\"file\":\"" + sbagliata.toUtf8()
            + "\",\"esito\":\"non_conforme\",\"errori\":[{\"codice\":\"00421\",\"campo\":\"2.2.2.6 Imposta\","
              "\"corpo\":1,\"linea\":22,\"trovato\":\"20.70\",\"atteso\":\"20.68\",\"messaggio\":\"Riepilogo IVA al "
              "22.00%: l'imposta 20.70 non è imponibile per aliquota, che fa 20.68; la tolleranza è di un "
              "centesimo.\"}],\"avvisi\":[],\"motivo\":\"La fattura non supererebbe i controlli dello SdI: 1 "
              "errore\"}");
    EXPECT_EQ(QJsonDocument::fromJson(righe[2]).object().value(QStringLiteral("esito")).toString(),
        QStringLiteral("non_controllabile"));

    const Esito testo = esegui({ QStringLiteral("controlla"), conforme, altro });
    EXPECT_EQ(QString::fromUtf8(testo.out),
        QStringLiteral("File: %1\nEsito: conforme\nMotivo: La fattura supererebbe i controlli dello SdI\n\n"
                       "File: %2\nEsito: non_controllabile\nMotivo: Il file non è una fattura elettronica: il suo "
                       "elemento principale è Altro.\n")
            .arg(conforme, altro));
}
