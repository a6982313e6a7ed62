// A whole file as one unbroken run of Base64 text.
#pragma once

#include <QByteArray>
#include <QString>

// True with the text when the file was encoded; false with "Errore: <name>
// non trovato!" when it does not exist. Both outputs are emptied first. Other
// failures (the file cannot be read, is too large) throw Exception.
bool FileToBase64(const QString &fileName, QByteArray &testo, QString &messaggio);
