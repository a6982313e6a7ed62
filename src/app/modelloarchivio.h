// The rows of the archive window: a table model over the archive's rows
// (Italian numbers and dates, amounts to the right, the signature's outcome in
// words and colours, typed values for sorting) and the proxy that sorts them
// and filters them over every column as the user reads it. The columns are
// one table: each is a row with its header, its tooltip, its width and its
// alignment.
#pragma once

#include "archivio/archivio.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

class ModelloArchivio final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModelloArchivio)
public:
    // In the order they show: what the eye looks for first (name, kind,
    // number, date, parties, amounts, signature, the exchange system's
    // verdicts) fits the window's width.
    enum Colonna {
        File, // the file; for an entry of a ZIP archive, its name inside it
        Tipo,
        Numero,
        Data,
        Cedente,
        Cessionario,
        Imponibile,
        Imposta,
        Totale,
        Firma,
        StatoSdi, // what the exchange system's messages say of it
        Controlli, // the findings of the exchange system's checks, run here
        DaPagare,
        Valuta,
        CedenteId,
        CessionarioId,
        Zip, // the ZIP archive an entry lies in
        Corpo,
        Formato,
        DescrizioneTipo,
        Allegati,
        Sdi,
        NumeroColonne
    };
    struct DefinizioneColonna {
        Colonna colonna;
        const char *intestazione;
        const char *suggerimento; // the header's tooltip, in plain words
        int larghezza; // at the window's opening
        bool destra; // numbers
    };
    static const DefinizioneColonna &definizione(int colonna);

    // Numbers, cents and dates as written, for sorting.
    static constexpr int RuoloOrdine = Qt::UserRole + 1;

    explicit ModelloArchivio(QObject *parent = nullptr);

    // Empties the model; files below radice are shown relative to it.
    void svuota(const QString &radice);
    void aggiungi(std::vector<RigaArchivio> &&righe);
    void impostaSdi(qsizetype riga, const QString &sdi);
    void impostaStatoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi);
    const RigaArchivio &riga(int r) const { return righe_[static_cast<size_t>(r)]; }
    // Every column of the row as shown, folded as the search folds (and the
    // amounts also without thousands' dots); made at the first search, not
    // while the rows come.
    const QString &testoRicerca(int r) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString testo(const RigaArchivio &r, int colonna) const;
    QString relativo(const QString &file) const;
    QString ricercaDi(const RigaArchivio &r) const;

    QString radice_;
    std::vector<RigaArchivio> righe_;
    mutable std::vector<QString> ricerca_; // empty: not made yet
};

// The signature's outcome in words: "Valida", "Non verificata", "Non valida",
// "Assente" (empty when not checked).
QString EsitoInParole(const QString &parola);

class FiltroArchivio final : public QSortFilterProxyModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FiltroArchivio)
public:
    explicit FiltroArchivio(QObject *parent = nullptr);
    // Rows that hold every word of the text in some column, folded as the
    // page's find bar folds: letter case, accents and apostrophes (società,
    // societa', SOCIETA' are one word); amounts as shown ("30,50").
    void cerca(const QString &testo);
    // Only the invoices the exchange system rejected.
    void soloScartate(bool solo);
    // Only the rows whose checks found something.
    void soloConRilievi(bool solo);
    const RigaArchivio &riga(int rigaMostrata) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QStringList parole_;
    bool soloScartate_ = false;
    bool soloConRilievi_ = false;
};
