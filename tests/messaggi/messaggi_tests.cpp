// The exchange system's messages, generated here: each kind read, both
// namespaces, prefixes; the code table; file names; the invoice's fate; the
// page, the header fields and the info object.
#include "invoice/rendering.h"
#include "invoice/xmlsicuro.h"
#include "messaggi/messaggi.h"
#include "messaggi/pagina.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>

#include "support/testsupport.h"

namespace {
const char *kVecchio = "http://www.fatturapa.gov.it/sdi/messaggi/v1.0";
const char *kNuovo = "http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fattura/messaggi/v1.0";

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

// A message as the system writes it: the root in the namespace (with the
// prefix, or as the default namespace when the prefix is empty), the body,
// an XML signature.
QByteArray messaggio(
    const char *radice, const QByteArray &corpo, const char *ns = kVecchio, const char *prefisso = "types")
{
    const QByteArray p = *prefisso ? QByteArray(prefisso) + ':' : QByteArray();
    const QByteArray decl = *prefisso ? " xmlns:" + QByteArray(prefisso) : QByteArray(" xmlns");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + p + radice + decl + "=\"" + ns
        + "\" xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" versione=\"1.0\">" + corpo
        + "<ds:Signature><ds:SignedInfo/></ds:Signature></" + p + radice + ">";
}

const QByteArray kTesta = "<IdentificativoSdI>111</IdentificativoSdI><NomeFile>IT01234567890_11111.xml.p7m</NomeFile>";
const QByteArray kRicezione = "<DataOraRicezione>2014-04-01T12:00:00.000+02:00</DataOraRicezione>";
const QByteArray kDestinatario
    = "<Destinatario><Codice>AAAAAA</Codice><Descrizione>Ufficio</Descrizione></Destinatario>";
const QByteArray kId = "<MessageId>123456</MessageId>";
const QByteArray kErrori = "<ListaErrori>"
                           "<Errore><Codice>00200</Codice><Descrizione>File non conforme al formato</Descrizione>"
                           "<Suggerimento>Verificare lo schema</Suggerimento></Errore>"
                           "<Errore><Codice>00305</Codice><Descrizione>1.4.1.1.2 non valido</Descrizione></Errore>"
                           "<Errore><Codice>ABCDE</Codice><Descrizione>Codice strano</Descrizione></Errore>"
                           "</ListaErrori>";
const QByteArray kScarto = messaggio("NotificaScarto", kTesta + kRicezione + kErrori + kId);

// What is read, on one line: kind|identifier|file|time|outcome|errors|warnings.
std::string riassunto(const std::optional<MessaggioSdI> &m)
{
    if (!m)
        return "(nessun messaggio)";
    QStringList errori;
    for (const ErroreSdI &e : m->errori)
        errori << e.codice + u("=") + e.descrizione + (e.suggerimento.isEmpty() ? QString() : u("/") + e.suggerimento);
    return QStringList { m->sigla(), m->identificativoSdI, m->nomeFile, m->dataOra(), m->esito, errori.join(u(",")),
        m->avvisi.join(u(" ")) }
        .join(u("|"))
        .toStdString();
}

EventoSdI ev(TipoMessaggio tipo, const char *dataOra = "", const char *esito = "")
{
    return { tipo, u(dataOra), u(esito) };
}

QString foglio()
{
    const QString shipped = FoglioMessaggiIn(programDir() + u("/"));
    return QFileInfo::exists(shipped) ? shipped : sourceDir() + u("/stylesheets/") + FoglioMessaggi;
}

struct Pagina {
    QString testo; // every text, blanks simplified
    QList<QStringList> errori; // the cells of each row of the errors' table
};

void raccogli(xmlNode *n, Pagina &p, QStringList *riga, QString *cella)
{
    for (; n != nullptr; n = n->next) {
        if (n->type == XML_TEXT_NODE) {
            const QString t = QString::fromUtf8(reinterpret_cast<const char *>(n->content));
            p.testo += t + u(" ");
            if (cella)
                *cella += t + u(" ");
        } else if (n->type == XML_ELEMENT_NODE && !xmlStrEqual(n->name, BAD_CAST "style")) {
            const bool tr = xmlStrEqual(n->name, BAD_CAST "tr") && riga == nullptr && n->parent
                && xmlStrEqual(n->parent->name, BAD_CAST "tbody");
            const bool td = xmlStrEqual(n->name, BAD_CAST "td") && riga != nullptr;
            QStringList nuovaRiga;
            QString nuovaCella;
            raccogli(n->children, p, tr ? &nuovaRiga : riga, td ? &nuovaCella : cella);
            if (tr)
                p.errori << nuovaRiga;
            if (td)
                *riga << nuovaCella.simplified();
        }
    }
}

Pagina rendi(const QByteArray &bytes)
{
    FogliCompilati fogli;
    const QByteArray html = HtmlMessaggio(bytes, u("m.xml"), foglio(), fogli).toUtf8();
    Pagina p;
    htmlDocPtr doc = htmlReadMemory(html.constData(), int(html.size()), nullptr, "UTF-8",
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    raccogli(xmlDocGetRootElement(doc), p, nullptr, nullptr);
    xmlFreeDoc(doc);
    p.testo = p.testo.simplified();
    return p;
}
} // namespace

TEST(Messaggi, OgniTipoLettoConISuoiCampi)
{
    const struct {
        const char *nome;
        QByteArray bytes;
        std::string atteso;
        QString MessaggioSdI::*campo;
        const char *valore;
    } casi[] = {
        { "RC, prefisso, vecchio spazio",
            messaggio("RicevutaConsegna",
                kTesta + kRicezione + "<DataOraConsegna>2014-04-01T12:00:05.000+02:00</DataOraConsegna>" + kDestinatario
                    + kId + "<Note>Nota</Note>"),
            "RC|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:05.000+02:00|||",
            &MessaggioSdI::destinatarioDescrizione, "Ufficio" },
        { "NS, spazio predefinito, nuovo spazio",
            messaggio("RicevutaScarto", kTesta + "<Hash>ab12</Hash>" + kRicezione + kErrori + kId, kNuovo, ""),
            "NS|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:00.000+02:00||00200=File non conforme al "
            "formato/Verificare lo schema,00305=1.4.1.1.2 non valido,ABCDE=Codice strano|",
            &MessaggioSdI::hash, "ab12" },
        { "MC",
            messaggio("NotificaMancataConsegna", kTesta + kRicezione + "<Descrizione>PEC piena</Descrizione>" + kId),
            "MC|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:00.000+02:00|||", &MessaggioSdI::descrizione,
            "PEC piena" },
        { "MC della nuova ricevuta",
            messaggio("RicevutaImpossibilitaRecapito",
                kTesta + "<Hash>h</Hash>" + kRicezione + "<DataMessaADisposizione>2014-04-02</DataMessaADisposizione>"
                    + kId,
                kNuovo, "ns3"),
            "MC|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:00.000+02:00|||",
            &MessaggioSdI::dataMessaADisposizione, "2014-04-02" },
        { "NE con l'esito del committente",
            messaggio("NotificaEsito",
                kTesta
                    + "<EsitoCommittente><IdentificativoSdI>111</IdentificativoSdI><RiferimentoFattura>"
                      "<NumeroFattura>F1</NumeroFattura><AnnoFattura>2014</AnnoFattura><PosizioneFattura>2</"
                      "PosizioneFattura>"
                      "</RiferimentoFattura><Esito>EC02</Esito><Descrizione>Importo errato</Descrizione>"
                      "<MessageIdCommittente>9</MessageIdCommittente></EsitoCommittente>"
                    + kId),
            "NE|111|IT01234567890_11111.xml.p7m||EC02||", &MessaggioSdI::posizioneFattura, "2" },
        { "DT", messaggio("NotificaDecorrenzaTermini", kTesta + "<Descrizione>Termini decorsi</Descrizione>" + kId),
            "DT|111|IT01234567890_11111.xml.p7m||||", &MessaggioSdI::descrizione, "Termini decorsi" },
        { "AT",
            messaggio("AttestazioneTrasmissioneFattura",
                kTesta + kRicezione + kDestinatario + kId + "<HashFileOriginale>ff00</HashFileOriginale>"),
            "AT|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:00.000+02:00|||", &MessaggioSdI::hash, "ff00" },
        { "EC", messaggio("NotificaEsitoCommittente", "<IdentificativoSdI>111</IdentificativoSdI><Esito>EC01</Esito>"),
            "EC|111|||EC01||", &MessaggioSdI::annoFattura, "" },
        { "SE",
            messaggio(
                "ScartoEsitoCommittente", "<IdentificativoSdI>111</IdentificativoSdI><Scarto>EN01</Scarto>" + kId),
            "SE|111|||EN01||", &MessaggioSdI::messageId, "123456" },
        { "MT, MetadatiInvioFile",
            messaggio("MetadatiInvioFile",
                kTesta
                    + "<CodiceDestinatario>AAAAAA</CodiceDestinatario><Formato>FPA12</Formato>"
                      "<TentativiInvio>1</TentativiInvio>"
                    + kId),
            "MT|111|IT01234567890_11111.xml.p7m||||", &MessaggioSdI::formato, "FPA12" },
        { "MT, FileMetadati senza Hash",
            messaggio("FileMetadati",
                kTesta
                    + "<CodiceDestinatario>0000000</CodiceDestinatario><Formato>FPR12</Formato>"
                      "<TentativiInvio>1</TentativiInvio>"
                    + kId,
                kNuovo, "ns2"),
            "MT|111|IT01234567890_11111.xml.p7m||||Il messaggio non indica l'impronta del file (elemento Hash).",
            &MessaggioSdI::codiceDestinatario, "0000000" },
        { "campi obbligatori mancanti o vuoti",
            messaggio(
                "RicevutaConsegna", "<IdentificativoSdI>111</IdentificativoSdI><NomeFile> </NomeFile>" + kRicezione),
            "RC|111||2014-04-01T12:00:00.000+02:00|||Il messaggio non indica il nome del file (elemento NomeFile). Il "
            "messaggio non indica la data e l'ora di consegna (elemento DataOraConsegna). Il messaggio non indica il "
            "codice del destinatario (elemento Destinatario/Codice). Il messaggio non indica l'identificativo del "
            "messaggio (elemento MessageId).",
            &MessaggioSdI::versione, "1.0" },
        { "scarto senza errori e con un errore vuoto",
            messaggio("NotificaScarto", kTesta + kRicezione + "<ListaErrori><Errore/></ListaErrori>" + kId),
            "NS|111|IT01234567890_11111.xml.p7m|2014-04-01T12:00:00.000+02:00||=|L'errore n. 1 non ha un codice. "
            "L'errore n. 1 non ha una descrizione.",
            &MessaggioSdI::note, "" },
        { "radice sconosciuta nello spazio del sistema",
            messaggio("NotificaNuova", "<IdentificativoSdI>7</IdentificativoSdI>", kNuovo),
            "|7|||||Tipo di messaggio non riconosciuto (elemento NotificaNuova): sono mostrati i dati che contiene.",
            &MessaggioSdI::radice, "NotificaNuova" },
        { "esito fuori elenco",
            messaggio("NotificaEsitoCommittente", "<IdentificativoSdI>1</IdentificativoSdI><Esito>EC09</Esito>"),
            "EC|1|||EC09||Esito non previsto: EC09.", &MessaggioSdI::esito, "EC09" },
        { "senza spazio dei nomi",
            "<NotificaDecorrenzaTermini><IdentificativoSdI>5</IdentificativoSdI><NomeFile>a.xml</NomeFile>"
            "<MessageId>1</MessageId></NotificaDecorrenzaTermini>",
            "DT|5|a.xml||||Il messaggio non dichiara lo spazio dei nomi del Sistema di Interscambio.",
            &MessaggioSdI::spazioNomi, "" },
        { "fattura",
            "<p:FatturaElettronica xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\"/>",
            "(nessun messaggio)", nullptr, nullptr },
        { "nome noto in uno spazio estraneo", "<a:NotificaScarto xmlns:a=\"urn:altro\"/>", "(nessun messaggio)",
            nullptr, nullptr },
        { "testo qualsiasi", "ciao", "(nessun messaggio)", nullptr, nullptr },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const std::optional<MessaggioSdI> m = LeggiMessaggio(c.bytes);
        EXPECT_EQ(riassunto(m), c.atteso);
        if (m && c.campo) {
            EXPECT_EQ((*m).*(c.campo), u(c.valore));
        }
        // Read from the document already parsed, the same.
        QString errore;
        const DocumentoXml doc = CaricaXmlSicuro(c.bytes, errore);
        EXPECT_EQ(riassunto(LeggiMessaggio(doc.get())), c.atteso);
        if (m) {
            EXPECT_TRUE(m->firmato || c.atteso.find("spazio dei nomi") != std::string::npos);
        }
    }
}

TEST(Messaggi, XmlMalformatoEDuecentocinquantaErrori)
{
    QString errore;
    EXPECT_FALSE(LeggiMessaggio(QByteArray("<types:NotificaScarto xmlns:types=\"x\"><a></b>"), &errore));
    EXPECT_TRUE(errore.startsWith(u("Opening and ending tag mismatch"))) << errore.toStdString();

    QByteArray molti;
    for (int i = 0; i < 250; ++i)
        molti += "<Errore><Codice>00200</Codice><Descrizione>d</Descrizione></Errore>";
    const auto m = LeggiMessaggio(
        messaggio("NotificaScarto", kTesta + kRicezione + "<ListaErrori>" + molti + "</ListaErrori>" + kId));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->errori.size(), 250u);
    EXPECT_EQ(m->avvisi,
        QStringList { u("Il messaggio elenca 250 errori, più dei 200 che il Sistema di Interscambio prevede.") });
}

