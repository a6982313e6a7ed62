// The message's page, header fields and info object.
#include "messaggi/pagina.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/text8.h"
#include "invoice/openflow.h"
#include "invoice/rendering.h"
#include "invoice/xmlsicuro.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <libxml/tree.h>

namespace {
// The program's own additions to the document; the stylesheet reads them
// from the last element of this namespace among the root's children.
constexpr const char *kSpazioLentiva = "urn:lentiva:messaggi";

const xmlChar *x(const char *testo)
{
    return reinterpret_cast<const xmlChar *>(testo);
}

void aggiungiAttributo(xmlNode *nodo, const char *nome, const QString &valore)
{
    xmlNewProp(nodo, x(nome), x(valore.toUtf8().constData()));
}

// Adds <lv:messaggio sigla tipo esito colore> with <lv:avviso> and one
// <lv:errore codice spiegazione noto> per error, in order; any element of
// that namespace the message brought itself is dropped first.
void annota(xmlDoc *doc, const MessaggioSdI &m)
{
    xmlNode *root = xmlDocGetRootElement(doc);
    for (xmlNode *c = root->children, *dopo = nullptr; c != nullptr; c = dopo) {
        dopo = c->next;
        if (c->type == XML_ELEMENT_NODE && c->ns != nullptr && xmlStrEqual(c->ns->href, x(kSpazioLentiva))) {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        }
    }
    xmlNode *info = xmlNewDocNode(doc, nullptr, x("messaggio"), nullptr);
    xmlNs *ns = xmlNewNs(info, x(kSpazioLentiva), x("lv"));
    xmlSetNs(info, ns);
    const EsitoPagina esito = EsitoDi(m);
    aggiungiAttributo(info, "sigla", m.sigla());
    aggiungiAttributo(info, "tipo", m.descrizioneTipo());
    aggiungiAttributo(info, "esito", esito.parola);
    aggiungiAttributo(info, "colore", QString::fromLatin1(esito.colore));
    for (const QString &avviso : m.avvisi)
        xmlNewTextChild(info, ns, x("avviso"), x(avviso.toUtf8().constData()));
    for (const ErroreSdI &e : m.errori) {
        xmlNode *errore = xmlNewChild(info, ns, x("errore"), nullptr);
        aggiungiAttributo(errore, "codice", e.codice);
        aggiungiAttributo(errore, "spiegazione", SpiegazioneErrore(e.codice));
        aggiungiAttributo(errore, "noto", CercaCodiceErrore(e.codice) ? QStringLiteral("si") : QStringLiteral("no"));
    }
    xmlAddChild(root, info);
}

QString dataDi(const QString &dataOra)
{
    const bool data = dataOra.size() >= 10 && dataOra[4] == u'-' && dataOra[7] == u'-'
        && std::all_of(dataOra.begin(), dataOra.begin() + 10, [](QChar c) { return c.isDigit() || c == u'-'; });
    return data ? dataOra.left(10) : dataOra;
}

// Control characters of a text from a file shown as blanks, for a terminal.
QString senzaControlli(QString testo)
{
    for (QChar &c : testo)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return testo;
}
} // namespace

QString FoglioMessaggiIn(const QString &dirProgramma)
{
    return dirProgramma + DirFogliStile + FoglioMessaggi;
}

EsitoPagina EsitoDi(const MessaggioSdI &m)
{
    switch (m.tipo) {
    case TipoMessaggio::RC:
        return { QStringLiteral("Consegnata"), "ok" };
    case TipoMessaggio::NS:
        return { QStringLiteral("Scartata"), "ko" };
    case TipoMessaggio::MC:
        return { QStringLiteral("Non consegnata"), "attenzione" };
    case TipoMessaggio::AT:
        return { QStringLiteral("Non recapitabile"), "attenzione" };
    case TipoMessaggio::DT:
        return { QStringLiteral("Decorrenza dei termini"), "neutro" };
    case TipoMessaggio::NE:
    case TipoMessaggio::EC:
        if (m.esito == QLatin1String("EC01"))
            return { QStringLiteral("Accettata"), "ok" };
        if (m.esito == QLatin1String("EC02"))
            return { QStringLiteral("Rifiutata"), "ko" };
        return { QStringLiteral("Esito non indicato"), "neutro" };
    case TipoMessaggio::SE:
        return { QStringLiteral("Esito committente scartato"), "ko" };
    case TipoMessaggio::MT:
        return { QStringLiteral("Fattura ricevuta"), "neutro" };
    default:
        return { QStringLiteral("Non riconosciuto"), "neutro" };
    }
}

namespace {
// The file's bytes, or nothing when it cannot be read: not a message then.
std::optional<QByteArray> bytesDi(const QString &fileXml)
{
    try {
        return readWholeFile(fileXml);
    } catch (const Exception &) {
        return std::nullopt;
    }
}

// The message's document, parsed once; null when not one.
DocumentoXml documentoMessaggio(const QByteArray &bytes, std::optional<MessaggioSdI> &messaggio)
{
    if (!ForseMessaggio(bytes))
        return DocumentoXml();
    QString motivo;
    DocumentoXml doc = CaricaXmlSicuro(bytes, motivo);
    messaggio = LeggiMessaggio(doc.get());
    return messaggio ? std::move(doc) : DocumentoXml();
}
} // namespace

std::optional<MessaggioSdI> LeggiFileMessaggio(const QString &fileXml)
{
    std::optional<MessaggioSdI> messaggio;
    if (const std::optional<QByteArray> bytes = bytesDi(fileXml))
        documentoMessaggio(*bytes, messaggio);
    return messaggio;
}

