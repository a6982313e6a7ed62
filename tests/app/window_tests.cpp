// The main window on the offscreen platform: start-up, the open flow through
// scripted dialogs, what each failure shows and leaves, the pane, the hook.
#include "app/invoicepane.h"
#include "common/folders.h"
#include "pkiprova.h"
#include "window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/testsupport.h"

namespace {
// Records the right presses that reach a widget.
struct RightPressRecorder final : QObject {
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)
            count += static_cast<QMouseEvent *>(e)->button() == Qt::RightButton;
        return false;
    }
};
} // namespace

TEST_F(WindowTest, StartUpTakesOnlyAUsableFirstArgument)
{
    QDir(programFolder).mkpath(QStringLiteral("FATTURE/una cartella.xml"));
    const struct {
        const char *name;
        QString argument;
        bool opens;
    } rows[] = {
        { "none", QString(), false },
        { "blanks only", QStringLiteral("  "), false },
        { "missing", programFolder + QStringLiteral("FATTURE/manca.xml"), false },
        { "folder", programFolder + QStringLiteral("FATTURE/una cartella.xml"), false },
        { "wrong extension", invoice(QStringLiteral("f.txt"), sampleInvoice("FPR12")), false },
        { "xml.bak", invoice(QStringLiteral("f.xml.bak"), sampleInvoice("FPR12")), false },
        { "upper case, blanks in the name", invoice(QStringLiteral("FATTURA DI PROVA 1.XML"), sampleInvoice("FPA12")),
            true },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        dialogs = ScriptedDialogs();
        start(r.argument.isNull() ? QStringList {} : QStringList { r.argument, QStringLiteral("second.xml") });
        EXPECT_TRUE(window->fileParametro().isEmpty());
        EXPECT_EQ(window->stato().FoglioStile, programFolder + DirFogliStile + (r.opens ? FoglioFPA12 : FoglioFPR12));
        EXPECT_TRUE(dialogs.shown.isEmpty());
        EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
        EXPECT_EQ(field("StFileXML"), r.opens ? r.argument : QString());
        EXPECT_EQ(field("STNumDoc"), r.opens ? QStringLiteral("7") : QString());
        EXPECT_EQ(window->focusWidget(), window->findChild<QPushButton *>(QStringLiteral("btnSelFile")));
        if (r.opens) {
            EXPECT_EQ(pageText(), QStringLiteral("PA 7 citta'"));
        }
    }
    // The argument is used once: "Seleziona" asks afterwards.
    window->btnSelFileClick();
    EXPECT_EQ(dialogs.shown.size(), 1);
}

TEST_F(WindowTest, OpenDialogAndAFullOpen)
{
    start();
    choose(QString());
    ASSERT_EQ(dialogs.shown.size(), 1);
    const ImpostazioniDialogo &d = dialogs.shown[0];
    EXPECT_EQ(d.cartella, programFolder + DirFatture);
    EXPECT_EQ(d.estensione, QStringLiteral("xml"));
    EXPECT_EQ(d.titolo, QStringLiteral("Selezione fattura elettronica (formato xml, p7m)"));
    EXPECT_EQ(filtriQt(d.filtro),
        (QStringList { QStringLiteral("fatture (.xml) (*.xml)"), QStringLiteral("fatture firmate (.p7m) (*.p7m)"),
            QStringLiteral("tutte le fatture (.xml, .p7m) (*.xml *.p7m)"), QStringLiteral("tutti i file (*.*) (*)") }));
    EXPECT_EQ(field("StFileXML"), QString());

    const QString path = invoice(QStringLiteral("a.xml"), sampleInvoice("FSM10", "A-1"));
    choose(path);
    EXPECT_EQ(pageText(), QStringLiteral("SM A-1 citta'"));
    EXPECT_EQ(field("StFileXML"), path);
    EXPECT_EQ(field("STTipoDoc"), QStringLiteral("TD01 fattura"));
    EXPECT_EQ(field("StFornitore"), QStringLiteral("Rossi S.r.l."));
    EXPECT_EQ(field("StDataDoc"), QStringLiteral("2019-01-31"));
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("A-1"));

    // Cancelling changes nothing; a second invoice replaces page and header.
    choose(QStringLiteral(" "));
    EXPECT_EQ(field("StFileXML"), path);
    choose(invoice(QStringLiteral("b.xml"), sampleInvoice("FPR12", "B-2")));
    EXPECT_EQ(pageText(), QStringLiteral("PR B-2 citta'"));
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("B-2"));
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
}

