// The quick reader: the usual shape of an invoice read in one pass over the
// bytes, without building a tree. It only says yes to what it fully
// understands and libxml2 reads in the same way: a strict subset of XML
// (see documento_p.h). Anything else, well-formed or not, is refused and
// read by the tree, which then gives the same values or the same message.
#include "invoice/documento_p.h"

#include "common/testopiano.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {
// No deeper, no longer names, no more attributes in one tag: the tree reads
// the rare documents beyond.
constexpr size_t kProfonditaMassima = 200;
constexpr qsizetype kNomeMassimo = 1000;
constexpr size_t kAttributiMassimi = 32;

// The bytes a name may start with, and the blanks (the rest of a name: FineNome).
enum Classe : unsigned char {
    InizioNome = 1,
    Spazio = 4,
};

constexpr std::array<unsigned char, 256> classi()
{
    std::array<unsigned char, 256> c {};
    for (const unsigned char spazio : { ' ', '\t', '\n', '\r' })
        c[spazio] = Spazio;
    for (int b = 'a'; b <= 'z'; ++b)
        c[b] |= InizioNome;
    for (int b = 'A'; b <= 'Z'; ++b)
        c[b] |= InizioNome;
    c['_'] |= InizioNome;
    return c;
}
constexpr std::array<unsigned char, 256> kClassi = classi();

bool carattereXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

void aggiungiUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class Lettore final {
public:
    Lettore(QByteArrayView bytes, DocumentoFattura::Dati &dati, OsservatoreLettura *osservatore)
        : p_(reinterpret_cast<const unsigned char *>(bytes.data()))
        , fine_(p_ + bytes.size())
        , dati_(dati)
        , osservatore_(osservatore)
    {
    }

    bool leggi()
    {
        if (resta(3) && p_[0] == 0xEF && p_[1] == 0xBB && p_[2] == 0xBF)
            p_ += 3;
        if (segue("<?xml") && resta(6) && (kClassi[p_[5]] & Spazio) && !dichiarazione())
            return false;
        spazi();
        if (!apriTag(true))
            return false;
        while (!aperti_.empty()) {
            if (p_ == fine_)
                return false;
            if (*p_ != '<') {
                if (!testo())
                    return false;
            } else if (resta(2) && p_[1] == '/') {
                if (!chiudiTag())
                    return false;
            } else if (!apriTag(false)) {
                return false;
            }
        }
        spazi();
        return p_ == fine_;
    }

private:
    struct Aperto {
        std::string_view nome; // as written, prefix included
        unsigned char usi;
        bool conTesto;
    };

    bool resta(qsizetype n) const { return fine_ - p_ >= n; }
    // Past the plain bytes from here.
    template <bool TabELf, char... Fermate> void oltrePiani()
    {
        p_ = reinterpret_cast<const unsigned char *>(PrimoNonPiano<TabELf, Fermate...>(
            reinterpret_cast<const char *>(p_), reinterpret_cast<const char *>(fine_)));
    }
    bool segue(std::string_view s) const
    {
        return resta(static_cast<qsizetype>(s.size()))
            && std::string_view(reinterpret_cast<const char *>(p_), s.size()) == s;
    }
    bool spazi()
    {
        const unsigned char *da = p_;
        while (p_ != fine_ && (kClassi[*p_] & Spazio))
            ++p_;
        return p_ != da;
    }
    std::string_view da(const unsigned char *inizio) const
    {
        return std::string_view(reinterpret_cast<const char *>(inizio), static_cast<size_t>(p_ - inizio));
    }

    // A name of ASCII letters, digits, "_", "-" and ".", with at most one
    // ":" between two such names; its local part is what follows the ":".
    bool nome(std::string_view &intero, std::string_view &locale)
    {
        const unsigned char *inizio = p_;
        const unsigned char *inizioLocale = p_;
        for (int parte = 0;; ++parte) {
            if (p_ == fine_ || !(kClassi[*p_] & InizioNome))
                return false;
            p_ = reinterpret_cast<const unsigned char *>(
                FineNome(reinterpret_cast<const char *>(p_ + 1), reinterpret_cast<const char *>(fine_)));
            if (parte > 0 || p_ == fine_ || *p_ != ':')
                break;
            ++p_;
            inizioLocale = p_;
        }
        if (p_ - inizio > kNomeMassimo)
            return false;
        intero = da(inizio);
        locale = da(inizioLocale);
        return p_ != fine_ && *p_ != ':';
    }

    // S? "=" S? and a quoted value of plain ASCII (no references).
    bool valore(std::string_view &testo)
    {
        spazi();
        if (p_ == fine_ || *p_ != '=')
            return false;
        ++p_;
        spazi();
        if (p_ == fine_ || (*p_ != '"' && *p_ != '\''))
            return false;
        const unsigned char virgolette = *p_++;
        const unsigned char *inizio = p_;
        oltrePiani<true, '<', '&', '"', '\''>();
        if (p_ == fine_ || *p_ != virgolette)
            return false;
        testo = da(inizio);
        ++p_;
        return true;
    }

    // <?xml version="1.0" encoding="UTF-8" standalone="yes"?>, the last two
    // optional, the encoding only UTF-8.
    bool dichiarazione()
    {
        p_ += 5;
        std::string_view intero, locale, testo;
        if (!spazi() || !nome(intero, locale) || intero != "version" || !valore(testo) || testo != "1.0")
            return false;
        bool spazio = spazi();
        if (spazio && segue("encoding")) {
            if (!nome(intero, locale) || intero != "encoding" || !valore(testo) || !nomeUtf8(testo))
                return false;
            spazio = spazi();
        }
        if (spazio && segue("standalone")) {
            if (!nome(intero, locale) || intero != "standalone" || !valore(testo) || (testo != "yes" && testo != "no"))
                return false;
            spazi();
        }
        if (!segue("?>"))
            return false;
        p_ += 2;
        return true;
    }
    static bool nomeUtf8(std::string_view t)
    {
        if (t.size() != 5)
            return false;
        for (size_t i = 0; i < 5; ++i)
            if ((t[i] >= 'a' && t[i] <= 'z' ? t[i] - ('a' - 'A') : t[i]) != "UTF-8"[i])
                return false;
        return true;
    }

    bool apriTag(bool radice)
    {
        if (p_ == fine_ || *p_ != '<')
            return false;
        ++p_;
        std::string_view intero, locale;
        if (!nome(intero, locale))
            return false;
        const bool conPrefisso = intero.size() != locale.size();
        const std::string_view prefisso = intero.substr(0, conPrefisso ? intero.size() - locale.size() - 1 : 0);
        attributi_.clear();
        osservati_.clear();
        bool prefissoDichiarato = false;
        bool vuoto = false;
        for (;;) {
            const bool spazio = spazi();
            if (p_ != fine_ && *p_ == '>') {
                ++p_;
                break;
            }
            if (segue("/>")) {
                p_ += 2;
                vuoto = true;
                break;
            }
            std::string_view interoAttributo, localeAttributo, testo;
            if (!spazio || attributi_.size() == kAttributiMassimi || !nome(interoAttributo, localeAttributo)
                || !valore(testo))
                return false;
            // Two attributes with one local name may clash once their
            // prefixes are resolved: left to the tree.
            if (std::find(attributi_.begin(), attributi_.end(), localeAttributo) != attributi_.end())
                return false;
            attributi_.push_back(localeAttributo);
            if (osservatore_ != nullptr)
                osservati_.push_back({ interoAttributo, testo });
            if (conPrefisso && interoAttributo.size() == prefisso.size() + 6 && interoAttributo.substr(0, 6) == "xmlns:"
                && localeAttributo == prefisso)
                prefissoDichiarato = !testo.empty() && testo != "http://www.w3.org/XML/1998/namespace"
                    && testo != "http://www.w3.org/2000/xmlns/";
        }
        if (radice) {
            // The parser names the root by its local name only when its
            // prefix is bound there; the reserved prefixes are the tree's.
            if (conPrefisso && (!prefissoDichiarato || prefisso == "xml" || prefisso == "xmlns"))
                return false;
            dati_.nomeRadice = QByteArray(locale.data(), static_cast<qsizetype>(locale.size()));
        }
        // A text is wanted only from an element without elements inside.
        if (aperti_.size() >= kProfonditaMassima || (!aperti_.empty() && (aperti_.back().usi & PercorsiFattura::Testi)))
            return false;
        const unsigned char usi = dati_.apri(locale);
        if (osservatore_ != nullptr)
            osservatore_->apri(intero, osservati_);
        if (vuoto) {
            dati_.chiudi(QByteArrayView(), true, false);
            if (osservatore_ != nullptr)
                osservatore_->chiudi();
        } else {
            aperti_.push_back({ intero, usi, false });
        }
        testo_.truncate(0);
        return true;
    }

    // The name must be the open element's, and end there.
    bool chiudiTag()
    {
        p_ += 2;
        const std::string_view atteso = aperti_.back().nome;
        if (!segue(atteso))
            return false;
        p_ += atteso.size();
        // The name ends there: a byte that would go on with it is neither a blank nor '>'.
        spazi();
        if (p_ == fine_ || *p_ != '>')
            return false;
        ++p_;
        const Aperto a = aperti_.back();
        aperti_.pop_back();
        qsizetype b = 0, e = testo_.size();
        while (b < e && static_cast<unsigned char>(testo_[b]) <= 0x20)
            ++b;
        while (e > b && static_cast<unsigned char>(testo_[e - 1]) <= 0x20)
            --e;
        dati_.chiudi(QByteArrayView(testo_).sliced(b, e - b), true, a.conTesto);
        testo_.truncate(0);
        if (osservatore_ != nullptr)
            osservatore_->chiudi();
        return true;
    }

    // Up to the next tag: plain bytes, line ends made LF, references and
    // UTF-8 sequences checked and decoded. Kept only when wanted; for an
    // element whose texts count only when they are not blank, that is noted.
    bool testo()
    {
        Aperto &a = aperti_.back();
        const bool raccogli = a.usi & PercorsiFattura::Testi;
        const bool guarda = a.usi & PercorsiFattura::Presenza;
        while (p_ != fine_ && *p_ != '<') {
            const unsigned char *inizio = p_;
            oltrePiani<true, '<', '&', ']'>();
            if (raccogli)
                testo_.append(reinterpret_cast<const char *>(inizio), p_ - inizio);
            if (osservatore_ != nullptr && p_ != inizio)
                osservatore_->testo(da(inizio));
            for (const unsigned char *b = inizio; guarda && !a.conTesto && b != p_; ++b)
                a.conTesto = *b > 0x20;
            if (p_ == fine_ || *p_ == '<')
                break;
            char32_t c = 0;
            if (*p_ == '&') {
                if (!riferimento(c))
                    return false;
            } else if (*p_ == ']') {
                if (segue("]]>"))
                    return false;
                c = *p_++;
            } else if (*p_ == '\r') {
                c = '\n';
                ++p_;
                if (p_ != fine_ && *p_ == '\n')
                    ++p_;
            } else if (*p_ >= 0x80) {
                if (!utf8(c))
                    return false;
            } else {
                return false; // a control character
            }
            a.conTesto = a.conTesto || (guarda && c > 0x20);
            if (raccogli)
                aggiungiUtf8(testo_, c);
            if (osservatore_ != nullptr) {
                carattere_.truncate(0);
                aggiungiUtf8(carattere_, c);
                osservatore_->testo(std::string_view(carattere_.constData(), static_cast<size_t>(carattere_.size())));
            }
        }
        return true;
    }

    // &lt; &gt; &amp; &apos; &quot; &#N; &#xH;
    bool riferimento(char32_t &c)
    {
        static constexpr std::pair<std::string_view, char> kPredefiniti[]
            = { { "&lt;", '<' }, { "&gt;", '>' }, { "&amp;", '&' }, { "&apos;", '\'' }, { "&quot;", '"' } };
        for (const auto &[testo, carattere] : kPredefiniti)
            if (segue(testo)) {
                p_ += testo.size();
                c = static_cast<unsigned char>(carattere);
                return true;
            }
        if (!segue("&#"))
            return false;
        p_ += 2;
        const bool esadecimale = p_ != fine_ && *p_ == 'x';
        if (esadecimale)
            ++p_;
        c = 0;
        int cifre = 0;
        for (; p_ != fine_ && *p_ != ';'; ++p_, ++cifre) {
            const unsigned char b = *p_;
            int v = -1;
            if (b >= '0' && b <= '9')
                v = b - '0';
            else if (esadecimale && b >= 'a' && b <= 'f')
                v = b - 'a' + 10;
            else if (esadecimale && b >= 'A' && b <= 'F')
                v = b - 'A' + 10;
            if (v < 0 || cifre == 7)
                return false;
            c = c * (esadecimale ? 16 : 10) + static_cast<char32_t>(v);
        }
        if (p_ == fine_ || cifre == 0 || !carattereXml(c))
            return false;
        ++p_;
        return true;
    }

    // One character of two to four bytes, well formed and allowed in XML.
    bool utf8(char32_t &c)
    {
        const unsigned char b = *p_;
        int seguiti = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            seguiti = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            seguiti = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            seguiti = 3;
            c = b & 0x07;
        } else {
            return false;
        }
        if (!resta(seguiti + 1))
            return false;
        for (int i = 1; i <= seguiti; ++i) {
            if ((p_[i] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (p_[i] & 0x3F);
        }
        // Shortest form only, no surrogates, nothing past U+10FFFF.
        const char32_t minimo[] = { 0, 0x80, 0x800, 0x10000 };
        if (c < minimo[seguiti] || !carattereXml(c))
            return false;
        p_ += seguiti + 1;
        return true;
    }

    const unsigned char *p_;
    const unsigned char *const fine_;
    DocumentoFattura::Dati &dati_;
    std::vector<Aperto> aperti_;
    std::vector<std::string_view> attributi_; // the local names in the tag being read
    QByteArray testo_; // the text of the innermost element, when wanted
    OsservatoreLettura *const osservatore_;
    std::vector<OsservatoreLettura::Attributo> osservati_; // the tag's attributes, for the observer
    QByteArray carattere_; // a decoded character, for the observer
};
} // namespace

bool LeggiRapido(QByteArrayView bytes, DocumentoFattura::Dati &dati, OsservatoreLettura *osservatore)
{
    Lettore lettore(bytes, dati, osservatore);
    return lettore.leggi();
}
