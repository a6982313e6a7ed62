// Envelope extraction: failure order and messages, output naming, envelopes made
// at test time with the real tool and from the corpus, Base64 text envelopes.
#include "attachments/envelope.h"
#include "attachments/envelopetext.h"
#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

#include "support/testsupport.h"

namespace {
QString u(const char *s)
{
    return QString::fromUtf8(s);
}

QString systemOpenSsl()
{
    return QFileInfo(programDir() + u("/ossl/openssl")).canonicalFilePath();
}

int runOpenSsl(const QStringList &args)
{
    QProcess p;
    p.start(systemOpenSsl(), args);
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray wrap(const QByteArray &text, int columns, const char *eol)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); i += columns)
        out += text.mid(i, columns) + eol;
    return out;
}

// What one call gave: true, or the message it threw; and the output parameter.
struct Outcome {
    bool ok = false;
    QString message;
    QString output = u("(not assigned)");
};

Outcome extract(const QString &envelope, const QString &programFolder)
{
    Outcome o;
    try {
        o.ok = EstraiXmlDaP7m(envelope, o.output, programFolder);
    } catch (const Exception &e) {
        o.message = e.message();
    }
    return o;
}

const QString kExit2 = u("OpenSSL errore (ExitCode=2)");
} // namespace

class Envelope : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        keys_ = new QTemporaryDir;
        const QString k = keys_->filePath(u("k.pem")), c = keys_->filePath(u("c.pem"));
        const QString x = keys_->filePath(u("x.xml")), p = keys_->filePath(u("x.xml.p7m"));
        xml_ = "<?xml version=\"1.0\"?>\n<FatturaElettronica><Numero>PAYLOAD-1</Numero></FatturaElettronica>\n";
        writeBytes(x, xml_);
        ASSERT_EQ(runOpenSsl({ u("req"), u("-x509"), u("-newkey"), u("rsa:2048"), u("-nodes"), u("-subj"),
                      u("/CN=Test"), u("-keyout"), k, u("-out"), c, u("-days"), u("2") }),
            0);
        ASSERT_EQ(runOpenSsl({ u("smime"), u("-sign"), u("-binary"), u("-nodetach"), u("-outform"), u("DER"), u("-in"),
                      x, u("-signer"), c, u("-inkey"), k, u("-out"), p }),
            0);
        der_ = readBytes(p);
    }
    static void TearDownTestSuite() { delete keys_; }

    // Every case runs with a private temporary folder that must end up empty.
    void SetUp() override
    {
        savedTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toUtf8());
    }
    void TearDown() override
    {
        qputenv("TMPDIR", savedTmp_);
        EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList())
            << "temporary files left behind";
    }

    QString at(const QString &rel) const { return work_.filePath(rel); }
    QString place(const QString &rel, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(at(rel)).path());
        writeBytes(at(rel), bytes);
        return at(rel);
    }
    static QString realProgram() { return programDir() + u("/"); }
    // A program folder of its own whose ossl/openssl is the given script, a
    // plain file that cannot run (empty script, no x bit) or nothing at all.
    QString fakeProgram(const QString &name, const std::optional<QByteArray> &script, bool executable = true) const
    {
        const QString folder = at(name) + u("/");
        QDir().mkpath(folder + u("ossl"));
        if (script) {
            place(name + u("/ossl/openssl"), *script);
            if (executable)
                QFile::setPermissions(folder + u("ossl/openssl"), QFile::ReadOwner | QFile::ExeOwner);
        }
        return folder;
    }

    // A program folder whose tool records, in log/, its folder, its arguments,
    // the mode and bytes of what it was given to read; it writes "done".
    QString recordingTool(const QString &name) const
    {
        const char body[] = R"(
pwd > "$LOG/pwd"; printf '%s\n' "$@" > "$LOG/args"
stat -c %a "$4" > "$LOG/mode"; cp "$4" "$LOG/input"
echo done > "$9"
)";
        QDir().mkpath(at(u("log")));
        return fakeProgram(name, "#!/bin/sh\nLOG='" + at(u("log")).toUtf8() + "'" + body);
    }
    QStringList recorded(const QString &what) const
    {
        return QString::fromUtf8(readBytes(at(u("log/")) + what)).split(u("\n"));
    }

    static inline QTemporaryDir *keys_ = nullptr;
    static inline QByteArray xml_;
    static inline QByteArray der_;
    QTemporaryDir work_;
    QTemporaryDir tmp_;
    QByteArray savedTmp_;
};