std::optional<MessaggioSdI> MostraMessaggio(
    const QString &fileXml, const QString &dirProgramma, InvoiceDisplay &display, FogliCompilati &fogli)
{
    std::optional<MessaggioSdI> messaggio;
    const std::optional<QByteArray> bytes = bytesDi(fileXml);
    if (!bytes)
        return std::nullopt;
    const DocumentoXml doc = documentoMessaggio(*bytes, messaggio);
    if (!doc)
        return std::nullopt;
    annota(doc.get(), *messaggio);
    QString html = TrasformaDocumentoXsl(doc.get(), FoglioMessaggiIn(dirProgramma), fogli);
    display.pageRendered(html);
    display.showPage(TestoPerPannello(std::move(html)));
    for (const auto &[campo, testo] : TestataMessaggio(*messaggio))
        display.setHeaderField(campo, testo);
    return messaggio;
}

QString HtmlMessaggio(const QByteArray &bytes, const QString &nome, const QString &foglioStile, FogliCompilati &fogli)
{
    QString motivo;
    DocumentoXml doc = CaricaXmlSicuro(bytes, motivo);
    if (!doc)
        throw Exception(QStringLiteral("Errore nel caricamento XML: %1").arg(nome));
    const std::optional<MessaggioSdI> messaggio = LeggiMessaggio(doc.get());
    if (!messaggio)
        throw Exception(MsgDocumentoNonGestito);
    annota(doc.get(), *messaggio);
    return TrasformaDocumentoXsl(doc.get(), foglioStile, fogli);
}

QString HtmlMessaggio(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli)
{
    return HtmlMessaggio(readWholeFile(fileXml), fileXml, foglioStile, fogli);
}

QByteArray PaginaMessaggio(const QString &fileXml, const QString &foglioStile, FogliCompilati &fogli)
{
    return TestoPerPannello(HtmlMessaggio(fileXml, foglioStile, fogli));
}

std::vector<std::pair<CampoTestata, QByteArray>> TestataMessaggio(const MessaggioSdI &m)
{
    const QString tipo = m.sigla().isEmpty() ? m.descrizioneTipo() : m.sigla() + u' ' + m.descrizioneTipo();
    return {
        { CampoTestata::Fornitore, QByteArray() },
        { CampoTestata::TipoDocumento, toWindows1252(tipo) },
        { CampoTestata::Data, toWindows1252(dataDi(m.dataOraRicezione)) },
        { CampoTestata::Numero, toWindows1252(m.identificativoSdI) },
    };
}

std::vector<VoceInfo> InfoMessaggio(const QString &file, const MessaggioSdI &m)
{
    QJsonArray errori;
    for (const ErroreSdI &e : m.errori)
        errori.append(QJsonObject {
            { QStringLiteral("codice"), e.codice },
            { QStringLiteral("descrizione"), e.descrizione },
            { QStringLiteral("spiegazione"), SpiegazioneErrore(e.codice) },
        });
    return {
        { QStringLiteral("file"), QStringLiteral("File"), file },
        { QStringLiteral("messaggio"), QStringLiteral("Messaggio"), m.sigla() },
        { QStringLiteral("descrizione"), QStringLiteral("Descrizione"), m.descrizioneTipo() },
        { QStringLiteral("identificativo_sdi"), QStringLiteral("Identificativo SdI"), m.identificativoSdI },
        { QStringLiteral("nome_file"), QStringLiteral("Nome file"), m.nomeFile },
        { QStringLiteral("data_ora"), QStringLiteral("Data e ora"), m.dataOra() },
        { QStringLiteral("esito"), QStringLiteral("Esito"), m.esito },
        { QStringLiteral("errori"), QStringLiteral("Errori"), errori },
    };
}

QByteArray OggettoJsonInfo(const std::vector<VoceInfo> &voci)
{
    QByteArray testo = "{";
    for (const VoceInfo &v : voci) {
        // A value alone is not a JSON document: written inside an array, the
        // brackets then taken off.
        const QByteArray valore = QJsonDocument(QJsonArray { v.valore }).toJson(QJsonDocument::Compact);
        const QByteArray chiave = QJsonDocument(QJsonArray { v.chiave }).toJson(QJsonDocument::Compact);
        if (testo.size() > 1)
            testo += ',';
        testo += chiave.mid(1, chiave.size() - 2) + ':' + valore.mid(1, valore.size() - 2);
    }
    return testo + '}';
}

QByteArray TestoInfo(const std::vector<VoceInfo> &voci)
{
    QByteArray testo;
    for (const VoceInfo &v : voci) {
        if (!v.valore.isArray()) {
            testo += (v.etichetta + QStringLiteral(": ") + senzaControlli(v.valore.toString())).toUtf8() + '\n';
            continue;
        }
        const QJsonArray errori = v.valore.toArray();
        testo += (v.etichetta + QStringLiteral(": %1").arg(errori.size())).toUtf8() + '\n';
        for (const QJsonValue &e : errori) {
            const QJsonObject o = e.toObject();
            testo += QStringLiteral("  %1 %2 - %3")
                         .arg(senzaControlli(o.value(QStringLiteral("codice")).toString()),
                             senzaControlli(o.value(QStringLiteral("descrizione")).toString()),
                             o.value(QStringLiteral("spiegazione")).toString())
                         .toUtf8()
                + '\n';
        }
    }
    return testo;
}
