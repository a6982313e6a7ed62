// A quick check that an invoice's light tree is valid against its official
// schema, for the archive, which reads thousands of invoices and needs a
// second parse and libxml2's validation only for those that are not plainly
// valid. It reads the same schema file libxml2 compiles and knows only what
// the invoice schemas use (sequences and choices of local elements, simple
// types restricted from string, decimal, integer, date and base64 with their
// facets); it says "valid" only when it is sure, and anything it does not
// know, or any doubt (a signature, an unusual namespace, a pattern of
// another shape), leaves the decision to libxml2. Internal to the checks.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

class AlberoFattura;

class SchemaRapido final {
public:
    // Reads the schema file; a construct it does not know leaves it unable
    // to say yes to anything.
    explicit SchemaRapido(const QString &file);
    ~SchemaRapido();
    SchemaRapido(const SchemaRapido &) = delete;
    SchemaRapido &operator=(const SchemaRapido &) = delete;

    // The schema was understood: some trees may be said valid.
    bool pronto() const;
    // True only when the tree surely meets the schema.
    bool valido(const AlberoFattura &albero) const;

    // One pattern facet's check, as the quick check makes it: true only when
    // the value surely matches (a pattern of another shape asks libxml2).
    class Modello;
    static std::shared_ptr<Modello> NuovoModello(const std::string &testo);
    static bool Accetta(const Modello &modello, std::string_view valore);
    // Whether the quick matcher, not libxml2's, serves this pattern.
    static bool Semplice(const Modello &modello);

    struct Dati;

private:
    std::unique_ptr<Dati> d_;
};
