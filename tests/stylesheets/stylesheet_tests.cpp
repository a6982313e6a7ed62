// The three stylesheets, rendered by the program's own routine: every value of
// every invoice shows, codes carry their meaning, bad input renders a page.
#include "common/text8.h"
#include "invoice/rendering.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include "support/testsupport.h"

namespace {
const QString kOrdinaria = QStringLiteral("Foglio_di_stile_fattura_ordinaria_ver1.2.3.xsl");
const QString kPa = QStringLiteral("Foglio_di_stile_fatturaPA_v1.2.3.xsl");
const QString kSemplificata = QStringLiteral("Foglio_di_stile_VFSM10_v1.0.2.xsl");

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

// The copy the program ships in FODISTILE/, else the source.
QString foglio(const QString &name)
{
    const QString shipped = programDir() + u("/FODISTILE/") + name;
    return QFileInfo::exists(shipped) ? shipped : sourceDir() + u("/stylesheets/") + name;
}

QString simplified(const QString &s)
{
    return s.simplified();
}

QString localName(const xmlNode *n)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(n->name));
}

QString textOf(xmlNode *n)
{
    xmlChar *c = xmlNodeGetContent(n);
    const QString s = QString::fromUtf8(reinterpret_cast<const char *>(c));
    xmlFree(c);
    return s;
}

struct Leaf {
    QString path;
    QString value;
};

// What the page must show of an invoice: its non-empty leaf texts, without
// attachment contents and XML signatures.
struct Invoice {
    QString root;
    QString format;
    int bodies = 0;
    QList<Leaf> leaves;
};

void collect(xmlNode *n, const QString &path, Invoice &inv)
{
    for (xmlNode *c = n->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        const QString name = localName(c);
        if (name == u("Attachment")
            || (c->ns && xmlStrEqual(c->ns->href, BAD_CAST "http://www.w3.org/2000/09/xmldsig#")))
            continue;
        if (name == u("FatturaElettronicaBody"))
            ++inv.bodies;
        if (name == u("FormatoTrasmissione"))
            inv.format = textOf(c).trimmed();
        bool leaf = true;
        for (xmlNode *g = c->children; g; g = g->next)
            leaf = leaf && g->type != XML_ELEMENT_NODE;
        if (!leaf) {
            collect(c, path + u("/") + name, inv);
            continue;
        }
        QString v = textOf(c);
        TraslitteraHtml(v);
        v = simplified(v);
        if (!v.isEmpty())
            inv.leaves.append({ path + u("/") + name, v });
    }
}

Invoice readInvoice(const QString &file)
{
    Invoice inv;
    // From memory: the program's loader refuses to fetch anything by itself.
    const QByteArray bytes = readBytes(file);
    xmlDoc *doc
        = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOWARNING);
    if (!doc) {
        ADD_FAILURE() << "not well-formed: " << file.toStdString();
        return inv;
    }
    xmlNode *root = xmlDocGetRootElement(doc);
    inv.root = localName(root);
    collect(root, u("/") + inv.root, inv);
    xmlFreeDoc(doc);
    return inv;
}

// The stylesheet the program picks: by transmission format, else the default.
QString sheetFor(const Invoice &inv)
{
    if (inv.format == u("FPA12"))
        return kPa;
    if (inv.format == u("FSM10"))
        return kSemplificata;
    return kOrdinaria;
}

void pageTextOf(xmlNode *n, QString &out)
{
    for (xmlNode *c = n; c; c = c->next) {
        if (c->type == XML_TEXT_NODE)
            out += QString::fromUtf8(reinterpret_cast<const char *>(c->content)) + u(" ");
        else if (c->type == XML_ELEMENT_NODE && !xmlStrEqual(c->name, BAD_CAST "style")
            && !xmlStrEqual(c->name, BAD_CAST "title"))
            pageTextOf(c->children, out);
    }
}

struct Page {
    QString html;
    QString text;
    QSet<QString> numbers;
};

// "1234.50", "-0.5", "1.234,50" all become "1234.5", "-0.5", "1234.5".
QString canonicalNumber(QString n)
{
    const bool negative = n.startsWith(u'-');
    if (negative || n.startsWith(u'+'))
        n.remove(0, 1);
    QString whole = n.section(u'.', 0, 0), fraction = n.section(u'.', 1);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = u("0");
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    const QString s = whole + (fraction.isEmpty() ? QString() : u(".") + fraction);
    return negative && s != u("0") ? u("-") + s : s;
}

