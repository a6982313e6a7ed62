// The rows of the archive window: a table model over the archive's rows
// (Italian numbers and dates, amounts to the right, typed values for sorting)
// and the proxy that sorts them and filters them over every text column.
#pragma once

#include "archivio/archivio.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

class ModelloArchivio final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModelloArchivio)
public:
    enum Colonna {
        File,
        Voce,
        Corpo,
        Formato,
        Tipo,
        DescrizioneTipo,
        Numero,
        Data,
        Cedente,
        CedenteId,
        Cessionario,
        CessionarioId,
        Valuta,
        Imponibile,
        Imposta,
        Totale,
        DaPagare,
        Allegati,
        Firma,
        Sdi,
        Controlli,
        NumeroColonne
    };
    // Numbers, cents and dates as written, for sorting.
    static constexpr int RuoloOrdine = Qt::UserRole + 1;

    explicit ModelloArchivio(QObject *parent = nullptr);

    // Empties the model; files below radice are shown relative to it.
    void svuota(const QString &radice);
    void aggiungi(std::vector<RigaArchivio> &&righe);
    void impostaSdi(qsizetype riga, const QString &sdi);
    const RigaArchivio &riga(int r) const { return righe_[static_cast<size_t>(r)]; }
    // Every text column of the row in lower case, for the search; made at the
    // first search, not while the rows come.
    const QString &testoRicerca(int r) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString testo(const RigaArchivio &r, int colonna) const;
    QString ricercaDi(const RigaArchivio &r) const;

    QString radice_;
    std::vector<RigaArchivio> righe_;
    mutable std::vector<QString> ricerca_; // empty: not made yet
};

class FiltroArchivio final : public QSortFilterProxyModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FiltroArchivio)
public:
    explicit FiltroArchivio(QObject *parent = nullptr);
    // Rows whose text columns hold every word of the text, in any letter case.
    void cerca(const QString &testo);
    // Only the rows whose checks found something.
    void soloConRilievi(bool solo);
    const RigaArchivio &riga(int rigaMostrata) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QStringList parole_;
    bool soloConRilievi_ = false;
};
