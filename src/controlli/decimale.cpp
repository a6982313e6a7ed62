// Exact decimal arithmetic on 128-bit integers with a decimal scale.
#include "controlli/decimale.h"

namespace {
constexpr int MassimoDecimali = 12;
constexpr int MassimoCifre = 36;

Intero128 potenza10(int n)
{
    Intero128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

constexpr Intero128 Massimo = (Intero128(1) << 126) - 1 + (Intero128(1) << 126);
constexpr Intero128 Minimo = -Massimo - 1; // the one value without an opposite

// Divides by 10^n, rounding half away from zero. Beyond 10^38 every value
// the type holds rounds to zero.
Intero128 dividiArrotondando(Intero128 valore, int n)
{
    if (n <= 0)
        return valore;
    if (n > 38)
        return 0;
    const Intero128 divisore = potenza10(n);
    Intero128 quoziente = valore / divisore;
    const Intero128 resto = valore % divisore;
    const Intero128 doppio = (resto < 0 ? -resto : resto) * 2;
    if (doppio >= divisore)
        quoziente += valore < 0 ? -1 : 1;
    return quoziente;
}

QString cifre(Intero128 valore)
{
    if (valore == 0)
        return QStringLiteral("0");
    QString testo;
    for (; valore > 0; valore /= 10)
        testo.prepend(QLatin1Char(static_cast<char>('0' + static_cast<int>(valore % 10))));
    return testo;
}
} // namespace

Decimale::Decimale(Intero128 unita, int scala)
    : unita_(unita)
    , scala_(scala)
{
}

Decimale Decimale::leggi(QStringView testo)
{
    qsizetype i = 0;
    bool negativo = false;
    if (i < testo.size() && (testo[i] == u'-' || testo[i] == u'+'))
        negativo = testo[i++] == u'-';
    Intero128 unita = 0;
    int scala = 0, cifreTotali = 0, significative = 0;
    bool punto = false;
    for (; i < testo.size(); ++i) {
        const QChar c = testo[i];
        if (c == u'.' && !punto) {
            punto = true;
        } else if (c >= u'0' && c <= u'9') {
            ++cifreTotali;
            if (unita != 0 || c != u'0')
                ++significative;
            if (significative > MassimoCifre)
                return nonValido();
            unita = unita * 10 + (c.unicode() - u'0');
            scala += punto ? 1 : 0;
        } else {
            return nonValido();
        }
    }
    if (cifreTotali == 0 || scala > MassimoCifre)
        return nonValido();
    return Decimale(negativo ? -unita : unita, scala);
}

Decimale Decimale::intero(qint64 valore)
{
    return Decimale(valore, 0);
}

Decimale Decimale::nonValido()
{
    Decimale d;
    d.valido_ = false;
    return d;
}

Decimale Decimale::operator+(const Decimale &altro) const
{
    if (!valido_ || !altro.valido_)
        return nonValido();
    const int scala = std::max(scala_, altro.scala_);
    Intero128 a = 0, b = 0, somma = 0;
    if (__builtin_mul_overflow(unita_, potenza10(scala - scala_), &a)
        || __builtin_mul_overflow(altro.unita_, potenza10(scala - altro.scala_), &b)
        || __builtin_add_overflow(a, b, &somma))
        return nonValido();
    return Decimale(somma, scala);
}

Decimale Decimale::operator-(const Decimale &altro) const
{
    if (!altro.valido_ || altro.unita_ == Minimo)
        return nonValido();
    return *this + Decimale(-altro.unita_, altro.scala_);
}

Decimale Decimale::operator*(const Decimale &altro) const
{
    Intero128 prodotto = 0;
    if (!valido_ || !altro.valido_ || __builtin_mul_overflow(unita_, altro.unita_, &prodotto))
        return nonValido();
    return Decimale(prodotto, scala_ + altro.scala_).arrotondato(MassimoDecimali);
}

Decimale Decimale::centesima() const
{
    return valido_ ? Decimale(unita_, scala_ + 2).arrotondato(MassimoDecimali) : nonValido();
}

Decimale Decimale::assoluto() const
{
    return valido_ && unita_ != Minimo ? Decimale(unita_ < 0 ? -unita_ : unita_, scala_) : nonValido();
}

Decimale Decimale::arrotondato(int decimali) const
{
    if (!valido_ || scala_ <= decimali)
        return *this;
    return Decimale(dividiArrotondando(unita_, scala_ - decimali), decimali);
}

int Decimale::confronta(const Decimale &altro) const
{
    if (!valido_ || !altro.valido_)
        return 0;
    // Integer parts first, then the fractions at one scale: no step can overflow.
    const Intero128 pa = potenza10(scala_), pb = potenza10(altro.scala_);
    const Intero128 ia = unita_ / pa, ib = altro.unita_ / pb;
    if (ia != ib)
        return ia < ib ? -1 : 1;
    const int scala = std::max(scala_, altro.scala_);
    const Intero128 fa = (unita_ % pa) * potenza10(scala - scala_);
    const Intero128 fb = (altro.unita_ % pb) * potenza10(scala - altro.scala_);
    return fa == fb ? 0 : (fa < fb ? -1 : 1);
}

QString Decimale::testo(int decimali) const
{
    if (!valido_ || unita_ == Minimo)
        return QString();
    const Intero128 unita = scala_ > decimali ? dividiArrotondando(unita_, scala_ - decimali) : unita_;
    const bool negativo = unita < 0;
    QString testo = cifre(negativo ? -unita : unita);
    // Missing decimals are written as zeros rather than multiplied in.
    if (scala_ < decimali && unita != 0)
        testo += QString(decimali - scala_, QLatin1Char('0'));
    if (decimali > 0) {
        if (testo.size() <= decimali)
            testo.prepend(QString(decimali - testo.size() + 1, QLatin1Char('0')));
        testo.insert(testo.size() - decimali, QLatin1Char('.'));
    }
    return negativo ? QLatin1Char('-') + testo : testo;
}

QString Decimale::testo() const
{
    int decimali = scala_;
    Intero128 unita = unita_;
    while (decimali > 2 && unita % 10 == 0) {
        unita /= 10;
        --decimali;
    }
    return Decimale(unita, decimali).testo(std::max(decimali, 2));
}

QString Decimale::chiave() const
{
    if (!valido_)
        return QString();
    int decimali = scala_;
    Intero128 unita = unita_;
    while (decimali > 0 && unita % 10 == 0) {
        unita /= 10;
        --decimali;
    }
    return Decimale(unita, decimali).testo(decimali);
}
