// The trusted lists of certifiers (ETSI TS 119 612 XML, such as the Italian
// list in CERTIFICATORI/): read once, immutable afterwards, so one list can be
// shared by every verification, on any thread.
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

enum class FirmaElenco { Assente, Integra, NonIntegra };

struct InfoElenco {
    QString percorso;
    QString territorio; // SchemeTerritory, "IT"
    QString operatore; // the scheme operator's name
    QDateTime emissione; // ListIssueDateTime, UTC
    QDateTime prossimoAggiornamento; // NextUpdate; null for a closed list
    bool scaduto = false; // past its next update at the verification's now: still used, but said
    FirmaElenco firma = FirmaElenco::Assente; // the list's own signature; no key is pinned
    int certificatori = 0; // services of type CA/QC
    int marcature = 0; // time-stamping services (TSA)
};

// Lists bigger than this are refused unread: the Italian one is a few MB.
inline constexpr qint64 kMaxDimensioneElenco = 20 * 1024 * 1024;

class ElencoCertificatori final {
public:
    ElencoCertificatori();
    ~ElencoCertificatori();
    ElencoCertificatori(ElencoCertificatori &&) noexcept;
    ElencoCertificatori &operator=(ElencoCertificatori &&) noexcept;

    // Reads one list. Throws Exception with the Italian reason when it is not
    // a usable list.
    void aggiungi(QByteArrayView bytes, const QString &percorso);
    // Records a list that could not be read: its sentence.
    void aggiungiProblema(const QString &problema);

    const QList<InfoElenco> &elenchi() const;
    const QStringList &problemi() const;

    struct Dati;
    const Dati &dati() const { return *d_; }

private:
    std::unique_ptr<Dati> d_;
};

// The list in a file, or every .xml list in a folder (in name order), for
// each path given; lists that cannot be read are kept as problems, never
// thrown. A folder that does not exist adds nothing. Only regular files are
// read (never a device or a FIFO, nor a link to one), and none over the limit.
ElencoCertificatori CaricaElenchi(const QStringList &fileOCartelle);

// Reads the lists at the first use and keeps them for the run: the window owns
// one, lentiva-cli one per run. Safe to use from several threads.
class ElencoPigro final {
public:
    explicit ElencoPigro(QStringList fileOCartelle);
    // The lists, read on the first call.
    std::shared_ptr<const ElencoCertificatori> elenco();
    // Forgets them, so the next call reads them anew (after a download).
    void ricarica();

private:
    QStringList percorsi_;
    std::mutex mutex_;
    std::shared_ptr<const ElencoCertificatori> elenco_;
};
