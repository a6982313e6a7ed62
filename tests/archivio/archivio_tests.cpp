// The archive reader on a generated folder and ZIP that mix plain, signed,
// several-body, simplified and foreign files with hostile entries: the exact
// rows, reasons and totals; amounts summed to the cent; the CSV bytes.
#include "archivio/archivio.h"
#include "archivio/csv.h"
#include "firma/elenco.h"
#include "zipprova.h"

#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stop_token>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray fattura(const QByteArray &corpi, const QByteArray &cedente = "<Denominazione>Rossi S.r.l.</Denominazione>")
{
    return "<?xml version='1.0'?><p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader><DatiTrasmissione>"
           "<FormatoTrasmissione>FPR12</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici>"
           "<IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA><Anagrafica>"
        + cedente
        + "</Anagrafica></DatiAnagrafici></CedentePrestatore><CessionarioCommittente><DatiAnagrafici><CodiceFiscale>"
          "BNCNNA80A41H501X</CodiceFiscale><Anagrafica><Nome>Anna</Nome><Cognome>Bianchi</Cognome></Anagrafica>"
          "</DatiAnagrafici></CessionarioCommittente></FatturaElettronicaHeader>"
        + corpi + "</p:FatturaElettronica>";
}

QByteArray corpo(const QByteArray &numero, const QByteArray &riepiloghi, const QByteArray &altro = QByteArray())
{
    return "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Divisa>"
           "EUR</Divisa><Data>2024-03-05</Data><Numero>"
        + numero + "</Numero>" + (altro.startsWith("<Importo") ? altro : QByteArray())
        + "</DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea>"
          "<CodiceArticolo><CodiceValore>A1</CodiceValore></CodiceArticolo><Descrizione>Viti; \"inox\"</Descrizione>"
          "<Quantita>2.00</Quantita><UnitaMisura>pz</UnitaMisura><PrezzoUnitario>5.00000000</PrezzoUnitario>"
          "<PrezzoTotale>10.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>"
        + riepiloghi + "</DatiBeniServizi>" + (altro.startsWith("<Importo") ? QByteArray() : altro)
        + "</FatturaElettronicaBody>";
}

QByteArray riepilogo(const QByteArray &imponibile, const QByteArray &imposta)
{
    return "<DatiRiepilogo><AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>" + imponibile
        + "</ImponibileImporto><Imposta>" + imposta + "</Imposta></DatiRiepilogo>";
}

const QByteArray kSemplificata = "<p:FatturaElettronicaSemplificata xmlns:p='urn:s'><FatturaElettronicaHeader>"
                                 "<DatiTrasmissione><FormatoTrasmissione>FSM10</FormatoTrasmissione>"
                                 "</DatiTrasmissione><CedentePrestatore><CodiceFiscale>VRDLGU70A01F205X</CodiceFiscale>"
                                 "<Nome>Luigi</Nome><Cognome>Verdi</Cognome></CedentePrestatore>"
                                 "<CessionarioCommittente><AltriDatiIdentificativi><Denominazione>Beta</Denominazione>"
                                 "</AltriDatiIdentificativi></CessionarioCommittente></FatturaElettronicaHeader>"
                                 "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD07"
                                 "</TipoDocumento><Divisa>EUR</Divisa><Data>2024-01-02</Data><Numero>S1</Numero>"
                                 "</DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi><Descrizione>Pane"
                                 "</Descrizione><Importo>25.00</Importo><DatiIVA><Aliquota>22.00</Aliquota></DatiIVA>"
                                 "</DatiBeniServizi><DatiBeniServizi><Descrizione>Latte</Descrizione><Importo>12.20"
                                 "</Importo><DatiIVA><Imposta>2.20</Imposta></DatiIVA></DatiBeniServizi>"
                                 "</FatturaElettronicaBody></p:FatturaElettronicaSemplificata>";

