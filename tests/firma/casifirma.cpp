#include "casifirma.h"

#include <QDateTime>
#include <QProcess>
#include <stdexcept>

namespace {
const QDateTime kDuemilaquindici(QDate(2015, 6, 1), QTime(10, 0), Qt::UTC);
const QString kValida = QStringLiteral("Firma valida: documento integro, certificato valido ed emesso da un "
                                       "certificatore attivo nell'elenco oggi (la revoca non è verificata).");
const QString kValidaMarca
    = QStringLiteral("Firma valida: documento integro, certificato valido ed emesso da un certificatore attivo "
                     "nell'elenco il 01/06/2015, data della marca temporale (la revoca non è verificata).");
const QString kNonCopre = QStringLiteral("Firma non valida: la firma non copre l'intera fattura");
const QString kStorico = QStringLiteral("Firma integra ma non verificata: certificato di GIUSEPPE NERI scaduto il "
                                        "31/12/2016; valido alla data dichiarata dal firmatario, che nessuna marca "
                                        "temporale conferma.");
const QByteArray kXPath = "http://www.w3.org/TR/1999/REC-xpath-19991116";

QByteArray trasformazione(const QByteArray &algoritmo, const QByteArray &dentro = QByteArray())
{
    return "<ds:Transform Algorithm=\"" + algoritmo + "\">" + dentro + "</ds:Transform>";
}

QByteArray cambiato(QByteArray b, const QByteArray &da, const QByteArray &a)
{
    if (!b.contains(da))
        throw std::runtime_error("caso: " + da.toStdString());
    return b.replace(b.indexOf(da), da.size(), a);
}

// The same document in EBCDIC, as libxml2 reads it when its declaration says so.
QByteArray ebcdic(const QByteArray &xml)
{
    QProcess iconv;
    iconv.start(QStringLiteral("iconv"),
        { QStringLiteral("-f"), QStringLiteral("UTF-8"), QStringLiteral("-t"), QStringLiteral("IBM037") });
    iconv.write(QByteArray(xml).replace("encoding=\"UTF-8\"", "encoding=\"IBM037\""));
    iconv.closeWriteChannel();
    if (!iconv.waitForFinished(30000) || iconv.exitCode() != 0)
        throw std::runtime_error("iconv");
    return iconv.readAllStandardOutput();
}
} // namespace

QByteArray FatturaFirmabile()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<p:FatturaElettronica xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\" "
           "versione=\"FPR12\"><FatturaElettronicaHeader><DatiTrasmissione><IdTrasmittente><IdPaese>IT</IdPaese>"
           "<IdCodice>01234567890</IdCodice></IdTrasmittente><ProgressivoInvio>00001</ProgressivoInvio>"
           "<FormatoTrasmissione>FPR12</FormatoTrasmissione><CodiceDestinatario>0000000</CodiceDestinatario>"
           "</DatiTrasmissione><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese>"
           "<IdCodice>01234567890</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>Rossi S.r.l.</Denominazione>"
           "</Anagrafica><RegimeFiscale>RF01</RegimeFiscale></DatiAnagrafici></CedentePrestatore>"
           "<CessionarioCommittente><DatiAnagrafici><CodiceFiscale>BNCLCU75B42F205X</CodiceFiscale><Anagrafica>"
           "<Denominazione>Bianchi</Denominazione></Anagrafica></DatiAnagrafici></CessionarioCommittente>"
           "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento>"
           "<TipoDocumento>TD01</TipoDocumento><Divisa>EUR</Divisa><Data>2019-01-31</Data><Numero>5</Numero>"
           "<ImportoTotaleDocumento>122.00</ImportoTotaleDocumento></DatiGeneraliDocumento></DatiGenerali>"
           "<DatiBeniServizi><DettaglioLinee><NumeroLinea>1</NumeroLinea><Descrizione>Consulenza</Descrizione>"
           "<PrezzoUnitario>100.00</PrezzoUnitario><PrezzoTotale>100.00</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA>"
           "</DettaglioLinee><DatiRiepilogo><AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>100.00"
           "</ImponibileImporto><Imposta>22.00</Imposta></DatiRiepilogo></DatiBeniServizi>"
           "<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
           "<ModalitaPagamento>MP05</ModalitaPagamento><ImportoPagamento>122.00</ImportoPagamento>"
           "<IBAN>IT60X0542811101000000123456</IBAN></DettaglioPagamento></DatiPagamento>"
           "</FatturaElettronicaBody></p:FatturaElettronica>\n";
}

