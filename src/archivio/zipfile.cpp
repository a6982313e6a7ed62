// ZIP entries read with libzip, in memory, within limits.
#include "archivio/zipfile_p.h"

#include "common/errors.h"

#include <QFile>

#include <algorithm>

namespace {
QString motivoZip(zip_error_t *errore)
{
    return QString::fromUtf8(zip_error_strerror(errore));
}

[[noreturn]] void nonLeggibile(zip_error_t *errore)
{
    const QString motivo = motivoZip(errore);
    zip_error_fini(errore);
    throw Exception(QStringLiteral("Archivio ZIP non leggibile: ") + motivo);
}

const QString kTroppoGrande = QStringLiteral("Voce dell'archivio ZIP oltre 100 MB una volta estratta: non letta");
} // namespace

ArchivioZip::ArchivioZip(const QString &percorso)
{
    int codice = 0;
    zip_.reset(zip_open(QFile::encodeName(percorso).constData(), ZIP_RDONLY, &codice));
    if (!zip_) {
        zip_error_t errore;
        zip_error_init_with_code(&errore, codice);
        nonLeggibile(&errore);
    }
}

ArchivioZip::ArchivioZip(const QByteArray &bytes)
{
    zip_error_t errore;
    zip_error_init(&errore);
    ZipPtr<zip_source_t> sorgente(zip_source_buffer_create(bytes.constData(), bytes.size(), 0, &errore));
    if (!sorgente)
        nonLeggibile(&errore);
    zip_.reset(zip_open_from_source(sorgente.get(), ZIP_RDONLY, &errore));
    if (!zip_)
        nonLeggibile(&errore);
    sorgente.release(); // the archive owns it now
    zip_error_fini(&errore);
}

std::vector<VoceZip> ArchivioZip::voci() const
{
    std::vector<VoceZip> voci;
    const zip_int64_t n = zip_get_num_entries(zip_.get(), 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *nome = zip_get_name(zip_.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (nome == nullptr || *nome == 0)
            continue;
        QString testo = QString::fromUtf8(nome);
        if (!testo.endsWith(u'/'))
            voci.push_back({ std::move(testo), static_cast<zip_uint64_t>(i) });
    }
    std::stable_sort(voci.begin(), voci.end(), [](const VoceZip &a, const VoceZip &b) { return a.nome < b.nome; });
    return voci;
}

VoceZip ArchivioZip::cerca(const QString &nome) const
{
    for (VoceZip &v : voci())
        if (v.nome == nome)
            return v;
    throw Exception(QStringLiteral("Voce non trovata nell'archivio ZIP: ") + nome);
}

QByteArray ArchivioZip::leggi(const VoceZip &voce) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip_.get(), voce.indice, 0, &stat) != 0)
        throw Exception(
            QStringLiteral("Voce dell'archivio ZIP non leggibile: ") + QString::fromUtf8(zip_strerror(zip_.get())));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw Exception(QStringLiteral("Voce dell'archivio ZIP cifrata: non letta"));
    // What the entry claims decides before anything is inflated; what it
    // really inflates to is held to the same limit while reading.
    const bool dimensioneNota = (stat.valid & ZIP_STAT_SIZE) != 0;
    if (dimensioneNota && stat.size > static_cast<zip_uint64_t>(kMassimoVoce))
        throw Exception(kTroppoGrande);
    ZipPtr<zip_file_t> file(zip_fopen_index(zip_.get(), voce.indice, 0));
    if (!file)
        throw Exception(
            QStringLiteral("Voce dell'archivio ZIP non leggibile: ") + QString::fromUtf8(zip_strerror(zip_.get())));
    const auto leggiPezzo = [&](char *dove, qint64 quanti) {
        const zip_int64_t n = zip_fread(file.get(), dove, static_cast<zip_uint64_t>(quanti));
        if (n < 0)
            throw Exception(QStringLiteral("Voce dell'archivio ZIP non leggibile: ")
                + QString::fromUtf8(zip_file_strerror(file.get())));
        return static_cast<qint64>(n);
    };
    QByteArray bytes(dimensioneNota ? static_cast<qint64>(stat.size) : 64 * 1024, Qt::Uninitialized);
    qint64 letti = 0;
    for (;;) {
        if (letti == bytes.size()) {
            if (dimensioneNota) {
                // Not a byte more than it claims.
                char oltre = 0;
                if (leggiPezzo(&oltre, 1) != 0)
                    throw Exception(QStringLiteral("Voce dell'archivio ZIP più lunga di quanto dichiara: non letta"));
                break;
            }
            if (letti > kMassimoVoce)
                throw Exception(kTroppoGrande);
            bytes.resize(std::min<qint64>(2 * letti, kMassimoVoce + 1));
        }
        const qint64 n = leggiPezzo(bytes.data() + letti, bytes.size() - letti);
        if (n == 0)
            break;
        letti += n;
    }
    bytes.truncate(letti);
    return bytes;
}
