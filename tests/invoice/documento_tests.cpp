// The invoice read in one walk: the quick reader takes the usual shapes and
// leaves the others to libxml2's tree, and either way the notes (elements,
// texts, flags) are the tree's; the queries keep the path query's order and
// its refusal of elements holding more than a text.
#include "common/errors.h"
#include "invoice/documento.h"

#include <QDirIterator>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
struct Percorsi {
    PercorsiFattura tutti;
    const PercorsiFattura::Percorso numero = tutti.testi("DatiGeneraliDocumento.Numero");
    const PercorsiFattura::Percorso b = tutti.testi("a.b");
    const PercorsiFattura::Percorso corpo = tutti.elementi("Corpo");
    const PercorsiFattura::Percorso allegato = tutti.presenza("Attachment");
    const PercorsiFattura::Percorso c = tutti.testi("C");
};
const Percorsi &percorsi()
{
    static const Percorsi p;
    return p;
}

QStringList note(const QByteArray &xml, DocumentoFattura::Modo modo, bool *rapido = nullptr)
{
    try {
        const DocumentoFattura doc(xml, percorsi().tutti, modo);
        if (rapido != nullptr)
            *rapido = doc.lettoRapido();
        return doc.descrizione();
    } catch (const Exception &e) {
        return { QStringLiteral("!") + e.message() };
    }
}
} // namespace

TEST(Documento, TheQuickReaderTakesOnlyWhatItReadsAsTheTreeDoes)
{
    const struct {
        const char *nome;
        QByteArray xml;
        bool rapido;
    } casi[] = {
        { "declaration, BOM, CR LF, references",
            "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n<r><a><b> x\r\ny &amp;&lt;&#233;&#x20AC; "
            "</b></a></r>",
            true },
        { "declared prefix, attributes", "<p:r xmlns:p='urn:x' v=\"1\"><a><b>1</b></a></p:r>", true },
        { "names in any case", "<R><A><B>2</B></A><c>3</c></R>", true },
        { "nested starts keep the query's order", "<a><b>1</b><a><b>2</b></a><b>3</b></a>", true },
        { "a body's range", "<r><Corpo><DatiGeneraliDocumento><Numero>7</Numero></DatiGeneraliDocumento></Corpo></r>",
            true },
        { "attachment text only looked at", "<r><Attachment>\n QUJD\n</Attachment><Attachment> \t</Attachment></r>",
            true },
        { "UTF-8 text", "<r><c>Citt\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80</c></r>", true },
        { "undeclared root prefix", "<q:r><a><b>1</b></a></q:r>", false },
        { "CDATA", "<r><c><![CDATA[x]]></c></r>", false },
        { "comment", "<r><!-- x --><c>1</c></r>", false },
        { "text with an element inside", "<r><c>x<i/>y</c></r>", false },
        { "latin-1 declared", "<?xml version='1.0' encoding='ISO-8859-1'?><r><c>\xE0</c></r>", false },
        { "invalid UTF-8", "<r><c>\xC3\x28</c></r>", false },
        { "control character", "<r><c>\x01</c></r>", false },
        { "CDATA end in text", "<r><c>]]></c></r>", false },
        { "mismatched tags", "<r><c>1</C></r>", false },
        { "duplicate attribute", "<r a='1' a='2'/>", false },
        { "entity declaration", "<!DOCTYPE r [<!ENTITY e 'x'>]><r><c>&e;</c></r>", false },
        { "content after the root", "<r/><r/>", false },
        { "empty", "", false },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        bool rapido = false;
        const QStringList veloce = note(c.xml, DocumentoFattura::Modo::Rapido, &rapido);
        EXPECT_EQ(rapido, c.rapido);
        EXPECT_EQ(veloce, note(c.xml, DocumentoFattura::Modo::Albero));
    }
}

TEST(Documento, QueriesFollowThePathQuerysRules)
{
    const Percorsi &p = percorsi();
    const DocumentoFattura doc(
        "<r><a><b> 1 </b><a><b>2</b></a><b>3&#xE9;\xE2\x82\xAC\xE2\x80\x83</b></a><Corpo><a><b>4</b></a><Attachment>"
        "  </Attachment></Corpo><Corpo><Attachment>x</Attachment><C>t<i/>u</C></Corpo></r>",
        p.tutti);
    EXPECT_FALSE(doc.lettoRapido()); // C holds an element
    EXPECT_EQ(doc.nomeRadice(), "r");
    // By start, then in document order: the inner a's b comes last of the first a's. Trimmed
    // before code page 1252, as the query does: the em space becomes a blank that stays.
    EXPECT_EQ(doc.testi(p.b, doc.radice()),
        QStringList(
            { QStringLiteral("1"), QStringLiteral("3\u00E9\u20AC "), QStringLiteral("2"), QStringLiteral("4") }));
    const std::vector<DocumentoFattura::Elemento> corpi = doc.elementi(p.corpo, doc.radice());
    ASSERT_EQ(corpi.size(), 2u);
    EXPECT_EQ(doc.valori(p.b, corpi[0]), QStringList { QStringLiteral("4") });
    EXPECT_FALSE(doc.haTesto(p.allegato, corpi[0]));
    EXPECT_TRUE(doc.haTesto(p.allegato, corpi[1]));
    EXPECT_EQ(doc.testo(p.c, corpi[1]), QStringLiteral("tu"));
    EXPECT_EQ(errorOf([&] { doc.valori(p.c, corpi[1]); }), "Element does not contain a single text node");
    EXPECT_TRUE(doc.testi(p.numero, corpi[1]).isEmpty());
    EXPECT_EQ(errorOf([&] { DocumentoFattura("<r>", p.tutti); }),
        "ATTENZIONE, XML CON ERRORI (002)! \r\n\r\nPremature end of data in tag r line 1\r\nLine: 1\r\n<r>");
}

TEST(Documento, RealInvoicesReadQuicklyAsTheTreeReadsThem)
{
    REQUIRE_CORPUS();
    int rapidi = 0, tutti = 0;
    for (const QString &file : corpusFiles(QStringLiteral("xml"), QStringLiteral(".xml"))) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray xml = readBytes(file);
        bool rapido = false;
        EXPECT_EQ(note(xml, DocumentoFattura::Modo::Rapido, &rapido), note(xml, DocumentoFattura::Modo::Albero));
        rapidi += rapido;
        ++tutti;
    }
    // The others are declared in other encodings, or hold comments or CDATA.
    EXPECT_GE(rapidi * 10, tutti * 7) << rapidi << " of " << tutti;
}
