// Signature verification against a certification world made for the tests:
// each outcome with its sentence and signer fields, hostile signatures, the
// time judged, the trusted lists, bad input, the real envelopes and signed
// invoices, several threads at once.
#include "casifirma.h"
#include "firma/firma.h"
#include "pkiprova.h"

#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
const QByteArray kFattura = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica "
                            "xmlns:p=\"urn:x\"><Denominazione>Rossi S.r.l.</Denominazione></p:FatturaElettronica>\n";
const QDateTime kIeri = QDateTime::currentDateTimeUtc().addDays(-1);
const QDateTime kDuemila(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
const QString kIntegra = QStringLiteral("Firma integra ma non verificata: ");
const QString kValida = QStringLiteral("Firma valida: documento integro, certificato valido ed emesso da un "
                                       "certificatore attivo nell'elenco oggi (la revoca non è verificata).");

QDateTime adesso()
{
    return QDateTime::currentDateTimeUtc();
}

QByteArray cambiato(QByteArray b, const QByteArray &da, const QByteArray &a)
{
    const qsizetype i = b.indexOf(da);
    EXPECT_GE(i, 0) << da.constData();
    return b.replace(i, da.size(), a);
}

class Firma : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        pki = new PkiProva(dir->path());
        concesso = new ElencoCertificatori(elenco(pki->elenco({ { "granted", kDuemila } })));
        ritirato = new ElencoCertificatori(elenco(pki->elenco({ { "withdrawn", kIeri }, { "granted", kDuemila } })));
    }
    static void TearDownTestSuite()
    {
        delete ritirato;
        delete concesso;
        delete pki;
        delete dir;
    }
    static ElencoCertificatori elenco(const QByteArray &bytes)
    {
        ElencoCertificatori e;
        e.aggiungi(bytes, QStringLiteral("TSL-IT.xml"));
        return e;
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline PkiProva *pki = nullptr;
    static inline ElencoCertificatori *concesso = nullptr;
    static inline ElencoCertificatori *ritirato = nullptr;
};
} // namespace

TEST_F(Firma, EachOutcomeWithItsSentence)
{
    const QByteArray busta = pki->busta(kFattura);
    const QByteArray xades = pki->xmlFirmato(kFattura);
    const struct {
        const char *nome;
        QByteArray bytes;
        const ElencoCertificatori *elenco;
        EsitoFirma esito;
        QString motivo;
        int firmatari;
    } casi[] = {
        { "envelope, no list", busta, nullptr, EsitoFirma::NonVerificata,
            kIntegra + QStringLiteral("manca l'elenco dei certificatori (cartella CERTIFICATORI)."), 1 },
        { "envelope, granted", busta, concesso, EsitoFirma::Valida, kValida, 1 },
        { "envelope as Base64 text", busta.toBase64(), concesso, EsitoFirma::Valida, kValida, 1 },
        { "envelope in BER", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::Ber), concesso, EsitoFirma::Valida,
            kValida, 1 },
        { "content in pieces", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::APezzi), concesso,
            EsitoFirma::Valida, kValida, 1 },
        { "no signed attributes", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::SenzaAttributi), concesso,
            EsitoFirma::Valida, kValida, 1 },
        { "no signed attributes, altered",
            cambiato(pki->busta(kFattura, PkiProva::Qualificato, PkiProva::SenzaAttributi), "Rossi", "Rosso"), concesso,
            EsitoFirma::NonValida, QStringLiteral("Firma non valida: il contenuto è stato modificato dopo la firma."),
            1 },
        { "nested twice", pki->busta(pki->busta(busta), PkiProva::Estraneo), concesso, EsitoFirma::NonVerificata,
            kIntegra + QStringLiteral("il certificatore di ANNA VERDI non è nell'elenco."), 3 },
        { "withdrawn before signing", busta, ritirato, EsitoFirma::NonVerificata,
            kIntegra
                + QStringLiteral("il certificatore di MARIO ROSSI (CA di Prova Qualificata) non è attivo "
                                 "nell'elenco oggi."),
            1 },
        { "expired", pki->busta(kFattura, PkiProva::Scaduto), concesso, EsitoFirma::NonVerificata,
            kIntegra
                + QStringLiteral("certificato di LUCIA BIANCHI scaduto il %1.")
                      .arg(QDateTime::fromSecsSinceEpoch((adesso().addDays(-1).toSecsSinceEpoch()), Qt::UTC)
                               .toString(QStringLiteral("dd/MM/yyyy"))),
            1 },
        { "content byte changed", cambiato(busta, "Rossi", "Rosso"), concesso, EsitoFirma::NonValida,
            QStringLiteral("Firma non valida: il contenuto è stato modificato dopo la firma."), 1 },
        { "signed attribute changed",
            cambiato(
                busta, QByteArray::fromHex("06092a864886f70d010903"), QByteArray::fromHex("06092a864886f70d010904")),
            concesso, EsitoFirma::NonValida,
            QStringLiteral("Firma non valida: la firma non corrisponde ai dati firmati."), 1 },
        { "XAdES altered", cambiato(xades, "Rossi", "Rosso"), concesso, EsitoFirma::NonValida,
            QStringLiteral("Firma non valida: il contenuto è stato modificato dopo la firma."), 1 },
        { "XAdES, signing time altered", cambiato(xades, "<xades:SigningTime>2", "<xades:SigningTime>1"), concesso,
            EsitoFirma::NonValida, QStringLiteral("Firma non valida: il contenuto è stato modificato dopo la firma."),
            1 },
        { "no signature", kFattura, concesso, EsitoFirma::Assente,
            QStringLiteral("Nessuna firma: il documento non è firmato."), 0 },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const EsitoVerifica e = VerificaFirma(c.bytes, FormaFile::Rileva, c.elenco, adesso());
        EXPECT_EQ(e.esito, c.esito);
        EXPECT_EQ(e.motivo, c.motivo);
        EXPECT_EQ(e.firmatari.size(), c.firmatari);
        EXPECT_EQ(e.integra, c.esito != EsitoFirma::NonValida && c.firmatari > 0);
        EXPECT_EQ(e.elenco.has_value(), c.elenco != nullptr && c.firmatari > 0);
    }
}

