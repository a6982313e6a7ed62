// An invoice parsed from bytes in memory, for the lists that read many at
// once: the path query's rules (local names, ASCII case folded, every element
// that ends the path, trimmed texts in code page 1252) over the whole
// document or inside one of its elements.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <memory>
#include <vector>

class DocumentoFattura final {
public:
    // One element of the document; valid while the document lives.
    class Elemento {
    public:
        Elemento() = default;

    private:
        friend class DocumentoFattura;
        explicit Elemento(void *nodo)
            : nodo_(nodo)
        {
        }
        void *nodo_ = nullptr;
    };

    // A dotted path split once, for the many documents read with it.
    class Percorso {
    public:
        explicit Percorso(const char *percorso);

    private:
        friend class DocumentoFattura;
        QByteArrayList passi_;
        QByteArray primo_; // the first step in lower case
    };

    // Loads the bytes as the path query loads a file. Throws Exception with
    // the message the window shows for a document that is not well-formed.
    explicit DocumentoFattura(QByteArrayView bytes);
    ~DocumentoFattura();
    DocumentoFattura(const DocumentoFattura &) = delete;
    DocumentoFattura &operator=(const DocumentoFattura &) = delete;

    Elemento radice() const;
    // The root element's name without its prefix.
    QByteArray nomeRadice() const;
    // The elements that end the path, found from inside the element (itself
    // included) in the query's order.
    std::vector<Elemento> elementi(const Percorso &percorso, Elemento dentro) const;
    // Their texts as LeggiValoriXml gives them; throws its Exception for an
    // element that holds anything but a single text.
    QByteArrayList valori(const Percorso &percorso, Elemento dentro) const;
    // Their texts leniently: an element that holds anything besides a single
    // text gives its whole text content.
    QByteArrayList testi(const Percorso &percorso, Elemento dentro) const;
    // The first of those, or empty.
    QByteArray testo(const Percorso &percorso, Elemento dentro) const;
    // Whether some element at the path holds text beyond blanks (read without
    // copying it: attachments are megabytes).
    bool haTesto(const Percorso &percorso, Elemento dentro) const;

private:
    struct Dati;
    std::unique_ptr<Dati> d_;
};