TEST_F(WindowTest, EachFailureShowsItsMessageAndLeavesThePreviousInvoice)
{
    start();
    const QString good = invoice(QStringLiteral("buona.xml"), sampleInvoice("FPR12", "1"));
    const QString missingStyle = programFolder + DirFogliStile + FoglioFSM10;
    const struct {
        const char *name;
        QString file;
        QStringList messages;
        QStringList errors;
    } rows[] = {
        { "not well-formed", invoice(QStringLiteral("rotta.xml"), "<a>\n<b></a>"),
            { QStringLiteral("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\nOpening and ending tag mismatch: b line 2 and "
                             "a\r\nLine: 2\r\n<b></a>"),
                MsgDocumentoNonGestito },
            {} },
        { "text file", invoice(QStringLiteral("nota.txt"), "solo testo"),
            { QStringLiteral("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\nStart tag expected, '<' not found\r\nLine: "
                             "1\r\nsolo testo"),
                MsgDocumentoNonGestito },
            {} },
        { "file gone", programFolder + QStringLiteral("FATTURE/sparita.xml"), { MsgDocumentoNonGestito }, {} },
        { "no format", invoice(QStringLiteral("senza.xml"), "<r><Numero>9</Numero></r>"), { MsgDocumentoNonGestito },
            {} },
        { "format with an element", invoice(QStringLiteral("el.xml"), sampleInvoice("<x/>")), {},
            { QStringLiteral("Element does not contain a single text node.") } },
        { "stylesheet missing", invoice(QStringLiteral("sm.xml"), sampleInvoice("FSM10", "2")), {},
            { QStringLiteral("Errore nel caricamento XSL: ") + missingStyle + QLatin1Char('.') } },
        { "envelope damaged", invoice(QStringLiteral("busta.xml.p7m"), "0\x82\x01\x00 rotta"), {},
            { QStringLiteral("OpenSSL errore (ExitCode=2)") } },
        { "envelope missing", programFolder + QStringLiteral("FATTURE/manca.p7m"), {},
            { QStringLiteral("File non trovato: ") + programFolder + QStringLiteral("FATTURE/manca.p7m.") } },
    };
    choose(good);
    ASSERT_EQ(pageText(), QStringLiteral("PR 1 citta'"));
    QFile::remove(missingStyle);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        dialogs.messages.clear();
        dialogs.errors.clear();
        choose(r.file);
        EXPECT_EQ(dialogs.messages, r.messages);
        EXPECT_EQ(dialogs.errors, r.errors);
        EXPECT_EQ(field("StFileXML"), r.file);
        EXPECT_EQ(field("STNumDoc"), QStringLiteral("1"));
    }
    EXPECT_EQ(window->stato().FoglioStile, missingStyle);
    EXPECT_EQ(pageText(), QStringLiteral("PR 1 citta'")); // still the first page
}

