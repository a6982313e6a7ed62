// The browser pane on its own: pages from memory in code page 1252, and
// nothing else — no scripts, no network, no navigation away.
#include "app/invoicepane.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
QString textOf(InvoicePane &pane)
{
    QString text;
    bool done = false;
    pane.page()->toPlainText([&](const QString &t) {
        text = t;
        done = true;
    });
    return QTest::qWaitFor([&] { return done; }, 10000) ? text : QStringLiteral("<no text>");
}
} // namespace

TEST(Pane, ShowsBytesAsCodePage1252AndReachesNothingElse)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray outside = "http://127.0.0.1:" + QByteArray::number(server.serverPort()) + "/";

    InvoicePane pane;
    pane.resize(600, 400);
    pane.show();
    QSignalSpy shown(&pane, &InvoicePane::pageShown);
    pane.showPage("<html><head><title>Fattura</title><meta http-equiv='refresh' content='0;url=" + outside
        + "'><link rel='stylesheet' href='" + outside
        + "s.css'></head><body>citt\xe0 \x80 \xf3"
          "<img src='"
        + outside + "i.png'><iframe src='" + outside
        + "f'></iframe>"
          "<script>document.title='JS'; location.href='"
        + outside + "js';</script></body></html>");
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_TRUE(shown.at(0).at(0).toBool());
    EXPECT_EQ(textOf(pane).trimmed(), QString::fromUtf8("citt\u00e0 \u20ac \u00f3"));
    EXPECT_EQ(pane.title(), QStringLiteral("Fattura")); // the script never ran

    // Asked to go elsewhere, the pane stays on its page.
    const QUrl page = pane.url();
    pane.load(QUrl(QString::fromLatin1(outside)));
    pane.load(QUrl::fromLocalFile(QStringLiteral("/etc/hostname")));
    QTest::qWait(1500);
    EXPECT_EQ(pane.url(), page);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(server.waitForNewConnection(100));
}
