// The open flow with a recording display: stylesheet choice, order of steps,
// and what each failure leaves behind.
#include "common/errors.h"
#include "common/folders.h"
#include "invoice/openflow.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace {
struct RecordingDisplay final : InvoiceDisplay {
    QStringList log;
    QString extracted;
    QString extractEnvelope(const QString &envelope) override
    {
        log << QStringLiteral("envelope ") + envelope;
        if (extracted.isEmpty())
            throw Exception(QStringLiteral("OpenSSL errore (ExitCode=2)"));
        return extracted;
    }
    void showPage(const QByteArray &page) override
    {
        log << QStringLiteral("page ") + QString::fromLatin1(page).trimmed();
    }
    void loadAttachments(const QString &fileXml) override { log << QStringLiteral("attachments ") + fileXml; }
    void setHeaderField(CampoTestata field, const QByteArray &text) override
    {
        log << QStringLiteral("field %1 %2").arg(int(field)).arg(QString::fromLatin1(text));
    }
    void plainMessage(const QString &text) override { log << QStringLiteral("message ") + text; }
};

// A stylesheet per format that just names itself.
QByteArray namingStyle(const char *name)
{
    return QByteArray(R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/><xsl:template match="/">)")
        + name + "</xsl:template></xsl:stylesheet>";
}

QByteArray invoice(const QByteArray &formato, const QByteArray &body = "<Numero>7</Numero>")
{
    return "<p:FatturaElettronica xmlns:p='urn:x'><FatturaElettronicaHeader><DatiTrasmissione>" + formato
        + "</DatiTrasmissione></FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
          "<DatiGeneraliDocumento><TipoDocumento>TD04</TipoDocumento>"
        + body + "</DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody></p:FatturaElettronica>";
}

class OpenFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        stato.DirProgramma = dir.path() + QLatin1Char('/');
        QDir(dir.path()).mkpath(DirFogliStile);
        writeBytes(stato.DirProgramma + DirFogliStile + FoglioFPA12, namingStyle("PA"));
        writeBytes(stato.DirProgramma + DirFogliStile + FoglioFPR12, namingStyle("PR"));
        writeBytes(stato.DirProgramma + DirFogliStile + FoglioFSM10, namingStyle("SM"));
        stato.FoglioStile = FoglioPredefinitoIn(stato.DirProgramma);
    }
    QString file(const QByteArray &xml, const char *name = "f.xml")
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        writeBytes(path, xml);
        return path;
    }
    // The page shown (the stylesheet's name), or the first message.
    QString open(const QByteArray &xml)
    {
        display.log.clear();
        MostraFattura(file(xml), stato, display);
        return display.log.value(0);
    }
    QTemporaryDir dir;
    StatoFattura stato;
    RecordingDisplay display;
};
} // namespace

TEST_F(OpenFlow, FormatChoosesTheStylesheetAndUnknownKeepsIt)
{
    const struct {
        const char *name;
        QByteArray formato;
        const char *page;
    } rows[] = {
        { "unknown first: default", "<FormatoTrasmissione>XX</FormatoTrasmissione>", "page PR" },
        { "FPA12", "<FormatoTrasmissione>FPA12</FormatoTrasmissione>", "page PA" },
        { "unknown after FPA12 keeps it", "<FormatoTrasmissione>FPR13</FormatoTrasmissione>", "page PA" },
        { "blanks and breaks trimmed", "<FormatoTrasmissione>\r\n FSM10 \r\n</FormatoTrasmissione>", "page SM" },
        { "lower case matches nothing", "<FormatoTrasmissione>fpr12</FormatoTrasmissione>", "page SM" },
        { "two elements match nothing",
            "<FormatoTrasmissione>FPR12</FormatoTrasmissione><FormatoTrasmissione>FPR12</FormatoTrasmissione>",
            "page SM" },
        { "FPR12", "<FormatoTrasmissione>FPR12</FormatoTrasmissione>", "page PR" },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(open(invoice(r.formato)), QString::fromLatin1(r.page));
    }
}

TEST_F(OpenFlow, StepsRunInOrder)
{
    const QString path = file(
        invoice("<FormatoTrasmissione>FPR12</FormatoTrasmissione>", "<Numero>7</Numero><Data>2019-01-31</Data>"));
    MostraFattura(path, stato, display);
    EXPECT_EQ(display.log,
        (QStringList { QStringLiteral("page PR"), QStringLiteral("attachments ") + path,
            QStringLiteral("field 1 TD04 nota di credito"), QStringLiteral("field 2 2019-01-31"),
            QStringLiteral("field 3 7") }));
    EXPECT_EQ(stato.FileXml, path);
}

