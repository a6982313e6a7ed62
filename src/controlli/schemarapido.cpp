// The quick schema check: the schema file read into types, content models
// and facets, then a tree checked against them. Every "yes" must be one
// libxml2 would give too; a "no" only sends the document to libxml2.
#include "controlli/schemarapido.h"
#include "controlli/albero.h"
#include "controlli/schemiptr.h"

#include "invoice/xmlsicuro.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {
const std::string_view SpazioXsd = "http://www.w3.org/2001/XMLSchema";
const std::string_view SpazioXsi = "http://www.w3.org/2001/XMLSchema-instance";
const std::string_view SpazioFirma = "http://www.w3.org/2000/09/xmldsig#";

std::string_view vista(const xmlChar *s)
{
    return s == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char *>(s));
}

bool spazioXml(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// One character of well-formed UTF-8 (the reader checked the text).
char32_t carattere(std::string_view s, size_t &i)
{
    const auto b = static_cast<unsigned char>(s[i++]);
    if (b < 0x80)
        return b;
    const int seguiti = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> seguiti);
    for (int k = 0; k < seguiti && i < s.size(); ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return c;
}

// Two element names, told apart mostly by their length and their ends.
inline bool stessoNome(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && (a.empty() || (a.front() == b.front() && a.back() == b.back())) && a == b;
}

size_t caratteri(std::string_view s)
{
    size_t n = 0;
    for (const char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}
} // namespace

// --- Patterns ----------------------------------------------------------------

// Almost every pattern of the invoice schemas is a run of character sets,
// each repeated a number of times ([A-Z0-9]{11,16}, [\p{IsBasicLatin}]{1,80},
// [\-]?[0-9]{1,11}\.[0-9]{2}): matched here by a small backtracking search
// with a bound on its steps. Any other shape is libxml2's to match.
class SchemaRapido::Modello {
public:
    struct Insieme {
        std::vector<std::pair<char32_t, char32_t>> intervalli;
        bool negato = false;
        std::array<bool, 256> primi {}; // the answer for the first 256 characters, once read
        bool contiene(char32_t c) const
        {
            if (c < primi.size())
                return primi[c];
            bool dentro = false;
            for (const auto &[da, a] : intervalli)
                dentro = dentro || (c >= da && c <= a);
            return dentro != negato;
        }
        void concludi()
        {
            for (char32_t c = 0; c < primi.size(); ++c) {
                bool dentro = false;
                for (const auto &[da, a] : intervalli)
                    dentro = dentro || (c >= da && c <= a);
                primi[c] = dentro != negato;
            }
        }
    };
    struct Passo {
        Insieme insieme;
        int minimo = 1, massimo = 1; // -1: no bound
    };

    explicit Modello(const std::string &testo)
    {
        semplice_ = leggi(testo);
        if (!semplice_)
            regex_.reset(xmlRegexpCompile(reinterpret_cast<const xmlChar *>(testo.c_str())));
    }

    bool semplice() const { return semplice_; }

    bool accetta(std::string_view valore) const
    {
        if (!semplice_) {
            const std::string zero(valore);
            return regex_ && zero.size() == strlen(zero.c_str())
                && xmlRegexpExec(regex_.get(), reinterpret_cast<const xmlChar *>(zero.c_str())) == 1;
        }
        // Decoded once; on the stack for the usual short value.
        char32_t pila[256];
        std::u32string lungo;
        char32_t *s = pila;
        if (valore.size() > std::size(pila)) {
            lungo.resize(valore.size());
            s = lungo.data();
        }
        size_t n = 0;
        for (size_t i = 0; i < valore.size();) {
            s[n] = carattere(valore, i);
            // libxml2's expressions match no character XML forbids.
            if ((s[n] < 0x20 && s[n] != '\t' && s[n] != '\n' && s[n] != '\r') || (s[n] >= 0xD800 && s[n] <= 0xDFFF)
                || s[n] == 0xFFFE || s[n] == 0xFFFF || s[n] > 0x10FFFF)
                return false;
            ++n;
        }
        long passi = 0;
        return segue(s, n, 0, 0, passi);
    }

private:
    bool segue(const char32_t *s, size_t lunghezza, size_t passo, size_t da, long &passi) const
    {
        if (passo == passi_.size())
            return da == lunghezza;
        const Passo &p = passi_[passo];
        size_t k = 0;
        while ((p.massimo < 0 || k < static_cast<size_t>(p.massimo)) && da + k < lunghezza
            && p.insieme.contiene(s[da + k]))
            ++k;
        for (size_t n = k + 1; n-- > static_cast<size_t>(p.minimo);) {
            if (++passi > 100000)
                return false; // a value this hard is libxml2's to judge
            if (segue(s, lunghezza, passo + 1, da + n, passi))
                return true;
        }
        return false;
    }

    // \p{IsBasicLatin}, \p{IsLatin-1Supplement}: the two blocks the schemas name.
    static bool blocco(std::string_view nome, Insieme &insieme)
    {
        if (nome == "IsBasicLatin")
            insieme.intervalli.emplace_back(0, 0x7F);
        else if (nome == "IsLatin-1Supplement")
            insieme.intervalli.emplace_back(0x80, 0xFF);
        else
            return false;
        return true;
    }

    // After a backslash: a single character escape (\n \r \t and the
    // escaped metacharacters) as that character, or a block as a set; false
    // for anything else. singolo says which.
    static bool escape(std::string_view t, size_t &i, Insieme &insieme, char32_t &singolo)
    {
        if (i >= t.size())
            return false;
        const char c = t[i++];
        singolo = 0;
        if (c == 'p') {
            if (i >= t.size() || t[i] != '{')
                return false;
            const size_t chiusa = t.find('}', i);
            if (chiusa == std::string_view::npos)
                return false;
            const std::string_view nome = t.substr(i + 1, chiusa - i - 1);
            i = chiusa + 1;
            return blocco(nome, insieme);
        }
        if (c == 'n')
            singolo = '\n';
        else if (c == 'r')
            singolo = '\r';
        else if (c == 't')
            singolo = '\t';
        else if (std::strchr("\\|.-^?*+{}()[]", c) != nullptr)
            singolo = static_cast<unsigned char>(c);
        else
            return false;
        return true;
    }

    // [...]: characters, ranges, escapes and blocks; a leading ^ negates, a
    // dash first or last is itself.
    static bool insieme(std::string_view t, size_t &i, Insieme &ins)
    {
        ++i; // [
        if (i < t.size() && t[i] == '^') {
            ins.negato = true;
            ++i;
        }
        bool primo = true;
        while (i < t.size() && t[i] != ']') {
            if (t[i] == '[')
                return false; // a subtraction
            char32_t c = 0;
            if (t[i] == '\\') {
                ++i;
                if (!escape(t, i, ins, c))
                    return false;
                if (c == 0) { // a block
                    primo = false;
                    continue;
                }
            } else {
                c = carattere(t, i);
                if (c == '-' && !primo && i < t.size() && t[i] != ']')
                    return false;
            }
            if (i + 1 < t.size() && t[i] == '-' && t[i + 1] != ']') {
                ++i;
                char32_t fine = 0;
                if (t[i] == '\\') {
                    ++i;
                    Insieme nessuno;
                    if (!escape(t, i, nessuno, fine) || fine == 0)
                        return false;
                } else if (t[i] == '[') {
                    return false;
                } else {
                    fine = carattere(t, i);
                }
                if (fine < c)
                    return false;
                ins.intervalli.emplace_back(c, fine);
            } else {
                ins.intervalli.emplace_back(c, c);
            }
            primo = false;
        }
        if (i >= t.size() || ins.intervalli.empty())
            return false;
        ++i; // ]
        return true;
    }

    // ? * + {n} {n,} {n,m} after an atom.
    static bool quantita(std::string_view t, size_t &i, Passo &p)
    {
        if (i >= t.size())
            return true;
        if (t[i] == '?' || t[i] == '*' || t[i] == '+') {
            p.minimo = t[i] == '+' ? 1 : 0;
            p.massimo = t[i] == '?' ? 1 : -1;
            ++i;
            return true;
        }
        if (t[i] != '{')
            return true;
        const size_t chiusa = t.find('}', i);
        if (chiusa == std::string_view::npos)
            return false;
        const std::string dentro(t.substr(i + 1, chiusa - i - 1));
        i = chiusa + 1;
        const size_t virgola = dentro.find(',');
        const auto numero = [](const std::string &n, int &v) {
            if (n.empty() || n.size() > 6 || n.find_first_not_of("0123456789") != std::string::npos)
                return false;
            v = std::stoi(n);
            return true;
        };
        if (virgola == std::string::npos)
            return numero(dentro, p.minimo) && numero(dentro, p.massimo);
        if (!numero(dentro.substr(0, virgola), p.minimo))
            return false;
        if (virgola + 1 == dentro.size()) {
            p.massimo = -1;
            return true;
        }
        return numero(dentro.substr(virgola + 1), p.massimo) && p.massimo >= p.minimo;
    }

    bool leggi(std::string_view t)
    {
        // One group around everything, as in (\p{IsBasicLatin}{1,80}), is no group.
        if (t.size() >= 2 && t.front() == '(' && t.back() == ')')
            t = t.substr(1, t.size() - 2);
        for (size_t i = 0; i < t.size();) {
            Passo p;
            const char c = t[i];
            if (c == '[') {
                if (!insieme(t, i, p.insieme))
                    return false;
            } else if (c == '\\') {
                ++i;
                char32_t singolo = 0;
                if (!escape(t, i, p.insieme, singolo))
                    return false;
                if (singolo != 0)
                    p.insieme.intervalli.emplace_back(singolo, singolo);
            } else if (c == '.') {
                p.insieme.negato = true;
                p.insieme.intervalli = { { '\n', '\n' }, { '\r', '\r' } };
                ++i;
            } else if (std::strchr("()|?*+{}]^$", c) != nullptr) {
                return false;
            } else {
                const char32_t letterale = carattere(t, i);
                p.insieme.intervalli.emplace_back(letterale, letterale);
            }
            if (!quantita(t, i, p))
                return false;
            p.insieme.concludi();
            passi_.push_back(std::move(p));
        }
        return true;
    }

    bool semplice_ = false;
    std::vector<Passo> passi_;
    SchemiPtr<xmlRegexp> regex_;
};

std::shared_ptr<SchemaRapido::Modello> SchemaRapido::NuovoModello(const std::string &testo)
{
    return std::make_shared<Modello>(testo);
}

bool SchemaRapido::Accetta(const Modello &modello, std::string_view valore)
{
    return modello.accetta(valore);
}

bool SchemaRapido::Semplice(const Modello &modello)
{
    return modello.semplice();
}

// --- Simple types ---------------------------------------------------------------

namespace {
enum class Base { Stringa, StringaNormalizzata, Token, Decimale, Intero, Data, DataOra, Base64 };
enum class Spazi { Conserva, Sostituisci, Comprimi };

// The facets of one restriction; every step of a type's chain must hold.
struct Faccette {
    std::vector<std::string> enumerazione; // sorted
    std::vector<std::shared_ptr<SchemaRapido::Modello>> modelli; // any one of them
    long lunghezza = -1, minimo = -1, massimo = -1; // of the characters
    std::string minIncluso, maxIncluso, minEscluso, maxEscluso; // empty: none
    bool limiti = false; // any of those
};

struct TipoSemplice {
    Base base = Base::Stringa;
    Spazi spazi = Spazi::Conserva;
    std::vector<Faccette> passi;
};

// A decimal as sign, integer digits (no leading zeros) and fraction digits
// (no trailing ones): the lexical form libxml2 surely takes, at most 18
// significant digits; false for any other.
struct Numero {
    bool negativo = false;
    std::string_view intero, frazione; // views of the text read
};

bool numero(std::string_view v, bool soloIntero, Numero &n)
{
    size_t i = 0;
    if (i < v.size() && (v[i] == '+' || v[i] == '-'))
        n.negativo = v[i++] == '-';
    const size_t inizio = i;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9')
        ++i;
    if (i == inizio)
        return false;
    n.intero = v.substr(inizio, i - inizio);
    if (i < v.size()) {
        if (soloIntero || v[i] != '.')
            return false;
        const size_t punto = ++i;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9')
            ++i;
        if (i == punto || i != v.size())
            return false;
        n.frazione = v.substr(punto, i - punto);
    }
    n.intero.remove_prefix(std::min(n.intero.find_first_not_of('0'), n.intero.size()));
    // libxml2 keeps 24 digits past the leading zeros, the fraction's
    // trailing zeros included, and refuses a longer number.
    if (n.intero.size() + n.frazione.size() > 18)
        return false;
    while (!n.frazione.empty() && n.frazione.back() == '0')
        n.frazione.remove_suffix(1);
    if (n.intero.empty() && n.frazione.empty())
        n.negativo = false;
    return true;
}

int confronta(const Numero &a, const Numero &b)
{
    const auto assoluto = [](const Numero &x, const Numero &y) {
        if (x.intero.size() != y.intero.size())
            return x.intero.size() < y.intero.size() ? -1 : 1;
        if (const int c = x.intero.compare(y.intero))
            return c < 0 ? -1 : 1;
        const int c = x.frazione.compare(y.frazione);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    };
    if (a.negativo != b.negativo)
        return a.negativo ? -1 : 1;
    return a.negativo ? -assoluto(a, b) : assoluto(a, b);
}

bool cifre(std::string_view v, size_t da, size_t n, int &valore)
{
    if (da + n > v.size())
        return false;
    valore = 0;
    for (size_t i = da; i < da + n; ++i) {
        if (v[i] < '0' || v[i] > '9')
            return false;
        valore = valore * 10 + (v[i] - '0');
    }
    return true;
}

// YYYY-MM-DD, an existing day of a year from 0001 to 9999.
bool dataValida(std::string_view v)
{
    int anno = 0, mese = 0, giorno = 0;
    if (v.size() < 10 || !cifre(v, 0, 4, anno) || v[4] != '-' || !cifre(v, 5, 2, mese) || v[7] != '-'
        || !cifre(v, 8, 2, giorno) || anno == 0 || mese < 1 || mese > 12 || giorno < 1)
        return false;
    static const int giorni[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool bisestile = (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
    return giorno <= giorni[mese - 1] + (mese == 2 && bisestile ? 1 : 0);
}

// YYYY-MM-DDThh:mm:ss, with up to 9 decimals of seconds and a zone (Z or
// +hh:mm below 14 hours) or none.
bool dataOraValida(std::string_view v)
{
    int h = 0, m = 0, s = 0;
    if (v.size() < 19 || !dataValida(v.substr(0, 10)) || v[10] != 'T' || !cifre(v, 11, 2, h) || v[13] != ':'
        || !cifre(v, 14, 2, m) || v[16] != ':' || !cifre(v, 17, 2, s) || h > 23 || m > 59 || s > 59)
        return false;
    size_t i = 19;
    if (i < v.size() && v[i] == '.') {
        const size_t da = ++i;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9')
            ++i;
        if (i == da || i - da > 9)
            return false;
    }
    if (i == v.size())
        return true;
    if (v[i] == 'Z')
        return i + 1 == v.size();
    int zh = 0, zm = 0;
    return (v[i] == '+' || v[i] == '-') && i + 6 == v.size() && cifre(v, i + 1, 2, zh) && v[i + 3] == ':'
        && cifre(v, i + 4, 2, zm) && zh < 14 && zm < 60;
}

int valore64(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return c == '=' ? 64 : -1;
}

// base64Binary as libxml2 takes it: characters outside the alphabet are
// passed over, padding only at the end, and the bits it pads are zero.
bool base64(std::string_view v)
{
    size_t i = 0, dati = 0, riempimento = 0;
    int ultimo = -1;
    for (; i < v.size(); ++i) {
        const int d = valore64(v[i]);
        if (d == 64)
            break;
        if (d >= 0) {
            ++dati;
            ultimo = d;
        }
    }
    for (; i < v.size(); ++i) {
        const int d = valore64(v[i]);
        if (d >= 0 && d < 64)
            return false;
        riempimento += d == 64;
    }
    if (riempimento == 0)
        return dati % 4 == 0;
    if (riempimento == 1)
        return dati % 4 == 3 && (ultimo & ~0x3c) == 0;
    if (riempimento == 2)
        return dati % 4 == 2 && (ultimo & ~0x30) == 0;
    return false;
}

// Whether the whitespace processing would change the value.
bool daTrattare(std::string_view v, Spazi spazi)
{
    if (spazi == Spazi::Conserva)
        return false;
    for (size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '\t' || c == '\n' || c == '\r')
            return true;
        if (c == ' ' && spazi == Spazi::Comprimi && (i == 0 || i + 1 == v.size() || v[i + 1] == ' '))
            return true;
    }
    return false;
}

std::string spaziTrattati(std::string_view v, Spazi spazi)
{
    std::string r;
    r.reserve(v.size());
    if (spazi == Spazi::Conserva)
        return std::string(v);
    for (const char c : v)
        r += spazioXml(c) ? ' ' : c;
    if (spazi == Spazi::Sostituisci)
        return r;
    std::string compresso;
    compresso.reserve(r.size());
    for (const char c : r)
        if (c != ' ' || (!compresso.empty() && compresso.back() != ' '))
            compresso += c;
    if (!compresso.empty() && compresso.back() == ' ')
        compresso.pop_back();
    return compresso;
}

bool valoreValido(std::string_view testo, const TipoSemplice &t)
{
    // An attachment of megabytes is checked as it stands: the blanks that
    // collapsing would change are passed over anyway.
    if (t.base == Base::Base64 && std::all_of(t.passi.begin(), t.passi.end(), [](const Faccette &f) {
            return f.enumerazione.empty() && f.modelli.empty();
        }))
        return base64(testo);
    std::string trattato;
    std::string_view v = testo;
    if (daTrattare(testo, t.spazi)) {
        trattato = spaziTrattati(testo, t.spazi);
        v = trattato;
    }
    Numero n;
    switch (t.base) {
    case Base::Decimale:
    case Base::Intero:
        if (!numero(v, t.base == Base::Intero, n))
            return false;
        break;
    case Base::Data:
        if (v.size() != 10 || !dataValida(v))
            return false;
        break;
    case Base::DataOra:
        if (!dataOraValida(v))
            return false;
        break;
    case Base::Base64:
        if (!base64(v))
            return false;
        break;
    case Base::Stringa:
    case Base::StringaNormalizzata:
    case Base::Token:
        break;
    }
    const auto limite = [&](const std::string &l, int segno, bool incluso) {
        if (l.empty())
            return true;
        int c = 0;
        if (t.base == Base::Data) {
            c = v.compare(l);
        } else {
            Numero m;
            if (!numero(l, false, m))
                return false;
            c = confronta(n, m);
        }
        c = c < 0 ? -1 : c > 0 ? 1 : 0;
        return c == segno || (incluso && c == 0);
    };
    const size_t lunghezza = caratteri(v);
    for (const Faccette &f : t.passi) {
        if (!f.enumerazione.empty()
            && !std::binary_search(f.enumerazione.begin(), f.enumerazione.end(), v, std::less<>()))
            return false;
        if ((f.lunghezza >= 0 && lunghezza != static_cast<size_t>(f.lunghezza))
            || (f.minimo >= 0 && lunghezza < static_cast<size_t>(f.minimo))
            || (f.massimo >= 0 && lunghezza > static_cast<size_t>(f.massimo)))
            return false;
        if (f.limiti
            && (!limite(f.minIncluso, 1, true) || !limite(f.maxIncluso, -1, true) || !limite(f.minEscluso, 1, false)
                || !limite(f.maxEscluso, -1, false)))
            return false;
        if (!f.modelli.empty() && std::none_of(f.modelli.begin(), f.modelli.end(), [&](const auto &m) {
                return SchemaRapido::Accetta(*m, v);
            }))
            return false;
    }
    return true;
}

// --- Complex types ------------------------------------------------------------

struct TipoComplesso;

struct Particella {
    enum Genere { Elemento, Sequenza, Scelta, Firma } genere = Elemento;
    std::string nome; // an element's
    std::string tipo; // an element's type, until resolved
    std::string predefinito; // an element's default, the value of an empty one
    const TipoSemplice *semplice = nullptr;
    const TipoComplesso *complesso = nullptr;
    int minimo = 1, massimo = 1; // -1: no bound
    std::vector<Particella> figli;
    std::set<std::string, std::less<>> primi; // the names an occurrence may start with
    bool vuota = false; // one occurrence may hold nothing
};

struct Attributo {
    std::string nome, tipo;
    const TipoSemplice *semplice = nullptr;
    bool richiesto = false;
};

struct TipoComplesso {
    bool conModello = false;
    Particella modello;
    std::vector<Attributo> attributi;
};
} // namespace

struct SchemaRapido::Dati {
    bool pronto = false;
    std::string spazio; // the target namespace
    std::string radice, tipoRadice; // the global element
    std::map<std::string, TipoSemplice, std::less<>> semplici;
    std::map<std::string, TipoComplesso, std::less<>> complessi;
    const TipoComplesso *complessoRadice = nullptr;
    std::vector<std::unique_ptr<TipoSemplice>> incorporati; // the built-in types, by need

    // --- Reading the schema --------------------------------------------------

    static bool xsd(const xmlNode *n, const char *nome)
    {
        return n->type == XML_ELEMENT_NODE && n->ns != nullptr && vista(n->ns->href) == SpazioXsd
            && vista(n->name) == nome;
    }
    static std::string attributo(const xmlNode *n, const char *nome)
    {
        xmlChar *v = xmlGetNoNsProp(n, reinterpret_cast<const xmlChar *>(nome));
        std::string s(vista(v));
        xmlFree(v);
        return s;
    }
    // Only the attributes named: any other changes the meaning.
    static bool soloAttributi(const xmlNode *n, std::initializer_list<const char *> ammessi)
    {
        for (const xmlAttr *a = n->properties; a != nullptr; a = a->next)
            if (a->ns != nullptr
                || std::none_of(ammessi.begin(), ammessi.end(), [&](const char *x) { return vista(a->name) == x; }))
                return false;
        return true;
    }
    static bool occorrenze(const xmlNode *n, int &minimo, int &massimo)
    {
        const std::string mi = attributo(n, "minOccurs"), ma = attributo(n, "maxOccurs");
        const auto intero = [](const std::string &s, int &v) {
            if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
                return false;
            v = std::stoi(s);
            return true;
        };
        if (!mi.empty() && !intero(mi, minimo))
            return false;
        if (ma == "unbounded")
            massimo = -1;
        else if (!ma.empty() && !intero(ma, massimo))
            return false;
        return massimo < 0 || massimo >= minimo;
    }
    // A QName of the schema: "xs:string" as "#string", a type of the target
    // namespace by its name; empty for anything else.
    std::string nomeTipo(const xmlNode *n, const std::string &qname) const
    {
        const size_t due = qname.find(':');
        const std::string prefisso = due == std::string::npos ? std::string() : qname.substr(0, due);
        const std::string locale = due == std::string::npos ? qname : qname.substr(due + 1);
        const xmlNs *ns = xmlSearchNs(n->doc, const_cast<xmlNode *>(n),
            prefisso.empty() ? nullptr : reinterpret_cast<const xmlChar *>(prefisso.c_str()));
        const std::string_view uri = ns == nullptr ? std::string_view() : vista(ns->href);
        if (uri == SpazioXsd)
            return '#' + locale;
        return uri == spazio ? locale : std::string();
    }

    bool particella(const xmlNode *n, Particella &p)
    {
        if (!occorrenze(n, p.minimo, p.massimo))
            return false;
        if (xsd(n, "element")) {
            for (const xmlNode *c = n->children; c != nullptr; c = c->next)
                if (c->type == XML_ELEMENT_NODE && !xsd(c, "annotation"))
                    return false; // a type written inside
            if (!soloAttributi(n, { "name", "type", "ref", "minOccurs", "maxOccurs", "default" }))
                return false;
            p.predefinito = attributo(n, "default");
            const std::string ref = attributo(n, "ref");
            if (!ref.empty()) {
                const size_t due = ref.find(':');
                const xmlNs *ns = due == std::string::npos
                    ? nullptr
                    : xmlSearchNs(n->doc, const_cast<xmlNode *>(n),
                        reinterpret_cast<const xmlChar *>(ref.substr(0, due).c_str()));
                if (ns == nullptr || vista(ns->href) != SpazioFirma || ref.substr(due + 1) != "Signature")
                    return false;
                p.genere = Particella::Firma;
                p.nome = "Signature";
                return true;
            }
            p.genere = Particella::Elemento;
            p.nome = attributo(n, "name");
            p.tipo = nomeTipo(n, attributo(n, "type"));
            return !p.nome.empty() && !p.tipo.empty();
        }
        if (!xsd(n, "sequence") && !xsd(n, "choice"))
            return false;
        if (!soloAttributi(n, { "minOccurs", "maxOccurs" }))
            return false;
        p.genere = xsd(n, "sequence") ? Particella::Sequenza : Particella::Scelta;
        for (const xmlNode *c = n->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE || xsd(c, "annotation"))
                continue;
            p.figli.emplace_back();
            if (!particella(c, p.figli.back()))
                return false;
        }
        return true;
    }

    bool complesso(const xmlNode *n, TipoComplesso &t)
    {
        if (!soloAttributi(n, { "name" }))
            return false;
        for (const xmlNode *c = n->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE || xsd(c, "annotation"))
                continue;
            if (xsd(c, "attribute")) {
                if (!soloAttributi(c, { "name", "type", "use" }))
                    return false;
                Attributo a { attributo(c, "name"), nomeTipo(c, attributo(c, "type")), nullptr,
                    attributo(c, "use") == "required" };
                const std::string uso = attributo(c, "use");
                if (a.nome.empty() || a.tipo.empty() || (!uso.empty() && uso != "required" && uso != "optional"))
                    return false;
                t.attributi.push_back(a);
            } else if (!t.conModello && (xsd(c, "sequence") || xsd(c, "choice"))) {
                t.conModello = true;
                if (!particella(c, t.modello))
                    return false;
            } else {
                return false;
            }
        }
        return true;
    }

    bool semplice(const xmlNode *n, TipoSemplice &t, std::string &base)
    {
        if (!soloAttributi(n, { "name" }))
            return false;
        const xmlNode *r = nullptr;
        for (const xmlNode *c = n->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE || xsd(c, "annotation"))
                continue;
            if (r != nullptr || !xsd(c, "restriction"))
                return false;
            r = c;
        }
        if (r == nullptr || !soloAttributi(r, { "base" }))
            return false;
        base = nomeTipo(r, attributo(r, "base"));
        if (base.empty())
            return false;
        Faccette f;
        for (const xmlNode *c = r->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE || xsd(c, "annotation"))
                continue;
            if (!soloAttributi(c, { "value" }))
                return false;
            const std::string v = attributo(c, "value");
            const auto lunghezza = [&v](long &l) {
                if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
                    return false;
                l = std::stol(v);
                return true;
            };
            bool ok = true;
            if (xsd(c, "enumeration"))
                f.enumerazione.push_back(v);
            else if (xsd(c, "pattern"))
                f.modelli.push_back(NuovoModello(v));
            else if (xsd(c, "length"))
                ok = lunghezza(f.lunghezza);
            else if (xsd(c, "minLength"))
                ok = lunghezza(f.minimo);
            else if (xsd(c, "maxLength"))
                ok = lunghezza(f.massimo);
            else if (xsd(c, "minInclusive"))
                f.minIncluso = v;
            else if (xsd(c, "maxInclusive"))
                f.maxIncluso = v;
            else if (xsd(c, "minExclusive"))
                f.minEscluso = v;
            else if (xsd(c, "maxExclusive"))
                f.maxEscluso = v;
            else if (xsd(c, "whiteSpace"))
                ok = v == "replace" || v == "collapse"; // preserve changes nothing of a base that preserves
            else
                ok = false;
            if (!ok)
                return false;
            if (xsd(c, "whiteSpace"))
                t.spazi = v == "collapse" ? Spazi::Comprimi : Spazi::Sostituisci;
        }
        std::sort(f.enumerazione.begin(), f.enumerazione.end());
        f.limiti = !f.minIncluso.empty() || !f.maxIncluso.empty() || !f.minEscluso.empty() || !f.maxEscluso.empty();
        t.passi.push_back(std::move(f));
        return true;
    }

    // A built-in type as a simple type of its own; null when unknown.
    const TipoSemplice *incorporato(const std::string &nome)
    {
        static const std::pair<const char *, std::pair<Base, Spazi>> noti[] = {
            { "#string", { Base::Stringa, Spazi::Conserva } },
            { "#normalizedString", { Base::StringaNormalizzata, Spazi::Sostituisci } },
            { "#token", { Base::Token, Spazi::Comprimi } },
            { "#decimal", { Base::Decimale, Spazi::Comprimi } },
            { "#integer", { Base::Intero, Spazi::Comprimi } },
            { "#date", { Base::Data, Spazi::Comprimi } },
            { "#dateTime", { Base::DataOra, Spazi::Comprimi } },
            { "#base64Binary", { Base::Base64, Spazi::Comprimi } },
        };
        for (const auto &[n, bs] : noti)
            if (nome == n) {
                incorporati.push_back(std::make_unique<TipoSemplice>());
                incorporati.back()->base = bs.first;
                incorporati.back()->spazi = bs.second;
                return incorporati.back().get();
            }
        return nullptr;
    }

    // A simple type's chain: its base's steps first; whitespace from the
    // most derived that sets it; facets the base type cannot carry refused.
    bool risolviSemplice(const std::string &nome, std::map<std::string, std::string> &basi,
        std::set<std::string> &fatti, int profondita = 0)
    {
        if (fatti.count(nome) > 0)
            return true;
        if (profondita > 32)
            return false;
        TipoSemplice &t = semplici.at(nome);
        const std::string &base = basi.at(nome);
        const TipoSemplice *padre = nullptr;
        if (base[0] == '#') {
            padre = incorporato(base);
        } else if (semplici.count(base) > 0) {
            if (!risolviSemplice(base, basi, fatti, profondita + 1))
                return false;
            padre = &semplici.at(base);
        }
        if (padre == nullptr)
            return false;
        const bool proprie = t.spazi != Spazi::Conserva;
        const Spazi mie = t.spazi;
        std::vector<Faccette> passi = padre->passi;
        passi.insert(passi.end(), t.passi.begin(), t.passi.end());
        t.passi = std::move(passi);
        t.base = padre->base;
        t.spazi = proprie ? mie : padre->spazi;
        const bool numerica = t.base == Base::Decimale || t.base == Base::Intero;
        for (const Faccette &f : t.passi) {
            if (!f.enumerazione.empty() && t.base != Base::Stringa && t.base != Base::StringaNormalizzata
                && t.base != Base::Token)
                return false;
            if ((f.lunghezza >= 0 || f.minimo >= 0 || f.massimo >= 0) && (numerica || t.base == Base::Base64))
                return false;
            const bool limiti
                = !f.minIncluso.empty() || !f.maxIncluso.empty() || !f.minEscluso.empty() || !f.maxEscluso.empty();
            if (limiti && !numerica && t.base != Base::Data)
                return false;
            for (const std::string *l : { &f.minIncluso, &f.maxIncluso, &f.minEscluso, &f.maxEscluso }) {
                Numero n;
                if (!l->empty() && ((numerica && !numero(*l, false, n)) || (t.base == Base::Data && !dataValida(*l))))
                    return false;
            }
        }
        // A collapsing or replacing base cannot be made to preserve.
        if (padre->spazi != Spazi::Conserva && t.spazi == Spazi::Conserva)
            return false;
        fatti.insert(nome);
        return true;
    }

    bool risolviParticella(Particella &p)
    {
        if (p.genere == Particella::Elemento) {
            if (p.tipo[0] == '#')
                p.semplice = incorporato(p.tipo);
            else if (semplici.count(p.tipo) > 0)
                p.semplice = &semplici.at(p.tipo);
            else if (complessi.count(p.tipo) > 0)
                p.complesso = &complessi.at(p.tipo);
            if ((p.semplice == nullptr && p.complesso == nullptr) || (p.complesso != nullptr && !p.predefinito.empty()))
                return false;
            p.primi = { p.nome };
            p.vuota = false;
        } else if (p.genere == Particella::Firma) {
            p.primi = { p.nome };
            p.vuota = false;
        } else {
            bool tutte = true, qualcuna = false;
            for (Particella &f : p.figli) {
                if (!risolviParticella(f))
                    return false;
                const bool vuota = f.vuota || f.minimo == 0;
                if (p.genere == Particella::Scelta || tutte)
                    p.primi.insert(f.primi.begin(), f.primi.end());
                tutte = tutte && vuota;
                qualcuna = qualcuna || vuota;
            }
            p.vuota = p.genere == Particella::Sequenza ? tutte : (qualcuna || p.figli.empty());
        }
        return true;
    }

    bool leggi(const QString &file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        QString errore;
        const DocumentoXml doc = CaricaXmlSicuro(f.readAll(), errore);
        const xmlNode *schema = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
        if (schema == nullptr || !xsd(schema, "schema"))
            return false;
        spazio = attributo(schema, "targetNamespace");
        const std::string forma = attributo(schema, "elementFormDefault");
        const std::string formaAttributi = attributo(schema, "attributeFormDefault");
        if (spazio.empty() || (!forma.empty() && forma != "unqualified")
            || (!formaAttributi.empty() && formaAttributi != "unqualified"))
            return false;
        std::map<std::string, std::string> basi;
        for (const xmlNode *c = schema->children; c != nullptr; c = c->next) {
            if (c->type != XML_ELEMENT_NODE || xsd(c, "annotation") || xsd(c, "import"))
                continue;
            const std::string nome = attributo(c, "name");
            if (xsd(c, "element")) {
                if (!radice.empty() || !soloAttributi(c, { "name", "type" }))
                    return false;
                radice = nome;
                tipoRadice = nomeTipo(c, attributo(c, "type"));
            } else if (xsd(c, "complexType")) {
                if (nome.empty() || complessi.count(nome) > 0 || !complesso(c, complessi[nome]))
                    return false;
            } else if (xsd(c, "simpleType")) {
                if (nome.empty() || semplici.count(nome) > 0 || !semplice(c, semplici[nome], basi[nome]))
                    return false;
            } else {
                return false;
            }
        }
        std::set<std::string> fatti;
        for (const auto &[nome, tipo] : semplici)
            if (!risolviSemplice(nome, basi, fatti))
                return false;
        for (auto &[nome, tipo] : complessi) {
            if (tipo.conModello && !risolviParticella(tipo.modello))
                return false;
            for (Attributo &a : tipo.attributi) {
                a.semplice = a.tipo[0] == '#'    ? incorporato(a.tipo)
                    : semplici.count(a.tipo) > 0 ? &semplici.at(a.tipo)
                                                 : nullptr;
                if (a.semplice == nullptr)
                    return false;
            }
        }
        const auto it = complessi.find(tipoRadice);
        if (radice.empty() || it == complessi.end())
            return false;
        complessoRadice = &it->second;
        return true;
    }

    // --- Checking a tree ---------------------------------------------------------

    bool elemento(const Nodo *n, const Particella &p) const
    {
        if (n->prefisso || n->attributi)
            return false; // in a namespace, or with attributes none of these elements has
        if (p.semplice != nullptr)
            return n->figlio == nullptr
                && valoreValido(n->testo.empty() ? std::string_view(p.predefinito) : n->testo, *p.semplice);
        // Without attributes, one its type requires would be missing.
        return std::none_of(p.complesso->attributi.begin(), p.complesso->attributi.end(), [](const Attributo &a) {
            return a.richiesto;
        }) && contenuto(n, *p.complesso);
    }

    bool contenuto(const Nodo *n, const TipoComplesso &t) const
    {
        // Blanks alone in an element that may hold nothing are text to
        // libxml2 (an empty content type takes none): its to judge.
        if ((n->figlio == nullptr && !n->testo.empty()) || !std::all_of(n->testo.begin(), n->testo.end(), spazioXml))
            return false;
        const Nodo *c = n->figlio;
        if (t.conModello && !consuma(t.modello, c))
            return false;
        return c == nullptr;
    }

    // As many occurrences as the children allow, from c on.
    bool consuma(const Particella &p, const Nodo *&c) const
    {
        int volte = 0;
        const bool uno = p.genere == Particella::Elemento || p.genere == Particella::Firma;
        while (p.massimo < 0 || volte < p.massimo) {
            if (c == nullptr || (uno ? !stessoNome(c->nome, p.nome) : p.primi.find(c->nome) == p.primi.end()))
                break;
            const Nodo *prima = c;
            if (!unaVolta(p, c))
                return false;
            ++volte;
            if (c == prima)
                break;
        }
        return volte >= p.minimo || p.vuota;
    }

    bool unaVolta(const Particella &p, const Nodo *&c) const
    {
        switch (p.genere) {
        case Particella::Elemento:
            if (!elemento(c, p))
                return false;
            c = c->fratello;
            return true;
        case Particella::Firma:
            return false; // the signature's schema is libxml2's
        case Particella::Sequenza:
            return std::all_of(p.figli.begin(), p.figli.end(), [&](const Particella &f) { return consuma(f, c); });
        case Particella::Scelta:
            for (const Particella &f : p.figli)
                if (c != nullptr && f.primi.find(c->nome) != f.primi.end())
                    return consuma(f, c);
            return p.vuota;
        }
        return false;
    }

    bool attributiRadice(const AlberoFattura &albero) const
    {
        std::vector<bool> visti(complessoRadice->attributi.size());
        for (const auto &coppia : albero.attributiRadice()) {
            const std::string &nome = coppia.first, &valore = coppia.second;
            const size_t due = nome.find(':');
            if (due != std::string::npos) {
                // xsi:schemaLocation and the like, which libxml2 reads no further
                // when it has its schema: only a plain address list is sure.
                const std::string prefisso = nome.substr(0, due), locale = nome.substr(due + 1);
                const auto &d = albero.dichiarazioniRadice();
                const auto ns = std::find_if(d.begin(), d.end(), [&](const auto &x) { return x.first == prefisso; });
                if (ns == d.end() || ns->second != SpazioXsi
                    || (locale != "schemaLocation" && locale != "noNamespaceSchemaLocation")
                    || !std::all_of(valore.begin(), valore.end(), [](char c) {
                           return c > ' ' ? c < 0x7f && std::strchr("<>\"{}|\\^`", c) == nullptr : c == ' ';
                       }))
                    return false;
                continue;
            }
            const auto a = std::find_if(complessoRadice->attributi.begin(), complessoRadice->attributi.end(),
                [&](const Attributo &x) { return x.nome == nome; });
            if (a == complessoRadice->attributi.end() || !valoreValido(valore, *a->semplice))
                return false;
            visti[static_cast<size_t>(a - complessoRadice->attributi.begin())] = true;
        }
        for (size_t i = 0; i < visti.size(); ++i)
            if (complessoRadice->attributi[i].richiesto && !visti[i])
                return false;
        return true;
    }

    bool valido(const AlberoFattura &albero) const
    {
        const Nodo *r = albero.radice();
        return pronto && r != nullptr && r->nome == radice && albero.spazioRadice() == spazio
            && albero.soloSenzaSpazio() && attributiRadice(albero) && contenuto(r, *complessoRadice);
    }
};

SchemaRapido::SchemaRapido(const QString &file)
    : d_(std::make_unique<Dati>())
{
    d_->pronto = d_->leggi(file);
}

SchemaRapido::~SchemaRapido() = default;

bool SchemaRapido::pronto() const
{
    return d_->pronto;
}

bool SchemaRapido::valido(const AlberoFattura &albero) const
{
    return d_->valido(albero);
}
