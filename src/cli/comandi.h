// The commands of lentiva-cli: the window's operations for scripts, run on
// the same core with the same program folder, stylesheets and messages.
#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// Exit codes: every file done, some file failed, the command line is wrong.
enum CodiceUscita : int { UscitaOk = 0, UscitaErrori = 1, UscitaUso = 2 };

// Runs the command named by the arguments (those after the program's name).
// dirProgramma is the program folder, ending in the separator; out and err
// take standard output and standard error.
int EseguiComando(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err);

// The help text, in Italian.
QString TestoAiuto();
