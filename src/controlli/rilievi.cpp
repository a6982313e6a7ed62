// Elements and the findings about them: where they lie (path, number of the
// published tables, body, file line, detail line) and their text.
#include "controlli/controlli_p.h"

#include <climits>

const xmlNode *Figlio(const xmlNode *padre, const char *nome)
{
    if (padre == nullptr)
        return nullptr;
    for (const xmlNode *n = padre->children; n != nullptr; n = n->next)
        if (Elemento(n, nome))
            return n;
    return nullptr;
}

const Nodo *Figlio(const Nodo *padre, const char *nome)
{
    if (padre == nullptr)
        return nullptr;
    for (const Nodo *n = padre->figlio; n != nullptr; n = n->fratello)
        if (n->nome == nome)
            return n;
    return nullptr;
}

namespace {
QString rifilato(const char *testo, qsizetype lunghezza)
{
    qsizetype inizio = 0, fine = lunghezza;
    while (inizio < fine && static_cast<unsigned char>(testo[inizio]) <= 0x20)
        ++inizio;
    while (fine > inizio && static_cast<unsigned char>(testo[fine - 1]) <= 0x20)
        --fine;
    return QString::fromUtf8(testo + inizio, fine - inizio);
}

// The two kinds of element, asked the same questions.
std::string_view nomeDi(const xmlNode *n)
{
    return reinterpret_cast<const char *>(n->name);
}
std::string_view nomeDi(const Nodo *n)
{
    return n->nome;
}
const xmlNode *padreDi(const xmlNode *n)
{
    return n->parent;
}
const Nodo *padreDi(const Nodo *n)
{
    return n->padre;
}
bool elementoSotto(const xmlNode *n, const xmlNode *radice)
{
    return n != nullptr && n != radice && n->type == XML_ELEMENT_NODE;
}
bool elementoSotto(const Nodo *n, const Nodo *radice)
{
    return n != nullptr && n != radice;
}
int corpoDi(const Luogo &luogo, const xmlNode *n)
{
    return CorpoDi(luogo, n);
}
int corpoDi(const LuogoAlbero &, const Nodo *n)
{
    return n->corpo;
}

template <typename L, typename N>
Rilievo rilievoSu(const L &luogo, const N *radice, const N *elemento, const char *figlio)
{
    Rilievo r;
    QStringList nomi;
    for (const N *n = elemento; elementoSotto(n, radice); n = padreDi(n)) {
        const std::string_view nome = nomeDi(n);
        nomi.prepend(Breve(QString::fromUtf8(nome.data(), static_cast<qsizetype>(nome.size()))));
    }
    if (figlio != nullptr)
        nomi << QString::fromLatin1(figlio);
    r.percorso = nomi.join(QLatin1Char('/'));
    const std::string_view proprio = nomeDi(elemento);
    const QString nome
        = nomi.isEmpty() ? QString::fromUtf8(proprio.data(), static_cast<qsizetype>(proprio.size())) : nomi.last();
    const QString numero = luogo.numerato ? NumeroCampo(nomi) : QString();
    r.campo = numero.isEmpty() ? nome : numero + QLatin1Char(' ') + nome;
    r.corpo = corpoDi(luogo, elemento);
    const N *presente = figlio != nullptr && Figlio(elemento, figlio) != nullptr ? Figlio(elemento, figlio) : elemento;
    r.riga = RigaDi(presente);
    for (const N *n = elemento; n != nullptr && n != radice; n = padreDi(n))
        if (Elemento(n, "DettaglioLinee")) {
            r.linea = Breve(Testo(Figlio(n, "NumeroLinea")));
            break;
        }
    return r;
}
} // namespace

QString Testo(const Nodo *elemento)
{
    return elemento == nullptr ? QString()
                               : rifilato(elemento->testo.data(), static_cast<qsizetype>(elemento->testo.size()));
}

QString Testo(const xmlNode *elemento)
{
    if (elemento == nullptr)
        return QString();
    QByteArray testo;
    for (const xmlNode *n = elemento->children; n != nullptr; n = n->next)
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr)
            testo += reinterpret_cast<const char *>(n->content);
    return rifilato(testo.constData(), testo.size());
}

QString Breve(const QString &testo)
{
    constexpr qsizetype Massimo = 100;
    return testo.size() <= Massimo ? testo : testo.left(Massimo) + QChar(0x2026);
}

int RigaDi(const xmlNode *nodo)
{
    const long riga = nodo == nullptr ? 0 : xmlGetLineNo(nodo);
    return riga > 0 && riga <= INT_MAX ? static_cast<int>(riga) : 0;
}

int CorpoDi(const Luogo &luogo, const xmlNode *elemento)
{
    const xmlNode *n = elemento;
    while (n != nullptr && n->parent != luogo.radice)
        n = n->parent;
    if (!Elemento(n, "FatturaElettronicaBody"))
        return 0;
    int corpo = 1;
    for (const xmlNode *p = n->prev; p != nullptr; p = p->prev)
        if (Elemento(p, "FatturaElettronicaBody"))
            ++corpo;
    return corpo;
}

Rilievo RilievoSu(const Luogo &luogo, const xmlNode *elemento, const char *figlio)
{
    while (elemento != nullptr && elemento->type != XML_ELEMENT_NODE)
        elemento = elemento->parent;
    return elemento == nullptr ? Rilievo() : rilievoSu(luogo, luogo.radice, elemento, figlio);
}

Rilievo RilievoSu(const LuogoAlbero &luogo, const Nodo *elemento, const char *figlio)
{
    return elemento == nullptr ? Rilievo() : rilievoSu(luogo, luogo.radice(), elemento, figlio);
}