TEST(Messaggi, TabellaDeiCodici)
{
    const struct {
        const char *codice;
        const char *descrizione; // empty: unknown
        const char *inizioSpiegazione;
    } casi[] = {
        { "00001", "Nome file non valido", "Il nome del file inviato non segue" },
        { "00200", "File non conforme al formato", "Il file non rispetta lo schema" },
        { "00404", "Fattura duplicata", "Una fattura con lo stesso numero" },
        { "00475",
            "Per il valore indicato nell'elemento 2.1.1.1 <TipoDocumento> deve essere presente l'elemento 1.4.1.1 "
            "<IdFiscaleIVA> del cessionario/committente",
            "Con questo tipo" },
        { "99999", "", "Codice non presente nella tabella del programma" },
        { " 00200", "", "Codice non nella forma del Sistema di Interscambio (cinque cifre)" },
        { "ABCDE", "", "Codice non nella forma del Sistema di Interscambio (cinque cifre)" },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.codice);
        const auto voce = CercaCodiceErrore(u(c.codice));
        EXPECT_EQ(voce ? u(voce->descrizione) : QString(), u(c.descrizione));
        EXPECT_TRUE(SpiegazioneErrore(u(c.codice)).startsWith(u(c.inizioSpiegazione)));
    }
    // The table as data: ordered by code, each a code of the published ranges, every text given.
    const auto &tabella = TabellaCodiciErrore();
    EXPECT_GE(tabella.size(), 60u);
    for (size_t i = 0; i < tabella.size(); ++i) {
        const QString codice = u(tabella[i].codice);
        EXPECT_TRUE(codice.size() == 5 && codice >= u("00001") && codice <= u("00475")) << tabella[i].codice;
        EXPECT_TRUE(i == 0 || u(tabella[i - 1].codice) < codice) << tabella[i].codice;
        EXPECT_TRUE(*tabella[i].descrizione && *tabella[i].spiegazione) << tabella[i].codice;
    }
}