Page render(const QString &xml, const QString &sheet)
{
    Page page;
    page.html = TrasformaXsl(xml, foglio(sheet));
    TraslitteraHtml(page.html);
    const QByteArray utf8 = page.html.toUtf8();
    htmlDocPtr doc = htmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    if (doc) {
        pageTextOf(xmlDocGetRootElement(doc), page.text);
        xmlFreeDoc(doc);
    }
    page.text = simplified(page.text);
    static const QRegularExpression italian(u("-?\\d{1,3}(?:\\.\\d{3})+(?:,\\d+)?|-?\\d+(?:,\\d+)?"));
    for (auto it = italian.globalMatch(page.text); it.hasNext();)
        page.numbers.insert(canonicalNumber(it.next().captured().remove(u'.').replace(u',', u'.')));
    return page;
}

// A value shows as written, as a date dd/mm/yyyy (with its time or zone), or
// as the same number in Italian form.
bool shows(const Page &page, const QString &v)
{
    if (page.text.contains(v))
        return true;
    static const QRegularExpression date(u("^(\\d{4})-(\\d{2})-(\\d{2})T?(.*)$"));
    if (const auto m = date.match(v); m.hasMatch()) {
        const QString rest = m.captured(4);
        const QString it = m.captured(3) + u("/") + m.captured(2) + u("/") + m.captured(1)
            + (rest.isEmpty() ? QString() : u(" ") + rest);
        if (page.text.contains(it))
            return true;
    }
    static const QRegularExpression decimal(u("^[-+]?\\d*\\.?\\d+$"));
    return decimal.match(v).hasMatch() && page.numbers.contains(canonicalNumber(v));
}

// Every problem of one invoice, one per line; empty when all is well.
QString problemsOf(const QString &file)
{
    const Invoice inv = readInvoice(file);
    const Page page = render(file, sheetFor(inv));
    QString report;
    for (const Leaf &leaf : inv.leaves)
        if (!shows(page, leaf.value))
            report += u("  missing ") + leaf.path + u(" = \"") + leaf.value + u("\"\n");
    if (page.text.contains(u("NaN")))
        report += u("  the page shows NaN\n");
    if (inv.bodies > 1 && !page.text.contains(u("Documento %1 di %1").arg(inv.bodies)))
        report += u("  bodies are not numbered\n");
    return report.isEmpty() ? report : QFileInfo(file).fileName() + u(" (") + sheetFor(inv) + u("):\n") + report;
}

QStringList sampleFiles()
{
    QStringList files;
    for (const QString &f : QDir(sourceDir() + u("/samples")).entryList({ u("*.xml") }, QDir::Files, QDir::Name))
        files << sourceDir() + u("/samples/") + f;
    return files;
}

QString writeTemp(QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    writeBytes(path, bytes);
    return path;
}
} // namespace

TEST(Stylesheets, OurSamplesShowEveryValue)
{
    const QStringList files = sampleFiles();
    ASSERT_GE(files.size(), 3);
    QString report;
    for (const QString &f : files)
        report += problemsOf(f);
    EXPECT_TRUE(report.isEmpty()) << report.toStdString();
}

TEST(Stylesheets, EveryCorpusInvoiceShowsEveryValue)
{
    REQUIRE_CORPUS();
    const QStringList files = corpusFiles(u("xml"), u(".xml"));
    ASSERT_FALSE(files.isEmpty());
    QString report;
    int semplificate = 0;
    for (const QString &f : files) {
        report += problemsOf(f);
        semplificate += sheetFor(readInvoice(f)) == kSemplificata;
    }
    EXPECT_GT(semplificate, 0) << "no simplified invoice in the corpus";
    EXPECT_TRUE(report.isEmpty()) << report.toStdString();
}

// Prefixes, the default namespace, the legacy namespace or none: the same page.
TEST(Stylesheets, NamespacesDoNotMatter)
{
    const QString sample = sourceDir() + u("/samples/IT00000000001_ESEMPIO1.xml");
    const QByteArray original = readBytes(sample);
    const QString expected = render(sample, kOrdinaria).text;
    const QByteArray uri = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2";
    using Replacements = QList<std::pair<QByteArray, QByteArray>>;
    const struct Variant {
        const char *name;
        Replacements replace;
    } variants[] = {
        { "default namespace on every element",
            { { "xmlns:p=", "xmlns=" }, { "p:FatturaElettronica", "FatturaElettronica" } } },
        { "legacy namespace", { { uri, "http://www.fatturapa.gov.it/sdi/fatturapa/v1.1" } } },
        { "another prefix", { { "xmlns:p=", "xmlns:q1=" }, { "p:FatturaElettronica", "q1:FatturaElettronica" } } },
        { "no namespace", { { "xmlns:p=\"" + uri + "\"", "" }, { "p:FatturaElettronica", "FatturaElettronica" } } },
    };
    QTemporaryDir dir;
    for (const Variant &v : variants) {
        QByteArray xml = original;
        for (const auto &[from, to] : v.replace)
            xml.replace(from, to);
        const QString f = writeTemp(dir, u("variante.xml"), xml);
        EXPECT_EQ(render(f, kOrdinaria).text, expected) << v.name;
    }
}

