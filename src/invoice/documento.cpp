// Invoices read from memory with the path query's loading and walk.
#include "invoice/documento.h"

#include "common/errors.h"
#include "common/strings.h"
#include "common/text8.h"
#include "invoice/xmlload.h"
#include "invoice/xmlquery.h"
#include "invoice/xmlquery_p.h"

namespace {
xmlNode *nodo(void *p)
{
    return static_cast<xmlNode *>(p);
}

bool soloSpazi(const xmlChar *testo)
{
    for (; testo != nullptr && *testo != 0; ++testo)
        if (*testo > 0x20)
            return false;
    return true;
}

// The name, in plain ASCII, equals the step already in lower case.
bool nomeUguale(const xmlChar *nome, const QByteArray &minuscolo)
{
    const qsizetype n = minuscolo.size();
    qsizetype i = 0;
    for (; nome[i] != 0; ++i) {
        const char c = static_cast<char>(nome[i]);
        if (i >= n || (c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) != minuscolo[i])
            return false;
    }
    return i == n;
}
} // namespace

// The document and, when its names are plain, its elements in one array in
// document order: a query then tries as first step only the elements inside
// its scope, in the order the walk would, without walking the tree again.
struct DocumentoFattura::Dati {
    XmlDocPtr doc;
    bool nomiSemplici = false;
    std::vector<xmlNode *> ordine; // every element, in document order
    std::vector<int> fine; // where each one's descendants end in ordine

    void indicizza(xmlNode *elemento)
    {
        nomiSemplici = nomiSemplici && NomeSemplice(elemento);
        const auto indice = ordine.size();
        // Elements keep their place in _private, which libxml2 leaves to its users.
        elemento->_private = reinterpret_cast<void *>(static_cast<intptr_t>(indice));
        ordine.push_back(elemento);
        fine.push_back(0);
        for (xmlNode *figlio = elemento->children; figlio != nullptr; figlio = figlio->next)
            if (figlio->type == XML_ELEMENT_NODE)
                indicizza(figlio);
        fine[indice] = static_cast<int>(ordine.size());
    }

    void cerca(const Percorso &percorso, xmlNode *dentro, Trovati &trovati) const
    {
        if (!nomiSemplici || dentro == nullptr) {
            CercaElementi(dentro, percorso.passi_, trovati);
            return;
        }
        if (percorso.passi_.isEmpty())
            return;
        const auto da = static_cast<size_t>(reinterpret_cast<intptr_t>(dentro->_private));
        const auto a = static_cast<size_t>(fine[da]);
        for (size_t i = da; i < a; ++i)
            if (nomeUguale(ordine[i]->name, percorso.primo_))
                CercaDa(ordine[i], percorso.passi_, trovati);
    }
};

DocumentoFattura::Percorso::Percorso(const char *percorso)
    : passi_(PassiPercorso(percorso))
    , primo_(passi_.isEmpty() ? QByteArray() : toLowerAscii(passi_.first()))
{
}

DocumentoFattura::DocumentoFattura(QByteArrayView bytes)
    : d_(std::make_unique<Dati>())
{
    XmlErrorCapture capture;
    XmlLoadError error;
    // Blank text is dropped anyway: not made at all where the parser can tell.
    d_->doc = parseXml(QByteArray::fromRawData(bytes.data(), bytes.size()), QByteArray(), Whitespace::Drop, error,
        nullptr, XML_PARSE_NOBLANKS);
    if (!d_->doc)
        throw Exception(PrefissoXmlConErrori + loadErrorText(error));
    if (xmlNode *radice = xmlDocGetRootElement(d_->doc.get())) {
        d_->nomiSemplici = true;
        d_->ordine.reserve(512);
        d_->fine.reserve(512);
        d_->indicizza(radice);
    }
}

DocumentoFattura::~DocumentoFattura() = default;

DocumentoFattura::Elemento DocumentoFattura::radice() const
{
    return Elemento(xmlDocGetRootElement(d_->doc.get()));
}

QByteArray DocumentoFattura::nomeRadice() const
{
    const xmlNode *root = xmlDocGetRootElement(d_->doc.get());
    return root != nullptr ? QByteArray(reinterpret_cast<const char *>(root->name)) : QByteArray();
}

std::vector<DocumentoFattura::Elemento> DocumentoFattura::elementi(const Percorso &percorso, Elemento dentro) const
{
    Trovati trovati;
    d_->cerca(percorso, nodo(dentro.nodo_), trovati);
    std::vector<Elemento> risultato;
    risultato.reserve(trovati.size());
    for (xmlNode *n : trovati)
        risultato.push_back(Elemento(n));
    return risultato;
}

QByteArrayList DocumentoFattura::valori(const Percorso &percorso, Elemento dentro) const
{
    Trovati trovati;
    d_->cerca(percorso, nodo(dentro.nodo_), trovati);
    QByteArrayList risultato;
    for (const xmlNode *n : trovati)
        risultato.append(ValoreElemento(n));
    return risultato;
}

QByteArrayList DocumentoFattura::testi(const Percorso &percorso, Elemento dentro) const
{
    Trovati trovati;
    d_->cerca(percorso, nodo(dentro.nodo_), trovati);
    QByteArrayList risultato;
    for (xmlNode *n : trovati) {
        try {
            risultato.append(ValoreElemento(n));
        } catch (const Exception &) {
            XmlPtr<xmlChar> contenuto(xmlNodeGetContent(n));
            risultato.append(
                toWindows1252(trimControls(QString::fromUtf8(reinterpret_cast<const char *>(contenuto.get())))));
        }
    }
    return risultato;
}

QByteArray DocumentoFattura::testo(const Percorso &percorso, Elemento dentro) const
{
    return testi(percorso, dentro).value(0);
}

bool DocumentoFattura::haTesto(const Percorso &percorso, Elemento dentro) const
{
    Trovati trovati;
    d_->cerca(percorso, nodo(dentro.nodo_), trovati);
    for (const xmlNode *n : trovati)
        for (const xmlNode *c = n->children; c != nullptr; c = c->next)
            if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && !soloSpazi(c->content))
                return true;
    return false;
}
