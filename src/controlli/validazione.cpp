// Validation against the official schema, each libxml2 error turned into a
// finding with the field and a sentence of the program's own (libxml2's
// English is parsed for the values it names, never shown).
#include "controlli/controlli_p.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <libxml/xmlerror.h>
#include <vector>

namespace {
constexpr int MassimoErrori = 50; // as the exchange system: the first 50, then 00201

struct ErroreSchema {
    const xmlNode *nodo = nullptr;
    int riga = 0;
    QString messaggio; // libxml2's (which cuts it at 64,000 characters), without the final newline
    // For the facets: the value at fault and the set or pattern it missed,
    // whole even when a long value has cut the message.
    QString valore, insieme;
};

struct Raccolta {
    std::vector<ErroreSchema> errori;
    int totale = 0;
};

void raccogli(void *dati, xmlErrorPtr e)
{
    auto *r = static_cast<Raccolta *>(dati);
    if (e == nullptr || e->level < XML_ERR_ERROR)
        return;
    if (++r->totale > MassimoErrori)
        return;
    auto testo = [](const char *s, size_t massimo) {
        return s == nullptr ? QString() : QString::fromUtf8(s, static_cast<qsizetype>(strnlen(s, massimo)));
    };
    const auto *nodo = static_cast<const xmlNode *>(e->node);
    r->errori.push_back({ nodo, nodo != nullptr ? RigaDi(nodo) : std::max(e->line, 0),
        testo(e->message, 1 << 16).trimmed(), testo(e->str1, 400), testo(e->str2, 1 << 14) });
}

// "{namespace}Name" as Name.
QString senzaSpazio(const QString &nome)
{
    const qsizetype chiusa = nome.lastIndexOf(QLatin1Char('}'));
    return chiusa >= 0 ? nome.mid(chiusa + 1) : nome;
}

// "( A, {ns}B, ##other{...}* )" as the list of names a reader understands.
QStringList elementiAttesi(const QString &elenco)
{
    QStringList nomi;
    for (QString nome : elenco.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        nome = nome.trimmed();
        if (nome.startsWith(QLatin1String("##other")))
            nomi << QStringLiteral("un elemento di un altro spazio dei nomi");
        else if (nome.startsWith(QLatin1String("##")))
            nomi << QStringLiteral("un elemento qualsiasi");
        else
            nomi << senzaSpazio(nome);
    }
    return nomi;
}

// "A", "A o B", "uno tra A, B e C".
QString unoTra(const QStringList &nomi)
{
    if (nomi.size() <= 1)
        return nomi.value(0);
    const QString primi = nomi.mid(0, nomi.size() - 1).join(QStringLiteral(", "));
    return nomi.size() == 2 ? primi + QStringLiteral(" o ") + nomi.last()
                            : QStringLiteral("uno tra ") + primi + QStringLiteral(" e ") + nomi.last();
}

// What the schema's patterns ask for, in words; the pattern itself for the
// rare one without a description.
QString formaRichiesta(const QString &modello)
{
    static const QList<std::pair<QRegularExpression, QString>> forme = [] {
        const std::pair<const char *, const char *> testi[] = {
            { R"(^\[0-9\]\[0-9\]\[0-9\]\[0-9\]\[0-9\]$)", "5 cifre" },
            { R"(^\[A-Z\]\{(\d+)\}$)", "%1 lettere maiuscole" },
            { R"(^\[A-Z0-9\]\{(\d+)\}$)", "%1 lettere maiuscole o cifre" },
            { R"(^\[A-Z0-9\]\{(\d+),(\d+)\}$)", "da %1 a %2 lettere maiuscole o cifre" },
            { R"(^\[\\p\{IsBasicLatin\}\\p\{IsLatin-1Supplement\}\]\{(\d+),(\d+)\}$)",
                "da %1 a %2 caratteri dell'alfabeto latino" },
            { R"(^\(\\p\{IsBasicLatin\}\{(\d+),(\d+)\}\)$)", "da %1 a %2 caratteri senza accenti" },
            { R"(^\[\\-\]\?\[0-9\]\{1,11\}\\\.\[0-9\]\{2\}$)",
                "un importo con il punto e 2 decimali (per esempio 1234.50)" },
            { R"(^\[\\-\]\?\[0-9\]\{1,11\}\\\.\[0-9\]\{2,8\}$)",
                "un importo con il punto e da 2 a 8 decimali (per esempio 1234.50)" },
            { R"(^\[0-9\]\{1,3\}\\\.\[0-9\]\{2\}$)", "una percentuale con il punto e 2 decimali (per esempio 22.00)" },
            { R"(^\[0-9\]\{1,12\}\\\.\[0-9\]\{2,8\}$)",
                "una quantità con il punto e da 2 a 8 decimali (per esempio 1.00)" },
            { R"(^\[0-9\]\{1,4\}\\\.\[0-9\]\{1,2\}$)", "un numero con il punto e 1 o 2 decimali" },
            { R"(@)", "un indirizzo di posta elettronica" },
            { R"(^\[a-zA-Z\]\{2\}\[0-9\]\{2\})", "un IBAN" },
            { R"(^\[A-Z\]\{6\}\[A-Z2-9\])", "un codice BIC" },
        };
        QList<std::pair<QRegularExpression, QString>> l;
        for (const auto &[re, frase] : testi)
            l.append({ QRegularExpression(QString::fromLatin1(re)), QString::fromUtf8(frase) });
        return l;
    }();
    for (const auto &[re, frase] : forme) {
        const QRegularExpressionMatch m = re.match(modello);
        if (m.hasMatch()) {
            QString testo = frase;
            for (int i = 1; i <= m.lastCapturedIndex(); ++i)
                testo = testo.arg(m.captured(i));
            return testo;
        }
    }
    return QStringLiteral("la forma %1").arg(modello);
}

// What a value of the schema's simple type looks like.
QString formaTipo(const QString &tipo)
{
    const QString nome = senzaSpazio(tipo);
    if (nome.contains(QLatin1String("dateTime"), Qt::CaseInsensitive))
        return QStringLiteral("una data con l'ora nella forma aaaa-mm-ggThh:mm:ss");
    if (nome.contains(QLatin1String("Data"), Qt::CaseInsensitive) || nome.endsWith(QLatin1String("date")))
        return QStringLiteral("una data esistente nella forma aaaa-mm-gg");
    if (nome.contains(QLatin1String("Decimal")) || nome == QLatin1String("RateType")
        || nome == QLatin1String("QuantitaType") || nome == QLatin1String("PesoType")
        || nome.endsWith(QLatin1String("decimal")))
        return QStringLiteral("un numero con il punto decimale, senza esponente (per esempio 1234.50)");
    if (nome.endsWith(QLatin1String("integer")) || nome.contains(QLatin1String("Linea"))
        || nome.contains(QLatin1String("Fase")) || nome.contains(QLatin1String("Colli"))
        || nome.contains(QLatin1String("Giorni")))
        return QStringLiteral("un numero intero");
    return QStringLiteral("un valore del tipo %1").arg(nome);
}

// The values of an enumeration, "'A', 'B'" as "A, B".
QStringList valoriAmmessi(const QString &insieme)
{
    QStringList valori;
    for (QString v : insieme.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        v = v.trimmed();
        if (v.size() >= 2 && v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))
            v = v.mid(1, v.size() - 2);
        valori << v;
    }
    return valori;
}

