// What every command of lentiva-cli shares: the one JSON escaping (Qt's own,
// which info always wrote) and the one parser of the table of commands, here
// on a table of its own so that every rule is met, repeated values and
// options that need another included.
#include "cli/rigacomando.h"
#include "common/json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/testsupport.h"

// Qt's own escaping, which info always wrote, but for DEL and the C1
// controls, which no terminal should see raw.
TEST(Json, OneEscapingForEveryCommandAsQtWritesIt)
{
    const struct {
        const char *nome;
        QString testo;
        QByteArray json;
        bool comeQt = true;
    } casi[] = {
        { "plain", QStringLiteral("Rossi S.r.l."), "\"Rossi S.r.l.\"" },
        { "quotes and backslash", QStringLiteral("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"" },
        { "named controls", QStringLiteral("\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\"" },
        { "other controls", QString(QChar(0)) + QChar(0x1F) + QChar(0x0B) + QChar(0x1B),
            "\"\\u0000\\u001f\\u000b\\u001b\"" },
        { "DEL and C1", QString(QChar(0x7F)) + QChar(0x85) + QChar(0x9B) + QChar(0xA0),
            "\"\\u007f\\u0085\\u009b\xC2\xA0\"", false },
        { "accents, euro, beyond the basic plane", QString::fromUtf8("Città € \xF0\x9F\x98\x80"),
            "\"Citt\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80\"" },
        { "lone surrogates", QString(QChar(0xD800)) + u'x' + QChar(0xDC00), "\"\\ud800x\\udc00\"" },
        { "invalid UTF-8 in a name",
            QString::fromUtf8("a\xFF"
                              "b\xC3"),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\"" },
        { "empty", QString(), "\"\"" },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(TestoJson(c.testo), c.json);
        if (c.comeQt) {
            EXPECT_EQ(TestoJson(c.testo),
                QJsonDocument(QJsonArray { c.testo }).toJson(QJsonDocument::Compact).mid(1).chopped(1));
        }
    }
    EXPECT_EQ(OggettoJson().testo("a", u"x").numero("n", -3).booleano("b", false).json("o", "null").fine(true),
        "{\"a\":\"x\",\"n\":-3,\"b\":false,\"o\":null}\n");
    EXPECT_EQ(OggettoJson().fine(), "{}");
}

// A file name with a quote, a backslash, a tab, a line end and an accent
// comes out the same from every command that writes JSON.
TEST(Json, EveryCommandWritesTheFileNameTheSameWay)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a\"b\\c\td\ne\u00E8.xml"));
    writeBytes(file,
        "<p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>FPR12"
        "</FormatoTrasmissione></DatiTrasmissione></FatturaElettronicaHeader><FatturaElettronicaBody>"
        "</FatturaElettronicaBody></p:FatturaElettronica>");
    const QByteArray atteso = "{\"file\":" + TestoJson(file) + ',';
    for (const char *comando : { "info", "elenco", "firma" }) {
        SCOPED_TRACE(comando);
        QProcess p;
        p.start(programDir() + QStringLiteral("/lentiva-cli"),
            { QString::fromLatin1(comando), QStringLiteral("--json"), file });
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(atteso));
    }
}

namespace {
int nessuno(const RigaLetta &, AmbienteComando &)
{
    return 0;
}

const std::vector<ComandoRiga> kComandi {
    { "pagina", "FILE...", { { { "-o", "USCITA", false, nullptr, "per più file si usa -d" }, { "-d", "CARTELLA" } } },
        "una riga\nun'altra", nessuno, "-d" },
    { "uno", "FILE", {}, "un file solo", nessuno },
    { "riepilogo", "PERCORSO...",
        { { { "--riepilogo" } }, { { "--partita-iva", "IT", true, "--riepilogo" } }, { { "--json" }, { "--csv" } } },
        "per partita IVA", nessuno },
};

QString errore(const QStringList &argomenti)
{
    try {
        LeggiRiga(argomenti, kComandi);
        return QStringLiteral("(nessun errore)");
    } catch (const ErroreUso &e) {
        return e.testo;
    }
}
} // namespace