TEST_F(Envelope, WritesTheXmlBesideTheEnvelopeWithoutItsLastExtension)
{
    const struct {
        const char *name, *envelope, *output;
    } rows[] = {
        { "inner extension kept", "a.xml.p7m", "a.xml" },
        { "no inner extension", "fattura.p7m", "fattura" },
        { "blanks in folder and name", "una cartella/a b.xml.p7m", "una cartella/a b.xml" },
        { "dot in folder name, upper-case extension", "arch.2024/fattura.P7M", "arch.2024/fattura" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const Outcome o = extract(place(u(r.envelope), der_), realProgram());
        EXPECT_TRUE(o.ok) << o.message.toStdString();
        EXPECT_EQ(o.output, at(u(r.output)));
        EXPECT_EQ(readBytes(at(u(r.output))), xml_);
    }
}

TEST_F(Envelope, RelativeEnvelopePathIsTheCallersNotTheToolFolders)
{
    place(u("rel.xml.p7m"), der_);
    const QString before = QDir::currentPath();
    QDir::setCurrent(work_.path());
    const Outcome o = extract(u("rel.xml.p7m"), realProgram());
    QDir::setCurrent(before);
    EXPECT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_EQ(o.output, u("rel.xml"));
    EXPECT_EQ(readBytes(at(u("rel.xml"))), xml_);
}

TEST_F(Envelope, FailuresComeInOrderWithTheirMessages)
{
    struct Row {
        const char *name;
        std::function<std::pair<QString, QString>()> make; // envelope, program folder
        std::function<QString(const QString &envelope, const QString &program)> message;
    };
    const auto good = [&] { return place(u("g h.xml.p7m"), der_); };
    const auto script = [](const char *body) { return QByteArray("#!/bin/sh\n") + body + "\n"; };
    const Row rows[] = {
        { "envelope and tool missing", [&] { return std::pair(at(u("no.p7m")), fakeProgram(u("p1"), std::nullopt)); },
            [](const QString &e, const QString &) { return u("File non trovato: ") + e; } },
        { "envelope missing", [&] { return std::pair(at(u("no.p7m")), realProgram()); },
            [](const QString &e, const QString &) { return u("File non trovato: ") + e; } },
        { "envelope is a folder", [&] { return std::pair(work_.path(), realProgram()); },
            [](const QString &e, const QString &) { return u("File non trovato: ") + e; } },
        { "tool missing", [&] { return std::pair(good(), fakeProgram(u("p2"), std::nullopt)); },
            [](const QString &, const QString &p) { return u("OpenSSL non trovato: ") + p + u("ossl/openssl"); } },
        { "tool cannot start", [&] { return std::pair(good(), fakeProgram(u("p3"), QByteArray(), false)); },
            [](const QString &, const QString &) { return u("Errore avvio OpenSSL"); } },
        { "damaged envelope",
            [&] { return std::pair(place(u("d.xml.p7m"), der_.first(der_.size() / 2)), realProgram()); },
            [](const QString &, const QString &) { return kExit2; } },
        { "tool killed by a signal", [&] { return std::pair(good(), fakeProgram(u("p4"), script("kill -KILL $$"))); },
            [](const QString &, const QString &) { return u("OpenSSL errore (ExitCode=137)"); } },
        { "tool succeeds, writes nothing", [&] { return std::pair(good(), fakeProgram(u("p5"), script("exit 0"))); },
            [](const QString &e, const QString &) { return u("Output non creato: ") + e.chopped(4); } },
        { "verification fails, nothing written",
            [&] { return std::pair(good(), fakeProgram(u("p6"), script("exit 4"))); },
            [](const QString &e, const QString &) { return u("Output non creato: ") + e.chopped(4); } },
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const auto [envelope, program] = r.make();
        const Outcome o = extract(envelope, program);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.message, r.message(envelope, program));
        EXPECT_EQ(o.output, envelope.endsWith(u(".p7m")) ? envelope.chopped(4) : envelope);
    }
}

TEST_F(Envelope, ChangedPayloadStillGivesWhatTheToolWrote)
{
    QByteArray changed = der_;
    changed[changed.indexOf("PAYLOAD-1")] = 'Q';
    const QString envelope = place(u("changed.xml.p7m"), changed);
    ASSERT_EQ(runOpenSsl({ u("smime"), u("-verify"), u("-in"), envelope, u("-inform"), u("DER"), u("-noverify"),
                  u("-out"), at(u("probe")) }),
        4);
    const Outcome o = extract(envelope, realProgram());
    EXPECT_TRUE(o.ok) << o.message.toStdString();
    EXPECT_EQ(readBytes(o.output), QByteArray(xml_).replace("PAYLOAD-1", "QAYLOAD-1"));
}

TEST_F(Envelope, EarlierOutputSatisfiesTheLastCheck)
{
    const QString envelope = place(u("old.xml.p7m"), der_);
    place(u("old.xml"), "earlier run");
    EXPECT_TRUE(extract(envelope, fakeProgram(u("p"), QByteArray("#!/bin/sh\nexit 0\n"))).ok);
}

