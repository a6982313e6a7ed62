// The exchange system's messages on arbitrary bytes: recognised and read from
// the bytes and from the parsed document (which must agree: the first look
// at the bytes may never turn away a message), and by the quick reader, which
// must read what it takes exactly as the document reads it and take nothing
// that is not well-formed (reading only a trace, the same), then the page with the
// repository's stylesheet, the header fields, the info object, the fate; the
// bytes' first line also as a message's file name. Rendering may end with
// Exception; a crash, a sanitizer report, any other exception, a broken
// expectation or a hang is a fault.
#include "common/errors.h"
#include "invoice/rendering.h"
#include "invoice/xmlsicuro.h"
#include "messaggi/messaggi.h"
#include "messaggi/pagina.h"

#include "fuzzsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <libxml/tree.h>

namespace {
QString riassunto(const std::optional<MessaggioSdI> &m)
{
    if (!m)
        return QStringLiteral("-");
    QStringList parti { m->sigla(), m->radice, m->identificativoSdI, m->nomeFile, m->dataOra(), m->esito, m->hash,
        m->descrizione, m->note, QString::number(m->errori.size()), m->avvisi.join(QLatin1Char(' ')) };
    return parti.join(QLatin1Char('|'));
}

// Every field, for comparing two readings.
QString tutto(const std::optional<MessaggioSdI> &m)
{
    if (!m)
        return QStringLiteral("-");
    QStringList parti { m->sigla(), m->radice, m->spazioNomi, m->versione, m->intermediarioConDupliceRuolo,
        m->identificativoSdI, m->nomeFile, m->hash, m->dataOraRicezione, m->dataOraConsegna, m->dataMessaADisposizione,
        m->destinatarioCodice, m->destinatarioDescrizione, m->riferimentoArchivioIdentificativoSdI,
        m->riferimentoArchivioNomeFile, m->descrizione, m->esito, m->numeroFattura, m->annoFattura, m->posizioneFattura,
        m->codiceDestinatario, m->formato, m->tentativiInvio, m->messageId, m->messageIdCommittente, m->pecMessageId,
        m->note, m->firmato ? QStringLiteral("firmato") : QString(), m->avvisi.join(QLatin1Char('/')) };
    for (const ErroreSdI &e : m->errori)
        parti << e.codice + QLatin1Char('/') + e.descrizione + QLatin1Char('/') + e.suggerimento;
    return parti.join(QLatin1Char('|'));
}

bool conFormato(const xmlNode *n)
{
    for (; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE
            && (QByteArray(reinterpret_cast<const char *>(n->name)).toLower() == "formatotrasmissione"
                || conFormato(n->children)))
            return true;
    return false;
}

void controllaMessaggio(const MessaggioSdI &m, const QByteArray &bytes)
{
    FUZZ_CHECK(m.tipo != TipoMessaggio::Nessuno, m.radice);
    FUZZ_CHECK(m.sigla().isEmpty() == (m.tipo == TipoMessaggio::Sconosciuto), m.sigla());
    FUZZ_CHECK(!m.descrizioneTipo().isEmpty(), m.radice);
    for (const ErroreSdI &e : m.errori)
        FUZZ_CHECK(!SpiegazioneErrore(e.codice).isEmpty(), e.codice);

    // The info object is JSON that reads back with its errors.
    const QByteArray json = OggettoJsonInfo(InfoMessaggio(QStringLiteral("f.xml"), m));
    QJsonParseError errore;
    const QJsonDocument letto = QJsonDocument::fromJson(json, &errore);
    FUZZ_CHECK(errore.error == QJsonParseError::NoError && letto.isObject(), QString::fromUtf8(json));
    FUZZ_CHECK(letto.object().value(QStringLiteral("errori")).toArray().size() == qsizetype(m.errori.size()),
        QString::fromUtf8(json));
    FUZZ_CHECK(!TestoInfo(InfoMessaggio(QStringLiteral("f.xml"), m)).isEmpty(), QString());
    FUZZ_CHECK(TestataMessaggio(m).size() == 4, QString());

    // The fate of an invoice named by this message, twice and with a rejection.
    const std::vector<EventoSdI> eventi { { m.tipo, m.dataOra(), m.esito }, { TipoMessaggio::NS, m.dataOra(), {} },
        { m.tipo, m.dataOraConsegna, m.esito } };
    FUZZ_CHECK(StatoSdI(eventi) == QStringLiteral("scartata"), QString());
    FUZZ_CHECK(OrdineEventi(eventi).size() == eventi.size(), QString());
    const RiferimentoMessaggio r = RiferimentoDi(m);
    FUZZ_CHECK(!r.chiaveNomeFile.contains(QLatin1Char('/')) && !r.chiaveNomeFile.contains(QLatin1Char('\\')),
        r.chiaveNomeFile);

    FogliCompilati fogli;
    try {
        const QString html = HtmlMessaggio(bytes, QStringLiteral("f.xml"),
            QStringLiteral(LENTIVA_STYLESHEET_DIR) + QLatin1Char('/') + FoglioMessaggi, fogli);
        FUZZ_CHECK(html.contains(QStringLiteral("Dati del messaggio")), QString());
    } catch (const Exception &) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    QString errore;
    const std::optional<MessaggioSdI> dalleBytes = LeggiMessaggio(bytes, &errore);
    QString motivo;
    const DocumentoXml doc = CaricaXmlSicuro(bytes, motivo);
    const std::optional<MessaggioSdI> dalDocumento = LeggiMessaggio(doc.get());
    FUZZ_CHECK(riassunto(dalleBytes) == riassunto(dalDocumento),
        riassunto(dalleBytes) + QStringLiteral(" / ") + riassunto(dalDocumento));
    FUZZ_CHECK(errore.isEmpty() || !doc, errore);
    FUZZ_CHECK(
        RiconosciMessaggio(doc.get()) == (dalDocumento ? dalDocumento->tipo : TipoMessaggio::Nessuno), QString());
    if (dalleBytes)
        controllaMessaggio(*dalleBytes, bytes);
    const LetturaRapida rapida = LeggiMessaggioRapido(bytes);
    if (rapida.esito != LetturaRapida::Rifiutata) {
        FUZZ_CHECK(doc != nullptr, QStringLiteral("taken, yet not well-formed: ") + motivo);
        FUZZ_CHECK((rapida.esito == LetturaRapida::Messaggio) == dalDocumento.has_value(), riassunto(dalDocumento));
        if (rapida.esito == LetturaRapida::Messaggio)
            FUZZ_CHECK(tutto(rapida.messaggio) == tutto(dalDocumento),
                tutto(rapida.messaggio) + QStringLiteral("\n / \n") + tutto(dalDocumento));
        FUZZ_CHECK(rapida.conFormato == conFormato(xmlDocGetRootElement(doc.get())), QString());
    }
    // Only the trace: the same verdict, and its fields as the whole reading gives them.
    const LetturaRapida traccia = LeggiMessaggioRapido(bytes, CampiMessaggio::Traccia);
    FUZZ_CHECK(traccia.esito == rapida.esito && traccia.conFormato == rapida.conFormato, QString());
    const auto campiTraccia = [](const MessaggioSdI &m) {
        return QStringList { m.sigla(), m.identificativoSdI, m.nomeFile, m.dataOraRicezione, m.dataOraConsegna,
            m.esito }
            .join(QLatin1Char('|'));
    };
    if (traccia.esito == LetturaRapida::Messaggio)
        FUZZ_CHECK(campiTraccia(traccia.messaggio) == campiTraccia(rapida.messaggio), campiTraccia(traccia.messaggio));

    const QString nome = QString::fromUtf8(bytes.left(200).split('\n').first());
    if (const auto n = LeggiNomeFileMessaggio(nome))
        FUZZ_CHECK(
            n->tipo.size() == 2 && !n->mittente.isEmpty() && nome.contains(n->fattura(), Qt::CaseInsensitive), nome);
    FUZZ_CHECK(!ChiaveNomeFattura(nome).endsWith(QStringLiteral(".p7m"))
            || nome.endsWith(QStringLiteral(".p7m.p7m"), Qt::CaseInsensitive),
        nome);
    return 0;
}
