// Amounts and dates of the archive's rows: read as written, summed exactly in
// cents (never in floating point), shown the Italian way.
#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <optional>

class Importo {
public:
    Importo() = default; // not given

    // One amount as written: a number with a dot and at most two decimals
    // that are not zero ("1234.5", "-12.50", "7.50000000"); anything else
    // ("1.234,50", "0.123456789012", "abc") keeps its text but has no value.
    static Importo scritto(const QString &testo);
    // The exact sum of amounts as written: not given when there are none,
    // without a value when any of them has none (its text then lists them).
    static Importo somma(const QStringList &testi);
    static Importo centesimi(qint64 valore);

    bool dato() const { return !testo_.isEmpty() || valore_.has_value(); }
    bool numero() const { return valore_.has_value(); }
    qint64 valore() const { return valore_.value_or(0); }

    // Sum and difference; without a value when either side has none or the
    // result does not fit.
    Importo piu(const Importo &altro) const;
    Importo meno(const Importo &altro) const;

    // "1234.50": the value with a dot, or the text as written.
    QString conPunto() const;
    // "1234,50", for spreadsheets; or the text as written.
    QString conVirgola() const;
    // "1.234,50"; or the text as written.
    QString italiano() const;

private:
    QString testo_;
    std::optional<qint64> valore_;
};

// Cents as "1234.50", "1234,50" or "1.234,50".
QString FormatoCentesimi(qint64 centesimi, QChar decimale, bool migliaia);

// A date written yyyy-mm-dd as dd/mm/yyyy; any other text as it is.
QString DataItaliana(const QString &data);

// A number as written (a quantity, a price, a rate) with a decimal comma; any
// other text as it is.
QString NumeroConVirgola(const QString &testo);
// Whether NumeroConVirgola takes the text for a number ("-12", "3.50").
bool NumeroScritto(const QString &testo);
