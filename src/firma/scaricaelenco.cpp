// The trusted list's download with Qt Network, checked before it is written.
#include "firma/scaricaelenco.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "firma/elenco.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
QString giorno(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("non indicato");
}

const QString kNonRiuscito = QStringLiteral("Aggiornamento non riuscito: ");
} // namespace

ScaricamentoElenco::ScaricamentoElenco(const QUrl &indirizzo, const QString &cartella, QObject *parent, int attesaMs)
    : QObject(parent)
    , indirizzo_(indirizzo)
    , cartella_(cartella)
    , attesaMs_(attesaMs)
    , rete_(new QNetworkAccessManager(this))
{
}

ScaricamentoElenco::~ScaricamentoElenco()
{
    if (risposta_)
        risposta_->abort();
}

void ScaricamentoElenco::avvia(const QDateTime &adesso)
{
    adesso_ = adesso;
    QNetworkRequest richiesta(indirizzo_);
    richiesta.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    richiesta.setTransferTimeout(attesaMs_);
    risposta_ = rete_->get(richiesta);
    risposta_->setParent(this);
    connect(risposta_, &QNetworkReply::readyRead, this, &ScaricamentoElenco::arrivati);
    connect(risposta_, &QNetworkReply::downloadProgress, this, &ScaricamentoElenco::avanzamento);
    connect(risposta_, &QNetworkReply::finished, this, &ScaricamentoElenco::concluso);
}

void ScaricamentoElenco::annulla()
{
    annullato_ = true;
    if (risposta_ && !risposta_->isFinished())
        risposta_->abort();
    // A reply aborted before it started may never say it finished.
    QMetaObject::invokeMethod(this, &ScaricamentoElenco::concluso, Qt::QueuedConnection);
}

// Read as it comes, so that an endless answer stops at the limit.
void ScaricamentoElenco::arrivati()
{
    dati_ += risposta_->readAll();
    if (dati_.size() > kMaxDimensioneElenco && !troppo_) {
        troppo_ = true;
        risposta_->abort();
    }
}

void ScaricamentoElenco::concluso()
{
    if (finito_)
        return;
    if (annullato_)
        return termina(false, QStringLiteral("Aggiornamento annullato: l'elenco dei certificatori non è cambiato"));
    if (troppo_)
        return termina(false, kNonRiuscito + QStringLiteral("l'elenco scaricato supera i 20 MB"));
    dati_ += risposta_->readAll();
    const int stato = risposta_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (stato != 0 && stato != 200)
        return termina(false, kNonRiuscito + QStringLiteral("il server ha risposto %1").arg(stato));
    if (risposta_->error() != QNetworkReply::NoError)
        return termina(false, kNonRiuscito + risposta_->errorString());

    const QString destinazione = QDir(cartella_).filePath(NomeElencoScaricato);
    ElencoCertificatori prova;
    try {
        prova.aggiungi(dati_, destinazione);
        if (!directoryExists(cartella_) && !forceDirectories(cartella_))
            throw Exception(QStringLiteral("impossibile creare la cartella ") + cartella_);
        writeFileAtomically(destinazione, dati_);
    } catch (const Exception &e) {
        return termina(false,
            prova.elenchi().isEmpty()
                ? kNonRiuscito + QStringLiteral("quanto scaricato non è utilizzabile (%1)").arg(e.message())
                : kNonRiuscito + e.message());
    }
    const InfoElenco &info = prova.elenchi().constFirst();
    const bool scaduto = info.prossimoAggiornamento.isValid() && adesso_ > info.prossimoAggiornamento;
    const QString firma = info.firma == FirmaElenco::Integra ? QStringLiteral("firma dell'elenco integra")
        : info.firma == FirmaElenco::NonIntegra              ? QStringLiteral("firma dell'elenco NON integra")
                                                             : QStringLiteral("elenco senza firma");
    termina(true,
        QStringLiteral("Elenco dei certificatori aggiornato: %1 servizi di certificazione, emesso il %2, prossimo "
                       "aggiornamento il %3%4; %5.\nSalvato in %6")
            .arg(info.certificatori)
            .arg(giorno(info.emissione), giorno(info.prossimoAggiornamento),
                scaduto ? QStringLiteral(" (già scaduto)") : QString(), firma, QDir::toNativeSeparators(destinazione)));
}

void ScaricamentoElenco::termina(bool ok, const QString &testo)
{
    finito_ = true;
    dati_.clear();
    emit finito(ok, testo);
}