TEST_F(Firma, SignerFieldsAsTheCertificateGivesThem)
{
    const EsitoVerifica e = VerificaFirma(
        pki->busta(pki->busta(kFattura, PkiProva::Scaduto), PkiProva::Estraneo), FormaFile::Busta, concesso, adesso());
    ASSERT_EQ(e.firmatari.size(), 2);
    const Firmatario &verdi = e.firmatari[0];
    const Firmatario &bianchi = e.firmatari[1];
    EXPECT_EQ(e.tipo, QStringLiteral("CAdES"));
    EXPECT_EQ(verdi.nome, QStringLiteral("ANNA VERDI"));
    EXPECT_EQ(verdi.codiceFiscale, QStringLiteral("01234567890"));
    EXPECT_EQ(verdi.organizzazione, QStringLiteral("Verdi S.p.A."));
    EXPECT_EQ(verdi.emittente, QStringLiteral("CA Estranea"));
    EXPECT_FALSE(verdi.qualificato);
    EXPECT_TRUE(verdi.validoAllaFirma);
    EXPECT_EQ(verdi.livello, 1);
    EXPECT_EQ(bianchi.livello, 2);
    EXPECT_EQ(bianchi.codiceFiscale, QStringLiteral("BNCLCU75B42F205X"));
    EXPECT_TRUE(bianchi.qualificato);
    EXPECT_FALSE(bianchi.validoAllaFirma);
    EXPECT_EQ(bianchi.algoritmo, QStringLiteral("SHA-256, EC 256 bit"));
    EXPECT_EQ(bianchi.validoDal.daysTo(bianchi.validoAl), 29);
    EXPECT_EQ(bianchi.impronta,
        QString::fromLatin1(
            QCryptographicHash::hash(pki->certificato(PkiProva::Scaduto), QCryptographicHash::Sha256).toHex()));
    EXPECT_LE(qAbs(bianchi.dataFirma.secsTo(QDateTime::currentDateTimeUtc())), 120);
    EXPECT_EQ(bianchi.dataFirma.timeSpec(), Qt::UTC);

    const EsitoVerifica x = VerificaFirma(pki->xmlFirmato(FatturaFirmabile()), FormaFile::Xml, concesso, adesso());
    ASSERT_EQ(x.firmatari.size(), 1);
    const Firmatario &rossi = x.firmatari[0];
    EXPECT_EQ(x.tipo, QStringLiteral("XAdES"));
    EXPECT_EQ(rossi.nome, QStringLiteral("MARIO ROSSI"));
    EXPECT_EQ(rossi.codiceFiscale, QStringLiteral("RSSMRA80A01H501U"));
    EXPECT_EQ(rossi.organizzazione, QStringLiteral("Rossi S.r.l."));
    EXPECT_EQ(rossi.certificatore, QStringLiteral("CA di Prova Qualificata"));
    EXPECT_TRUE(rossi.qualificato);
    EXPECT_EQ(rossi.livello, 0);
    EXPECT_LE(qAbs(rossi.dataFirma.secsTo(QDateTime::currentDateTimeUtc())), 120);
    EXPECT_TRUE(TestoDettagli(x).contains(QStringLiteral("  Codice fiscale: RSSMRA80A01H501U\n")));
    EXPECT_EQ(rossi.dataVerifica.secsTo(adesso()) < 120, true);
}

