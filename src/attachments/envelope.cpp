// Signed envelope extraction through the OpenSSL command-line tool.
#include "attachments/envelope.h"

#include "attachments/envelopetext.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
#ifdef Q_OS_WIN
const QString kToolName = QStringLiteral("openssl.exe");
#else
const QString kToolName = QStringLiteral("openssl");
#endif

// The child runs in the ossl folder, so a relative path would be read from
// there; the tool gets every path made absolute from the program's own folder.
QString forChild(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// When the envelope is Base64 text, its DER in a private temporary file
// (mode 0600, system temp folder), removed when this object goes, on every path.
// Reads the envelope once; the first byte alone settles the usual DER case.
std::unique_ptr<QTemporaryFile> decodedEnvelope(const QString &envelope)
{
    QFile file(envelope);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr; // the tool then reports what it finds
    char first = 0;
    if (!file.getChar(&first) || looksLikeDer(QByteArrayView(&first, 1)))
        return nullptr;
    file.ungetChar(first);
    const std::optional<QByteArray> der = derFromBase64Envelope(file.readAll());
    if (!der)
        return nullptr;

    auto temp = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/lentiva-XXXXXX.p7m"));
    if (!temp->open())
        throw Exception(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(displayPath(temp->fileTemplate()), temp->errorString()));
    if (temp->write(*der) != der->size() || !temp->flush())
        throw Exception(QStringLiteral("Stream write error"));
    // Closed so the tool can open it everywhere; the file stays until destruction.
    temp->close();
    return temp;
}

// A child killed by a signal has no exit code of its own. On POSIX QProcess
// then reports the signal number, which is written as 128 + signal like a
// shell does (SIGKILL gives 137). On Windows the code QProcess reports for a
// crash is the real one (e.g. 0xC0000005) and is used as it is.
quint32 childExitCode(const QProcess &process)
{
    const auto code = static_cast<quint32>(process.exitCode());
#ifndef Q_OS_WIN
    if (process.exitStatus() == QProcess::CrashExit)
        return 128u + code;
#endif
    return code;
}
} // namespace

QString openSslExitMessage(quint32 exitCode)
{
    return QStringLiteral("OpenSSL errore (ExitCode=%1)").arg(exitCode);
}

bool EstraiXmlDaP7m(const QString &envelope, QString &output, const QString &programFolder)
{
    const QString tool = programFolder + DirOpenSSL + kToolName;
    const QString workingFolder = programFolder + QStringLiteral("ossl");
    output = removeFileExt(envelope);

    if (!fileExists(envelope))
        throw Exception(QStringLiteral("File non trovato: ") + envelope);
    if (!fileExists(tool))
        throw Exception(QStringLiteral("OpenSSL non trovato: ") + tool);

    const std::unique_ptr<QTemporaryFile> decoded = decodedEnvelope(envelope);
    const QString input = decoded ? decoded->fileName() : envelope;

    QProcess process;
    process.setProgram(QFileInfo(tool).absoluteFilePath());
    process.setArguments({ QStringLiteral("smime"), QStringLiteral("-verify"), QStringLiteral("-in"), forChild(input),
        QStringLiteral("-inform"), QStringLiteral("DER"), QStringLiteral("-noverify"), QStringLiteral("-out"),
        forChild(output) });
    process.setWorkingDirectory(workingFolder);
    // The tool talks to nobody: no input, and its messages are not shown (the
    // exit code is what the user is told).
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *args) { args->flags |= CREATE_NO_WINDOW; });
#endif
    process.start();
    if (!process.waitForStarted(-1))
        throw Exception(QStringLiteral("Errore avvio OpenSSL"));
    process.waitForFinished(-1);

    const quint32 code = childExitCode(process);
    // 4 is a failed verification; the content the tool wrote still counts.
    if (code != 0 && code != 4)
        throw Exception(openSslExitMessage(code));
    if (!fileExists(output))
        throw Exception(QStringLiteral("Output non creato: ") + output);
    return true;
}
