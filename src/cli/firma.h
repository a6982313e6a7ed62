// lentiva-cli firma: who signed each file and whether it is intact, as a text
// block or one JSON object per line; and the outcome word for info --json.
#pragma once

#include "cli/comandi.h"
#include "cli/rigacomando.h"

#include <QString>

class ElencoPigro;

// Runs "firma" as the command line says. The trusted lists are those of
// CERTIFICATORI/ in the program folder, or the file of --elenco. Exit code 0
// when every file is valida or assente, 1 otherwise.
int ComandoFirma(const RigaLetta &riga, AmbienteComando &ambiente);

// The outcome word of the file's signatures ("valida", ...) with these lists.
QString ParolaFirmaFile(const QString &file, ElencoPigro &elenco);
