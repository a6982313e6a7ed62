// The checks in the windows: the bar over the page for a failing, a passing
// and an uncheckable invoice (the page and the design's controls untouched),
// its details as a sortable table that copies, and the archive's column with
// its filter.
#include "app/barracontrolli.h"
#include "app/dialogorilievi.h"
#include "app/finestraarchivio.h"
#include "app/invoicepane.h"
#include "app/modelloarchivio.h"
#include "common/folders.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "support/fatturaconforme.h"
#include "support/testsupport.h"

namespace {
// The good invoice with its summary's tax and taxable amount wrong: 00421 and 00422.
QByteArray dueErrori()
{
    return QByteArray(FatturaConforme)
        .replace("<Imposta>20.68", "<Imposta>20.70")
        .replace("<ImponibileImporto>94.00", "<ImponibileImporto>96.00");
}

void copiaSchemi(const QString &programma)
{
    QDir(programma).mkpath(DirSchemi);
    for (const QString &f : QDir(programDir() + u'/' + DirSchemi).entryList(QDir::Files))
        QFile::copy(programDir() + u'/' + DirSchemi + f, programma + DirSchemi + f);
}
} // namespace

TEST_F(WindowTest, TheChecksBarTellsTheOutcomeOverThePageOnceItIsShown)
{
    const struct {
        const char *nome;
        bool schemi;
        QByteArray xml;
        QString frase;
        QString suggerimento; // the whole sentence
        QColor sfondo;
        bool dettagli;
    } casi[] = {
        { "two errors", true, dueErrori(),
            QStringLiteral("\u26a0 La fattura non supererebbe i controlli dello SdI: 2 errori"),
            QStringLiteral("La fattura non supererebbe i controlli dello SdI: 2 errori"), QColor(0xff, 0xb3, 0x00),
            true },
        { "conforme", true, FatturaConforme, QStringLiteral("\u2713 SdI"),
            QStringLiteral("La fattura supererebbe i controlli dello SdI"), QColor(0x2e, 0x7d, 0x32), false },
        { "no schemas", false, FatturaConforme,
            QStringLiteral("Manca la cartella SCHEMI/ accanto al programma: i controlli non si possono eseguire."),
            QStringLiteral("Manca la cartella SCHEMI/ accanto al programma: i controlli non si possono eseguire."),
            QColor(0xbd, 0xbd, 0xbd), false },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        if (c.schemi)
            copiaSchemi(programFolder);
        else
            QDir(programFolder + DirSchemi).removeRecursively();
        start();
        const QString file = invoice(QStringLiteral("f.xml"), c.xml);
        BarraControlli *barra = window->barraControlli();
        QSignalSpy controllata(barra, &BarraControlli::controllata);
        choose(file);
        ASSERT_TRUE(controllata.count() > 0 || controllata.wait(20000));
        EXPECT_EQ(controllata.at(0).at(0).toString(), file);
        EXPECT_EQ(field("STNumDoc"), QStringLiteral("FT/1")); // shown whatever the outcome
        EXPECT_TRUE(barra->isVisible());
        // Cut with an ellipsis where the page is narrower; the tooltip has it whole.
        const QString testo = barra->frase()->text();
        EXPECT_TRUE(testo == c.frase || (testo.endsWith(QChar(0x2026)) && c.frase.startsWith(testo.chopped(1))))
            << testo.toStdString();
        EXPECT_EQ(barra->toolTip(), c.suggerimento);
        EXPECT_EQ(barra->palette().color(QPalette::Window), c.sfondo);
        EXPECT_EQ(barra->pulsanteDettagli()->isVisible(), c.dettagli);
        // Over the page, at its top left: the page still fills its panel, and keeps its text.
        const QWidget *pannello = window->browser()->parentWidget();
        EXPECT_EQ(barra->parentWidget(), pannello);
        EXPECT_EQ(window->browser()->geometry(), pannello->contentsRect());
        EXPECT_EQ(barra->geometry().topLeft(), window->browser()->geometry().topLeft());
        EXPECT_EQ(pageText(), QStringLiteral("PR FT/1 citta'"));
        if (c.dettagli) {
            barra->pulsanteDettagli()->click();
            ASSERT_EQ(dialogs.details.size(), 1);
            EXPECT_TRUE(dialogs.details[0].startsWith(QStringLiteral("File: %1\nEsito: non_conforme\n").arg(file)));
            EXPECT_TRUE(dialogs.details[0].contains(QStringLiteral("Errore 2: 00422 2.2.2.5 ImponibileImporto")));
        }
        window.reset();
    }
}

