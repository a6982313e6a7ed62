// The path query: names, order, texts, load failures and hostile documents.
#include "common/errors.h"
#include "common/messages.h"
#include "invoice/header.h"
#include "invoice/xmlquery.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
struct RecordedMessages final : MessageSink {
    QStringList texts;
    void plainMessage(const QString &text) override { texts << text; }
};

class XmlQuery : public ::testing::Test {
protected:
    QString write(const QByteArray &xml)
    {
        const QString path = dir.filePath(QStringLiteral("f%1.xml").arg(++count));
        writeBytes(path, xml);
        return path;
    }
    QByteArrayList query(const QByteArray &xml, const QByteArray &path, bool *found = nullptr)
    {
        QByteArrayList values { "stale" };
        const bool ok = LeggiValoriXml(write(xml), path, values, messages);
        if (found != nullptr)
            *found = ok;
        EXPECT_EQ(ok, !values.isEmpty());
        return values;
    }
    QTemporaryDir dir;
    int count = 0;
    RecordedMessages messages;
};

const QByteArray kInvoice = R"(<?xml version="1.0" encoding="UTF-8"?>
<p:FatturaElettronica versione="FPR12" xmlns:p="http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2">
  <FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>
     FPR12
  </FormatoTrasmissione></DatiTrasmissione></FatturaElettronicaHeader>
  <FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>
    <TipoDocumento>TD01</TipoDocumento><Data>2019-01-31</Data><Numero> 12 </Numero>
  </DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>
  <FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>
    <Numero><![CDATA[13]]></Numero>
  </DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>
</p:FatturaElettronica>)";
} // namespace

TEST(XmlPath, SplittingAndLocalNames)
{
    const struct {
        const char *path;
        QByteArrayList steps;
    } rows[] = {
        { "a.b.c", { "a", "b", "c" } },
        { "..a..b.", { "a", "b" } },
        { "a\r\n.b\nc", { "a", "b", "c" } },
        { "a. b", { "a", " b" } },
        { "'x.y'.z", { "'x.y'", "z" } },
        { "\"open.end", { "\"open.end" } },
        { "", {} },
    };
    for (const auto &r : rows)
        EXPECT_EQ(DividiPercorso(r.path), r.steps) << r.path;
    EXPECT_EQ(NomeLocale("p:FatturaElettronica"), QByteArray("FatturaElettronica"));
    EXPECT_EQ(NomeLocale("a:b:c"), QByteArray("b:c"));
    EXPECT_EQ(NomeLocale("a:"), QByteArray());
    EXPECT_EQ(NomeLocale("Numero"), QByteArray("Numero"));
}

