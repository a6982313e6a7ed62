#include "app/invoicepane.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace {
const QByteArray kScheme = QByteArrayLiteral("lentiva");

// Refuses every request that is not for a page of ours.
class OnlyOurPages final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.requestUrl().scheme().toLatin1() != kScheme)
            info.block(true);
    }
};

// Follows no link and no redirect: only the page the program loads.
class LockedPage final : public QWebEnginePage {
public:
    LockedPage(QWebEngineProfile *profile, QObject *parent, const QUrl *allowed)
        : QWebEnginePage(profile, parent)
        , allowed_(allowed)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        return isMainFrame && url == *allowed_;
    }
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }

private:
    const QUrl *allowed_;
};
} // namespace

// Serves the current page's bytes to the engine.
class PageStore final : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    QUrl url;
    QByteArray bytes;

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        if (job->requestUrl() != url) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        // The charset must be given: without it Chromium guesses another page.
        job->reply(QByteArrayLiteral("text/html;charset=windows-1252"), buffer);
    }
};

void InvoicePane::registerScheme()
{
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

InvoicePane::InvoicePane(QWidget *parent)
    : QWebEngineView(parent)
    // Off the record: nothing kept on disk. Owned by the application so that it
    // outlives the page, which the engine requires.
    , profile_(new QWebEngineProfile(QCoreApplication::instance()))
    , store_(new PageStore(profile_))
{
    profile_->installUrlSchemeHandler(kScheme, store_);
    profile_->setUrlRequestInterceptor(new OnlyOurPages(profile_));
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    auto *lockedPage = new LockedPage(profile_, this, &current_);
    QWebEngineSettings *s = lockedPage->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    setPage(lockedPage);
    // The engine's own menu (the keyboard's menu key opens it) in Italian:
    // the translations Debian ships do not cover the web engine.
    const std::pair<QWebEnginePage::WebAction, const char *> voci[] = { { QWebEnginePage::Back, "Indietro" },
        { QWebEnginePage::Forward, "Avanti" }, { QWebEnginePage::Reload, "Ricarica" },
        { QWebEnginePage::SavePage, "Salva pagina" }, { QWebEnginePage::ViewSource, "Visualizza sorgente pagina" },
        { QWebEnginePage::Copy, "Copia" }, { QWebEnginePage::SelectAll, "Seleziona tutto" },
        { QWebEnginePage::CopyLinkToClipboard, "Copia indirizzo link" },
        { QWebEnginePage::CopyImageToClipboard, "Copia immagine" },
        { QWebEnginePage::CopyImageUrlToClipboard, "Copia indirizzo immagine" } };
    for (const auto &[azione, testo] : voci)
        lockedPage->action(azione)->setText(QString::fromUtf8(testo));
    // Dropped files belong to the window, which opens invoices; the engine
    // would otherwise take every drag that crosses the page.
    setAcceptDrops(false);
    setFocusPolicy(Qt::StrongFocus); // in the tab order even before the first page
    connect(lockedPage, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (page()->url() == current_) {
            ready_ = true;
            emit pageShown(ok);
        }
    });
}

InvoicePane::~InvoicePane() = default;

void InvoicePane::showPage(const QByteArray &page)
{
    // A fresh address per page, so the engine never shows a stale copy.
    current_ = QUrl(QStringLiteral("lentiva:fattura/%1").arg(++serial_));
    store_->url = current_;
    store_->bytes = page;
    ready_ = false;
    load(current_);
}

bool InvoicePane::event(QEvent *event)
{
    const bool result = QWebEngineView::event(event);
    if (event->type() == QEvent::ChildPolished) {
        if (auto *inner = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
            inner->setAcceptDrops(false);
        emit innerWidgetAdded();
    }
    return result;
}

bool InvoicePane::hasPage() const
{
    return serial_ > 0;
}
