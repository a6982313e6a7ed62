// ZIP entries read with libzip, in memory, within limits.
#include "archivio/zipfile_p.h"

#include "common/errors.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace {
// libzip's reason in Italian for the faults a user meets; its own words
// (and the system's) for the rest.
QString motivoZip(zip_error_t *errore)
{
    switch (zip_error_code_zip(errore)) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("non è un archivio ZIP");
    case ZIP_ER_INCONS:
        return QStringLiteral("archivio incoerente o danneggiato");
    case ZIP_ER_EOF:
        return QStringLiteral("il file finisce prima della fine dell'archivio");
    case ZIP_ER_CRC:
        return QStringLiteral("dati danneggiati (il controllo CRC non torna)");
    case ZIP_ER_ZLIB:
        return QStringLiteral("dati compressi danneggiati");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("metodo di compressione non supportato");
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("metodo di cifratura non supportato");
    case ZIP_ER_MEMORY:
        return QStringLiteral("memoria insufficiente");
    default:
        return QString::fromUtf8(zip_error_strerror(errore));
    }
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
        if (testo.endsWith(u'/'))
            continue;
        zip_stat_t stat;
        zip_stat_init(&stat);
        const bool nota
            = zip_stat_index(zip_.get(), static_cast<zip_uint64_t>(i), 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE);
        voci.push_back({ std::move(testo), static_cast<zip_uint64_t>(i),
            nota ? static_cast<qint64>(std::min<zip_uint64_t>(stat.size, INT64_MAX)) : -1 });
    }
    std::stable_sort(voci.begin(), voci.end(), [](const VoceZip &a, const VoceZip &b) { return a.nome < b.nome; });
    return voci;
}