QByteArray firmata(const QTemporaryDir &dir, const QByteArray &contenuto)
{
    const auto percorso = [&](const char *nome) { return dir.filePath(QString::fromLatin1(nome)); };
    const auto openssl = [](const QStringList &argomenti) {
        QProcess p;
        p.start(QStringLiteral("openssl"), argomenti);
        EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    };
    if (!QFile::exists(percorso("k.pem")))
        openssl({ QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
            QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=Prova"), QStringLiteral("-keyout"),
            percorso("k.pem"), QStringLiteral("-out"), percorso("c.pem"), QStringLiteral("-days"),
            QStringLiteral("2") });
    writeBytes(percorso("in.xml"), contenuto);
    openssl({ QStringLiteral("cms"), QStringLiteral("-sign"), QStringLiteral("-binary"), QStringLiteral("-nodetach"),
        QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-in"), percorso("in.xml"),
        QStringLiteral("-signer"), percorso("c.pem"), QStringLiteral("-inkey"), percorso("k.pem"),
        QStringLiteral("-out"), percorso("out.p7m") });
    return readBytes(percorso("out.p7m"));
}

// A reading's rows, and its refusals as "origin: reason".
struct Raccolta {
    std::vector<RigaArchivio> tutte;
    QStringList scarti;
};

QStringList campi(const std::vector<RigaArchivio> &righe, const QString &radice)
{
    QStringList testo;
    for (const RigaArchivio &r : righe)
        testo << QStringList { QString(r.file).remove(radice), r.voce(), QString::number(r.corpo), r.formato,
            r.tipoDocumento, r.descrizioneTipo, r.numero, r.data, r.cedente, r.cedenteId, r.cessionario,
            r.cessionarioId, r.valuta, r.imponibile.conPunto(), r.imposta.conPunto(), r.totale.conPunto(),
            r.daPagare.conPunto(), QString::number(r.allegati), r.firma, r.sdi,
            r.busta ? QStringLiteral("busta") : QString() }
                     .join(u'|');
    return testo;
}

QStringList contenuto(const QString &cartella)
{
    QStringList nomi;
    QDirIterator it(
        cartella, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        nomi << it.next();
    nomi.sort();
    return nomi;
}

class Archivio : public ::testing::Test {
protected:
    void SetUp() override
    {
        radice = dir.path() + u'/';
        const auto file
            = [&](const char *nome, const QByteArray &bytes) { writeBytes(radice + QString::fromUtf8(nome), bytes); };
        const QByteArray dieci = fattura(corpo("G1", riepilogo("10.00", "2.20")));
        file("IT01234567890_ABCDE.xml",
            fattura(corpo("1", riepilogo("100.00", "22.00") + riepilogo("50.00", "5.00"),
                "<DatiPagamento><DettaglioPagamento><ImportoPagamento>177.00</ImportoPagamento></DettaglioPagamento>"
                "</DatiPagamento><Allegati><NomeAttachment>a.pdf</NomeAttachment><Attachment>QUJD</Attachment>"
                "</Allegati><Allegati><NomeAttachment>vuoto.pdf</NomeAttachment><Attachment/></Allegati>")));
        file("IT01234567890_ABCDE_MT_001.xml",
            "<FileMetadati><IdentificativoSdI>4242</IdentificativoSdI><NomeFile>IT01234567890_ABCDE.xml</NomeFile>"
            "</FileMetadati>");
        file("lotto.xml",
            fattura(corpo("L1", riepilogo("10.10", "2.22"), "<ImportoTotaleDocumento>12.32</ImportoTotaleDocumento>")
                    + corpo("L2", riepilogo("1.234,50", "0.123456789012")),
                "<Nome>Mario</Nome><Cognome>Neri</Cognome>"));
        file("firmata.xml.p7m", firmata(chiavi, fattura(corpo("F1", riepilogo("80.00", "17.60")))));
        file("semplificata.xml", kSemplificata);
        file("note.txt", "appunti\n");
        file("ricevuta.xml", "<RicevutaConsegna><IdentificativoSdI>1</IdentificativoSdI></RicevutaConsegna>");
        file("rotto.zip", "PK\x03\x04 non un archivio");
        const QByteArray interno = scriviZip(chiavi.filePath(QStringLiteral("i.zip")),
            { { QStringLiteral("h.xml"), fattura(corpo("H1", riepilogo("10.00", "2.20"))) } });
        QByteArray zip = scriviZip(radice + QStringLiteral("archivio.zip"),
            { { QStringLiteral("dentro/g.xml"), dieci },
                { QStringLiteral("../../fuori.xml"), QByteArray(dieci).replace("G1", "G2") },
                { QStringLiteral("/assoluto.xml"), QByteArray(dieci).replace("G1", "G3") },
                { QStringLiteral("interno.zip"), interno }, { QStringLiteral("rotta.p7m"), "non una busta" },
                { QStringLiteral("grande.xml"), dieci }, { QStringLiteral("bugiarda.xml"), dieci } });
        zip = dimensioneDichiarata(zip, "grande.xml", 200 * 1000 * 1000);
        writeBytes(radice + QStringLiteral("archivio.zip"), dimensioneDichiarata(zip, "bugiarda.xml", 10));
        QFile::link(radice, radice + QStringLiteral("giro"));
        QFile::link(radice + QStringLiteral("nessuno.xml"), radice + QStringLiteral("manca.xml"));
        ::mkfifo(QFile::encodeName(radice + QStringLiteral("tubo.xml")).constData(), 0600);
    }

    Raccolta leggi(const QStringList &percorsi, OpzioniArchivio opzioni = {})
    {
        RaccoltaArchivio letti;
        LeggiArchivio(percorsi, opzioni, letti);
        Raccolta r { std::move(letti.tutte), {} };
        for (const FileNonFattura &f : letti.nonFatture)
            r.scarti << NomeOrigine(f.file, f.voci) + QStringLiteral(": ") + f.motivo;
        return r;
    }

    QTemporaryDir dir;
    QTemporaryDir chiavi;
    QString radice;
};
} // namespace

