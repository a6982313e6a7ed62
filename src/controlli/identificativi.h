// The check digits of Italian VAT numbers (partita IVA) and fiscal codes
// (codice fiscale). Whether a number really exists only the tax registry
// knows: what can be told offline is whether it could exist. Internal.
#pragma once

#include <QChar>
#include <QStringView>

struct VerificaIdentificativo {
    enum Esito { Valido, FormaErrata, CifraErrata } esito = Valido;
    QChar attesa; // the check character the rest of the code gives, for CifraErrata
};

// 11 digits, the last one Luhn-like over the first ten.
VerificaIdentificativo VerificaPartitaIva(QStringView codice);

// 16 characters (letters and digits in their places, digits possibly
// replaced by letters for homonyms) with the check letter; or 11 digits, the
// fiscal code of a company, checked as a VAT number.
VerificaIdentificativo VerificaCodiceFiscale(QStringView codice);