TEST_F(WindowTest, SignedEnvelopeOpensThroughTheTool)
{
    REQUIRE_CORPUS();
    const QString envelope = programFolder + DirFatture + QStringLiteral("IT01234567890_FPR03.xml.p7m");
    QFile::copy(corpusDir() + QStringLiteral("/p7m/IT01234567890_FPR03.xml.p7m"), envelope);
    start({ envelope });
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(u'|').toStdString();
    EXPECT_EQ(field("StFileXML"), envelope);
    EXPECT_EQ(window->stato().FileXml, programFolder + DirFatture + QStringLiteral("IT01234567890_FPR03.xml"));
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("123\r\n456"));
    EXPECT_TRUE(pageText().startsWith(QStringLiteral("PR 123")));

    // The hidden command extracts the XML on show once more.
    QFile::remove(window->stato().FileXml);
    window->btnEstraiPM7Click();
    EXPECT_TRUE(QFile::exists(window->stato().FileXml));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(WindowTest, RightClicksInsideThePageAreDropped)
{
    start({ invoice(QStringLiteral("a.xml"), sampleInvoice("FPR12")) });
    ASSERT_EQ(pageText(), QStringLiteral("PR 7 citta'"));
    QWidget *inside = window->browser()->focusProxy();
    ASSERT_NE(inside, nullptr);
    auto *list = window->findChild<QListWidget *>(QStringLiteral("LBAlleg"));
    RightPressRecorder insideRecorder, listRecorder;
    inside->installEventFilter(&insideRecorder);
    list->viewport()->installEventFilter(&listRecorder);
    QTest::mouseClick(inside, Qt::RightButton);
    QTest::mouseDClick(inside, Qt::RightButton);
    QTest::mouseClick(list->viewport(), Qt::RightButton);
    EXPECT_EQ(insideRecorder.count, 0);
    EXPECT_EQ(listRecorder.count, 1);
    QTest::qWait(200);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // The keyboard's menu key passes, as every key does.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    inside->setFocus();
    QTest::keyClick(inside, Qt::Key_Menu);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 3000));
    if (QWidget *menu = QApplication::activePopupWidget())
        menu->close();
}

TEST_F(WindowTest, AStartUpMessageComesBeforeTheWindowIsSeen)
{
    start({ invoice(QStringLiteral("nofmt.xml"), "<p:FatturaElettronica xmlns:p='urn:x'/>") });
    EXPECT_EQ(dialogs.messages, QStringList { MsgDocumentoNonGestito });
    EXPECT_EQ(dialogs.windowSeenAtMessage, QList<bool> { false });
    EXPECT_TRUE(window->isVisible());
    // Nothing of the layout can be cut: the window never gets smaller than the design's client area.
    window->showNormal();
    window->resize(800, 560);
    QTest::qWait(10);
    EXPECT_GE(window->width(), 1067);
    EXPECT_GE(window->height(), 613);
    EXPECT_LE(window->findChild<QWidget *>(QStringLiteral("btnEsci"))->geometry().right(),
        window->findChild<QWidget *>(QStringLiteral("panTop"))->width());
}

TEST_F(WindowTest, LayoutTabOrderAndLinks)
{
    start({ invoice(QStringLiteral("a.xml"), sampleInvoice("FPR12")) });
    ASSERT_EQ(pageText(), QStringLiteral("PR 7 citta'"));
    window->resize(1400, 900);
    QTest::qWait(10);
    const auto height = [&](const char *name) { return window->findChild<QWidget *>(QLatin1String(name))->height(); };
    EXPECT_EQ(height("panTop"), 113);
    EXPECT_EQ(height("PanBottom"), 43);
    EXPECT_EQ(window->findChild<QWidget *>(QStringLiteral("PanRight"))->width(), 251);
    EXPECT_EQ(window->browser()->width(), 1400 - 251);
    EXPECT_FALSE(window->findChild<QWidget *>(QStringLiteral("panUtili"))->isVisible());
    EXPECT_FALSE(window->findChild<QWidget *>(QStringLiteral("MemoXCodifica"))->isVisible());

    // Tab walks the controls the user works with, in this order.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->findChild<QWidget *>(QStringLiteral("btnSelFile"))->setFocus();
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        QWidget *f = QApplication::focusWidget();
        while (f != nullptr && f->objectName().isEmpty())
            f = f->parentWidget(); // the page's inner widget stands for the pane
        order << (f != nullptr ? f->objectName() : QStringLiteral("<none>"));
        QWidget *before = QApplication::focusWidget();
        QTest::keyClick(before, Qt::Key_Tab);
        // Inside the page the engine handles Tab itself and hands the focus
        // back when the page has nothing more to visit.
        (void)QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, 3000);
    }
    EXPECT_EQ(order,
        (QStringList { QStringLiteral("btnSelFile"), QStringLiteral("btnEsci"), QStringLiteral("btnGuida"),
            QStringLiteral("WebBrowser1"), QStringLiteral("LBAlleg"), QStringLiteral("ButtonSave"),
            QStringLiteral("ButtonOpen") }));
    EXPECT_EQ(window->findChild<QWidget *>(QStringLiteral("btnGuida"))->toolTip(), QString());
    EXPECT_EQ(window->findChild<QWidget *>(QStringLiteral("PanBottom"))->toolTip(), QStringLiteral("Guida"));

    window->btnGuidaClick();
    window->imgVelmaroClick();
    ASSERT_EQ(dialogs.opened.size(), 2);
    EXPECT_EQ(dialogs.opened[0].path(), QStringLiteral("/w_quadrel-lentiva0-hlp0.aspx"));
    EXPECT_EQ(dialogs.opened[1].toString(QUrl::RemoveScheme | QUrl::RemoveAuthority),
        QStringLiteral("/w_quadrel-velmaro0.aspx?from=FRM"));
    EXPECT_EQ(dialogs.opened[0].scheme(), QStringLiteral("https"));
}

