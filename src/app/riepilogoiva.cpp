// The VAT summary's panel: a field for the company's VAT number, the table,
// the rows left out and the export.
#include "app/riepilogoiva.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// The table's columns: header, tooltip, numbers to the right.
struct Colonna {
    const char *intestazione;
    const char *suggerimento;
    bool destra;
};
const Colonna kColonne[] = {
    { "Verso",
        "Emesse dall'azienda (è il cedente) o ricevute (è il cessionario); altre: l'azienda non è né l'uno né "
        "l'altro",
        false },
    { "Valuta", "La valuta degli importi", false },
    { "Aliquota IVA", "L'aliquota IVA in percentuale", true },
    { "Natura", "Perché l'IVA è zero: N1 escluse, N2 non soggette, N3 non imponibili, N4 esenti...", false },
    { "Esigibilità", "I immediata, D differita, S scissione dei pagamenti (vuota quando la fattura non la dice)",
        false },
    { "Imponibile", "La somma degli imponibili (le note di credito TD04 e TD08 col segno meno)", true },
    { "Imposta", "La somma delle imposte (le note di credito TD04 e TD08 col segno meno)", true },
    { "Fatture", "Quante fatture (corpi) contribuiscono", true },
};
} // namespace

PannelloRiepilogoIva::PannelloRiepilogoIva(QWidget *parent)
    : QWidget(parent)
    , partita_(new QLineEdit(this))
    , tabella_(new QTableWidget(0, int(std::size(kColonne)), this))
    , nota_(new QLabel(this))
    , esporta_(new QPushButton(QStringLiteral("Esporta riepilogo CSV"), this))
{
    setObjectName(QStringLiteral("riepilogoIva"));
    partita_->setObjectName(QStringLiteral("partitaIva"));
    partita_->setPlaceholderText(QStringLiteral("per dividere in emesse e ricevute, es. IT01234567890"));
    partita_->setClearButtonEnabled(true);
    partita_->setToolTip(QStringLiteral("La partita IVA dell'azienda (anche più d'una, separate da spazi): le fatture "
                                        "in cui è il cedente sono emesse, quelle in cui è il cessionario ricevute. "
                                        "Non si salva."));
    tabella_->setObjectName(QStringLiteral("tabellaRiepilogo"));
    tabella_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabella_->verticalHeader()->hide();
    tabella_->setWordWrap(false);
    tabella_->verticalHeader()->setDefaultSectionSize(tabella_->fontMetrics().height() + 6);
    for (int c = 0; c < int(std::size(kColonne)); ++c) {
        auto *voce = new QTableWidgetItem(QString::fromUtf8(kColonne[c].intestazione));
        voce->setToolTip(QString::fromUtf8(kColonne[c].suggerimento));
        tabella_->setHorizontalHeaderItem(c, voce);
        tabella_->setColumnWidth(c, kColonne[c].destra ? 110 : 90);
    }
    nota_->setObjectName(QStringLiteral("notaRiepilogo"));
    esporta_->setObjectName(QStringLiteral("btnEsportaRiepilogo"));
    esporta_->setToolTip(QStringLiteral("Il riepilogo mostrato, in un file CSV"));

    auto *alto = new QHBoxLayout;
    alto->addWidget(new QLabel(QStringLiteral("Partita IVA dell'azienda:"), this));
    alto->addWidget(partita_, 1);
    alto->addWidget(esporta_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addLayout(alto);
    layout->addWidget(tabella_, 1);
    layout->addWidget(nota_);
    connect(partita_, &QLineEdit::textChanged, this, &PannelloRiepilogoIva::partitaCambiata);
    connect(esporta_, &QPushButton::clicked, this, &PannelloRiepilogoIva::esportaRichiesto);
}

QStringList PannelloRiepilogoIva::partiteIva() const
{
    return partita_->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
}

void PannelloRiepilogoIva::aggiorna(const std::vector<const RigaArchivio *> &righe)
{
    RiepilogoIva riepilogo(partiteIva());
    for (const RigaArchivio *r : righe)
        riepilogo.aggiungi(*r);
    voci_ = riepilogo.voci();
    tabella_->setColumnHidden(0, partiteIva().isEmpty());
    tabella_->setRowCount(static_cast<int>(voci_.size()));
    for (int i = 0; i < static_cast<int>(voci_.size()); ++i) {
        const VoceRiepilogoIva &v = voci_[static_cast<size_t>(i)];
        const QString celle[] = { v.verso.isEmpty() ? QStringLiteral("altre") : v.verso, v.valuta,
            NumeroConVirgola(v.aliquota), v.natura, v.esigibilita, FormatoCentesimi(v.imponibile, u',', true),
            FormatoCentesimi(v.imposta, u',', true), QString::number(v.fatture) };
        for (int c = 0; c < int(std::size(kColonne)); ++c) {
            auto *cella = new QTableWidgetItem(celle[c]);
            if (kColonne[c].destra)
                cella->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tabella_->setItem(i, c, cella);
        }
    }
    const QString nonSommate = riepilogo.testoNonSommate();
    nota_->setText(nonSommate.isEmpty() ? QString() : nonSommate + QLatin1Char('.'));
    nota_->setToolTip(riepilogo.nonSommate().join(u'\n'));
    nota_->setVisible(!nonSommate.isEmpty());
    esporta_->setEnabled(!voci_.empty());
}
