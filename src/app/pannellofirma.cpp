// The signature panel: the check of each file named in the window on a thread
// of its own, the details, the lists read again when their folder changes,
// and the list's download.
#include "app/pannellofirma.h"

#include "app/dialoghi.h"
#include "app/docklayout.h"
#include "app/widgets.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/messages.h"
#include "firma/elenco.h"
#include "firma/scaricaelenco.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace {
const QString kAggiorna = QStringLiteral("Aggiorna elenco certificatori");

struct Aspetto {
    const char *testo;
    QColor sfondo;
    QColor scritta;
};

Aspetto aspettoDi(EsitoFirma esito)
{
    switch (esito) {
    case EsitoFirma::Valida:
        return { "Firma valida", QColor(0x2e, 0x7d, 0x32), Qt::white };
    case EsitoFirma::NonVerificata:
        return { "Firma non verificata", QColor(0xff, 0xb3, 0x00), Qt::black };
    case EsitoFirma::NonValida:
        return { "Firma NON valida", QColor(0xc6, 0x28, 0x28), Qt::white };
    case EsitoFirma::Assente:
        break;
    }
    return { "Nessuna firma", QColor(0xbd, 0xbd, 0xbd), Qt::black };
}

QPushButton *pulsante(QWidget *parent, const QString &nome, const QString &testo, const QRect &geometria)
{
    auto *b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    QFont f = parent->font();
    f.setPixelSize(13);
    b->setFont(f);
    b->setGeometry(geometria);
    return b;
}

void colora(CampoValore *campo, const QColor &sfondo, const QColor &scritta)
{
    QPalette p = campo->palette();
    p.setColor(QPalette::Window, sfondo);
    p.setColor(QPalette::WindowText, scritta);
    campo->setPalette(p);
}

// Runs on a worker: the lists are read there at their first use.
EsitoVerifica verificaFile(const QString &file, const std::shared_ptr<ElencoPigro> &elenco, const QDateTime &adesso)
{
    try {
        const QByteArray bytes = readWholeFile(file);
        return VerificaFirma(bytes, FormaPerNome(file), elenco->elenco().get(), adesso);
    } catch (const Exception &e) {
        return EsitoIlleggibile(QStringLiteral("il file non si può leggere (%1)").arg(e.message()));
    } catch (const std::bad_alloc &) {
        return EsitoIlleggibile(QStringLiteral("memoria insufficiente per leggere il file"));
    }
}
} // namespace

