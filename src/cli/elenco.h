// lentiva-cli elenco: the rows of an archive of invoices (files, folders, ZIP
// archives) on standard output, as a table, JSON lines or CSV.
#pragma once

#include <QStringList>

class QIODevice;

// Runs the command with the arguments that follow its name; returns the exit
// code (0, 1 when some file was not an invoice, 2 for a wrong command line).
int ComandoElenco(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err);
