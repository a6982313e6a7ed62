// The commands of lentiva-cli: the window's operations for scripts, run on
// the same core with the same program folder, stylesheets and messages.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;

// Exit codes: every file done, some file failed, the command line is wrong.
enum CodiceUscita : int { UscitaOk = 0, UscitaErrori = 1, UscitaUso = 2 };

// Turns a page (the bytes the window's pane receives) into a PDF; throws
// Exception when it cannot. Given by the program when it has the web pane.
using PaginaInPdf = std::function<QByteArray(const QByteArray &pagina)>;

// What a command runs with: the program folder (ending in the separator),
// standard output and error, and the PDF maker when there is one.
struct AmbienteComando {
    QString dirProgramma;
    QIODevice &out;
    QIODevice &err;
    PaginaInPdf inPdf;
};

// Runs the command named by the arguments (those after the program's name).
// dirProgramma is the program folder, ending in the separator; out and err
// take standard output and standard error; without inPdf there is no "pdf".
int EseguiComando(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err,
    const PaginaInPdf &inPdf = {});

// Runs the process's own command line (the application must exist) on standard
// output and standard error, from the program's folder.
int EseguiRigaDiComando(const PaginaInPdf &inPdf = {});

// The help text, in Italian.
QString TestoAiuto();
