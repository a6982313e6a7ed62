// Envelope extraction: failure order and messages, output naming, envelopes made
// at test time with the real tool and from the corpus, Base64 text envelopes.
#include "attachments/envelope.h"
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

// Readable failures: gtest would print a QString as its code units (found
// beside QString, in the global namespace).
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

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
