// Exact decimal numbers for the checks' arithmetic: amounts, quantities,
// prices and rates read as written and multiplied and summed without ever
// going through floating point. Internal to the checks.
#pragma once

#include <QString>
#include <QStringView>

__extension__ typedef __int128 Intero128;

class Decimale {
public:
    Decimale() = default; // zero

    // A number as written in an invoice (xs:decimal): an optional sign,
    // digits, an optional point and digits, at most 36 digits in all.
    // Anything else ("1e3", "1,50", "") gives a number that is not valid.
    static Decimale leggi(QStringView testo);
    static Decimale intero(qint64 valore);
    static Decimale nonValido();

    bool valido() const { return valido_; }
    bool zero() const { return valido_ && unita_ == 0; }

    // Exact; not valid when either side is not, or when the result does not
    // fit. Products keep at most 12 decimals, rounded half away from zero.
    Decimale operator+(const Decimale &altro) const;
    Decimale operator-(const Decimale &altro) const;
    Decimale operator*(const Decimale &altro) const;
    Decimale centesima() const; // divided by 100
    Decimale assoluto() const;

    // Both sides must be valid.
    int confronta(const Decimale &altro) const;
    bool operator==(const Decimale &altro) const { return confronta(altro) == 0; }
    bool operator<(const Decimale &altro) const { return confronta(altro) < 0; }
    bool operator>(const Decimale &altro) const { return confronta(altro) > 0; }

    // Rounded half away from zero to the decimals, with a point: "99.50".
    QString testo(int decimali) const;
    // Exact, trailing zeros dropped but at least two decimals: "22.00", "0.125".
    QString testo() const;
    // A key equal for equal values ("22", "22.00" and "22.0" give one key).
    QString chiave() const;

private:
    Decimale(Intero128 unita, int scala);
    Decimale arrotondato(int decimali) const;

    Intero128 unita_ = 0; // the value is unita_ / 10^scala_
    int scala_ = 0;
    bool valido_ = true;
};
