// The trusted list's download with Qt Network, checked before it is written.
#include "firma/scaricaelenco.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "firma/elenco.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

namespace {
QString giorno(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("non indicato");
}
} // namespace

QString ScaricaElenco(const QUrl &indirizzo, const QString &cartella, int attesaMs)
{
    QNetworkAccessManager rete;
    QNetworkRequest richiesta(indirizzo);
    richiesta.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    richiesta.setTransferTimeout(attesaMs);
    const std::unique_ptr<QNetworkReply> risposta(rete.get(richiesta));
    QByteArray dati;
    bool troppo = false;
    // Read as it comes, so that an endless answer stops at the limit.
    QObject::connect(risposta.get(), &QNetworkReply::readyRead, [&] {
        dati += risposta->readAll();
        if (dati.size() > kMaxDimensioneElenco && !troppo) {
            troppo = true;
            risposta->abort();
        }
    });
    QEventLoop attesa;
    QObject::connect(risposta.get(), &QNetworkReply::finished, &attesa, &QEventLoop::quit);
    if (!risposta->isFinished())
        attesa.exec();
    // The program may quit meanwhile, which ends every loop.
    if (!risposta->isFinished())
        throw Exception(QStringLiteral("Aggiornamento interrotto"));
    if (troppo)
        throw Exception(QStringLiteral("Aggiornamento non riuscito: l'elenco scaricato supera i 20 MB"));
    dati += risposta->readAll();
    const int stato = risposta->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (stato != 0 && stato != 200)
        throw Exception(QStringLiteral("Aggiornamento non riuscito: il server ha risposto %1").arg(stato));
    if (risposta->error() != QNetworkReply::NoError)
        throw Exception(QStringLiteral("Aggiornamento non riuscito: %1").arg(risposta->errorString()));

    const QString destinazione = QDir(cartella).filePath(NomeElencoScaricato);
    ElencoCertificatori prova;
    try {
        prova.aggiungi(dati, destinazione, QDateTime::currentDateTimeUtc());
    } catch (const Exception &e) {
        throw Exception(
            QStringLiteral("Aggiornamento non riuscito: quanto scaricato non è utilizzabile (%1)").arg(e.message()));
    }
    if (!directoryExists(cartella) && !forceDirectories(cartella))
        throw Exception(QStringLiteral("Aggiornamento non riuscito: impossibile creare la cartella ") + cartella);
    writeFileAtomically(destinazione, dati);
    const InfoElenco &info = prova.elenchi().constFirst();
    const QString firma = info.firma == FirmaElenco::Integra ? QStringLiteral("firma dell'elenco integra")
        : info.firma == FirmaElenco::NonIntegra              ? QStringLiteral("firma dell'elenco NON integra")
                                                             : QStringLiteral("elenco senza firma");
    return QStringLiteral("Elenco dei certificatori aggiornato: %1 servizi di certificazione, emesso il %2, prossimo "
                          "aggiornamento il %3%4; %5.\nSalvato in %6")
        .arg(info.certificatori)
        .arg(giorno(info.emissione), giorno(info.prossimoAggiornamento),
            info.scaduto ? QStringLiteral(" (già scaduto)") : QString(), firma, QDir::toNativeSeparators(destinazione));
}
