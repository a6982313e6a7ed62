// Rendering with a locked-down processor, and the transliteration table.
#include "common/errors.h"
#include "invoice/rendering.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
QString u(const char *s)
{
    return QString::fromUtf8(s);
}

const QByteArray kStyle = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:include href="parti-comuni.xsl"/>
<xsl:output method="html" encoding="UTF-8"/>
<xsl:template match="/"><html><body><p><xsl:call-template name="numero"/></p></body></html></xsl:template>
</xsl:stylesheet>)";
const QByteArray kIncluded = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template name="numero">N. <xsl:value-of select="//*[local-name()='Numero']"/></xsl:template>
</xsl:stylesheet>)";

class Rendering : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(dir.path()).mkpath(QStringLiteral("cartella con spazi #1"));
        writeBytes(path("stile.xsl"), kStyle);
        writeBytes(path("parti-comuni.xsl"), kIncluded);
        writeBytes(path("f.xml"), "<r><Numero>citt\xc3\xa0 \xe2\x82\xac 1</Numero></r>");
    }
    // Everything lives in a folder whose name a URI must escape.
    QString path(const char *name) const
    {
        return dir.filePath(QStringLiteral("cartella con spazi #1/") + QString::fromUtf8(name));
    }
    QString style(const QByteArray &body)
    {
        const QString p = path("altro.xsl");
        writeBytes(p,
            R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">)" + body
                + "</xsl:stylesheet>");
        return p;
    }
    QString errorOf(const QString &xml, const QString &xsl)
    {
        try {
            TrasformaXsl(xml, xsl);
        } catch (const Exception &e) {
            return e.message();
        }
        return QStringLiteral("no error");
    }
    QTemporaryDir dir;
};
} // namespace

TEST_F(Rendering, IncludesResolveBesideTheStylesheet)
{
    const QString html = TrasformaXsl(path("f.xml"), path("stile.xsl"));
    EXPECT_TRUE(html.contains(u("<p>N. citt\u00e0 \u20ac 1</p>"))) << html.toStdString();
    EXPECT_EQ(TestoPerPannello(html).count("N. citta' EU 1"), 1);
}

TEST_F(Rendering, CompiledStylesheetsServeWhileTheirFilesAreUnchanged)
{
    FogliCompilati fogli;
    const struct {
        const char *name;
        const char *file;
        QByteArray bytes;
        const char *page;
        int compiled;
    } rows[] = {
        { "first open compiles", nullptr, {}, "<p>N. ", 1 },
        { "unchanged files serve again", nullptr, {}, "<p>N. ", 1 },
        { "a changed include is picked up", "parti-comuni.xsl", QByteArray(kIncluded).replace("N. ", "Num. "),
            "<p>Num. ", 2 },
        { "so is a changed stylesheet", "stile.xsl", QByteArray(kStyle).replace("<p>", "<p class='n'>"),
            "<p class=\"n\">Num. ", 3 },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        if (r.file != nullptr)
            writeBytes(path(r.file), r.bytes);
        EXPECT_TRUE(TrasformaXsl(path("f.xml"), path("stile.xsl"), fogli).contains(u(r.page)));
        EXPECT_EQ(fogli.compilazioni(), r.compiled);
    }
    // A stylesheet gone is an error at once, as without the compiled one.
    QFile::remove(path("parti-comuni.xsl"));
    EXPECT_EQ(::errorOf([&] { TrasformaXsl(path("f.xml"), path("stile.xsl"), fogli); }),
        (u("Errore nel caricamento XSL: ") + path("stile.xsl")).toStdString());
}

TEST_F(Rendering, ACommandLooksAtItsStylesheetsOnce)
{
    FogliCompilati lotto(FogliCompilati::Controllo::UnaVolta);
    EXPECT_TRUE(TrasformaXsl(path("f.xml"), path("stile.xsl"), lotto).contains(u("<p>N. ")));
    writeBytes(path("parti-comuni.xsl"), QByteArray(kIncluded).replace("N. ", "Num. "));
    EXPECT_TRUE(TrasformaXsl(path("f.xml"), path("stile.xsl"), lotto).contains(u("<p>N. ")));
    EXPECT_EQ(lotto.compilazioni(), 1);
}

TEST_F(Rendering, FailuresCarryTheirMessages)
{
    EXPECT_EQ(errorOf(path("manca.xml"), path("stile.xsl")), u("Errore nel caricamento XML: ") + path("manca.xml"));
    EXPECT_EQ(errorOf(path("f.xml"), path("manca.xsl")), u("Errore nel caricamento XSL: ") + path("manca.xsl"));
    writeBytes(path("rotto.xml"), "<r>");
    EXPECT_EQ(errorOf(path("rotto.xml"), path("stile.xsl")), u("Errore nel caricamento XML: ") + path("rotto.xml"));
    EXPECT_EQ(errorOf(path("f.xml"), style("<xsl:template match='/'><xsl:value-of select='///'/></xsl:template>")),
        u("Errore nel caricamento XSL: ") + path("altro.xsl"));
    EXPECT_EQ(errorOf(path("f.xml"),
                  style("<xsl:template match='/'><xsl:message terminate='yes'>stop "
                        "qui</xsl:message></xsl:template>")),
        u("stop qui"));
}

TEST_F(Rendering, StylesheetsCannotReachOutside)
{
    // document() loads nothing: the page never holds the other file's text.
    const QString secret = path("segreto.xml");
    writeBytes(secret, "<s>TOPSECRET</s>");
    const QString reads = style("<xsl:template match='/'><o><xsl:value-of select=\"document('"
        + QUrl::fromLocalFile(secret).toEncoded() + "')\"/></o></xsl:template>");
    QString result;
    try {
        result = TrasformaXsl(path("f.xml"), reads);
    } catch (const Exception &e) {
        result = e.message();
    }
    EXPECT_FALSE(result.contains(u("TOPSECRET"))) << result.toStdString();
}

TEST(Transliteration, TableAndCodePage)
{
    const struct {
        const char *name;
        const char *html;
        QByteArray pane;
    } rows[] = {
        { "grave vowels", "citt\u00e0 perch\u00e9 PERCH\u00c9 \u00c0\u00c8\u00cc\u00d2\u00d9\u00ec\u00f2\u00f9\u00e8",
            "citta' perche' PERCHE' A'E'I'O'U'i'o'u'e'" },
        { "euro", "\u20ac 10,00", "EU 10,00" },
        { "acute kept", "\u00e1\u00ed\u00f3\u00fa\u00c1\u00cd\u00d3\u00da", "\xe1\xed\xf3\xfa\xc1\xcd\xd3\xda" },
        { "outside the code page", "\u0141\u00f3d\u017a \u4e2d",
            "L\xf3"
            "dz ?" },
        { "markup too", "<p title='\u00e8'>x</p>", "<p title='e''>x</p>" },
        { "nothing to do", "<p>plain &amp; simple</p>", "<p>plain &amp; simple</p>" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(TestoPerPannello(u(r.html)), r.pane);
        QString html = u(r.html);
        TraslitteraHtml(html);
        EXPECT_EQ(TestoPerPannello(html), r.pane);
    }
}
