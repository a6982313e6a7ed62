// Files dropped on the window: which drags the window takes, wherever they
// cross it, and that a drop opens exactly as the open dialog does.
#include "app/invoicepane.h"
#include "common/folders.h"
#include "window_fixture.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include "support/testsupport.h"

namespace {
QWidget *widgetNamed(QWidget *window, const char *name)
{
    if (qstrcmp(name, "page") == 0) {
        // The engine's input widget, which covers the page once one is shown.
        auto *pane = window->findChild<InvoicePane *>();
        return pane->focusProxy() != nullptr ? pane->focusProxy() : pane;
    }
    return window->findChild<QWidget *>(QString::fromLatin1(name));
}
} // namespace

class DropTest : public WindowTest {
protected:
    // Drags the files over the middle of the widget as the platform does, by
    // handing the events to the window; true when the drag is taken.
    bool dragOver(const char *widget, const QStringList &files)
    {
        mime.setUrls({});
        QList<QUrl> urls;
        for (const QString &f : files)
            urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        QWidget *target = widgetNamed(window.get(), widget);
        EXPECT_NE(target, nullptr) << widget;
        where = target->mapTo(window.get(), target->rect().center());
        QDragEnterEvent enter(where, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window->windowHandle(), &enter);
        return enter.isAccepted();
    }
    // A drop where the last drag went; true when the drop is taken.
    bool dropHere()
    {
        QDropEvent drop(where, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window->windowHandle(), &drop);
        // The window opens the file once the drop is over.
        QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall);
        return drop.isAccepted();
    }
    void leave()
    {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window->windowHandle(), &leave);
    }

    QMimeData mime;
    QPoint where;
};

TEST_F(DropTest, OnlyAnInvoiceFileFirstInTheDragIsTaken)
{
    start({ invoice(QStringLiteral("prima.xml"), sampleInvoice("FPR12", "1")) });
    ASSERT_EQ(pageText(), QStringLiteral("PR 1 citta'"));
    QDir(programFolder).mkpath(QStringLiteral("cartella.xml"));
    const QString xml = invoice(QStringLiteral("f.XML"), sampleInvoice("FPA12", "2"));
    const QString p7m = invoice(QStringLiteral("f.xml.P7M"), "x");
    const QString txt = invoice(QStringLiteral("f.txt"), sampleInvoice("FPR12", "3"));
    const struct {
        const char *name;
        const char *over;
        QStringList files;
        bool taken;
    } rows[] = {
        { "xml over the page", "page", { xml }, true },
        { "xml over the file name", "StFileXML", { xml }, true },
        { "xml over the attachment list", "LBAlleg", { xml }, true },
        { "xml over the bottom band", "btnEsportaPdf", { xml }, true },
        { "signed envelope", "page", { p7m }, true },
        { "first of several", "page", { xml, txt }, true },
        { "text file", "page", { txt }, false },
        { "text file first", "StFileXML", { txt, xml }, false },
        { "folder, even named .xml: the archive window", "page", { programFolder + QStringLiteral("cartella.xml") },
            true },
        { "missing file", "page", { programFolder + QStringLiteral("manca.xml") }, false },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(dragOver(r.over, r.files), r.taken);
        leave();
    }
    // A refused file dropped all the same opens nothing.
    dragOver("page", { txt });
    EXPECT_FALSE(dropHere());
    EXPECT_EQ(field("StFileXML"), programFolder + QStringLiteral("FATTURE/prima.xml"));
    EXPECT_TRUE(dialogs.messages.isEmpty() && dialogs.errors.isEmpty() && dialogs.shown.isEmpty());
}

TEST_F(DropTest, ADropOpensAsTheDialogDoes)
{
    start();
    const QString previous = invoice(QStringLiteral("prima.xml"), sampleInvoice("FPR12", "1"));
    const struct {
        const char *name;
        QString file;
    } rows[] = {
        { "invoice", invoice(QStringLiteral("b.xml"), sampleInvoice("FSM10", "B-2")) },
        { "second of several dropped", invoice(QStringLiteral("c.xml"), sampleInvoice("FPA12", "C-3")) },
        { "not well-formed", invoice(QStringLiteral("rotta.xml"), "<a>\n<b></a>") },
        { "no format", invoice(QStringLiteral("senza.xml"), "<r><Numero>9</Numero></r>") },
        { "envelope damaged", invoice(QStringLiteral("busta.xml.p7m"), "0\x82\x01\x00 rotta") },
    };
    struct Seen {
        QStringList fields, messages, errors;
        QString page;
    };
    const auto seen = [&] {
        Seen s { {}, dialogs.messages, dialogs.errors, pageText() };
        for (const char *f : { "StFileXML", "STTipoDoc", "StFornitore", "STNumDoc", "StDataDoc" })
            s.fields << field(f);
        dialogs.messages.clear();
        dialogs.errors.clear();
        return s;
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        choose(previous);
        seen();
        choose(r.file);
        const Seen byDialog = seen();

        choose(previous);
        seen();
        const int dialogsBefore = static_cast<int>(dialogs.shown.size());
        ASSERT_TRUE(dragOver("page", { r.file, previous }));
        ASSERT_TRUE(dropHere());
        const Seen byDrop = seen();
        EXPECT_EQ(dialogs.shown.size(), dialogsBefore); // no dialog on a drop
        EXPECT_EQ(byDrop.fields, byDialog.fields);
        EXPECT_EQ(byDrop.messages, byDialog.messages);
        EXPECT_EQ(byDrop.errors, byDialog.errors);
        EXPECT_EQ(byDrop.page, byDialog.page);
        EXPECT_EQ(byDrop.fields.value(0), r.file);
    }
}
