// The signature panel: each outcome in its colour after the open, always of
// the file named above it; an altered invoice's warning on the page, in the
// message box and in the PDF; the lists read again when their folder changes;
// the list's download; and one verdict for the same bytes from the window and
// every command of lentiva-cli.
#include "app/pannellofirma.h"
#include "casifirma.h"
#include "cli/comandi.h"
#include "common/folders.h"
#include "pkiprova.h"
#include "window_fixture.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "support/testsupport.h"

namespace {
const QDateTime kDuemila(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
const QString kAttenzione = QStringLiteral("ATTENZIONE: Firma non valida: il contenuto è stato modificato dopo la "
                                           "firma. Il documento mostrato potrebbe non essere quello firmato.");

QByteArray alterata(const PkiProva &pki, const QByteArray &fattura)
{
    return pki.busta(fattura).replace("Rossi S.r.l.</D", "Rosso S.r.l.</D");
}
} // namespace

TEST_F(WindowTest, TheSignaturePanelShowsEachOutcomeAfterTheOpen)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    writeBytes(
        programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml"), pki.elenco({ { "granted", kDuemila } }));
    const QByteArray fattura = sampleInvoice("FPR12", "5");
    const struct {
        const char *nome;
        QString file;
        const char *esito;
        QColor colore;
        QString firmatario;
        QStringList messaggi;
    } casi[] = {
        { "envelope", invoice(QStringLiteral("f.xml.p7m"), pki.busta(fattura)), "Firma valida",
            QColor(0x2e, 0x7d, 0x32), QStringLiteral("MARIO ROSSI"), {} },
        { "XAdES", invoice(QStringLiteral("x.xml"), pki.xmlFirmato(fattura)), "Firma valida", QColor(0x2e, 0x7d, 0x32),
            QStringLiteral("MARIO ROSSI"), {} },
        { "unlisted certifier", invoice(QStringLiteral("e.xml.p7m"), pki.busta(fattura, PkiProva::Estraneo)),
            "Firma non verificata", QColor(0xff, 0xb3, 0x00), QStringLiteral("ANNA VERDI"), {} },
        { "altered", invoice(QStringLiteral("a.xml.p7m"), alterata(pki, fattura)), "Firma NON valida",
            QColor(0xc6, 0x28, 0x28), QStringLiteral("MARIO ROSSI"), { kAttenzione } },
        { "unsigned", invoice(QStringLiteral("n.xml"), fattura), "Nessuna firma", QColor(0xbd, 0xbd, 0xbd), QString(),
            {} },
    };
    start();
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        dialogs.messages.clear();
        choose(c.file);
        EXPECT_EQ(dialogs.messages, c.messaggi);
        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(u'|').toStdString();
        EXPECT_EQ(field("STNumDoc"), QStringLiteral("5")); // the invoice is shown whatever the outcome
        EXPECT_EQ(field("StEsitoFirma"), QString::fromUtf8(c.esito));
        EXPECT_EQ(
            window->findChild<QWidget *>(QStringLiteral("StEsitoFirma"))->palette().color(QPalette::Window), c.colore);
        EXPECT_EQ(field("StFirmatario"), c.firmatario);
        EXPECT_EQ(field("StDataFirma").endsWith(QStringLiteral(" UTC")), !c.firmatario.isEmpty());
    }
    window->pannelloFirma()->btnDettagliFirmaClick();
    ASSERT_EQ(dialogs.details.size(), 1);
    EXPECT_EQ(dialogs.details[0],
        QStringLiteral("File: ") + casi[4].file
            + QStringLiteral("\nEsito: Nessuna firma\nNessuna firma: il documento "
                             "non è firmato.\n"));
    choose(casi[0].file);
    window->pannelloFirma()->btnDettagliFirmaClick();
    const QString dettagli = dialogs.details.value(1);
    EXPECT_TRUE(dettagli.startsWith(QStringLiteral("File: ") + casi[0].file
        + QStringLiteral("\nEsito: Firma valida\nFirma valida: documento integro")));
    EXPECT_LT(dettagli.indexOf(QStringLiteral("  Codice fiscale: RSSMRA80A01H501U\n")),
        dettagli.indexOf(QStringLiteral("  Dati tecnici:\n"))); // the holder before the technical fields
    EXPECT_FALSE(dettagli.contains(QStringLiteral("Organizzazione: \n")));
    EXPECT_TRUE(dettagli.contains(QStringLiteral("Elenco dei certificatori: ") + programFolder + DirCertificatori
        + QStringLiteral("TSL-IT.xml")));

