// The browser pane: the rendered invoice is served from memory under a scheme
// of the program's own. No scripts, no network, no navigation anywhere else,
// and no drops: a file dropped on the page goes to the window.
#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;
class PageStore;

class InvoicePane final : public QWebEngineView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InvoicePane)
public:
    // Must run before the QApplication is created.
    static void registerScheme();

    explicit InvoicePane(QWidget *parent = nullptr);
    ~InvoicePane() override;

    // Replaces the page with these bytes (code page 1252).
    void showPage(const QByteArray &page);
    bool hasPage() const;
    // The last page given has finished loading.
    bool pageReady() const { return ready_; }

signals:
    // A page given to showPage finished loading.
    void pageShown(bool ok);
    // The engine created an inner widget (its input widget, the focus proxy).
    void innerWidgetAdded();

protected:
    bool event(QEvent *event) override;

private:
    QWebEngineProfile *profile_;
    PageStore *store_;
    QUrl current_;
    quint64 serial_ = 0;
    bool ready_ = false;
};
