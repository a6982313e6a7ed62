// A main window on the offscreen platform, in a program folder of its own,
// with scripted dialogs that record every message.
#pragma once

#include "app/dialoghi.h"
#include "app/mainwindow.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class CampoValore;

struct ScriptedDialogs final : Dialoghi {
    QStringList answers; // the files "chosen", one per dialog; empty = cancel
    QList<ImpostazioniDialogo> shown;
    QList<ImpostazioniDialogo> shownSave;
    QStringList proposedNames; // one per save dialog
    QList<QWebEngineView *> printed;
    QStringList messages;
    QList<bool> windowSeenAtMessage; // one per message: was the window on screen then
    QStringList errors;
    QList<QUrl> opened;
    QStringList details;

    QString scegliFile(QWidget *, const ImpostazioniDialogo &impostazioni) override;
    QString scegliFileDaSalvare(
        QWidget *, const ImpostazioniDialogo &impostazioni, const QString &nomeProposto) override;
    QStringList folders; // where each folder chooser started
    QString scegliCartella(QWidget *, const QString &cartella, const QString &) override
    {
        folders << cartella;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void stampa(QWidget *, QWebEngineView *view) override { printed << view; }
    void messaggio(QWidget *parent, const QString &testo) override
    {
        messages << testo;
        windowSeenAtMessage << (parent != nullptr && parent->window()->isVisible());
    }
    void errore(QWidget *, const QString &testo) override { errors << testo; }
    void apri(const QUrl &url) override { opened << url; }
    void dettagli(QWidget *, const QString &, const QString &testo) override { details << testo; }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the window with these command-line arguments.
    TFLENTIVA &start(const QStringList &arguments = {});
    // Writes a file into the program folder's FATTURE/ and returns its path.
    QString invoice(const QString &name, const QByteArray &xml);
    QString field(const char *name) const;
    QStringList attachmentNames() const;
    // Waits for the page given to the pane and returns its text.
    QString pageText();
    // Opens the file as "Seleziona" would, and waits for its signature check.
    void choose(const QString &path);
    void waitForSignature();

    QTemporaryDir dir;
    QString programFolder; // ends in "/"
    ScriptedDialogs dialogs;
    std::unique_ptr<TFLENTIVA> window;
};

// An invoice with the given transmission format and document data.
QByteArray sampleInvoice(
    const QByteArray &formato, const QByteArray &numero = "7", const QByteArray &extraBody = QByteArray());
