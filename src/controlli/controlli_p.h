// What the checks' files share: the formats and their compiled schemas, small
// helpers over libxml2 elements, and the making of a finding from the element
// it is about. Internal to the checks.
#pragma once

#include "controlli/albero.h"
#include "controlli/controlli.h"
#include "controlli/schemarapido.h"
#include "controlli/schemiptr.h"

#include <QStringList>
#include <libxml/tree.h>

// The formats the program has a schema for.
enum class FormatoFattura { Ordinaria12, Semplificata, Versione11 };
constexpr int NumeroFormati = 3;

struct SchemiFattura::Dati {
    QString cartella;
    SchemiPtr<xmlSchema> schema[NumeroFormati];
    QString problema[NumeroFormati]; // empty when that schema compiled
    std::unique_ptr<SchemaRapido> rapido[NumeroFormati]; // the quick check, beside each compiled schema
};

// The format of a document by its root's name and namespace; false, with the
// sentence, when it is none of them.
bool FormatoDi(std::string_view nome, std::string_view spazio, FormatoFattura &formato, QString &motivo);

// The schema file of each format, in SCHEMI/.
const char *FileSchema(FormatoFattura formato);

// --- Elements -------------------------------------------------------------
// The same few questions of libxml2's elements (the schema's findings) and of
// the light tree's (the content checks).

inline bool Elemento(const xmlNode *n, const char *nome)
{
    return n != nullptr && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, reinterpret_cast<const xmlChar *>(nome));
}
inline bool Elemento(const Nodo *n, const char *nome)
{
    return n != nullptr && n->nome == nome;
}

// The first element child with the local name, or null.
const xmlNode *Figlio(const xmlNode *padre, const char *nome);
const Nodo *Figlio(const Nodo *padre, const char *nome);

// The text directly inside the element (its text and CDATA children), with
// blanks and control characters trimmed at both ends; empty for null.
QString Testo(const xmlNode *elemento);
QString Testo(const Nodo *elemento);

// A value from the file as a finding quotes it: past 100 characters, cut
// with an ellipsis (a text may be megabytes long).
QString Breve(const QString &testo);

// Calls fn on every element child with the local name, in order.
template <typename Fn> void PerOgniFiglio(const Nodo *padre, const char *nome, Fn &&fn)
{
    if (padre == nullptr)
        return;
    for (const Nodo *n = padre->figlio; n != nullptr; n = n->fratello)
        if (n->nome == nome)
            fn(n);
}

// --- Findings --------------------------------------------------------------

// The number of the published tables for the names below the root
// ("FatturaElettronicaBody", "DatiBeniServizi", ...), or empty.
QString NumeroCampo(const QStringList &nomi);

// Where a finding lies: the document's root, and whether its fields carry
// the published numbers (only the ordinary invoice 1.2 has them); libxml2's
// for the schema, the light tree for the content.
struct Luogo {
    const xmlNode *radice = nullptr;
    bool numerato = false;
};
struct LuogoAlbero {
    const AlberoFattura &albero;
    bool numerato = false;
    const Nodo *radice() const { return albero.radice(); }
};

// A finding about the element, or about its child named figlio when that is
// given (a missing one included): campo, percorso, corpo, riga and linea
// filled in; the rest is the caller's.
Rilievo RilievoSu(const Luogo &luogo, const xmlNode *elemento, const char *figlio = nullptr);
Rilievo RilievoSu(const LuogoAlbero &luogo, const Nodo *elemento, const char *figlio = nullptr);

// The file line the node starts on; 0 when not known.
int RigaDi(const xmlNode *nodo);
inline int RigaDi(const Nodo *nodo)
{
    return nodo == nullptr ? 0 : nodo->riga;
}

// The body (from 1) the element is in; 0 in the header.
int CorpoDi(const Luogo &luogo, const xmlNode *elemento);

// Qt's hashing of strings (QHash<QString, ...>, used inside Qt too) runs on
// 256-bit registers and can leave their upper halves dirty; libxml2, built
// for plain SSE, then runs about twice as slow on that thread (measured on
// this machine: validating the 5,000-line invoice took 57 ms instead of 25
// after one insert into a QHash<QString, QString>). One vzeroupper before
// libxml2's heavy work, and before handing the thread back, clears that.
inline void RegistriVettorialiPuliti()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        asm volatile("vzeroupper");
#endif
}

// --- The two levels ---------------------------------------------------------

// Validates the document against the schema; appends the first 50 errors as
// 00200 findings (and 00201 when there are more) and returns how many there
// were in all, or -1 when the validation itself failed.
int ControllaSchema(xmlSchema *schema, xmlDoc *documento, const Luogo &luogo, QList<Rilievo> &rilievi);

// The system's content checks, in one walk over the bodies.
void ControllaContenuto(FormatoFattura formato, const LuogoAlbero &luogo, QDate oggi, QList<Rilievo> &rilievi);
