// Tag scanning, the attachment list and its saving, the bulk extraction and
// file encoding, on made-up invoices and on the real ones of the corpus.
#include "attachments/allegati.h"
#include "attachments/codifica.h"
#include "attachments/estrazione.h"
#include "attachments/tagscan.h"
#include "common/errors.h"
#include "common/fileio.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
QString u(const char *s)
{
    return QString::fromUtf8(s);
}

QByteArray block(const QByteArray &nome, const QByteArray &contenuto)
{
    return "<Allegati>\r\n<NomeAttachment>" + nome + "</NomeAttachment>\r\n<Attachment>" + contenuto
        + "</Attachment>\r\n</Allegati>\r\n";
}

std::string entries(const QString &folder)
{
    const auto all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
    return QDir(folder).entryList(all, QDir::Name).join(QLatin1Char(',')).toStdString();
}

// A scratch folder with the attachments folder inside it, so that anything
// written beside that folder shows.
struct Scratch {
    QTemporaryDir dir;
    Scratch() { QDir(dir.path()).mkdir(u("ALLEGATI")); }
    QString path(const char *name) const { return dir.filePath(u(name)); }
    QString folder() const { return path("ALLEGATI/"); }
    QString invoice(const QByteArray &text) const { return writeBytes(path("f.xml"), text), path("f.xml"); }
};

const char kPdfBytes[] = "%PDF-1.4\n\0\xff binary";
const QByteArray kPdf(kPdfBytes, sizeof kPdfBytes - 1);
} // namespace

TEST(TagScan, PosDa)
{
    const struct {
        const char *name, *pattern, *text;
        qint32 start, expected;
    } rows[] = {
        { "start below 1 counts as 1", "ab", "xxab", 0, 3 },
        { "cannot fit from start", "ab", "xxab", 4, 0 },
        { "found from start", "ab", "abab", 2, 3 },
        { "empty pattern", "", "abab", 1, 0 },
        { "empty text", "ab", "", 1, 0 },
        { "case matters", "Ab", "xab", 1, 0 },
        { "last place", "b", "aab", 3, 3 },
        { "start past the end", "a", "aaa", 9, 0 },
        { "partial match before", "<Alle>", "<Al<Alle>", -5, 4 },
    };
    for (const auto &r : rows)
        EXPECT_EQ(PosDa(r.pattern, r.text, r.start), r.expected) << r.name;
}

TEST(TagScan, EstraiElementoWalksElements)
{
    qint32 pos = 1;
    const QByteArray text = "a<X>1</X>b<X>2</X>";
    for (const char *expected : { "<X>1</X>", "<X>2</X>", "" })
        EXPECT_EQ(EstraiElemento(text, "X", pos), expected);
    EXPECT_EQ(pos, 19) << "unchanged by the last call";

    const struct {
        const char *name, *text, *expected;
    } rows[] = {
        { "unclosed", "<X>a</Y>", "" },
        { "unclosed runs on to the next closing tag", "<X>a<X>b</X>", "<X>a<X>b</X>" },
        { "nested ends at the first closing tag", "<X><X>1</X>2</X>", "<X><X>1</X>" },
        { "closing tag before the opening one", "</X><X>1</X>", "<X>1</X>" },
        { "attribute", "<X a=\"1\">1</X>", "" },
        { "blank in tag", "<X >1</X>", "" },
        { "namespace prefix", "<p:X>1</p:X>", "" },
        { "letter case", "<x>1</x>", "" },
        { "self-closing", "<X/>", "" },
        { "comment not interpreted", "<!-- <X>1</X> -->", "<X>1</X>" },
    };
    for (const auto &r : rows) {
        pos = 1;
        EXPECT_EQ(EstraiElemento(r.text, "X", pos), r.expected) << r.name;
    }
}

TEST(TagScan, ValoreTagSearchesBothTagsFromTheStart)
{
    const struct {
        const char *name, *text, *tag, *expected;
    } rows[] = {
        { "not inside a longer name", "<NomeAttachment>a.pdf</NomeAttachment><Attachment>abc</Attachment>",
            "Attachment", "abc" },
        { "trimmed controls only", "<X>  a b \r\n</X>", "X", "a b" },
        { "empty element", "<X></X>", "X", "" },
        { "closing tag first", "</X><X>a</X>", "X", "" },
        { "no closing tag", "<X>a", "X", "" },
        { "entities kept", "<X>a&amp;b&#233;</X>", "X", "a&amp;b&#233;" },
        { "CDATA kept", "<X><![CDATA[a]]></X>", "X", "<![CDATA[a]]>" },
    };
    for (const auto &r : rows)
        EXPECT_EQ(ValoreTag(r.text, r.tag), r.expected) << r.name;
}

