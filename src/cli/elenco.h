// lentiva-cli elenco: the rows of an archive of invoices (files, folders, ZIP
// archives) on standard output, as a table, JSON lines or CSV.
#pragma once

#include "cli/comandi.h"
#include "cli/rigacomando.h"

// Runs the command as the command line says; returns the exit code (0, 1
// when some file was not an invoice).
int ComandoElenco(const RigaLetta &riga, AmbienteComando &ambiente);
