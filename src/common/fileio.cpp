#include "common/fileio.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool directoryExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool forceDirectories(const QString &path)
{
    return !path.isEmpty() && QDir().mkpath(path);
}

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void openForReading(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2").arg(displayPath(file.fileName()), file.errorString()));
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    openForReading(file);
    const qint64 size = file.size();
    // Read into a buffer of the file's size: readAll grows its own to up to
    // twice that, which counts for invoices of many megabytes. Whatever the
    // size did not tell (a file that grew, a special file) follows.
    QByteArray data(size, Qt::Uninitialized);
    const qint64 got = size > 0 ? file.read(data.data(), size) : 0;
    if (got < 0)
        throw Exception(QStringLiteral("Stream read error"));
    data.truncate(got);
    data.append(file.readAll());
    if (file.error() != QFileDevice::NoError || data.size() < size)
        throw Exception(QStringLiteral("Stream read error"));
    return data;
}

RegularRead readRegularFile(const QString &path, qint64 maxSize, QByteArray &data)
{
    data.clear();
    // Opened without waiting, so a FIFO never blocks; what it is, is then asked
    // of the open file itself, not of a name that could change meanwhile.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2")
                            .arg(displayPath(path), QString::fromLocal8Bit(std::strerror(errno))));
    const auto chiudi = qScopeGuard([fd] { ::close(fd); });
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return RegularRead::NotRegular;
    if (info.st_size > maxSize)
        return RegularRead::TooBig;
    const auto leggi = [fd](char *dove, qsizetype quanti) {
        ssize_t n = 0;
        do
            n = ::read(fd, dove, static_cast<size_t>(quanti));
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw Exception(QStringLiteral("Stream read error"));
        return static_cast<qsizetype>(n);
    };
    data.resize(static_cast<qsizetype>(info.st_size));
    qsizetype letti = 0;
    for (qsizetype n = 1; letti < data.size() && n > 0; letti += n)
        n = leggi(data.data() + letti, data.size() - letti);
    data.truncate(letti);
    // A file that grew meanwhile: what follows, up to the limit.
    char altro[4096];
    for (qsizetype n = leggi(altro, sizeof altro); n > 0; n = leggi(altro, sizeof altro)) {
        if (data.size() + n > maxSize)
            return RegularRead::TooBig;
        data.append(altro, n);
    }
    return RegularRead::Ok;
}

namespace {
// True when every line already ends in CR LF (the usual case), so the text
// can be kept as it is without a copy.
bool endsEveryLineWithCrLf(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    if (bytes.isEmpty())
        return true;
    if (bytes.size() < 2 || end[-2] != '\r' || end[-1] != '\n')
        return false;
    for (const char *lf = p; (lf = static_cast<const char *>(std::memchr(lf, '\n', end - lf))) != nullptr; ++lf)
        if (lf == p || lf[-1] != '\r')
            return false;
    for (const char *cr = p; (cr = static_cast<const char *>(std::memchr(cr, '\r', end - cr))) != nullptr; ++cr)
        if (cr + 1 == end || cr[1] != '\n')
            return false;
    return true;
}

// The next CR or LF from p. The next CR is remembered between calls so that a
// file without any CR is not scanned to its end once per line.
const char *findLineEnd(const char *p, const char *end, const char *&nextCr)
{
    if (nextCr < p) {
        nextCr = static_cast<const char *>(std::memchr(p, '\r', end - p));
        if (nextCr == nullptr)
            nextCr = end;
    }
    const auto *lf = static_cast<const char *>(std::memchr(p, '\n', nextCr - p));
    return lf != nullptr ? lf : nextCr;
}
} // namespace

QByteArray normalizeLineEnds(QByteArray bytes)
{
    if (const void *nul = std::memchr(bytes.constData(), 0, static_cast<size_t>(bytes.size())))
        bytes.truncate(static_cast<const char *>(nul) - bytes.constData());
    if (endsEveryLineWithCrLf(bytes))
        return bytes;

    // Every lone CR or LF grows by one byte, a last line without an end by
    // two. The text is widened in place, from its end, so that an invoice of
    // many megabytes is never held twice.
    const qsizetype oldSize = bytes.size();
    qsizetype extra = 0;
    const char *begin = bytes.constData();
    const char *end = begin + oldSize;
    const char *nextCr = nullptr;
    for (const char *p = begin; p < end;) {
        const char *q = findLineEnd(p, end, nextCr);
        if (q == end) {
            extra += 2;
            break;
        }
        if (*q == '\r' && q + 1 < end && q[1] == '\n')
            ++q;
        else
            ++extra;
        p = q + 1;
    }
    bytes.resize(oldSize + extra);
    char *d = bytes.data();
    qsizetype i = oldSize;
    qsizetype j = oldSize + extra;
    if (oldSize > 0 && d[oldSize - 1] != '\r' && d[oldSize - 1] != '\n') {
        d[--j] = '\n';
        d[--j] = '\r';
    }
    while (i > 0) {
        const char c = d[--i];
        if (c == '\n' || c == '\r') {
            if (c == '\n' && i > 0 && d[i - 1] == '\r')
                --i;
            d[--j] = '\n';
            d[--j] = '\r';
        } else {
            d[--j] = c;
        }
    }
    return bytes;
}

