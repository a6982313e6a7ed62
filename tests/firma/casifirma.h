// Signed files honest and hostile, made with the test certification world:
// each with the outcome and the sentence that the signature module, lentiva-cli
// (firma, info, elenco) and the window must all give for the same bytes,
// judged against PkiProva::elenco({ { "granted", 2000-01-01 } }) at the
// machine's now.
#pragma once

#include "pkiprova.h"

#include <QByteArray>
#include <QString>
#include <vector>

struct CasoFirma {
    const char *nome; // which case, for the failure message
    QString file; // the name to write it under (.xml or .xml.p7m)
    QByteArray bytes;
    const char *esito; // the outcome word: valida, non_verificata, non_valida, assente
    QString motivo; // the whole sentence
};

// The invoice the cases sign: an ordinary one (FPR12), number 5.
QByteArray FatturaFirmabile();

std::vector<CasoFirma> CasiFirma(const PkiProva &pki);