TEST_F(Archivio, FolderAndZipGiveTheExactRowsReasonsAndTotals)
{
    const QStringList prima = contenuto(dir.path());
    OpzioniArchivio opzioni;
    opzioni.fili = 2;
    ElencoPigro senzaElenco { QStringList() };
    opzioni.elenchi = &senzaElenco;
    const Raccolta r = leggi({ dir.path() }, opzioni);
    const QString zip = QStringLiteral("archivio.zip|");
    const QString g = QStringLiteral("|1|FPR12|TD01|fattura|%1|2024-03-05|Rossi S.r.l.|IT01234567890|Anna Bianchi|"
                                     "BNCNNA80A41H501X|EUR|10.00|2.20|12.20||0|assente||");
    EXPECT_EQ(campi(r.tutte, radice),
        QStringList({ QStringLiteral("IT01234567890_ABCDE.xml||1|FPR12|TD01|fattura|1|2024-03-05|Rossi S.r.l.|"
                                     "IT01234567890|Anna Bianchi|BNCNNA80A41H501X|EUR|150.00|27.00|177.00|177.00|1|"
                                     "assente|4242|"),
            zip + QStringLiteral("../../fuori.xml") + g.arg(QStringLiteral("G2")),
            zip + QStringLiteral("/assoluto.xml") + g.arg(QStringLiteral("G3")),
            zip + QStringLiteral("dentro/g.xml") + g.arg(QStringLiteral("G1")),
            zip + QStringLiteral("interno.zip/h.xml") + g.arg(QStringLiteral("H1")),
            QStringLiteral("firmata.xml.p7m||1|FPR12|TD01|fattura|F1|2024-03-05|Rossi S.r.l.|IT01234567890|"
                           "Anna Bianchi|BNCNNA80A41H501X|EUR|80.00|17.60|97.60||0|non_verificata||busta"),
            QStringLiteral("lotto.xml||1|FPR12|TD01|fattura|L1|2024-03-05|Mario Neri|IT01234567890|Anna Bianchi|"
                           "BNCNNA80A41H501X|EUR|10.10|2.22|12.32||0|assente||"),
            QStringLiteral("lotto.xml||2|FPR12|TD01|fattura|L2|2024-03-05|Mario Neri|IT01234567890|Anna Bianchi|"
                           "BNCNNA80A41H501X|EUR|1.234,50|0.123456789012|?||0|assente||"),
            QStringLiteral("semplificata.xml||1|FSM10|TD07|fattura semplificata|S1|2024-01-02|Luigi Verdi|"
                           "VRDLGU70A01F205X|Beta||EUR|30.49|6.71|37.20||0|assente||") }));
    EXPECT_EQ(r.scarti,
        QStringList({ radice
                + QStringLiteral("archivio.zip/bugiarda.xml: Voce dell'archivio ZIP più lunga di quanto "
                                 "dichiara: non letta"),
            radice
                + QStringLiteral("archivio.zip/grande.xml: Voce dell'archivio ZIP oltre 100 MB una volta estratta: "
                                 "non letta"),
            radice + QStringLiteral("archivio.zip/rotta.p7m: Il file non è una busta firmata (.p7m) leggibile"),
            radice
                + QStringLiteral("giro: Cartella già elencata (collegamento circolare o ripetuto a %1)")
                      .arg(QDir(dir.path()).canonicalPath()),
            radice + QStringLiteral("manca.xml: Collegamento a un file che non esiste"),
            radice
                + QStringLiteral("note.txt: ATTENZIONE, XML CON ERRORI (002)! Start tag expected, '<' not found "
                                 "Line: 1 appunti"),
            radice + QStringLiteral("ricevuta.xml: Documento xml non gestito, visualizzazione non possibile!"),
            radice + QStringLiteral("rotto.zip: Archivio ZIP non leggibile: Not a zip archive"),
            radice + QStringLiteral("tubo.xml: Non è un file ordinario (dispositivo, pipe o socket): non letto") }));
    Totali totali;
    for (const RigaArchivio &riga : r.tutte)
        totali.aggiungi(riga);
    EXPECT_EQ(totali.testo(),
        QStringLiteral("9 fatture; EUR: imponibile 310,59, imposta 62,33, totale 372,92; non sommate (importi non "
                       "numerici): %1lotto.xml (corpo 2)")
            .arg(radice));
    // Listing wrote nothing.
    EXPECT_EQ(contenuto(dir.path()), prima);
}

