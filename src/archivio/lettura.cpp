// The reading of an archive: the walk of the folders, the ZIP archives, the
// pool of workers and the delivery of what they find in the list's order.
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
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {
const QString kFileTroppoGrande = QStringLiteral("Il file supera 100 MB: non letto");

// The whole file into the buffer, which keeps its room from one file to the
// next: a worker reads thousands of small files. Errors as readWholeFile's.
void leggiIn(const QString &percorso, QByteArray &buffer)
{
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(displayPath(percorso), file.errorString()));
    const qint64 dimensione = file.size();
    if (dimensione > kMassimoVoce)
        throw Exception(kFileTroppoGrande);
    buffer.resize(std::max<qint64>(dimensione, 4096));
    qint64 letti = 0;
    for (;;) {
        if (letti == buffer.size()) {
            if (letti > kMassimoVoce) // it grew while being read
                throw Exception(kFileTroppoGrande);
            buffer.resize(2 * letti);
        }
        const qint64 n = file.read(buffer.data() + letti, buffer.size() - letti);
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

// A file to read, or what to say about a path the walk could not follow.
struct Trovato {
    QString percorso;
    QString motivo;
};

// Every file below the path. Each real folder and file is taken once, so a
// link that leads back into a folder already walked ends there, with a note.
// Only links need resolving: anything else lies in its folder's real path.
void esplora(const QString &percorso, const QString &veroNoto, QSet<QString> &visti, std::vector<Trovato> &trovati)
{
    const QFileInfo info(percorso);
    if (!info.exists()) {
        trovati.push_back({ percorso,
            info.isSymLink() ? QStringLiteral("Collegamento a un file che non esiste")
                             : QStringLiteral("File non trovato: ") + percorso });
        return;
    }
    const QString vero = veroNoto.isEmpty() || info.isSymLink() ? info.canonicalFilePath() : veroNoto;
    if (visti.contains(vero)) {
        trovati.push_back({ percorso,
            info.isDir() ? QStringLiteral("Cartella già elencata (collegamento circolare o ripetuto a %1)").arg(vero)
                         : QStringLiteral("File già elencato (collegamento a %1)").arg(vero) });
        return;
    }
    visti.insert(vero);
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
    const QStringList nomi
        = QDir(percorso).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &nome : nomi)
        esplora(percorso + u'/' + nome, vero + u'/' + nome, visti, trovati);
}

// One place in the list's order: a file, or an entry of a ZIP archive.
struct Posto {
    QString file;
    QStringList voci;
    bool pronto = false;
    EsitoFile esito;
    // A ZIP's entries, fixed before it is ready; each gets ready on its own.
    std::vector<std::unique_ptr<Posto>> figli;
};

class Lettura final {
public:
    Lettura(const OpzioniArchivio &opzioni, Ricevitore &ricevitore)
        : opz_(opzioni)
        , ric_(ricevitore)
    {
    }
    // Joined, not just finished: what a thread leaves behind (the crypto
    // library's error state) goes with it before the reading returns.
    ~Lettura()
    {
        for (std::thread &f : fili_)
            f.join();
    }
    Lettura(const Lettura &) = delete;
    Lettura &operator=(const Lettura &) = delete;

    void esegui(const QStringList &percorsi);

private:
    bool voluto(const QString &file, const QStringList &voci, bool contenitore) const;
    // A worker: the files in order, each taken by the first worker free;
    // then the entries that ZIP archives still being read hand over.
    void lavora();
    void fileFinito();
    // Hands the work to a worker that has nothing else to do; false when none.
    bool affida(std::function<void()> lavoro);
    void leggiFile(Posto &p, QByteArray &buffer);
    void leggiZip(Posto &p, const ArchivioZip &zip, int livello);
    void fallito(Posto &p, const QString &motivo)
    {
        p.esito.nonFatture.push_back({ p.file, p.voci, MotivoInUnaRiga(motivo) });
        pronto(p);
    }
    // Wakes the delivery only when it waits for this very place: the workers
    // usually run ahead of it.
    void pronto(Posto &p)
    {
        bool sveglia = false;
        {
            const std::lock_guard lock(mutex_);
            p.pronto = true;
            sveglia = atteso_ == &p;
        }
        if (sveglia)
            cambiato_.notify_one();
    }
    bool consegna(Posto &p);
    void consegnaEsito(EsitoFile &esito);

    const OpzioniArchivio &opz_;
    Ricevitore &ric_;
    // The workers use the places: they are joined (in the destructor) before
    // the places go.
    std::vector<std::unique_ptr<Posto>> posti_;
    std::vector<std::thread> fili_;
    std::mutex codaMutex_;
    std::condition_variable codaCambiata_;
    std::deque<std::function<void()>> coda_;
    size_t liberi_ = 0; // workers waiting for an entry
    size_t finiti_ = 0; // files done
    std::mutex mutex_;
    std::condition_variable cambiato_;
    const Posto *atteso_ = nullptr; // the place the delivery waits for
    std::atomic<qsizetype> trovati_ { 0 };
    std::atomic<size_t> prossimo_ { 0 };
    qsizetype fatti_ = 0;
    // The meeting of invoices and their metadata, by ChiaveFattura.
    qsizetype righeDate_ = 0;
    QHash<QString, QList<qsizetype>> righePerChiave_;
    QHash<QString, QString> sdiPerChiave_;
    std::vector<FileNonFattura> metadatiSoli_;
    QStringList chiaviMetadati_;
};

bool Lettura::voluto(const QString &file, const QStringList &voci, bool contenitore) const
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

void Lettura::lavora()
{
    QByteArray buffer;
    for (size_t i = prossimo_++; i < posti_.size(); i = prossimo_++) {
        if (!posti_[i]->pronto && !opz_.stop.stop_requested())
            leggiFile(*posti_[i], buffer);
        fileFinito();
    }
    for (;;) {
        std::function<void()> lavoro;
        {
            std::unique_lock lock(codaMutex_);
            ++liberi_;
            codaCambiata_.wait(lock, [this] { return !coda_.empty() || finiti_ == posti_.size(); });
            --liberi_;
            if (coda_.empty())
                return;
            lavoro = std::move(coda_.front());
            coda_.pop_front();
        }
        lavoro();
    }
}

void Lettura::fileFinito()
{
    bool tutti = false;
    {
        const std::lock_guard lock(codaMutex_);
        tutti = ++finiti_ == posti_.size();
    }
    if (tutti)
        codaCambiata_.notify_all();
}

bool Lettura::affida(std::function<void()> lavoro)
{
    {
        const std::lock_guard lock(codaMutex_);
        if (liberi_ <= coda_.size())
            return false;
        coda_.push_back(std::move(lavoro));
    }
    codaCambiata_.notify_one();
    return true;
}

void Lettura::leggiFile(Posto &p, QByteArray &buffer)
{
    try {
        if (eZip(p.file)) {
            const ArchivioZip zip(p.file);
            leggiZip(p, zip, 1);
            return;
        }
        leggiIn(p.file, buffer);
        AnalizzaFile(buffer, p.file, p.voci, opz_, p.esito);
        pronto(p);
    } catch (const Exception &e) {
        fallito(p, e.message());
    } catch (const std::bad_alloc &) {
        fallito(p, QStringLiteral("Memoria insufficiente per leggere il file"));
    }
}

void Lettura::leggiZip(Posto &p, const ArchivioZip &zip, int livello)
{
    const std::vector<VoceZip> voci = zip.voci();
    std::vector<const VoceZip *> lette;
    for (const VoceZip &v : voci) {
        auto figlio = std::make_unique<Posto>();
        figlio->file = p.file;
        figlio->voci = p.voci;
        figlio->voci << v.nome;
        if (!voluto(figlio->file, figlio->voci, eZip(v.nome)))
            continue;
        p.figli.push_back(std::move(figlio));
        lette.push_back(&v);
    }
    trovati_ += static_cast<qsizetype>(lette.size());
    pronto(p); // the entries are known: the delivery may walk into them
    for (size_t i = 0; i < lette.size(); ++i) {
        Posto &figlio = *p.figli[i];
        if (opz_.stop.stop_requested()) {
            pronto(figlio);
            continue;
        }
        try {
            QByteArray bytes = zip.leggi(*lette[i]);
            if (eZip(lette[i]->nome)) {
                if (livello >= kMassimoAnnidati)
                    throw Exception(QStringLiteral("Troppi archivi ZIP uno dentro l'altro: non letto"));
                const ArchivioZip interno(bytes);
                leggiZip(figlio, interno, livello + 1);
                continue;
            }
            // Inflating goes on here; the invoice is read on a free worker,
            // or here when none is free, so no more than one waits per worker.
            const auto analisi = [this, &figlio, bytes]() {
                AnalizzaFile(bytes, figlio.file, figlio.voci, opz_, figlio.esito);
                pronto(figlio);
            };
            if (!affida(analisi))
                analisi();
        } catch (const Exception &e) {
            fallito(figlio, e.message());
        } catch (const std::bad_alloc &) {
            fallito(figlio, QStringLiteral("Memoria insufficiente per leggere la voce"));
        }
    }
}

void Lettura::consegnaEsito(EsitoFile &esito)
{
    for (RigaArchivio &r : esito.righe) {
        const QString chiave = ChiaveFattura(r.voci.isEmpty() ? extractFileName(r.file) : r.voci.last());
        if (const auto it = sdiPerChiave_.constFind(chiave); it != sdiPerChiave_.constEnd())
            r.sdi = *it;
        righePerChiave_[chiave].append(righeDate_++);
    }
    if (!esito.righe.empty())
        ric_.righe(std::move(esito.righe));
    for (FileNonFattura &f : esito.nonFatture)
        ric_.nonFattura(std::move(f));
    for (MetadatiSdi &m : esito.metadati) {
        sdiPerChiave_[m.chiave] = m.identificativo;
        for (qsizetype riga : righePerChiave_.value(m.chiave))
            ric_.sdi(riga, m.identificativo);
        chiaviMetadati_ << m.chiave;
        metadatiSoli_.push_back(std::move(m.origine));
    }
    esito = EsitoFile();
}

bool Lettura::consegna(Posto &p)
{
    {
        std::unique_lock lock(mutex_);
        atteso_ = &p;
        cambiato_.wait(lock, [&] { return p.pronto || opz_.stop.stop_requested(); });
        atteso_ = nullptr;
        if (!p.pronto)
            return false;
    }
    consegnaEsito(p.esito);
    ric_.avanzamento(++fatti_, trovati_);
    for (const std::unique_ptr<Posto> &figlio : p.figli)
        if (!consegna(*figlio))
            return false;
    p.figli.clear();
    return true;
}

void Lettura::esegui(const QStringList &percorsi)
{
    const std::stop_callback fermata(opz_.stop, [this] {
        {
            const std::lock_guard lock(mutex_);
        }
        cambiato_.notify_all();
    });
    std::vector<Trovato> trovati;
    QSet<QString> visti;
    for (const QString &percorso : percorsi)
        esplora(QDir::cleanPath(percorso), QString(), visti, trovati);
    std::stable_sort(
        trovati.begin(), trovati.end(), [](const Trovato &a, const Trovato &b) { return a.percorso < b.percorso; });

    for (const Trovato &t : trovati) {
        if (t.motivo.isEmpty() && !voluto(t.percorso, {}, eZip(t.percorso)))
            continue;
        auto p = std::make_unique<Posto>();
        p->file = t.percorso;
        if (!t.motivo.isEmpty()) {
            p->esito.nonFatture.push_back({ t.percorso, {}, t.motivo });
            p->pronto = true;
        }
        posti_.push_back(std::move(p));
    }
    trovati_ += static_cast<qsizetype>(posti_.size());
    const int quanti = opz_.fili > 0 ? opz_.fili : std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < quanti; ++i)
        fili_.emplace_back([this] { lavora(); });
    for (const std::unique_ptr<Posto> &p : posti_)
        if (!consegna(*p))
            return;
    for (qsizetype i = 0; i < chiaviMetadati_.size(); ++i)
        if (!righePerChiave_.contains(chiaviMetadati_[i]))
            ric_.nonFattura(std::move(metadatiSoli_[static_cast<size_t>(i)]));
}
} // namespace