TEST(Allegati, ListKeepsFileOrderEveryBodyAndDuplicates)
{
    Scratch s;
    const QByteArray text = "<FatturaElettronicaBody>" + block("b.pdf", "Yg==") + block("a.pdf", "YQ==")
        + "<Allegati><Attachment>eA==</Attachment></Allegati>" + block("vuoto.pdf", "")
        + "</FatturaElettronicaBody>\n<FatturaElettronicaBody>" + block("a.pdf", "QUFB\nQkJC")
        + "</FatturaElettronicaBody>" + QByteArray("\0", 1) + block("dopo.pdf", "eA==");
    QList<TAllegatoItem> list { { "prima", "eA==" } };
    EXPECT_EQ(LeggiAllegati(s.invoice(text), list), 3);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[1].Nome + list[1].Contenuto, "b.pdfYg==");
    EXPECT_EQ(list[2].Nome + list[2].Contenuto, "a.pdfYQ==");
    EXPECT_EQ(list[3].Nome + list[3].Contenuto, "a.pdfQUFB\r\nQkJC") << "line ends become CR LF; NUL ends the text";

    SalvaAllegato(list[2], s.folder());
    EXPECT_EQ(readBytes(s.folder() + u("a.pdf")), "a");
    SalvaAllegato(list[3], s.folder());
    EXPECT_EQ(readBytes(s.folder() + u("a.pdf")), "AAABBB") << "the later save replaces the file";

    const std::string missing = "Cannot open file \"" + s.path("manca.xml").toStdString() + "\". ";
    EXPECT_EQ(errorOf([&] { LeggiAllegati(s.path("manca.xml"), list); }).substr(0, missing.size()), missing);
}

// The list read in pieces against the text read whole as lines, on random
// texts of tags, line ends, blanks and NULs, with pieces of many sizes.
TEST(Allegati, ReadingInPiecesListsWhatTheWholeTextHolds)
{
    const auto perIntero = [](const QString &file) {
        const QByteArray text = normalizeLineEnds(readBytes(file));
        QList<TAllegatoItem> list;
        for (qint32 position = 1;;) {
            const qint32 p1 = PosDa("<Allegati>", text, position);
            const qint32 p2 = p1 == 0 ? 0 : PosDa("</Allegati>", text, p1);
            if (p2 == 0)
                break;
            position = p2 + 11;
            const QByteArray block = text.mid(p1 - 1, position - p1);
            const QByteArray nome = ValoreTag(block, "NomeAttachment");
            const QByteArray contenuto = ValoreTag(block, "Attachment");
            if (!nome.isEmpty() && !contenuto.isEmpty())
                list.append({ nome, contenuto });
        }
        return list;
    };
    const char *pezzi[] = { "<Allegati>", "</Allegati>", "<NomeAttachment>", "</NomeAttachment>", "<Attachment>",
        "</Attachment>", "\r", "\n", "\r\n", " ", "\t", "a", "QUJD", "x.pdf", "<Allegati", "</", ">" };
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.xml"));
    QRandomGenerator rng(20261209);
    for (int round = 0; round < 400; ++round) {
        QByteArray text;
        const int n = rng.bounded(1, 60);
        for (int i = 0; i < n; ++i)
            text += pezzi[rng.bounded(int(std::size(pezzi)))];
        if (rng.bounded(10) == 0)
            text.insert(rng.bounded(int(text.size()) + 1), '\0');
        writeBytes(file, text);
        const QList<TAllegatoItem> atteso = perIntero(file);
        for (qsizetype pezzo : { 1, 2, 5, 9, 10, 11, 64, 1 << 20 }) {
            QList<TAllegatoItem> list;
            EXPECT_EQ(LeggiAllegati(file, list, pezzo), atteso.size()) << text.toStdString() << " / " << pezzo;
            ASSERT_EQ(list.size(), atteso.size()) << text.toStdString();
            for (qsizetype i = 0; i < list.size(); ++i) {
                EXPECT_EQ(list[i].Nome, atteso[i].Nome) << text.toStdString() << " / " << pezzo;
                EXPECT_EQ(list[i].Contenuto, atteso[i].Contenuto) << text.toStdString() << " / " << pezzo;
            }
        }
    }
}

