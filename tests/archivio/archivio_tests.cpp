// The archive reader on a generated folder and ZIP that mix plain, signed,
// several-body, simplified and foreign files with hostile entries: the exact
// rows, reasons and totals; amounts summed to the cent; the CSV bytes.
#include "archivio/archivio.h"
#include "archivio/csv.h"
#include "archivio/fattura_p.h"
#include "firma/elenco.h"
#include "zipprova.h"

#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
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
            zip + QStringLiteral("rotta.p7m|1|||||||||||||||0|non_valida||busta"),
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
            radice
                + QStringLiteral("giro: Cartella già elencata (collegamento circolare o ripetuto a %1)")
                      .arg(QDir(dir.path()).canonicalPath()),
            radice + QStringLiteral("manca.xml: Collegamento a un file che non esiste"),
            radice
                + QStringLiteral("note.txt: Non è un file XML leggibile (riga 1): il testo non comincia con un "
                                 "elemento XML, nel testo \"appunti\""),
            radice + QStringLiteral("rotto.zip: Archivio ZIP non leggibile: non è un archivio ZIP"),
            radice + QStringLiteral("tubo.xml: Non è un file ordinario (dispositivo, pipe o socket): non letto") }));
    Totali totali;
    for (const RigaArchivio &riga : r.tutte)
        totali.aggiungi(riga);
    // The envelope that cannot be read and the body with amounts that are not
    // numbers are left out of every total.
    EXPECT_EQ(totali.testo(),
        QStringLiteral("10 fatture; EUR: imponibile 310,59, imposta 62,33, totale 372,92; 2 fatture non sommate: "
                       "importi non leggibili (%1archivio.zip/rotta.p7m (corpo 1), %1lotto.xml (corpo 2))")
            .arg(radice));
    EXPECT_EQ(r.tutte[5].illeggibile, QStringLiteral("Il file non è una busta firmata (.p7m) leggibile"));
    EXPECT_EQ(
        r.tutte[5].motivoFirma, QStringLiteral("Firma non valida: il file non è una busta firmata (.p7m) leggibile."));
    // Listing wrote nothing.
    EXPECT_EQ(contenuto(dir.path()), prima);
}

