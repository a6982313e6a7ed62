// The checks' outcome as the window, lentiva-cli and the archive show it: the
// bar's sentence, the plain-text block and the JSON object of "controlla".
#pragma once

#include "controlli/controlli.h"

#include <QByteArray>
#include <QString>

// "La fattura non supererebbe i controlli dello SdI: 2 errori" (1 errore);
// for a conforme invoice and one that cannot be checked, its own sentence.
QString FraseBarra(const RisultatoControlli &risultato);

// One object on one line, ending in a newline: file, esito, errori (codice,
// campo, corpo, linea, trovato, atteso, messaggio), avvisi (the same), motivo.
// "linea" is the line of the file; texts from the file are escaped.
QByteArray RisultatoJson(const QString &file, const RisultatoControlli &risultato);

// "File: ...", "Esito: ...", "Motivo: ..." and one line per finding, every line
// ending in a newline; control characters from the file are shown as \xNN.
QString RisultatoTesto(const QString &file, const RisultatoControlli &risultato);
