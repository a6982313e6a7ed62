// Find and zoom in the invoice pane: a small find bar that floats over the
// pane's top right corner, and the pane's zoom from 50% to 300%, kept for this
// run only. Neither takes part in the window's layout or tab order, and the
// bar is no part of the pane, so the right-click rule stays the pane's alone.
#pragma once

#include <QFrame>

class InvoicePane;
class QLabel;
class QLineEdit;
class QShortcut;
class QWebEngineFindTextResult;

class BarraRicerca final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BarraRicerca)
public:
    // Floats over the pane inside the pane's parent; the keys act anywhere in
    // the window: Ctrl+F, F3, Shift+F3, Esc, Ctrl++, Ctrl+-, Ctrl+0.
    BarraRicerca(InvoicePane *pane, QWidget *window);
    ~BarraRicerca() override;

    // Shows the bar with its text selected and searches it again.
    void apri();
    // The next or the previous match; opens the bar when it has nothing to search.
    void cerca(bool indietro);
    // Hides the bar, drops the highlights and gives the focus back to the pane.
    void chiudi();
    // One step in (+1) or out (-1) per unit, within 50% to 300%; 0 goes back to 100%.
    void zoom(int passi);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cercaTesto(bool indietro);
    void mostraConteggio(const QWebEngineFindTextResult &risultato);
    void posiziona();

    InvoicePane *pane_;
    QLineEdit *campo_;
    QLabel *conteggio_;
    QShortcut *esc_;
    qreal zoom_ = 1.0; // the zoom chosen, kept over every page of the run
    int rotella_ = 0; // wheel rotation not yet turned into a step
};
