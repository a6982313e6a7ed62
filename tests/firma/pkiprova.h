// A certification world of its own for the tests and benchmarks: a listed
// certifier, an unlisted one, their signers, signed envelopes and XML, and
// trusted lists naming the certifier. Made with libcrypto and the xmlsec1 tool
// in a scratch folder. And a web server on 127.0.0.1 to download lists from.
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
    // The certificate of chi, DER.
    QByteArray certificato(Chi chi) const;
    // The XML with an enveloped XAdES signature of chi appended to its root.
    QByteArray xmlFirmato(const QByteArray &xml, Chi chi = Qualificato) const;
    // A trusted list naming the certifier with these statuses (the first is
    // the current one), and servizi - 1 other certifiers; signed when asked.
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