TEST_F(Archivio, AnyNumberOfWorkersGivesTheSameRowsInTheSameOrder)
{
    QDir().mkpath(radice + QStringLiteral("molte"));
    for (int i = 1; i <= 40; ++i)
        writeBytes(radice + QStringLiteral("molte/%1.xml").arg(i, 3, 10, QLatin1Char('0')),
            fattura(corpo(QByteArray::number(i), riepilogo("1.00", "0.22"))));
    QDir().mkpath(radice + QStringLiteral("molte/sotto"));
    for (int i = 1; i <= 3; ++i)
        writeBytes(radice + QStringLiteral("molte/sotto/%1.xml").arg(i),
            fattura(corpo("S" + QByteArray::number(i), riepilogo("1.00", "0.22"))));
    OpzioniArchivio opzioni;
    // The whole folder has a link (walked by one thread); "molte" has none
    // (its entries walked by as many threads as read them).
    for (const QString &cartella : { dir.path(), radice + QStringLiteral("molte") }) {
        SCOPED_TRACE(cartella.toStdString());
        opzioni.fili = 1;
        const Raccolta uno = leggi({ cartella }, opzioni);
        ASSERT_EQ(uno.tutte.size(), cartella == dir.path() ? 53u : 43u);
        for (const int fili : { 2, 3, 8, 64 }) {
            SCOPED_TRACE(fili);
            opzioni.fili = fili;
            const Raccolta r = leggi({ cartella }, opzioni);
            EXPECT_EQ(campi(r.tutte, radice), campi(uno.tutte, radice));
            EXPECT_EQ(r.scarti, uno.scarti);
        }
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
                                    "Identificativo SdI;Stato SdI;Controlli\r\n";
    const QByteArray z = zip.toUtf8(), l = lotto.toUtf8();
    EXPECT_EQ(CsvRighe(righe),
        intestazione + z
            + ";interno.zip/h.xml;1;FPR12;TD01;fattura;H1;05/03/2024;Rossi S.r.l.;IT01234567890;Anna Bianchi;"
              "BNCNNA80A41H501X;EUR;10,00;2,20;12,20;;0;;;;\r\n"
            + l
            + ";;1;FPR12;TD01;fattura;L1;05/03/2024;Mario Neri;IT01234567890;Anna Bianchi;BNCNNA80A41H501X;EUR;"
              "10,10;2,22;12,32;;0;;;;\r\n"
            + l
            + ";;2;FPR12;TD01;fattura;L2;05/03/2024;\"A;B \"\"C\"\"\r\nD\";IT01234567890;Anna Bianchi;"
              "BNCNNA80A41H501X;EUR;1.234,50;0.123456789012;?;;0;;;;\r\n");
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

namespace {
// An invoice padded to about 100 kB (blanks after its root are allowed),
// which deflates to almost nothing: the bricks of the bombs.
QByteArray imbottita(const QByteArray &numero)
{
    return fattura(corpo(numero, riepilogo("1.00", "0.22"))) + QByteArray(100'000, ' ');
}

VociZip imbottite(const char *prefisso, int quante)
{
    VociZip voci;
    for (int i = 1; i <= quante; ++i)
        voci.push_back({ QStringLiteral("%1%2.xml").arg(QLatin1String(prefisso)).arg(i),
            imbottita(prefisso + QByteArray::number(i)) });
    return voci;
}
} // namespace

// Small bombs of every kind, made here, each refused with its one reason
// before anything past it is inflated, whatever the number of workers; the
// file after the archive is read all the same.
TEST_F(Archivio, BombsAreRefusedWithOneReasonAndTheRestIsRead)
{
    const auto zip = [&](const QString &nome, const VociZip &voci) { return scriviZip(chiavi.filePath(nome), voci); };
    QByteArray fuori = zip(QStringLiteral("f.zip"), imbottite("F", 1));
    qToLittleEndian(quint32(1'000'000), fuori.data() + fuori.indexOf("PK\x01\x02") + 20); // compressed size
    const QByteArray interni = zip(QStringLiteral("n.zip"),
        { { QStringLiteral("a.zip"), zip(QStringLiteral("a.zip"), imbottite("A", 3)) },
            { QStringLiteral("b.zip"), zip(QStringLiteral("b.zip"), imbottite("B", 3)) } });
    const QByteArray profonda = zip(QStringLiteral("p.zip"),
        { { QStringLiteral("1.zip"),
            zip(QStringLiteral("1.zip"),
                { { QStringLiteral("2.zip"), zip(QStringLiteral("2.zip"), imbottite("P", 1)) } }) } });
    const QString limiteByte = QStringLiteral("Archivio ZIP oltre il limite di 250 kB estratti (possibile bomba ZIP): "
                                              "questa voce e le seguenti non sono lette");
    const struct {
        const char *nome;
        QByteArray zip;
        LimitiArchivio limiti;
        QStringList numeri;
        QStringList scarti;
    } casi[] = {
        { "overlapping entries", vociSovrapposte(zip(QStringLiteral("s.zip"), imbottite("S", 1)), 200), {}, {},
            { QStringLiteral(": Archivio ZIP con voci che condividono gli stessi byte (possibile bomba ZIP): non "
                             "letto") } },
        { "entry beyond the archive", fuori, {}, {},
            { QStringLiteral(": Archivio ZIP con voci fuori dai suoi limiti: non letto") } },
        { "bytes past the budget", zip(QStringLiteral("t.zip"), imbottite("T", 5)), { 250'000, 200, 0, 100, 4 },
            { QStringLiteral("T1"), QStringLiteral("T2") }, { QStringLiteral("/T3.xml: ") + limiteByte } },
        { "entries past the budget", zip(QStringLiteral("v.zip"), imbottite("V", 5)), { 2'000'000, 200, 0, 3, 4 },
            { QStringLiteral("V1"), QStringLiteral("V2"), QStringLiteral("V3") },
            { QStringLiteral("/V4.xml: Archivio ZIP oltre il limite di 3 voci: questa voce e le seguenti non sono "
                             "lette") } },
        // The inner archives' entries spend the one budget of the archive, in order.
        { "inner archives past the budget", interni, { 450'000, 200, 0, 100, 4 },
            { QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("B1") },
            { QStringLiteral("/b.zip/B2.xml: ")
                + QString(limiteByte).replace(QStringLiteral("250"), QStringLiteral("450")) } },
        { "too deep", profonda, { 2'000'000, 200, 0, 100, 2 }, {},
            { QStringLiteral("/1.zip/2.zip: Troppi archivi ZIP uno dentro l'altro: non letto") } },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const QString percorso = radice + QStringLiteral("bomba.zip");
        writeBytes(percorso, c.zip);
        for (const int fili : { 1, 3 }) {
            OpzioniArchivio opzioni;
            opzioni.fili = fili;
            opzioni.limiti = c.limiti;
            // The archive, and a file after it that is read all the same.
            const Raccolta r = leggi({ percorso, radice + QStringLiteral("semplificata.xml") }, opzioni);
            QStringList numeri;
            for (const RigaArchivio &riga : r.tutte)
                numeri << riga.numero;
            EXPECT_EQ(numeri, c.numeri + QStringList { QStringLiteral("S1") });
            EXPECT_EQ(
                r.scarti, QStringList(c.scarti).replaceInStrings(QRegularExpression(QStringLiteral("^")), percorso));
        }
    }
}

// A row with one amount that is not a number is left out of every total,
// and counted once.
TEST(Totali, ARowWithAnUnreadableAmountIsLeftOutOfEveryTotal)
{
    const auto riga = [](const char *numero, const char *imponibile, const char *imposta) {
        RigaArchivio r;
        r.file = QString::fromLatin1(numero);
        r.valuta = QStringLiteral("EUR");
        r.imponibile = Importo::scritto(QString::fromLatin1(imponibile));
        r.imposta = Importo::scritto(QString::fromLatin1(imposta));
        r.totale = r.imponibile.piu(r.imposta);
        return r;
    };
    Totali t;
    for (const RigaArchivio &r : { riga("a", "100.00", "22.00"), riga("b", "50.00", "=2+5"), riga("c", "1,5", "0.33"),
             riga("d", "10.00", "1.00") })
        t.aggiungi(r);
    EXPECT_EQ(t.testo(),
        QStringLiteral(
            "4 fatture; EUR: imponibile 110,00, imposta 23,00, totale 133,00; 2 fatture non sommate: importi "
            "non leggibili (b (corpo 1), c (corpo 1))"));
}

// What a spreadsheet would take for a formula starts with an apostrophe;
// the numbers the program writes stay numbers. The exact cell of each.
TEST(Csv, HostileValuesAreNeutralisedAndNumbersStayNumbers)
{
    RigaArchivio base;
    base.file = QStringLiteral("/a/f.xml");
    base.formato = QStringLiteral("FPR12");
    base.numero = QStringLiteral("1");
    base.cedente = QStringLiteral("Rossi");
    base.imponibile = Importo::scritto(QStringLiteral("10.00"));
    const QByteArrayList campi = QByteArray("/a/f.xml;;1;FPR12;;;1;;Rossi;;;;;10,00;;;;0;;;;").split(';');
    const struct {
        const char *nome;
        std::function<void(RigaArchivio &)> cambia;
        int campo;
        QByteArray cella;
    } casi[] = {
        { "a link formula in a name",
            [](RigaArchivio &r) {
                r.cedente = QStringLiteral("=HYPERLINK(\"http://evil.example/paga\";\"Clicca per pagare\")");
            },
            8, "\"'=HYPERLINK(\"\"http://evil.example/paga\"\";\"\"Clicca per pagare\"\")\"" },
        { "a formula as an amount", [](RigaArchivio &r) { r.imponibile = Importo::scritto(QStringLiteral("=2+5")); },
            13, "'=2+5" },
        { "a negative amount", [](RigaArchivio &r) { r.imponibile = Importo::scritto(QStringLiteral("-12.5")); }, 13,
            "-12,50" },
        { "plus", [](RigaArchivio &r) { r.numero = QStringLiteral("+39 02 1234"); }, 6, "'+39 02 1234" },
        { "minus", [](RigaArchivio &r) { r.numero = QStringLiteral("-x"); }, 6, "'-x" },
        { "at", [](RigaArchivio &r) { r.cessionario = QStringLiteral("@SUM(A1)"); }, 10, "'@SUM(A1)" },
        { "tab", [](RigaArchivio &r) { r.numero = QStringLiteral("\tx"); }, 6, "'\tx" },
        { "carriage return", [](RigaArchivio &r) { r.numero = QStringLiteral("\rx"); }, 6, "\"'\rx\"" },
        { "a ZIP entry's name", [](RigaArchivio &r) { r.voci = QStringList { QStringLiteral("=cmd.xml") }; }, 1,
            "'=cmd.xml" },
        { "a date that is not one", [](RigaArchivio &r) { r.data = QStringLiteral("=1"); }, 7, "'=1" },
    };
    for (const auto &c : casi) {
        RigaArchivio r = base;
        c.cambia(r);
        QByteArrayList attesi = campi;
        attesi[c.campo] = c.cella;
        EXPECT_EQ(CsvRighe({ &r }), CsvIntestazioneRighe() + attesi.join(';') + "\r\n") << c.nome;
    }
    RigaArchivio conLinee = base;
    conLinee.linee.push_back(
        { QStringLiteral("1"), QStringLiteral("-A"), QStringLiteral("=1+1"), QStringLiteral("-2.00"),
            QStringLiteral("pz"), QStringLiteral("=3"), QStringLiteral("-6.00"), QStringLiteral("22.00") });
    EXPECT_EQ(CsvLinee({ &conLinee }),
        CsvIntestazioneLinee() + "/a/f.xml;;1;1;;Rossi;1;'-A;'=1+1;-2,00;pz;'=3;-6,00;22,00\r\n");
}

namespace {
QByteArray fatturaIva(const QByteArray &cedente, const QByteArray &cessionario, const QByteArray &tipo,
    const QByteArray &valuta, const QByteArray &riepiloghi)
{
    const auto soggetto = [](const QByteArray &id) {
        return "<DatiAnagrafici><IdFiscaleIVA><IdPaese>" + id.left(2) + "</IdPaese><IdCodice>" + id.mid(2)
            + "</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>" + id + "</Denominazione></Anagrafica>"
            + "</DatiAnagrafici>";
    };
    return "<p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>"
           "FPR12</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore>"
        + soggetto(cedente) + "</CedentePrestatore><CessionarioCommittente>" + soggetto(cessionario)
        + "</CessionarioCommittente></FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
          "<DatiGeneraliDocumento><TipoDocumento>"
        + tipo + "</TipoDocumento><Divisa>" + valuta
        + "</Divisa><Numero>1</Numero></DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi>" + riepiloghi
        + "</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronica>";
}

QByteArray aliquota(const QByteArray &aliquota, const QByteArray &imponibile, const QByteArray &imposta,
    const QByteArray &altro = QByteArray())
{
    return "<DatiRiepilogo><AliquotaIVA>" + aliquota + "</AliquotaIVA>" + altro + "<ImponibileImporto>" + imponibile
        + "</ImponibileImporto><Imposta>" + imposta + "</Imposta></DatiRiepilogo>";
}
} // namespace

// Generated invoices with known sums: issued and received by the company's
// number, credit notes (an ordinary TD04, a simplified TD08) with their sign,
// two currencies, a nature, split payment, a row left out.
TEST_F(Archivio, TheVatSummaryIsExactPerDirectionCurrencyRateNatureAndChargeability)
{
    const QString cartella = radice + QStringLiteral("iva");
    QDir().mkpath(cartella);
    const auto file
        = [&](const char *nome, const QByteArray &xml) { writeBytes(cartella + u'/' + QLatin1String(nome), xml); };
    const QByteArray noi = "IT01234567890", loro = "IT09876543210";
    file("a.xml",
        fatturaIva(
            noi, loro, "TD01", "EUR", aliquota("22.00", "100.00", "22.00") + aliquota("10.00", "50.00", "5.00")));
    file("b.xml", fatturaIva(noi, loro, "TD04", "EUR", aliquota("22.00", "20.00", "4.40")));
    file("c.xml",
        fatturaIva(loro, noi, "TD01", "EUR",
            aliquota("22.00", "10.10", "2.22", "").replace("</Imposta>", "</Imposta><EsigibilitaIVA>S</EsigibilitaIVA>")
                + aliquota("0.00", "5.00", "0.00", "<Natura>N2.2</Natura>")));
    file("d.xml", fatturaIva(noi, loro, "TD01", "USD", aliquota("22.00", "1.00", "0.22")));
    file("e.xml", fatturaIva(noi, loro, "TD01", "EUR", aliquota("22.00", "abc", "1.00")));
    // The company's fiscal code is its VAT number without the country.
    file("s.xml",
        QByteArray(kSemplificata)
            .replace("<CodiceFiscale>VRDLGU70A01F205X</CodiceFiscale>", "<CodiceFiscale>01234567890</CodiceFiscale>")
            .replace("TD07", "TD08")
            .replace("<DatiBeniServizi><Descrizione>Latte</Descrizione><Importo>12.20</Importo><DatiIVA><Imposta>2.20"
                     "</Imposta></DatiIVA></DatiBeniServizi>",
                ""));
    OpzioniArchivio opzioni;
    opzioni.aliquote = true;
    const Raccolta r = leggi({ cartella }, opzioni);
    ASSERT_TRUE(r.scarti.isEmpty()) << r.scarti.join(u'\n').toStdString();
    RiepilogoIva riepilogo({ QStringLiteral("it 01234567890") });
    for (const RigaArchivio &riga : r.tutte)
        riepilogo.aggiungi(riga);
    QStringList voci;
    for (const VoceRiepilogoIva &v : riepilogo.voci())
        voci << QStringList { v.verso, v.valuta, v.aliquota, v.natura, v.esigibilita,
            FormatoCentesimi(v.imponibile, u'.', false), FormatoCentesimi(v.imposta, u'.', false),
            QString::number(v.fatture) }
                    .join(u'|');
    // 100.00 - 20.00 - (25.00 less the 4.51 inside it at 22%) and 22.00 - 4.40 - 4.51.
    EXPECT_EQ(voci,
        QStringList(
            { QStringLiteral("emesse|EUR|22.00|||59.51|13.09|3"), QStringLiteral("emesse|EUR|10.00|||50.00|5.00|1"),
                QStringLiteral("emesse|USD|22.00|||1.00|0.22|1"), QStringLiteral("ricevute|EUR|22.00||S|10.10|2.22|1"),
                QStringLiteral("ricevute|EUR|0.00|N2.2||5.00|0.00|1") }));
    EXPECT_EQ(riepilogo.testoNonSommate(), QStringLiteral("1 fattura non sommata: importi non leggibili"));
    EXPECT_EQ(riepilogo.nonSommate(), QStringList { cartella + QStringLiteral("/e.xml (corpo 1)") });
    EXPECT_EQ(CsvRiepilogoIva(riepilogo.voci()).split('\n').mid(0, 2).join('\n'),
        "\xEF\xBB\xBFVerso;Valuta;Aliquota IVA;Natura;Esigibilità IVA;Imponibile;Imposta;Fatture\r\n"
        "emesse;EUR;22,00;;;59,51;13,09;3\r");
}

namespace {
// A message of the exchange system, in the namespace of its age.
QByteArray messaggio(const char *radice, const QByteArray &corpo, bool nuovo = false)
{
    const QByteArray ns = nuovo ? "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0"
                                : "http://www.fatturapa.gov.it/sdi/messaggi/v1.0";
    return "<?xml version='1.0'?><t:" + QByteArray(radice) + " xmlns:t='" + ns + "' versione='1.0'>" + corpo
        + "</t:" + radice + ">";
}

QByteArray testa(const char *id, const char *nome, const char *ora = "")
{
    return "<IdentificativoSdI>" + QByteArray(id) + "</IdentificativoSdI>"
        + (*nome ? "<NomeFile>" + QByteArray(nome) + "</NomeFile>" : QByteArray())
        + (*ora ? "<DataOraRicezione>" + QByteArray(ora) + "</DataOraRicezione>" : QByteArray());
}
} // namespace

// Messages meet their invoice by its name (with or without .p7m, any case) or
// by the SdI identifier (of the _MT_ file, or of a message met by name); the
// exchange's order decides, a rejection stays; a message is never a row.
TEST_F(Archivio, MessagesTellEachInvoiceItsFate)
{
    QTemporaryDir d;
    const auto file = [&](const QString &nome, const QByteArray &bytes) { writeBytes(d.filePath(nome), bytes); };
    for (int n = 1; n <= 6; ++n)
        if (n != 2)
            file(QStringLiteral("IT01234567890_0000%1.xml").arg(n), fattura(corpo(QByteArray::number(n), "")));
    file(QStringLiteral("IT01234567890_00002.xml.p7m"), firmata(chiavi, fattura(corpo("2", ""))));
    const QByteArray errori = "<ListaErrori><Errore><Codice>00200</Codice><Descrizione>x</Descrizione></Errore>"
                              "</ListaErrori>";
    file(QStringLiteral("n1.xml"),
        messaggio("NotificaScarto", testa("1", "IT01234567890_00001.xml.p7m", "2024-01-01T10:00:00") + errori));
    file(QStringLiteral("n2.xml"),
        messaggio("RicevutaConsegna", testa("1", "IT01234567890_00001.xml", "2024-01-01T11:00:00"), true));
    file(QStringLiteral("r2.xml"), messaggio("RicevutaConsegna", testa("2", "it01234567890_00002.XML")));
    file(QStringLiteral("IT01234567890_00003_MT_001.xml"),
        "<FileMetadati><IdentificativoSdI>777</IdentificativoSdI>"
        "</FileMetadati>");
    file(QStringLiteral("e3.xml"), messaggio("NotificaEsitoCommittente", testa("777", "") + "<Esito>EC02</Esito>"));
    scriviZip(d.filePath(QStringLiteral("m4.zip")),
        { { QStringLiteral("a_ne.xml"),
              messaggio("NotificaEsito",
                  testa("4", "IT01234567890_00004.xml") + "<EsitoCommittente><Esito>EC01</Esito></EsitoCommittente>",
                  true) },
            { QStringLiteral("z_rc.xml"), messaggio("RicevutaConsegna", testa("4", "IT01234567890_00004.xml")) } });
    file(QStringLiteral("r5.xml"), messaggio("RicevutaConsegna", testa("555", "IT01234567890_00005.xml")));
    file(QStringLiteral("s5.xml"), messaggio("ScartoEsitoCommittente", testa("555", "") + "<Scarto>EN01</Scarto>"));
    file(QStringLiteral("x5.xml"), messaggio("NotificaEsitoCommittente", testa("555", "") + "<Esito>EC01</Esito>"));
    file(QStringLiteral("nessuna.xml"), messaggio("RicevutaConsegna", testa("9", "IT99999999999_ZZZZZ.xml")));
    // An invoice whose name is only its extension: the messages that name no file do not name it.
    file(QStringLiteral(".xml"), fattura(corpo("7", "")));
    // A second invoice of the same name, listed after the message that names both.
    file(QStringLiteral("r6.xml"), messaggio("RicevutaConsegna", testa("6", "IT01234567890_00006.xml")));
    QDir(d.path()).mkdir(QStringLiteral("z"));
    file(QStringLiteral("z/IT01234567890_00006.xml"), fattura(corpo("6", "")));

    RaccoltaArchivio r;
    LeggiArchivio({ d.path() }, {}, r);
    const auto righeDi = [](const RaccoltaArchivio &r) {
        QStringList righe;
        for (const RigaArchivio &riga : r.tutte)
            righe << riga.numero + u'|' + riga.sdi + u'|' + riga.statoSdi + u'|' + riga.messaggi.join(u',');
        return righe;
    };
    const QStringList attese { QStringLiteral("7|||"), QStringLiteral("1||scartata|NS,RC"),
        QStringLiteral("2||consegnata|RC"), QStringLiteral("3|777|rifiutata|MT,EC"),
        QStringLiteral("4||accettata|RC,NE"), QStringLiteral("5||accettata|RC,SE,EC"),
        QStringLiteral("6||consegnata|RC"), QStringLiteral("6||consegnata|RC") };
    EXPECT_EQ(righeDi(r), attese);
    // Without the messages themselves (only their traces), the same fates.
    OpzioniArchivio senzaMessaggi;
    senzaMessaggi.messaggi = false;
    RaccoltaArchivio tracce;
    LeggiArchivio({ d.path() }, senzaMessaggi, tracce);
    EXPECT_EQ(righeDi(tracce), attese);
    EXPECT_TRUE(tracce.trovati.empty());
    QStringList messaggi;
    for (const MessaggioArchivio &m : r.trovati)
        messaggi << QFileInfo(NomeOrigine(m.file, m.voci)).fileName() + u'>' + m.messaggio.sigla() + u'>'
                + (m.riga < 0 ? QStringLiteral("-") : r.tutte[size_t(m.riga)].numero);
    EXPECT_EQ(messaggi,
        QStringList({ QStringLiteral("IT01234567890_00003_MT_001.xml>MT>3"), QStringLiteral("e3.xml>EC>3"),
            QStringLiteral("a_ne.xml>NE>4"), QStringLiteral("z_rc.xml>RC>4"), QStringLiteral("n1.xml>NS>1"),
            QStringLiteral("n2.xml>RC>1"), QStringLiteral("nessuna.xml>RC>-"), QStringLiteral("r2.xml>RC>2"),
            QStringLiteral("r5.xml>RC>5"), QStringLiteral("r6.xml>RC>6"), QStringLiteral("s5.xml>SE>5"),
            QStringLiteral("x5.xml>EC>5") }));
    EXPECT_TRUE(r.nonFatture.empty()) << r.nonFatture.front().motivo.toStdString();
}

// The traces' texts stay as they were given across the blocks that keep
// them, a text longer than a block included.
TEST(TestiTracce, TextsSurviveTheBlocksThatFollow)
{
    TestiTracce testi;
    std::vector<std::pair<QString, QStringView>> tenuti;
    for (int i = 0; i < 3000; ++i) {
        const QString t = i == 1500 ? QString(40000, u'x') : QStringLiteral("IT01234567890_%1.xml").arg(i);
        tenuti.emplace_back(t, testi.tieni(t));
    }
    EXPECT_TRUE(testi.tieni(QString()).isNull());
    for (const auto &[atteso, tenuto] : tenuti)
        ASSERT_EQ(tenuto, atteso);
}