TEST(Messaggi, NomiDeiFile)
{
    const struct {
        const char *nome;
        const char *atteso; // mittente progressivo tipo numero fattura, or empty
    } casi[] = {
        { "IT01234567890_11111_NS_001.xml", "IT01234567890 11111 NS 001 IT01234567890_11111" },
        { "/scarico/C:\\x\\IT01234567890_a1B2c_rc_9.XML", "IT01234567890 a1B2c RC 9 IT01234567890_a1B2c" },
        { "IT01234567890_11111.xml", "" },
        { "IT01234567890_11111_XX_001.xml", "" },
        { "IT01234567890_11111_NS_0001.xml", "" },
        { "IT01234567890_111111_NS_001.xml", "" },
        { "0101234567890_11111_NS_001.xml", "" },
        { "IT01234567890_11111_NS_001.xml.p7m", "" },
        { "IT01234567890_11-11_NS_001.xml", "" },
    };
    for (const auto &c : casi) {
        const auto n = LeggiNomeFileMessaggio(u(c.nome));
        QString parti;
        if (n)
            parti = QStringList { n->mittente, n->progressivo, n->tipo, n->numero, n->fattura() }.join(u' ');
        EXPECT_EQ(parti, u(c.atteso)) << c.nome;
    }
    EXPECT_EQ(ChiaveNomeFattura(u("C:\\x\\IT01234567890_A1.XML.p7m")), u("it01234567890_a1.xml"));
    EXPECT_EQ(ChiaveNomeFattura(u("dir/IT01234567890_A1.xml.P7M")), u("it01234567890_a1.xml"));
    EXPECT_EQ(ChiaveNomeFattura(u("IT01234567890_A1.xml")), u("it01234567890_a1.xml"));
    const auto m = LeggiMessaggio(
        messaggio("NotificaEsitoCommittente", "<IdentificativoSdI>42</IdentificativoSdI><Esito>EC01</Esito>"));
    const RiferimentoMessaggio r = RiferimentoDi(*m);
    EXPECT_EQ(r.chiaveNomeFile + u("|") + r.identificativoSdI, u("|42"));
}

