// The find bar over the invoice pane and the pane's zoom.
#include "app/barraricerca.h"

#include "app/invoicepane.h"
#include "invoice/rendering.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <iterator>

namespace {
// The zoom steps, as browsers take them.
constexpr qreal kLivelli[] = { 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0 };

QToolButton *pulsante(QWidget *parent, const QString &nome, const QString &testo, const QString &suggerimento)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(nome);
    b->setText(testo);
    b->setToolTip(suggerimento);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QShortcut *scorciatoia(
    QWidget *window, const QList<QKeySequence> &tasti, QObject *context, std::function<void()> azione)
{
    auto *s = new QShortcut(window);
    s->setKeys(tasti);
    QObject::connect(s, &QShortcut::activated, context, std::move(azione));
    return s;
}
} // namespace

BarraRicerca::BarraRicerca(InvoicePane *pane, QWidget *window)
    : QFrame(pane->parentWidget())
    , pane_(pane)
    , campo_(new QLineEdit(this))
    , conteggio_(new QLabel(this))
{
    setObjectName(QStringLiteral("barraRicerca"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    QFont f = font();
    f.setPixelSize(13);
    setFont(f);
    campo_->setObjectName(QStringLiteral("campoRicerca"));
    campo_->setPlaceholderText(QStringLiteral("Cerca nella fattura"));
    // Reached by Ctrl+F or a click, never by Tab: the window's order stays as it is.
    campo_->setFocusPolicy(Qt::ClickFocus);
    campo_->installEventFilter(this);
    conteggio_->setObjectName(QStringLiteral("conteggioRicerca"));
    conteggio_->setMinimumWidth(100);
    conteggio_->setAlignment(Qt::AlignCenter);
    auto *precedente = pulsante(this, QStringLiteral("precedente"), QStringLiteral("\u25b2"),
        QStringLiteral("Risultato precedente (Maiusc+F3)"));
    auto *successivo = pulsante(
        this, QStringLiteral("successivo"), QStringLiteral("\u25bc"), QStringLiteral("Risultato successivo (F3)"));
    auto *chiusura = pulsante(this, QStringLiteral("chiudi"), QStringLiteral("\u2715"), QStringLiteral("Chiudi (Esc)"));
    auto *righe = new QHBoxLayout(this);
    righe->setContentsMargins(4, 2, 2, 2);
    righe->setSpacing(2);
    righe->addWidget(campo_, 1);
    righe->addWidget(conteggio_);
    righe->addWidget(precedente);
    righe->addWidget(successivo);
    righe->addWidget(chiusura);
    connect(precedente, &QToolButton::clicked, this, [this] { cerca(true); });
    connect(successivo, &QToolButton::clicked, this, [this] { cerca(false); });
    connect(chiusura, &QToolButton::clicked, this, &BarraRicerca::chiudi);
    connect(campo_, &QLineEdit::textChanged, this, [this] { cercaTesto(false); });
    connect(pane_->page(), &QWebEnginePage::findTextFinished, this, &BarraRicerca::mostraConteggio);
    // A new page starts at the run's zoom, and the open search runs on it.
    connect(pane_, &InvoicePane::pageShown, this, [this] {
        if (!qFuzzyCompare(pane_->zoomFactor(), zoom_))
            pane_->setZoomFactor(zoom_);
        if (isVisible())
            cercaTesto(false);
    });
    hide();

    scorciatoia(window, { QKeySequence(Qt::CTRL | Qt::Key_F) }, this, [this] { apri(); });
    scorciatoia(window, { QKeySequence(Qt::Key_F3) }, this, [this] { cerca(false); });
    scorciatoia(window, { QKeySequence(Qt::SHIFT | Qt::Key_F3) }, this, [this] { cerca(true); });
    // Ctrl+= too: on many keyboards "+" is a shifted "=".
    scorciatoia(window, { QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal) }, this,
        [this] { zoom(1); });
    scorciatoia(window, { QKeySequence(Qt::CTRL | Qt::Key_Minus) }, this, [this] { zoom(-1); });
    scorciatoia(window, { QKeySequence(Qt::CTRL | Qt::Key_0) }, this, [this] { zoom(0); });
    // Esc belongs to the bar only while it is open.
    esc_ = scorciatoia(window, { QKeySequence(Qt::Key_Escape) }, this, [this] { chiudi(); });
    esc_->setEnabled(false);
    // Ctrl+wheel reaches the engine's inner widgets, which the application
    // sees first; the pane's own moves and resizes place the bar.
    qApp->installEventFilter(this);
}

BarraRicerca::~BarraRicerca()
{
    qApp->removeEventFilter(this);
}

void BarraRicerca::apri()
{
    posiziona();
    show();
    raise();
    esc_->setEnabled(true);
    campo_->setFocus(Qt::ShortcutFocusReason);
    campo_->selectAll();
    cercaTesto(false);
}

void BarraRicerca::cerca(bool indietro)
{
    if (!isVisible() || campo_->text().isEmpty()) {
        apri();
        return;
    }
    cercaTesto(indietro);
}

void BarraRicerca::chiudi()
{
    hide();
    esc_->setEnabled(false);
    pane_->page()->findText(QString());
    conteggio_->clear();
    pane_->setFocus(Qt::OtherFocusReason);
}

void BarraRicerca::cercaTesto(bool indietro)
{
    // The page shows città as citta': the text is looked for as the page shows it.
    QString testo = campo_->text();
    TraslitteraHtml(testo);
    if (testo.isEmpty()) {
        pane_->page()->findText(QString());
        conteggio_->clear();
        return;
    }
    pane_->page()->findText(testo, indietro ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void BarraRicerca::mostraConteggio(const QWebEngineFindTextResult &risultato)
{
    if (!isVisible() || campo_->text().isEmpty())
        conteggio_->clear();
    else if (risultato.numberOfMatches() == 0)
        conteggio_->setText(QStringLiteral("nessun risultato"));
    else
        conteggio_->setText(QStringLiteral("%1 di %2").arg(risultato.activeMatch()).arg(risultato.numberOfMatches()));
}

void BarraRicerca::zoom(int passi)
{
    qreal nuovo = 1.0;
    if (passi != 0) {
        nuovo = pane_->zoomFactor();
        for (; passi > 0; --passi) {
            const auto *p
                = std::find_if(std::begin(kLivelli), std::end(kLivelli), [&](qreal z) { return z > nuovo + 0.001; });
            nuovo = p != std::end(kLivelli) ? *p : kLivelli[std::size(kLivelli) - 1];
        }
        for (; passi < 0; ++passi) {
            const auto p
                = std::find_if(std::rbegin(kLivelli), std::rend(kLivelli), [&](qreal z) { return z < nuovo - 0.001; });
            nuovo = p != std::rend(kLivelli) ? *p : kLivelli[0];
        }
    }
    zoom_ = nuovo;
    pane_->setZoomFactor(nuovo);
}

void BarraRicerca::posiziona()
{
    // Over the page's top right corner, clear of its vertical scroll bar.
    const QRect area = pane_->geometry();
    const int larghezza = qMin(360, area.width());
    setGeometry(area.right() - larghezza - 18, area.top() + 2, larghezza, sizeHint().height());
}

bool BarraRicerca::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == campo_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            cerca(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    if (watched == pane_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move) && isVisible())
        posiziona();
    if (event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        auto *target = qobject_cast<QWidget *>(watched);
        if ((wheel->modifiers() & Qt::ControlModifier) && target != nullptr
            && (target == pane_ || pane_->isAncestorOf(target))) {
            // One step per notch; a touchpad's small turns add up to one.
            rotella_ += wheel->angleDelta().y();
            const int passi = rotella_ / 120;
            rotella_ -= passi * 120;
            if (passi != 0)
                zoom(passi);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
