// Shared helpers: file names on both rule sets, trimming, code page 1252,
// line ends, whole-or-nothing writes, the error text rule.
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/folders.h"
#include "common/messages.h"
#include "common/strings.h"
#include "common/testopiano.h"
#include "common/text8.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/testsupport.h"

namespace {
QString u(const char *s)
{
    return QString::fromUtf8(s);
}

struct NameRow {
    const char *name;
    PathRules rules;
    const char *path;
    const char *folder;
    const char *file;
    const char *ext;
    const char *withoutExt;
};

const NameRow kNameRows[] = {
    { "win envelope", PathRules::Windows, "C:\\Fatture\\a b.xml.p7m", "C:\\Fatture\\", "a b.xml.p7m", ".p7m",
        "C:\\Fatture\\a b.xml" },
    { "win no inner ext", PathRules::Windows, "C:\\x\\fattura.p7m", "C:\\x\\", "fattura.p7m", ".p7m",
        "C:\\x\\fattura" },
    { "win drive only", PathRules::Windows, "C:fattura.xml", "C:", "fattura.xml", ".xml", "C:fattura" },
    { "win dot in folder", PathRules::Windows, "C:\\a.b\\fattura", "C:\\a.b\\", "fattura", "", "C:\\a.b\\fattura" },
    { "win slash is no separator", PathRules::Windows, "a/b.c", "", "a/b.c", ".c", "a/b" },
    { "win app folder", PathRules::Windows, "C:\\App\\lentiva.exe", "C:\\App\\", "lentiva.exe", ".exe",
        "C:\\App\\lentiva" },
    { "posix envelope", PathRules::Posix, "/home/x/a b.XML.P7M", "/home/x/", "a b.XML.P7M", ".P7M", "/home/x/a b.XML" },
    { "posix dot in folder", PathRules::Posix, "/a.b/fattura", "/a.b/", "fattura", "", "/a.b/fattura" },
    { "posix backslash is a letter", PathRules::Posix, "a\\b.c", "", "a\\b.c", ".c", "a\\b" },
    { "posix colon is a letter", PathRules::Posix, "c:x.xml", "", "c:x.xml", ".xml", "c:x" },
    { "posix hidden file", PathRules::Posix, "/x/.xml", "/x/", ".xml", ".xml", "/x/" },
    { "no name", PathRules::Posix, "", "", "", "", "" },
};
} // namespace

TEST(FileNames, PartsOnBothRuleSets)
{
    for (const NameRow &r : kNameRows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(extractFilePath(u(r.path), r.rules), u(r.folder));
        EXPECT_EQ(extractFileName(u(r.path), r.rules), u(r.file));
        EXPECT_EQ(extractFileExt(u(r.path), r.rules), u(r.ext));
        EXPECT_EQ(removeFileExt(u(r.path), r.rules), u(r.withoutExt));
    }
}

TEST(FileNames, ExtensionsAreComparedAsciiBlind)
{
    EXPECT_TRUE(hasExtension(u("FATTURA.XML"), u(".xml")));
    EXPECT_TRUE(hasExtension(u("f.Xml.P7M"), u(".p7m")));
    EXPECT_FALSE(hasExtension(u("f.xml.bak"), u(".xml")));
    EXPECT_FALSE(hasExtension(u("fattura"), u(".xml")));
    EXPECT_EQ(includeTrailingSeparator(u("C:\\App"), PathRules::Windows), u("C:\\App\\"));
    EXPECT_EQ(includeTrailingSeparator(u("/app/"), PathRules::Posix), u("/app/"));
    EXPECT_EQ(programFolderFrom(u("/opt/lentiva/lentiva")), u("/opt/lentiva/"));
    EXPECT_EQ(programFolderFrom(u("lentiva")), QString());
}

