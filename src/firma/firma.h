// Who signed a document, and is it intact: the signatures of a signed
// envelope (CAdES) or of an XML invoice (XAdES), each signer's certificate,
// and its certifier checked against the trusted lists. Revocation (CRL, OCSP)
// is not checked. Nothing is written and nothing is fetched.
//
// Time: a certificate and its certifier are judged at the time a verified
// time-stamp proves, else at the time the caller gives as now; the signing
// time the signer declares is never taken as proof.
#pragma once

#include "firma/elenco.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// From the best to the worst; with several signers the worst one decides.
enum class EsitoFirma {
    Valida, // intact, chain to a listed certifier, both valid at the time judged
    Assente, // no signature at all
    NonVerificata, // intact, but no list, certifier not on it, certificate out of its validity or purpose, weak
                   // algorithm
    NonValida, // content or signature altered, a broken algorithm, or a structure that cannot be trusted
};

// "valida", "non_verificata", "non_valida", "assente".
QString ParolaEsito(EsitoFirma esito);

struct Firmatario {
    QString nome; // the certificate subject's common name, as written
    QString codiceFiscale; // fiscal code or VAT number, without TINIT-, IT: or VATIT-
    QString organizzazione;
    QString emittente; // the issuer's common name
    QString soggetto; // the whole subject and issuer, one line each
    QString emittenteCompleto;
    QString numeroSerie; // hexadecimal
    QDateTime validoDal; // UTC
    QDateTime validoAl;
    QDateTime dataFirma; // declared by the signer, UTC; null when the signature does not say
    QDateTime marcaTemporale; // the time a verified, listed time-stamp proves; null without one
    QString notaMarca; // why a time-stamp the signature carries was not used
    QDateTime dataVerifica; // when certificate and certifier were judged: the time-stamp's, else now
    bool validoAllaFirma = false; // the certificate was within its validity at the declared time
    QString algoritmo; // digest and key, "SHA-256, RSA 2048 bit"
    bool qualificato = false; // it declares itself qualified (QC statements)
    QString impronta; // SHA-256 of the certificate, lower-case hexadecimal
    int livello = 0; // the envelope holding this signature, 1 outermost; 0 for XAdES
    bool integra = false;
    EsitoFirma esito = EsitoFirma::NonValida;
    QString motivo; // the sentence for this signer
    QString certificatore; // the listed service that vouched for the certificate
};

struct EsitoVerifica {
    EsitoFirma esito = EsitoFirma::Assente;
    QString tipo; // "CAdES", "XAdES" or empty
    bool integra = false;
    QList<Firmatario> firmatari;
    std::optional<InfoElenco> elenco; // the list used: the one that vouched, else the first read
    QString motivo; // the sentence the user reads
};

enum class FormaFile {
    Rileva, // an envelope when the bytes are one, XML otherwise
    Busta, // a signed envelope (.p7m): DER or Base64 text, nested ones unwrapped
    Xml, // an XML document with enveloped ds:Signature elements
};

// The form a file's name suggests: .p7m an envelope, .xml XML, else Rileva.
FormaFile FormaPerNome(const QString &nome);

// True when XML bytes certainly hold no XML signature, so a caller that
// parsed them already can skip the check: their encoding writes the name
// "Signature" in ASCII (no declaration, or a declared ASCII-compatible one)
// and they never do. An EBCDIC, UTF-16 or UTF-7 file always takes the check.
bool SenzaFirmaXml(QByteArrayView bytes);

// Verifies the signatures in the bytes; never throws: a structure that cannot
// be read is a non_valida outcome with its sentence. elenco may be null (no
// list); adesso is the time certificates are judged at when no time-stamp
// proves an earlier one. Thread-safe: calls on different threads may share one
// list. documento, when given, receives the document an envelope wraps (left
// empty when the envelope cannot be read), so a caller that reads it too
// parses the envelope once.
//
// A signed XML document must follow the invoice profile: one signature, a
// child of the root (an invoice or a message of the exchange system), over
// the whole document and removing only itself; nothing the program reads as
// invoice data may stand outside what it covers. Anything else is non_valida.
EsitoVerifica VerificaFirma(QByteArrayView bytes, FormaFile forma, const ElencoCertificatori *elenco,
    const QDateTime &adesso, QByteArray *documento = nullptr);

// The outcome of a file that cannot even be read, for the callers that read it.
EsitoVerifica EsitoIlleggibile(const QString &causa);

// The outcome in plain words: "Firma valida", "Non verificata", "Non valida",
// "Nessuna firma".
QString TitoloEsito(EsitoFirma esito);

// Every signer and certificate field, the list used and what is not checked,
// as lines of Italian text (the window's details, the command line's block):
// holder first, technical fields after, dates in local time, empty fields left out.
QString TestoDettagli(const EsitoVerifica &esito);

// ISO 8601 in UTC ("2024-05-06T10:20:30Z"), empty for a null time.
QString DataIso(const QDateTime &t);
