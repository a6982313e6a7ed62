// Check digits of the partita IVA and of the codice fiscale.
#include "controlli/identificativi.h"

namespace {
bool cifra(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool lettera(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

// A digit of the code, or one of the letters that replace digits for
// homonyms (L=0, M=1, ... V=9).
bool cifraOmocodia(QChar c)
{
    return cifra(c) || QStringView(u"LMNPQRSTUV").contains(c);
}

int valore(QChar c)
{
    return cifra(c) ? c.unicode() - u'0' : c.unicode() - u'A';
}
} // namespace

VerificaIdentificativo VerificaPartitaIva(QStringView codice)
{
    if (codice.size() != 11)
        return { VerificaIdentificativo::FormaErrata, QChar() };
    int somma = 0;
    for (qsizetype i = 0; i < 11; ++i) {
        if (!cifra(codice[i]))
            return { VerificaIdentificativo::FormaErrata, QChar() };
        if (i == 10)
            break;
        int c = valore(codice[i]);
        if (i % 2 == 1) {
            c *= 2;
            if (c > 9)
                c -= 9;
        }
        somma += c;
    }
    const QChar attesa(u'0' + (10 - somma % 10) % 10);
    if (codice[10] != attesa)
        return { VerificaIdentificativo::CifraErrata, attesa };
    return {};
}

VerificaIdentificativo VerificaCodiceFiscale(QStringView codice)
{
    if (codice.size() == 11)
        return VerificaPartitaIva(codice);
    if (codice.size() != 16)
        return { VerificaIdentificativo::FormaErrata, QChar() };
    // Surname, name, year, month, day, town, check letter.
    static constexpr char16_t forma[] = u"LLLLLLDDMDDLDDDL";
    for (qsizetype i = 0; i < 16; ++i) {
        const QChar c = codice[i];
        const bool ok = forma[i] == u'L' ? lettera(c)
            : forma[i] == u'M'           ? QStringView(u"ABCDEHLMPRST").contains(c)
                                         : cifraOmocodia(c);
        if (!ok)
            return { VerificaIdentificativo::FormaErrata, QChar() };
    }
    // Characters in odd places (from the first) count by this table, A..Z
    // and 0..9 alike (0 as A, 1 as B, ...); the others by their own value.
    static constexpr int dispari[26]
        = { 1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23 };
    int somma = 0;
    for (qsizetype i = 0; i < 15; ++i)
        somma += i % 2 == 0 ? dispari[valore(codice[i])] : valore(codice[i]);
    const QChar attesa(u'A' + somma % 26);
    if (codice[15] != attesa)
        return { VerificaIdentificativo::CifraErrata, attesa };
    return {};
}