TEST(Messaggi, DestinoDellaFattura)
{
    using T = TipoMessaggio;
    const struct {
        const char *nome;
        std::vector<EventoSdI> eventi;
        const char *stato;
        const char *ordine;
    } casi[] = {
        { "nessuno", {}, "", "" },
        { "solo metadati", { ev(T::MT) }, "", "MT" },
        { "consegna", { ev(T::RC, "2014-04-01T12:00:05+02:00") }, "consegnata", "RC" },
        { "consegna poi accettazione, dati al contrario",
            { ev(T::EC, "", "EC01"), ev(T::RC, "2014-04-01T12:00:00+02:00") }, "accettata", "RC EC" },
        { "rifiuto nella notifica di esito", { ev(T::RC), ev(T::NE, "", "EC02") }, "rifiutata", "RC NE" },
        { "decorrenza dopo la consegna", { ev(T::DT), ev(T::RC) }, "decorrenza_termini", "RC DT" },
        { "mancata consegna poi attestazione", { ev(T::AT), ev(T::MC) }, "non_recapitabile", "MC AT" },
        { "mancata consegna poi consegna, per ora",
            { ev(T::RC, "2014-04-03T09:00:00Z"), ev(T::MC, "2014-04-02T10:00:00+02:00") }, "consegnata", "MC RC" },
        { "ore in fusi diversi", { ev(T::MC, "2014-04-02T10:00:00Z"), ev(T::RC, "2014-04-02T11:00:00+02:00") },
            "mancata_consegna", "RC MC" },
        { "lo scarto è definitivo", { ev(T::NS, "2014-04-01T12:00:00Z"), ev(T::RC, "2014-04-05T12:00:00Z"), ev(T::DT) },
            "scartata", "NS RC DT" },
        { "esito senza codice non decide", { ev(T::MC), ev(T::EC), ev(T::SE, "", "EN00") }, "mancata_consegna",
            "MC EC SE" },
        { "ora illeggibile prima delle altre", { ev(T::RC, "2014-04-02T10:00:00Z"), ev(T::RC, "ieri") }, "consegnata",
            "RC RC" },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(StatoSdI(c.eventi), u(c.stato));
        QStringList ordine;
        for (std::size_t i : OrdineEventi(c.eventi))
            ordine << SiglaMessaggio(c.eventi[i].tipo);
        EXPECT_EQ(ordine.join(u(" ")), u(c.ordine));
    }
    EXPECT_EQ(
        OrdineEventi({ ev(T::RC, "2014-04-02T10:00:00Z"), ev(T::RC, "ieri") }), (std::vector<std::size_t> { 1, 0 }));
}