TEST_F(Archivio, AnyNumberOfWorkersGivesTheSameRowsInTheSameOrder)
{
    QDir().mkpath(radice + QStringLiteral("molte"));
    for (int i = 1; i <= 40; ++i)
        writeBytes(radice + QStringLiteral("molte/%1.xml").arg(i, 3, 10, QLatin1Char('0')),
            fattura(corpo(QByteArray::number(i), riepilogo("1.00", "0.22"))));
    OpzioniArchivio opzioni;
    opzioni.fili = 1;
    const Raccolta uno = leggi({ dir.path() }, opzioni);
    ASSERT_EQ(uno.tutte.size(), 49u);
    for (const int fili : { 2, 3, 8, 64 }) {
        SCOPED_TRACE(fili);
        opzioni.fili = fili;
        const Raccolta r = leggi({ dir.path() }, opzioni);
        EXPECT_EQ(campi(r.tutte, radice), campi(uno.tutte, radice));
        EXPECT_EQ(r.scarti, uno.scarti);
    }
}

// Stopped at the first rows: nothing more is handed out, and each worker
// opens at most the file it was reading (counted with inotify) before the
// reading returns.
TEST_F(Archivio, AStopInTheMiddleEndsTheReadingAtOnce)
{
    const QString cartella = radice + QStringLiteral("molte");
    QDir().mkpath(cartella);
    for (int i = 1; i <= 300; ++i)
        writeBytes(cartella + QStringLiteral("/%1.xml").arg(i, 3, 10, QLatin1Char('0')),
            fattura(corpo(QByteArray::number(i), riepilogo("1.00", "0.22"))));
    const int sorveglia = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(sorveglia, 0);
    ASSERT_GE(inotify_add_watch(sorveglia, QFile::encodeName(cartella).constData(), IN_OPEN), 0);
    const auto aperti = [&] {
        int n = 0;
        alignas(inotify_event) char eventi[64 * 1024];
        for (ssize_t letti; (letti = read(sorveglia, eventi, sizeof eventi)) > 0;)
            for (char *e = eventi; e < eventi + letti;
                 e += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(e)->len)
                n += (reinterpret_cast<inotify_event *>(e)->mask & IN_ISDIR) == 0;
        return n;
    };
    for (const int fili : { 1, 4 }) {
        SCOPED_TRACE(fili);
        aperti();
        struct Fermo final : Ricevitore {
            std::stop_source fonte;
            std::function<int()> aperti;
            int quante = 0, prima = -1, dopo = 0;
            void righe(std::vector<RigaArchivio> &&nuove) override
            {
                ++dopo;
                quante += static_cast<int>(nuove.size());
                if (prima < 0) {
                    prima = aperti();
                    fonte.request_stop();
                    dopo = 0;
                }
            }
            void nonFattura(FileNonFattura &&) override { ++dopo; }
            void sdi(qsizetype, const QString &) override { ++dopo; }
        } fermo;
        fermo.aperti = aperti;
        OpzioniArchivio opzioni;
        opzioni.fili = fili;
        opzioni.stop = fermo.fonte.get_token();
        LeggiArchivio({ cartella }, opzioni, fermo);
        EXPECT_EQ(fermo.quante, 1);
        EXPECT_EQ(fermo.dopo, 0);
        EXPECT_GE(fermo.prima, 1);
        EXPECT_LE(aperti(), fili - 1);
    }
    ::close(sorveglia);
}