TEST_F(Firma, BadInputIsRefusedWithASentenceAndNothingFetched)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray fuori = "http://127.0.0.1:" + QByteArray::number(server.serverPort()) + "/fattura.xml";
    const QByteArray busta = pki->busta(kFattura);
    const QByteArray xades = pki->xmlFirmato(kFattura);
    QByteArray certRotto = busta;
    certRotto[busta.indexOf(pki->certificato(PkiProva::Qualificato)) + 4] = '\x31';
    const QByteArray certXml = pki->certificato(PkiProva::Qualificato).toBase64();
    const QString nonBusta = QStringLiteral("Firma non valida: il file non è una busta firmata (.p7m) leggibile.");
    const struct {
        const char *nome;
        QByteArray bytes;
        FormaFile forma;
        QString motivo;
    } casi[] = {
        { "truncated", busta.left(busta.size() / 2), FormaFile::Busta, nonBusta },
        { "garbage", QByteArray(5000, '\xa5'), FormaFile::Busta, nonBusta },
        { "BER without its end", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::Ber).chopped(6),
            FormaFile::Busta, nonBusta },
        { "no signer", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::SenzaFirmatari), FormaFile::Busta,
            QStringLiteral("Firma non valida: la busta non contiene firmatari.") },
        { "signer without certificate", pki->busta(kFattura, PkiProva::Qualificato, PkiProva::SenzaCertificato),
            FormaFile::Busta, QStringLiteral("Firma non valida: manca il certificato del firmatario.") },
        { "certificate that does not parse", certRotto, FormaFile::Busta, nonBusta },
        { "XAdES certificate that does not parse", cambiato(xades, certXml.left(40), "AAAA"), FormaFile::Xml,
            QStringLiteral("Firma non valida: il certificato del firmatario non è leggibile.") },
        { "XAdES without certificate",
            cambiato(cambiato(xades, "<ds:X509Certificate>", "<ds:X509SubjectName>"), "</ds:X509Certificate>",
                "</ds:X509SubjectName>"),
            FormaFile::Xml, QStringLiteral("Firma non valida: la firma non contiene il certificato del firmatario.") },
        { "XAdES reference outside", cambiato(xades, "URI=\"\"", "URI=\"" + fuori + "\""), FormaFile::Xml,
            QStringLiteral("Firma non valida: la firma rimanda a un indirizzo esterno (%1), che non viene scaricato.")
                .arg(QString::fromLatin1(fuori)) },
        { "XAdES with XSLT", cambiato(xades, "2000/09/xmldsig#enveloped-signature", "TR/1999/REC-xslt-19991116"),
            FormaFile::Xml,
            QStringLiteral("Firma non valida: la firma non copre l'intera fattura (trasformazione non ammessa: "
                           "http://www.w3.org/TR/1999/REC-xslt-19991116).") },
        { "duplicate Id", cambiato(xades, "<Denominazione>", "<Denominazione Id=\"proprieta\">"), FormaFile::Xml,
            QStringLiteral("Firma non valida: il documento ripete lo stesso identificativo (Id) su più elementi.") },
        { "not XML", "<a><b></a>", FormaFile::Xml,
            QStringLiteral("Firma non valida: il documento non è un XML leggibile (Opening and ending tag mismatch: b "
                           "line 1 and a).") },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const EsitoVerifica e = VerificaFirma(c.bytes, c.forma, concesso, adesso());
        EXPECT_EQ(e.esito, EsitoFirma::NonValida);
        EXPECT_EQ(e.motivo, c.motivo);
        EXPECT_FALSE(e.integra);
    }
    QTest::qWait(50);
    EXPECT_FALSE(server.hasPendingConnections());
}