TEST(FileNames, HostileAttachmentNamesKeepOnlyTheLastPart)
{
    const struct {
        const char *in;
        const char *out;
    } rows[] = {
        { "a.pdf", "a.pdf" },
        { "../../etc/passwd", "passwd" },
        { "..\\..\\win.ini", "win.ini" },
        { "C:\\Windows\\x.dll", "x.dll" },
        { "/etc/cron.d/job", "job" },
        { "c:boot.ini", "boot.ini" },
        { "dir/", "" },
        { "..", "" },
        { "a/..", "" },
        { ".", "" },
        { "", "" },
        { "fattura 1 (copia).pdf", "fattura 1 (copia).pdf" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(plainFileName(u(r.in)), u(r.out)) << r.in;
}

// The sixteen-at-a-time scans against one byte at a time, with the byte
// that matters at every place around a block's edges.
TEST(TestoPiano, ScansAgreeWithOneByteAtATime)
{
    const auto primoLento = [](const std::string &s) -> size_t {
        for (size_t i = 0; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\n') || c == '<' || c == '&' || c == ']')
                return i;
        }
        return s.size();
    };
    for (const char speciale : { '<', '&', ']', '\r', '\0', '\x7f', '\x80', '\xff', '\t', '\n' })
        for (size_t lunghezza : { 0, 1, 15, 16, 17, 33 })
            for (size_t dove = 0; dove <= lunghezza; ++dove) {
                std::string s(lunghezza, 'a');
                if (dove < lunghezza)
                    s[dove] = speciale;
                const char *p = PrimoNonPiano<true, '<', '&', ']'>(s.data(), s.data() + s.size());
                EXPECT_EQ(size_t(p - s.data()), primoLento(s)) << int(speciale) << ' ' << lunghezza << ' ' << dove;
            }
    const std::string parola = "Signature";
    for (size_t lunghezza : { 0, 8, 9, 10, 24, 25, 40 })
        for (size_t dove = 0; dove + parola.size() <= lunghezza + 1; ++dove)
            for (const std::string &pezzo : { parola, std::string("Signatur"), std::string("ignature") }) {
                std::string s(lunghezza, 'S');
                s.replace(std::min(dove, s.size()), pezzo.size(), pezzo);
                s.resize(lunghezza);
                EXPECT_EQ(ContieneParola(s.data(), s.data() + s.size(), parola.data(), parola.size()),
                    s.find(parola) != std::string::npos)
                    << s;
            }
    // Names: each byte that cannot go on stops, next to each kind that can.
    const std::string nome = "aZz09_.-AM";
    for (const char fermo : { ':', ' ', '>', '/', '@', '[', '`', '{', '\x7f', '\x80', '\xff' })
        for (size_t lunghezza : { 0, 1, 15, 16, 17, 33 })
            for (size_t dove = 0; dove <= lunghezza; ++dove) {
                std::string s;
                for (size_t i = 0; i < lunghezza; ++i)
                    s += i == dove ? fermo : nome[i % nome.size()];
                EXPECT_EQ(size_t(FineNome(s.data(), s.data() + s.size()) - s.data()), dove)
                    << int(fermo) << ' ' << lunghezza << ' ' << dove;
            }
    // Counting, with every byte a match past the point where a lane would wrap.
    for (size_t lunghezza : { 0, 15, 16, 17, 4080, 4096, 5000 })
        for (const char riempi : { '<', 'a' }) {
            std::string s(lunghezza, riempi);
            if (lunghezza > 3)
                s[lunghezza / 2] = riempi == '<' ? 'a' : '<';
            EXPECT_EQ(ContaByte<'<'>(s.data(), s.data() + s.size()), size_t(std::count(s.begin(), s.end(), '<')))
                << lunghezza << riempi;
        }
}

TEST(Strings, TrimAndAsciiCase)
{
    EXPECT_EQ(trimControls(QByteArrayView("\t\r\n \x01"
                                          "FPR12 \r\n\0",
                  13)),
        QByteArray("FPR12"));
    EXPECT_EQ(trimControls(QByteArrayView("\xa0x\xa0")), QByteArray("\xa0x\xa0")); // NBSP is not trimmed
    EXPECT_EQ(trimControls(u("\u00a0 a b \u0001")), u("\u00a0 a b"));
    EXPECT_EQ(trimControls(QByteArrayView(" \r\n")), QByteArray());
    EXPECT_TRUE(equalsIgnoreAsciiCase(QByteArrayView("numero"), QByteArrayView("Numero")));
    EXPECT_FALSE(equalsIgnoreAsciiCase(u("\u00c8"), u("\u00e8")));
    EXPECT_EQ(toLowerAscii(u("F.XML.\u00c8")), u("f.xml.\u00c8"));
}

TEST(Windows1252, BestFitThenQuestionMark)
{
    const struct {
        const char *name;
        const char *utf8;
        QByteArray bytes;
    } rows[] = {
        { "ascii", "FPR12", "FPR12" },
        { "code page letters", "citt\u00e0 \u20ac \u00f3", "citt\xe0 \x80 \xf3" },
        { "polish L best fit", "\u0141\u00f3d\u017a",
            "L\xf3"
            "dz" },
        { "macron a best fit", "\u0101", "a" },
        { "no fit", "\u4e2d", "?" },
        { "beyond the basic plane", "\xf0\x9f\x98\x80!", "?!" },
        { "undefined bytes round trip", "\u0081\u009d", "\x81\x9d" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(toWindows1252(u(r.utf8)), r.bytes);
    }
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    EXPECT_EQ(toWindows1252(fromWindows1252(all)), all);
    EXPECT_EQ(fromWindows1252("\x80\xe0"), u("\u20ac\u00e0"));
}

TEST(TextFiles, LineEndsAndNul)
{
    const struct {
        const char *name;
        QByteArray in;
        QByteArray out;
    } rows[] = {
        { "empty", "", "" },
        { "no final break", "a", "a\r\n" },
        { "lf", "a\nb\n", "a\r\nb\r\n" },
        { "cr", "a\rb", "a\r\nb\r\n" },
        { "crlf counted once", "a\r\n\r\nb", "a\r\n\r\nb\r\n" },
        { "lf cr is two breaks", "a\n\rb", "a\r\n\r\nb\r\n" },
        { "already crlf", "a\r\nb\r\n", "a\r\nb\r\n" },
        { "lone cr at the end", "a\r\nb\r", "a\r\nb\r\n" },
        { "many lf lines", "1\n2\n3\r4", "1\r\n2\r\n3\r\n4\r\n" },
        { "nul ends the text", QByteArray("ab\0cd\n", 6), "ab\r\n" },
        { "nul first", QByteArray("\0x", 2), "" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(normalizeLineEnds(r.in), r.out);
    }
}

TEST(Files, MessagesAndWholeOrNothingWrites)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("manca.xml"));
    try {
        readWholeFile(missing);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
    }

    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_TRUE(directoryExists(dir.path()));
    const QString target = dir.filePath(QStringLiteral("a.pdf"));
    writeFileAtomically(target, "first");
    EXPECT_EQ(readBytes(target), QByteArray("first"));
    writeFileAtomically(target, "");
    EXPECT_TRUE(fileExists(target));
    EXPECT_EQ(readBytes(target), QByteArray());

    // A folder where the file should go: the error, and nothing else touched.
    const QString blocked = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(forceDirectories(blocked + QStringLiteral("/x/y")));
    try {
        writeFileAtomically(blocked, "data");
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(blocked))) << e.what();
    }
    EXPECT_TRUE(directoryExists(blocked + QStringLiteral("/x/y")));
}