TEST(RigaDiComando, EveryRuleOfTheTableAndItsMessage)
{
    const struct {
        const char *nome;
        QStringList argomenti;
        const char *errore;
    } casi[] = {
        { "no command", {}, "comando mancante" },
        { "unknown command", { QStringLiteral("stampa") }, "comando sconosciuto: stampa" },
        { "another command's option", { QStringLiteral("uno"), QStringLiteral("-o"), QStringLiteral("x") },
            "opzione non valida per uno: -o" },
        { "a flag twice",
            { QStringLiteral("riepilogo"), QStringLiteral("--json"), QStringLiteral("--json"), QStringLiteral("x") },
            "opzione ripetuta: --json" },
        { "a value missing", { QStringLiteral("pagina"), QStringLiteral("a"), QStringLiteral("-d") },
            "manca il valore di -d" },
        { "an empty value", { QStringLiteral("pagina"), QStringLiteral("a"), QStringLiteral("-d"), QString() },
            "manca il valore di -d" },
        { "no operand", { QStringLiteral("pagina"), QStringLiteral("-d"), QStringLiteral("x") },
            "nessun file indicato" },
        { "one operand only", { QStringLiteral("uno"), QStringLiteral("a"), QStringLiteral("b") },
            "uno vuole un solo file" },
        { "a group's two options, in the table's order",
            { QStringLiteral("riepilogo"), QStringLiteral("x"), QStringLiteral("--csv"), QStringLiteral("--json") },
            "--json e --csv non vanno insieme" },
        { "an option for one file",
            { QStringLiteral("pagina"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("-o"),
                QStringLiteral("x") },
            "-o vale per un solo file; per più file si usa -d" },
        { "several operands need an option", { QStringLiteral("pagina"), QStringLiteral("a"), QStringLiteral("b") },
            "più file vogliono -d CARTELLA" },
        { "an option that needs another",
            { QStringLiteral("riepilogo"), QStringLiteral("x"), QStringLiteral("--partita-iva"),
                QStringLiteral("IT1") },
            "--partita-iva vale solo con --riepilogo" },
    };
    for (const auto &c : casi)
        EXPECT_EQ(errore(c.argomenti), QString::fromUtf8(c.errore)) << c.nome;

    const RigaLetta r
        = LeggiRiga({ QStringLiteral("riepilogo"), QStringLiteral("--partita-iva"), QStringLiteral("IT1"),
                        QStringLiteral("a"), QStringLiteral("--riepilogo"), QStringLiteral("--partita-iva"),
                        QStringLiteral("IT2"), QStringLiteral("--"), QStringLiteral("--json"), QStringLiteral("-") },
            kComandi);
    EXPECT_EQ(r.comando, &kComandi[2]);
    EXPECT_EQ(r.operandi, QStringList({ QStringLiteral("a"), QStringLiteral("--json"), QStringLiteral("-") }));
    EXPECT_EQ(r.valori("--partita-iva"), QStringList({ QStringLiteral("IT1"), QStringLiteral("IT2") }));
    EXPECT_TRUE(r.ha("--riepilogo"));
    EXPECT_FALSE(r.ha("--json"));

    EXPECT_EQ(TestoAiutoComandi(QStringLiteral("Uso:\n"), kComandi, QStringLiteral("Fine\n")),
        QStringLiteral("Uso:\n"
                       "  pagina FILE... [-o USCITA | -d CARTELLA]\n"
                       "      una riga\n"
                       "      un'altra\n"
                       "  uno FILE\n"
                       "      un file solo\n"
                       "  riepilogo PERCORSO... [--riepilogo] [--partita-iva IT...] [--json | --csv]\n"
                       "      per partita IVA\n"
                       "Fine\n"));
}
