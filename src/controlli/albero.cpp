// The invoice's light tree, from libxml2's tree or from the quick reader's
// walk: the same nodes, names, texts and bodies either way.
#include "controlli/albero.h"
#include "controlli/controlli_p.h"

#include <algorithm>

namespace {
std::string_view vista(const xmlChar *s)
{
    return s == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char *>(s));
}

// An attribute's value as the parser gives it: tabs and line ends become
// blanks (the quick reader takes no values with references or CR).
std::string normalizzato(std::string_view valore)
{
    std::string v(valore);
    for (char &c : v)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return v;
}

} // namespace

int AlberoFattura::nuovo(std::string_view nome, int padre, int riga)
{
    if (nodi_.empty()) {
        // Room for a usual invoice from the start.
        nodi_.reserve(256);
        legami_.reserve(256);
        pezzi_.reserve(256);
        testi_.reserve(4096);
    }
    const int i = static_cast<int>(nodi_.size());
    nodi_.emplace_back();
    legami_.emplace_back();
    Nodo &n = nodi_.back();
    n.nome = nome;
    n.riga = riga;
    legami_.back().padre = padre;
    if (padre >= 0) {
        Legami &p = legami_[static_cast<size_t>(padre)];
        // Blanks around the elements inside an element say nothing a check
        // reads (its trimmed text is empty either way, and the schema wants
        // only blanks there): they are not kept.
        if (p.ultimo < 0 && p.soloSpazi)
            p.primoPezzo = p.ultimoPezzo = -1;
        if (p.ultimo < 0)
            p.figlio = i;
        else
            legami_[static_cast<size_t>(p.ultimo)].fratello = i;
        p.ultimo = i;
        // A body is a FatturaElettronicaBody right inside the root.
        n.corpo = padre == 0 && nome == "FatturaElettronicaBody" ? ++corpi_ : nodi_[static_cast<size_t>(padre)].corpo;
    }
    return i;
}

void AlberoFattura::aggiungiTesto(int nodo, std::string_view pezzo)
{
    if (pezzo.empty())
        return;
    Legami &l = legami_[static_cast<size_t>(nodo)];
    const bool spazi = std::all_of(
        pezzo.begin(), pezzo.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
    if (spazi && l.soloSpazi && l.ultimo >= 0)
        return;
    l.soloSpazi = l.soloSpazi && spazi;
    const size_t da = testi_.size();
    testi_.append(pezzo);
    if (l.ultimoPezzo >= 0 && pezzi_[static_cast<size_t>(l.ultimoPezzo)].a == da) {
        pezzi_[static_cast<size_t>(l.ultimoPezzo)].a = testi_.size(); // it goes on
        return;
    }
    pezzi_.push_back({ da, testi_.size() });
    const int nuovo = static_cast<int>(pezzi_.size()) - 1;
    if (l.ultimoPezzo < 0)
        l.primoPezzo = nuovo;
    else
        pezzi_[static_cast<size_t>(l.ultimoPezzo)].prossimo = nuovo;
    l.ultimoPezzo = nuovo;
}

void AlberoFattura::concludi()
{
    // A text split by elements is joined once, at the end of the store; the
    // store then stays as it is and the nodes look into it.
    std::vector<std::pair<size_t, size_t>> posti(nodi_.size(), { 0, 0 });
    for (size_t i = 0; i < nodi_.size(); ++i) {
        const Legami &l = legami_[i];
        if (l.primoPezzo < 0)
            continue;
        const Pezzo &primo = pezzi_[static_cast<size_t>(l.primoPezzo)];
        if (primo.prossimo < 0) {
            posti[i] = { primo.da, primo.a };
            continue;
        }
        const size_t da = testi_.size();
        for (int p = l.primoPezzo; p >= 0; p = pezzi_[static_cast<size_t>(p)].prossimo) {
            const Pezzo pezzo = pezzi_[static_cast<size_t>(p)];
            testi_.append(testi_, pezzo.da, pezzo.a - pezzo.da);
        }
        posti[i] = { da, testi_.size() };
    }
    const auto puntatore = [this](int i) { return i < 0 ? nullptr : &nodi_[static_cast<size_t>(i)]; };
    for (size_t i = 0; i < nodi_.size(); ++i) {
        Nodo &n = nodi_[i];
        const Legami &l = legami_[i];
        n.padre = puntatore(l.padre);
        n.figlio = puntatore(l.figlio);
        n.fratello = puntatore(l.fratello);
        n.testo = std::string_view(testi_.data() + posti[i].first, posti[i].second - posti[i].first);
    }
    legami_.clear();
    legami_.shrink_to_fit();
    pezzi_.clear();
}

void AlberoFattura::svuota()
{
    nodi_.clear();
    legami_.clear();
    pezzi_.clear();
    testi_.clear();
    attributiRadice_.clear();
    dichiarazioni_.clear();
    spazio_.clear();
    senzaSpazio_ = true;
    corpi_ = 0;
}

const std::string *AlberoFattura::attributo(std::string_view nome) const
{
    for (const auto &[scritto, valore] : attributiRadice_) {
        const size_t due = scritto.find(':');
        if ((due == std::string::npos ? std::string_view(scritto) : std::string_view(scritto).substr(due + 1)) == nome)
            return &valore;
    }
    return nullptr;
}

void AlberoFattura::DaDocumento(_xmlDoc *documento, AlberoFattura &albero)
{
    albero.svuota();
    const xmlNode *radice = xmlDocGetRootElement(documento);
    if (radice == nullptr)
        return;
    if (radice->ns != nullptr)
        albero.spazio_ = std::string(vista(radice->ns->href));
    for (const xmlNs *ns = radice->nsDef; ns != nullptr; ns = ns->next)
        albero.dichiarazioni_.emplace_back(std::string(vista(ns->prefix)), std::string(vista(ns->href)));
    for (const xmlAttr *p = radice->properties; p != nullptr; p = p->next) {
        std::string nome(vista(p->name));
        if (p->ns != nullptr && p->ns->prefix != nullptr)
            nome = std::string(vista(p->ns->prefix)) + ':' + nome;
        xmlChar *valore = xmlNodeListGetString(documento, p->children, 1);
        albero.attributiRadice_.emplace_back(std::move(nome), std::string(vista(valore)));
        xmlFree(valore);
    }
    albero.visita(radice, -1);
    albero.concludi();
}

void AlberoFattura::visita(const _xmlNode *elemento, int padre)
{
    const int i = nuovo(vista(elemento->name), padre, RigaDi(elemento));
    Nodo &n = nodi_[static_cast<size_t>(i)];
    n.prefisso = elemento->ns != nullptr && elemento->ns->prefix != nullptr;
    n.attributi = elemento->properties != nullptr || elemento->nsDef != nullptr;
    if (padre >= 0 && elemento->ns != nullptr)
        senzaSpazio_ = false;
    for (const xmlNode *c = elemento->children; c != nullptr; c = c->next) {
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content != nullptr)
            aggiungiTesto(i, vista(c->content));
        else if (c->type == XML_ELEMENT_NODE)
            visita(c, i);
    }
}