TEST_F(Archivio, ChosenSourcesAreReadAloneWithTheirLinesAndCsv)
{
    const QString zip = radice + QStringLiteral("archivio.zip");
    const QString lotto = radice + QStringLiteral("lotto.xml");
    OpzioniArchivio opzioni;
    opzioni.linee = true;
    opzioni.solo = { NomeOrigine(zip, { QStringLiteral("interno.zip"), QStringLiteral("h.xml") }), lotto };
    const Raccolta r = leggi({ zip, lotto }, opzioni);
    ASSERT_EQ(campi(r.tutte, radice).size(), 3);
    EXPECT_TRUE(r.scarti.isEmpty()) << r.scarti.join(u'\n').toStdString();
    std::vector<const RigaArchivio *> righe;
    for (const RigaArchivio &riga : r.tutte)
        righe.push_back(&riga);
    righe.pop_back();
    RigaArchivio strana = r.tutte.back();
    strana.cedente = QStringLiteral("A;B \"C\"\r\nD");
    righe.push_back(&strana);
    const QByteArray intestazione = "\xEF\xBB\xBF"
                                    "File;Voce;Corpo;Formato;Tipo documento;Descrizione tipo;Numero;Data;"
                                    "Cedente/Prestatore;Identificativo cedente;Cessionario/Committente;Identificativo "
                                    "cessionario;Valuta;Imponibile;Imposta;Totale;Da pagare;Allegati;Firma;"
                                    "Identificativo SdI;Controlli\r\n";
    const QByteArray z = zip.toUtf8(), l = lotto.toUtf8();
    EXPECT_EQ(CsvRighe(righe),
        intestazione + z
            + ";interno.zip/h.xml;1;FPR12;TD01;fattura;H1;05/03/2024;Rossi S.r.l.;IT01234567890;Anna Bianchi;"
              "BNCNNA80A41H501X;EUR;10,00;2,20;12,20;;0;;;\r\n"
            + l
            + ";;1;FPR12;TD01;fattura;L1;05/03/2024;Mario Neri;IT01234567890;Anna Bianchi;BNCNNA80A41H501X;EUR;"
              "10,10;2,22;12,32;;0;;;\r\n"
            + l
            + ";;2;FPR12;TD01;fattura;L2;05/03/2024;\"A;B \"\"C\"\"\r\nD\";IT01234567890;Anna Bianchi;"
              "BNCNNA80A41H501X;EUR;1.234,50;0.123456789012;?;;0;;;\r\n");
    righe.resize(1);
    EXPECT_EQ(CsvLinee(righe),
        "\xEF\xBB\xBF"
        "File;Voce;Corpo;Numero;Data;Cedente/Prestatore;Linea;Codice;Descrizione;Quantità;Unità di "
        "misura;Prezzo unitario;Prezzo totale;Aliquota IVA o natura\r\n"
            + z
            + ";interno.zip/h.xml;1;H1;05/03/2024;Rossi S.r.l.;1;A1;\"Viti; \"\"inox\"\"\";2,00;pz;5,00000000;"
              "10,00;22,00\r\n");
    EXPECT_EQ(LeggiOrigine(zip, { QStringLiteral("interno.zip"), QStringLiteral("h.xml") }),
        fattura(corpo("H1", riepilogo("10.00", "2.20"))));
    EXPECT_EQ(errorOf([&] { LeggiOrigine(zip, { QStringLiteral("grande.xml") }); }),
        "Voce dell'archivio ZIP oltre 100 MB una volta estratta: non letta");
}

