// What the parts of the signature module share: certificate fields, the
// algorithm and purpose policy, the trust check against the lists, time-stamps,
// the XML signature check and its profile. Internal to the module.
#pragma once

#include "firma/firma.h"
#include "firma/osslptr.h"

#include <QByteArray>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

// Signed XML bigger than this is not verified: it is parsed whole, with its
// signature's canonical form beside it.
inline constexpr qsizetype kMaxDimensioneXmlFirmato = 200 * 1024 * 1024;

// UTC time of an ASN.1 time; null when it cannot be read.
QDateTime TempoAsn1(const ASN1_TIME *t);
// ISO 8601 time with an offset or "Z" (an XML dateTime); null when it is not one.
QDateTime TempoIso(const QString &testo);
// "31/12/2016" in UTC, as the sentences give days.
QString Giorno(const QDateTime &t);

// The certificate in these DER bytes, decoded once per run: decoding a key
// costs libcrypto more than checking a signature with it, and an archive's
// envelopes carry the same few signers' certificates again and again. The
// decoded certificates are kept (up to a bound) only as a memo: what a call
// returns is what d2i_X509 would. Null when the bytes are not a certificate.
OsslPtr<X509> CertificatoDaDer(QByteArrayView der);

// The fields of the certificate as the signer's (validity at dataFirma too).
void LeggiCertificato(X509 *cert, Firmatario &f);

// Why the certificate may not sign documents (its key usage, or an extended
// key usage that leaves signing out), as a sentence's second half; empty when
// it may.
QString UsoNonFirma(X509 *cert, const QString &chi);

// How much an algorithm can still be trusted: MD5 and keys below 1024 bits are
// broken; SHA-1 and keys below 2048 bits (RSA, DSA) or 224 (EC) are weak.
enum class Robustezza { Sicura, Debole, Rotta };
struct Algoritmo {
    Robustezza robustezza = Robustezza::Sicura;
    QString nome; // "SHA-256, RSA 2048 bit"
    QString debolezza; // what makes it weak or broken: "SHA-1", "chiave RSA di 1024 bit"
};
// The digest (a NID, NID_undef when unknown) with the certificate's key; each
// further digest makes it as weak as the weakest.
Algoritmo ValutaAlgoritmo(const std::vector<int> &digest, X509 *cert);

// Certificates of the chain other than the signer's, as the signature carries them.
using Certificati = OsslPtr<STACK_OF(X509)>;

// The services of the lists the program trusts for each purpose.
enum class TipoServizio { Altro, Certificati, Marche };

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
// lists' services of that type at time t.
Fiducia ValutaFiducia(const ElencoCertificatori &elenco, X509 *cert, STACK_OF(X509) * altri, const QDateTime &t,
    TipoServizio tipo = TipoServizio::Certificati);
// The certificates of the listed services of that type granted at time t.
std::vector<OsslPtr<X509>> CertificatiServizi(const ElencoCertificatori &elenco, TipoServizio tipo, const QDateTime &t);

// A signature time-stamp token (RFC 3161) over marcati: its time when its
// imprint matches and its signature chains to a time-stamping service of the
// lists granted then; otherwise a null time and the reason in nota.
struct EsitoMarca {
    QDateTime quando;
    QString nota;
};
EsitoMarca VerificaMarca(QByteArrayView token, QByteArrayView marcati, const ElencoCertificatori *elenco);

// What a signed XML document must be for its signature to be trusted.
enum class ProfiloFirma {
    Fattura, // an invoice or a message of the exchange system
    Elenco, // a trusted list signed over its root
};

// One XML signature checked with xmlsec: the references and the signature
// value, with the key of the certificate it carries.
struct FirmaXml {
    bool integra = false;
    QString motivo; // why not, as a sentence's second half
    OsslPtr<X509> cert; // the signer's, whenever it could be read
    Certificati altri;
    QDateTime dataFirma; // the signed XAdES SigningTime
    Algoritmo algoritmo; // of the signature method, every reference and the key
    QByteArray marca; // the signature time-stamp token, when there is one
    QByteArray marcati; // what it stamps: the canonical ds:SignatureValue
};

// The ds:Signature elements of the document, outside any other signature.
std::vector<_xmlNode *> NodiFirma(_xmlDoc *doc);
// Registers the Id attributes of the document so references can find them;
// false when two elements share one (xml:id included), which a signature
// cannot be trusted with.
bool RegistraId(_xmlDoc *doc);
FirmaXml VerificaNodoFirma(_xmlDoc *doc, _xmlNode *firma, ProfiloFirma profilo);

// The checks of the whole document before any signature of it is trusted: no
// DTD, the root of the profile's kind, every signature a child of the root,
// nothing the program reads as invoice data in comments. Empty when it passes,
// else the reason.
QString ControllaDocumentoFirmato(_xmlDoc *doc, const std::vector<_xmlNode *> &firme, ProfiloFirma profilo);
// The checks of one signature: it covers the whole document and removes only
// itself, refers to nothing else but its own parts, holds nothing but
// signature data. Empty when it passes, else the reason.
QString ControllaProfilo(_xmlDoc *doc, _xmlNode *firma);

// xmlsec and its crypto back end, set up once for the whole run; false when
// they could not be.
bool XmlsecPronto();