QString NomeOrigine(const QString &file, const QStringList &voci)
{
    return voci.isEmpty() ? file : file + u'/' + voci.join(u'/');
}

void LeggiArchivio(const QStringList &percorsi, const OpzioniArchivio &opzioni, Ricevitore &ricevitore)
{
    Lettura lettura(opzioni, ricevitore);
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
    PerValuta &v = valute[riga.valuta];
    bool lasciata = false;
    const auto somma = [&lasciata](qint64 &totale, const Importo &importo) {
        qint64 r = 0;
        if (!importo.dato())
            return;
        if (!importo.numero() || __builtin_add_overflow(totale, importo.valore(), &r))
            lasciata = true;
        else
            totale = r;
    };
    somma(v.imponibile, riga.imponibile);
    somma(v.imposta, riga.imposta);
    somma(v.totale, riga.totale);
    if (lasciata)
        nonSommate << QStringLiteral("%1 (corpo %2)").arg(NomeOrigine(riga.file, riga.voci)).arg(riga.corpo);
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
        t += QStringLiteral("; non sommate (importi non numerici): ")
            + nonSommate.mid(0, kMostrate).join(QStringLiteral(", "));
        if (nonSommate.size() > kMostrate)
            t += QStringLiteral(" e altre %1").arg(nonSommate.size() - kMostrate);
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
