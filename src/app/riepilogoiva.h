// The archive window's "Riepilogo IVA": taxable amount and tax of the rows
// shown, per currency, rate, nature and chargeability, exact to the cent;
// split into issued and received once the user types the company's VAT
// number (kept only while the window is open).
#pragma once

#include "archivio/riepilogo.h"

#include <QWidget>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class PannelloRiepilogoIva final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PannelloRiepilogoIva)
public:
    explicit PannelloRiepilogoIva(QWidget *parent = nullptr);

    // Sums the rows again (those shown in the table).
    void aggiorna(const std::vector<const RigaArchivio *> &righe);
    const std::vector<VoceRiepilogoIva> &voci() const { return voci_; }
    // The company's VAT numbers as typed (blanks or commas between them).
    QStringList partiteIva() const;

signals:
    // The VAT number changed: the rows must be summed again.
    void partitaCambiata();
    void esportaRichiesto();

private:
    QLineEdit *partita_;
    QTableWidget *tabella_;
    QLabel *nota_;
    QPushButton *esporta_;
    std::vector<VoceRiepilogoIva> voci_;
};
