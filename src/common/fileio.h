// File access with the program's own error texts ("Cannot open file ...",
// "Cannot create file ...", "Stream read error", "Stream write error").
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <functional>
#include <vector>

// A file exists only if it is a file; a folder only if it is a folder.
bool fileExists(const QString &path);
bool directoryExists(const QString &path);
// Creates the folder and its missing parents; false when it could not.
bool forceDirectories(const QString &path);

// The full path as the messages show it.
QString displayPath(const QString &path);

// Opens the file for reading; throws Exception with "Cannot open file ...".
void openForReading(QFile &file);

// Reads the whole file; throws Exception with "Cannot open file ..." or
// "Stream read error".
QByteArray readWholeFile(const QString &path);

// Reads a regular file of at most maxSize bytes into data. Anything else (a
// device, a FIFO, a socket, a link to one) is refused without reading, and a
// FIFO is never waited on. Throws Exception with "Cannot open file ..." or
// "Stream read error" when a regular file cannot be read.
enum class RegularRead { Ok, NotRegular, TooBig };
RegularRead readRegularFile(const QString &path, qint64 maxSize, QByteArray &data);

// A text file read as lines: bytes as they are, everything after the first NUL
// dropped, every line end (CR, LF, CR LF) written as CR LF, the last included.
QByteArray normalizeLineEnds(QByteArray bytes);
QByteArray loadTextAsLines(const QString &path);

// Writes the whole file or nothing: the bytes go to a temporary file in the
// same folder that replaces the target only once complete, so a failure never
// leaves a truncated file nor destroys an earlier one. Throws Exception with
// "Cannot create file ..." or "Stream write error".
void writeFileAtomically(const QString &path, QByteArrayView data);

// Many files written as writeFileAtomically writes one (whole or nothing, an
// earlier file's permissions kept), for a command that writes a page per
// input: each file is written without a name, a group of them is made durable
// with one barrier instead of one each, then each is given its name. Where
// that cannot be done (a file system without unnamed files) writeFileAtomically
// writes it at once. Errors that only naming meets come to fallito, later
// than the file's own turn.
class ScritturaInGruppo final {
public:
    explicit ScritturaInGruppo(std::function<void(const QString &percorso, const QString &errore)> fallito);
    // Names what is still waiting.
    ~ScritturaInGruppo();
    ScritturaInGruppo(const ScritturaInGruppo &) = delete;
    ScritturaInGruppo &operator=(const ScritturaInGruppo &) = delete;

    // Throws Exception as writeFileAtomically does.
    void scrivi(const QString &percorso, QByteArrayView dati);
    // Makes the waiting files durable and names them.
    void concludi();

private:
    struct InAttesa {
        QString percorso;
        int fd;
    };
    std::function<void(const QString &, const QString &)> fallito_;
    std::vector<InAttesa> attesa_;
};
