// The one form of XML signature an invoice may carry: a signature that is a
// child of the root, over the whole document, removing only itself. Any other
// form could leave part of what the program shows or lists outside what was
// signed, so it is refused before xmlsec runs; and no XPath but the two fixed
// filters below ever reaches it, so no expression can make it work for long.
#include "firma/firma_p.h"
#include "firma/xmlnodi.h"

#include <QRegularExpression>
#include <QSet>
#include <libxml/valid.h>

namespace {
constexpr const char *kDsig = "http://www.w3.org/2000/09/xmldsig#";
constexpr const char *kFiltro2 = "http://www.w3.org/2002/06/xmldsig-filter2";
constexpr const char *kEnveloped = "http://www.w3.org/2000/09/xmldsig#enveloped-signature";
constexpr const char *kXPath = "http://www.w3.org/TR/1999/REC-xpath-19991116";

const QString kNonCopre = QStringLiteral("la firma non copre l'intera fattura");

// At most this many signatures, references and transforms: real ones have one,
// three and two.
constexpr size_t kMaxFirme = 4;
constexpr size_t kMaxRiferimenti = 8;
constexpr size_t kMaxTrasformazioni = 4;

const QSet<QByteArray> &radiciFattura()
{
    static const QSet<QByteArray> radici { "FatturaElettronica", "FatturaElettronicaSemplificata", "RicevutaConsegna",
        "NotificaMancataConsegna", "NotificaScarto", "NotificaEsito", "NotificaDecorrenzaTermini",
        "AttestazioneTrasmissioneFattura", "NotificaEsitoCommittente", "ScartoEsitoCommittente", "MetadatiInvioFile",
        "FileMetadati",
        // The later messages' names for the rejection and the failed delivery.
        "RicevutaScarto", "RicevutaImpossibilitaRecapito" };
    return radici;
}

// The namespaces and names of what a signature holds: XML-DSig, its filters
// and canonical forms, XAdES. Anything else inside a signature is data that
// no reference covers.
const QSet<QByteArray> &spaziFirma()
{
    static const QSet<QByteArray> spazi { kDsig, "http://www.w3.org/2009/xmldsig11#", kFiltro2,
        "http://www.w3.org/2001/10/xml-exc-c14n#", "http://uri.etsi.org/01903/v1.1.1#",
        "http://uri.etsi.org/01903/v1.3.2#", "http://uri.etsi.org/01903/v1.4.1#" };
    return spazi;
}

const QSet<QByteArray> &nomiFirma()
{
    static const QSet<QByteArray> nomi { // XML-DSig 1.0 and 1.1, exclusive canonical form, XPath Filter 2.0
        "Signature", "SignedInfo", "CanonicalizationMethod", "SignatureMethod", "HMACOutputLength", "Reference",
        "Transforms", "Transform", "XPath", "DigestMethod", "DigestValue", "SignatureValue", "KeyInfo", "KeyName",
        "KeyValue", "DSAKeyValue", "P", "Q", "G", "Y", "J", "Seed", "PgenCounter", "RSAKeyValue", "Modulus", "Exponent",
        "RetrievalMethod", "X509Data", "X509IssuerSerial", "X509IssuerName", "X509SerialNumber", "X509SKI",
        "X509SubjectName", "X509Certificate", "X509CRL", "X509Digest", "PGPData", "PGPKeyID", "PGPKeyPacket",
        "SPKIData", "SPKISexp", "MgmtData", "Object", "Manifest", "SignatureProperties", "SignatureProperty",
        "ECKeyValue", "ECParameters", "NamedCurve", "PublicKey", "DEREncodedKeyValue", "KeyInfoReference",
        "InclusiveNamespaces",
        // XAdES 1.1.1 to 1.4.1
        "QualifyingProperties", "QualifyingPropertiesReference", "SignedProperties", "UnsignedProperties",
        "SignedSignatureProperties", "SignedDataObjectProperties", "UnsignedSignatureProperties",
        "UnsignedDataObjectProperties", "UnsignedDataObjectProperty", "SigningTime", "SigningCertificate",
        "SigningCertificateV2", "Cert", "CertDigest", "IssuerSerial", "IssuerSerialV2", "SignaturePolicyIdentifier",
        "SignaturePolicyId", "SignaturePolicyImplied", "SigPolicyId", "Identifier", "Description",
        "DocumentationReferences", "DocumentationReference", "SigPolicyHash", "SigPolicyQualifiers",
        "SigPolicyQualifier", "SPURI", "SPUserNotice", "NoticeRef", "Organization", "NoticeNumbers", "int",
        "ExplicitText", "SignatureProductionPlace", "SignatureProductionPlaceV2", "City", "StreetAddress",
        "StateOrProvince", "PostalCode", "CountryName", "SignerRole", "SignerRoleV2", "ClaimedRoles", "ClaimedRole",
        "CertifiedRoles", "CertifiedRole", "CertifiedRolesV2", "EncapsulatedX509Certificate", "SignedAssertions",
        "SignedAssertion", "DataObjectFormat", "MimeType", "Encoding", "ObjectIdentifier", "CommitmentTypeIndication",
        "CommitmentTypeId", "ObjectReference", "AllSignedDataObjects", "CommitmentTypeQualifiers",
        "CommitmentTypeQualifier", "AllDataObjectsTimeStamp", "IndividualDataObjectsTimeStamp", "Include",
        "ReferenceInfo", "HashDataInfo", "EncapsulatedTimeStamp", "XMLTimeStamp", "CounterSignature",
        "SignatureTimeStamp", "CompleteCertificateRefs", "CompleteCertificateRefsV2", "CertRefs",
        "CompleteRevocationRefs", "CRLRefs", "CRLRef", "DigestAlgAndValue", "CRLIdentifier", "Issuer", "IssueTime",
        "Number", "OCSPRefs", "OCSPRef", "OCSPIdentifier", "ResponderID", "ByName", "ByKey", "ProducedAt", "OtherRefs",
        "OtherRef", "AttributeCertificateRefs", "AttributeCertificateRefsV2", "AttributeRevocationRefs",
        "SigAndRefsTimeStamp", "SigAndRefsTimeStampV2", "RefsOnlyTimeStamp", "RefsOnlyTimeStampV2", "CertificateValues",
        "OtherCertificate", "RevocationValues", "CRLValues", "EncapsulatedCRLValue", "OCSPValues",
        "EncapsulatedOCSPValue", "OtherValues", "OtherValue", "AttrAuthoritiesCertValues", "AttributeRevocationValues",
        "ArchiveTimeStamp", "TimeStampValidationData", "Any"
    };
    return nomi;
}

// What the attachment list reads from the plain text, wherever it stands,
// comments included.
bool conTagLetti(const QByteArray &testo)
{
    for (const char *tag :
        { "<Allegati>", "</Allegati>", "<NomeAttachment>", "</NomeAttachment>", "<Attachment>", "</Attachment>" })
        if (testo.contains(tag))
            return true;
    return false;
}

bool canonica(const QString &algoritmo)
{
    static const QSet<QString> forme { QStringLiteral("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"),
        QStringLiteral("http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments"),
        QStringLiteral("http://www.w3.org/2006/12/xml-c14n11"),
        QStringLiteral("http://www.w3.org/2006/12/xml-c14n11#WithComments"),
        QStringLiteral("http://www.w3.org/2001/10/xml-exc-c14n#"),
        QStringLiteral("http://www.w3.org/2001/10/xml-exc-c14n#WithComments") };
    return forme.contains(algoritmo);
}

std::vector<xmlNode *> elementi(const xmlNode *n)
{
    std::vector<xmlNode *> trovati;
    for (xmlNode *c = n != nullptr ? n->children : nullptr; c != nullptr; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            trovati.push_back(c);
    return trovati;
}

// The expression names the signature through a prefix bound, where it stands,
// to the XML-DSig namespace (and not to one the signer chose).
bool soloLaFirma(xmlDoc *doc, xmlNode *dove, const QString &espressione, const QRegularExpression &forma)
{
    QString compatta = espressione;
    compatta.remove(QRegularExpression(QStringLiteral("\\s")));
    const QRegularExpressionMatch m = forma.match(compatta);
    if (!m.hasMatch())
        return false;
    const xmlNs *ns = xmlSearchNs(doc, dove, BAD_CAST m.captured(1).toUtf8().constData());
    return ns != nullptr && xmlStrEqual(ns->href, BAD_CAST kDsig);
}

// A transform of the document that removes the signature and nothing else:
// enveloped-signature, or one of the two XPath filters real signers write.
bool toglieSoloLaFirma(xmlDoc *doc, xmlNode *trasformazione, const QString &algoritmo)
{
    const std::vector<xmlNode *> parametri = elementi(trasformazione);
    if (algoritmo == QLatin1String(kEnveloped))
        return parametri.empty();
    if (parametri.size() != 1 || !haNome(parametri[0], "XPath"))
        return false;
    xmlNode *xpath = parametri[0];
    if (algoritmo == QLatin1String(kXPath)) {
        static const QRegularExpression forma(
            QStringLiteral("^not\\(ancestor-or-self::([A-Za-z_][A-Za-z0-9_.-]*):Signature\\)$"));
        return inSpazio(xpath, kDsig) && elementi(xpath).empty() && soloLaFirma(doc, xpath, testo(xpath), forma);
    }
    if (algoritmo == QLatin1String(kFiltro2)) {
        static const QRegularExpression forma(QStringLiteral("^/descendant::([A-Za-z_][A-Za-z0-9_.-]*):Signature$"));
        return inSpazio(xpath, kFiltro2) && attributo(xpath, "Filter") == QLatin1String("subtract")
            && elementi(xpath).empty() && soloLaFirma(doc, xpath, testo(xpath), forma);
    }
    return false;
}

bool dentro(const xmlNode *n, const xmlNode *antenato)
{
    for (; n != nullptr; n = n->parent)
        if (n == antenato)
            return true;
    return false;
}

// The element a "#id" reference names, through the ids the document registered.
const xmlNode *bersaglio(xmlDoc *doc, const QString &uri)
{
    const xmlAttr *id = xmlGetID(doc, BAD_CAST uri.mid(1).toUtf8().constData());
    return id != nullptr ? id->parent : nullptr;
}
} // namespace

QString ControllaDocumentoFirmato(xmlDoc *doc, const std::vector<xmlNode *> &firme, ProfiloFirma profilo)
{
    // A DTD could give attributes defaults or ids that are not in the bytes.
    if (doc->intSubset != nullptr || doc->extSubset != nullptr)
        return QStringLiteral("il documento firmato contiene una dichiarazione DTD, che ne può cambiare la lettura "
                              "senza toccare la firma");
    const xmlNode *radice = xmlDocGetRootElement(doc);
    const QByteArray nome(reinterpret_cast<const char *>(radice->name));
    if (profilo == ProfiloFirma::Fattura ? !radiciFattura().contains(nome) : nome != "TrustServiceStatusList")
        return profilo == ProfiloFirma::Fattura
            ? QStringLiteral("il documento firmato non è una fattura né un messaggio dello SdI")
            : QStringLiteral("il documento firmato non è un elenco dei certificatori");
    if (firme.size() > kMaxFirme)
        return QStringLiteral("il documento contiene troppe firme");
    for (const xmlNode *firma : firme)
        if (firma->parent != radice)
            return kNonCopre + QStringLiteral(" (la firma non è un elemento di primo livello del documento)");
    // A reference never covers comments; the attachment list reads them.
    auto *tutto = reinterpret_cast<xmlNode *>(doc); // comments may stand before and after the root too
    for (xmlNode *n = doc->children; n != nullptr; n = prossimoNodo(n, tutto)) {
        if (n->type == XML_COMMENT_NODE && n->content != nullptr
            && conTagLetti(QByteArray(reinterpret_cast<const char *>(n->content))))
            return QStringLiteral("la fattura contiene dati fuori dalla parte firmata (in un commento)");
    }
    return QString();
}

QString ControllaProfilo(xmlDoc *doc, xmlNode *firma)
{
    const xmlNode *radice = xmlDocGetRootElement(doc);
    const xmlNode *firmati = figlio(firma, "SignedInfo");
    if (firmati == nullptr)
        return QStringLiteral("la firma non contiene i dati firmati (SignedInfo)");
    const std::vector<xmlNode *> riferimenti = figli(firmati, "Reference");
    if (riferimenti.empty() || riferimenti.size() > kMaxRiferimenti)
        return kNonCopre;
    const QString idRadice = attributo(radice, "Id");
    int documento = 0;
    for (xmlNode *riferimento : riferimenti) {
        if (attributoNodo(riferimento, "URI") == nullptr)
            return kNonCopre;
        const QString uri = attributo(riferimento, "URI");
        if (!uri.isEmpty() && !uri.startsWith(QLatin1Char('#')))
            return QStringLiteral("la firma rimanda a un indirizzo esterno (%1), che non viene scaricato").arg(uri);
        const xmlNode *trasformazioni = figlio(riferimento, "Transforms");
        const std::vector<xmlNode *> passi = elementi(trasformazioni);
        if (passi.size() > kMaxTrasformazioni)
            return kNonCopre;
        const bool tutto = uri.isEmpty()
            || (!idRadice.isEmpty() && uri == QLatin1Char('#') + idRadice && bersaglio(doc, uri) == radice);
        if (!tutto) {
            // Only the signature's own parts: its signed properties, its key.
            const xmlNode *parte = bersaglio(doc, uri);
            const bool propria = parte != nullptr && dentro(parte, firma)
                && (haNome(parte, "SignedProperties") || dentro(parte, figlio(firma, "KeyInfo")));
            if (!propria)
                return kNonCopre;
        }
        for (xmlNode *passo : passi) {
            const QString algoritmo = attributo(passo, "Algorithm");
            if (!haNome(passo, "Transform") || !inSpazio(passo, kDsig))
                return kNonCopre;
            if (canonica(algoritmo) || (tutto && toglieSoloLaFirma(doc, passo, algoritmo)))
                continue;
            return kNonCopre + QStringLiteral(" (trasformazione non ammessa: %1)").arg(algoritmo);
        }
        documento += tutto ? 1 : 0;
    }
    if (documento == 0)
        return kNonCopre;

    // Nothing but signature data inside the signature: no reference covers it,
    // yet readers looking for invoice elements by name would find it.
    for (xmlNode *n = firma; n != nullptr; n = prossimoNodo(n, firma)) {
        if (n->type == XML_ELEMENT_NODE) {
            if (n->ns == nullptr || !spaziFirma().contains(QByteArray(reinterpret_cast<const char *>(n->ns->href)))
                || !nomiFirma().contains(QByteArray(reinterpret_cast<const char *>(n->name))))
                return QStringLiteral("la fattura contiene dati fuori dalla parte firmata (l'elemento %1 dentro la "
                                      "firma)")
                    .arg(QString::fromUtf8(reinterpret_cast<const char *>(n->name)));
        } else if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) && n->content != nullptr
            && conTagLetti(QByteArray(reinterpret_cast<const char *>(n->content)))) {
            return QStringLiteral("la fattura contiene dati fuori dalla parte firmata (dentro la firma)");
        }
    }
    return QString();
}
