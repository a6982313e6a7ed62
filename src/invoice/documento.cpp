// Invoices read from memory in one walk: the notes of the elements that end
// the paths, the tree's walk for documents the quick reader leaves to
// libxml2, and the queries over the notes.
#include "invoice/documento.h"

#include "common/errors.h"
#include "common/strings.h"
#include "common/text8.h"
#include "invoice/documento_p.h"
#include "invoice/xmlload.h"
#include "invoice/xmlquery.h"
#include "invoice/xmlquery_p.h"

#include <algorithm>
#include <bit>

namespace {
using Dati = DocumentoFattura::Dati;

QByteArrayView senzaSpaziAgliEstremi(QByteArrayView testo)
{
    qsizetype b = 0, e = testo.size();
    while (b < e && static_cast<unsigned char>(testo[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(testo[e - 1]) <= 0x20)
        --e;
    return testo.sliced(b, e - b);
}

QByteArrayView vista(const xmlChar *testo)
{
    return testo == nullptr ? QByteArrayView() : QByteArrayView(reinterpret_cast<const char *>(testo));
}

// Text as the header shows it: through code page 1252, as the path query
// reads it. Plain ASCII is the same on both sides.
QString testoVisto(QByteArrayView utf8)
{
    for (const char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80)
            return fromWindows1252(toWindows1252(QString::fromUtf8(utf8)));
    return QString::fromLatin1(utf8);
}

bool soloSpazi(QByteArrayView testo)
{
    for (const char c : testo)
        if (static_cast<unsigned char>(c) > 0x20)
            return false;
    return true;
}

// The element and what it holds, in document order, as the path query sees
// them after loading: the texts of single-text elements as ValoreElemento
// reads them, the others' whole content as testi reads it.
void visita(xmlNode *elemento, Dati &d)
{
    const QByteArray nome = NomeSemplice(elemento) ? QByteArray() : NomeLocale8(elemento);
    const unsigned char usi
        = d.apri(NomeSemplice(elemento) ? std::string_view(reinterpret_cast<const char *>(elemento->name))
                                        : std::string_view(nome.constData(), static_cast<size_t>(nome.size())));
    QByteArray testo;
    bool singolo = true;
    bool conTesto = false;
    if (usi & PercorsiFattura::Testi) {
        const xmlNode *figlio = elemento->children;
        if (figlio == nullptr) {
        } else if (figlio->next == nullptr
            && (figlio->type == XML_TEXT_NODE || figlio->type == XML_CDATA_SECTION_NODE)) {
            testo = senzaSpaziAgliEstremi(vista(figlio->content)).toByteArray();
        } else {
            singolo = false;
            const XmlPtr<xmlChar> contenuto(xmlNodeGetContent(elemento));
            testo = senzaSpaziAgliEstremi(vista(contenuto.get())).toByteArray();
        }
    }
    if (usi & PercorsiFattura::Presenza)
        for (const xmlNode *c = elemento->children; c != nullptr && !conTesto; c = c->next)
            conTesto = (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && !soloSpazi(vista(c->content));
    for (xmlNode *figlio = elemento->children; figlio != nullptr; figlio = figlio->next)
        if (figlio->type == XML_ELEMENT_NODE)
            visita(figlio, d);
    d.chiudi(testo, singolo, conTesto);
}

void leggiAlbero(QByteArrayView bytes, Dati &d)
{
    XmlErrorCapture capture;
    XmlLoadError error;
    // Blank text is dropped anyway: not made at all where the parser can tell.
    const XmlDocPtr doc = parseXml(QByteArray::fromRawData(bytes.data(), bytes.size()), QByteArray(), Whitespace::Drop,
        error, nullptr, XML_PARSE_NOBLANKS);
    if (!doc)
        throw Exception(PrefissoXmlConErrori + loadErrorText(error));
    if (xmlNode *radice = xmlDocGetRootElement(doc.get())) {
        d.nomeRadice = QByteArray(reinterpret_cast<const char *>(radice->name));
        visita(radice, d);
    }
}

const QString kNonUnTesto = QStringLiteral("Element does not contain a single text node");
} // namespace

PercorsiFattura::Percorso PercorsiFattura::aggiungi(const QByteArray &percorso, unsigned char usi)
{
    const int indice = quanti();
    const QByteArrayList passi = PassiPercorso(percorso);
    lunghezze_.push_back(static_cast<int>(passi.size()));
    usi_.push_back(usi);
    for (qsizetype i = 0; i < passi.size(); ++i) {
        const std::string nome = toLowerAscii(passi[i]).toStdString();
        auto it = std::find_if(nomi_.begin(), nomi_.end(), [&](const Nome &n) { return n.nome == nome; });
        if (it == nomi_.end())
            it = nomi_.insert(it, Nome { nome, passi[i].toStdString(), {} });
        it->passi.push_back({ indice, static_cast<int>(i) });
        nomeMassimo_ = std::max(nomeMassimo_, nome.size());
    }
    // At most a quarter full.
    tabella_.assign(std::max<size_t>(64, std::bit_ceil(nomi_.size() * 4)), -1);
    for (size_t n = 0; n < nomi_.size(); ++n) {
        size_t i = chiave(nomi_[n].nome) & (tabella_.size() - 1);
        while (tabella_[i] >= 0)
            i = (i + 1) & (tabella_.size() - 1);
        tabella_[i] = static_cast<int>(n);
    }
    return Percorso(indice);
}

// A hash of a few of the name's letters, the same in either case: quick,
// and good enough for names of different lengths and endings.
size_t PercorsiFattura::chiave(std::string_view nome)
{
    const auto lettera = [&](size_t i) { return static_cast<size_t>(static_cast<unsigned char>(nome[i]) | 0x20); };
    size_t h = nome.size();
    if (!nome.empty())
        h = ((h * 31 + lettera(0)) * 31 + lettera(nome.size() - 1)) * 31 + lettera(nome.size() / 2);
    return (h * 0x9E3779B97F4A7C15ULL) >> 32;
}

const std::vector<PercorsiFattura::Passo> *PercorsiFattura::passi(std::string_view nomeLocale) const
{
    if (nomeLocale.size() > nomeMassimo_ || nomi_.empty())
        return nullptr;
    for (size_t i = chiave(nomeLocale) & (tabella_.size() - 1); tabella_[i] >= 0; i = (i + 1) & (tabella_.size() - 1)) {
        const Nome &n = nomi_[static_cast<size_t>(tabella_[i])];
        if (n.scritto == nomeLocale)
            return &n.passi;
        if (n.nome.size() == nomeLocale.size()
            && equalsIgnoreAsciiCase(QByteArrayView(nomeLocale.data(), static_cast<qsizetype>(nomeLocale.size())),
                QByteArrayView(n.nome.data(), static_cast<qsizetype>(n.nome.size()))))
            return &n.passi;
    }
    return nullptr;
}

unsigned char Dati::apri(std::string_view nomeLocale)
{
    const int elemento = elementi++;
    const size_t seguitiPadre = aperti.empty() ? seguiti.size() : aperti.back().seguiti;
    const size_t daSeguiti = seguiti.size();
    const size_t daFiniti = finiti.size();
    if (dentroFirma > 0 || nomeLocale == "Signature") {
        ++dentroFirma;
        aperti.push_back({ elemento, daSeguiti, daFiniti });
        return 0;
    }
    unsigned char usi = 0;
    if (const std::vector<PercorsiFattura::Passo> *passi = percorsi.passi(nomeLocale)) {
        for (const PercorsiFattura::Passo &p : *passi) {
            // The first step starts here; any other continues what the parent followed.
            int inizio = elemento;
            if (p.indice > 0) {
                const auto it = std::find_if(seguiti.begin() + static_cast<qsizetype>(seguitiPadre),
                    seguiti.begin() + static_cast<qsizetype>(daSeguiti),
                    [&](const Seguito &s) { return s.percorso == p.percorso && s.indice == p.indice - 1; });
                if (it == seguiti.begin() + static_cast<qsizetype>(daSeguiti))
                    continue;
                inizio = it->inizio;
            }
            if (p.indice + 1 == percorsi.lunghezza(p.percorso)) {
                finiti.push_back({ p.percorso, p.indice, inizio });
                usi |= percorsi.usi(p.percorso);
            } else {
                seguiti.push_back({ p.percorso, p.indice, inizio });
            }
        }
    }
    aperti.push_back({ elemento, daSeguiti, daFiniti });
    return usi;
}

void Dati::chiudi(QByteArrayView testo, bool singolo, bool conTesto)
{
    const Aperto a = aperti.back();
    aperti.pop_back();
    if (dentroFirma > 0)
        --dentroFirma;
    if (finiti.size() > a.finiti) {
        const auto da = static_cast<int>(testi.size());
        testi.append(testo);
        const auto a2 = static_cast<int>(testi.size());
        for (size_t i = a.finiti; i < finiti.size(); ++i)
            trovati.push_back(
                { finiti[i].percorso, finiti[i].inizio, a.elemento, elementi, da, a2, singolo, conTesto });
    }
    seguiti.resize(a.seguiti);
    finiti.resize(a.finiti);
}

void Dati::concludi()
{
    // The query's order: by start, then the element (a walk from the start
    // meets its elements in document order).
    std::sort(trovati.begin(), trovati.end(), [](const Trovato &a, const Trovato &b) {
        return std::tie(a.percorso, a.inizio, a.elemento) < std::tie(b.percorso, b.inizio, b.elemento);
    });
    primi.assign(static_cast<size_t>(percorsi.quanti()) + 1, 0);
    for (const Trovato &t : trovati)
        ++primi[static_cast<size_t>(t.percorso) + 1];
    for (size_t i = 1; i < primi.size(); ++i)
        primi[i] += primi[i - 1];
}

void Dati::azzera()
{
    nomeRadice.clear();
    trovati.clear();
    testi.clear();
    elementi = 0;
    seguiti.clear();
    finiti.clear();
    aperti.clear();
    dentroFirma = 0;
}

namespace {
// The noted elements of the path whose start lies inside the element.
// A path not among the document's (a Percorso never given) finds nothing.
std::pair<const Dati::Trovato *, const Dati::Trovato *> dentro(const Dati &d, int indice, int inizio, int fine)
{
    if (indice < 0 || indice >= d.percorsi.quanti())
        return {};
    const Dati::Trovato *primo = d.trovati.data() + d.primi[static_cast<size_t>(indice)];
    const Dati::Trovato *ultimo = d.trovati.data() + d.primi[static_cast<size_t>(indice) + 1];
    const auto *da
        = std::lower_bound(primo, ultimo, inizio, [](const Dati::Trovato &t, int x) { return t.inizio < x; });
    const auto *a = std::lower_bound(da, ultimo, fine, [](const Dati::Trovato &t, int x) { return t.inizio < x; });
    return { da, a };
}
} // namespace

DocumentoFattura::DocumentoFattura(
    QByteArrayView bytes, const PercorsiFattura &percorsi, Modo modo, OsservatoreLettura *osservatore)
    : d_(std::make_unique<Dati>(percorsi))
{
    d_->rapido = modo == Modo::Rapido && LeggiRapido(bytes, *d_, osservatore);
    if (!d_->rapido) {
        if (osservatore != nullptr)
            osservatore->azzera();
        d_->azzera();
        leggiAlbero(bytes, *d_);
    }
    d_->concludi();
}

DocumentoFattura::~DocumentoFattura() = default;

DocumentoFattura::Elemento DocumentoFattura::radice() const
{
    return Elemento(0, d_->elementi);
}

QByteArray DocumentoFattura::nomeRadice() const
{
    return d_->nomeRadice;
}

bool DocumentoFattura::lettoRapido() const
{
    return d_->rapido;
}

std::vector<DocumentoFattura::Elemento> DocumentoFattura::elementi(const Percorso &percorso, Elemento in) const
{
    const auto [da, a] = dentro(*d_, percorso.indice_, in.inizio_, in.fine_);
    std::vector<Elemento> risultato;
    risultato.reserve(static_cast<size_t>(a - da));
    for (const Dati::Trovato *t = da; t != a; ++t)
        risultato.push_back(Elemento(t->elemento, t->fine));
    return risultato;
}

QStringList DocumentoFattura::valori(const Percorso &percorso, Elemento in) const
{
    const auto [da, a] = dentro(*d_, percorso.indice_, in.inizio_, in.fine_);
    QStringList risultato;
    for (const Dati::Trovato *t = da; t != a; ++t) {
        if (!t->singolo)
            throw Exception(kNonUnTesto);
        risultato << testoVisto(QByteArrayView(d_->testi).sliced(t->testoDa, t->testoA - t->testoDa));
    }
    return risultato;
}

QStringList DocumentoFattura::testi(const Percorso &percorso, Elemento in) const
{
    const auto [da, a] = dentro(*d_, percorso.indice_, in.inizio_, in.fine_);
    QStringList risultato;
    for (const Dati::Trovato *t = da; t != a; ++t)
        risultato << testoVisto(QByteArrayView(d_->testi).sliced(t->testoDa, t->testoA - t->testoDa));
    return risultato;
}

QString DocumentoFattura::testo(const Percorso &percorso, Elemento in) const
{
    const auto [da, a] = dentro(*d_, percorso.indice_, in.inizio_, in.fine_);
    return da == a ? QString() : testoVisto(QByteArrayView(d_->testi).sliced(da->testoDa, da->testoA - da->testoDa));
}

bool DocumentoFattura::haTesto(const Percorso &percorso, Elemento in) const
{
    const auto [da, a] = dentro(*d_, percorso.indice_, in.inizio_, in.fine_);
    return std::any_of(da, a, [](const Dati::Trovato &t) { return t.conTesto; });
}

QStringList DocumentoFattura::descrizione() const
{
    QStringList righe;
    for (const Dati::Trovato &t : d_->trovati)
        righe << QStringLiteral("%1 %2 %3 %4 %5%6: %7")
                     .arg(t.percorso)
                     .arg(t.inizio)
                     .arg(t.elemento)
                     .arg(t.fine)
                     .arg(t.singolo ? QString() : QStringLiteral("non singolo "))
                     .arg(t.conTesto ? QStringLiteral("con testo") : QString())
                     .arg(QString::fromUtf8(QByteArrayView(d_->testi).sliced(t.testoDa, t.testoA - t.testoDa)));
    return QStringList { QString::fromUtf8(d_->nomeRadice), QString::number(d_->elementi) } + righe;
}