namespace {
QByteArray allegato(const QByteArray &nome, const QByteArray &contenuto)
{
    return "<Allegati><NomeAttachment>" + nome + "</NomeAttachment><Attachment>" + contenuto.toBase64()
        + "</Attachment></Allegati>";
}
} // namespace

TEST_F(WindowTest, AttachmentsAreListedSortedAndSavedByTheirTie)
{
    start();
    // Save with nothing listed does nothing.
    window->ButtonSaveClick();
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());

    const QByteArray body = allegato("b.pdf", "%PDF-b") + allegato("a.pdf", "%PDF-a")
        + allegato("Relazione \xc3\xa8 pronta.txt", "testo") + allegato("../../fuori.txt", "x");
    choose(invoice(QStringLiteral("con allegati.xml"), sampleInvoice("FPR12", "1", body)));
    EXPECT_EQ(attachmentNames(),
        (QStringList { QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("fuori.txt"),
            QStringLiteral("Relazione \u00e8 pronta.txt") }));
    auto *list = window->findChild<QListWidget *>(QStringLiteral("LBAlleg"));
    EXPECT_EQ(list->currentRow(), 0);

    const QString allegati = programFolder + DirAllegati;
    window->ButtonSaveClick();
    EXPECT_EQ(readBytes(allegati + QStringLiteral("a.pdf")), QByteArray("%PDF-a"));
    list->setCurrentRow(3);
    window->ButtonSaveClick();
    EXPECT_EQ(readBytes(allegati + QStringLiteral("Relazione \u00e8 pronta.txt")), QByteArray("testo"));
    list->setCurrentRow(2);
    window->ButtonSaveClick();
    EXPECT_EQ(readBytes(allegati + QStringLiteral("fuori.txt")), QByteArray("x"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("fuori.txt"))));
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(u'|').toStdString();

    list->clearSelection();
    window->ButtonSaveClick();
    EXPECT_EQ(dialogs.messages, QStringList { QStringLiteral("Selezionare l'allegato da salvare!") });

    // Without the folder the save fails with the file error.
    QDir(allegati).removeRecursively();
    list->setCurrentRow(1);
    window->ButtonSaveClick();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(
        dialogs.errors[0].startsWith(QStringLiteral("Cannot create file \"") + allegati + QStringLiteral("b.pdf\". ")));

    window->ButtonOpenClick();
    EXPECT_EQ(dialogs.opened.value(0), QUrl::fromLocalFile(allegati));

    // A second invoice without attachments empties the list.
    choose(invoice(QStringLiteral("senza.xml"), sampleInvoice("FPR12", "2")));
    EXPECT_TRUE(attachmentNames().isEmpty());
}

