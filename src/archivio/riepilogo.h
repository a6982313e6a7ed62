// The VAT summary of some rows, as an accountant prepares the VAT settlement:
// taxable amount and tax per direction (issued or received, when the
// company's VAT numbers are known), currency, rate, nature and chargeability,
// summed exactly in cents, with how many invoice bodies give each; credit
// notes (TD04, TD08) count with their sign.
#pragma once

#include "archivio/archivio.h"

#include <QString>
#include <QStringList>
#include <map>
#include <tuple>
#include <vector>

struct VoceRiepilogoIva {
    QString verso; // "emesse", "ricevute"; empty without the company's numbers, or when neither party is it
    QString valuta;
    QString aliquota; // with a dot and two decimals ("22.00"); as written when it is not a number
    QString natura;
    QString esigibilita;
    qint64 imponibile = 0; // cents
    qint64 imposta = 0;
    qsizetype fatture = 0;
};

class RiepilogoIva final {
public:
    // The company's VAT numbers, "IT01234567890" or the code alone for an
    // Italian one; without them nothing is split by direction.
    explicit RiepilogoIva(const QStringList &partiteIva = {});

    // A row whose summary has an amount that is not a number is left out
    // whole, and named.
    void aggiungi(const RigaArchivio &riga);
    // Issued first, then received, then the rest; by currency, rate from the
    // highest, nature, chargeability.
    std::vector<VoceRiepilogoIva> voci() const;
    const QStringList &nonSommate() const { return nonSommate_; }
    QString testoNonSommate() const; // as TestoNonSommate says it

    // Whether the text is one of the numbers the company is given by.
    bool eAzienda(const QString &identificativo) const;

private:
    // Direction's order, currency, rate (negated cents, so the highest come
    // first; not a number after all), rate as shown, nature, chargeability.
    using Chiave = std::tuple<int, QString, qint64, QString, QString, QString>;
    struct Somma {
        qint64 imponibile = 0;
        qint64 imposta = 0;
        qsizetype fatture = 0;
    };
    QStringList partite_;
    std::map<Chiave, Somma> somme_;
    QStringList nonSommate_;
};