TEST_F(Archivio, AThousandBodiesAreAThousandRows)
{
    QByteArray corpi;
    for (int i = 1; i <= 1000; ++i)
        corpi += corpo(QByteArray::number(i), riepilogo("0.01", "0.00"));
    writeBytes(radice + QStringLiteral("mille.xml"), fattura(corpi));
    const Raccolta r = leggi({ radice + QStringLiteral("mille.xml") });
    ASSERT_EQ(r.tutte.size(), 1000u);
    EXPECT_EQ(r.tutte.back().corpo, 1000);
    EXPECT_EQ(r.tutte.back().numero, QStringLiteral("1000"));
    Totali t;
    for (const RigaArchivio &riga : r.tutte)
        t.aggiungi(riga);
    EXPECT_EQ(t.valute[QStringLiteral("EUR")].imponibile, 1000);
}

TEST(Importo, WrittenAmountsAreExactToTheCentOrNotNumbers)
{
    const struct {
        const char *scritto;
        const char *punto;
        const char *italiano;
    } casi[] = {
        { "1234.5", "1234.50", "1.234,50" },
        { "-12.50", "-12.50", "-12,50" },
        { "7.50000000", "7.50", "7,50" },
        { "+3", "3.00", "3,00" },
        { "1234567890123.99", "1234567890123.99", "1.234.567.890.123,99" },
        { "1.234,50", "1.234,50", "1.234,50" },
        { "0.123456789012", "0.123456789012", "0.123456789012" },
        { "12.", "12.", "12." },
        { "abc", "abc", "abc" },
        { "1e3", "1e3", "1e3" },
    };
    for (const auto &c : casi) {
        const Importo i = Importo::scritto(QString::fromUtf8(c.scritto));
        EXPECT_EQ(i.conPunto(), QString::fromUtf8(c.punto)) << c.scritto;
        EXPECT_EQ(i.italiano(), QString::fromUtf8(c.italiano)) << c.scritto;
    }
    // Ten thousand times 0.10 is 1000.00 exactly, as no double sums it.
    EXPECT_EQ(Importo::somma(QStringList(10000, QStringLiteral("0.10"))).conPunto(), QStringLiteral("1000.00"));
    EXPECT_EQ(Importo::somma({ QStringLiteral("1.00"), QStringLiteral("x") }).conPunto(), QStringLiteral("1.00 + x"));
    EXPECT_FALSE(Importo::somma({}).dato());
    EXPECT_FALSE(Importo::centesimi(std::numeric_limits<qint64>::max()).piu(Importo::centesimi(1)).numero());
    EXPECT_EQ(DataItaliana(QStringLiteral("2024-02-29")), QStringLiteral("29/02/2024"));
    EXPECT_EQ(DataItaliana(QStringLiteral("2023-02-29")), QStringLiteral("2023-02-29"));
}
