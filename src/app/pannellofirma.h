// The "F I R M A" panel of the right column: the outcome of the signature
// check of the file named in the window, in its colour, the signer, the
// signing date, the details, and the download of the trusted list. The check
// and the reading of the lists run off the GUI thread.
#pragma once

#include "firma/firma.h"

#include <QFrame>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>

class CampoValore;
class Dialoghi;
class ElencoPigro;
class QFileSystemWatcher;
class QPushButton;
class QTimer;
class ScaricamentoElenco;

class PannelloFirma final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PannelloFirma)
public:
    static constexpr int Altezza = 124;
    using Orologio = std::function<QDateTime()>;

    // dirProgramma: the window's program folder, read when the panel needs it;
    // dirDocumenti: where the lists go when the program folder is read-only;
    // elenco: the lists of this run, shared with the archive window; adesso:
    // the clock signatures are judged by.
    PannelloFirma(QWidget *parent, Dialoghi &dialoghi, const QString &dirProgramma, const QString &dirDocumenti,
        std::shared_ptr<ElencoPigro> elenco, Orologio adesso);
    ~PannelloFirma() override;

    // The caption bar, made by the window in the style of its other panels.
    void aggiungiTitolo(QWidget *barra);
    // Checks the signatures of the file against the lists of CERTIFICATORI/
    // (the user's own too when the program folder is read-only): "Verifica in
    // corso" at once, the outcome when known, then verificata. Never throws.
    void verifica(const QString &file);
    // Empties the panel: an open has started, its file not yet checked.
    void svuota();
    // A check has been asked for and its outcome is not known yet.
    bool inCorso() const { return !file_.isEmpty() && inCorso_; }
    // Where "Aggiorna elenco certificatori" downloads from.
    void setIndirizzoElenco(const QUrl &indirizzo) { indirizzo_ = indirizzo; }
    const QString &file() const { return file_; }
    const EsitoVerifica &esito() const { return esito_; }
    QPushButton *pulsanteDettagli() const { return btnDettagliFirma; }
    QPushButton *pulsanteAggiorna() const { return btnAggiornaElenco; }

    void btnDettagliFirmaClick();
    // Starts the download, or cancels the one under way.
    void btnAggiornaElencoClick();

signals:
    // The outcome of file is on show; again is true when the same file was
    // checked once more (the lists changed).
    void verificata(const QString &file, bool ancora);
    // The download ended; ok says whether a list was written.
    void elencoAggiornato(bool ok);

private:
    void avvia(const QString &file, bool ancora);
    void riempi();
    void sorvegliaCartelle();
    void cartelleCambiate();
    void scaricamentoFinito(bool ok, const QString &testo);

    Dialoghi &dialoghi_;
    const QString &dirProgramma_;
    const QString dirDocumenti_;
    QUrl indirizzo_;
    std::shared_ptr<ElencoPigro> elenco_;
    Orologio adesso_;
    QString file_; // the file whose outcome is shown, or being found
    EsitoVerifica esito_;
    bool inCorso_ = false;
    quint64 richiesta_ = 0; // only the last check asked for is shown
    QThreadPool lavoratori_; // its own, so no check outlives the panel
    QFutureWatcher<EsitoVerifica> *attesa_ = nullptr;
    QFileSystemWatcher *sorvegliante_ = nullptr;
    QTimer *ritardo_ = nullptr; // a copy into the folder comes as several changes
    ScaricamentoElenco *scaricamento_ = nullptr;
    bool annullato_ = false; // the user gave the download up: nothing to tell

    CampoValore *StEsitoFirma = nullptr;
    CampoValore *StFirmatario = nullptr;
    CampoValore *StDataFirma = nullptr;
    QPushButton *btnDettagliFirma = nullptr;
    QPushButton *btnAggiornaElenco = nullptr;
};