TEST(Allegati, SavesBytesExactlyUnderTheNameShown)
{
    Scratch s;
    const QByteArray wrapped = kPdf.toBase64().insert(4, "\r\n\t ").insert(12, "\n");
    const struct {
        const char *name;
        QByteArray nome, contenuto;
        const char *file;
    } rows[] = {
        { "binary bytes", "a.pdf", kPdf.toBase64(), "a.pdf" },
        { "line-wrapped text", "w.pdf", wrapped, "w.pdf" },
        { "UTF-8 name", "fattura \xc3\xa8.pdf", kPdf.toBase64(), "fattura è.pdf" },
        { "entity kept as written", "a&amp;b.pdf", kPdf.toBase64(), "a&amp;b.pdf" },
        { "parent steps dropped", "../../x.pdf", kPdf.toBase64(), "x.pdf" },
        { "absolute path dropped", "/tmp/abs.pdf", kPdf.toBase64(), "abs.pdf" },
        { "Windows path dropped", "C:\\Windows\\..\\win.pdf", kPdf.toBase64(), "win.pdf" },
        { "drive dropped", "C:drive.pdf", kPdf.toBase64(), "drive.pdf" },
        { "code page 1252 name", "lat\xe8.pdf", kPdf.toBase64(), "lat\u00e8.pdf" },
        { "another one, not the same file", "lat\xe9.pdf", kPdf.toBase64(), "lat\u00e9.pdf" },
    };
    for (const auto &r : rows) {
        const TAllegatoItem item { r.nome, r.contenuto };
        SalvaAllegato(item, s.folder());
        EXPECT_EQ(readBytes(s.folder() + u(r.file)), kPdf) << r.name;
    }
    EXPECT_EQ(entries(s.dir.path()), "ALLEGATI") << "nothing written beside the folder";
    EXPECT_EQ(NomeVisibile("lat\xe9.pdf"), u("lat\u00e9.pdf"));
    // Padded pieces joined decode group by group.
    SalvaAllegato({ "pezzi.bin", "QQ==QQ==QUI=" }, s.folder());
    EXPECT_EQ(readBytes(s.folder() + u("pezzi.bin")), "AAAB");
}

TEST(Allegati, RefusesWhatWouldWriteWrongBytes)
{
    Scratch s;
    SalvaAllegato({ "a.pdf", kPdf.toBase64() }, s.folder());
    const struct {
        const char *name;
        QByteArray nome, contenuto;
        const char *error;
    } rows[] = {
        { "prefix kept", "a.pdf", "data:application/pdf;base64,QUJD",
            "Contenuto dell'allegato a.pdf non valido: carattere non Base64 \":\"" },
        { "accented letter", "a.pdf", "QU\xc3\xa8J",
            "Contenuto dell'allegato a.pdf non valido: carattere non Base64 (byte 0xC3)" },
        { "fill first in a group", "a.pdf", "QUJD=QUJ", "Contenuto dell'allegato a.pdf non valido: \"=\" fuori posto" },
        { "letter after a fill", "a.pdf", "QQ=Q", "Contenuto dell'allegato a.pdf non valido: \"=\" fuori posto" },
        { "three fill characters", "a.pdf", "Q===", "Contenuto dell'allegato a.pdf non valido: \"=\" fuori posto" },
        { "uneven", "a.pdf", "QUJDR\r\n", "Uneven size in DecodeToStream." },
        { "name ending in a separator", "sub/", "QQ==", "Nome allegato non valido: sub/" },
        { "parent step only", "a/..", "QQ==", "Nome allegato non valido: a/.." },
        { "dot", ".", "QQ==", "Nome allegato non valido: ." },
    };
    for (const auto &r : rows)
        EXPECT_EQ(errorOf([&] { SalvaAllegato({ r.nome, r.contenuto }, s.folder()); }), r.error) << r.name;
    EXPECT_EQ(entries(s.folder()), "a.pdf");
    EXPECT_EQ(readBytes(s.folder() + u("a.pdf")), kPdf) << "the earlier file is untouched";

    const std::string missing = "Cannot create file \"" + s.path("manca/a.pdf").toStdString() + "\". ";
    EXPECT_EQ(errorOf([&] {
        SalvaAllegato({ "a.pdf", "QQ==" }, s.path("manca/"));
    }).substr(0, missing.size()),
        missing);
}

