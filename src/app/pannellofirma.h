// The "F I R M A" panel of the right column: the outcome of the signature
// check of the file on show in its colour, the signer, the signing date, the
// details, and the download of the trusted list.
#pragma once

#include "firma/firma.h"

#include <QFrame>
#include <QUrl>
#include <memory>

class CampoValore;
class Dialoghi;
class ElencoPigro;
class QPushButton;

class PannelloFirma final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PannelloFirma)
public:
    static constexpr int Altezza = 124;

    // dirProgramma: the window's program folder, read when the panel needs it;
    // dirDocumenti: where the lists go when the program folder is read-only;
    // elenco: the lists of this run, shared with the archive window.
    PannelloFirma(QWidget *parent, Dialoghi &dialoghi, const QString &dirProgramma, const QString &dirDocumenti,
        std::shared_ptr<ElencoPigro> elenco);
    ~PannelloFirma() override;

    // The caption bar, made by the window in the style of its other panels.
    void aggiungiTitolo(QWidget *barra);
    // Checks the signatures of the file just opened against the lists of
    // CERTIFICATORI/ (read at the first check; the user's own too when the
    // program folder is read-only) and shows the outcome; a
    // non_valida one is also told in a plain message box. Never throws.
    void mostra(const QString &file);
    // Empties the panel: a new page is on show, not yet checked.
    void svuota();
    // Where "Aggiorna elenco certificatori" downloads from.
    void setIndirizzoElenco(const QUrl &indirizzo) { indirizzo_ = indirizzo; }
    const EsitoVerifica &esito() const { return esito_; }
    QPushButton *pulsanteDettagli() const { return btnDettagliFirma; }
    QPushButton *pulsanteAggiorna() const { return btnAggiornaElenco; }

    void btnDettagliFirmaClick();
    void btnAggiornaElencoClick();

private:
    void verifica(const QString &file);
    void riempi();

    Dialoghi &dialoghi_;
    const QString &dirProgramma_;
    const QString dirDocumenti_;
    QUrl indirizzo_;
    std::shared_ptr<ElencoPigro> elenco_;
    QString file_; // the file whose outcome is shown
    EsitoVerifica esito_;

    CampoValore *StEsitoFirma = nullptr;
    CampoValore *StFirmatario = nullptr;
    CampoValore *StDataFirma = nullptr;
    QPushButton *btnDettagliFirma = nullptr;
    QPushButton *btnAggiornaElenco = nullptr;
};