QByteArray loadTextAsLines(const QString &path)
{
    return normalizeLineEnds(readWholeFile(path));
}

void writeFileAtomically(const QString &path, QByteArrayView data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(displayPath(path), file.errorString()));
    // Qt 6.4 commits a file whose buffered bytes failed at the final flush,
    // so the flush is made and checked here, before the commit.
    if ((!data.isEmpty() && file.write(data.data(), data.size()) != data.size()) || !file.flush()
        || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        throw Exception(QStringLiteral("Stream write error"));
    }
    if (!file.commit())
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(displayPath(path), file.errorString()));
}

namespace {
// A group this big shares one barrier; few enough descriptors stay open.
constexpr size_t kGruppo = 64;

bool scriviTutto(int fd, QByteArrayView dati)
{
    for (qsizetype fatti = 0; fatti < dati.size();) {
        const ssize_t n = ::write(fd, dati.data() + fatti, static_cast<size_t>(dati.size() - fatti));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        fatti += n;
    }
    return true;
}
} // namespace

ScritturaInGruppo::ScritturaInGruppo(std::function<void(const QString &, const QString &)> fallito)
    : fallito_(std::move(fallito))
{
}

ScritturaInGruppo::~ScritturaInGruppo()
{
    concludi();
}

void ScritturaInGruppo::scrivi(const QString &percorso, QByteArrayView dati)
{
    const QFileInfo info(percorso);
    const int fd = ::open(QFile::encodeName(info.absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        writeFileAtomically(percorso, dati);
        return;
    }
    // A link (which the single writer follows) or anything but a file in the
    // way: that writer writes it, or says why it cannot.
    struct stat esistente;
    const QByteArray nome = QFile::encodeName(percorso);
    if (::lstat(nome.constData(), &esistente) == 0 && !S_ISREG(esistente.st_mode)) {
        ::close(fd);
        writeFileAtomically(percorso, dati);
        return;
    }
    if ((::stat(nome.constData(), &esistente) == 0 && ::fchmod(fd, esistente.st_mode & 07777) != 0)
        || !scriviTutto(fd, dati)) {
        ::close(fd);
        throw Exception(QStringLiteral("Stream write error"));
    }
    attesa_.push_back({ percorso, fd });
    if (attesa_.size() >= kGruppo)
        concludi();
}

void ScritturaInGruppo::concludi()
{
    if (attesa_.empty())
        return;
    // One barrier for the whole group: its bytes are on the disk before any name.
    const bool durevoli = ::syncfs(attesa_.front().fd) == 0;
    const int erroreSync = errno;
    for (const InAttesa &a : attesa_) {
        const QByteArray finale = QFile::encodeName(a.percorso);
        const QByteArray sorgente = "/proc/self/fd/" + QByteArray::number(a.fd);
        bool fatto = durevoli
            && ::linkat(AT_FDCWD, sorgente.constData(), AT_FDCWD, finale.constData(), AT_SYMLINK_FOLLOW) == 0;
        if (durevoli && !fatto && errno == EEXIST) {
            // Replaced as a whole: named aside, then renamed over it.
            const QByteArray accanto
                = finale + ".lentiva-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(a.fd);
            fatto = ::linkat(AT_FDCWD, sorgente.constData(), AT_FDCWD, accanto.constData(), AT_SYMLINK_FOLLOW) == 0;
            if (fatto && ::rename(accanto.constData(), finale.constData()) != 0) {
                fatto = false;
                const int e = errno;
                ::unlink(accanto.constData());
                errno = e;
            }
        }
        const int errore = durevoli ? errno : erroreSync;
        ::close(a.fd);
        if (!fatto)
            fallito_(a.percorso,
                QStringLiteral("Cannot create file \"%1\". %2").arg(displayPath(a.percorso), qt_error_string(errore)));
    }
    attesa_.clear();
}