// Every code of the listed families renders with a meaning. Repeated elements
// break the schema on purpose: each occurrence must show.
TEST(Stylesheets, CodesShowTheirMeaning)
{
    struct Family {
        const char *element;
        QStringList codes;
    };
    auto range = [](const char *prefix, int from, int to) {
        QStringList l;
        for (int i = from; i <= to; ++i)
            l << u(prefix) + QString::number(i).rightJustified(2, u'0');
        return l;
    };
    const QList<Family> families = {
        { "TipoDocumento", range("TD", 1, 9) + range("TD", 16, 29) },
        { "RegimeFiscale", range("RF", 1, 20) },
        { "Natura",
            { u("N1"), u("N2"), u("N2.1"), u("N2.2"), u("N3"), u("N3.1"), u("N3.2"), u("N3.3"), u("N3.4"), u("N3.5"),
                u("N3.6"), u("N4"), u("N5"), u("N6"), u("N6.1"), u("N6.2"), u("N6.3"), u("N6.4"), u("N6.5"), u("N6.6"),
                u("N6.7"), u("N6.8"), u("N6.9"), u("N7") } },
        { "ModalitaPagamento", range("MP", 1, 23) },
        { "CondizioniPagamento", range("TP", 1, 3) },
        { "TipoCassa", range("TC", 1, 22) },
        { "TipoRitenuta", range("RT", 1, 6) },
        { "CausalePagamento", u("A B C D E G H I L M N O P Q R S T U V W X Y Z L1 M1 M2 O1 V1 ZO").split(u' ') },
        { "EsigibilitaIVA", { u("I"), u("D"), u("S") } },
        { "SocioUnico", { u("SU"), u("SM") } },
        { "StatoLiquidazione", { u("LS"), u("LN") } },
        { "Tipo", { u("SC"), u("MG") } },
        { "TipoCessionePrestazione", { u("SC"), u("PR"), u("AB"), u("AC") } },
        { "SoggettoEmittente", { u("CC"), u("TZ") } },
    };
    QTemporaryDir dir;
    for (const Family &family : families) {
        QByteArray elements;
        for (const QString &code : family.codes)
            elements += "<" + QByteArray(family.element) + ">" + code.toUtf8() + "</" + family.element + ">";
        // Each family in a container that the stylesheets place it in.
        const QByteArray xml = "<FatturaElettronica versione=\"FPR12\"><FatturaElettronicaHeader>"
                               "<CedentePrestatore><IscrizioneREA>"
            + (QByteArray(family.element) == "SocioUnico" || QByteArray(family.element) == "StatoLiquidazione"
                    ? elements
                    : QByteArray())
            + "</IscrizioneREA><DatiAnagrafici>"
            + (QByteArray(family.element) == "RegimeFiscale" ? elements : QByteArray())
            + "</DatiAnagrafici></CedentePrestatore>"
            + (QByteArray(family.element) == "SoggettoEmittente" ? elements : QByteArray())
            + "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
            + (QByteArray(family.element) == "TipoDocumento" ? elements : QByteArray()) + "<DatiRitenuta>"
            + (QByteArray(family.element).contains("Ritenuta") || QByteArray(family.element) == "CausalePagamento"
                    ? elements
                    : QByteArray())
            + "</DatiRitenuta><DatiCassaPrevidenziale>"
            + (QByteArray(family.element) == "TipoCassa" ? elements : QByteArray())
            + "</DatiCassaPrevidenziale></DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi><DettaglioLinee>"
            + (QByteArray(family.element) == "TipoCessionePrestazione" || QByteArray(family.element) == "Natura"
                    ? elements
                    : QByteArray())
            + "<ScontoMaggiorazione>" + (QByteArray(family.element) == "Tipo" ? elements : QByteArray())
            + "</ScontoMaggiorazione></DettaglioLinee><DatiRiepilogo>"
            + (QByteArray(family.element) == "EsigibilitaIVA" ? elements : QByteArray())
            + "</DatiRiepilogo></DatiBeniServizi><DatiPagamento>"
            + (QByteArray(family.element) == "CondizioniPagamento" ? elements : QByteArray()) + "<DettaglioPagamento>"
            + (QByteArray(family.element) == "ModalitaPagamento" ? elements : QByteArray())
            + "</DettaglioPagamento></DatiPagamento></FatturaElettronicaBody></FatturaElettronica>";
        const Page page = render(writeTemp(dir, u("codici.xml"), xml), kOrdinaria);
        for (const QString &code : family.codes) {
            const QRegularExpression withMeaning(u("(^|\\s)") + QRegularExpression::escape(code) + u(" - \\w"));
            EXPECT_TRUE(withMeaning.match(page.text).hasMatch()) << family.element << " " << code.toStdString();
        }
        EXPECT_FALSE(page.text.contains(u("codice non previsto"))) << family.element;
    }
}