TEST_F(Envelope, ToolGetsTheFixedArgumentsInItsOwnFolder)
{
    const QString program = recordingTool(u("prog dir"));
    const QString der = place(u("x y.xml.p7m"), der_);
    ASSERT_TRUE(extract(der, program).ok);
    EXPECT_EQ(recorded(u("args")),
        QStringList({ u("smime"), u("-verify"), u("-in"), der, u("-inform"), u("DER"), u("-noverify"), u("-out"),
            at(u("x y.xml")), QString() }));
    EXPECT_EQ(recorded(u("pwd")).first(), QFileInfo(program + u("ossl")).canonicalFilePath());
    EXPECT_EQ(readBytes(at(u("x y.xml"))), "done\n");
}

TEST_F(Envelope, Base64TextReachesTheToolThroughAPrivateTemporaryFile)
{
    const QString program = recordingTool(u("prog"));
    ASSERT_TRUE(extract(place(u("t.xml.p7m"), der_.toBase64()), program).ok);
    const QStringList args = recorded(u("args"));
    ASSERT_GE(args.size(), 9);
    EXPECT_EQ(QFileInfo(args[3]).path(), tmp_.path());
    EXPECT_FALSE(QFileInfo::exists(args[3]));
    EXPECT_EQ(args[8], at(u("t.xml")));
    EXPECT_EQ(recorded(u("mode")).first(), u("600"));
    EXPECT_EQ(readBytes(at(u("log/input"))), der_);
    EXPECT_EQ(readBytes(at(u("t.xml"))), "done\n");
}

TEST_F(Envelope, CorpusBase64EnvelopesGiveTheXmlOfTheirDerTwins)
{
    REQUIRE_CORPUS();
    const struct {
        const char *text, *der;
    } pairs[] = {
        { "IT02182030391_31.Base64.xml.p7m", "IT02182030391_31.xml.p7m" },
        { "IT02182030391_31.Base64.CRLF.xml.p7m", "IT02182030391_31.xml.p7m" },
        { "IT01234567890_FPR03.base64.xml.p7m", "IT01234567890_FPR03.xml.p7m" },
    };
    for (const auto &p : pairs) {
        SCOPED_TRACE(p.text);
        const auto copy = [&](const char *name, const char *sub) {
            return place(u(sub) + u("/") + u(name), readBytes(corpusDir() + u("/p7m/") + u(name)));
        };
        const Outcome fromText = extract(copy(p.text, "text"), realProgram());
        const Outcome fromDer = extract(copy(p.der, "der"), realProgram());
        ASSERT_TRUE(fromText.ok && fromDer.ok) << fromText.message.toStdString() << fromDer.message.toStdString();
        EXPECT_GT(readBytes(fromDer.output).size(), 1000);
        EXPECT_EQ(readBytes(fromText.output), readBytes(fromDer.output));
    }
}

