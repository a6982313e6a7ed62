// lentiva-cli firma: who signed each file and whether it is intact, as a text
// block or one JSON object per line; and the outcome word for info --json.
#pragma once

#include <QString>
#include <QStringList>

class ElencoPigro;
class QIODevice;

// Runs "firma" with the arguments after the command's name. The trusted lists
// are those of CERTIFICATORI/ in dirProgramma, or the file of --elenco. Exit
// code 0 when every file is valida or assente, 1 otherwise, 2 for a usage error.
int ComandoFirma(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err);

// The outcome word of the file's signatures ("valida", ...) with these lists.
QString ParolaFirmaFile(const QString &file, ElencoPigro &elenco);
