// The signature panel: the check after each open, the details, the list download.
#include "app/pannellofirma.h"

#include "app/dialoghi.h"
#include "app/docklayout.h"
#include "app/widgets.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/messages.h"
#include "firma/scaricaelenco.h"

#include <QPushButton>

namespace {
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
} // namespace

PannelloFirma::PannelloFirma(QWidget *parent, Dialoghi &dialoghi, const QString &dirProgramma,
    const QString &dirDocumenti, std::shared_ptr<ElencoPigro> elenco)
    : QFrame(parent)
    , dialoghi_(dialoghi)
    , dirProgramma_(dirProgramma)
    , dirDocumenti_(dirDocumenti)
    , indirizzo_(IndirizzoElencoItaliano)
    , elenco_(std::move(elenco))
{
    setObjectName(QStringLiteral("panFirma"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
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
    btnAggiornaElenco = pulsante(this, QStringLiteral("btnAggiornaElenco"),
        QStringLiteral("Aggiorna elenco certificatori"), { 8, 100, 233, 22 });
    btnAggiornaElenco->setToolTip(
        QStringLiteral("Scarica l'elenco pubblico dei certificatori da ") + IndirizzoElencoItaliano.toString());
    connect(btnDettagliFirma, &QPushButton::clicked, this, &PannelloFirma::btnDettagliFirmaClick);
    connect(btnAggiornaElenco, &QPushButton::clicked, this, &PannelloFirma::btnAggiornaElencoClick);
}

PannelloFirma::~PannelloFirma() = default;

void PannelloFirma::aggiungiTitolo(QWidget *barra)
{
    auto *dock = new DockLayout(this);
    dock->addDocked(barra, DockLayout::Dock::Top, 24);
}

void PannelloFirma::mostra(const QString &file)
{
    verifica(file);
    // Showing altered content without a word would be a failure reported as success.
    if (esito_.esito == EsitoFirma::NonValida)
        dialoghi_.messaggio(window(),
            QStringLiteral("ATTENZIONE: ") + esito_.motivo
                + QStringLiteral(" Il documento mostrato potrebbe non essere quello firmato."));
}

void PannelloFirma::svuota()
{
    file_.clear();
    esito_ = EsitoVerifica();
    for (CampoValore *campo : { StEsitoFirma, StFirmatario, StDataFirma })
        campo->setValore(QString());
    StEsitoFirma->setToolTip(QString());
    StEsitoFirma->setPalette(StFirmatario->palette());
    btnDettagliFirma->setEnabled(false);
}

void PannelloFirma::verifica(const QString &file)
{
    file_ = file;
    try {
        const QByteArray bytes = readWholeFile(file);
        esito_ = VerificaFirma(bytes, FormaPerNome(file), elenco_->elenco().get());
    } catch (const Exception &e) {
        esito_ = EsitoVerifica();
        esito_.esito = EsitoFirma::NonValida;
        esito_.motivo = QStringLiteral("Firma non valida: il file non si può leggere (%1).").arg(e.message());
    }
    riempi();
}

void PannelloFirma::riempi()
{
    const Aspetto aspetto = aspettoDi(esito_.esito);
    StEsitoFirma->setValore(QString::fromUtf8(aspetto.testo));
    StEsitoFirma->setToolTip(esito_.motivo);
    QPalette p = StEsitoFirma->palette();
    p.setColor(QPalette::Window, aspetto.sfondo);
    p.setColor(QPalette::WindowText, aspetto.scritta);
    StEsitoFirma->setPalette(p);
    QStringList nomi, date;
    for (const Firmatario &f : esito_.firmatari) {
        nomi << f.nome;
        date << (f.dataFirma.isValid() ? f.dataFirma.toString(QStringLiteral("dd/MM/yyyy HH:mm 'UTC'")) : QString());
    }
    StFirmatario->setValore(nomi.join(QStringLiteral("\r\n")));
    StDataFirma->setValore(date.join(QStringLiteral("\r\n")));
    btnDettagliFirma->setEnabled(true);
}

void PannelloFirma::btnDettagliFirmaClick()
{
    if (!file_.isEmpty())
        dialoghi_.dettagli(window(), QStringLiteral("Dettagli della firma"),
            QStringLiteral("File: ") + file_ + QLatin1Char('\n') + TestoDettagli(esito_));
}

void PannelloFirma::btnAggiornaElencoClick()
{
    // The download waits in an event loop of its own: no second one meanwhile.
    btnAggiornaElenco->setEnabled(false);
    try {
        const QString detto
            = ScaricaElenco(indirizzo_, CartellaScrivibile(dirProgramma_, DirCertificatori, dirDocumenti_));
        elenco_->ricarica();
        if (!file_.isEmpty())
            verifica(file_);
        dialoghi_.messaggio(window(), detto);
    } catch (const Exception &e) {
        dialoghi_.errore(window(), testoErrore(e.message()));
    }
    btnAggiornaElenco->setEnabled(true);
}
