// "Dettagli" of the checks: the findings of one invoice in a table, one per
// row (kind, code, field, body, file line, found, expected, sentence), sorted
// by any column with a click, copied as tab-separated text (the selected rows
// with Ctrl+C, all of them with "Copia tutto").
#pragma once

#include <QDialog>

struct RisultatoControlli;
class QTableWidget;

inline const QString TitoloRilievi = QStringLiteral("Controlli dello SdI");

class DialogoRilievi final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogoRilievi)
public:
    DialogoRilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato);

    QTableWidget *tabella() const { return tabella_; }
    // The header and the rows as shown (in their order), fields separated by
    // tabs and rows by line ends; only the selected rows when asked.
    QString testo(bool soloSelezionate) const;
    // Puts testo on the clipboard.
    void copia(bool soloSelezionate) const;

private:
    QTableWidget *tabella_;
};
