// The archive window: its model's search and sort, the reading shown with its
// totals and refusals, the CSV export of the rows shown, and a row opened in
// the main window through the open flow, from a folder and from a ZIP.
#include "app/finestraarchivio.h"
#include "app/modelloarchivio.h"
#include "archivio/csv.h"
#include "archivio/zipprova.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/messages.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "support/testsupport.h"

namespace {
RigaArchivio riga(const char *file, const char *numero, const char *data, const char *cedente, const char *imponibile)
{
    RigaArchivio r;
    r.file = QString::fromUtf8(file);
    r.numero = QString::fromUtf8(numero);
    r.data = QString::fromUtf8(data);
    r.cedente = QString::fromUtf8(cedente);
    r.imponibile = Importo::scritto(QString::fromUtf8(imponibile));
    return r;
}

QStringList numeri(const FiltroArchivio &f)
{
    QStringList n;
    for (int i = 0; i < f.rowCount(); ++i)
        n << f.riga(i).numero;
    return n;
}

QByteArray conImporti(const QByteArray &numero, const QByteArray &imponibile)
{
    return sampleInvoice("FPR12", numero,
        "<DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>Ore</Descrizione><PrezzoTotale>"
            + imponibile
            + "</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>"
              "<DatiRiepilogo><ImponibileImporto>"
            + imponibile + "</ImponibileImporto><Imposta>1.00</Imposta></DatiRiepilogo></DatiBeniServizi>");
}
} // namespace

TEST(ModelloArchivio, SearchesEveryTextColumnAndSortsByValue)
{
    ModelloArchivio modello;
    FiltroArchivio filtro;
    filtro.setSourceModel(&modello);
    modello.svuota(QStringLiteral("/a"));
    modello.aggiungi({ riga("/a/uno.xml", "F-10", "2024-03-05", "Rossi S.r.l.", "1234.5"),
        riga("/a/due.xml", "F-9", "2023-12-31", "Città & Figli", "-2.00"),
        riga("/b/tre.xml", "X-1", "2024-01-15", "Bianchi", "non numero") });
    const auto cella = [&](int r, int c, int ruolo = Qt::DisplayRole) { return filtro.index(r, c).data(ruolo); };
    EXPECT_EQ(cella(0, ModelloArchivio::File).toString(), QStringLiteral("uno.xml"));
    EXPECT_EQ(cella(2, ModelloArchivio::File).toString(), QStringLiteral("/b/tre.xml"));
    EXPECT_EQ(cella(0, ModelloArchivio::Imponibile).toString(), QStringLiteral("1.234,50"));
    EXPECT_EQ(cella(0, ModelloArchivio::Data).toString(), QStringLiteral("05/03/2024"));
    EXPECT_EQ(
        cella(0, ModelloArchivio::Imponibile, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));

    const struct {
        const char *cerca;
        QStringList attesi;
    } ricerche[] = {
        { "", { QStringLiteral("F-10"), QStringLiteral("F-9"), QStringLiteral("X-1") } },
        { "rossi", { QStringLiteral("F-10") } },
        { "CITTÀ", { QStringLiteral("F-9") } },
        { "f- 2023", { QStringLiteral("F-9") } },
        { "15/01/2024", { QStringLiteral("X-1") } },
        { "2024-03", { QStringLiteral("F-10") } },
        { "tre.xml", { QStringLiteral("X-1") } },
        // Accents and apostrophes folded as the page's find bar folds them.
        { "CITTA'", { QStringLiteral("F-9") } },
        { "Citta’ figli", { QStringLiteral("F-9") } },
        // Amounts as shown, and without the thousands' dot.
        { "1.234,50", { QStringLiteral("F-10") } },
        { "1234,5", { QStringLiteral("F-10") } },
        { "-2,00", { QStringLiteral("F-9") } },
    };
    for (const auto &r : ricerche) {
        filtro.cerca(QString::fromUtf8(r.cerca));
        EXPECT_EQ(numeri(filtro), r.attesi) << r.cerca;
    }
    filtro.cerca(QString());
    const struct {
        int colonna;
        Qt::SortOrder verso;
        QStringList attesi;
    } ordini[] = {
        { ModelloArchivio::Imponibile, Qt::AscendingOrder,
            { QStringLiteral("X-1"), QStringLiteral("F-9"), QStringLiteral("F-10") } },
        { ModelloArchivio::Data, Qt::DescendingOrder,
            { QStringLiteral("F-10"), QStringLiteral("X-1"), QStringLiteral("F-9") } },
        { ModelloArchivio::Cedente, Qt::AscendingOrder,
            { QStringLiteral("X-1"), QStringLiteral("F-9"), QStringLiteral("F-10") } },
    };
    for (const auto &o : ordini) {
        filtro.sort(o.colonna, o.verso);
        EXPECT_EQ(numeri(filtro), o.attesi) << o.colonna;
    }
}