void AlberoFattura::Costruttore::apri(std::string_view nome, const std::vector<Attributo> &attributi)
{
    const int padre = aperti_.empty() ? -1 : aperti_.back();
    const size_t due = nome.find(':');
    const bool prefisso = due != std::string_view::npos;
    const int i = a_.nuovo(prefisso ? nome.substr(due + 1) : nome, padre, 0);
    Nodo &n = a_.nodi_[static_cast<size_t>(i)];
    n.prefisso = prefisso;
    n.attributi = !attributi.empty();
    aperti_.push_back(i);
    if (padre >= 0) {
        if (prefisso)
            a_.senzaSpazio_ = false;
        for (const Attributo &x : attributi)
            if (x.nome == "xmlns" && !x.valore.empty())
                a_.senzaSpazio_ = false;
        return;
    }
    const std::string_view suo = prefisso ? nome.substr(0, due) : std::string_view();
    for (const Attributo &x : attributi) {
        if (x.nome == "xmlns" || (x.nome.size() > 6 && x.nome.substr(0, 6) == "xmlns:")) {
            const std::string_view dichiarato = x.nome.size() > 6 ? x.nome.substr(6) : std::string_view();
            a_.dichiarazioni_.emplace_back(std::string(dichiarato), normalizzato(x.valore));
            if (dichiarato == suo)
                a_.spazio_ = normalizzato(x.valore);
            if (dichiarato.empty() && !x.valore.empty())
                a_.senzaSpazio_ = false; // the elements below would be in it
            continue;
        }
        a_.attributiRadice_.emplace_back(std::string(x.nome), normalizzato(x.valore));
    }
}

void AlberoFattura::Costruttore::testo(std::string_view pezzo)
{
    if (!aperti_.empty())
        a_.aggiungiTesto(aperti_.back(), pezzo);
}

void AlberoFattura::Costruttore::chiudi()
{
    if (!aperti_.empty())
        aperti_.pop_back();
}

void AlberoFattura::Costruttore::azzera()
{
    a_.svuota();
    aperti_.clear();
}

void AlberoFattura::Costruttore::concludi()
{
    a_.concludi();
}
