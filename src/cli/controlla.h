// lentiva-cli controlla: the exchange system's checks on each file, run
// offline, as a text block or one JSON object per line; and the outcome word
// for info --json.
#pragma once

#include "cli/comandi.h"
#include "cli/rigacomando.h"

#include <QDate>
#include <QString>

class SchemiFattura;
struct RisultatoControlli;

// Runs "controlla" as the command line says, with the schemas of SCHEMI/ in
// the program folder. Exit code 0 when every file is conforme, 1 otherwise.
int ComandoControlla(const RigaLetta &riga, AmbienteComando &ambiente);

// The folder of the schemas in the program folder, without its separator.
QString CartellaSchemi(const QString &dirProgramma);

// The checks on a file: an envelope (.p7m) is opened in memory and the
// document it wraps is checked. Throws Exception when the file cannot be read.
RisultatoControlli ControllaFile(const SchemiFattura &schemi, const QString &file, QDate oggi);