TEST_F(WindowTest, HiddenUtilityCommands)
{
    start();
    const QString source = invoice(QStringLiteral("sorgente.bin"), QByteArray("\x00\x01\xfe\xff", 4));
    dialogs.answers << source;
    window->btnCodificaFileClick();
    auto *memo = window->findChild<QPlainTextEdit *>(QStringLiteral("MemoXCodifica"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("AAH+/w=="));
    EXPECT_EQ(dialogs.shown.last().cartella, programFolder + DirAllegati);
    EXPECT_EQ(dialogs.shown.last().titolo, QStringLiteral("Selezione file da codificare in base64"));

    dialogs.answers << programFolder + QStringLiteral("manca.bin");
    window->btnCodificaFileClick();
    EXPECT_EQ(memo->toPlainText(), QString());
    EXPECT_EQ(dialogs.messages.value(0),
        QStringLiteral("Errore: ") + programFolder + QStringLiteral("manca.bin non trovato!"));

    dialogs.answers << invoice(QStringLiteral("fattura.xml.p7m"), "x");
    window->btndecodificaClick();
    EXPECT_EQ(dialogs.messages.value(1),
        QStringLiteral("Formato del file selezionato non corretto. Selezionare file in .xml"));

    QDir(programFolder + DirAllegati).removeRecursively();
    dialogs.answers << invoice(QStringLiteral("FATTURA.XML"),
        sampleInvoice("FPR12", "1", allegato("uno.txt", "1") + allegato("due.txt", "2")));
    window->btndecodificaClick();
    EXPECT_EQ(dialogs.shown.last().titolo, QStringLiteral("Selezione file da decodificare da base64"));
    EXPECT_EQ(readBytes(programFolder + DirAllegati + QStringLiteral("due.txt")), QByteArray("2"));
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// The real dialogs, looked at while they are open: their captions, the
// filter entries the user reads, and text that looks like markup.
TEST(RealDialogs, ReadExactlyAsGiven)
{
    impostaApplicazione();
    // Qt adds a display name, once one is set, to the caption of every window.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QStringList seen;
    const auto look = [&seen] {
        QTimer::singleShot(0, [&seen] {
            QWidget *w = QApplication::activeModalWidget();
            seen << w->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(w))
                seen << QString::number(box->textFormat());
            for (const auto *combo : w->findChildren<QComboBox *>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < combo->count(); ++i)
                    seen << combo->itemText(i);
            static_cast<QDialog *>(w)->done(0);
        });
    };
    DialoghiQt dialoghi;
    look();
    dialoghi.scegliFile(nullptr,
        { QDir::tempPath(), QStringLiteral("xml"),
            QStringLiteral(
                "fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte le fatture (.xml, .p7m)|*.xml;*.p7m|"
                "tutti i file (*.*)|*.*"),
            QStringLiteral("Titolo") });
    look();
    dialoghi.messaggio(nullptr, QStringLiteral("<b>a.pdf</b>"));
    EXPECT_EQ(seen,
        (QStringList { QStringLiteral("Titolo"), QStringLiteral("fatture (.xml)"),
            QStringLiteral("fatture firmate (.p7m)"), QStringLiteral("tutte le fatture (.xml, .p7m)"),
            QStringLiteral("tutti i file (*.*)"), TitoloApplicazione, QString::number(Qt::PlainText) }));
}

TEST_F(WindowTest, FindAndZoomFloatOverThePane)
{
    start({ invoice(QStringLiteral("a.xml"), sampleInvoice("FPR12", "citt\xc3\xa0")) });
    ASSERT_EQ(pageText(), QStringLiteral("PR citta' citta'"));
    InvoicePane *pane = window->browser();
    const QRect room = pane->geometry();
    auto *bar = window->findChild<QWidget *>(QStringLiteral("barraRicerca"));
    auto *field = bar->findChild<QLineEdit *>(QStringLiteral("campoRicerca"));
    auto *count = bar->findChild<QLabel *>(QStringLiteral("conteggioRicerca"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    pane->focusProxy()->setFocus();
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, m);
    };
    const auto counted
        = [&](const char *text) { return QTest::qWaitFor([&] { return count->text() == QLatin1String(text); }, 5000); };
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), field);
    field->setText(QStringLiteral("città")); // looked for as the page shows it
    EXPECT_TRUE(counted("1 di 2")) << count->text().toStdString();
    key(Qt::Key_F3);
    EXPECT_TRUE(counted("2 di 2")) << count->text().toStdString();
    key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(counted("1 di 2")) << count->text().toStdString();
    key(Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(pane->geometry(), room);

    const struct {
        Qt::Key key;
        int times;
        qreal zoom;
    } rows[] = { { Qt::Key_Plus, 1, 1.1 }, { Qt::Key_Equal, 1, 1.25 }, { Qt::Key_Minus, 3, 0.9 },
        { Qt::Key_Plus, 20, 3.0 }, { Qt::Key_Minus, 20, 0.5 }, { Qt::Key_0, 1, 1.0 } };
    for (const auto &r : rows) {
        for (int i = 0; i < r.times; ++i)
            key(r.key, Qt::ControlModifier);
        EXPECT_NEAR(pane->zoomFactor(), r.zoom, 1e-6) << r.times << " x " << r.key;
    }
    QWheelEvent wheel(QPointF(50, 50), pane->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
        Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pane->focusProxy(), &wheel);
    EXPECT_NEAR(pane->zoomFactor(), 1.1, 1e-6);
    // The zoom is the run's, not the page's.
    choose(invoice(QStringLiteral("b.xml"), sampleInvoice("FPA12")));
    EXPECT_EQ(pageText(), QStringLiteral("PA 7 citta'"));
    EXPECT_NEAR(pane->zoomFactor(), 1.1, 1e-6);
}

