// Print and PDF from the window: the two buttons and their shortcuts, the save
// dialog's settings, and the PDF itself as a reader sees it; the same PDF
// from a pane that is never shown, as a program without a window makes it.
#include "app/invoicepane.h"
#include "app/pdfexport.h"
#include "common/errors.h"
#include "common/folders.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>

#include "support/testsupport.h"

namespace {
// The output of a poppler tool, or a marker when it did not run.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess p;
    p.start(tool, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(tool);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int modeOf(const QString &path)
{
    struct stat st { };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Sets the umask for one test, so that "readable by everyone" has one answer.
struct Umask final {
    explicit Umask(mode_t mask)
        : old(::umask(mask))
    {
    }
    ~Umask() { ::umask(old); }
    mode_t old;
};

void checkReadablePdf(const QString &path, const QString &number)
{
    EXPECT_TRUE(readBytes(path).startsWith("%PDF-"));
    EXPECT_EQ(modeOf(path), 0644);
    const QString info = poppler(QStringLiteral("pdfinfo"), { path });
    EXPECT_TRUE(info.contains(QStringLiteral("(A4)"))) << info.toStdString();
    EXPECT_FALSE(info.contains(QRegularExpression(QStringLiteral("Pages: +0\\b")))) << info.toStdString();
    EXPECT_TRUE(poppler(QStringLiteral("pdftotext"), { path, QStringLiteral("-") }).contains(number));
    // No word closer to the left or top edge than the 10 mm margin (28.35 pt,
    // which the engine rounds to whole points).
    const QString boxes = poppler(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), path, QStringLiteral("-") });
    double nearest = 1000;
    int words = 0;
    static const QRegularExpression corner(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
    for (auto it = corner.globalMatch(boxes); it.hasNext(); ++words) {
        const QRegularExpressionMatch m = it.next();
        nearest = std::min({ nearest, m.captured(1).toDouble(), m.captured(2).toDouble() });
    }
    EXPECT_GT(words, 0);
    EXPECT_GE(nearest, 27.0);
}
} // namespace

class PrintTest : public WindowTest {
protected:
    // The shipped stylesheets instead of the fixture's naming ones, and a
    // shipped sample: the PDF is of a real page.
    QString realSample(const QString &name)
    {
        for (const QFileInfo &f : QDir(sourceDir() + QStringLiteral("/stylesheets")).entryInfoList(QDir::Files)) {
            QFile::remove(programFolder + DirFogliStile + f.fileName());
            QFile::copy(f.filePath(), programFolder + DirFogliStile + f.fileName());
        }
        return invoice(name, readBytes(sourceDir() + QStringLiteral("/samples/IT00000000001_ESEMPIO1.xml")));
    }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QString::fromLatin1(name)); }
};

TEST_F(PrintTest, WithoutAnInvoiceBothDoNothing)
{
    start();
    QTest::mouseClick(button("btnStampa"), Qt::LeftButton);
    QTest::mouseClick(button("btnEsportaPdf"), Qt::LeftButton);
    EXPECT_TRUE(dialogs.printed.isEmpty());
    EXPECT_TRUE(dialogs.shownSave.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty());
}

