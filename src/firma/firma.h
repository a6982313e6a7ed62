// Who signed a document, and is it intact: the signatures of a signed
// envelope (CAdES) or of an XML invoice (XAdES), each signer's certificate,
// and its certifier checked against the trusted lists. Revocation (CRL, OCSP)
// is not checked. Nothing is written and nothing is fetched.
#pragma once

#include "firma/elenco.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// From the best to the worst; with several signers the worst one decides.
enum class EsitoFirma {
    Valida, // intact, chain to a listed certifier valid at the signing time
    Assente, // no signature at all
    NonVerificata, // intact, but no list, certifier not on it, or certificate out of its validity
    NonValida, // content or signature altered, or a structure that cannot be verified
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
    QDateTime dataFirma; // UTC; null when the signature does not say
    bool validoAllaFirma = false; // the certificate was within its validity then
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

// Verifies the signatures in the bytes; never throws: a structure that cannot
// be read is a non_valida outcome with its sentence. elenco may be null (no
// list). Thread-safe: calls on different threads may share one list.
// documento, when given, receives the document an envelope wraps (left
// empty when the envelope cannot be read), so a caller that reads it too
// parses the envelope once.
EsitoVerifica VerificaFirma(
    QByteArrayView bytes, FormaFile forma, const ElencoCertificatori *elenco, QByteArray *documento = nullptr);

// Every signer and certificate field, the list used and what is not checked,
// as lines of Italian text (the window's details, the command line's block).
QString TestoDettagli(const EsitoVerifica &esito);

// ISO 8601 in UTC ("2024-05-06T10:20:30Z"), empty for a null time.
QString DataIso(const QDateTime &t);
