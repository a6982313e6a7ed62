// The main window FLENTIVA: its layout, its handlers, the display the open
// flow drives and the invoice files dropped on it. Everything the user sees
// goes through Dialoghi.
#pragma once

#include "attachments/allegati.h"
#include "invoice/openflow.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>

class AperturaArchivio;
class BarraControlli;
class CampoValore;
class Dialoghi;
class ElencoPigro;
class InvoicePane;
class PannelloFirma;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class SchemiPigri;

class TFLENTIVA final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFLENTIVA)
public:
    // dirProgramma: the program's folder ending in the separator; argomenti:
    // the command-line arguments after the program's name.
    TFLENTIVA(const QString &dirProgramma, const QStringList &argomenti, Dialoghi &dialoghi);
    ~TFLENTIVA() override;

    const StatoFattura &stato() const { return stato_; }
    const QString &fileParametro() const { return FileParametro; }
    InvoicePane *browser() const { return WebBrowser1; }
    PannelloFirma *pannelloFirma() const { return pannelloFirma_; }
    BarraControlli *barraControlli() const { return barraControlli_; }

    // Start-up: the show event's work (the command-line file opened, its
    // messages told) before the window is first seen, then the window
    // maximised.
    void avvia();

    // Handlers, public so that the hidden commands can be driven from tests.
    void btnSelFileClick();
    void btnEsciClick();
    void btnGuidaClick();
    void imgVelmaroClick();
    void ButtonSaveClick();
    void ButtonOpenClick();
    void btnEstraiPM7Click();
    void btnCodificaFileClick();
    void btndecodificaClick();
    void btnStampaClick();
    void btnEsportaPdfClick();
    void btnArchivioClick();

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Display;
    friend class Display;

    void FormCreate(const QStringList &argomenti);
    void FormShow();
    void costruisci();
    void ordinaTab();
    // The open flow from the chosen file on, whether the dialog or a drop chose it.
    void apriScelto(const QString &scelto);
    void MostraHtml(const QByteArray &testo);
    void CaricaAllegati(const QString &fileName);
    void impostaCampo(CampoTestata campo, const QByteArray &testo);
    // The outcome of a file's signature check: an altered invoice on show
    // gets its warning at the top of the page and, once per open, a message.
    void firmaVerificata(const QString &file, bool ancora);
    // Print and PDF wait for the check of the page they would print.
    bool dopoLaVerifica(void (TFLENTIVA::*azione)());
    // Runs a handler; an error that escapes it reaches the error display.
    template <typename F> void protetto(F &&handler);

    Dialoghi &dialoghi_;
    StatoFattura stato_; // DirProgramma, FileXml, FoglioStile
    // The trusted lists of this run, read at the first check; shared by the
    // signature panel and the archive window (and its reading thread).
    std::shared_ptr<ElencoPigro> elenchiCertificatori_;
    // The schemas of SCHEMI/, compiled at the first check of this run; shared
    // by the checks' bar and the archive window.
    std::shared_ptr<SchemiPigri> schemi_;
    FogliCompilati fogli_; // the stylesheets compiled in this run
    QList<TAllegatoItem> ListaAllegati; // the attachments of the invoice on show
    QString FileParametro;
    QString fileInMostra_; // the chosen file whose page the pane shows
    QByteArray paginaInMostra_; // its page as the open flow gave it
    QString xmlInMostra_; // the XML its page was made from
    quint64 pagineMostrate_ = 0;
    bool avvisoInPagina_ = false; // the page carries the altered-signature warning
    std::function<void()> dopoVerifica_; // a print or an export waiting for the check
    bool mostrata_ = false;

    CampoValore *StFileXML = nullptr;
    CampoValore *STTipoDoc = nullptr;
    CampoValore *StFornitore = nullptr;
    CampoValore *STNumDoc = nullptr;
    CampoValore *StDataDoc = nullptr;
    QPushButton *btnSelFile = nullptr;
    QPushButton *btnEsci = nullptr;
    QPushButton *btnGuida = nullptr;
    InvoicePane *WebBrowser1 = nullptr;
    QPlainTextEdit *MemoXCodifica = nullptr;
    QListWidget *LBAlleg = nullptr;
    QPushButton *ButtonSave = nullptr;
    QPushButton *ButtonOpen = nullptr;
    QPushButton *btnStampa = nullptr;
    QPushButton *btnEsportaPdf = nullptr;
    QPushButton *btnArchivio = nullptr;
    AperturaArchivio *archivio_ = nullptr; // the archive window and its private folder
    QWidget *panUtili = nullptr;
    PannelloFirma *pannelloFirma_ = nullptr;
    BarraControlli *barraControlli_ = nullptr;
};