TEST_F(OpenFlow, FailuresStopWhereTheyArise)
{
    EXPECT_EQ(open("<r>"),
        QStringLiteral("message ATTENZIONE, XML CON ERRORI (002)! \r\n\r\n"
                       "Premature end of data in tag r line 1\r\nLine: 1\r\n<r>"));
    EXPECT_EQ(display.log.value(1), QStringLiteral("message ") + MsgDocumentoNonGestito);
    EXPECT_EQ(display.log.size(), 2);

    EXPECT_EQ(open(invoice("")), QStringLiteral("message ") + MsgDocumentoNonGestito);
    EXPECT_EQ(display.log.size(), 1);

    try {
        open(invoice("<FormatoTrasmissione><x/></FormatoTrasmissione>"));
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Element does not contain a single text node"));
    }
    EXPECT_TRUE(display.log.isEmpty());

    QFile::remove(stato.DirProgramma + DirFogliStile + FoglioFPA12);
    try {
        open(invoice("<FormatoTrasmissione>FPA12</FormatoTrasmissione>"));
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.message(),
            QStringLiteral("Errore nel caricamento XSL: ") + stato.DirProgramma + DirFogliStile + FoglioFPA12);
    }
    EXPECT_TRUE(display.log.isEmpty());
    EXPECT_EQ(stato.FoglioStile, stato.DirProgramma + DirFogliStile + FoglioFPA12);
}

TEST_F(OpenFlow, EnvelopesAreExtractedFirst)
{
    const QString inner = file(invoice("<FormatoTrasmissione>FPR12</FormatoTrasmissione>"), "busta.xml");
    const QString envelope = dir.filePath(QStringLiteral("busta.XML.P7M"));
    display.extracted = inner;
    MostraFattura(envelope, stato, display);
    EXPECT_EQ(display.log.value(0), QStringLiteral("envelope ") + envelope);
    EXPECT_EQ(display.log.value(1), QStringLiteral("page PR"));
    EXPECT_EQ(stato.FileXml, inner);

    display.extracted.clear();
    display.log.clear();
    EXPECT_THROW(MostraFattura(envelope, stato, display), Exception);
    EXPECT_EQ(stato.FileXml, envelope);
    EXPECT_EQ(display.log.size(), 1);
}

TEST_F(OpenFlow, AFileChangedDuringTheOpenIsReadAgain)
{
    // Rewritten once the page is shown: the header queries after it must see
    // the new text, as they did when every step parsed the file itself.
    struct RewritingDisplay final : InvoiceDisplay {
        QString path;
        QByteArray replacement;
        QStringList log;
        QString extractEnvelope(const QString &) override { return QString(); }
        void showPage(const QByteArray &) override { writeBytes(path, replacement); }
        void loadAttachments(const QString &) override { }
        void setHeaderField(CampoTestata field, const QByteArray &text) override
        {
            log << QStringLiteral("field %1 %2").arg(int(field)).arg(QString::fromLatin1(text));
        }
        void plainMessage(const QString &text) override { log << text; }
    } display;
    display.path = file(invoice("<FormatoTrasmissione>FPR12</FormatoTrasmissione>", "<Numero>7</Numero>"));
    display.replacement = invoice("<FormatoTrasmissione>FPR12</FormatoTrasmissione>", "<Numero>8</Numero>");
    MostraFattura(display.path, stato, display);
    EXPECT_EQ(
        display.log, (QStringList { QStringLiteral("field 1 TD04 nota di credito"), QStringLiteral("field 3 8") }));
}

TEST_F(OpenFlow, AnAttachmentOfMoreThanTenMegabytesOpens)
{
    // libxml2 refuses a single text node over 10 MB unless told otherwise.
    const QByteArray allegato = "<Allegati><Attachment>" + QByteArray(11'000'000, 'A') + "</Attachment></Allegati>";
    const QString path = file(invoice("<FormatoTrasmissione>FPR12</FormatoTrasmissione>", "<Numero>7</Numero>")
                                  .replace("</DatiGenerali>", "</DatiGenerali>" + allegato));
    MostraFattura(path, stato, display);
    EXPECT_EQ(display.log,
        (QStringList { QStringLiteral("page PR"), QStringLiteral("attachments ") + path,
            QStringLiteral("field 1 TD04 nota di credito"), QStringLiteral("field 3 7") }));
}
