// What the window asks of the desktop: the file-open and file-save dialogs,
// the print dialog, the two kinds of message box and the shell's "open".
// Behind an interface so that tests can script the answers and record the
// messages.
#pragma once

#include "common/messages.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

struct RisultatoControlli;
class QPrinter;
class QTemporaryDir;
class QWebEngineView;
class QWidget;

inline const QString TitoloApplicazione = QStringLiteral("Lentiva, Visualizzatore fatture elettroniche Italia xml/p7m");

// The application's name and version, and Qt's own texts (dialogs, buttons,
// context menus) in Italian whatever the user's locale. No display name: Qt
// would add it to the caption of every window and dialog, which read exactly
// as the program sets them; the message boxes carry the application title
// themselves.
void impostaApplicazione();

// For the run only: what Qt would keep in settings files (the file dialog's
// history, last folder and view) goes to a private folder removed at the end,
// so nothing is read from or written to the user's configuration. Made
// before the application.
class ImpostazioniDellaSessione final {
public:
    ImpostazioniDellaSessione();
    ~ImpostazioniDellaSessione();
    ImpostazioniDellaSessione(const ImpostazioniDellaSessione &) = delete;
    ImpostazioniDellaSessione &operator=(const ImpostazioniDellaSessione &) = delete;

private:
    std::unique_ptr<QTemporaryDir> cartella_;
};

struct ImpostazioniDialogo {
    QString cartella; // where the dialog starts
    QString estensione; // appended to a name typed without one; may be empty
    QString filtro; // "descrizione|*.a;*.b|..." pairs
    QString titolo;
};

class Dialoghi {
public:
    virtual ~Dialoghi() = default;
    // The chosen path, or empty when the user cancelled.
    virtual QString scegliFile(QWidget *parent, const ImpostazioniDialogo &impostazioni) = 0;
    // The path to save to, or empty when the user cancelled; the dialog starts
    // in impostazioni.cartella with nomeProposto filled in.
    virtual QString scegliFileDaSalvare(
        QWidget *parent, const ImpostazioniDialogo &impostazioni, const QString &nomeProposto)
        = 0;
    // The chosen folder, or empty when the user cancelled.
    virtual QString scegliCartella(QWidget *parent, const QString &cartella, const QString &titolo) = 0;
    // Asks for a printer and prints the view's page on it; nothing when the
    // user cancels.
    virtual void stampa(QWidget *parent, QWebEngineView *view) = 0;
    // The plain message box: no icon, one OK.
    virtual void messaggio(QWidget *parent, const QString &testo) = 0;
    // The default error display: error icon, one OK; the text is shown as given.
    virtual void errore(QWidget *parent, const QString &testo) = 0;
    virtual void apri(const QUrl &url) = 0;
    // A long text to read and copy (the signature's details); by default the
    // plain message box.
    virtual void dettagli(QWidget *parent, const QString &titolo, const QString &testo)
    {
        Q_UNUSED(titolo);
        messaggio(parent, testo);
    }
    // The findings of the exchange system's checks on file, to read, sort and
    // copy; by default as text through dettagli.
    virtual void rilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato);
};

// "descr|*.a;*.b|..." as Qt name filters ("descr (*.a *.b)"); "*.*" is "*".
QStringList filtriQt(const QString &filtro);

class DialoghiQt final : public Dialoghi {
public:
    DialoghiQt();
    ~DialoghiQt() override;
    QString scegliFile(QWidget *parent, const ImpostazioniDialogo &impostazioni) override;
    QString scegliFileDaSalvare(
        QWidget *parent, const ImpostazioniDialogo &impostazioni, const QString &nomeProposto) override;
    QString scegliCartella(QWidget *parent, const QString &cartella, const QString &titolo) override;
    void stampa(QWidget *parent, QWebEngineView *view) override;
    void messaggio(QWidget *parent, const QString &testo) override;
    void errore(QWidget *parent, const QString &testo) override;
    void apri(const QUrl &url) override;
    void dettagli(QWidget *parent, const QString &titolo, const QString &testo) override;
    void rilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato) override;

private:
    QString ultimoFile_; // offered again the next time, as the dialog keeps it
    // Kept between prints so the user's choices stay, and because the engine
    // prints after stampa has returned: the printer must outlive the print.
    std::unique_ptr<QPrinter> stampante_;
    bool stampaInCorso_ = false;
};