PannelloFirma::PannelloFirma(QWidget *parent, Dialoghi &dialoghi, const QString &dirProgramma,
    const QString &dirDocumenti, std::shared_ptr<ElencoPigro> elenco, Orologio adesso)
    : QFrame(parent)
    , dialoghi_(dialoghi)
    , dirProgramma_(dirProgramma)
    , dirDocumenti_(dirDocumenti)
    , indirizzo_(IndirizzoElencoItaliano)
    , elenco_(std::move(elenco))
    , adesso_(std::move(adesso))
    , sorvegliante_(new QFileSystemWatcher(this))
    , ritardo_(new QTimer(this))
{
    setObjectName(QStringLiteral("panFirma"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    lavoratori_.setMaxThreadCount(1);
    StEsitoFirma = new CampoValore(this, { 8, 28, 233, 22 }, 13, QFrame::Plain);
    StEsitoFirma->setObjectName(QStringLiteral("StEsitoFirma"));
    QFont grassetto = StEsitoFirma->font();
    grassetto.setBold(true);
    StEsitoFirma->setFont(grassetto);
    StFirmatario = new CampoValore(this, { 8, 52, 233, 22 }, 13, QFrame::Plain);
    StFirmatario->setObjectName(QStringLiteral("StFirmatario"));
    StDataFirma = new CampoValore(this, { 8, 76, 160, 22 }, 13, QFrame::Plain);
    StDataFirma->setObjectName(QStringLiteral("StDataFirma"));
    btnDettagliFirma
        = pulsante(this, QStringLiteral("btnDettagliFirma"), QStringLiteral("Dettagli"), { 172, 75, 69, 24 });
    btnDettagliFirma->setEnabled(false);
    btnAggiornaElenco = pulsante(this, QStringLiteral("btnAggiornaElenco"), kAggiorna, { 8, 100, 233, 22 });
    btnAggiornaElenco->setToolTip(
        QStringLiteral("Scarica l'elenco pubblico dei certificatori da ") + IndirizzoElencoItaliano.toString());
    connect(btnDettagliFirma, &QPushButton::clicked, this, &PannelloFirma::btnDettagliFirmaClick);
    connect(btnAggiornaElenco, &QPushButton::clicked, this, &PannelloFirma::btnAggiornaElencoClick);

    ritardo_->setSingleShot(true);
    ritardo_->setInterval(300);
    connect(ritardo_, &QTimer::timeout, this, &PannelloFirma::cartelleCambiate);
    connect(sorvegliante_, &QFileSystemWatcher::directoryChanged, ritardo_, qOverload<>(&QTimer::start));
    connect(sorvegliante_, &QFileSystemWatcher::fileChanged, ritardo_, qOverload<>(&QTimer::start));
    // After FormCreate has fixed the program folder.
    QTimer::singleShot(0, this, &PannelloFirma::sorvegliaCartelle);
}

PannelloFirma::~PannelloFirma()
{
    ++richiesta_; // a check still running is not shown
    lavoratori_.waitForDone();
}

void PannelloFirma::aggiungiTitolo(QWidget *barra)
{
    auto *dock = new DockLayout(this);
    dock->addDocked(barra, DockLayout::Dock::Top, 24);
}

void PannelloFirma::verifica(const QString &file)
{
    avvia(file, false);
}

void PannelloFirma::avvia(const QString &file, bool ancora)
{
    if (!ancora) {
        svuota();
        StEsitoFirma->setValore(QStringLiteral("Verifica in corso..."));
    }
    file_ = file;
    inCorso_ = true;
    const quint64 richiesta = ++richiesta_;
    auto *attesa = new QFutureWatcher<EsitoVerifica>(this);
    connect(attesa, &QFutureWatcherBase::finished, this, [this, attesa, richiesta, file, ancora] {
        attesa->deleteLater();
        if (richiesta != richiesta_)
            return;
        inCorso_ = false;
        esito_ = attesa->result();
        riempi();
        emit verificata(file, ancora);
    });
    attesa->setFuture(QtConcurrent::run(&lavoratori_, verificaFile, file, elenco_, adesso_()));
}

void PannelloFirma::svuota()
{
    ++richiesta_;
    inCorso_ = false;
    file_.clear();
    esito_ = EsitoVerifica();
    for (CampoValore *campo : { StEsitoFirma, StFirmatario, StDataFirma })
        campo->setValore(QString());
    StEsitoFirma->setToolTip(QString());
    StEsitoFirma->setPalette(StFirmatario->palette());
    btnDettagliFirma->setEnabled(false);
}

void PannelloFirma::riempi()
{
    const Aspetto aspetto = aspettoDi(esito_.esito);
    QString testo = QString::fromUtf8(aspetto.testo);
    // An expired list is said where the outcome is, not only in a tooltip.
    if (esito_.elenco && esito_.elenco->scaduto && esito_.esito != EsitoFirma::NonValida)
        testo += QStringLiteral(" · elenco scaduto il %1")
                     .arg(esito_.elenco->prossimoAggiornamento.toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
    QFont f = StEsitoFirma->font();
    f.setPixelSize(13);
    while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(testo) > StEsitoFirma->width() - 6)
        f.setPixelSize(f.pixelSize() - 1);
    StEsitoFirma->setFont(f);
    StEsitoFirma->setValore(testo);
    StEsitoFirma->setToolTip(esito_.motivo);
    colora(StEsitoFirma, aspetto.sfondo, aspetto.scritta);
    QStringList nomi, date;
    for (const Firmatario &f : esito_.firmatari) {
        nomi << f.nome;
        date << (f.dataFirma.isValid() ? f.dataFirma.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm t"))
                                       : QString());
    }
    StFirmatario->setValore(nomi.join(QStringLiteral("\r\n")));
    StDataFirma->setValore(date.join(QStringLiteral("\r\n")));
    btnDettagliFirma->setEnabled(true);
}

void PannelloFirma::btnDettagliFirmaClick()
{
    if (!file_.isEmpty() && !inCorso_)
        dialoghi_.dettagli(window(), QStringLiteral("Dettagli della firma"),
            QStringLiteral("File: ") + file_ + QLatin1Char('\n') + TestoDettagli(esito_));
}

// The folders the lists are read from, and the lists in them: a list copied,
// replaced or removed there is read again, and the file on show checked again.
// A folder not made yet is watched through its parent.
void PannelloFirma::sorvegliaCartelle()
{
    if (!sorvegliante_->files().isEmpty())
        sorvegliante_->removePaths(sorvegliante_->files());
    if (!sorvegliante_->directories().isEmpty())
        sorvegliante_->removePaths(sorvegliante_->directories());
    for (const QString &cartella : CartelleCertificatori(dirProgramma_, dirDocumenti_)) {
        const QFileInfo info(cartella);
        if (!info.isDir()) {
            if (QFileInfo(info.absolutePath()).isDir())
                sorvegliante_->addPath(info.absolutePath());
            continue;
        }
        sorvegliante_->addPath(cartella);
        for (const QFileInfo &f : QDir(cartella).entryInfoList({ QStringLiteral("*.xml") }, QDir::Files))
            sorvegliante_->addPath(f.filePath());
    }
}

void PannelloFirma::cartelleCambiate()
{
    elenco_->ricarica();
    sorvegliaCartelle();
    if (!file_.isEmpty())
        avvia(file_, true);
}

void PannelloFirma::btnAggiornaElencoClick()
{
    if (scaricamento_ != nullptr) {
        annullato_ = true;
        scaricamento_->annulla();
        return;
    }
    annullato_ = false;
    scaricamento_
        = new ScaricamentoElenco(indirizzo_, CartellaScrivibile(dirProgramma_, DirCertificatori, dirDocumenti_), this);
    connect(scaricamento_, &ScaricamentoElenco::avanzamento, this, [this](qint64 ricevuti, qint64 totale) {
        btnAggiornaElenco->setText(totale > 0
                ? QStringLiteral("Annulla aggiornamento (%1%)").arg(ricevuti * 100 / totale)
                : QStringLiteral("Annulla aggiornamento (%1 kB)").arg(ricevuti / 1024));
    });
    connect(scaricamento_, &ScaricamentoElenco::finito, this, &PannelloFirma::scaricamentoFinito);
    btnAggiornaElenco->setText(QStringLiteral("Annulla aggiornamento"));
    scaricamento_->avvia(adesso_());
}

void PannelloFirma::scaricamentoFinito(bool ok, const QString &testo)
{
    scaricamento_->deleteLater();
    scaricamento_ = nullptr;
    btnAggiornaElenco->setText(kAggiorna);
    if (ok) {
        ritardo_->stop(); // read again now, not once more when the folder says it changed
        elenco_->ricarica();
        sorvegliaCartelle();
        if (!file_.isEmpty())
            avvia(file_, true);
        dialoghi_.messaggio(window(), testo);
    } else if (!annullato_) {
        dialoghi_.errore(window(), testoErrore(testo));
    }
    emit elencoAggiornato(ok);
}
