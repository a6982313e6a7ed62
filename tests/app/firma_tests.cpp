// The signature panel: each outcome in its colour after the open, the message
// box of an altered invoice, the details, the tab order, the list's download.
#include "app/pannellofirma.h"
#include "common/folders.h"
#include "pkiprova.h"
#include "window_fixture.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/testsupport.h"

namespace {
const QDateTime kDuemila(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
const QString kAttenzione = QStringLiteral("ATTENZIONE: Firma non valida: il contenuto è stato modificato dopo la "
                                           "firma. Il documento mostrato potrebbe non essere quello firmato.");
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
        { "altered",
            invoice(QStringLiteral("a.xml.p7m"), pki.busta(fattura).replace("Rossi S.r.l.</D", "Rosso S.r.l.</D")),
            "Firma NON valida", QColor(0xc6, 0x28, 0x28), QStringLiteral("MARIO ROSSI"), { kAttenzione } },
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
    // An open that stops at its message leaves the panel as it was.
    choose(invoice(QStringLiteral("senza formato.xml"), "<r/>"));
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Nessuna firma"));

    window->pannelloFirma()->btnDettagliFirmaClick();
    ASSERT_EQ(dialogs.details.size(), 1);
    EXPECT_TRUE(
        dialogs.details[0].startsWith(QStringLiteral("File: ") + casi[4].file + QStringLiteral("\nEsito: assente")));
    choose(casi[0].file);
    window->pannelloFirma()->btnDettagliFirmaClick();
    EXPECT_TRUE(dialogs.details.value(1).contains(QStringLiteral("  Codice fiscale: RSSMRA80A01H501U\n")));
    EXPECT_TRUE(dialogs.details.value(1).contains(QStringLiteral("Elenco dei certificatori: ") + programFolder
        + DirCertificatori + QStringLiteral("TSL-IT.xml")));
    // One that fails after showing its page leaves it empty, never the previous outcome.
    choose(invoice(QStringLiteral("numero rotto.xml"), sampleInvoice("FPR12", "<x/>")));
    EXPECT_EQ(dialogs.errors, QStringList { QStringLiteral("Element does not contain a single text node.") });
    EXPECT_EQ(field("StEsitoFirma"), QString());
    EXPECT_FALSE(window->pannelloFirma()->pulsanteDettagli()->isEnabled());
    choose(casi[0].file);

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

TEST_F(WindowTest, UpdatingTheListDownloadsItAndChecksTheInvoiceAgain)
{
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    QDir(programFolder + DirCertificatori).removeRecursively();
    start({ invoice(QStringLiteral("f.xml.p7m"), pki.busta(sampleInvoice("FPR12"))) });
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma non verificata"));

    ServerProva server;
    const QByteArray lista = pki.elenco({ { "granted", kDuemila } });
    window->pannelloFirma()->setIndirizzoElenco(server.indirizzo());
    server.risposta = ServerProva::http("503 Service Unavailable", "");
    window->pannelloFirma()->btnAggiornaElencoClick();
    EXPECT_EQ(dialogs.errors, QStringList { QStringLiteral("Aggiornamento non riuscito: il server ha risposto 503.") });
    EXPECT_FALSE(QFile::exists(programFolder + DirCertificatori));

    server.risposta = ServerProva::http("200 OK", lista);
    window->pannelloFirma()->btnAggiornaElencoClick();
    EXPECT_EQ(readBytes(programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml")), lista);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Elenco dei certificatori aggiornato: 1 servizi")));
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma valida"));
}
