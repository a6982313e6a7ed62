// The table of the checks' findings and its copies.
#include "app/dialogorilievi.h"

#include "controlli/controlli.h"
#include "controlli/uscita.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Colonna { Tipo, Codice, Campo, Corpo, Riga, Trovato, Atteso, Spiegazione, NumeroColonne };

// Numbers sort as numbers (the empty cell of a 0 first), texts without
// regard to letter case.
class Cella final : public QTableWidgetItem {
public:
    explicit Cella(const QString &testo)
        : QTableWidgetItem(testo)
    {
    }
    explicit Cella(int numero)
        : QTableWidgetItem(numero > 0 ? QString::number(numero) : QString())
    {
        setData(Qt::UserRole, numero);
        setTextAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    bool operator<(const QTableWidgetItem &altra) const override
    {
        const QVariant a = data(Qt::UserRole), b = altra.data(Qt::UserRole);
        if (a.isValid() && b.isValid())
            return a.toInt() < b.toInt();
        return text().compare(altra.text(), Qt::CaseInsensitive) < 0;
    }
};

// A field of the copy: on one line, without the tabs that separate fields.
QString campoCopiato(QString testo)
{
    for (QChar &c : testo)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return testo;
}
} // namespace

DialogoRilievi::DialogoRilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato)
    : QDialog(parent)
    , tabella_(new QTableWidget(static_cast<int>(risultato.rilievi.size()), NumeroColonne, this))
{
    setObjectName(QStringLiteral("dialogoRilievi"));
    setWindowTitle(TitoloRilievi);
    resize(1000, 560);
    auto *layout = new QVBoxLayout(this);
    auto *intestazione = new QLabel(QStringLiteral("%1\nFile: %2").arg(FraseBarra(risultato), file), this);
    intestazione->setTextFormat(Qt::PlainText);
    intestazione->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(intestazione);

    tabella_->setObjectName(QStringLiteral("tabellaRilievi"));
    tabella_->setHorizontalHeaderLabels({ QStringLiteral("Tipo"), QStringLiteral("Codice"), QStringLiteral("Campo"),
        QStringLiteral("Corpo"), QStringLiteral("Riga"), QStringLiteral("Trovato"), QStringLiteral("Atteso"),
        QStringLiteral("Spiegazione") });
    tabella_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabella_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tabella_->setWordWrap(true);
    tabella_->verticalHeader()->hide();
    for (int i = 0; i < static_cast<int>(risultato.rilievi.size()); ++i) {
        const Rilievo &r = risultato.rilievi[i];
        const QString celle[] = { r.scarto ? QStringLiteral("Errore") : QStringLiteral("Avviso"), r.codice, r.campo };
        for (int c = Tipo; c <= Campo; ++c)
            tabella_->setItem(i, c, new Cella(celle[c]));
        tabella_->setItem(i, Corpo, new Cella(r.corpo));
        tabella_->setItem(i, Riga, new Cella(r.riga));
        tabella_->setItem(i, Trovato, new Cella(r.trovato));
        tabella_->setItem(i, Atteso, new Cella(r.atteso));
        tabella_->setItem(i, Spiegazione, new Cella(r.messaggio));
    }
    tabella_->setSortingEnabled(true);
    tabella_->sortByColumn(Riga, Qt::AscendingOrder);
    tabella_->resizeColumnsToContents();
    for (int c : { Campo, Trovato, Atteso })
        tabella_->setColumnWidth(c, std::min(tabella_->columnWidth(c), 180));
    tabella_->horizontalHeader()->setSectionResizeMode(Spiegazione, QHeaderView::Stretch);
    tabella_->resizeRowsToContents();
    layout->addWidget(tabella_, 1);

    auto *pulsanti = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *tutto = pulsanti->addButton(QStringLiteral("Copia tutto"), QDialogButtonBox::ActionRole);
    connect(tutto, &QPushButton::clicked, this, [this] { copia(false); });
    connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(pulsanti);
    connect(new QShortcut(QKeySequence::Copy, tabella_, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
        this, [this] { copia(true); });
}

QString DialogoRilievi::testo(bool soloSelezionate) const
{
    QStringList righe;
    QStringList intestazione;
    for (int c = 0; c < NumeroColonne; ++c)
        intestazione << tabella_->horizontalHeaderItem(c)->text();
    righe << intestazione.join(u'\t');
    for (int r = 0; r < tabella_->rowCount(); ++r) {
        if (soloSelezionate && !tabella_->selectionModel()->isRowSelected(r, QModelIndex()))
            continue;
        QStringList campi;
        for (int c = 0; c < NumeroColonne; ++c)
            campi << campoCopiato(tabella_->item(r, c)->text());
        righe << campi.join(u'\t');
    }
    return righe.join(u'\n') + u'\n';
}

void DialogoRilievi::copia(bool soloSelezionate) const
{
    QApplication::clipboard()->setText(testo(soloSelezionate));
}