TEST_F(XmlQuery, FindsByLocalNameInEveryBody)
{
    const struct {
        const char *name;
        QByteArray path;
        QByteArrayList values;
    } rows[] = {
        { "single step anywhere", "FormatoTrasmissione", { "FPR12" } },
        { "two bodies in order", "DatiGenerali.DatiGeneraliDocumento.Numero", { "12", "13" } },
        { "ascii case folded", "datigenerali.DATIGENERALIDOCUMENTO.numero", { "12", "13" } },
        { "prefix in the path ignored", "x:DatiGeneraliDocumento.y:Data", { "2019-01-31" } },
        { "root matches with its prefix", "FatturaElettronica.FatturaElettronicaHeader.DatiTrasmissione", {} },
        { "later steps do not match", "DatiGenerali.Numero", {} },
        { "doubled dots", "..DatiGeneraliDocumento..TipoDocumento.", { "TD01" } },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        if (r.values.isEmpty() && QByteArray(r.name).startsWith("root")) {
            // An element with element children is found, and its text refused.
            EXPECT_THROW(query(kInvoice, r.path), Exception);
            continue;
        }
        EXPECT_EQ(query(kInvoice, r.path), r.values);
    }
    // The same file without the prefix gives the same answers.
    QByteArray plain = kInvoice;
    plain.replace("p:FatturaElettronica", "FatturaElettronica").replace("xmlns:p=", "xmlns=");
    EXPECT_EQ(query(plain, "DatiGenerali.DatiGeneraliDocumento.Numero"), (QByteArrayList { "12", "13" }));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(XmlQuery, ElementTextRules)
{
    const struct {
        const char *name;
        QByteArray xml;
        QByteArrayList values;
        bool throws;
    } rows[] = {
        { "empty", "<r><Numero/></r>", { "" }, false },
        { "blanks only", "<r><Numero> \n\t </Numero></r>", { "" }, false },
        { "blanks around", "<r><Numero>  12\r\n</Numero></r>", { "12" }, false },
        { "cdata", "<r><Numero><![CDATA[ 12 ]]></Numero></r>", { "12" }, false },
        { "entity resolved", "<r><Numero>a&amp;b&#233;</Numero></r>", { "a&b\xe9" }, false },
        { "nbsp kept",
            "<r><Numero>\xc2\xa0"
            "12</Numero></r>",
            { "\xa0"
              "12" },
            false },
        { "outside the code page",
            "<r><Numero>\xc5\x81\xc3\xb3"
            "d\xe4\xb8\xad</Numero></r>",
            { "L\xf3"
              "d?" },
            false },
        { "text then comment", "<r><Numero>12<!-- c --></Numero></r>", {}, true },
        { "element child", "<r><Numero><x>1</x></Numero></r>", {}, true },
        { "pi only", "<r><Numero><?pi x?></Numero></r>", {}, true },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        if (r.throws) {
            try {
                query(r.xml, "Numero");
                ADD_FAILURE() << "no error";
            } catch (const Exception &e) {
                EXPECT_EQ(e.message(), QStringLiteral("Element does not contain a single text node"));
            }
        } else {
            EXPECT_EQ(query(r.xml, "Numero"), r.values);
        }
    }
}

TEST_F(XmlQuery, TheBadLineIsShownInItsFilesEncoding)
{
    const struct {
        const char *encoding;
        QByteArray line;
        const char *shown;
    } rows[] = {
        { "ISO-8859-1", "<n>caff\xE8</m>", "<n>caff\u00e8</m>" },
        { "windows-1252", "<n>caff\xE8 \x80</m>", "<n>caff\u00e8 \u20ac</m>" },
        { "UTF-8", "<n>caff\xC3\xA8</m>", "<n>caff\u00e8</m>" },
        { "UTF-16", QByteArray(), "<n>caff\u00e8 \u20ac</m>" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.encoding);
        const QByteArray head = QByteArray("<?xml version='1.0' encoding='") + r.encoding + "'?>\n<r>\n";
        const QString utf16 = QString::fromUtf8(head) + QString::fromUtf8(r.shown) + QStringLiteral("\n</r>");
        messages.texts.clear();
        query(r.line.isNull()
                ? QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
                : head + r.line + "\n</r>",
            "n");
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_TRUE(messages.texts[0].endsWith(QStringLiteral("\r\nLine: 3\r\n") + QString::fromUtf8(r.shown)))
            << messages.texts[0].toStdString();
    }
}

TEST_F(XmlQuery, NestedStartsAreOrderedByStartElement)
{
    // The outer a finds its own b children first, then the inner a its one.
    EXPECT_EQ(query("<a><b>1</b><a><b>2</b></a><b>3</b></a>", "a.b"), (QByteArrayList { "1", "3", "2" }));
    // Each element is found once, under the start at its own depth.
    EXPECT_EQ(query("<a><a><a>3</a></a></a>", "a.a.a"), QByteArrayList { "3" });
}

TEST_F(XmlQuery, LoadFailuresGiveTheMessageFrame)
{
    bool found = true;
    EXPECT_TRUE(query("<r>\n<n>1</m>\n</r>", "n", &found).isEmpty());
    EXPECT_FALSE(found);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0],
        QStringLiteral("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n"
                       "Opening and ending tag mismatch: n line 2 and m\r\nLine: 2\r\n<n>1</m>"));
    messages.texts.clear();

    EXPECT_TRUE(query("", "n").isEmpty());
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(
        messages.texts[0].startsWith(QStringLiteral("ATTENZIONE, XML CON ERRORI (002)! \r\n\r\nDocument is empty")))
        << messages.texts[0].toStdString();
    messages.texts.clear();

    QByteArrayList values { "x" };
    EXPECT_FALSE(LeggiValoriXml(dir.filePath(QStringLiteral("manca.xml")), "n", values, messages));
    EXPECT_FALSE(LeggiValoriXml(dir.path(), "n", values, messages));
    EXPECT_TRUE(values.isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(XmlQuery, HostileDocumentsAreRefusedQuickly)
{
    const QString secret = dir.filePath(QStringLiteral("secret.txt"));
    writeBytes(secret, "TOPSECRET");
    const QByteArray external = "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x SYSTEM 'file://" + secret.toUtf8()
        + "'>]><r><Numero>&x;</Numero></r>";
    QByteArray laughs = "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i)
        laughs += QByteArrayLiteral("<!ENTITY l") + QByteArray::number(i) + " '"
            + QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "'>";
    laughs += "]><r><Numero>&l9;</Numero></r>";
    const QByteArray network = "<!DOCTYPE r SYSTEM 'http://127.0.0.1:9/x.dtd'><r><Numero>1</Numero></r>";

    for (const QByteArray &xml : { external, laughs }) {
        messages.texts.clear();
        EXPECT_TRUE(query(xml, "Numero").isEmpty());
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("Entity declarations are not allowed")));
        EXPECT_FALSE(messages.texts[0].contains(QStringLiteral("TOPSECRET")));
    }
    // An external DTD is simply not loaded.
    messages.texts.clear();
    EXPECT_EQ(query(network, "Numero"), QByteArrayList { "1" });
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(Header, DocumentTypes)
{
    EXPECT_EQ(DescrTipoDoc("TD04"), QByteArray("TD04 nota di credito"));
    EXPECT_EQ(DescrTipoDoc("TD29"),
        QByteArray("TD29 comunicazione per omessa o irregolare fatturazione (art. 6, comma 8, D.Lgs. 471/97)"));
    for (const char *none : { "TD10", "td01", " TD01", "TD01\r\nTD01", "" })
        EXPECT_EQ(DescrTipoDoc(none), QByteArray()) << none;
    EXPECT_EQ(std::size(TabTipiDocumento), 23u);
}