TEST(DialogoRilievi, ListsTheFindingsSortableAndCopiable)
{
    RisultatoControlli r;
    r.esito = EsitoControllo::NonConforme;
    r.rilievi = { { QStringLiteral("00423"), QStringLiteral("2.2.1.11 PrezzoTotale"), {}, 1, 40, QStringLiteral("3"),
                      QStringLiteral("10.00"), QStringLiteral("10.01"),
                      QStringLiteral("Linea 3: il totale\tnon torna."), true },
        { QString(), QStringLiteral("1.2.1.2 CodiceFiscale"), {}, 0, 9, {}, QStringLiteral("X"), {},
            QStringLiteral("Codice fiscale."), false },
        { QStringLiteral("00200"), QStringLiteral("2.1.1.3 Data"), {}, 1, 120, {}, QStringLiteral("2024-13-01"),
            QStringLiteral("una data"), QStringLiteral("Data non valida."), true } };
    DialogoRilievi d(nullptr, QStringLiteral("f.xml"), r);
    const QString intestazione = QStringLiteral("Tipo\tCodice\tCampo\tCorpo\tRiga\tTrovato\tAtteso\tSpiegazione\n");
    // In file order at first; the lines as numbers, not as texts (9 < 40 < 120).
    EXPECT_EQ(d.testo(false),
        intestazione
            + QStringLiteral(
                "Avviso\t\t1.2.1.2 CodiceFiscale\t\t9\tX\t\tCodice fiscale.\n"
                "Errore\t00423\t2.2.1.11 PrezzoTotale\t1\t40\t10.00\t10.01\tLinea 3: il totale non torna.\n"
                "Errore\t00200\t2.1.1.3 Data\t1\t120\t2024-13-01\tuna data\tData non valida.\n"));
    d.tabella()->sortByColumn(1, Qt::DescendingOrder);
    d.tabella()->selectionModel()->select(
        d.tabella()->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    d.copia(true);
    EXPECT_EQ(QApplication::clipboard()->text(),
        intestazione
            + QStringLiteral(
                "Errore\t00423\t2.2.1.11 PrezzoTotale\t1\t40\t10.00\t10.01\tLinea 3: il totale non torna.\n"));
}

TEST_F(WindowTest, TheArchiveCountsTheFindingsAndFiltersTheRowsWithSome)
{
    copiaSchemi(programFolder);
    const QString cartella = programFolder + QStringLiteral("archivio");
    QDir().mkpath(cartella);
    writeBytes(cartella + QStringLiteral("/a.xml"), FatturaConforme);
    writeBytes(cartella + QStringLiteral("/b.xml"), dueErrori());
    start();
    window->btnArchivioClick();
    auto *archivio = window->findChild<FinestraArchivio *>();
    ASSERT_NE(archivio, nullptr);
    QSignalSpy finita(archivio, &FinestraArchivio::letturaFinita);
    archivio->leggi({ cartella });
    ASSERT_TRUE(finita.wait(30000));
    const auto *tabella = archivio->findChild<QTableView *>(QStringLiteral("tabella"));
    const QAbstractItemModel *m = tabella->model();
    ASSERT_EQ(m->columnCount(), ModelloArchivio::NumeroColonne);
    EXPECT_EQ(m->headerData(ModelloArchivio::Controlli, Qt::Horizontal).toString(), QStringLiteral("Controlli"));
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->index(0, ModelloArchivio::Controlli).data().toString(), QStringLiteral("0"));
    EXPECT_EQ(m->index(1, ModelloArchivio::Controlli).data().toString(), QStringLiteral("2"));
    archivio->findChild<QCheckBox *>(QStringLiteral("soloConRilievi"))->setChecked(true);
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_TRUE(m->index(0, ModelloArchivio::File).data().toString().endsWith(QStringLiteral("b.xml")));
}
