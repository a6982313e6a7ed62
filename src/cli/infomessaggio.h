// A message of the exchange system as info and elenco --messaggi print it:
// the keys of its info object, then the signature's outcome.
#pragma once

#include <QByteArray>
#include <QString>

struct MessaggioSdI;

// One JSON object on one line (file, messaggio, descrizione,
// identificativo_sdi, nome_file, data_ora, esito, errori, firma), or the
// "Etichetta: valore" lines of the text form, which has no firma.
QByteArray InfoMessaggioCli(const QString &file, const MessaggioSdI &messaggio, const QString &firma, bool json);