TEST(Messaggi, PaginaConTipoIdentificativoEdErrori)
{
    const struct {
        const char *nome;
        QByteArray bytes;
        const char *intestazione; // kind and outcome as the card shows them
    } casi[] = {
        { "NS vecchio spazio, prefisso", kScarto, "NS - Notifica di scarto Esito Scartata Identificativo SdI 111" },
        { "NS nuovo spazio, predefinito", messaggio("RicevutaScarto", kTesta + kRicezione + kErrori + kId, kNuovo, ""),
            "NS - Notifica di scarto Esito Scartata Identificativo SdI 111" },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        const Pagina p = rendi(c.bytes);
        EXPECT_TRUE(p.testo.contains(u(c.intestazione))) << p.testo.toStdString();
        EXPECT_TRUE(p.testo.contains(u("Ricezione 01/04/2014 ore 12:00:00.000+02:00")));
        EXPECT_TRUE(p.testo.contains(u("Nome file IT01234567890_11111.xml.p7m")));
        ASSERT_EQ(p.errori.size(), 3);
        for (const QStringList &riga : p.errori) {
            ASSERT_EQ(riga.size(), 3);
            EXPECT_EQ(riga[2], SpiegazioneErrore(riga[0]).simplified()) << riga[0].toStdString();
        }
        EXPECT_EQ(p.errori[0].mid(0, 2),
            (QStringList { u("00200"), u("File non conforme al formato Suggerimento: Verificare lo schema") }));
        EXPECT_EQ(p.errori[2][0], u("ABCDE"));
    }
}