class FinestraArchivioTest : public WindowTest {
protected:
    FinestraArchivio &archivio()
    {
        auto *f = window->findChild<FinestraArchivio *>();
        EXPECT_NE(f, nullptr);
        return *f;
    }
    void attendiLettura()
    {
        QSignalSpy fine(&archivio(), &FinestraArchivio::letturaFinita);
        ASSERT_TRUE(!archivio().inLettura() || fine.wait(20000));
        QTest::qWait(5); // the totals follow on the next turn
    }
    QString totali() { return archivio().findChild<QLabel *>(QStringLiteral("totali"))->text(); }
};

TEST_F(FinestraArchivioTest, AFolderDroppedIsListedSearchedExportedAndItsRowsOpen)
{
    start();
    const QString cartella = programFolder + QStringLiteral("mese");
    QDir().mkpath(cartella);
    writeBytes(cartella + QStringLiteral("/a.xml"), conImporti("A-1", "100.00"));
    writeBytes(cartella + QStringLiteral("/nota.txt"), "x");
    scriviZip(cartella + QStringLiteral("/b.zip"),
        { { QStringLiteral("../b.xml"), conImporti("B-2", "0.10") },
            { QStringLiteral("c.xml"), conImporti("C-3", "0.20") } });

    // A folder dropped on the main window opens the archive window on it.
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(cartella) });
    const QPoint dove = window->findChild<QWidget *>(QStringLiteral("StFileXML"))->mapTo(window.get(), QPoint(5, 5));
    QDragEnterEvent entra(dove, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(window->windowHandle(), &entra);
    ASSERT_TRUE(entra.isAccepted());
    QDropEvent drop(dove, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(window->windowHandle(), &drop);
    QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall);
    attendiLettura();
    const FiltroArchivio &filtro = archivio().filtro();
    EXPECT_EQ(numeri(filtro), QStringList({ QStringLiteral("A-1"), QStringLiteral("B-2"), QStringLiteral("C-3") }));
    EXPECT_EQ(totali(), QStringLiteral("3 fatture   senza valuta: imponibile 100,30, imposta 3,00, totale 103,30"));
    auto *scarti = archivio().findChild<QTreeWidget *>(QStringLiteral("scarti"));
    ASSERT_EQ(scarti->topLevelItemCount(), 1);
    EXPECT_EQ(scarti->topLevelItem(0)->text(0), QStringLiteral("nota.txt"));

    QTest::keyClicks(archivio().findChild<QLineEdit *>(QStringLiteral("cerca")), QStringLiteral("b.zip"));
    QTest::qWait(5);
    EXPECT_EQ(
        totali(), QStringLiteral("2 fatture mostrate su 3   senza valuta: imponibile 0,30, imposta 2,00, totale 2,30"));
    const QString csv = programFolder + QStringLiteral("elenco.csv");
    dialogs.answers << csv;
    archivio().btnEsportaCsvClick();
    EXPECT_EQ(readBytes(csv), CsvRighe({ &filtro.riga(0), &filtro.riga(1) }));
    dialogs.answers << csv;
    QSignalSpy esportata(&archivio(), &FinestraArchivio::esportazioneFinita);
    archivio().btnEsportaLineeClick();
    EXPECT_TRUE(archivio().inEsportazione());
    EXPECT_FALSE(archivio().findChild<QPushButton *>(QStringLiteral("btnEsportaLinee"))->isEnabled());
    ASSERT_TRUE(esportata.wait(20000));
    EXPECT_FALSE(archivio().inEsportazione());
    const QByteArray zip = (cartella + QStringLiteral("/b.zip")).toUtf8();
    EXPECT_EQ(readBytes(csv),
        "\xEF\xBB\xBF"
        "File;Voce;Corpo;Numero;Data;Cedente/Prestatore;Linea;Codice;Descrizione;Quantità;Unità di "
        "misura;Prezzo unitario;Prezzo totale;Aliquota IVA o natura\r\n"
            + zip + ";../b.xml;1;B-2;31/01/2019;Rossi S.r.l.;1;;Ore;;;;0,10;22,00\r\n" + zip
            + ";c.xml;1;C-3;31/01/2019;Rossi S.r.l.;1;;Ore;;;;0,20;22,00\r\n");
    EXPECT_EQ(dialogs.proposedNames, QStringList({ QStringLiteral("fatture.csv"), QStringLiteral("righe.csv") }));
    // A file that cannot be written: its error, and the window as before.
    const QString altrove = programFolder + QStringLiteral("manca/righe.csv");
    const std::string errore = errorOf([&] { writeFileAtomically(altrove, QByteArray()); });
    dialogs.answers << altrove;
    archivio().btnEsportaLineeClick();
    ASSERT_TRUE(esportata.wait(20000));
    EXPECT_EQ(dialogs.errors, QStringList { testoErrore(QString::fromStdString(errore)) });
    EXPECT_TRUE(archivio().findChild<QPushButton *>(QStringLiteral("btnEsportaLinee"))->isEnabled());
    dialogs.errors.clear();

    // Enter on a row inside the ZIP opens it in the main window from a private copy.
    auto *tabella = archivio().findChild<QTableView *>(QStringLiteral("tabella"));
    tabella->setCurrentIndex(filtro.index(0, 0));
    QTest::keyClick(tabella, Qt::Key_Return);
    const QString copia = field("StFileXML");
    EXPECT_TRUE(copia.endsWith(QStringLiteral("/1/b.xml"))) << copia.toStdString();
    EXPECT_FALSE(copia.startsWith(cartella));
    EXPECT_EQ(readBytes(copia), conImporti("B-2", "0.10"));
    EXPECT_EQ(field("STNumDoc"), QStringLiteral("B-2"));
    EXPECT_EQ(pageText(), QStringLiteral("PR B-2 citta'"));
    // A row of a plain file opens the file itself.
    archivio().findChild<QLineEdit *>(QStringLiteral("cerca"))->clear();
    emit tabella->activated(filtro.index(0, 3));
    EXPECT_EQ(field("StFileXML"), cartella + QStringLiteral("/a.xml"));
    EXPECT_TRUE(dialogs.errors.isEmpty() && dialogs.messages.isEmpty()) << dialogs.errors.join(u'\n').toStdString();
    // The private copies go with the program.
    window.reset();
    EXPECT_FALSE(QFileInfo::exists(copia));
}

