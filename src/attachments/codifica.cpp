// Encoding a file into Base64 text.
#include "attachments/codifica.h"

#include "attachments/messaggi.h"
#include "codec/base64.h"
#include "common/errors.h"
#include "common/fileio.h"

#include <QBuffer>
#include <QFile>

bool FileToBase64(const QString &fileName, QByteArray &testo, QString &messaggio)
{
    testo.clear();
    messaggio.clear();
    if (!fileExists(fileName)) {
        messaggio = QStringLiteral("Errore: ") + fileName + QStringLiteral(" non trovato!");
        return false;
    }
    // Other programs may still write to it meanwhile: POSIX has no share modes.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(displayPath(fileName), file.errorString()));
    const qint64 size = file.size();
    if (size > kEncodeMaxBytes)
        throw Exception(MsgFileTroppoGrande.arg(displayPath(fileName)).arg(size).arg(kEncodeMaxBytes));
    QByteArray contenuto(size, Qt::Uninitialized);
    if (file.read(contenuto.data(), size) != size)
        throw Exception(QStringLiteral("Stream read error"));
    QBuffer buffer(&contenuto);
    buffer.open(QIODevice::ReadOnly);
    TEncoderMIME encoder;
    testo = encoder.Encode(buffer, kEncodeAll);
    return true;
}

bool FileToBase64InPezzi(const QString &fileName, QIODevice &out, QString &messaggio)
{
    messaggio.clear();
    if (!fileExists(fileName)) {
        messaggio = QStringLiteral("Errore: ") + fileName + QStringLiteral(" non trovato!");
        return false;
    }
    QFile file(fileName);
    openForReading(file);
    // Whole groups of three bytes, so the pieces' texts join into one: 768 KiB
    // of the file, 1 MiB of text at a time.
    constexpr qint32 kPezzo = 3 * 256 * 1024;
    TEncoderMIME encoder;
    for (QByteArray testo; !(testo = encoder.Encode(file, kPezzo)).isEmpty();)
        if (out.write(testo) != testo.size())
            throw Exception(QStringLiteral("Stream write error"));
    return true;
}
