// Invoices read from memory with the path query's loading and walk.
#include "invoice/documento.h"

#include "common/errors.h"
#include "common/strings.h"
#include "common/text8.h"
#include "invoice/xmlload.h"
#include "invoice/xmlquery.h"
#include "invoice/xmlquery_p.h"

struct DocumentoFattura::Dati {
    XmlDocPtr doc;
};

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
} // namespace

DocumentoFattura::DocumentoFattura(QByteArrayView bytes)
    : d_(std::make_unique<Dati>())
{
    XmlErrorCapture capture;
    XmlLoadError error;
    d_->doc = parseXml(QByteArray::fromRawData(bytes.data(), bytes.size()), QByteArray(), Whitespace::Drop, error);
    if (!d_->doc)
        throw Exception(PrefissoXmlConErrori + loadErrorText(error));
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

std::vector<DocumentoFattura::Elemento> DocumentoFattura::elementi(const QByteArray &percorso, Elemento dentro) const
{
    Trovati trovati;
    CercaElementi(nodo(dentro.nodo_), PassiPercorso(percorso), trovati);
    std::vector<Elemento> risultato;
    risultato.reserve(trovati.size());
    for (xmlNode *n : trovati)
        risultato.push_back(Elemento(n));
    return risultato;
}

QByteArrayList DocumentoFattura::valori(const QByteArray &percorso, Elemento dentro) const
{
    Trovati trovati;
    CercaElementi(nodo(dentro.nodo_), PassiPercorso(percorso), trovati);
    QByteArrayList risultato;
    for (const xmlNode *n : trovati)
        risultato.append(ValoreElemento(n));
    return risultato;
}

QByteArrayList DocumentoFattura::testi(const QByteArray &percorso, Elemento dentro) const
{
    Trovati trovati;
    CercaElementi(nodo(dentro.nodo_), PassiPercorso(percorso), trovati);
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

QByteArray DocumentoFattura::testo(const QByteArray &percorso, Elemento dentro) const
{
    return testi(percorso, dentro).value(0);
}

bool DocumentoFattura::haTesto(const QByteArray &percorso, Elemento dentro) const
{
    Trovati trovati;
    CercaElementi(nodo(dentro.nodo_), PassiPercorso(percorso), trovati);
    for (const xmlNode *n : trovati)
        for (const xmlNode *c = n->children; c != nullptr; c = c->next)
            if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && !soloSpazi(c->content))
                return true;
    return false;
}