// A message of the exchange system takes its own road once no
// FormatoTrasmissione is found: its page with every error explained, its
// header fields, no attachments, its own signature; anything else still gets
// the message of an unhandled document.
TEST_F(WindowTest, AMessageShowsItsPageHeaderAndSignature)
{
    for (const char *foglio : { "lentiva_messaggi.xsl", "lentiva_base.xsl" })
        QFile::copy(programDir() + u'/' + DirFogliStile + QLatin1String(foglio),
            programFolder + DirFogliStile + QLatin1String(foglio));
    const QTemporaryDir scratch;
    const PkiProva pki(scratch.path());
    writeBytes(programFolder + DirCertificatori + QStringLiteral("TSL-IT.xml"),
        pki.elenco({ { "granted", QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC) } }));
    const QString scarto = invoice(QStringLiteral("IT01234567890_00001_NS_001.xml"),
        pki.xmlFirmato("<t:RicevutaScarto xmlns:t='http://www.fatturapa.gov.it/sdi/messaggi/v1.0' versione='1.0'>"
                       "<IdentificativoSdI>4711</IdentificativoSdI><NomeFile>IT01234567890_00001.xml</NomeFile>"
                       "<DataOraRicezione>2024-05-06T10:00:00.000+02:00</DataOraRicezione><ListaErrori><Errore>"
                       "<Codice>00200</Codice><Descrizione>Non conforme</Descrizione></Errore><Errore><Codice>00305"
                       "</Codice><Descrizione>IdCodice non valido</Descrizione></Errore><Errore><Codice>XYZ</Codice>"
                       "<Descrizione>Altro</Descrizione></Errore></ListaErrori><MessageId>1</MessageId>"
                       "</t:RicevutaScarto>"));
    start();
    choose(invoice(QStringLiteral("a.xml"),
        sampleInvoice(
            "FPR12", "7", "<Allegati><NomeAttachment>a.txt</NomeAttachment><Attachment>QUJD</Attachment></Allegati>")));
    ASSERT_EQ(attachmentNames().size(), 1);
    choose(scarto);
    const QString pagina = pageText();
    for (const char *testo : { "Notifica di scarto", "Scartata", "4711", "00200", "Non conforme",
             "Il file non rispetta lo schema XML", "00305", "IdCodice non valido", "XYZ", "Altro" })
        EXPECT_TRUE(pagina.contains(QString::fromUtf8(testo))) << testo;
    EXPECT_EQ(field("STTipoDoc"), QStringLiteral("NS Notifica di scarto"));
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("4711"));
    EXPECT_EQ(field("StDataDoc"), QStringLiteral("2024-05-06"));
    EXPECT_EQ(field("StFornitore"), QString());
    EXPECT_TRUE(attachmentNames().isEmpty());
    EXPECT_EQ(field("StEsitoFirma"), QStringLiteral("Firma valida"));
    EXPECT_EQ(field("StFirmatario"), QStringLiteral("MARIO ROSSI"));
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty()) << dialogs.errors.join(u'|').toStdString();

    choose(invoice(QStringLiteral("altro.xml"), "<Altro xmlns='http://www.fatturapa.gov.it/x'/>"));
    EXPECT_EQ(dialogs.messages, QStringList { MsgDocumentoNonGestito });
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("4711"));
}