qint64 ArchivioZip::quante() const
{
    return zip_get_num_entries(zip_.get(), 0);
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
            QStringLiteral("Voce dell'archivio ZIP non leggibile: ") + motivoZip(zip_get_error(zip_.get())));
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
            QStringLiteral("Voce dell'archivio ZIP non leggibile: ") + motivoZip(zip_get_error(zip_.get())));
    const auto leggiPezzo = [&](char *dove, qint64 quanti) {
        const zip_int64_t n = zip_fread(file.get(), dove, static_cast<zip_uint64_t>(quanti));
        if (n < 0)
            throw Exception(
                QStringLiteral("Voce dell'archivio ZIP non leggibile: ") + motivoZip(zip_file_get_error(file.get())));
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

namespace {
const QString kVociSovrapposte
    = QStringLiteral("Archivio ZIP con voci che condividono gli stessi byte (possibile bomba ZIP): non letto");
const QString kVociFuori = QStringLiteral("Archivio ZIP con voci fuori dai suoi limiti: non letto");
const QString kIndiceIncoerente = QStringLiteral("Archivio ZIP con un indice delle voci incoerente: non letto");
// Far beyond the index of any archive within the limits of entries.
constexpr qint64 kMassimoIndice = 64 * 1024 * 1024;

quint16 u16(const QByteArray &b, qint64 p)
{
    return qFromLittleEndian<quint16>(b.constData() + p);
}
quint32 u32(const QByteArray &b, qint64 p)
{
    return qFromLittleEndian<quint32>(b.constData() + p);
}
quint64 u64(const QByteArray &b, qint64 p)
{
    return qFromLittleEndian<quint64>(b.constData() + p);
}

// Where the central directory lies and how many entries it lists, from the
// end record (the ZIP64 one when the plain fields overflow).
struct Indice {
    qint64 inizio = 0;
    qint64 dimensione = 0;
    qint64 voci = 0;
};

Indice trovaIndice(const TrattoZip &tratto, qint64 dimensione)
{
    constexpr qint64 kFine = 22, kCommentoMassimo = 0xFFFF;
    const qint64 da = std::max<qint64>(0, dimensione - kFine - kCommentoMassimo);
    const QByteArray coda = tratto(da, dimensione - da);
    // The last end record whose comment ends inside the archive, as libzip takes it.
    qint64 p = coda.size() - kFine;
    for (; p >= 0; --p)
        if (coda.at(p) == 'P' && coda.mid(p, 4) == "PK\x05\x06" && p + kFine + u16(coda, p + 20) <= coda.size())
            break;
    if (p < 0)
        throw Exception(kIndiceIncoerente);
    Indice i { u32(coda, p + 16), u32(coda, p + 12), u16(coda, p + 10) };
    const qint64 fine = da + p;
    // Fields at their highest value may be real (65,535 entries) when no ZIP64 record follows.
    if ((i.voci == 0xFFFF || i.dimensione == 0xFFFFFFFF || i.inizio == 0xFFFFFFFF) && p >= 20
        && coda.mid(p - 20, 4) == "PK\x06\x07") {
        const quint64 dove = u64(coda, p - 20 + 8);
        if (dove > static_cast<quint64>(fine))
            throw Exception(kVociFuori);
        const QByteArray z = tratto(static_cast<qint64>(dove), 56);
        if (z.size() < 56 || !z.startsWith("PK\x06\x06"))
            throw Exception(kIndiceIncoerente);
        const quint64 voci = u64(z, 32), grande = u64(z, 40), inizio = u64(z, 48);
        if (inizio > static_cast<quint64>(fine) || grande > static_cast<quint64>(fine) || voci > grande / 46)
            throw Exception(kVociFuori);
        i = { static_cast<qint64>(inizio), static_cast<qint64>(grande), static_cast<qint64>(voci) };
    }
    if (i.inizio + i.dimensione > fine)
        throw Exception(kVociFuori);
    return i;
}
} // namespace

void ControllaVociZip(const TrattoZip &tratto, qint64 dimensione, qint64 quante)
{
    const Indice indice = trovaIndice(tratto, dimensione);
    if (indice.voci != quante)
        throw Exception(kIndiceIncoerente);
    if (indice.dimensione > kMassimoIndice)
        throw Exception(QStringLiteral("Archivio ZIP con un indice delle voci oltre 64 MB: non letto"));
    const QByteArray cd = tratto(indice.inizio, indice.dimensione);
    // Each entry's bytes, at the least: the fixed part of its local header
    // and its compressed data, all before the directory (its name and extra
    // field, whose lengths only the local header tells, only add to them).
    std::vector<std::pair<quint64, quint64>> tratti;
    tratti.reserve(static_cast<size_t>(indice.voci));
    qint64 p = 0;
    for (qint64 n = 0; n < indice.voci; ++n) {
        if (p + 46 > cd.size() || !QByteArrayView(cd).sliced(p, 4).startsWith("PK\x01\x02"))
            throw Exception(kIndiceIncoerente);
        quint64 compressa = u32(cd, p + 20), estratta = u32(cd, p + 24), inizio = u32(cd, p + 42);
        const qint64 nome = u16(cd, p + 28), extra = u16(cd, p + 30), commento = u16(cd, p + 32);
        if (p + 46 + nome + extra + commento > cd.size())
            throw Exception(kIndiceIncoerente);
        // ZIP64: the fields that overflow follow in this order in their extra block.
        for (qint64 e = p + 46 + nome; e + 4 <= p + 46 + nome + extra;) {
            const quint16 tipo = u16(cd, e), lunghezza = u16(cd, e + 2);
            if (e + 4 + lunghezza > p + 46 + nome + extra)
                break;
            if (tipo == 0x0001) {
                qint64 q = e + 4;
                for (quint64 *campo : { &estratta, &compressa, &inizio }) {
                    if (*campo != 0xFFFFFFFF)
                        continue;
                    if (q + 8 > e + 4 + lunghezza)
                        throw Exception(kIndiceIncoerente);
                    *campo = u64(cd, q);
                    q += 8;
                }
            }
            e += 4 + lunghezza;
        }
        const quint64 limite = static_cast<quint64>(indice.inizio);
        if (inizio > limite || compressa > limite || 30 + compressa > limite - inizio)
            throw Exception(kVociFuori);
        tratti.emplace_back(inizio, inizio + 30 + compressa);
        p += 46 + nome + extra + commento;
    }
    std::sort(tratti.begin(), tratti.end());
    for (size_t i = 1; i < tratti.size(); ++i)
        if (tratti[i].first < tratti[i - 1].second)
            throw Exception(kVociSovrapposte);
}

void ControllaVociZip(const QByteArray &bytes, qint64 quante)
{
    ControllaVociZip([&bytes](qint64 da, qint64 quanti) { return bytes.mid(da, quanti); }, bytes.size(), quante);
}

void ControllaVociZip(const QString &percorso, qint64 quante)
{
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Archivio ZIP non leggibile: ") + file.errorString());
    ControllaVociZip(
        [&file](qint64 da, qint64 quanti) {
            if (!file.seek(da))
                throw Exception(QStringLiteral("Archivio ZIP non leggibile: ") + file.errorString());
            QByteArray b = file.read(quanti);
            if (b.size() != quanti)
                throw Exception(QStringLiteral("Archivio ZIP non leggibile: ") + file.errorString());
            return b;
        },
        file.size(), quante);
}