TEST(Messaggi, PaginaEsitoColorato)
{
    const struct {
        QByteArray bytes;
        const char *esito;
    } casi[] = {
        { messaggio("RicevutaConsegna", kTesta + kRicezione + kDestinatario + kId), "esito esito-ok\">Consegnata<" },
        { kScarto, "esito esito-ko\">Scartata<" },
        { messaggio("NotificaMancataConsegna", kTesta + kRicezione + kId), "esito esito-attenzione\">Non consegnata<" },
        { messaggio("NotificaDecorrenzaTermini", kTesta + kId), "esito esito-neutro\">Decorrenza dei termini<" },
    };
    for (const auto &c : casi) {
        FogliCompilati fogli;
        EXPECT_TRUE(HtmlMessaggio(c.bytes, u("m.xml"), foglio(), fogli).contains(u(c.esito))) << c.esito;
    }
    // A message that brings its own annotations cannot dress itself up.
    const Pagina p = rendi(messaggio("NotificaScarto",
        kTesta + "<lv:messaggio xmlns:lv=\"urn:lentiva:messaggi\" esito=\"Consegnata\"/>" + kRicezione + kErrori
            + kId));
    EXPECT_FALSE(p.testo.contains(u("Consegnata")));
    EXPECT_TRUE(p.testo.contains(u("Esito Scartata")));
}

TEST(Messaggi, PaginaDalFileENonMessaggio)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u("IT01234567890_11111_NS_001.xml"));
    writeBytes(file, kScarto);
    FogliCompilati fogli;
    const QByteArray pagina = PaginaMessaggio(file, foglio(), fogli);
    // The same rules as the invoices: transliterated, code page 1252.
    EXPECT_TRUE(pagina.contains(
        "Il file non rispetta lo schema XML della fattura elettronica: un elemento manca, e' fuori posto"));
    const QString fattura = dir.filePath(u("f.xml"));
    writeBytes(fattura, "<FatturaElettronica/>");
    EXPECT_EQ(errorOf([&] { PaginaMessaggio(fattura, foglio(), fogli); }),
        "Documento xml non gestito, visualizzazione non possibile!");
    writeBytes(fattura, "<a>");
    EXPECT_EQ(errorOf([&] { PaginaMessaggio(fattura, foglio(), fogli); }),
        "Errore nel caricamento XML: " + fattura.toStdString());
}