// A group of pages: each whole under its name after the group's one barrier,
// an earlier file replaced with its permissions kept, a link written through
// (as the single writer does), a folder in the way refused at once, and a
// name that can no longer be given reported with its reason.
TEST(Files, PagesWrittenInGroupsWholeOrNothing)
{
    QTemporaryDir dir;
    const auto f = [&](int i) { return dir.filePath(QStringLiteral("p%1.html").arg(i)); };
    writeBytes(f(3), "vecchia");
    QFile::setPermissions(f(3), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    writeBytes(dir.filePath(QStringLiteral("vera.html")), "x");
    QFile::link(dir.filePath(QStringLiteral("vera.html")), f(5));
    QStringList falliti;
    {
        ScritturaInGruppo gruppo([&](const QString &p, const QString &e) { falliti << p + u'|' + e; });
        for (int i = 0; i < 70; ++i)
            gruppo.scrivi(f(i), "pagina " + QByteArray::number(i));
        EXPECT_EQ(readBytes(f(10)), "pagina 10"); // the first group is named already
        EXPECT_FALSE(QFileInfo::exists(f(69)));
        ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("cartella.html"))));
        EXPECT_EQ(errorOf([&] { gruppo.scrivi(dir.filePath(QStringLiteral("cartella.html")), "x"); }),
            errorOf([&] { writeFileAtomically(dir.filePath(QStringLiteral("cartella.html")), "x"); }));
        const QString sotto = dir.filePath(QStringLiteral("sotto"));
        QDir().mkdir(sotto);
        gruppo.scrivi(sotto + QStringLiteral("/q.html"), "q");
        ASSERT_TRUE(QDir().rmdir(sotto)); // nothing in it has a name yet
    }
    for (int i = 0; i < 70; ++i)
        EXPECT_EQ(readBytes(f(i)), "pagina " + QByteArray::number(i)) << i;
    struct stat modo;
    ASSERT_EQ(::stat(QFile::encodeName(f(3)).constData(), &modo), 0);
    EXPECT_EQ(modo.st_mode & 0777, 0640u);
    EXPECT_TRUE(QFileInfo(f(5)).isSymLink());
    EXPECT_EQ(readBytes(dir.filePath(QStringLiteral("vera.html"))), "pagina 5");
    EXPECT_EQ(falliti,
        QStringList { dir.filePath(QStringLiteral("sotto/q.html")) + QStringLiteral("|Cannot create file \"")
            + dir.filePath(QStringLiteral("sotto/q.html")) + QStringLiteral("\". No such file or directory") });
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 71); // nothing left aside
}