std::vector<CasoFirma> CasiFirma(const PkiProva &pki)
{
    using F = PkiProva::Firma;
    using X = PkiProva::FormaXml;
    const QByteArray fattura = FatturaFirmabile();
    const QByteArray xades = pki.xmlFirmato(fattura);
    const QByteArray busta = pki.busta(fattura);
    const QByteArray enveloped = X().trasformazioni;
    X filtro2, xpath, fuoriXPath, altroPrefisso, nelloggetto, radice, appeso, soloParte, idDoppio, dtd;
    filtro2.trasformazioni = trasformazione("http://www.w3.org/2002/06/xmldsig-filter2",
        "<XPath xmlns=\"http://www.w3.org/2002/06/xmldsig-filter2\" Filter=\"subtract\">/descendant::ds:Signature"
        "</XPath>");
    xpath.trasformazioni = trasformazione(kXPath, "<ds:XPath>not(ancestor-or-self::ds:Signature)</ds:XPath>");
    fuoriXPath.trasformazioni = enveloped
        + trasformazione(
            kXPath, "<ds:XPath>not(ancestor-or-self::*[local-name()='FatturaElettronicaBody'])</ds:XPath>");
    altroPrefisso.trasformazioni = enveloped
        + trasformazione(kXPath, "<ds:XPath xmlns:x=\"urn:altro\">not(ancestor-or-self::x:Signature)</ds:XPath>");
    nelloggetto.oggetto = "<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>TD01"
                          "</TipoDocumento><Numero>6</Numero><ImportoTotaleDocumento>50000.00</ImportoTotaleDocumento>"
                          "</DatiGeneraliDocumento></DatiGenerali></FatturaElettronicaBody>";
    radice.radice = true;
    radice.oggetto = fattura.mid(fattura.indexOf("<p:"));
    appeso.firmata = false;
    appeso.trasformazioni = enveloped
        + trasformazione(
            kXPath, "<ds:XPath>count(//node()[count(//node()[count(//node())&gt;0])&gt;0])&gt;=0</ds:XPath>");
    soloParte.uri = "#proprieta";
    soloParte.trasformazioni.clear();
    idDoppio.uri = "#documento";
    idDoppio.firmata = false;
    idDoppio.oggetto = "<ds:Manifest xml:id=\"documento\"/>";
    dtd.uri = "#documento";
    dtd.firmata = false;
    dtd.oggetto = "<ds:Manifest Id=\"documento\"/>";

    const auto con = [](PkiProva::Chi chi, const char *digest) {
        F f;
        f.chi = chi;
        f.digest = digest;
        return f;
    };
    F storico = con(PkiProva::Storico, "SHA256");
    storico.quando = kDuemilaquindici;
    F marcato = storico;
    marcato.marca = true;
    F marcaEstranea = marcato;
    marcaEstranea.marcatore = PkiProva::MarcatoreEstraneo;
    F marcaAltrui = marcato;
    marcaAltrui.marcaAltrui = true;
    const QByteArray commento = "<!-- <Allegati><NomeAttachment>paga.pdf</NomeAttachment><Attachment>SGVsbG8="
                                "</Attachment></Allegati> -->";

    return {
        { "envelope", QStringLiteral("busta.xml.p7m"), busta, "valida", kValida },
        { "XAdES", QStringLiteral("xades.xml"), xades, "valida", kValida },
        { "XAdES, XPath Filter 2.0 subtracting the signature", QStringLiteral("filtro2.xml"),
            pki.xmlFirmato(fattura, F(), filtro2), "valida", kValida },
        { "XAdES, XPath leaving out only the signature", QStringLiteral("xpath.xml"),
            pki.xmlFirmato(fattura, F(), xpath), "valida", kValida },
        { "XAdES, XPath leaving out the body, body edited", QStringLiteral("fuori.xml"),
            cambiato(pki.xmlFirmato(fattura, F(), fuoriXPath), "<Numero>5<", "<Numero>6<"), "non_valida",
            kNonCopre + QStringLiteral(" (trasformazione non ammessa: %1).").arg(QString::fromLatin1(kXPath)) },
        { "XAdES, XPath through a prefix bound elsewhere", QStringLiteral("prefisso.xml"),
            pki.xmlFirmato(fattura, F(), altroPrefisso), "non_valida",
            kNonCopre + QStringLiteral(" (trasformazione non ammessa: %1).").arg(QString::fromLatin1(kXPath)) },
        { "XAdES, an expression that would never end", QStringLiteral("appeso.xml"),
            pki.xmlFirmato(fattura, F(), appeso), "non_valida",
            kNonCopre + QStringLiteral(" (trasformazione non ammessa: %1).").arg(QString::fromLatin1(kXPath)) },
        { "XAdES, a body inside the signature", QStringLiteral("oggetto.xml"),
            pki.xmlFirmato(fattura, F(), nelloggetto), "non_valida",
            QStringLiteral("Firma non valida: la fattura contiene dati fuori dalla parte firmata (l'elemento "
                           "FatturaElettronicaBody dentro la firma).") },
        { "XAdES, the signature as the root", QStringLiteral("radice.xml"), pki.xmlFirmato(fattura, F(), radice),
            "non_valida",
            QStringLiteral("Firma non valida: il documento firmato non è una fattura né un messaggio dello SdI.") },
        { "XAdES, an attachment in a comment", QStringLiteral("commento.xml"),
            cambiato(xades, "</FatturaElettronicaBody>", commento + "</FatturaElettronicaBody>"), "non_valida",
            QStringLiteral("Firma non valida: la fattura contiene dati fuori dalla parte firmata (in un commento).") },
        { "XAdES over its properties only", QStringLiteral("parte.xml"), pki.xmlFirmato(fattura, F(), soloParte),
            "non_valida", kNonCopre + QLatin1Char('.') },
        { "XAdES, the root's id repeated as xml:id", QStringLiteral("iddoppio.xml"),
            pki.xmlFirmato(cambiato(fattura, "versione=", "Id=\"documento\" versione="), F(), idDoppio), "non_valida",
            QStringLiteral("Firma non valida: il documento ripete lo stesso identificativo (Id) su più elementi.") },
        { "XAdES, an id given by a DTD", QStringLiteral("dtd.xml"),
            pki.xmlFirmato(cambiato(fattura, "\n<p:",
                               "\n<!DOCTYPE p:FatturaElettronica [<!ATTLIST p:FatturaElettronica Id CDATA "
                               "\"documento\">]>\n<p:"),
                F(), dtd),
            "non_valida",
            QStringLiteral("Firma non valida: il documento firmato contiene una dichiarazione DTD, che ne può cambiare "
                           "la lettura senza toccare la firma.") },
        { "XAdES in EBCDIC, altered", QStringLiteral("ebcdic.xml"), ebcdic(cambiato(xades, "<Numero>5<", "<Numero>6<")),
            "non_valida", QStringLiteral("Firma non valida: il contenuto è stato modificato dopo la firma.") },
        { "expired certificate, signing time declared within it", QStringLiteral("storico.xml.p7m"),
            pki.busta(fattura, storico), "non_verificata", kStorico },
        { "the same with a listed time-stamp", QStringLiteral("marcato.xml.p7m"), pki.busta(fattura, marcato), "valida",
            kValidaMarca },
        { "the same with an unlisted time-stamp", QStringLiteral("marcaestranea.xml.p7m"),
            pki.busta(fattura, marcaEstranea), "non_verificata", kStorico },
        { "the same with a time-stamp of other bytes", QStringLiteral("marcaaltrui.xml.p7m"),
            pki.busta(fattura, marcaAltrui), "non_verificata", kStorico },
        { "XAdES, expired certificate with a listed time-stamp", QStringLiteral("marcato-xades.xml"),
            pki.xmlFirmato(fattura, marcato, X()), "valida", kValidaMarca },
        { "a TLS server's certificate", QStringLiteral("server.xml.p7m"), pki.busta(fattura, PkiProva::Server),
            "non_verificata",
            QStringLiteral("Firma integra ma non verificata: il certificato di www.prova.example non è destinato alla "
                           "firma (il suo uso della chiave non la comprende).") },
        { "MD5", QStringLiteral("md5.xml.p7m"), pki.busta(fattura, con(PkiProva::Rsa2048, "MD5")), "non_valida",
            QStringLiteral("Firma non valida: la firma usa un algoritmo non sicuro (MD5).") },
        { "SHA-1", QStringLiteral("sha1.xml.p7m"), pki.busta(fattura, con(PkiProva::Rsa2048, "SHA1")), "non_verificata",
            QStringLiteral("Firma integra ma non verificata: algoritmo non più sicuro (SHA-1).") },
        { "XAdES, rsa-sha1", QStringLiteral("sha1-xades.xml"),
            pki.xmlFirmato(fattura, con(PkiProva::Rsa2048, "SHA1"), X()), "non_verificata",
            QStringLiteral("Firma integra ma non verificata: algoritmo non più sicuro (SHA-1).") },
        { "RSA 1024", QStringLiteral("rsa1024.xml.p7m"), pki.busta(fattura, PkiProva::Rsa1024), "non_verificata",
            QStringLiteral("Firma integra ma non verificata: algoritmo non più sicuro (chiave RSA di 1024 bit).") },
        { "RSA 512", QStringLiteral("rsa512.xml.p7m"), pki.busta(fattura, PkiProva::Rsa512), "non_valida",
            QStringLiteral("Firma non valida: la firma usa un algoritmo non sicuro (chiave RSA di 512 bit).") },
        { "not signed", QStringLiteral("nonfirmata.xml"), fattura, "assente",
            QStringLiteral("Nessuna firma: il documento non è firmato.") },
    };
}
