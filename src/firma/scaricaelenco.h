// "Aggiorna elenco certificatori": the Italian trusted list downloaded over
// HTTPS and written into CERTIFICATORI/ all or nothing. The only part of the
// signature module that uses the network.
#pragma once

#include <QString>
#include <QUrl>

// Where the national supervisory body (AgID) publishes the Italian list.
inline const QUrl IndirizzoElencoItaliano { QStringLiteral("https://eidas.agid.gov.it/TL/TSL-IT.xml") };
inline const QString NomeElencoScaricato = QStringLiteral("TSL-IT.xml");

// Downloads the list and, once it reads as a trusted list, writes it into
// cartella (made when missing) as NomeElencoScaricato, replacing the earlier
// one only when complete. Waits in a local event loop; a transfer silent for
// attesaMs is given up. Returns the sentence that says what it got; throws
// Exception with the reason otherwise, and then nothing was written.
QString ScaricaElenco(const QUrl &indirizzo, const QString &cartella, int attesaMs = 60000);
