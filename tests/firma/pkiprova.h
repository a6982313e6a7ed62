// A certification world of its own for the tests and benchmarks: listed
// certifiers and an unlisted one, their signers, a time-stamping service,
// signed envelopes and XML (with time-stamps, old algorithms, signatures of
// any shape), and trusted lists naming them. Made with libcrypto and the
// xmlsec1 tool in a scratch folder. And a web server on 127.0.0.1 to download
// lists from.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <memory>

class PkiProva final {
public:
    enum Chi {
        Qualificato, // MARIO ROSSI, TINIT-RSSMRA80A01H501U, QC statements, from the listed certifier
        Scaduto, // LUCIA BIANCHI, expired yesterday, from the listed certifier
        Estraneo, // ANNA VERDI, from a certifier no list names
        Storico, // GIUSEPPE NERI, valid 2015-2016, from the old certifier
        Server, // a TLS server's certificate from the listed certifier (keyEncipherment, serverAuth)
        Rsa2048, // PAOLO RUSSO, RSA 2048, from the listed certifier
        Rsa1024, // the same with RSA 1024
        Rsa512, // the same with RSA 512
        Marcatore, // the listed time-stamping unit (TSA), valid 2010-2040
        MarcatoreEstraneo, // a time-stamping unit no list names
    };
    struct Stato {
        const char *stato; // the last part of the status URI: granted, withdrawn, ...
        QDateTime dal;
    };

    explicit PkiProva(const QString &cartella);
    ~PkiProva();

    enum Opzione {
        Der = 0,
        Ber = 1, // indefinite lengths, as a streaming signer writes them
        SenzaCertificato = 2, // the signer's certificate left out
        SenzaFirmatari = 4,
        SenzaAttributi = 8, // the signature over the content itself
        APezzi = 16, // BER, but with definite lengths: the content in pieces
    };
    // An envelope of the content signed by chi (signing time: now).
    QByteArray busta(const QByteArray &contenuto, Chi chi = Qualificato, int opzioni = 0) const;

    // How a signature is made, beyond the defaults above.
    struct Firma {
        Chi chi = Qualificato;
        const char *digest = "SHA256"; // for XAdES also the signature method's
        QDateTime quando; // the signing time declared; null: now
        bool marca = false; // a signature time-stamp...
        Chi marcatore = Marcatore; // ...by this unit...
        QDateTime marcaAlle; // ...at this time (null: quando)...
        bool marcaAltrui = false; // ...over other bytes than the signature's
    };
    QByteArray busta(const QByteArray &contenuto, const Firma &firma) const;

    // The certificate of chi, DER.
    QByteArray certificato(Chi chi) const;
    // The XML with an enveloped XAdES signature of chi appended to its root.
    QByteArray xmlFirmato(const QByteArray &xml, Chi chi = Qualificato) const;
    // The same with a signature of any shape: trasformazioni replaces the
    // document reference's ds:Transforms content (ds is bound), oggetto is
    // added inside ds:Object beside the qualifying properties, uri is the
    // document reference's URI. Unsigned, the template comes back with made-up
    // values; as the root, the signature is the whole document (xml unused).
    struct FormaXml {
        QByteArray trasformazioni
            = "<ds:Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>";
        QByteArray oggetto;
        QByteArray uri = "";
        bool firmata = true;
        bool radice = false;
    };
    QByteArray xmlFirmato(const QByteArray &xml, const Firma &firma, const FormaXml &forma) const;

    // A trusted list naming the certifier with these statuses (the first is
    // the current one), and servizi - 1 other certifiers; signed when asked.
    // It also names the old certifier (granted 2000, withdrawn 2017) and the
    // time-stamping unit (granted since 2000).
    QByteArray elenco(const QList<Stato> &storia, bool firmato = false, int servizi = 1) const;
    // The certifier's certificate, DER.
    QByteArray certificatore() const;

private:
    struct Dati;
    std::unique_ptr<Dati> d_;
};

// Answers every request on 127.0.0.1 with the same bytes.
struct ServerProva {
    QTcpServer server;
    QByteArray risposta;

    ServerProva();
    QUrl indirizzo() const;
    static QByteArray http(const char *stato, const QByteArray &corpo);
};
