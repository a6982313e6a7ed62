// The reading of an archive: the walk of the folders and ZIP archives into
// the list of sources, the workers that read them and the delivery of what
// they find in the list's order.
#include "archivio/archivio.h"
#include "archivio/fattura_p.h"
#include "archivio/zipfile_p.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QThread>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {
const QString kFileTroppoGrande = QStringLiteral("Il file supera 100 MB: non letto");

// A file descriptor, closed with its owner.
class Descrittore final {
public:
    explicit Descrittore(int fd = -1)
        : fd_(fd)
    {
    }
    Descrittore(const Descrittore &) = delete;
    Descrittore &operator=(const Descrittore &) = delete;
    ~Descrittore() { reset(); }
    int fd() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// The folder a worker's files lie in, kept open: a file is opened by its name
// in it, and the kernel does not walk the folders of its path again.
struct CartellaAperta {
    QString percorso;
    Descrittore fd;
    QByteArray nome; // the file's name as the system takes it, its room kept
};

// The name as QFile::encodeName gives it; an ASCII one (most) without a
// string of its own.
void codificaNome(QStringView nome, QByteArray &out)
{
    if (!std::all_of(nome.begin(), nome.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        out = QFile::encodeName(nome.toString());
        return;
    }
    out.resize(nome.size());
    std::transform(nome.begin(), nome.end(), out.begin(), [](QChar c) { return char(c.unicode()); });
}

// The whole file into the buffer, which keeps its room from one file to the
// next: a worker reads thousands of small files, each with one open, one
// read (and the one that finds the end) and one close. Errors as
// readWholeFile's.
void leggiIn(const QString &percorso, QByteArray &buffer, CartellaAperta *cartella = nullptr)
{
    const qsizetype barra = cartella != nullptr ? percorso.lastIndexOf(u'/') : -1;
    if (barra > 0 && QStringView(cartella->percorso) != QStringView(percorso).first(barra)) {
        cartella->percorso = percorso.first(barra);
        cartella->fd.reset(::open(QFile::encodeName(cartella->percorso).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    const bool nellaCartella = barra > 0 && cartella->fd.fd() >= 0;
    if (nellaCartella)
        codificaNome(QStringView(percorso).sliced(barra + 1), cartella->nome);
    const Descrittore file(nellaCartella ? ::openat(cartella->fd.fd(), cartella->nome.constData(), O_RDONLY | O_CLOEXEC)
                                         : ::open(QFile::encodeName(percorso).constData(), O_RDONLY | O_CLOEXEC));
    if (file.fd() < 0)
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2").arg(displayPath(percorso), qt_error_string(errno)));
    buffer.resize(std::max<qsizetype>(buffer.capacity(), 64 * 1024));
    qsizetype letti = 0;
    for (;;) {
        if (letti == buffer.size()) {
            if (letti > kMassimoVoce)
                throw Exception(kFileTroppoGrande);
            buffer.resize(std::min<qsizetype>(2 * letti, kMassimoVoce + 1));
        }
        const ssize_t n = ::read(file.fd(), buffer.data() + letti, static_cast<size_t>(buffer.size() - letti));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Exception(QStringLiteral("Stream read error"));
        if (n == 0)
            break;
        letti += n;
    }
    buffer.resize(letti);
}

bool eZip(const QString &nome)
{
    return hasExtension(nome, u".zip");
}

// The list of one message's kind, made once for each kind: most invoices
// have one message.
const QStringList &soloSigla(TipoMessaggio tipo)
{
    static const auto liste = [] {
        std::array<QStringList, size_t(TipoMessaggio::MT) + 1> l;
        for (size_t t = 0; t < l.size(); ++t)
            l[t] = QStringList { SiglaMessaggio(TipoMessaggio(t)) };
        return l;
    }();
    return liste[size_t(tipo)];
}

// A trace's text as the hashes take it, without a copy: for a look-up only.
QString comeStringa(QStringView testo)
{
    return QString::fromRawData(reinterpret_cast<const QChar *>(testo.utf16()), testo.size());
}

// A file to read, or what to say about a path the walk could not follow.
struct Trovato {
    QString percorso;
    QString motivo;
};

bool soloAscii(QByteArrayView testo)
{
    return std::all_of(testo.begin(), testo.end(), [](char c) { return static_cast<uchar>(c) < 0x80; });
}

bool utf8Valido(QByteArrayView testo)
{
    if (soloAscii(testo))
        return true; // most names, told without a decoder
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decodificato = utf8.decode(testo);
    return !utf8.hasError();
}

// A name that is not UTF-8 as it can be said: its odd bytes written as \xff.
QString nomeLeggibile(QByteArrayView nome)
{
    QString leggibile;
    for (qsizetype i = 0; i < nome.size();) {
        const auto primo = static_cast<uchar>(nome[i]);
        const qsizetype n = primo < 0x80 ? 1 : primo >= 0xF0 ? 4 : primo >= 0xE0 ? 3 : 2;
        if (i + n <= nome.size() && utf8Valido(nome.sliced(i, n))) {
            leggibile += QString::fromUtf8(nome.sliced(i, n));
            i += n;
        } else {
            leggibile += QStringLiteral("\\x%1").arg(primo, 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return leggibile;
}

// The real paths the walk has taken. Only a link, or a second path to walk,
// can lead to one of them again: until one comes, the paths are only noted,
// and hashed when it does (most archives have no link at all).
class Visti final {
public:
    // False when the path was taken already; else it is taken now.
    bool prendi(const QString &vero)
    {
        if (!attivi_) {
            noti_.push_back(vero);
            return true;
        }
        if (insieme_.contains(vero))
            return false;
        insieme_.insert(vero);
        return true;
    }
    bool servite() const { return attivi_; }
    // From now on every path is looked up.
    void servono()
    {
        if (attivi_)
            return;
        attivi_ = true;
        insieme_.reserve(qsizetype(noti_.size()));
        for (const QString &vero : noti_)
            insieme_.insert(vero);
        noti_ = {};
    }

private:
    bool attivi_ = false;
    std::vector<QString> noti_;
    QSet<QString> insieme_;
};

void esploraCartella(const QString &percorso, const QString &vero, Visti &visti, std::vector<Trovato> &trovati);

// Why a path is not listed again: a folder or a file the walk has taken already.
QString giaElencato(bool cartella, const QString &vero)
{
    return cartella ? QStringLiteral("Cartella già elencata (collegamento circolare o ripetuto a %1)").arg(vero)
                    : QStringLiteral("File già elencato (collegamento a %1)").arg(vero);
}

// The names of a folder that are not UTF-8, said last, each as a file not read.
void nonUtf8(const QString &percorso, const QStringList &nomi, std::vector<Trovato> &trovati)
{
    for (const QString &nome : nomi)
        trovati.push_back({ percorso + u'/' + nome, QStringLiteral("Nome di file non in UTF-8: non letto") });
}

// Every file below the path. Each real folder and file is taken once, so a
// link that leads back into a folder already walked ends there, with a note.
// Only links need resolving: anything else lies in its folder's real path.
void esplora(const QFileInfo &info, const QString &percorso, const QString &veroNoto, Visti &visti,
    std::vector<Trovato> &trovati)
{
    if (!info.exists()) {
        trovati.push_back({ percorso,
            info.isSymLink() ? QStringLiteral("Collegamento a un file che non esiste")
                             : QStringLiteral("File non trovato: ") + percorso });
        return;
    }
    const QString vero = veroNoto.isEmpty() || info.isSymLink() ? info.canonicalFilePath() : veroNoto;
    if (!visti.prendi(vero)) {
        trovati.push_back({ percorso, giaElencato(info.isDir(), vero) });
        return;
    }
    if (!info.isDir()) {
        // A pipe or a device would never end, or never start.
        trovati.push_back({ percorso,
            info.isFile() ? QString()
                          : QStringLiteral("Non è un file ordinario (dispositivo, pipe o socket): non letto") });
        return;
    }
    if (!info.isReadable() || !info.isExecutable()) {
        trovati.push_back({ percorso, QStringLiteral("Cartella non leggibile: ") + percorso });
        return;
    }
    esploraCartella(percorso, vero, visti, trovati);
}

// A folder's entries in the order of their names, each with its kind as the
// folder gives it; the names that are not UTF-8 apart, as they can be said.
// The names' bytes lie in one string: a folder of thousands costs a few
// allocations, not one per name.
struct VociCartella {
    struct Voce {
        uint32_t inizio; // the name's bytes in nomi
        uint32_t lunghezza;
        unsigned char tipo;
        QString nome; // decoded, when some name of the folder is not ASCII
    };
    std::string nomi;
    std::vector<Voce> voci;
    QStringList nonUtf8;

    QLatin1StringView ascii(const Voce &v) const { return QLatin1StringView(nomi.data() + v.inizio, v.lunghezza); }
};

std::optional<VociCartella> leggiCartella(const QString &percorso)
{
    VociCartella c;
    bool ascii = true;
    {
        const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(QFile::encodeName(percorso).constData()), ::closedir);
        if (!dir)
            return std::nullopt;
        while (const dirent *d = ::readdir(dir.get())) {
            const QByteArrayView nome(d->d_name);
            if (nome == "." || nome == "..")
                continue;
            if (!utf8Valido(nome)) {
                c.nonUtf8 << nomeLeggibile(nome);
                continue;
            }
            ascii = ascii && soloAscii(nome);
            c.voci.push_back({ uint32_t(c.nomi.size()), uint32_t(nome.size()), d->d_type, {} });
            c.nomi.append(nome.data(), size_t(nome.size()));
        }
    }
    using Voce = VociCartella::Voce;
    // ASCII names sort by their bytes as by their characters, only faster.
    if (ascii) {
        const std::string_view nomi = c.nomi;
        std::sort(c.voci.begin(), c.voci.end(), [nomi](const Voce &a, const Voce &b) {
            return nomi.substr(a.inizio, a.lunghezza) < nomi.substr(b.inizio, b.lunghezza);
        });
    } else {
        for (Voce &v : c.voci)
            v.nome = QString::fromUtf8(c.nomi.data() + v.inizio, qsizetype(v.lunghezza));
        std::sort(c.voci.begin(), c.voci.end(), [](const Voce &a, const Voce &b) { return a.nome < b.nome; });
    }
    return c;
}

// One entry of a folder: a file found, a reason, or a folder walked. An
// entry comes with its kind from the folder itself, so a plain file or folder
// costs no look-up of its own; links, and entries of a kind the file system
// does not tell, are looked up as the walk's first path is. vero is the
// folder's real path, null when it is the path itself (no link on the way).
void esploraVoce(const QString &percorso, const QString &vero, const VociCartella &c, const VociCartella::Voce &v,
    Visti &visti, std::vector<Trovato> &trovati)
{
    const QString figlio = v.nome.isNull() ? percorso + u'/' + c.ascii(v) : percorso + u'/' + v.nome;
    const QString veroFiglio = vero.isNull() ? figlio : vero + u'/' + figlio.sliced(percorso.size() + 1);
    if (v.tipo == DT_LNK || v.tipo == DT_UNKNOWN) {
        visti.servono();
        esplora(QFileInfo(figlio), figlio, veroFiglio, visti, trovati);
        return;
    }
    if (!visti.prendi(veroFiglio)) {
        trovati.push_back({ figlio, giaElencato(v.tipo == DT_DIR, veroFiglio) });
        return;
    }
    if (v.tipo == DT_REG)
        trovati.push_back({ figlio, QString() });
    else if (v.tipo != DT_DIR)
        trovati.push_back(
            { figlio, QStringLiteral("Non è un file ordinario (dispositivo, pipe o socket): non letto") });
    else if (::access(QFile::encodeName(figlio).constData(), R_OK | X_OK) != 0)
        trovati.push_back({ figlio, QStringLiteral("Cartella non leggibile: ") + figlio });
    else
        esploraCartella(figlio, veroFiglio, visti, trovati);
}

// A folder's entries in their names' order; the names that are not UTF-8
// are said last, each as a file that is not read.
void esploraCartella(const QString &percorso, const QString &vero, Visti &visti, std::vector<Trovato> &trovati)
{
    const std::optional<VociCartella> c = leggiCartella(percorso);
    if (!c) {
        trovati.push_back({ percorso, QStringLiteral("Cartella non leggibile: ") + percorso });
        return;
    }
    const QString veroDiverso = percorso == vero ? QString() : vero;
    for (const VociCartella::Voce &v : c->voci)
        esploraVoce(percorso, veroDiverso, *c, v, visti, trovati);
    nonUtf8(percorso, c->nonUtf8, trovati);
}

// A folder given alone, walked by several threads, each taking a contiguous
// part of its entries, so the paths come out as one thread finds them. That
// holds while no link turns up (a link may lead where another thread walks):
// then false, and one thread walks it again.
bool esploraInParallelo(const QString &percorso, int fili, std::vector<Trovato> &trovati)
{
    const QFileInfo info(percorso);
    if (fili < 2 || info.isSymLink() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const QString vero = info.canonicalFilePath();
    const std::optional<VociCartella> c = leggiCartella(percorso);
    if (vero.isEmpty() || !c || c->voci.size() < 2 * size_t(fili))
        return false;
    const QString veroDiverso = percorso == vero ? QString() : vero;
    struct Parte {
        std::vector<Trovato> trovati;
        bool sola = true; // walked without meeting a link
    };
    std::vector<Parte> parti(static_cast<size_t>(fili));
    const auto esploraParte = [&](size_t k) {
        Parte &p = parti[k];
        try {
            Visti visti;
            for (size_t i = k * c->voci.size() / parti.size(); i < (k + 1) * c->voci.size() / parti.size(); ++i) {
                esploraVoce(percorso, veroDiverso, *c, c->voci[i], visti, p.trovati);
                if (visti.servite()) {
                    p.sola = false;
                    return;
                }
            }
        } catch (...) {
            p.sola = false; // walked again by one thread, which says what went wrong
        }
    };
    std::vector<std::thread> altri;
    for (size_t k = 1; k < parti.size(); ++k)
        altri.emplace_back(esploraParte, k);
    esploraParte(0);
    for (std::thread &t : altri)
        t.join();
    if (!std::all_of(parti.begin(), parti.end(), [](const Parte &p) { return p.sola; }))
        return false;
    for (Parte &p : parti)
        std::move(p.trovati.begin(), p.trovati.end(), std::back_inserter(trovati));
    nonUtf8(percorso, c->nonUtf8, trovati);
    return true;
}

// What a ZIP archive given to the reading may still inflate and list. The
// walk spends it in the list's order over every entry, those of the ZIP
// archives inside included (which it inflates to see them); the first entry
// that does not fit is where the reading of that archive stops, so the same
// entries are read whatever the number of workers, and one reason is given.
struct Preventivo {
    qint64 byte = 0;
    qint64 voci = 0;
    qint64 limiteByte = 0; // the whole archive's, for the reason
    qint64 limiteVoci = 0;
    bool oltreVoci = false; // the last entry refused was one too many, not too big

    // Takes an entry that claims to inflate to that size (-1: it does not
    // say; over the limit of one entry: refused unread, so it costs nothing).
    bool prendi(qint64 dimensione)
    {
        const qint64 costo = dimensione < 0 ? kMassimoVoce : dimensione > kMassimoVoce ? 0 : dimensione;
        oltreVoci = voci < 1;
        if (oltreVoci || costo > byte)
            return false;
        --voci;
        byte -= costo;
        return true;
    }
    // Why the entry that did not fit and those after it are not read.
    QString motivo() const
    {
        // Whole numbers with the thousands' dots, whatever the system's locale.
        const auto intero = [](qint64 n) { return FormatoCentesimi(n * 100, u',', true).chopped(3); };
        return oltreVoci
            ? QStringLiteral("Archivio ZIP oltre il limite di %1 voci: questa voce e le seguenti non sono lette")
                  .arg(intero(limiteVoci))
            : QStringLiteral("Archivio ZIP oltre il limite di %1 estratti (possibile bomba ZIP): questa voce e le "
                             "seguenti non sono lette")
                  .arg(limiteByte >= 1'000'000 ? intero(limiteByte / 1'000'000) + QStringLiteral(" MB")
                                               : intero(limiteByte / 1'000) + QStringLiteral(" kB"));
    }
};

// Where the reading of a ZIP archive stops: the entry (at any depth) that did
// not fit in its budget, and the reason.
struct Taglio {
    QStringList voci;
    QString motivo;
};

// One source in the list's order: a file, or an entry of a ZIP archive (a
// ZIP inside it is read whole by the worker that takes it, up to where the
// walk cut the archive), or what the walk has to say about a path it could
// not follow.
struct Fonte {
    QString file;
    QStringList voci;
    zip_uint64_t indice = 0; // of the entry in its archive
    QString motivo;
    Taglio taglio; // for a ZIP inside a ZIP that the budget cuts
};

// A source's slot: what the worker that took it found, then ready.
struct Posto {
    EsitoFile esito;
    qsizetype dentro = 0; // the entries of a ZIP inside the source
    std::atomic<bool> pronto { false };
};

// A worker's own: where its traces' texts go, its buffer, and the ZIP archive it
// reads entries from.
struct Attrezzi {
    TestiTracce *testi = nullptr; // the worker's, kept by the reading to its end
    QByteArray buffer;
    CartellaAperta cartella;
    QString zipAperto;
    std::optional<ArchivioZip> zip;
};

// The sources are all known before any is read. Every worker (the calling
// thread is one) takes the next source from an atomic index, reads it into
// that source's own slot and marks the slot ready. After each of its sources
// the caller hands out, in order, every ready slot from the first not handed
// out; when none is left to take it joins the others and hands out the rest.
// A stop makes the workers take no new source and the caller hand out nothing.
class LetturaArchivio final {
public:
    LetturaArchivio(const OpzioniArchivio &opzioni, Ricevitore &ricevitore)
        : opz_(opzioni)
        , ric_(ricevitore)
    {
    }

    void esegui(const QStringList &percorsi);

private:
    int fili() const { return opz_.fili > 0 ? opz_.fili : std::max(1, QThread::idealThreadCount()); }
    bool voluto(const QString &file, const QStringList &voci, bool contenitore) const;
    void elenca(const QStringList &percorsi);
    void lavora(bool consegna, TestiTracce &testi);
    void leggi(const Fonte &f, Posto &p, Attrezzi &a) const;
    void elencaZip(const QString &percorso);
    bool spendi(const QString &file, const QStringList &voci, const ArchivioZip &zip, int livello, Preventivo &resto,
        Taglio &taglio) const;
    bool leggiZip(const QString &file, const QStringList &voci, const QByteArray &bytes, int livello,
        const Taglio &taglio, TestiTracce &testi, Posto &p) const;
    void consegnaPronti();
    void consegnaEsito(EsitoFile &esito);
    void abbinaMessaggi();

    const OpzioniArchivio &opz_;
    Ricevitore &ric_;
    std::vector<Fonte> fonti_;
    std::unique_ptr<Posto[]> posti_;
    std::atomic<size_t> prossimo_ { 0 };
    std::atomic<bool> abbandonata_ { false }; // a receiver threw: the workers stop too
    std::atomic<size_t> consegnati_ { 0 };
    qsizetype fatti_ = 0;
    qsizetype trovati_ = 0;
    // The meeting of invoices and their metadata, by ChiaveFattura.
    qsizetype righeDate_ = 0;
    QHash<QString, QList<qsizetype>> righePerChiave_;
    QHash<QString, QString> sdiPerChiave_;
    std::vector<FileNonFattura> metadatiSoli_;
    QStringList chiaviMetadati_;
    std::deque<TestiTracce> testi_; // each worker's, for the traces
    std::vector<TracciaMessaggio> tracce_; // every message's, in the list's order
    // Each message's rows by name as far as they had come with it: asked while
    // its name is still in the cache. A later row under a name already given
    // (two invoices of one name) has every name asked again at the end.
    std::vector<QList<qsizetype>> righeGiaDate_;
    bool righeDopo_ = false;
    // The last names given rows, with their rows as the hash holds them: a
    // message mostly comes right after its invoice, and is met here without
    // a look into the hash.
    std::array<std::pair<QString, QList<qsizetype>>, 4> recenti_;
    size_t prossimoRecente_ = 0;
    MessaggiArchivio messaggi_; // the same messages whole, when wanted, handed out after the reading
};

bool LetturaArchivio::voluto(const QString &file, const QStringList &voci, bool contenitore) const
{
    if (opz_.solo.empty())
        return true;
    const QString nome = NomeOrigine(file, voci);
    if (opz_.solo.count(nome) > 0)
        return true;
    if (!contenitore)
        return false;
    const QString prefisso = nome + u'/';
    const auto it = opz_.solo.lower_bound(prefisso);
    return it != opz_.solo.end() && it->startsWith(prefisso);
}

// The walk, in the list's order: by path; a ZIP archive's entries by name
// where the archive stands.
void LetturaArchivio::elenca(const QStringList &percorsi)
{
    std::vector<Trovato> trovati;
    if (percorsi.size() != 1 || !esploraInParallelo(QDir::cleanPath(percorsi.front()), fili(), trovati)) {
        trovati.clear();
        Visti visti;
        for (const QString &percorso : percorsi) {
            if (&percorso != &percorsi.front())
                visti.servono();
            const QString pulito = QDir::cleanPath(percorso);
            esplora(QFileInfo(pulito), pulito, QString(), visti, trovati);
        }
    }
    // Each folder comes in its names' order, which is mostly the paths' already.
    const auto prima = [](const Trovato &a, const Trovato &b) { return a.percorso < b.percorso; };
    if (!std::is_sorted(trovati.begin(), trovati.end(), prima))
        std::stable_sort(trovati.begin(), trovati.end(), prima);
    fonti_.reserve(trovati.size());
    for (Trovato &t : trovati) {
        if (!t.motivo.isEmpty()) {
            fonti_.push_back({ std::move(t.percorso), {}, 0, std::move(t.motivo), {} });
            continue;
        }
        const bool zip = eZip(t.percorso);
        if (!voluto(t.percorso, {}, zip))
            continue;
        if (!zip) {
            fonti_.push_back({ std::move(t.percorso), {}, 0, {}, {} });
            continue;
        }
        elencaZip(t.percorso);
    }
}

// The entries of a ZIP archive inside, in order, spent from the budget; the
// inner archives are inflated to see theirs. False, with the cut, at the
// first that does not fit. An inner archive that cannot be read costs only
// its own bytes: the worker that reads it says why.
bool LetturaArchivio::spendi(const QString &file, const QStringList &voci, const ArchivioZip &zip, int livello,
    Preventivo &resto, Taglio &taglio) const
{
    for (const VoceZip &v : zip.voci()) {
        const QStringList questa = voci + QStringList { v.nome };
        if (!voluto(file, questa, eZip(v.nome)))
            continue;
        if (!resto.prendi(v.dimensione)) {
            taglio = { questa, resto.motivo() };
            return false;
        }
        if (!eZip(v.nome) || livello >= opz_.limiti.annidati)
            continue;
        try {
            const QByteArray bytes = zip.leggi(v);
            const ArchivioZip interno(bytes);
            ControllaVociZip(bytes, interno.quante());
            if (!spendi(file, questa, interno, livello + 1, resto, taglio))
                return false;
        } catch (const Exception &) {
        } catch (const std::bad_alloc &) {
        }
    }
    return true;
}

// A ZIP archive's entries, checked before anything is inflated, within the
// archive's budget, which also counts what the ZIP archives inside it hold.
void LetturaArchivio::elencaZip(const QString &percorso)
{
    const size_t primo = fonti_.size();
    try {
        const ArchivioZip zip(percorso);
        ControllaVociZip(percorso, zip.quante());
        const LimitiArchivio &l = opz_.limiti;
        const qint64 dimensione = QFileInfo(percorso).size();
        Preventivo resto;
        resto.byte = dimensione > l.byteMassimi / std::max<qint64>(1, l.volteDimensione)
            ? l.byteMassimi
            : std::min(l.byteMassimi, std::max(l.byteMinimi, dimensione * l.volteDimensione));
        resto.voci = l.vociMassime;
        resto.limiteByte = resto.byte;
        resto.limiteVoci = resto.voci;
        for (const VoceZip &v : zip.voci()) {
            if (!voluto(percorso, { v.nome }, eZip(v.nome)))
                continue;
            Taglio taglio;
            if (!resto.prendi(v.dimensione)) {
                fonti_.push_back({ percorso, { v.nome }, 0, resto.motivo(), {} });
                return;
            }
            bool avanti = true;
            if (eZip(v.nome) && l.annidati > 1) {
                try {
                    const QByteArray bytes = zip.leggi(v);
                    const ArchivioZip interno(bytes);
                    ControllaVociZip(bytes, interno.quante());
                    avanti = spendi(percorso, { v.nome }, interno, 2, resto, taglio);
                } catch (const Exception &) {
                } catch (const std::bad_alloc &) {
                }
            }
            fonti_.push_back({ percorso, { v.nome }, v.indice, {}, std::move(taglio) });
            if (!avanti)
                return;
        }
    } catch (const Exception &e) {
        fonti_.resize(primo);
        fonti_.push_back({ percorso, {}, 0, MotivoInUnaRiga(e.message()), {} });
    }
}

void LetturaArchivio::leggi(const Fonte &f, Posto &p, Attrezzi &a) const
{
    if (!f.motivo.isEmpty()) {
        p.esito.nonFatture.push_back({ f.file, f.voci, f.motivo });
        return;
    }
    try {
        if (f.voci.isEmpty()) {
            leggiIn(f.file, a.buffer, &a.cartella);
            AnalizzaFile(a.buffer, f.file, f.voci, opz_, *a.testi, p.esito);
            return;
        }
        if (!a.zip || a.zipAperto != f.file) {
            a.zip.reset();
            a.zip.emplace(f.file);
            a.zipAperto = f.file;
        }
        const QByteArray bytes = a.zip->leggi({ f.voci.last(), f.indice, -1 });
        if (!eZip(f.voci.last())) {
            AnalizzaFile(bytes, f.file, f.voci, opz_, *a.testi, p.esito);
            return;
        }
        leggiZip(f.file, f.voci, bytes, 2, f.taglio, *a.testi, p);
    } catch (const Exception &e) {
        p.esito.nonFatture.push_back({ f.file, f.voci, MotivoInUnaRiga(e.message()) });
    } catch (const std::bad_alloc &) {
        p.esito.nonFatture.push_back({ f.file, f.voci,
            f.voci.isEmpty() ? QStringLiteral("Memoria insufficiente per leggere il file")
                             : QStringLiteral("Memoria insufficiente per leggere la voce") });
    }
}

// A ZIP inside a ZIP, read from memory by the worker that took it, entry by
// entry in order, up to where the walk cut the archive (then false). Throws
// Exception when the archive itself cannot be read.
bool LetturaArchivio::leggiZip(const QString &file, const QStringList &voci, const QByteArray &bytes, int livello,
    const Taglio &taglio, TestiTracce &testi, Posto &p) const
{
    const ArchivioZip zip(bytes);
    ControllaVociZip(bytes, zip.quante());
    for (const VoceZip &v : zip.voci()) {
        const QStringList questa = voci + QStringList { v.nome };
        if (!voluto(file, questa, eZip(v.nome)))
            continue;
        if (opz_.stop.stop_requested())
            return false;
        ++p.dentro;
        if (questa == taglio.voci) {
            p.esito.nonFatture.push_back({ file, questa, taglio.motivo });
            return false;
        }
        try {
            const QByteArray dentro = zip.leggi(v);
            if (!eZip(v.nome)) {
                AnalizzaFile(dentro, file, questa, opz_, testi, p.esito);
                continue;
            }
            if (livello >= opz_.limiti.annidati)
                throw Exception(QStringLiteral("Troppi archivi ZIP uno dentro l'altro: non letto"));
            if (!leggiZip(file, questa, dentro, livello + 1, taglio, testi, p))
                return false;
        } catch (const Exception &e) {
            p.esito.nonFatture.push_back({ file, questa, MotivoInUnaRiga(e.message()) });
        } catch (const std::bad_alloc &) {
            p.esito.nonFatture.push_back({ file, questa, QStringLiteral("Memoria insufficiente per leggere la voce") });
        }
    }
    return true;
}

void LetturaArchivio::lavora(bool consegna, TestiTracce &testi)
{
    Attrezzi attrezzi;
    attrezzi.testi = &testi;
    std::deque<size_t> letti; // this worker's slots, freed by it once handed out
    for (size_t i = prossimo_++; i < fonti_.size() && !opz_.stop.stop_requested() && !abbandonata_; i = prossimo_++) {
        for (; !letti.empty() && letti.front() < consegnati_.load(std::memory_order_acquire); letti.pop_front())
            posti_[letti.front()].esito = EsitoFile();
        leggi(fonti_[i], posti_[i], attrezzi);
        posti_[i].pronto.store(true, std::memory_order_release);
        letti.push_back(i);
        if (consegna)
            consegnaPronti();
    }
}

void LetturaArchivio::consegnaPronti()
{
    // Only the caller hands out: the count is atomic for the workers, which
    // free what they read once it is handed out. The sources stay to the end:
    // their paths come from the walk's threads, and freeing one here would
    // wait for the lock of an arena a worker allocates from.
    for (size_t i = consegnati_.load(std::memory_order_relaxed);
         i < fonti_.size() && !opz_.stop.stop_requested() && posti_[i].pronto.load(std::memory_order_acquire); ++i) {
        Posto &p = posti_[i];
        consegnaEsito(p.esito);
        trovati_ += p.dentro;
        fatti_ += 1 + p.dentro;
        consegnati_.store(i + 1, std::memory_order_release);
        ric_.avanzamento(fatti_, trovati_);
    }
}

void LetturaArchivio::consegnaEsito(EsitoFile &esito)
{
    for (RigaArchivio &r : esito.righe) {
        const QString chiave = ChiaveFattura(r.voci.isEmpty() ? extractFileName(r.file) : r.voci.last());
        if (const auto it = sdiPerChiave_.constFind(chiave); it != sdiPerChiave_.constEnd())
            r.sdi = *it;
        QList<qsizetype> &righe = righePerChiave_[chiave];
        righeDopo_ = righeDopo_ || (!righe.isEmpty() && !tracce_.empty());
        righe.append(righeDate_++);
        const auto noto
            = std::find_if(recenti_.begin(), recenti_.end(), [&chiave](const auto &r) { return r.first == chiave; });
        if (noto != recenti_.end())
            noto->second = righe;
        else
            recenti_[prossimoRecente_++ % recenti_.size()] = { chiave, righe };
    }
    if (!esito.righe.empty())
        ric_.righe(std::move(esito.righe));
    for (FileNonFattura &f : esito.nonFatture)
        ric_.nonFattura(std::move(f));
    for (MetadatiSdi &m : esito.metadati) {
        sdiPerChiave_[m.chiave] = m.identificativo;
        for (qsizetype riga : righePerChiave_.value(m.chiave))
            ric_.sdi(riga, m.identificativo);
        if (m.messaggio)
            continue; // listed among the messages, whether its invoice is here or not
        chiaviMetadati_ << m.chiave;
        metadatiSoli_.push_back(std::move(m.origine));
    }
    for (MessaggioArchivio &m : esito.messaggi)
        messaggi_.push_back(std::move(m));
    for (TracciaMessaggio &t : esito.tracce) {
        // A message that names no file names no invoice by name, not even
        // one whose name is only its extension.
        const auto noto = std::find_if(recenti_.cbegin(), recenti_.cend(),
            [&t](const auto &r) { return !r.first.isEmpty() && r.first == t.chiave; });
        righeGiaDate_.push_back(t.chiave.isEmpty() ? QList<qsizetype>()
                : noto != recenti_.cend()          ? noto->second
                                                   : righePerChiave_.value(comeStringa(t.chiave)));
        tracce_.push_back(std::move(t));
    }
    // What the receiver left is freed by the worker that read it: memory goes
    // back to the thread that took it, and the two never wait for each
    // other's allocator.
}

// Each message meets its invoices by the invoice's file name as it gives it,
// else by the SdI identifier: the one a metadata file gives the invoice, or
// one a message met by name carries. Then each invoice's messages, in the
// exchange's order, tell its fate.
void LetturaArchivio::abbinaMessaggi()
{
    if (tracce_.empty())
        return;
    // Each message's rows, pointed to where the hashes keep them: nothing is
    // added to either once the pointers are taken.
    static const QList<qsizetype> nessuna;
    std::vector<const QList<qsizetype> *> righeDi(tracce_.size(), &nessuna);
    bool senzaNome = false;
    for (size_t i = 0; i < tracce_.size(); ++i) {
        if (!righeDopo_ && !righeGiaDate_[i].isEmpty())
            righeDi[i] = &righeGiaDate_[i];
        else if (!tracce_[i].chiave.isEmpty()) {
            if (const auto it = righePerChiave_.constFind(comeStringa(tracce_[i].chiave)); it != righePerChiave_.cend())
                righeDi[i] = &*it;
        }
        senzaNome = senzaNome || righeDi[i]->isEmpty();
    }
    // The identifiers are asked only for a message whose invoice its name does not find.
    QHash<QString, QList<qsizetype>> righePerId;
    if (senzaNome) {
        // An identifier given to several invoices (a hostile folder) names them all.
        righePerId.reserve(sdiPerChiave_.size() + qsizetype(tracce_.size()));
        const auto conosci = [&righePerId](const QString &id, const QList<qsizetype> &righe) {
            QList<qsizetype> &note = righePerId[id];
            for (qsizetype r : righe)
                if (!note.contains(r))
                    note.append(r);
            std::sort(note.begin(), note.end());
        };
        for (auto it = sdiPerChiave_.cbegin(); it != sdiPerChiave_.cend(); ++it)
            if (!it.value().isEmpty() && righePerChiave_.contains(it.key()))
                conosci(it.value(), righePerChiave_.value(it.key()));
        for (size_t i = 0; i < tracce_.size(); ++i)
            if (!righeDi[i]->isEmpty() && !tracce_[i].identificativo.isEmpty())
                conosci(tracce_[i].identificativo.toString(), *righeDi[i]);
        for (size_t i = 0; i < tracce_.size(); ++i)
            if (const auto it = righePerId.constFind(comeStringa(tracce_[i].identificativo));
                righeDi[i]->isEmpty() && it != righePerId.cend())
                righeDi[i] = &*it;
    }
    std::vector<std::pair<qsizetype, size_t>> perRiga; // (row, message): rows in order, messages in the list's
    perRiga.reserve(tracce_.size());
    for (size_t i = 0; i < tracce_.size(); ++i) {
        for (qsizetype riga : *righeDi[i])
            perRiga.emplace_back(riga, i);
        if (opz_.messaggi)
            messaggi_[i].riga = righeDi[i]->isEmpty() ? -1 : righeDi[i]->front();
    }
    if (!std::is_sorted(perRiga.begin(), perRiga.end())) // messages mostly come after their invoice
        std::sort(perRiga.begin(), perRiga.end());
    std::vector<EventoSdI> eventi;
    for (auto da = perRiga.cbegin(); da != perRiga.cend();) {
        const qsizetype riga = da->first;
        if (da + 1 == perRiga.cend() || (da + 1)->first != riga) {
            // Most invoices have one message: its own state, nothing to order.
            const TracciaMessaggio &t = tracce_[da++->second];
            ric_.statoSdi(riga, StatoImplicato(t.tipo, t.esito), soloSigla(t.tipo));
            continue;
        }
        eventi.clear();
        for (; da != perRiga.cend() && da->first == riga; ++da)
            eventi.push_back(tracce_[da->second].evento());
        const std::vector<size_t> ordine = OrdineEventi(eventi);
        QStringList tipi;
        tipi.reserve(qsizetype(ordine.size()));
        for (size_t e : ordine)
            tipi << SiglaMessaggio(eventi[e].tipo);
        ric_.statoSdi(riga, StatoSdI(eventi, ordine), tipi);
    }
    if (opz_.messaggi)
        ric_.messaggi(std::move(messaggi_));
}

void LetturaArchivio::esegui(const QStringList &percorsi)
{
    elenca(percorsi);
    posti_ = std::make_unique<Posto[]>(fonti_.size());
    // Reserved, not touched: an archive without messages pays nothing for it.
    tracce_.reserve(fonti_.size());
    righeGiaDate_.reserve(fonti_.size());
    righePerChiave_.reserve(qsizetype(fonti_.size())); // mostly a row per file: a hash that never grows
    trovati_ = static_cast<qsizetype>(fonti_.size());
    const int quanti = fili();
    testi_.resize(size_t(quanti));
    std::vector<std::thread> altri;
    for (int i = 1; i < quanti && static_cast<size_t>(i) < fonti_.size(); ++i)
        altri.emplace_back([this, i] { lavora(false, testi_[size_t(i)]); });
    // Joined, not just finished: what a thread leaves behind (the crypto
    // library's error state) goes with it before the reading returns.
    try {
        lavora(true, testi_[0]);
    } catch (...) {
        abbandonata_ = true;
        for (std::thread &t : altri)
            t.join();
        throw;
    }
    for (std::thread &t : altri)
        t.join();
    consegnaPronti();
    if (opz_.stop.stop_requested())
        return;
    for (qsizetype i = 0; i < chiaviMetadati_.size(); ++i)
        if (!righePerChiave_.contains(chiaviMetadati_[i]))
            ric_.nonFattura(std::move(metadatiSoli_[static_cast<size_t>(i)]));
    abbinaMessaggi();
}
} // namespace

QString NomeOrigine(const QString &file, const QStringList &voci)
{
    return voci.isEmpty() ? file : file + u'/' + voci.join(u'/');
}

void LeggiArchivio(const QStringList &percorsi, const OpzioniArchivio &opzioni, Ricevitore &ricevitore)
{
    LetturaArchivio lettura(opzioni, ricevitore);
    lettura.esegui(percorsi);
}

QByteArray LeggiOrigine(const QString &file, const QStringList &voci)
{
    if (voci.isEmpty()) {
        QByteArray bytes;
        leggiIn(file, bytes);
        return bytes;
    }
    const ArchivioZip zip(file);
    QByteArray bytes = zip.leggi(zip.cerca(voci.first()));
    for (qsizetype i = 1; i < voci.size(); ++i) {
        QByteArray dentro;
        {
            const ArchivioZip interno(bytes);
            dentro = interno.leggi(interno.cerca(voci[i]));
        }
        bytes = std::move(dentro);
    }
    return bytes;
}

void Totali::aggiungi(const RigaArchivio &riga)
{
    ++righe;
    const auto trovata = valute.find(riga.valuta);
    PerValuta somma = trovata == valute.end() ? PerValuta() : trovata->second;
    // A row with empty fields (an envelope that cannot be read) has no amounts to sum.
    bool leggibili = riga.illeggibile.isEmpty();
    for (const auto &[totale, importo] : { std::pair { &somma.imponibile, &riga.imponibile },
             std::pair { &somma.imposta, &riga.imposta }, std::pair { &somma.totale, &riga.totale } })
        if (importo->dato())
            leggibili = leggibili && importo->numero() && !__builtin_add_overflow(*totale, importo->valore(), totale);
    if (leggibili)
        valute[riga.valuta] = somma;
    else
        nonSommate << QStringLiteral("%1 (corpo %2)").arg(NomeOrigine(riga.file, riga.voci)).arg(riga.corpo);
}

QString TestoNonSommate(qsizetype quante)
{
    if (quante == 0)
        return QString();
    return quante == 1 ? QStringLiteral("1 fattura non sommata: importi non leggibili")
                       : QStringLiteral("%1 fatture non sommate: importi non leggibili").arg(quante);
}

QString Totali::testo() const
{
    QString t = righe == 1 ? QStringLiteral("1 fattura") : QStringLiteral("%1 fatture").arg(righe);
    for (const auto &[valuta, v] : valute)
        t += QStringLiteral("; %1: imponibile %2, imposta %3, totale %4")
                 .arg(valuta.isEmpty() ? QStringLiteral("senza valuta") : valuta,
                     FormatoCentesimi(v.imponibile, u',', true), FormatoCentesimi(v.imposta, u',', true),
                     FormatoCentesimi(v.totale, u',', true));
    if (!nonSommate.isEmpty()) {
        constexpr qsizetype kMostrate = 10;
        t += QStringLiteral("; ") + TestoNonSommate(nonSommate.size()) + QStringLiteral(" (")
            + nonSommate.mid(0, kMostrate).join(QStringLiteral(", "))
            + (nonSommate.size() > kMostrate ? QStringLiteral(" e altre %1").arg(nonSommate.size() - kMostrate)
                                             : QString())
            + u')';
    }
    return t;
}

void RaccoltaArchivio::righe(std::vector<RigaArchivio> &&nuove)
{
    for (RigaArchivio &r : nuove)
        tutte.push_back(std::move(r));
}

void RaccoltaArchivio::nonFattura(FileNonFattura &&file)
{
    nonFatture.push_back(std::move(file));
}

void RaccoltaArchivio::sdi(qsizetype riga, const QString &identificativo)
{
    tutte[static_cast<size_t>(riga)].sdi = identificativo;
}

void RaccoltaArchivio::statoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi)
{
    tutte[static_cast<size_t>(riga)].statoSdi = stato;
    tutte[static_cast<size_t>(riga)].messaggi = messaggi;
}

void RaccoltaArchivio::messaggi(MessaggiArchivio &&messaggi)
{
    for (MessaggioArchivio &m : messaggi)
        trovati.push_back(std::move(m));
}
