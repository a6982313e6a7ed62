// What the window asks of the desktop: the file-open dialog, the two kinds of
// message box and the shell's "open". Behind an interface so that tests can
// script the answers and record the messages.
#pragma once

#include "common/messages.h"

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

inline const QString TitoloApplicazione = QStringLiteral("Lentiva, Visualizzatore fatture elettroniche Italia xml/p7m");

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
    // The plain message box: no icon, one OK.
    virtual void messaggio(QWidget *parent, const QString &testo) = 0;
    // The default error display: error icon, one OK; the text is shown as given.
    virtual void errore(QWidget *parent, const QString &testo) = 0;
    virtual void apri(const QUrl &url) = 0;
};

// "descr|*.a;*.b|..." as Qt name filters ("descr (*.a *.b)"); "*.*" is "*".
QStringList filtriQt(const QString &filtro);

class DialoghiQt final : public Dialoghi {
public:
    QString scegliFile(QWidget *parent, const ImpostazioniDialogo &impostazioni) override;
    void messaggio(QWidget *parent, const QString &testo) override;
    void errore(QWidget *parent, const QString &testo) override;
    void apri(const QUrl &url) override;

private:
    QString ultimoFile_; // offered again the next time, as the dialog keeps it
};