TEST_F(Firma, TrustedListsReadAndTheirProblems)
{
    const ElencoCertificatori firmato = elenco(pki->elenco({ { "granted", kDuemila } }, true, 3));
    ASSERT_EQ(firmato.elenchi().size(), 1);
    const InfoElenco &info = firmato.elenchi()[0];
    EXPECT_EQ(info.firma, FirmaElenco::Integra);
    EXPECT_EQ(info.certificatori, 4); // and the old certifier
    EXPECT_EQ(info.marcature, 1);
    EXPECT_EQ(info.territorio, QStringLiteral("IT"));
    EXPECT_EQ(info.operatore, QStringLiteral("Organismo di prova"));
    EXPECT_EQ(DataIso(info.emissione), QStringLiteral("2024-01-01T00:00:00Z"));
    EXPECT_EQ(DataIso(info.prossimoAggiornamento), QStringLiteral("2099-01-01T00:00:00Z"));
    EXPECT_FALSE(info.scaduto);
    EXPECT_EQ(concesso->elenchi()[0].firma, FirmaElenco::Assente);
    EXPECT_EQ(
        elenco(cambiato(pki->elenco({ { "granted", kDuemila } }, true), "di prova", "di Prova")).elenchi()[0].firma,
        FirmaElenco::NonIntegra);

    // Past its next update a list is still used, and says so.
    const ElencoCertificatori vecchio
        = elenco(cambiato(pki->elenco({ { "granted", kDuemila } }), "<dateTime>2099-01-01", "<dateTime>2020-01-01"));
    const EsitoVerifica conVecchio = VerificaFirma(pki->busta(kFattura), FormaFile::Busta, &vecchio, adesso());
    EXPECT_EQ(conVecchio.motivo,
        kValida + QStringLiteral(" L'elenco dei certificatori è scaduto il 01/01/2020: conviene aggiornarlo."));
    EXPECT_TRUE(conVecchio.elenco->scaduto);

    // A folder: the lists it holds, the problems of the others.
    QTemporaryDir cartella;
    writeBytes(cartella.filePath(QStringLiteral("a.xml")), "<TrustServiceStatusList/>");
    writeBytes(cartella.filePath(QStringLiteral("b.xml")), "non XML");
    QFile grande(cartella.filePath(QStringLiteral("c.xml")));
    ASSERT_TRUE(grande.open(QIODevice::WriteOnly) && grande.resize(50 * 1024 * 1024));
    grande.close();
    // Devices and FIFOs, and links to them, are never read: they would never end.
    ASSERT_EQ(::mkfifo(QFile::encodeName(cartella.filePath(QStringLiteral("d.xml"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(cartella.filePath(QStringLiteral("d.xml")), cartella.filePath(QStringLiteral("e.xml"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), cartella.filePath(QStringLiteral("f.xml"))));
    const QString nonNormale = QStringLiteral(": L'elenco dei certificatori non è un file normale (un dispositivo, "
                                              "una coda o un collegamento a uno di essi) e non viene letto");
    QElapsedTimer tempo;
    tempo.start();
    const ElencoCertificatori rotti = CaricaElenchi({ cartella.path(), QStringLiteral("/dev/zero") });
    EXPECT_LT(tempo.elapsed(), 10000);
    EXPECT_TRUE(rotti.elenchi().isEmpty());
    EXPECT_EQ(rotti.problemi(),
        QStringList({ QStringLiteral("a.xml: Il file non è un elenco dei certificatori (ETSI TS 119 612)"),
            QStringLiteral(
                "b.xml: L'elenco dei certificatori non è un XML leggibile: Start tag expected, '<' not found"),
            QStringLiteral("c.xml: L'elenco dei certificatori supera i 20 MB e non viene letto"),
            QStringLiteral("d.xml") + nonNormale, QStringLiteral("e.xml") + nonNormale,
            QStringLiteral("f.xml") + nonNormale, QStringLiteral("zero") + nonNormale }));
    const EsitoVerifica e = VerificaFirma(pki->busta(kFattura), FormaFile::Busta, &rotti, adesso());
    EXPECT_EQ(e.esito, EsitoFirma::NonVerificata);
    EXPECT_TRUE(
        e.motivo.startsWith(kIntegra + QStringLiteral("l'elenco dei certificatori non è utilizzabile (a.xml: ")));

    writeBytes(cartella.filePath(QStringLiteral("g.xml")), pki->elenco({ { "granted", kDuemila } }));
    ElencoPigro pigro({ cartella.path() });
    const auto primo = pigro.elenco();
    EXPECT_EQ(primo->elenchi().size(), 1);
    EXPECT_EQ(pigro.elenco(), primo); // read once
    pigro.ricarica();
    EXPECT_NE(pigro.elenco(), primo);
}

TEST_F(Firma, CorpusSignaturesAreIntactAsTheirToolsSay)
{
    REQUIRE_CORPUS();
    for (const QString &path : corpusFiles(QStringLiteral("p7m"), QStringLiteral(".p7m"))) {
        SCOPED_TRACE(path.toStdString());
        const EsitoVerifica e = VerificaFirma(readBytes(path), FormaFile::Busta, nullptr, adesso());
        if (path.contains(QStringLiteral("_tampered"))) {
            EXPECT_EQ(e.esito, EsitoFirma::NonValida);
            continue;
        }
        EXPECT_EQ(e.esito, EsitoFirma::NonVerificata);
        ASSERT_EQ(e.firmatari.size(), 1);
        // The name as the tool prints the certificate's subject.
        QProcess tool;
        tool.start(QStringLiteral("openssl"),
            { QStringLiteral("cms"), QStringLiteral("-cmsout"), QStringLiteral("-print"), QStringLiteral("-inform"),
                QStringLiteral("DER") });
        tool.write(path.contains(QStringLiteral("ase64")) ? QByteArray::fromBase64(readBytes(path)) : readBytes(path));
        tool.closeWriteChannel();
        tool.waitForFinished(-1);
        const QByteArray stampa = tool.readAllStandardOutput();
        const qsizetype soggetto = stampa.indexOf("subject: ");
        EXPECT_TRUE(stampa.mid(soggetto, stampa.indexOf('\n', soggetto) - soggetto)
                        .contains("CN=" + e.firmatari[0].nome.toUtf8()));
        EXPECT_TRUE(e.firmatari[0].qualificato);
    }
    int firmati = 0;
    for (const QString &path : corpusFiles(QStringLiteral("xml"), QStringLiteral(".xml"))) {
        SCOPED_TRACE(path.toStdString());
        const EsitoVerifica e = VerificaFirma(readBytes(path), FormaFile::Xml, nullptr, adesso());
        if (e.esito == EsitoFirma::Assente)
            continue;
        ++firmati;
        ASSERT_EQ(e.firmatari.size(), 1);
        QProcess xmlsec;
        xmlsec.start(QStringLiteral("xmlsec1"),
            { QStringLiteral("--verify"), QStringLiteral("--enabled-reference-uris"), QStringLiteral("empty,same-doc"),
                QStringLiteral("--insecure"), QStringLiteral("--id-attr:Id"),
                QStringLiteral("http://uri.etsi.org/01903/v1.3.2#:SignedProperties"), QStringLiteral("--id-attr:Id"),
                QStringLiteral("http://www.w3.org/2000/09/xmldsig#:KeyInfo"), path });
        xmlsec.waitForFinished(-1);
        EXPECT_EQ(e.esito, xmlsec.exitCode() == 0 ? EsitoFirma::NonVerificata : EsitoFirma::NonValida)
            << e.motivo.toStdString();
        EXPECT_FALSE(e.firmatari[0].nome.isEmpty());
    }
    EXPECT_EQ(firmati, 3);
}

TEST_F(Firma, ThreadsShareOneList)
{
    const QByteArray busta = pki->busta(kFattura);
    const QByteArray xades = pki->xmlFirmato(FatturaFirmabile());
    std::vector<std::future<bool>> lavori;
    for (int t = 0; t < 4; ++t)
        lavori.push_back(std::async(std::launch::async, [&] {
            bool ok = true;
            for (int i = 0; i < 20; ++i)
                ok = ok && VerificaFirma(busta, FormaFile::Busta, concesso, adesso()).esito == EsitoFirma::Valida
                    && VerificaFirma(xades, FormaFile::Xml, concesso, adesso()).esito == EsitoFirma::Valida
                    && VerificaFirma(busta.left(900), FormaFile::Busta, concesso, adesso()).esito
                        == EsitoFirma::NonValida;
            return ok;
        }));
    for (auto &l : lavori)
        EXPECT_TRUE(l.get());
}

TEST_F(Firma, OnlyWhatWasSignedIsEverIntact)
{
    for (const CasoFirma &c : CasiFirma(*pki)) {
        SCOPED_TRACE(c.nome);
        QElapsedTimer tempo;
        tempo.start();
        const EsitoVerifica e = VerificaFirma(c.bytes, FormaPerNome(c.file), concesso, adesso());
        EXPECT_EQ(ParolaEsito(e.esito), QString::fromLatin1(c.esito));
        EXPECT_EQ(e.motivo, c.motivo);
        EXPECT_LT(tempo.elapsed(), 10000); // no input makes it work for long
    }
}

TEST_F(Firma, CertificatesAreJudgedAtTheTimeGiven)
{
    PkiProva::Firma storico;
    storico.chi = PkiProva::Storico;
    storico.quando = QDateTime(QDate(2015, 6, 1), QTime(10, 0), Qt::UTC);
    const QByteArray busta = pki->busta(FatturaFirmabile(), storico);
    const struct {
        const char *nome;
        QDateTime adesso;
        EsitoFirma esito;
        QString motivo;
    } casi[] = {
        { "within its validity and its certifier's", QDateTime(QDate(2016, 6, 1), QTime(0, 0), Qt::UTC),
            EsitoFirma::Valida, kValida },
        { "before the signing time it declares", QDateTime(QDate(2015, 3, 1), QTime(0, 0), Qt::UTC), EsitoFirma::Valida,
            kValida },
        { "expired, its certifier still active", QDateTime(QDate(2016, 12, 31), QTime(12, 0), Qt::UTC),
            EsitoFirma::NonVerificata,
            kIntegra
                + QStringLiteral("certificato di GIUSEPPE NERI scaduto il 31/12/2016; valido alla data dichiarata "
                                 "dal firmatario, che nessuna marca temporale conferma.") },
        { "before the certificate", QDateTime(QDate(2014, 1, 1), QTime(0, 0), Qt::UTC), EsitoFirma::NonVerificata,
            kIntegra + QStringLiteral("certificato di GIUSEPPE NERI valido solo dal 01/01/2015.") },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const EsitoVerifica e = VerificaFirma(busta, FormaFile::Busta, concesso, c.adesso);
        EXPECT_EQ(e.esito, c.esito);
        EXPECT_EQ(e.motivo, c.motivo);
        EXPECT_EQ(e.firmatari.value(0).dataVerifica, c.adesso);
    }
}

// The archive skips the signature check only for bytes whose encoding
// would write "Signature" in ASCII and that do not hold it; anything else,
// whatever its declaration looks like, takes the check.
TEST(SenzaFirma, OnlyAsciiCompatibleBytesWithoutTheNameSkipTheCheck)
{
    const struct {
        const char *xml;
        bool senza;
    } casi[] = {
        { "<a/>", true },
        { "\xEF\xBB\xBF<a/>", true },
        { "<?xml version='1.0'?><a/>", true },
        { "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", true },
        { "<?xml version='1.0' encoding = 'utf8' ?><a/>", true },
        { "<?xml version='1.0' encoding=\"ISO-8859-15\"?><a/>", true },
        { "<?xml version='1.0' encoding='iso_8859-1'?><a/>", true },
        { "<?xml version='1.0' encoding='Latin-1'?><a/>", true },
        { "<?xml version='1.0' encoding='windows-1252'?><a/>", true },
        { "<?xml version='1.0' encoding='CP1250'?><a/>", true },
        { "<?xml version='1.0' encoding='us-ascii'?><a/>", true },
        { "<?xml version='1.0' encoding='IBM037'?><a/>", false },
        { "<?xml version='1.0' encoding='UTF-16'?><a/>", false },
        { "<?xml version='1.0' encoding='UTF-7'?><a/>", false },
        { "<?xml version='1.0' encoding='windows-1259'?><a/>", false },
        { "<?xml version='1.0' encoding='latin10'?><a/>", false },
        { "<?xml version='1.0' encoding='iso-8859-'?><a/>", false },
        { "<?xml version='1.0' encoding='utf-8 '?><a/>", false },
        // The first "encoding" that is a declaration's, before its '>'.
        { "<?xml version='1.0' encodingx encoding='UTF-7'?><a/>", false },
        { "<?xml version='1.0'?><a encoding='UTF-7'/>", true },
        { "<?xml version='1.0' encoding='UTF-8'?><a><Signature/></a>", false },
        { "<a><!-- Signature --></a>", false },
        { "\x4c\x6f\xa7\x94\x93", false }, // EBCDIC "<?xml"
        { "", false },
    };
    for (const auto &c : casi)
        EXPECT_EQ(SenzaFirmaXml(QByteArrayView(c.xml)), c.senza) << c.xml;
}
