// A whole file as one unbroken run of Base64 text.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// True with the text when the file was encoded; false with "Errore: <name>
// non trovato!" when it does not exist. Both outputs are emptied first. Other
// failures (the file cannot be read, is too large) throw Exception.
bool FileToBase64(const QString &fileName, QByteArray &testo, QString &messaggio);

// The same text written to out as it is made, in pieces of whole groups, so a
// file of any size takes the same little memory (the command line's form).
// False with the same message when the file does not exist; throws Exception
// ("Cannot open file ...", "Stream read error", "Stream write error").
bool FileToBase64InPezzi(const QString &fileName, QIODevice &out, QString &messaggio);
