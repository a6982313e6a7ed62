// The exchange system's checks on the invoice on show, told without taking
// room from the window: a thin bar that floats over the top left of the page
// (below the red signature warning when the page carries one), amber when the
// invoice would be rejected, grey when it cannot be checked, a small green mark
// when it would pass. "Dettagli" lists the findings. The check runs on a
// thread of its own once the page is shown, with the schemas compiled once
// for the run; it never delays the page nor stops it from showing.
#pragma once

#include "controlli/controlli.h"

#include <QFrame>
#include <QFutureWatcher>
#include <QThreadPool>
#include <functional>
#include <memory>

class Dialoghi;
class InvoicePane;
class QLabel;
class QPushButton;
class QToolButton;

class BarraControlli final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BarraControlli)
public:
    using Oggi = std::function<QDate()>;

    // Floats over the pane inside the pane's parent; schemi are the run's,
    // shared with the archive window; oggi the day dates are judged by.
    BarraControlli(InvoicePane *pane, Dialoghi &dialoghi, std::shared_ptr<SchemiPigri> schemi, Oggi oggi);
    ~BarraControlli() override;

    // An open has started: nothing shown until its page is.
    void svuota();
    // Checks xml (the document the page is made from; file is the one the
    // user chose) as soon as the page given to the pane last is shown.
    void controlla(const QString &file, const QString &xml);
    // The page carries the signature warning at its top: the bar goes below it.
    void sottoAvviso(bool avviso);

    // A check has been asked for and its outcome is not known yet.
    bool inCorso() const { return !file_.isEmpty() && inCorso_; }
    const QString &file() const { return file_; }
    const RisultatoControlli &risultato() const { return risultato_; }
    QLabel *frase() const { return frase_; }
    QPushButton *pulsanteDettagli() const { return btnDettagliControlli; }

    void btnDettagliControlliClick();

signals:
    // The outcome for file is known and shown.
    void controllata(const QString &file);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void avvia();
    void mostra();
    void posiziona();
    void misuraAvviso();

    InvoicePane *pane_;
    Dialoghi &dialoghi_;
    std::shared_ptr<SchemiPigri> schemi_;
    Oggi oggi_;
    QString file_; // the file whose outcome is shown, or being found
    QString xml_;
    QString testo_; // the bar's sentence, whole
    RisultatoControlli risultato_;
    bool inAttesa_ = false; // waiting for the page before starting
    bool inCorso_ = false;
    bool avviso_ = false;
    int sotto_ = 0; // where the signature warning ends, in the pane's pixels
    quint64 richiesta_ = 0; // only the last check asked for is shown
    QThreadPool lavoratori_; // its own, so no check outlives the bar

    QLabel *frase_;
    QPushButton *btnDettagliControlli;
    QToolButton *chiudi_;
};
