// The second window, "Archivio fatture": a folder or ZIP archive of invoices
// as one table with search, totals, the files that are not invoices, the
// exchange system's messages, the VAT summary and the CSV exports; and what
// the main window hooks into it (its button, drops, opening a row through the
// main window's open flow, and the folder last read, offered again while the
// program runs).
#pragma once

#include "archivio/archivio.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <thread>

class Dialoghi;
class ElencoPigro;
class FiltroArchivio;
class ModelloArchivio;
class PannelloRiepilogoIva;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTemporaryDir;
class QTreeWidget;
class SchemiPigri;

class FinestraArchivio final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FinestraArchivio)
public:
    // apri opens a row's invoice; cartella is where the choosers start;
    // elenchi the trusted lists the signatures are checked against, schemi
    // the schemas of the exchange system's checks (null: no check).
    FinestraArchivio(QWidget *parent, Dialoghi &dialoghi, const QString &cartella,
        std::function<void(const RigaArchivio &)> apri, std::shared_ptr<ElencoPigro> elenchi = nullptr,
        std::shared_ptr<SchemiPigri> schemi = nullptr);
    ~FinestraArchivio() override;

    // Reads the paths in place of what is shown; a reading (or an export of
    // invoice lines) under way stops.
    void leggi(const QStringList &percorsi);
    bool inLettura() const { return lettore_.joinable() && !finita_; }
    bool inEsportazione() const { return esportazione_; }
    const FiltroArchivio &filtro() const { return *filtro_; }

    // Handlers, public so that tests drive them as the buttons do.
    void btnCartellaClick();
    void btnZipClick();
    void btnEsportaCsvClick();
    // The invoice lines of the rows shown, read again on the archive's workers
    // while the window goes on (the lines are not kept with the rows).
    void btnEsportaLineeClick();
    // The VAT summary shown, as CSV.
    void btnEsportaRiepilogoClick();

    // Where the choosers start: the folder read last, else the one given.
    const QString &cartella() const { return cartella_; }

signals:
    // The reading has handed out everything (or was stopped).
    void letturaFinita();
    // The invoice lines are written (or could not be).
    void esportazioneFinita();
    // A reading started: the folder it reads, or the one holding its file.
    void cartellaLetta(const QString &cartella);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    class Ponte;
    struct Pacchetto;
    struct Esportazione;
    void ricevi(Pacchetto &pacchetto);
    void esportata(const Esportazione &esito);
    void occupata(bool occupata);
    void ferma();
    void aggiornaTotali();
    void aggiornaRiepilogo();
    void apriRiga(const QModelIndex &indice);
    void aggiungiMessaggi(const MessaggiArchivio &messaggi);
    std::vector<const RigaArchivio *> righeMostrate() const;
    void esporta(
        const QString &titolo, const QString &nome, const std::function<QByteArray()> &csv, const QString &cosa);
    void esportato(const QString &cosa, const QString &file);

    Dialoghi &dialoghi_;
    QString cartella_;
    std::function<void(const RigaArchivio &)> apri_;
    std::shared_ptr<ElencoPigro> elenchi_;
    std::shared_ptr<SchemiPigri> schemi_;
    QString radice_; // the folder shown, when one was chosen
    int generazione_ = 0;
    bool finita_ = true;
    bool esportazione_ = false;
    qsizetype scarti_ = 0;
    ModelloArchivio *modello_ = nullptr;
    FiltroArchivio *filtro_ = nullptr;
    QTableView *tabella_ = nullptr;
    QLineEdit *cerca_ = nullptr;
    QLabel *totali_ = nullptr;
    QProgressBar *avanzamento_ = nullptr;
    QTabWidget *schede_ = nullptr;
    QTreeWidget *scartiLista_ = nullptr;
    PannelloRiepilogoIva *riepilogo_ = nullptr;
    QLabel *esito_ = nullptr; // what the last export wrote, and where
    QTreeWidget *messaggiLista_ = nullptr; // each item's data: the source to open
    QPushButton *btnEsportaCsv_ = nullptr;
    QPushButton *btnEsportaLinee_ = nullptr;
    bool totaliInAttesa_ = false;
    // The reading, or the export of invoice lines. Last, so that it is stopped
    // and joined before anything it uses goes.
    std::jthread lettore_;
};

// The folder or .zip a drag brings (the first of its files), or empty.
QString ArchivioTrascinato(const QMimeData *data);

// What the main window keeps for its archive window: the window itself, and
// the private folder where invoices opened from a ZIP archive are written for
// the open flow (which reads files), removed when the program ends.
class AperturaArchivio final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AperturaArchivio)
public:
    AperturaArchivio(QWidget *finestra, Dialoghi &dialoghi, const QString &cartella,
        std::function<void(const QString &)> apriFile, std::shared_ptr<ElencoPigro> elenchi = nullptr,
        std::shared_ptr<SchemiPigri> schemi = nullptr);
    ~AperturaArchivio() override;

    // Shows the archive window (made on first use, centred over the main
    // window, starting at the folder read last) and brings it to the front.
    FinestraArchivio &mostra();
    void leggi(const QStringList &percorsi) { mostra().leggi(percorsi); }
    FinestraArchivio *finestra() const { return finestra_; }

private:
    void apri(const RigaArchivio &riga);

    QWidget *principale_;
    Dialoghi &dialoghi_;
    QString cartella_;
    std::function<void(const QString &)> apriFile_;
    std::shared_ptr<ElencoPigro> elenchi_;
    std::shared_ptr<SchemiPigri> schemi_;
    std::unique_ptr<QTemporaryDir> privata_;
    QString ultima_; // the folder read last in this run
    int aperte_ = 0;
    QPointer<FinestraArchivio> finestra_;
};