TEST(Messaggi, TestataEInfo)
{
    const auto ns = LeggiMessaggio(kScarto);
    const auto dt = LeggiMessaggio(messaggio("NotificaDecorrenzaTermini", kTesta + kId));
    const auto testata = [](const MessaggioSdI &m) {
        QByteArrayList campi;
        for (const auto &[campo, testo] : TestataMessaggio(m))
            campi << QByteArray::number(int(campo)) + '=' + testo;
        return campi.join('|');
    };
    EXPECT_EQ(testata(*ns), "0=|1=NS Notifica di scarto|2=2014-04-01|3=111");
    EXPECT_EQ(testata(*dt), "0=|1=DT Notifica di decorrenza termini|2=|3=111");

    EXPECT_EQ(OggettoJsonInfo(InfoMessaggio(u("a/b.xml"), *dt)),
        "{\"file\":\"a/b.xml\",\"messaggio\":\"DT\",\"descrizione\":\"Notifica di decorrenza termini\","
        "\"identificativo_sdi\":\"111\",\"nome_file\":\"IT01234567890_11111.xml.p7m\",\"data_ora\":\"\","
        "\"esito\":\"\",\"errori\":[]}");
    const QByteArray json = OggettoJsonInfo(InfoMessaggio(u("b.xml"), *ns));
    EXPECT_TRUE(
        json.contains("\"data_ora\":\"2014-04-01T12:00:00.000+02:00\",\"esito\":\"\",\"errori\":[{\"codice\":"
                      "\"00200\",\"descrizione\":\"File non conforme al formato\",\"spiegazione\":\"Il file non "
                      "rispetta lo schema"))
        << json.toStdString();
    const QByteArray testo = TestoInfo(InfoMessaggio(u("b.xml"), *ns));
    EXPECT_TRUE(testo.startsWith("File: b.xml\nMessaggio: NS\nDescrizione: Notifica di scarto\n"))
        << testo.toStdString();
    EXPECT_TRUE(testo.contains("\nErrori: 3\n  00200 File non conforme al formato - Il file non rispetta"))
        << testo.toStdString();
}

