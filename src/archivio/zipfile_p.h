// Reading the entries of a ZIP archive, from a file or from memory, with the
// limits that keep a hostile archive harmless. Internal to the archive module.
#pragma once

#include "archivio/zipptr.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// Entries that claim or inflate to more are refused, unread.
inline constexpr qint64 kMassimoVoce = 100 * 1000 * 1000;

struct VoceZip {
    QString nome; // as stored, "/" between folders; only ever read
    zip_uint64_t indice = 0;
    qint64 dimensione = -1; // what it claims to inflate to; -1 when it does not say
};

class ArchivioZip final {
public:
    // Throws Exception with "Archivio ZIP non leggibile: ..." and libzip's reason.
    explicit ArchivioZip(const QString &percorso);
    // The bytes must outlive the archive.
    explicit ArchivioZip(const QByteArray &bytes);

    // The file entries (folders left out), sorted by name.
    std::vector<VoceZip> voci() const;
    // How many entries the central directory lists, folders included.
    qint64 quante() const;
    // The entry's bytes; throws Exception for an entry too big, encrypted or
    // damaged.
    QByteArray leggi(const VoceZip &voce) const;
    // The entry of that name; throws Exception when there is none.
    VoceZip cerca(const QString &nome) const;

private:
    ZipPtr<zip_t> zip_;
};

// Some bytes of an archive: those from an offset, at most that many (fewer at
// its end). Throws Exception when they cannot be read.
using TrattoZip = std::function<QByteArray(qint64 da, qint64 quanti)>;

// The central directory read on its own, before anything is inflated: every
// entry's data must lie inside the archive, before the directory, and no two
// entries may share bytes (a bomb that points many entries at one block).
// quante is how many entries libzip found: the two readings must agree.
// Throws Exception with the reason for the whole archive.
void ControllaVociZip(const TrattoZip &tratto, qint64 dimensione, qint64 quante);
void ControllaVociZip(const QByteArray &bytes, qint64 quante);
void ControllaVociZip(const QString &percorso, qint64 quante);
