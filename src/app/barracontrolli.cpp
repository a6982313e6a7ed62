// The checks' bar over the invoice pane: the check of each invoice shown, on
// a thread of its own, and its outcome in the bar's colour and words.
#include "app/barracontrolli.h"

#include "app/dialoghi.h"
#include "app/invoicepane.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "controlli/uscita.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace {
// Runs on a worker: the schemas are compiled there at the first check.
RisultatoControlli controllaFile(const QString &xml, const std::shared_ptr<SchemiPigri> &schemi, QDate oggi)
{
    RisultatoControlli r;
    try {
        return ControllaFattura(schemi->schemi(), readWholeFile(xml), oggi);
    } catch (const Exception &e) {
        r.motivo = QStringLiteral("Il file non si può leggere (%1): i controlli non si possono eseguire.")
                       .arg(e.message().trimmed());
    } catch (const std::bad_alloc &) {
        r.motivo = QStringLiteral("Memoria insufficiente per controllare la fattura.");
    }
    return r;
}

// Where the page's signature warning ends, in CSS pixels of the viewport.
const QString kFineAvviso = QStringLiteral(
    "(function(){var e=document.getElementById('avviso-firma');return e?e.getBoundingClientRect().bottom:0;})()");
} // namespace

BarraControlli::BarraControlli(InvoicePane *pane, Dialoghi &dialoghi, std::shared_ptr<SchemiPigri> schemi, Oggi oggi)
    : QFrame(pane->parentWidget())
    , pane_(pane)
    , dialoghi_(dialoghi)
    , schemi_(std::move(schemi))
    , oggi_(std::move(oggi))
    , frase_(new QLabel(this))
    , btnDettagliControlli(new QPushButton(QStringLiteral("Dettagli"), this))
    , chiudi_(new QToolButton(this))
{
    setObjectName(QStringLiteral("barraControlli"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    lavoratori_.setMaxThreadCount(1);
    QFont f = font();
    f.setPixelSize(12);
    f.setBold(true);
    frase_->setObjectName(QStringLiteral("fraseControlli"));
    frase_->setFont(f);
    f.setBold(false);
    btnDettagliControlli->setObjectName(QStringLiteral("btnDettagliControlli"));
    btnDettagliControlli->setFont(f);
    btnDettagliControlli->setToolTip(QStringLiteral("I rilievi dei controlli, uno per riga"));
    chiudi_->setObjectName(QStringLiteral("chiudiControlli"));
    chiudi_->setText(QStringLiteral("\u2715"));
    chiudi_->setToolTip(QStringLiteral("Nascondi"));
    chiudi_->setAutoRaise(true);
    chiudi_->setFocusPolicy(Qt::NoFocus);
    auto *righe = new QHBoxLayout(this);
    righe->setContentsMargins(6, 1, 1, 1);
    righe->setSpacing(6);
    righe->addWidget(frase_, 1);
    righe->addWidget(btnDettagliControlli);
    righe->addWidget(chiudi_);
    connect(btnDettagliControlli, &QPushButton::clicked, this, &BarraControlli::btnDettagliControlliClick);
    connect(chiudi_, &QToolButton::clicked, this, &QWidget::hide);
    connect(pane_, &InvoicePane::pageShown, this, [this] {
        if (inAttesa_)
            avvia();
        if (avviso_)
            misuraAvviso();
    });
    // Zoom and width move the warning's end.
    connect(pane_->page(), &QWebEnginePage::contentsSizeChanged, this, [this] {
        if (avviso_)
            misuraAvviso();
    });
    pane_->installEventFilter(this);
    hide();
}

BarraControlli::~BarraControlli()
{
    ++richiesta_; // a check still running is not shown
    lavoratori_.waitForDone();
}

void BarraControlli::svuota()
{
    ++richiesta_;
    inAttesa_ = inCorso_ = false;
    file_.clear();
    xml_.clear();
    risultato_ = RisultatoControlli();
    hide();
}

void BarraControlli::controlla(const QString &file, const QString &xml)
{
    svuota();
    file_ = file;
    xml_ = xml;
    inCorso_ = true;
    if (pane_->pageReady())
        avvia();
    else
        inAttesa_ = true;
}

void BarraControlli::avvia()
{
    inAttesa_ = false;
    const quint64 richiesta = ++richiesta_;
    auto *attesa = new QFutureWatcher<RisultatoControlli>(this);
    connect(attesa, &QFutureWatcherBase::finished, this, [this, attesa, richiesta] {
        attesa->deleteLater();
        if (richiesta != richiesta_)
            return;
        inCorso_ = false;
        risultato_ = attesa->result();
        mostra();
        emit controllata(file_);
    });
    attesa->setFuture(QtConcurrent::run(&lavoratori_, controllaFile, xml_, schemi_, oggi_()));
}

void BarraControlli::sottoAvviso(bool avviso)
{
    avviso_ = avviso;
    if (!avviso) {
        sotto_ = 0;
        posiziona();
    }
}

void BarraControlli::misuraAvviso()
{
    // A page that goes away answers with nothing: then the pane may be going too.
    const QPointer<BarraControlli> io(this);
    const qreal zoom = pane_->zoomFactor();
    pane_->page()->runJavaScript(kFineAvviso, QWebEngineScript::ApplicationWorld, [io, zoom](const QVariant &fine) {
        if (io.isNull() || !io->avviso_ || !fine.isValid())
            return;
        io->sotto_ = static_cast<int>(std::ceil(std::max(0.0, fine.toDouble()) * zoom));
        io->posiziona();
    });
}

void BarraControlli::mostra()
{
    const RisultatoControlli &r = risultato_;
    QColor sfondo(0xbd, 0xbd, 0xbd), scritta(Qt::black);
    QString testo = FraseBarra(r);
    bool completa = true; // the sentence and its buttons, or the green mark alone
    switch (r.esito) {
    case EsitoControllo::NonConforme:
        sfondo = QColor(0xff, 0xb3, 0x00);
        testo = QStringLiteral("\u26a0 ") + testo;
        break;
    case EsitoControllo::Conforme:
        sfondo = QColor(0x2e, 0x7d, 0x32);
        scritta = Qt::white;
        completa = r.avvisi() > 0;
        testo = completa ? QStringLiteral("\u2713 ") + testo : QStringLiteral("\u2713 SdI");
        break;
    case EsitoControllo::NonControllabile:
        break;
    }
    QPalette p = palette();
    p.setColor(QPalette::Window, sfondo);
    p.setColor(QPalette::WindowText, scritta);
    p.setColor(QPalette::ButtonText, scritta);
    setPalette(p);
    testo_ = testo;
    setToolTip(FraseBarra(r) + (r.motivo != FraseBarra(r) ? QStringLiteral("\n") + r.motivo : QString()));
    btnDettagliControlli->setVisible(completa && !r.rilievi.isEmpty());
    chiudi_->setVisible(completa);
    posiziona();
    show();
}

void BarraControlli::posiziona()
{
    // At the page's top left, clear of its vertical scroll bar; a sentence
    // wider than the page is cut with an ellipsis (the tooltip has it whole).
    const QRect area = pane_->geometry();
    const int massimo = std::max(0, area.width() - 18);
    const QMargins margini = layout()->contentsMargins();
    int altri = margini.left() + margini.right() + 2 * frameWidth();
    for (QWidget *w : { static_cast<QWidget *>(btnDettagliControlli), static_cast<QWidget *>(chiudi_) })
        if (!w->isHidden())
            altri += w->sizeHint().width() + layout()->spacing();
    const QFontMetrics metrica(frase_->font());
    const QString testo = metrica.elidedText(testo_, Qt::ElideRight, std::max(0, massimo - altri - 2));
    frase_->setText(testo);
    setGeometry(area.left(), area.top() + std::min(sotto_, std::max(0, area.height() - 24)),
        std::min(massimo, altri + metrica.horizontalAdvance(testo) + 2), std::max(22, sizeHint().height()));
}

void BarraControlli::btnDettagliControlliClick()
{
    if (!file_.isEmpty() && !inCorso_ && !risultato_.rilievi.isEmpty())
        dialoghi_.rilievi(window(), file_, risultato_);
}

bool BarraControlli::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pane_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move) && isVisible())
        posiziona();
    return QFrame::eventFilter(watched, event);
}
