// Reading the entries of a ZIP archive, from a file or from memory, with the
// limits that keep a hostile archive harmless. Internal to the archive module.
#pragma once

#include "archivio/zipptr.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Entries that claim or inflate to more are refused, unread.
inline constexpr qint64 kMassimoVoce = 100 * 1000 * 1000;
// ZIP archives inside ZIP archives, at most this deep.
inline constexpr int kMassimoAnnidati = 4;

struct VoceZip {
    QString nome; // as stored, "/" between folders; only ever read
    zip_uint64_t indice = 0;
};

class ArchivioZip final {
public:
    // Throws Exception with "Archivio ZIP non leggibile: ..." and libzip's reason.
    explicit ArchivioZip(const QString &percorso);
    // The bytes must outlive the archive.
    explicit ArchivioZip(const QByteArray &bytes);

    // The file entries (folders left out), sorted by name.
    std::vector<VoceZip> voci() const;
    // The entry's bytes; throws Exception for an entry too big, encrypted or
    // damaged.
    QByteArray leggi(const VoceZip &voce) const;
    // The entry of that name; throws Exception when there is none.
    VoceZip cerca(const QString &nome) const;

private:
    ZipPtr<zip_t> zip_;
};
