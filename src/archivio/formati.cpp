// Exact amounts in cents and the Italian forms of numbers and dates.
#include "archivio/formati.h"

#include <QDate>

namespace {
constexpr int kCifreIntere = 15; // far beyond any amount an invoice can hold

// The value in cents of a plain decimal number, when it is exact to the cent.
std::optional<qint64> leggiCentesimi(QStringView t)
{
    qsizetype i = 0;
    bool negativo = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        negativo = t[i++] == u'-';
    qint64 interi = 0;
    int cifre = 0;
    for (; i < t.size() && t[i].isDigit() && t[i].unicode() < 0x80; ++i, ++cifre) {
        if (cifre == kCifreIntere)
            return std::nullopt;
        interi = interi * 10 + (t[i].unicode() - u'0');
    }
    if (cifre == 0)
        return std::nullopt;
    qint64 decimi = 0;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        int dopo = 0;
        for (; i < t.size() && t[i].unicode() >= u'0' && t[i].unicode() <= u'9'; ++i, ++dopo) {
            const int cifra = t[i].unicode() - u'0';
            if (dopo < 2)
                decimi = decimi * 10 + cifra;
            else if (cifra != 0)
                return std::nullopt; // not exact to the cent
        }
        if (dopo == 0)
            return std::nullopt;
        if (dopo == 1)
            decimi *= 10;
    }
    if (i != t.size())
        return std::nullopt;
    const qint64 valore = interi * 100 + decimi;
    return negativo ? -valore : valore;
}
} // namespace

Importo Importo::scritto(const QString &testo)
{
    Importo i;
    i.testo_ = testo;
    i.valore_ = leggiCentesimi(testo);
    return i;
}

Importo Importo::somma(const QStringList &testi)
{
    Importo totale;
    for (const QString &t : testi) {
        const Importo uno = scritto(t);
        totale = totale.dato() ? totale.piu(uno) : uno;
        if (!totale.numero())
            totale.testo_ = testi.join(QStringLiteral(" + "));
    }
    return totale;
}

Importo Importo::centesimi(qint64 valore)
{
    Importo i;
    i.valore_ = valore;
    return i;
}

Importo Importo::piu(const Importo &altro) const
{
    qint64 r = 0;
    if (numero() && altro.numero() && !__builtin_add_overflow(*valore_, *altro.valore_, &r))
        return centesimi(r);
    Importo senza;
    senza.testo_ = QStringLiteral("?");
    return senza;
}

Importo Importo::meno(const Importo &altro) const
{
    return altro.numero() ? piu(centesimi(-altro.valore())) : piu(altro);
}

QString Importo::conPunto() const
{
    return numero() ? FormatoCentesimi(*valore_, u'.', false) : testo_;
}

QString Importo::conVirgola() const
{
    return numero() ? FormatoCentesimi(*valore_, u',', false) : testo_;
}

QString Importo::italiano() const
{
    return numero() ? FormatoCentesimi(*valore_, u',', true) : testo_;
}

QString FormatoCentesimi(qint64 centesimi, QChar decimale, bool migliaia)
{
    const bool negativo = centesimi < 0;
    // Unsigned, so that the most negative value has a magnitude too.
    const quint64 assoluto = negativo ? 0 - static_cast<quint64>(centesimi) : static_cast<quint64>(centesimi);
    QString interi = QString::number(assoluto / 100);
    if (migliaia)
        for (qsizetype p = interi.size() - 3; p > 0; p -= 3)
            interi.insert(p, u'.');
    const auto resto = static_cast<char16_t>(assoluto % 100);
    return (negativo ? QStringLiteral("-") : QString()) + interi + decimale + QChar(char16_t(u'0' + resto / 10))
        + QChar(char16_t(u'0' + resto % 10));
}

QString DataItaliana(const QString &data)
{
    if (data.size() != 10)
        return data;
    // The usual yyyy-mm-dd without the date parser; anything else through it.
    const auto cifre = [&](qsizetype da, qsizetype n, int &valore) {
        valore = 0;
        for (qsizetype i = da; i < da + n; ++i) {
            if (data[i] < u'0' || data[i] > u'9')
                return false;
            valore = valore * 10 + (data[i].unicode() - u'0');
        }
        return true;
    };
    int anno = 0, mese = 0, giorno = 0;
    if (cifre(0, 4, anno) && data[4] == u'-' && cifre(5, 2, mese) && data[7] == u'-' && cifre(8, 2, giorno))
        return QDate::isValid(anno, mese, giorno) ? data.mid(8, 2) + u'/' + data.mid(5, 2) + u'/' + data.first(4)
                                                  : data;
    const QDate d = QDate::fromString(data, QStringLiteral("yyyy-MM-dd"));
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : data;
}

bool NumeroScritto(const QString &testo)
{
    qsizetype i = testo.startsWith(u'-') ? 1 : 0;
    const qsizetype punto = testo.indexOf(u'.');
    bool cifre = false;
    for (; i < testo.size(); ++i) {
        if (i == punto)
            continue;
        if (testo[i] < u'0' || testo[i] > u'9')
            return false;
        cifre = true;
    }
    return cifre && punto != 0 && punto != testo.size() - 1;
}

QString NumeroConVirgola(const QString &testo)
{
    if (!NumeroScritto(testo))
        return testo;
    QString r = testo;
    if (const qsizetype punto = r.indexOf(u'.'); punto > 0)
        r[punto] = u',';
    return r;
}