// The attachments folder for a program folder, with the documents folder given.
class AttachmentsFolder : public ::testing::Test {
protected:
    QString programma(const char *nome) const { return dir.filePath(u(nome)) + u("/"); }
    QTemporaryDir dir;
    const QString documenti = dir.filePath(u("Documenti"));
    const QString inDocumenti = documenti + u("/Lentiva/ALLEGATI/");
};

TEST_F(AttachmentsFolder, BesideTheProgramWhenWritableElseInTheDocuments)
{
    ASSERT_TRUE(forceDirectories(programma("scrivibile") + DirAllegati));
    ASSERT_TRUE(forceDirectories(programma("senza ALLEGATI")));
    ASSERT_TRUE(forceDirectories(programma("con un file")));
    writeBytes(programma("con un file") + u("ALLEGATI"), "x");
    const struct {
        const char *nome;
        const char *programma;
        bool accanto;
    } righe[] = {
        { "writable ALLEGATI", "scrivibile", true },
        { "missing ALLEGATI in a writable folder", "senza ALLEGATI", true },
        { "ALLEGATI is a file", "con un file", false },
        { "program folder missing", "manca", false },
    };
    for (const auto &r : righe) {
        SCOPED_TRACE(r.nome);
        EXPECT_EQ(CartellaAllegati(programma(r.programma), documenti),
            r.accanto ? programma(r.programma) + DirAllegati : inDocumenti);
    }
    EXPECT_EQ(CartellaAllegati(programma("manca"), QString()), programma("manca") + DirAllegati);
    // The trusted lists are read beside the program, and from the documents when downloads go there.
    EXPECT_EQ(CartelleCertificatori(programma("scrivibile"), documenti),
        QStringList { programma("scrivibile") + DirCertificatori });
    EXPECT_EQ(CartelleCertificatori(programma("manca"), documenti),
        (QStringList { programma("manca") + DirCertificatori, documenti + u("/Lentiva/") + DirCertificatori }));

    // Only the folder in the documents is made when preparing.
    EXPECT_EQ(
        PreparaCartellaAllegati(programma("senza ALLEGATI"), documenti), programma("senza ALLEGATI") + DirAllegati);
    EXPECT_FALSE(directoryExists(programma("senza ALLEGATI") + DirAllegati));
    EXPECT_FALSE(directoryExists(inDocumenti));
    EXPECT_EQ(PreparaCartellaAllegati(programma("manca"), documenti), inDocumenti);
    EXPECT_TRUE(directoryExists(inDocumenti));
}

TEST_F(AttachmentsFolder, ReadOnlyAllegatiGoesToTheDocuments)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: a read-only folder does not stop root's writes";
    const QString allegati = programma("sola lettura") + DirAllegati;
    ASSERT_TRUE(forceDirectories(allegati));
    QFile::setPermissions(allegati, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(CartellaAllegati(programma("sola lettura"), documenti), inDocumenti);
    QFile::setPermissions(allegati, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A small file is written at the final flush, where a file-size limit makes
// it fail: the save must say so and leave the earlier copy as it was. In a
// child process, since the limit is the whole process's.
TEST(Files, AFailedFlushKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("a.pdf"));
    writeFileAtomically(target, "first");
    const auto underLimit = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 1024, 1024 };
        setrlimit(RLIMIT_FSIZE, &limit);
        std::fputs(errorOf([&] { writeFileAtomically(target, QByteArray(4096, 'x')); }).c_str(), stderr);
        std::_Exit(0);
    };
    EXPECT_EXIT(underLimit(), testing::ExitedWithCode(0), "^Stream write error$");
    EXPECT_EQ(readBytes(target), QByteArray("first"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("a.pdf") });
}

TEST(ErrorDisplay, PeriodRule)
{
    const struct {
        const char *in;
        const char *out;
    } rows[] = {
        { "File non trovato: /a/b.p7m", "File non trovato: /a/b.p7m." },
        { "OpenSSL errore (ExitCode=2)", "OpenSSL errore (ExitCode=2)" },
        { "Fine.", "Fine." },
        { "Attenzione!", "Attenzione!" },
        { "a,", "a," },
        { "ends in blank ", "ends in blank " },
        { "quote'", "quote'" },
        { "colon:", "colon:." },
        { "citt\u00e0", "citt\u00e0." },
        { "", "" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(testoErrore(QString::fromUtf8(r.in)), QString::fromUtf8(r.out)) << r.in;
}