// "A", "A e B", "A, B e C"; past a dozen, the first ones and how many more.
QString elenco(const QStringList &valori)
{
    constexpr int Massimo = 12;
    if (valori.size() > Massimo)
        return valori.mid(0, Massimo).join(QStringLiteral(", "))
            + QStringLiteral(" e altri %1").arg(valori.size() - Massimo);
    if (valori.size() <= 1)
        return valori.value(0);
    return valori.mid(0, valori.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") + valori.last();
}

// "ci vuole un importo", "ci vogliono 5 cifre".
QString ciVuole(const QString &cosa)
{
    const bool plurale = (!cosa.isEmpty() && cosa.at(0).isDigit()) || cosa.startsWith(QLatin1String("da "));
    return (plurale ? QStringLiteral("ci vogliono ") : QStringLiteral("ci vuole ")) + cosa;
}

// The finding for one libxml2 error.
Rilievo traduci(const Luogo &luogo, const ErroreSchema &e)
{
    static const QRegularExpression testa(QStringLiteral(R"(^Element '([^']*)'(?:, attribute '([^']*)')?: (.*)$)"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch t = testa.match(e.messaggio);
    const QString nomeElemento = Breve(senzaSpazio(t.captured(1)));
    const QString attributo = Breve(t.captured(2));
    const QString resto = t.hasMatch() ? t.captured(3) : e.messaggio;

    Rilievo r = RilievoSu(luogo, e.nodo);
    if (e.nodo == nullptr)
        r.campo = nomeElemento;
    if (r.riga == 0)
        r.riga = e.riga;
    r.codice = QStringLiteral("00200");
    auto suAttributo = [&r](const QString &nome) {
        r.campo += QStringLiteral(", attributo ") + nome;
        r.percorso += (r.percorso.isEmpty() ? QStringLiteral("@") : QStringLiteral("/@")) + nome;
    };
    if (!attributo.isEmpty())
        suAttributo(attributo);
    // The subject of the sentence: the element, or the attribute of it.
    const QString chi
        = attributo.isEmpty() ? nomeElemento : QStringLiteral("l'attributo %1 di %2").arg(attributo, nomeElemento);

    auto cattura = [&resto](const char *modello) {
        return QRegularExpression(QString::fromLatin1(modello), QRegularExpression::DotMatchesEverythingOption)
            .match(resto);
    };
    QRegularExpressionMatch m;
    if ((m = cattura(R"(^This element is not expected\.(?: Expected is (?:one of )?\( (.*) \)\.)?$)")).hasMatch()) {
        const QStringList attesi = elementiAttesi(m.captured(1));
        r.trovato = nomeElemento;
        r.atteso = attesi.join(QStringLiteral(", "));
        r.messaggio = attesi.isEmpty()
            ? QStringLiteral("Elemento %1 fuori posto: qui non ci si aspetta altro.").arg(nomeElemento)
            : QStringLiteral("Elemento %1 fuori posto: qui ci si aspetta %2.").arg(nomeElemento, unoTra(attesi));
    } else if ((m = cattura(R"(^Missing child element\(s\)\. Expected is (?:one of )?\( (.*) \)\.$)")).hasMatch()) {
        const QStringList attesi = elementiAttesi(m.captured(1));
        r.atteso = attesi.join(QStringLiteral(", "));
        r.messaggio = QStringLiteral("In %1 manca un elemento obbligatorio: ci si aspetta %2.")
                          .arg(nomeElemento, unoTra(attesi));
    } else if (resto.startsWith(QLatin1String("[facet 'enumeration']"))) {
        const QStringList valori = valoriAmmessi(e.insieme);
        r.trovato = Breve(e.valore);
        r.atteso = valori.join(QStringLiteral(", "));
        r.messaggio = QStringLiteral("Valore '%1' non ammesso per %2: i valori possibili sono %3.")
                          .arg(r.trovato, chi, elenco(valori));
    } else if (resto.startsWith(QLatin1String("[facet 'pattern']"))) {
        r.trovato = Breve(e.valore);
        r.atteso = formaRichiesta(e.insieme);
        r.messaggio = r.trovato.isEmpty()
            ? QStringLiteral("%1 è vuoto: %2.").arg(chi, ciVuole(r.atteso))
            : QStringLiteral("Valore '%1' non valido per %2: %3.").arg(r.trovato, chi, ciVuole(r.atteso));
    } else if ((m = cattura(R"(^'(.*)' is not a valid value of the (?:local )?(?:atomic|list|union) type '(.*)'\.$)"))
                   .hasMatch()) {
        r.trovato = Breve(m.captured(1));
        r.atteso = formaTipo(m.captured(2));
        r.messaggio = QStringLiteral("Valore '%1' non valido per %2: %3.").arg(r.trovato, chi, ciVuole(r.atteso));
    } else if (resto.contains(QLatin1String("' is not a valid value of the "))) { // a long value cut the type off
        r.trovato = Breve(e.valore);
        r.messaggio = QStringLiteral("Valore '%1' non valido per %2.").arg(r.trovato, chi);
    } else if (
        (m = cattura(
             R"(^\[facet '(maxLength|minLength|length)'\] The value(?: '.*')? has a length of '(\d+)'; this (?:exceeds|underruns|differs from) the allowed (?:maximum |minimum )?length of '(\d+)'\.$)"))
            .hasMatch()) {
        r.trovato = Breve(Testo(e.nodo));
        const QString &tipo = m.captured(1);
        const QString trovati = m.captured(2), limite = m.captured(3);
        if (tipo == QLatin1String("maxLength")) {
            r.atteso = QStringLiteral("al massimo %1 caratteri").arg(limite);
            r.messaggio = QStringLiteral("%1 è troppo lungo: %2 caratteri, al massimo %3.").arg(chi, trovati, limite);
        } else if (tipo == QLatin1String("minLength")) {
            r.atteso = QStringLiteral("almeno %1 caratteri").arg(limite);
            r.messaggio = trovati == QLatin1String("0")
                ? QStringLiteral("%1 è vuoto: ci vuole almeno un carattere.").arg(chi)
                : QStringLiteral("%1 è troppo corto: %2 caratteri, almeno %3.").arg(chi, trovati, limite);
        } else {
            r.atteso = QStringLiteral("%1 caratteri").arg(limite);
            r.messaggio = QStringLiteral("%1 ha %2 caratteri invece di %3.").arg(chi, trovati, limite);
        }
    } else if (
        (m = cattura(
             R"(^\[facet '(min|max)(Inclusive|Exclusive)'\] The value '(.*)' (?:is less than the minimum value allowed|is greater than the maximum value allowed|must be greater than|must be less than) \(?'(.*)'\)?\.$)"))
            .hasMatch()) {
        const bool minimo = m.captured(1) == QLatin1String("min");
        const bool incluso = m.captured(2) == QLatin1String("Inclusive");
        r.trovato = Breve(m.captured(3));
        r.atteso
            = QStringLiteral("%1 %2").arg(minimo ? (incluso ? QStringLiteral("almeno") : QStringLiteral("più di"))
                                                 : (incluso ? QStringLiteral("al massimo") : QStringLiteral("meno di")),
                m.captured(4));
        const QString limite = m.captured(4);
        const QString frase = minimo
            ? (incluso ? QStringLiteral("Valore %1 troppo piccolo per %2: il minimo è %3.")
                       : QStringLiteral("Valore %1 troppo piccolo per %2: deve essere più di %3."))
            : (incluso ? QStringLiteral("Valore %1 troppo grande per %2: il massimo è %3.")
                       : QStringLiteral("Valore %1 troppo grande per %2: deve essere meno di %3."));
        r.messaggio = frase.arg(r.trovato, chi, limite);
    } else if (
        (m = cattura(
             R"(^\[facet '(totalDigits|fractionDigits)'\] The value '(.*)' has more (?:fractional )?digits than are allowed \('(.*)'\)\.$)"))
            .hasMatch()) {
        r.trovato = Breve(m.captured(2));
        const bool decimali = m.captured(1) == QLatin1String("fractionDigits");
        r.atteso = QStringLiteral("al massimo %1 %2")
                       .arg(m.captured(3), decimali ? QStringLiteral("decimali") : QStringLiteral("cifre"));
        r.messaggio
            = QStringLiteral("Valore %1 con troppe %2 per %3: %4.")
                  .arg(r.trovato, decimali ? QStringLiteral("cifre decimali") : QStringLiteral("cifre"), chi, r.atteso);
    } else if ((m = cattura(R"(^The attribute '(.*)' is not allowed\.$)")).hasMatch()) {
        r.trovato = Breve(m.captured(1));
        r.messaggio = QStringLiteral("Attributo %1 non ammesso in %2.").arg(m.captured(1), nomeElemento);
    } else if ((m = cattura(R"(^The attribute '(.*)' is required but missing\.$)")).hasMatch()) {
        r.atteso = m.captured(1);
        if (attributo.isEmpty())
            suAttributo(m.captured(1));
        r.messaggio = QStringLiteral("Manca l'attributo obbligatorio %1 in %2.").arg(m.captured(1), nomeElemento);
    } else if (resto.startsWith(
                   QLatin1String("Element content is not allowed, because the type definition is simple"))) {
        r.messaggio = QStringLiteral("%1 deve contenere solo testo, non altri elementi.").arg(nomeElemento);
    } else if (resto.startsWith(QLatin1String("Character content other than whitespace is not allowed"))) {
        r.messaggio = QStringLiteral("%1 non può contenere testo, solo altri elementi.").arg(nomeElemento);
    } else if (resto.contains(QLatin1String("because the content type is empty"))) {
        r.messaggio = QStringLiteral("%1 deve essere vuoto.").arg(nomeElemento);
    } else if (resto.startsWith(QLatin1String("No matching global declaration available for the validation root"))) {
        r.trovato = nomeElemento;
        r.messaggio = QStringLiteral("L'elemento radice %1 non è quello previsto dallo schema.").arg(nomeElemento);
    } else if ((m = cattura(R"(^The value '(.*)' does not match the fixed value constraint '(.*)'\.$)")).hasMatch()) {
        r.trovato = Breve(m.captured(1));
        r.atteso = m.captured(2);
        r.messaggio = QStringLiteral("Valore '%1' non ammesso per %2: deve essere '%3'.").arg(r.trovato, chi, r.atteso);
    } else {
        r.messaggio = QStringLiteral("%1 non rispetta lo schema della fattura.").arg(chi.isEmpty() ? r.campo : chi);
    }
    return r;
}
} // namespace

int ControllaSchema(xmlSchema *schema, xmlDoc *documento, const Luogo &luogo, QList<Rilievo> &rilievi)
{
    SchemiPtr<xmlSchemaValidCtxt> ctxt(xmlSchemaNewValidCtxt(schema));
    if (!ctxt)
        return -1;
    Raccolta raccolta;
    xmlSchemaSetValidStructuredErrors(ctxt.get(), raccogli, &raccolta);
    RegistriVettorialiPuliti();
    if (xmlSchemaValidateDoc(ctxt.get(), documento) < 0)
        return -1;
    for (const ErroreSchema &e : raccolta.errori)
        rilievi.append(traduci(luogo, e));
    if (raccolta.totale > MassimoErrori) {
        Rilievo r;
        r.codice = QStringLiteral("00201");
        r.trovato = QString::number(raccolta.totale);
        r.atteso = QStringLiteral("al massimo %1").arg(MassimoErrori);
        r.messaggio = QStringLiteral("Gli errori di formato sono %1: come il Sistema di Interscambio, se ne elencano "
                                     "i primi %2.")
                          .arg(raccolta.totale)
                          .arg(MassimoErrori);
        rilievi.append(r);
    }
    return raccolta.totale;
}