TEST_F(PrintTest, ButtonsAndShortcutsReachPrintAndSave)
{
    start({ invoice(QStringLiteral("a.xml"), sampleInvoice("FPR12")) });
    ASSERT_EQ(pageText(), QStringLiteral("PR 7 citta'"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::mouseClick(button("btnStampa"), Qt::LeftButton);
    QTest::mouseClick(button("btnEsportaPdf"), Qt::LeftButton);
    // With the focus inside the page too: the engine must not eat the keys.
    for (QWidget *focus : { static_cast<QWidget *>(button("btnSelFile")), window->browser()->focusProxy() }) {
        ASSERT_NE(focus, nullptr);
        focus->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    }
    EXPECT_EQ(dialogs.printed, (QList<QWebEngineView *> { window->browser(), window->browser(), window->browser() }));
    EXPECT_EQ(dialogs.shownSave.size(), 3);
    EXPECT_TRUE(dialogs.errors.isEmpty());

    // After "Apri cartella allegati" the tab order goes on to the two.
    button("ButtonOpen")->setFocus();
    QTest::keyClick(button("ButtonOpen"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button("btnStampa"));
    QTest::keyClick(button("btnStampa"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button("btnEsportaPdf"));
}

TEST_F(PrintTest, ButtonsSitBetweenTheAddressAndThePromotion)
{
    start();
    QWidget *band = window->findChild<QWidget *>(QStringLiteral("PanBottom"));
    const auto inBand = [&](const char *name) {
        QWidget *w = window->findChild<QWidget *>(QString::fromLatin1(name));
        return QRect(w->mapTo(band, QPoint()), w->size());
    };
    // Where the address's text ends, at the design size too.
    const auto *address = window->findChild<QLabel *>(QStringLiteral("lnkSitoWeb"));
    const int addressEnd
        = inBand("lnkSitoWeb").left() + address->fontMetrics().horizontalAdvance(QStringLiteral("www.lentiva.example"));
    window->showNormal();
    for (const int width : { 1366, 1920, 1083 }) {
        SCOPED_TRACE(width);
        window->resize(width, 652);
        QTest::qWait(10);
        const QRect archivio = inBand("btnArchivio"), stampa = inBand("btnStampa"), pdf = inBand("btnEsportaPdf"),
                    promo = inBand("panVELMARO");
        EXPECT_GT(archivio.left(), addressEnd);
        EXPECT_LT(archivio.right(), stampa.left());
        EXPECT_LT(stampa.right(), pdf.left());
        EXPECT_LT(pdf.right(), promo.left());
        for (const QRect &b : { archivio, stampa, pdf }) {
            EXPECT_EQ(b.top(), 5);
            EXPECT_EQ(b.height(), 33);
        }
    }
}

TEST_F(PrintTest, PdfOfTheInvoiceOnShow)
{
    const Umask umask(022);
    const QString sample = realSample(QStringLiteral("IT00000000001_ESEMPIO1.xml"));
    start({ sample });
    const QString out = programFolder + DirFatture + QStringLiteral("copia.pdf");
    dialogs.answers << out;
    window->btnEsportaPdfClick();
    ASSERT_EQ(dialogs.shownSave.size(), 1);
    const ImpostazioniDialogo &d = dialogs.shownSave[0];
    EXPECT_EQ(d.titolo, QStringLiteral("Esporta PDF"));
    EXPECT_EQ(d.cartella, programFolder + DirFatture);
    EXPECT_EQ(d.estensione, QStringLiteral("pdf"));
    EXPECT_EQ(filtriQt(d.filtro), QStringList { QStringLiteral("PDF (*.pdf)") });
    EXPECT_EQ(dialogs.proposedNames, QStringList { QStringLiteral("IT00000000001_ESEMPIO1.pdf") });
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(u'|').toStdString();
    checkReadablePdf(out, QStringLiteral("2024/17"));

    // A failed open leaves the page, and the name proposed is still its own.
    choose(invoice(QStringLiteral("rotta.xml"), "<a>"));
    dialogs.answers << programFolder + QStringLiteral("manca/f.pdf");
    window->btnEsportaPdfClick();
    EXPECT_EQ(dialogs.proposedNames.value(1), QStringLiteral("IT00000000001_ESEMPIO1.pdf"));
    EXPECT_EQ(dialogs.errors,
        QStringList {
            QStringLiteral("Esportazione PDF non riuscita: ") + programFolder + QStringLiteral("manca/f.pdf.") });

    // Cancelling writes nothing and says nothing.
    dialogs.answers << QString();
    window->btnEsportaPdfClick();
    EXPECT_EQ(dialogs.errors.size(), 1);
}

TEST_F(PrintTest, HiddenPaneWritesThePdfWithoutAWindow)
{
    const Umask umask(022);
    const QString out = programFolder + QStringLiteral("senza finestra.pdf");
    writeBytes(out, "vecchio");
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner);
    InvoicePane pane;
    pane.showPage("<html><body><p>Fattura n. X-42 citt\xe0</p></body></html>");
    esportaPdf(pane, out);
    checkReadablePdf(out, QStringLiteral("X-42 citt\u00e0"));

    InvoicePane empty;
    EXPECT_THROW(esportaPdf(empty, out), Exception);
}

TEST(PdfName, FromTheInvoiceFile)
{
    const struct {
        const char *name;
        const char *invoice;
        const char *pdf;
    } rows[] = {
        { "xml", "/f/IT01_A.xml", "/f/IT01_A.pdf" },
        { "signed", "/f/IT01_A.xml.p7m", "/f/IT01_A.pdf" },
        { "signed, upper case", "/f/IT01_A.XML.P7M", "/f/IT01_A.pdf" },
        { "signed, no inner extension", "/f/a.p7m", "/f/a.pdf" },
        { "no extension", "/f.d/a", "/f.d/a.pdf" },
        { "other extension", "/f/a.txt", "/f/a.pdf" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(nomePdfPer(QString::fromLatin1(r.invoice)), QString::fromLatin1(r.pdf)) << r.name;
}
