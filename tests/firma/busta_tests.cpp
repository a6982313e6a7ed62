// Envelopes read in memory: the same document the command-line tool extracts,
// every level of a nested envelope, clear refusals.
#include "firma/busta.h"

#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// What the tool extracts from the DER it is given; empty when it fails.
QByteArray estrattoDalloStrumento(const QByteArray &der)
{
    QProcess tool;
    tool.start(QStringLiteral("openssl"),
        { QStringLiteral("cms"), QStringLiteral("-verify"), QStringLiteral("-noverify"), QStringLiteral("-inform"),
            QStringLiteral("DER") });
    tool.write(der);
    tool.closeWriteChannel();
    tool.waitForFinished(-1);
    return tool.exitCode() == 0 ? tool.readAllStandardOutput() : QByteArray();
}

QByteArray firmato(const QTemporaryDir &dir, const QByteArray &contenuto)
{
    const QString in = dir.filePath(QStringLiteral("in.bin"));
    const QString out = dir.filePath(QStringLiteral("out.p7m"));
    writeBytes(in, contenuto);
    const int rc = QProcess::execute(QStringLiteral("openssl"),
        { QStringLiteral("cms"), QStringLiteral("-sign"), QStringLiteral("-binary"), QStringLiteral("-nodetach"),
            QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-in"), in, QStringLiteral("-signer"),
            dir.filePath(QStringLiteral("c.pem")), QStringLiteral("-inkey"), dir.filePath(QStringLiteral("k.pem")),
            QStringLiteral("-out"), out });
    EXPECT_EQ(rc, 0);
    return readBytes(out);
}
} // namespace

TEST(Busta, CorpusEnvelopesGiveWhatTheToolExtracts)
{
    REQUIRE_CORPUS();
    int aperte = 0;
    for (const QString &path : corpusFiles(QStringLiteral("p7m"), QStringLiteral(".p7m"))) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = readBytes(path);
        const bool danneggiata = path.contains(QStringLiteral("_tampered"));
        if (danneggiata) {
            EXPECT_EQ(errorOf([&] { ApriBusta(bytes); }), "Il file non è una busta firmata (.p7m) leggibile");
            continue;
        }
        const BustaAperta busta = ApriBusta(bytes);
        EXPECT_EQ(busta.livelli, 1);
        const QString gemella = QString(path)
                                    .replace(QStringLiteral(".base64"), QString(), Qt::CaseInsensitive)
                                    .replace(QStringLiteral(".CRLF"), QString());
        EXPECT_EQ(busta.contenuto, estrattoDalloStrumento(readBytes(gemella)));
        EXPECT_TRUE(busta.contenuto.contains("FatturaElettronica"));
        ++aperte;
    }
    EXPECT_GE(aperte, 6);
}

TEST(Busta, NestedEnvelopesAreUnwrappedAndBadInputRefused)
{
    QTemporaryDir dir;
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("openssl"),
            { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=Prova"),
                QStringLiteral("-keyout"), dir.filePath(QStringLiteral("k.pem")), QStringLiteral("-out"),
                dir.filePath(QStringLiteral("c.pem")), QStringLiteral("-days"), QStringLiteral("2") }),
        0);
    const QByteArray xml = "<FatturaElettronica/>";
    const QByteArray una = firmato(dir, xml);
    const BustaAperta due = ApriBusta(firmato(dir, una));
    EXPECT_EQ(due.contenuto, xml);
    EXPECT_EQ(due.livelli, 2);
    EXPECT_EQ(ApriBusta(una.toBase64()).contenuto, xml);

    const struct {
        const char *nome;
        QByteArray bytes;
        const char *messaggio;
    } casi[] = {
        { "empty", QByteArray(), "Il file non è una busta firmata (.p7m) leggibile" },
        { "truncated", una.left(una.size() / 2), "Il file non è una busta firmata (.p7m) leggibile" },
        { "garbage", QByteArray(4096, '\x30'), "Il file non è una busta firmata (.p7m) leggibile" },
        { "plain xml", xml, "Il file non è una busta firmata (.p7m) leggibile" },
    };
    for (const auto &c : casi)
        EXPECT_EQ(errorOf([&] { ApriBusta(c.bytes); }), c.messaggio) << c.nome;
}
