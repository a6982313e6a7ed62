// An invoice read from bytes in memory, for the lists that read many at
// once: the path query's rules (local names, ASCII case folded, every element
// that ends the path, trimmed texts through code page 1252) over the whole
// document or inside one of its elements. The paths are known before the
// reading, so the document is walked once and every element that ends one of
// them is noted on the way, with its text; the queries only look things up.
// Nothing inside an XML signature (an element named Signature) is noted: what
// a signature holds is not what it signed.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <string_view>
#include <vector>

// The paths a list reads, each split once and given its use.
class PercorsiFattura final {
public:
    enum Uso : unsigned char {
        Elementi = 1, // elementi(): places to read inside
        Testi = 2, // valori(), testi(), testo()
        Presenza = 4, // haTesto() only: texts of megabytes are never copied
    };
    class Percorso {
    public:
        Percorso() = default;

    private:
        friend class PercorsiFattura;
        friend class DocumentoFattura;
        explicit Percorso(int indice)
            : indice_(indice)
        {
        }
        int indice_ = -1;
    };

    // The dotted path as the path query splits it (steps reduced to their
    // local names); to be read the given ways.
    Percorso aggiungi(const QByteArray &percorso, unsigned char usi);
    Percorso elementi(const QByteArray &percorso) { return aggiungi(percorso, Elementi); }
    Percorso testi(const QByteArray &percorso) { return aggiungi(percorso, Testi); }
    Percorso presenza(const QByteArray &percorso) { return aggiungi(percorso, Presenza); }

    // A step: the path and the step's place in it.
    struct Passo {
        int percorso;
        int indice;
    };
    // The steps that a local name matches (ASCII case folded), from any path;
    // null when none does.
    const std::vector<Passo> *passi(std::string_view nomeLocale) const;
    int lunghezza(int percorso) const { return lunghezze_[static_cast<size_t>(percorso)]; }
    unsigned char usi(int percorso) const { return usi_[static_cast<size_t>(percorso)]; }
    int quanti() const { return static_cast<int>(lunghezze_.size()); }

private:
    struct Nome {
        std::string nome; // in lower case
        std::string scritto; // as the first path spells it, usually as invoices do
        std::vector<Passo> passi;
    };
    static size_t chiave(std::string_view nome);

    std::vector<int> lunghezze_;
    std::vector<unsigned char> usi_;
    std::vector<Nome> nomi_;
    // The names by hash, open addressing: most names of an invoice end no
    // path and are told so at once.
    std::vector<int> tabella_;
    size_t nomeMassimo_ = 0;
};

// What the quick reader sees of a document, for a caller that checks it in
// the same walk: every element with its attributes and its text, in
// document order. Names and values are views of the bytes (which outlive the
// reading); attribute values hold no references, their tabs and line ends as
// written. Only what the quick reader takes is seen: when it gives a document
// up for the tree, azzera says so and nothing more comes.
class OsservatoreLettura {
public:
    struct Attributo {
        std::string_view nome; // as written, prefix included
        std::string_view valore;
    };
    virtual ~OsservatoreLettura() = default;
    // An element opens: its name as written, prefix included.
    virtual void apri(std::string_view nome, const std::vector<Attributo> &attributi) = 0;
    // Text right inside the innermost open element, in UTF-8 with references
    // resolved and line ends made LF; one text may come in several pieces.
    virtual void testo(std::string_view pezzo) = 0;
    virtual void chiudi() = 0;
    // Everything seen so far is void: the document is left to the tree.
    virtual void azzera() = 0;
};

class DocumentoFattura final {
public:
    using Percorso = PercorsiFattura::Percorso;

    // One element of the document, as the range of the elements it holds
    // (itself first) in document order.
    class Elemento {
    public:
        Elemento() = default;

    private:
        friend class DocumentoFattura;
        Elemento(int inizio, int fine)
            : inizio_(inizio)
            , fine_(fine)
        {
        }
        int inizio_ = 0;
        int fine_ = 0; // empty: no element
    };

    // How the bytes are read: the quick reader takes the usual shape of a
    // document (UTF-8, elements and text) and leaves anything else to
    // libxml2's tree; Albero always builds the tree (for comparisons).
    enum class Modo { Rapido, Albero };

    // Reads the bytes once, noting every element that ends one of the paths.
    // Throws Exception with the message the window shows for a document that
    // is not well-formed. The paths must outlive the document. An observer
    // sees what the quick reader reads.
    DocumentoFattura(QByteArrayView bytes, const PercorsiFattura &percorsi, Modo modo = Modo::Rapido,
        OsservatoreLettura *osservatore = nullptr);
    ~DocumentoFattura();
    DocumentoFattura(const DocumentoFattura &) = delete;
    DocumentoFattura &operator=(const DocumentoFattura &) = delete;

    Elemento radice() const;
    // The root element's name as the parser gives it (no declared prefix).
    QByteArray nomeRadice() const;
    // Whether the quick reader read it (else the tree did).
    bool lettoRapido() const;

    // The elements that end the path, found from inside the element (itself
    // included) in the query's order.
    std::vector<Elemento> elementi(const Percorso &percorso, Elemento dentro) const;
    // Their texts as LeggiValoriXml gives them; throws its Exception for an
    // element that holds anything but a single text.
    QStringList valori(const Percorso &percorso, Elemento dentro) const;
    // Their texts leniently: an element that holds anything besides a single
    // text gives its whole text content.
    QStringList testi(const Percorso &percorso, Elemento dentro) const;
    // The first of those, or empty.
    QString testo(const Percorso &percorso, Elemento dentro) const;
    // Whether some element at the path holds text beyond blanks.
    bool haTesto(const Percorso &percorso, Elemento dentro) const;

    // Every element noted, as "path start element end: text" lines, for
    // comparing the two readings.
    QStringList descrizione() const;

    struct Dati;

private:
    std::unique_ptr<Dati> d_;
};
