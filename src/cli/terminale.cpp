// Control characters as \xHH.
#include "cli/terminale.h"

namespace {
bool controllo(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
} // namespace

QString PerTerminale(QStringView testo)
{
    static constexpr char kCifre[] = "0123456789abcdef";
    qsizetype quanti = 0;
    for (const QChar c : testo)
        quanti += controllo(c.unicode());
    if (quanti == 0)
        return testo.toString();
    QString r;
    r.reserve(testo.size() + 3 * quanti);
    for (const QChar c : testo) {
        if (!controllo(c.unicode())) {
            r += c;
            continue;
        }
        r += QLatin1String("\\x");
        r += QLatin1Char(kCifre[c.unicode() >> 4]);
        r += QLatin1Char(kCifre[c.unicode() & 0xF]);
    }
    return r;
}

QString RigaPerTerminale(QStringView testo)
{
    QString riga;
    for (const QStringView parte : testo.tokenize(u'\n')) {
        for (const QStringView pezzo : parte.tokenize(u'\r', Qt::SkipEmptyParts)) {
            const QStringView pulito = pezzo.trimmed();
            if (pulito.isEmpty())
                continue;
            if (!riga.isEmpty())
                riga += u' ';
            riga += pulito;
        }
    }
    return PerTerminale(riga);
}

QString RighePerTerminale(QStringView testo)
{
    QString r;
    bool prima = true;
    for (const QStringView riga : testo.tokenize(u'\n')) {
        if (!prima)
            r += u'\n';
        r += PerTerminale(riga);
        prima = false;
    }
    return r;
}

QString ValorePerTerminale(QString testo)
{
    return PerTerminale(testo.replace(QLatin1String("\r\n"), QLatin1String(" | ")));
}
