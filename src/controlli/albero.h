// The invoice as the content checks and the quick schema check read it: its
// elements with their local names, the text right inside each, the line,
// the body they are in and the root's attributes. Made from libxml2's tree
// (the window, controlla) or from what the archive's one walk sees, so that
// both reach the same findings. Internal to the checks.
#pragma once

#include "invoice/documento.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

struct Nodo {
    std::string_view nome; // the local name
    std::string_view testo; // the text right inside it, whole, as written
    const Nodo *padre = nullptr;
    const Nodo *figlio = nullptr; // the first element inside it
    const Nodo *fratello = nullptr; // the next element beside it
    int riga = 0; // the file's line; 0 when not known
    int corpo = 0; // the body it is in, from 1; 0 outside the bodies
    bool prefisso = false; // its name carries a prefix
    bool attributi = false; // it has attributes (namespace declarations included)
};

class AlberoFattura final {
public:
    AlberoFattura() = default;
    AlberoFattura(const AlberoFattura &) = delete;
    AlberoFattura &operator=(const AlberoFattura &) = delete;

    // Made from a parsed document (which must outlive the tree); empty when
    // it has no root.
    static void DaDocumento(_xmlDoc *documento, AlberoFattura &albero);

    const Nodo *radice() const { return nodi_.empty() ? nullptr : &nodi_.front(); }
    // The namespace the root element is in, and whether any element below
    // it may be in one (a default namespace or a prefixed name).
    const std::string &spazioRadice() const { return spazio_; }
    bool soloSenzaSpazio() const { return senzaSpazio_; }
    // The root's attribute with this local name (not a namespace
    // declaration), its value as the parser normalises it; null when absent.
    const std::string *attributo(std::string_view nome) const;
    // The root's attributes: the name as written, prefix included, and value.
    const std::vector<std::pair<std::string, std::string>> &attributiRadice() const { return attributiRadice_; }
    // The namespaces the root declares: prefix (empty for the default) and name.
    const std::vector<std::pair<std::string, std::string>> &dichiarazioniRadice() const { return dichiarazioni_; }
    int elementi() const { return static_cast<int>(nodi_.size()); }

    // The walk that builds a tree from the quick reader's view. The bytes
    // must outlive the tree (the names point into them).
    class Costruttore final : public OsservatoreLettura {
    public:
        explicit Costruttore(AlberoFattura &albero)
            : a_(albero)
        {
        }
        void apri(std::string_view nome, const std::vector<Attributo> &attributi) override;
        void testo(std::string_view pezzo) override;
        void chiudi() override;
        void azzera() override;
        // The walk is over: the tree is ready to be read.
        void concludi();

    private:
        AlberoFattura &a_;
        std::vector<int> aperti_;
    };

private:
    friend class Costruttore;
    // The building, by index: a node, its text, the end.
    int nuovo(std::string_view nome, int padre, int riga);
    void aggiungiTesto(int nodo, std::string_view pezzo);
    void concludi();
    void svuota();
    void visita(const _xmlNode *elemento, int padre);

    struct Legami {
        int padre = -1, figlio = -1, fratello = -1, ultimo = -1;
        int primoPezzo = -1, ultimoPezzo = -1; // the node's text, in pezzi_
        bool soloSpazi = true; // its text so far is blanks and line ends
    };
    // A stretch of testi_; a text split by elements comes in several.
    struct Pezzo {
        size_t da, a;
        int prossimo = -1;
    };
    std::vector<Nodo> nodi_; // in document order
    std::vector<Legami> legami_; // while building
    std::vector<Pezzo> pezzi_;
    std::string testi_; // every element's text, one after the other
    std::vector<std::pair<std::string, std::string>> attributiRadice_;
    std::vector<std::pair<std::string, std::string>> dichiarazioni_;
    std::string spazio_;
    bool senzaSpazio_ = true;
    int corpi_ = 0;
};
