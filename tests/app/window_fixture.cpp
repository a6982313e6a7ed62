#include "window_fixture.h"

#include "app/pannellofirma.h"

#include "app/invoicepane.h"
#include "app/widgets.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWebEnginePage>

#include "support/testsupport.h"

namespace {
// Each stylesheet names itself, so a test sees which one rendered the page.
QByteArray namingStyle(const char *name)
{
    return QByteArray(R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" encoding="UTF-8"/><xsl:template match="/"><html><body><p>)")
        + name + R"( <xsl:value-of select="//*[local-name()='Numero']"/> citt&#224;</p></body></html>
</xsl:template></xsl:stylesheet>)";
}
} // namespace

QString ScriptedDialogs::scegliFile(QWidget *, const ImpostazioniDialogo &impostazioni)
{
    shown << impostazioni;
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QString ScriptedDialogs::scegliFileDaSalvare(
    QWidget *, const ImpostazioniDialogo &impostazioni, const QString &nomeProposto)
{
    shownSave << impostazioni;
    proposedNames << nomeProposto;
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QByteArray sampleInvoice(const QByteArray &formato, const QByteArray &numero, const QByteArray &extraBody)
{
    return "<?xml version='1.0' encoding='UTF-8'?>\n<p:FatturaElettronica versione='FPR12' xmlns:p='urn:x'>"
           "<FatturaElettronicaHeader><DatiTrasmissione><FormatoTrasmissione>"
        + formato
        + "</FormatoTrasmissione></DatiTrasmissione><CedentePrestatore><DatiAnagrafici><Anagrafica>"
          "<Denominazione>Rossi S.r.l.</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
          "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
          "<TipoDocumento>TD01</TipoDocumento><Data>2019-01-31</Data><Numero>"
        + numero + "</Numero></DatiGeneraliDocumento></DatiGenerali>" + extraBody
        + "</FatturaElettronicaBody></p:FatturaElettronica>\n";
}

void WindowTest::SetUp()
{
    programFolder = dir.path() + QLatin1Char('/');
    QDir root(dir.path());
    for (const QString &sub : { DirFogliStile, DirFatture, DirAllegati, DirOpenSSL, DirCertificatori })
        root.mkpath(sub);
    writeBytes(programFolder + DirFogliStile + FoglioFPA12, namingStyle("PA"));
    writeBytes(programFolder + DirFogliStile + FoglioFPR12, namingStyle("PR"));
    writeBytes(programFolder + DirFogliStile + FoglioFSM10, namingStyle("SM"));
    QFile::link(QStandardPaths::findExecutable(QStringLiteral("openssl")),
        programFolder + DirOpenSSL + QStringLiteral("openssl"));
}

void WindowTest::TearDown()
{
    window.reset();
}

TFLENTIVA &WindowTest::start(const QStringList &arguments)
{
    window = std::make_unique<TFLENTIVA>(programFolder, arguments, dialogs);
    window->show();
    waitForSignature();
    return *window;
}

QString WindowTest::invoice(const QString &name, const QByteArray &xml)
{
    const QString path = programFolder + DirFatture + name;
    writeBytes(path, xml);
    return path;
}

QString WindowTest::field(const char *name) const
{
    auto *f = window->findChild<CampoValore *>(QString::fromLatin1(name));
    EXPECT_NE(f, nullptr) << name;
    return f != nullptr ? f->valore() : QString();
}

QStringList WindowTest::attachmentNames() const
{
    QStringList names;
    auto *list = window->findChild<QListWidget *>(QStringLiteral("LBAlleg"));
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QString WindowTest::pageText()
{
    InvoicePane *pane = window->browser();
    QSignalSpy shown(pane, &InvoicePane::pageShown);
    if (!pane->hasPage() || (!pane->pageReady() && !shown.wait(20000)))
        return QStringLiteral("<no page>");
    QString text;
    bool done = false;
    pane->page()->toPlainText([&](const QString &t) {
        text = t;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return QStringLiteral("<no text>");
    return text;
}

void WindowTest::choose(const QString &path)
{
    dialogs.answers << path;
    window->btnSelFileClick();
    waitForSignature();
}

void WindowTest::waitForSignature()
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->pannelloFirma()->inCorso(); }, 20000));
}
