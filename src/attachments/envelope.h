// Extraction of the invoice XML from a signed envelope (.p7m): the OpenSSL
// command-line tool beside the program writes the wrapped XML beside the envelope.
#pragma once

#include <QString>

// Runs the tool on the envelope. output receives the XML's path (the envelope's
// path without its last extension) before anything is checked, so the caller
// holds it even after an error. programFolder ends in the separator; the tool
// is its "ossl" sub-folder's openssl. Returns true when the XML file exists
// afterwards; every failure throws Exception with the message the user sees.
// An envelope written as Base64 text is decoded first and handed to the tool
// through a private temporary file.
bool EstraiXmlDaP7m(const QString &envelope, QString &output, const QString &programFolder);

// "OpenSSL errore (ExitCode=N)" with N written as an unsigned decimal.
QString openSslExitMessage(quint32 exitCode);
