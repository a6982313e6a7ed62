// What the parts of the signature module share: certificate fields, the trust
// check against the lists, the XML signature check. Internal to the module.
#pragma once

#include "firma/firma.h"
#include "firma/osslptr.h"

#include <QByteArray>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

// UTC time of an ASN.1 time; null when it cannot be read.
QDateTime TempoAsn1(const ASN1_TIME *t);
// ISO 8601 time with an offset or "Z" (an XML dateTime); null when it is not one.
QDateTime TempoIso(const QString &testo);

// The fields of the certificate as the signer's (validity at dataFirma too).
void LeggiCertificato(X509 *cert, Firmatario &f);

// Certificates of the chain other than the signer's, as the signature carries them.
using Certificati = OsslPtr<STACK_OF(X509)>;

struct Fiducia {
    enum Stato {
        Fidato, // chain to a certifier granted at that time
        NonInElenco, // no chain to any listed certifier
        NonAttivo, // the certifier is listed, but was not granted at that time
        NonValido, // a certificate of the chain was out of its validity then
    } stato
        = NonInElenco;
    QString certificatore; // the listed service's name, when one was found
    int elenco = -1; // the index of its list
};

// Checks the chain of cert (with the other certificates given) against the
// lists' CA/QC services at time t.
Fiducia ValutaFiducia(const ElencoCertificatori &elenco, X509 *cert, STACK_OF(X509) * altri, const QDateTime &t);

// One XML signature checked with xmlsec: the references and the signature
// value, with the key of the certificate it carries.
struct FirmaXml {
    bool integra = false;
    QString motivo; // why not, as a sentence's second half
    OsslPtr<X509> cert; // the signer's, whenever it could be read
    Certificati altri;
    QDateTime dataFirma; // the signed XAdES SigningTime
};

// The ds:Signature elements of the document, outside any other signature.
std::vector<_xmlNode *> NodiFirma(_xmlDoc *doc);
// Registers the Id attributes of the document so references can find them;
// false when two elements share one, which a signature cannot be trusted with.
bool RegistraId(_xmlDoc *doc);
FirmaXml VerificaNodoFirma(_xmlDoc *doc, _xmlNode *firma);

// xmlsec and its crypto back end, set up once for the whole run; false when
// they could not be.
bool XmlsecPronto();