// Files the stylesheet does not expect render a page that says so, in Italian,
// with the data found; they never fail the transform.
TEST(Stylesheets, BadInputRendersAPageThatSaysSo)
{
    const QByteArray ns = "xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\"";
    const QByteArray header = "<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><Anagrafica>"
                              "<Denominazione>Ditta Prova</Denominazione></Anagrafica></DatiAnagrafici>"
                              "</CedentePrestatore></FatturaElettronicaHeader>";
    struct Case {
        const char *name;
        QString sheet;
        QByteArray xml;
        QStringList expected;
    } cases[] = {
        { "another root", kOrdinaria, "<Ordine><Cliente><Nome>Rossi</Nome></Cliente><Totale>12.5</Totale></Ordine>",
            { u("Documento non riconosciuto"), u("Rossi"), u("12.5") } },
        { "an empty root", kPa, "<Vuoto/>", { u("Documento non riconosciuto"), u("non contiene dati") } },
        { "an ordinary invoice under the simplified stylesheet", kSemplificata,
            "<p:FatturaElettronica " + ns + ">" + header + "</p:FatturaElettronica>",
            { u("Documento non riconosciuto"), u("Ditta Prova") } },
        { "no body", kOrdinaria, "<p:FatturaElettronica " + ns + ">" + header + "</p:FatturaElettronica>",
            { u("non contiene alcun corpo"), u("Ditta Prova") } },
        { "an empty body", kOrdinaria,
            "<p:FatturaElettronica " + ns + ">" + header + "<FatturaElettronicaBody/></p:FatturaElettronica>",
            { u("corpo della fattura e' vuoto"), u("Ditta Prova") } },
        { "an empty simplified body", kSemplificata,
            "<FatturaElettronicaSemplificata><FatturaElettronicaBody/></FatturaElettronicaSemplificata>",
            { u("corpo della fattura e' vuoto"), u("intestazione") } },
        { "text in numeric fields, unknown elements, wrong order", kOrdinaria,
            "<p:FatturaElettronica " + ns
                + "><FatturaElettronicaBody><DatiBeniServizi><DatiRiepilogo>"
                  "<Imposta>dieci</Imposta><ImponibileImporto>1e3</ImponibileImporto></DatiRiepilogo>"
                  "<DettaglioLinee><PrezzoTotale>n.d.</PrezzoTotale><NumeroLinea>1</NumeroLinea>"
                  "<CampoIgnoto>valore ignoto</CampoIgnoto></DettaglioLinee></DatiBeniServizi>"
                  "<Extra><Dato>in coda</Dato></Extra></FatturaElettronicaBody></p:FatturaElettronica>",
            { u("dieci"), u("1e3"), u("n.d."), u("valore ignoto"), u("in coda") } },
        { "a code that does not exist", kOrdinaria,
            "<p:FatturaElettronica " + ns
                + "><FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
                  "<TipoDocumento>TD99</TipoDocumento></DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>"
                  "</p:FatturaElettronica>",
            { u("TD99"), u("codice non previsto") } },
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        Page page;
        ASSERT_NO_THROW(page = render(writeTemp(dir, u("caso.xml"), c.xml), c.sheet)) << c.name;
        for (const QString &e : c.expected)
            EXPECT_TRUE(page.text.contains(e)) << c.name << ": " << e.toStdString() << "\n" << page.text.toStdString();
        EXPECT_FALSE(page.text.contains(u("NaN"))) << c.name;
    }
}

// The page reaches the pane in code page 1252: the stylesheets' own text must
// survive it, and the page must stay self-contained.
TEST(Stylesheets, MarkupFitsCodePage1252AndReachesNothingOutside)
{
    const QStringList sheets = QDir(sourceDir() + u("/stylesheets")).entryList({ u("*.xsl") }, QDir::Files);
    ASSERT_GE(sheets.size(), 3);
    for (const QString &name : sheets) {
        const QString text = QString::fromUtf8(readBytes(sourceDir() + u("/stylesheets/") + name));
        EXPECT_EQ(fromWindows1252(toWindows1252(text)), text) << name.toStdString();
        for (const char *forbidden :
            { "<script", "<link", "<img", "<a ", "url(", "@import", "document(", "exsl", "msxsl" })
            EXPECT_FALSE(text.contains(u(forbidden), Qt::CaseInsensitive)) << name.toStdString() << ": " << forbidden;
    }
}
