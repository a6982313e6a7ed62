// The outcome written for people and for programs.
#include "controlli/uscita.h"

#include "common/json.h"

#include <QStringList>

namespace {
// Text from the file made harmless for a terminal: control characters and
// the ones that reorder text shown as escapes.
QString perTerminale(const QString &testo)
{
    QString uscita;
    uscita.reserve(testo.size());
    for (const QChar c : testo) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            uscita += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else if ((u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069) || u == 0x200e || u == 0x200f)
            uscita += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
        else
            uscita += c;
    }
    return uscita;
}

// A count from 1, or null where there is none.
QByteArray numero(int n)
{
    return n > 0 ? QByteArray::number(n) : QByteArray("null");
}

QByteArray jsonRilievi(const RisultatoControlli &r, bool scarto)
{
    QByteArray out = "[";
    for (const Rilievo &x : r.rilievi) {
        if (x.scarto != scarto)
            continue;
        if (out.size() > 1)
            out += ',';
        out += OggettoJson()
                   .testo("codice", x.codice)
                   .testo("campo", x.campo)
                   .json("corpo", numero(x.corpo))
                   .json("linea", numero(x.riga))
                   .testo("trovato", x.trovato)
                   .testo("atteso", x.atteso)
                   .testo("messaggio", x.messaggio)
                   .fine();
    }
    return out + ']';
}

QString quanti(int n, const char *uno, const char *molti)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? uno : molti));
}
} // namespace

QString FraseBarra(const RisultatoControlli &r)
{
    switch (r.esito) {
    case EsitoControllo::NonConforme:
        return QStringLiteral("La fattura non supererebbe i controlli dello SdI: ")
            + quanti(r.errori(), "errore", "errori");
    case EsitoControllo::Conforme:
        return QStringLiteral("La fattura supererebbe i controlli dello SdI")
            + (r.avvisi() > 0 ? QStringLiteral(" (%1)").arg(quanti(r.avvisi(), "avviso", "avvisi")) : QString());
    case EsitoControllo::NonControllabile:
        break;
    }
    return r.motivo;
}

QByteArray RisultatoJson(const QString &file, const RisultatoControlli &r)
{
    return OggettoJson()
        .testo("file", file)
        .testo("esito", ParolaEsito(r.esito))
        .json("errori", jsonRilievi(r, true))
        .json("avvisi", jsonRilievi(r, false))
        .testo("motivo", r.motivo)
        .fine(true);
}

QString RisultatoTesto(const QString &file, const RisultatoControlli &r)
{
    QStringList righe { QStringLiteral("File: ") + perTerminale(file), QStringLiteral("Esito: ") + ParolaEsito(r.esito),
        QStringLiteral("Motivo: ") + perTerminale(r.motivo) };
    int errori = 0, avvisi = 0;
    for (const Rilievo &x : r.rilievi) {
        QStringList dove;
        if (x.corpo > 0)
            dove << QStringLiteral("corpo %1").arg(x.corpo);
        if (x.riga > 0)
            dove << QStringLiteral("riga %1").arg(x.riga);
        righe << QStringLiteral("%1 %2: %3%4%5")
                     .arg(x.scarto ? QStringLiteral("Errore") : QStringLiteral("Avviso"),
                         QString::number(x.scarto ? ++errori : ++avvisi),
                         x.codice.isEmpty() ? QString() : x.codice + QLatin1Char(' '), perTerminale(x.campo),
                         dove.isEmpty() ? QString()
                                        : QStringLiteral(" (") + dove.join(QStringLiteral(", ")) + QLatin1Char(')'));
        righe << QStringLiteral("  ") + perTerminale(x.messaggio);
        if (!x.trovato.isEmpty())
            righe << QStringLiteral("  Trovato: ") + perTerminale(x.trovato);
        if (!x.atteso.isEmpty())
            righe << QStringLiteral("  Atteso: ") + perTerminale(x.atteso);
    }
    return righe.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
