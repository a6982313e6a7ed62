// "Aggiorna elenco certificatori": the Italian trusted list downloaded over
// HTTPS and written into CERTIFICATORI/ all or nothing. The only part of the
// signature module that uses the network; it runs on the caller's event loop
// and never waits in one of its own.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Where the national supervisory body (AgID) publishes the Italian list.
inline const QUrl IndirizzoElencoItaliano { QStringLiteral("https://eidas.agid.gov.it/TL/TSL-IT.xml") };
inline const QString NomeElencoScaricato = QStringLiteral("TSL-IT.xml");

// One download: started by avvia, it reports its progress and ends with
// finito exactly once. Once what arrived reads as a trusted list it is written
// into cartella (made when missing) as NomeElencoScaricato, replacing the
// earlier one only when complete; on any failure nothing is written. A
// transfer silent for attesaMs is given up; annulla gives it up at once.
class ScaricamentoElenco final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScaricamentoElenco)
public:
    ScaricamentoElenco(const QUrl &indirizzo, const QString &cartella, QObject *parent = nullptr, int attesaMs = 60000);
    ~ScaricamentoElenco() override;

    // adesso: to say whether the list is already past its next update.
    void avvia(const QDateTime &adesso);
    void annulla();

signals:
    void avanzamento(qint64 ricevuti, qint64 totale);
    // ok: the sentence that says what was written; otherwise the reason.
    void finito(bool ok, const QString &testo);

private:
    void arrivati();
    void concluso();
    void termina(bool ok, const QString &testo);

    QUrl indirizzo_;
    QString cartella_;
    int attesaMs_;
    QDateTime adesso_;
    QNetworkAccessManager *rete_;
    QPointer<QNetworkReply> risposta_;
    QByteArray dati_;
    bool troppo_ = false;
    bool annullato_ = false;
    bool finito_ = false;
};