TEST(Estrazione, StopsAtTheFirstFailureWithItsCount)
{
    Scratch s;
    QString msg = u("old");
    const QString file = s.invoice(block("1.pdf", "QQ==") + block("2.pdf", "QUJ") + block("3.pdf", "QQ=="));
    EXPECT_EQ(EstraiAllegati(file, s.folder(), msg), 1);
    EXPECT_EQ(msg.toStdString(), "Uneven size in DecodeToStream.");
    EXPECT_EQ(entries(s.folder()), "1.pdf");

    s.invoice(block("1.pdf", "QQ==") + block("..", "QQ==") + block("3.pdf", "QQ=="));
    EXPECT_EQ(EstraiAllegati(file, s.folder(), msg), 1);
    EXPECT_EQ(msg.toStdString(), "Nome allegato non valido: ..");

    EXPECT_EQ(EstraiAllegati(s.path("manca.xml"), s.folder(), msg), 0);
    EXPECT_EQ(msg.toStdString(), "");
}

TEST(Estrazione, DropsPrefixesAndCreatesTheFolder)
{
    Scratch s;
    QString msg;
    const QString file = s.invoice(block("p.pdf", " Data:x;BASE64,QUJD") + block("w.pdf", "QU\r\nJD")
        + block("n.pdf", "") + block("d.pdf", "QQ==") + block("d.pdf", "Qg=="));
    const QString folder = s.path("a/b/ALLEGATI");
    EXPECT_EQ(EstraiAllegati(file, folder, msg), 4);
    EXPECT_EQ(msg.toStdString(), "");
    EXPECT_EQ(
        readBytes(folder + u("/p.pdf")) + readBytes(folder + u("/w.pdf")) + readBytes(folder + u("/d.pdf")), "ABCABCB");
    EXPECT_EQ(entries(folder), "d.pdf,p.pdf,w.pdf");
}

TEST(Codifica, FileToBase64)
{
    Scratch s;
    QByteArray text = "old";
    QString msg = u("old");
    writeBytes(s.path("vuoto"), {});
    EXPECT_TRUE(FileToBase64(s.path("vuoto"), text, msg));
    EXPECT_EQ(text + msg.toUtf8(), "");

    EXPECT_FALSE(FileToBase64(s.path("manca"), text, msg));
    EXPECT_EQ(msg.toStdString(), "Errore: " + s.path("manca").toStdString() + " non trovato!");

    QByteArray large(5'000'001, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32 *>(large.data()), large.size() / 4);
    writeBytes(s.path("grande"), large);
    EXPECT_TRUE(FileToBase64(s.path("grande"), text, msg));
    EXPECT_EQ(text, large.toBase64());
    EXPECT_EQ(msg.toStdString(), "");
}

TEST(Corpus, AttachmentsListAndSaveWithTheirMagicNumbers)
{
    REQUIRE_CORPUS();
    const QList<QByteArray> manifest = readBytes(corpusDir() + u("/MANIFEST.tsv")).split('\n');
    int invoices = 0;
    for (const QByteArray &line : manifest) {
        const QList<QByteArray> cols = line.split('\t');
        const qsizetype at = line.indexOf("attachments=");
        if (cols.size() < 6 || !cols[0].startsWith("xml/") || at < 0 || line.mid(at + 12, 1) == "0")
            continue;
        SCOPED_TRACE(cols[0].toStdString());
        const qsizetype open = line.indexOf('(', at);
        const QList<QByteArray> names = line.mid(open + 1, line.indexOf(')', open) - open - 1).split(',');
        Scratch s;
        const QString file = corpusDir() + QLatin1Char('/') + QString::fromUtf8(cols[0]);
        QList<TAllegatoItem> list;
        ASSERT_EQ(LeggiAllegati(file, list), names.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].Nome, names[i]);
            SalvaAllegato(list[i], s.folder());
            const QByteArray bytes = readBytes(s.folder() + NomeVisibile(list[i].Nome));
            const QByteArray magic = names[i].endsWith(".png") ? "\x89PNG\r\n\x1a\n"
                : names[i].endsWith(".pdf")                    ? "%PDF"
                                                               : "\xff\xd8\xff";
            EXPECT_TRUE(bytes.startsWith(magic)) << names[i].toStdString();
        }
        const QString bulk = s.path("bulk");
        QString msg;
        EXPECT_EQ(EstraiAllegati(file, bulk, msg), names.size()) << msg.toStdString();
        for (const TAllegatoItem &item : list)
            EXPECT_EQ(readBytes(bulk + QLatin1Char('/') + NomeVisibile(item.Nome)),
                readBytes(s.folder() + NomeVisibile(item.Nome)));
        ++invoices;
    }
    EXPECT_GE(invoices, 3);
}