    // At the design size the panel fills the right column under the attachments.
    window->showNormal();
    window->resize(1083, 652);
    QTest::qWait(10);
    EXPECT_EQ(window->pannelloFirma()->geometry(), QRect(0, 332, 251, PannelloFirma::Altezza));
    // Its buttons come last in the tab order.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->findChild<QWidget *>(QStringLiteral("btnEsportaPdf"))->setFocus();
    QStringList ordine;
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ordine << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(ordine, QStringList({ QStringLiteral("btnDettagliFirma"), QStringLiteral("btnAggiornaElenco") }));
}

TEST_F(WindowTest, ThePanelAlwaysSpeaksOfTheFileNamedAboveIt)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    writeBytes(
        programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml"), pki.elenco({ { "granted", kDuemila } }));
    const QString buona = invoice(QStringLiteral("f.xml.p7m"), pki.busta(sampleInvoice("FPR12", "5")));
    start();
    const struct {
        const char *nome;
        QString file;
        QString esito;
        QString motivo;
    } casi[] = {
        { "an envelope the tool cannot open", invoice(QStringLiteral("rotta.xml.p7m"), QByteArray(3000, '\xa5')),
            QStringLiteral("Firma NON valida"),
            QStringLiteral("Firma non valida: il file non è una busta firmata (.p7m) leggibile.") },
        { "a document the flow does not handle", invoice(QStringLiteral("senza formato.xml"), "<r/>"),
            QStringLiteral("Nessuna firma"), QStringLiteral("Nessuna firma: il documento non è firmato.") },
        { "an open that fails after its page",
            invoice(QStringLiteral("numero rotto.xml"), sampleInvoice("FPR12", "<x/>")),
            QStringLiteral("Nessuna firma"), QStringLiteral("Nessuna firma: il documento non è firmato.") },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        choose(buona);
        ASSERT_EQ(field("StEsitoFirma"), QStringLiteral("Firma valida"));
        dialogs.errors.clear();
        choose(c.file);
        EXPECT_EQ(field("StFileXML"), c.file);
        EXPECT_EQ(window->pannelloFirma()->file(), c.file);
        EXPECT_EQ(field("StEsitoFirma"), c.esito);
        EXPECT_EQ(window->pannelloFirma()->esito().motivo, c.motivo);
        EXPECT_EQ(field("StFirmatario"), QString());
        EXPECT_TRUE(window->pannelloFirma()->pulsanteDettagli()->isEnabled());
    }
}

TEST_F(WindowTest, AnAlteredInvoiceIsWarnedOnThePageAndInItsPdf)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    const QString altera = invoice(QStringLiteral("a.xml.p7m"), alterata(pki, sampleInvoice("FPR12", "5")));
    const QString buona = invoice(QStringLiteral("b.xml.p7m"), pki.busta(sampleInvoice("FPR12", "6")));
    start();
    choose(altera);
    EXPECT_TRUE(pageText().startsWith(QStringLiteral("ATTENZIONE: Firma non valida: il contenuto e' stato modificato "
                                                     "dopo la firma. Il documento mostrato potrebbe non essere quello "
                                                     "firmato.")))
        << pageText().left(200).toStdString();
    const QString pdf = scratch.filePath(QStringLiteral("a.pdf"));
    dialogs.answers << pdf;
    window->btnEsportaPdfClick();
    QProcess testo;
    testo.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    ASSERT_TRUE(testo.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(testo.readAllStandardOutput())
                    .simplified()
                    .startsWith(QStringLiteral("ATTENZIONE: Firma non valida")));

    // The next file's page carries no warning of the previous one.
    choose(buona);
    EXPECT_FALSE(pageText().contains(QStringLiteral("ATTENZIONE")));
}

TEST_F(WindowTest, TheListsAreReadAgainWhenTheirFolderChanges)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    start({ invoice(QStringLiteral("f.xml.p7m"), pki.busta(sampleInvoice("FPR12"))) });
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma non verificata"));

    const QString lista = programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml");
    writeBytes(lista, pki.elenco({ { "granted", kDuemila } }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return field("StEsitoFirma") == QStringLiteral("Firma valida"); }, 10000));
    // A list past its next update is said where the outcome is.
    writeBytes(lista, pki.elenco({ { "granted", kDuemila } }).replace("<dateTime>2099-", "<dateTime>2020-"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return field("StEsitoFirma") == QStringLiteral("Firma valida · elenco scaduto il 01/01/2020"); }, 10000))
        << field("StEsitoFirma").toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty()); // a check made again tells nothing more
}