TEST_F(Envelope, Base64TextMadeAtTestTimeOpens)
{
    const QByteArray once = der_.toBase64();
    const QByteArray twice = once.toBase64();
    const struct {
        const char *name;
        QByteArray text;
    } rows[] = {
        { "one line", once },
        { "wrapped at 64, LF", wrap(once, 64, "\n") },
        { "wrapped at 76, CR LF", wrap(once, 76, "\r\n") },
        { "encoded twice, wrapped at 64", wrap(wrap(once, 64, "\n").toBase64(), 64, "\n") },
        { "encoded twice, wrapped at 76 CR LF", wrap(twice, 76, "\r\n") },
        { "armoured", "-----BEGIN PKCS7-----\n" + wrap(once, 64, "\n") + "-----END PKCS7-----\n" },
        { "armoured CR LF, encoded twice inside",
            "-----BEGIN PKCS7-----\r\n" + wrap(twice, 64, "\r\n") + "-----END PKCS7-----\r\n" },
        { "no padding, blanks inside", QByteArray(once).replace('=', "").insert(10, "  \t ") + "\n\n" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const Outcome o = extract(place(u(r.name) + u("/e.xml.p7m"), r.text), realProgram());
        EXPECT_TRUE(o.ok) << o.message.toStdString();
        EXPECT_EQ(o.output, at(u(r.name) + u("/e.xml")));
        EXPECT_EQ(readBytes(o.output), xml_);
    }
}

TEST_F(Envelope, DamagedOrNonBase64EnvelopesGiveTheToolsExitCode)
{
    const QByteArray damaged = der_.first(der_.size() - 40);
    std::vector<std::pair<QString, QByteArray>> rows = {
        { u("damaged, Base64"), wrap(damaged.toBase64(), 64, "\n") },
        { u("damaged, Base64 twice"), damaged.toBase64().toBase64() },
        { u("plain words"), "questa non e' una fattura firmata\n" },
        { u("XML text"), xml_ },
        { u("Base64 of something else"), QByteArray("ciao mondo, niente busta").toBase64() },
        { u("armour without its end"), "-----BEGIN PKCS7-----\n" + der_.toBase64() + "\n" },
        { u("empty file"), QByteArray() },
    };
    for (const char *name : { "IT02182030391_31_tampered.xml.p7m", "IT02182030391_31_tampered.Base64.xml.p7m" })
        if (!corpusDir().isEmpty())
            rows.emplace_back(u("corpus ") + u(name), readBytes(corpusDir() + u("/p7m/") + u(name)));
    for (const auto &[name, bytes] : rows) {
        SCOPED_TRACE(name.toStdString());
        const Outcome o = extract(place(name + u("/e.xml.p7m"), bytes), realProgram());
        EXPECT_EQ(o.message, kExit2);
        EXPECT_FALSE(QFileInfo::exists(o.output));
    }
}

TEST_F(Envelope, ReadOnlyFolderBesideABase64EnvelopeGivesOnlyTheToolsError)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: a read-only folder does not stop root's writes "
                        "(OutputPathTakenByAFolder covers the same path)";
    const QString envelope = place(u("ro/e.xml.p7m"), wrap(der_.toBase64(), 64, "\n"));
    QFile::setPermissions(at(u("ro")), QFile::ReadOwner | QFile::ExeOwner);
    const Outcome o = extract(envelope, realProgram());
    QFile::setPermissions(at(u("ro")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(o.message, kExit2);
}

TEST_F(Envelope, OutputPathTakenByAFolder)
{
    const QString envelope = place(u("e.xml.p7m"), wrap(der_.toBase64(), 64, "\n"));
    QDir().mkpath(at(u("e.xml")));
    EXPECT_EQ(extract(envelope, realProgram()).message, kExit2);
}

TEST(OpenSslExitMessage, WritesTheCodeUnsigned)
{
    const struct {
        quint32 code;
        const char *message;
    } rows[] = {
        { 2, "OpenSSL errore (ExitCode=2)" },
        { 0x80000000u, "OpenSSL errore (ExitCode=2147483648)" },
        { 0xC0000005u, "OpenSSL errore (ExitCode=3221225477)" },
        { 0xFFFFFFFFu, "OpenSSL errore (ExitCode=4294967295)" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(openSslExitMessage(r.code), u(r.message)) << r.message;
}

TEST(Base64Text, DecodesTolerantly)
{
    const struct {
        const char *name, *text;
        std::optional<QByteArray> bytes;
    } rows[] = {
        { "padded", "TWFueQ==", "Many" },
        { "padding missing", "TWFueQ", "Many" },
        { "padding partly missing", "TWFueQ=", "Many" },
        { "blanks and breaks anywhere", " TW\r\nFu\teQ =\n=\n", "Many" },
        { "byte-order mark", "\xEF\xBB\xBFTWFu", "Man" },
        { "armoured", "\n-----BEGIN PKCS7-----\nTWFu\n-----END PKCS7-----\n", "Man" },
        { "armour with another label", "-----BEGIN CMS-----\r\nTWFu\r\n-----END CMS-----", "Man" },
        { "armour without its end", "-----BEGIN PKCS7-----\nTWFu\n", std::nullopt },
        { "end without its armour", "TWFu\n-----END PKCS7-----\n", std::nullopt },
        { "text before the armour", "x\n-----BEGIN PKCS7-----\nTWFu\n-----END PKCS7-----\n", std::nullopt },
        { "sign outside the alphabet", "TWF!eQ==", std::nullopt },
        { "URL-safe alphabet", "TW-_", std::nullopt },
        { "digit after padding", "TQ==TWFu", std::nullopt },
        { "one digit left over", "TWFue", std::nullopt },
        { "padding past the group", "TWFu=", std::nullopt },
        { "blanks only", " \r\n", std::nullopt },
        { "empty", "", std::nullopt },
    };
    for (const auto &r : rows)
        EXPECT_EQ(decodeBase64Text(r.text), r.bytes) << r.name;
}

TEST(Base64Text, DerComesOutOfAtMostTwoRounds)
{
    const QByteArray der("\x30\x03\x02\x01\x05", 5);
    const struct {
        const char *name;
        QByteArray contents;
        std::optional<QByteArray> result;
    } rows[] = {
        { "DER goes unchanged", der, std::nullopt },
        { "encoded once", der.toBase64(), der },
        { "encoded twice", der.toBase64().toBase64(), der },
        { "encoded three times", der.toBase64().toBase64().toBase64(), std::nullopt },
        { "Base64 of text", QByteArray("ciao").toBase64(), std::nullopt },
        { "not Base64", "<xml/>", std::nullopt },
    };
    for (const auto &r : rows)
        EXPECT_EQ(derFromBase64Envelope(r.contents), r.result) << r.name;
}
