// What a reading of an invoice notes, element by element, whichever reader
// walks it (the quick one or libxml2's tree). Internal to the invoice module.
#pragma once

#include "invoice/documento.h"

#include <string_view>

struct DocumentoFattura::Dati {
    explicit Dati(const PercorsiFattura &p)
        : percorsi(p)
    {
        // Room for a usual invoice from the start.
        trovati.reserve(256);
        testi.reserve(4096);
        seguiti.reserve(64);
        finiti.reserve(16);
        aperti.reserve(32);
    }

    // An element opens, in document order, with its local name; returns the
    // uses (PercorsiFattura::Uso) of the paths it ends, so that the reader
    // knows what to note of its text.
    unsigned char apri(std::string_view nomeLocale);
    // The element closes. Its trimmed text in UTF-8 (as valori would give it
    // when singolo, else its whole text content) when asked for, and whether
    // a text right inside it holds more than blanks.
    void chiudi(QByteArrayView testo, bool singolo, bool conTesto);
    // The walk is over.
    void concludi();
    // Forgets everything, for another reading of the same bytes.
    void azzera();

    const PercorsiFattura &percorsi;
    QByteArray nomeRadice;
    bool rapido = false;

    // An element that ends a path, found from the start element.
    struct Trovato {
        int percorso;
        int inizio;
        int elemento;
        int fine; // past its last descendant
        int testoDa; // its text in testi
        int testoA;
        bool singolo;
        bool conTesto;
    };
    std::vector<Trovato> trovati; // by path, then start, then element
    std::vector<int> primi; // where each path's elements start in trovati
    QByteArray testi;
    int elementi = 0;

private:
    // A path followed down to one of its steps from the start element.
    struct Seguito {
        int percorso;
        int indice;
        int inizio;
    };
    struct Aperto {
        int elemento;
        size_t seguiti; // where its paths start in seguiti
        size_t finiti; // where the paths it ends start in finiti
    };
    std::vector<Seguito> seguiti;
    std::vector<Seguito> finiti;
    std::vector<Aperto> aperti;
    // How deep the walk is inside an XML signature: what a signature holds is
    // never read as the invoice's (a signature covers the invoice, not itself).
    int dentroFirma = 0;
};

// Reads the bytes into the notes when they have the usual shape of an invoice:
// UTF-8, a declaration of version 1.0 at most, elements with ASCII names,
// attributes without references, texts with the predefined and character
// references, nothing else (no comments, CDATA, DOCTYPE or instructions),
// and texts wanted only from elements without elements inside. False
// otherwise, also for anything that is not well-formed: the tree reads it.
// The observer, when given, sees the document as it is read.
bool LeggiRapido(QByteArrayView bytes, DocumentoFattura::Dati &dati, OsservatoreLettura *osservatore = nullptr);
