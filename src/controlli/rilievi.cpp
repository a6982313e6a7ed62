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

QString Testo(const xmlNode *elemento)
{
    if (elemento == nullptr)
        return QString();
    QByteArray testo;
    for (const xmlNode *n = elemento->children; n != nullptr; n = n->next)
        if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr)
            testo += reinterpret_cast<const char *>(n->content);
    qsizetype inizio = 0, fine = testo.size();
    while (inizio < fine && static_cast<unsigned char>(testo[inizio]) <= 0x20)
        ++inizio;
    while (fine > inizio && static_cast<unsigned char>(testo[fine - 1]) <= 0x20)
        --fine;
    return QString::fromUtf8(testo.constData() + inizio, fine - inizio);
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
    Rilievo r;
    while (elemento != nullptr && elemento->type != XML_ELEMENT_NODE)
        elemento = elemento->parent;
    if (elemento == nullptr)
        return r;
    QStringList nomi;
    for (const xmlNode *n = elemento; n != nullptr && n != luogo.radice && n->type == XML_ELEMENT_NODE; n = n->parent)
        nomi.prepend(Breve(QString::fromUtf8(reinterpret_cast<const char *>(n->name))));
    if (figlio != nullptr)
        nomi << QString::fromLatin1(figlio);
    r.percorso = nomi.join(QLatin1Char('/'));
    const QString nome
        = nomi.isEmpty() ? QString::fromUtf8(reinterpret_cast<const char *>(elemento->name)) : nomi.last();
    const QString numero = luogo.numerato ? NumeroCampo(nomi) : QString();
    r.campo = numero.isEmpty() ? nome : numero + QLatin1Char(' ') + nome;
    r.corpo = CorpoDi(luogo, elemento);
    const xmlNode *presente
        = figlio != nullptr && Figlio(elemento, figlio) != nullptr ? Figlio(elemento, figlio) : elemento;
    r.riga = RigaDi(presente);
    for (const xmlNode *n = elemento; n != nullptr && n != luogo.radice; n = n->parent)
        if (Elemento(n, "DettaglioLinee")) {
            r.linea = Breve(Testo(Figlio(n, "NumeroLinea")));
            break;
        }
    return r;
}