// The quick reading takes the usual shapes and reads them as the document
// does; anything it does not fully understand is left to libxml2.
TEST(Messaggi, TheQuickReadingTakesTheUsualShapesAndReadsThemAsTheDocument)
{
    const QByteArray firma = "<ds:Signature><ds:SignedInfo Id='s'/><ds:SignatureValue>QUJD</ds:SignatureValue>"
                             "</ds:Signature>";
    const struct {
        const char *nome;
        QByteArray bytes;
        LetturaRapida::Esito esito;
    } casi[] = {
        { "signed, prefixed", messaggio("NotificaScarto", kTesta + kRicezione + kErrori + kId),
            LetturaRapida::Messaggio },
        { "default namespace, BOM, CR LF, references",
            "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n<RicevutaConsegna xmlns='" + QByteArray(kNuovo)
                + "' xmlns:ds='http://www.w3.org/2000/09/xmldsig#' versione=' 1.0 "
                  "'>\r\n<IdentificativoSdI>1&#50;</IdentificativoSdI><NomeFile>A&amp;B\r\nC"
                  "</NomeFile><Note>x<i>y</i>&#x20AC;</Note>"
                + firma + "</RicevutaConsegna>",
            LetturaRapida::Messaggio },
        { "an invoice", "<p:FatturaElettronica xmlns:p='urn:x'><a/></p:FatturaElettronica>",
            LetturaRapida::NonMessaggio },
        { "a comment", "<!-- x --><RicevutaConsegna/>", LetturaRapida::Rifiutata },
        { "CDATA", "<RicevutaConsegna><Note><![CDATA[x]]></Note></RicevutaConsegna>", LetturaRapida::Rifiutata },
        { "Latin-1", "<?xml version='1.0' encoding='ISO-8859-1'?><RicevutaConsegna/>", LetturaRapida::Rifiutata },
        { "an unknown entity", "<RicevutaConsegna>&nbsp;</RicevutaConsegna>", LetturaRapida::Rifiutata },
        { "an undeclared prefix", "<t:RicevutaConsegna/>", LetturaRapida::Rifiutata },
        { "mismatched tags", "<RicevutaConsegna><a></b></RicevutaConsegna>", LetturaRapida::Rifiutata },
        { "an end tag going on past the open name", "<RicevutaConsegna><a></ab></a:b></RicevutaConsegna>",
            LetturaRapida::Rifiutata },
        { "bad UTF-8", "<RicevutaConsegna>\xC3</RicevutaConsegna>", LetturaRapida::Rifiutata },
        { "attributes without a blank", "<RicevutaConsegna a='1'b='2'/>", LetturaRapida::Rifiutata },
        { "two roots", "<RicevutaConsegna/><RicevutaConsegna/>", LetturaRapida::Rifiutata },
        // Inside the signature nothing is read, yet everything is checked.
        { "an NE inside a signature with its own declarations",
            messaggio("NotificaEsito",
                kTesta
                    + "<EsitoCommittente><IdentificativoSdI>9</IdentificativoSdI><Esito>EC02</Esito>"
                      "</EsitoCommittente><ds:Signature><x:K xmlns:x='urn:k'><x:V a='1'>QQ==</x:V></x:K>"
                      "<ds:Object/></ds:Signature>"),
            LetturaRapida::Messaggio },
        { "mismatched tags in the signature",
            messaggio("RicevutaConsegna", kTesta + "<ds:Signature><ds:A></ds:B></ds:Signature>"),
            LetturaRapida::Rifiutata },
        { "an undeclared prefix in the signature",
            messaggio("RicevutaConsegna", kTesta + "<ds:Signature><q:A/></ds:Signature>"), LetturaRapida::Rifiutata },
        { "bad UTF-8 in the signature",
            messaggio("RicevutaConsegna", kTesta + "<ds:Signature><ds:A>\xC3</ds:A></ds:Signature>"),
            LetturaRapida::Rifiutata },
        { "an element of the signature closing the message",
            messaggio("RicevutaConsegna", kTesta + "<ds:Signature><ds:A></types:RicevutaConsegna>"),
            LetturaRapida::Rifiutata },
    };
    for (const auto &c : casi) {
        const LetturaRapida r = LeggiMessaggioRapido(c.bytes);
        EXPECT_EQ(r.esito, c.esito) << c.nome;
        if (r.esito != LetturaRapida::Messaggio)
            continue;
        QString motivo;
        const DocumentoXml doc = CaricaXmlSicuro(c.bytes, motivo);
        const std::optional<MessaggioSdI> atteso = LeggiMessaggio(doc.get());
        EXPECT_EQ(riassunto(r.messaggio), riassunto(atteso)) << c.nome;
        EXPECT_EQ(r.messaggio.note, atteso->note) << c.nome;
        EXPECT_EQ(r.messaggio.versione, atteso->versione) << c.nome;
        EXPECT_EQ(r.messaggio.firmato, atteso->firmato) << c.nome;
        // Only the trace: the same fields, nothing else.
        const LetturaRapida t = LeggiMessaggioRapido(c.bytes, CampiMessaggio::Traccia);
        EXPECT_EQ(t.esito, r.esito) << c.nome;
        EXPECT_EQ(QStringList({ t.messaggio.identificativoSdI, t.messaggio.nomeFile, t.messaggio.dataOraRicezione,
                      t.messaggio.dataOraConsegna, t.messaggio.esito }),
            QStringList({ atteso->identificativoSdI, atteso->nomeFile, atteso->dataOraRicezione,
                atteso->dataOraConsegna, atteso->esito }))
            << c.nome;
        EXPECT_TRUE(t.messaggio.radice.isEmpty() && t.messaggio.avvisi.isEmpty()) << c.nome;
    }
}