TEST_F(FinestraArchivioTest, TheButtonAndItsShortcutOpenTheWindowWhichClosesWhileReading)
{
    start();
    auto *pulsante = window->findChild<QPushButton *>(QStringLiteral("btnArchivio"));
    ASSERT_NE(pulsante, nullptr);
    EXPECT_EQ(pulsante->text(), QStringLiteral("Archivio"));
    EXPECT_EQ(pulsante->parentWidget()->objectName(), QStringLiteral("panStampa"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->findChild<QWidget *>(QStringLiteral("btnSelFile"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(archivio().isVisible());
    EXPECT_EQ(archivio().windowTitle(), QStringLiteral("Archivio fatture"));

    const QString cartella = programFolder + QStringLiteral("molte");
    QDir().mkpath(cartella);
    for (int i = 0; i < 400; ++i)
        writeBytes(cartella + QStringLiteral("/f%1.xml").arg(i, 3, 10, QLatin1Char('0')), conImporti("N", "1.00"));
    dialogs.answers << cartella;
    archivio().btnCartellaClick();
    EXPECT_TRUE(archivio().inLettura());
    QPointer<FinestraArchivio> f = &archivio();
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.isNull());
    pulsante->click();
    EXPECT_FALSE(archivio().inLettura());
}

// As a user meets it: the opening width shows every column up to the
// signature and the exchange system's verdicts, ZIP rows by their entry's name, outcomes in words and colours (a
// damaged envelope among the rows, red), the search folded, the VAT summary,
// a word after an export, Esc, and the folder offered again.
TEST_F(FinestraArchivioTest, ReadableAtAGlanceAndEasyToLeaveAndComeBackTo)
{
    start();
    const QString cartella = programFolder + QStringLiteral("aprile");
    QDir().mkpath(cartella);
    writeBytes(cartella + QStringLiteral("/a.xml"),
        QByteArray(conImporti("A-1", "30.50")).replace("Rossi S.r.l.", "Societ\xC3\xA0 Alfa"));
    writeBytes(cartella + QStringLiteral("/rotta.xml.p7m"), "non una busta");
    scriviZip(cartella + QStringLiteral("/b.zip"), { { QStringLiteral("c.xml"), conImporti("C-3", "0.20") } });
    window->findChild<QPushButton *>(QStringLiteral("btnArchivio"))->click();
    // Centred over the main window, as far as the screen allows.
    const QRect schermo = window->screen()->availableGeometry();
    EXPECT_EQ(archivio().width(), std::min(1200, schermo.width()));
    QRect centrata(QPoint(), archivio().frameGeometry().size());
    centrata.moveCenter(window->frameGeometry().center());
    if (schermo.contains(centrata))
        EXPECT_LE((archivio().frameGeometry().center() - centrata.center()).manhattanLength(), 2);
    else
        EXPECT_TRUE(schermo.contains(archivio().frameGeometry().topLeft()));
    dialogs.answers << cartella;
    archivio().btnCartellaClick();
    attendiLettura();

    const FiltroArchivio &filtro = archivio().filtro();
    ASSERT_EQ(filtro.rowCount(), 3);
    const auto cella = [&](int r, int c, int ruolo = Qt::DisplayRole) { return filtro.index(r, c).data(ruolo); };
    EXPECT_EQ(cella(1, ModelloArchivio::File).toString(), QStringLiteral("c.xml"));
    EXPECT_EQ(cella(1, ModelloArchivio::Zip).toString(), QStringLiteral("b.zip"));
    EXPECT_EQ(cella(1, ModelloArchivio::File, Qt::ToolTipRole).toString(), cartella + QStringLiteral("/b.zip/c.xml"));
    EXPECT_EQ(cella(2, ModelloArchivio::Firma).toString(), QStringLiteral("Non valida"));
    EXPECT_EQ(cella(2, ModelloArchivio::Firma, Qt::BackgroundRole).value<QBrush>().color(), QColor(0xc6, 0x28, 0x28));
    EXPECT_EQ(cella(0, ModelloArchivio::Firma).toString(), QStringLiteral("Assente"));
    EXPECT_EQ(filtro.headerData(ModelloArchivio::Corpo, Qt::Horizontal, Qt::ToolTipRole).toString(),
        QStringLiteral("Quale documento del file: un file può contenerne più d'uno (un lotto), uno per corpo, e ognuno "
                       "è una riga."));
    // At the opening width of a screen wide enough.
    archivio().resize(1200, archivio().height());
    QCoreApplication::processEvents();
    auto *tabella = archivio().findChild<QTableView *>(QStringLiteral("tabella"));
    for (int c = 0; c <= ModelloArchivio::Controlli; ++c)
        EXPECT_LE(tabella->horizontalHeader()->sectionViewportPosition(c) + tabella->columnWidth(c),
            tabella->viewport()->width())
            << c;

    QTest::keyClicks(archivio().findChild<QLineEdit *>(QStringLiteral("cerca")), QStringLiteral("SOCIETA' 30,50"));
    EXPECT_EQ(numeri(filtro), QStringList { QStringLiteral("A-1") });
    archivio().findChild<QTabWidget *>(QStringLiteral("schede"))->setCurrentIndex(2);
    auto *riepilogo = archivio().findChild<QTableWidget *>(QStringLiteral("tabellaRiepilogo"));
    ASSERT_EQ(riepilogo->rowCount(), 1);
    EXPECT_EQ(riepilogo->item(0, 5)->text(), QStringLiteral("30,50"));
    const QString csv = programFolder + QStringLiteral("fatture.csv");
    dialogs.answers << csv;
    archivio().btnEsportaCsvClick();
    EXPECT_EQ(archivio().findChild<QLabel *>(QStringLiteral("esito"))->text(),
        QStringLiteral("Esportato: 1 fattura in ") + csv);

    // The width holds at another reading; Esc closes; the folder is offered again.
    const int larghezza = archivio().width();
    archivio().leggi({ cartella });
    attendiLettura();
    EXPECT_EQ(archivio().width(), larghezza);
    QPointer<FinestraArchivio> f = &archivio();
    QTest::keyClick(f, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.isNull());
    window->findChild<QPushButton *>(QStringLiteral("btnArchivio"))->click();
    archivio().btnCartellaClick();
    EXPECT_EQ(dialogs.folders.last(), cartella);
}

// Messages are listed apart and open like any file; the rows they name show
// their fate, coloured, and "Solo scartate" keeps the rejected.
TEST_F(FinestraArchivioTest, MessagesAreListedApartAndTellTheRowsFate)
{
    start();
    const QString cartella = programFolder + QStringLiteral("sdi");
    QDir().mkpath(cartella);
    writeBytes(cartella + QStringLiteral("/IT01234567890_00001.xml"), conImporti("A-1", "1.00"));
    writeBytes(cartella + QStringLiteral("/IT01234567890_00002.xml"), conImporti("B-2", "2.00"));
    writeBytes(cartella + QStringLiteral("/IT01234567890_00001_NS_001.xml"),
        "<NotificaScarto "
        "xmlns='http://www.fatturapa.gov.it/sdi/messaggi/v1.0'><IdentificativoSdI>31</IdentificativoSdI>"
        "<NomeFile>IT01234567890_00001.xml.p7m</NomeFile><DataOraRicezione>2024-05-06T10:00:00</DataOraRicezione>"
        "</NotificaScarto>");
    writeBytes(cartella + QStringLiteral("/z.xml"),
        "<RicevutaConsegna xmlns='http://www.fatturapa.gov.it/sdi/messaggi/v1.0'><IdentificativoSdI>9"
        "</IdentificativoSdI><NomeFile>altra.xml</NomeFile></RicevutaConsegna>");
    window->btnArchivioClick();
    archivio().leggi({ cartella });
    attendiLettura();
    const FiltroArchivio &filtro = archivio().filtro();
    EXPECT_EQ(totali(), QStringLiteral("2 fatture   senza valuta: imponibile 3,00, imposta 2,00, totale 5,00"));
    const QModelIndex stato = filtro.index(0, ModelloArchivio::StatoSdi);
    EXPECT_EQ(stato.data().toString(), QStringLiteral("Scartata"));
    EXPECT_EQ(stato.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0xc6, 0x28, 0x28));
    EXPECT_EQ(stato.data(Qt::ToolTipRole).toString(), QStringLiteral("Messaggi SdI: NS"));
    EXPECT_EQ(filtro.index(1, ModelloArchivio::StatoSdi).data().toString(), QString());
    archivio().findChild<QCheckBox *>(QStringLiteral("soloScartate"))->setChecked(true);
    EXPECT_EQ(numeri(filtro), QStringList { QStringLiteral("A-1") });

    auto *messaggi = archivio().findChild<QTreeWidget *>(QStringLiteral("messaggi"));
    ASSERT_EQ(messaggi->topLevelItemCount(), 2);
    QStringList righe;
    for (int i = 0; i < 2; ++i) {
        QStringList celle;
        for (int c = 0; c < 5; ++c)
            celle << messaggi->topLevelItem(i)->text(c);
        righe << celle.join(u'|');
    }
    EXPECT_EQ(righe,
        QStringList({ QStringLiteral("NS Notifica di scarto|IT01234567890_00001_NS_001.xml|31|2024-05-06T10:00:00|"
                                     "IT01234567890_00001.xml"),
            QStringLiteral("RC Ricevuta di consegna|z.xml|9||nessuna fattura dell'archivio: altra.xml") }));
    EXPECT_EQ(archivio().findChild<QTreeWidget *>(QStringLiteral("scarti"))->topLevelItemCount(), 0);
    emit messaggi->itemActivated(messaggi->topLevelItem(0), 0);
    EXPECT_EQ(field("StFileXML"), cartella + QStringLiteral("/IT01234567890_00001_NS_001.xml"));
}