TEST_F(WindowTest, UpdatingTheListDownloadsItAndChecksTheInvoiceAgain)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    QDir(programFolder + DirCertificatori).removeRecursively();
    start({ invoice(QStringLiteral("f.xml.p7m"), pki.busta(sampleInvoice("FPR12"))) });
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma non verificata"));

    ServerProva server;
    const QByteArray lista = pki.elenco({ { "granted", kDuemila } });
    PannelloFirma *pannello = window->pannelloFirma();
    pannello->setIndirizzoElenco(server.indirizzo());
    QSignalSpy aggiornato(pannello, &PannelloFirma::elencoAggiornato);
    server.risposta = ServerProva::http("503 Service Unavailable", "");
    pannello->btnAggiornaElencoClick();
    ASSERT_TRUE(aggiornato.wait(30000));
    EXPECT_EQ(dialogs.errors, QStringList { QStringLiteral("Aggiornamento non riuscito: il server ha risposto 503.") });
    EXPECT_FALSE(QFile::exists(programFolder + DirCertificatori));
    EXPECT_EQ(pannello->pulsanteAggiorna()->text(), QStringLiteral("Aggiorna elenco certificatori"));

    server.risposta = ServerProva::http("200 OK", lista);
    pannello->btnAggiornaElencoClick();
    ASSERT_TRUE(aggiornato.wait(30000));
    waitForSignature();
    EXPECT_EQ(readBytes(programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml")), lista);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Elenco dei certificatori aggiornato: 2 servizi")));
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma valida"));
}

TEST_F(WindowTest, OneVerdictForTheSameBytesInTheWindowAndEveryCommand)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    writeBytes(
        programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml"), pki.elenco({ { "granted", kDuemila } }));
    const QString cartella = programFolder + DirFatture + QStringLiteral("casi/");
    const std::vector<CasoFirma> casi = CasiFirma(pki);
    QDir().mkpath(cartella);
    for (const CasoFirma &c : casi)
        writeBytes(cartella + c.file, c.bytes);
    const auto comando = [&](const QStringList &argomenti) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        EseguiComando(argomenti, programFolder, out, err);
        std::multimap<QString, QJsonObject> perFile;
        for (const QByteArray &riga : out.data().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(riga).object();
            if (!o.isEmpty())
                perFile.emplace(o.value(QStringLiteral("file")).toString(), o);
        }
        return perFile;
    };
    QStringList file;
    for (const CasoFirma &c : casi)
        file << cartella + c.file;
    const auto firma = comando(QStringList { QStringLiteral("firma"), QStringLiteral("--json") } + file);
    const auto info = comando(QStringList { QStringLiteral("info"), QStringLiteral("--json") } + file);
    const auto elenco = comando({ QStringLiteral("elenco"), QStringLiteral("--json"), cartella });

    start();
    for (const CasoFirma &c : casi) {
        SCOPED_TRACE(c.nome);
        const QString percorso = cartella + c.file;
        const QString atteso = QString::fromLatin1(c.esito);
        choose(percorso);
        EXPECT_EQ(ParolaEsito(window->pannelloFirma()->esito().esito), atteso);
        EXPECT_EQ(window->pannelloFirma()->esito().motivo, c.motivo);
        ASSERT_EQ(firma.count(percorso), 1u);
        EXPECT_EQ(firma.find(percorso)->second.value(QStringLiteral("esito")).toString(), atteso);
        EXPECT_EQ(firma.find(percorso)->second.value(QStringLiteral("motivo")).toString(), c.motivo);
        // info and elenco give a verdict for the files they read as invoices.
        for (const auto *uscita : { &info, &elenco })
            for (auto [i, fine] = uscita->equal_range(percorso); i != fine; ++i)
                EXPECT_EQ(i->second.value(QStringLiteral("firma")).toString(), atteso);
        // The archive reads nothing inside a signature: a body there is no row,
        // an invoice inside a signature at the root no invoice.
        const bool allaRadice = QLatin1String(c.nome).contains(QLatin1String("as the root"));
        EXPECT_EQ(info.count(percorso), 1u);
        EXPECT_EQ(elenco.count(percorso), allaRadice ? 0u : 1u);
    }
}
