#include "app/mainwindow.h"

#include "app/barracontrolli.h"
#include "app/barraricerca.h"
#include "app/dialoghi.h"
#include "app/docklayout.h"
#include "app/finestraarchivio.h"
#include "app/invoicepane.h"
#include "app/pannellofirma.h"
#include "app/pdfexport.h"
#include "app/widgets.h"
#include "attachments/codifica.h"
#include "attachments/envelope.h"
#include "attachments/estrazione.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/folders.h"
#include "common/strings.h"
#include "common/text8.h"
#include "controlli/controlli.h"
#include "firma/elenco.h"
#include "invoice/rendering.h"
#include "messaggi/pagina.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>

namespace {
const QString kSitoWeb = QStringLiteral("www.lentiva.example");
const QString kPaginaGuida = QStringLiteral("https://www.lentiva.example/w_quadrel-lentiva0-hlp0.aspx");
const QString kPaginaVelmaro = QStringLiteral("https://www.lentiva.example/w_quadrel-velmaro0.aspx?from=FRM");
const QString kCrediti = QStringLiteral("fatture in chiaro");

const QString kFiltroFatture
    = QStringLiteral("fatture (.xml)|*.xml|fatture firmate (.p7m)|*.p7m|tutte le fatture (.xml, "
                     ".p7m)|*.xml;*.p7m|tutti i file (*.*)|*.*");

// Where attachments go when the program folder's cannot be written.
QString dirDocumenti()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QFont fontPx(const QFont &base, int pixelSize, bool bold = false)
{
    QFont f = base;
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QLabel *etichetta(QWidget *parent, const QString &testo, const QPoint &pos, int pixelSize)
{
    auto *label = new QLabel(testo, parent);
    label->setFont(fontPx(parent->font(), pixelSize));
    label->move(pos);
    label->adjustSize();
    return label;
}

QPushButton *pulsante(QWidget *parent, const QString &nome, const QString &testo, const QRect &geometry, int pixelSize)
{
    auto *button = new QPushButton(testo, parent);
    button->setObjectName(nome);
    button->setFont(fontPx(parent->font(), pixelSize));
    button->setGeometry(geometry);
    return button;
}

QFrame *pannello(QWidget *parent, const QString &nome, int shape = QFrame::NoFrame)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(nome);
    frame->setFrameStyle(shape);
    return frame;
}

// The page with the warning at its top, in the page's own code page: it stays
// in sight while the page scrolls, and prints at the top of the first page.
QByteArray paginaConAvviso(const QByteArray &pagina, const QString &avviso)
{
    const QByteArray barra = TestoPerPannello(
        QStringLiteral("<div id=\"avviso-firma\" style=\"position: sticky; top: 0; z-index: 2147483647; margin: 0; "
                       "padding: 6px 10px; background: #c62828; color: #ffffff; font: bold 13px sans-serif; "
                       "border-bottom: 2px solid #8e0000\">%1</div>")
            .arg(avviso.toHtmlEscaped()));
    qsizetype dove = pagina.indexOf("<body");
    if (dove < 0)
        dove = pagina.indexOf("<BODY");
    dove = dove < 0 ? 0 : pagina.indexOf('>', dove) + 1;
    return QByteArray(pagina).insert(dove, barra);
}

// The file a drag brings when the window takes it: only the first file
// counts, and it must be a .xml or .p7m file.
QString fileTrascinato(const QMimeData *data)
{
    const QList<QUrl> urls = data != nullptr ? data->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    const QString path = urls.first().toLocalFile();
    if (!fileExists(path) || !(hasExtension(path, u".xml") || hasExtension(path, u".p7m")))
        return QString();
    return path;
}

QLabel *barraTitolo(QWidget *parent, const QString &nome, const QString &testo)
{
    auto *bar = new QLabel(testo, parent);
    bar->setObjectName(nome);
    bar->setFont(fontPx(parent->font(), 16, true));
    bar->setAlignment(Qt::AlignCenter);
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette p = bar->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    bar->setPalette(p);
    return bar;
}
} // namespace

// The display the open flow drives: this window's pane, list and fields.
class TFLENTIVA::Display final : public InvoiceDisplay {
public:
    explicit Display(TFLENTIVA &w)
        : w_(w)
    {
    }
    QString extractEnvelope(const QString &envelope) override
    {
        QString xml;
        EstraiXmlDaP7m(envelope, xml, w_.stato_.DirProgramma);
        return xml;
    }
    void showPage(const QByteArray &page) override { w_.MostraHtml(page); }
    void loadAttachments(const QString &fileXml) override { w_.CaricaAllegati(fileXml); }
    void setHeaderField(CampoTestata field, const QByteArray &text) override { w_.impostaCampo(field, text); }
    void plainMessage(const QString &text) override { w_.dialoghi_.messaggio(&w_, text); }
    // A message of the exchange system: its page and header fields, and no attachments.
    bool showOtherDocument(const QString &fileXml, const StatoFattura &stato, FogliCompilati &fogli) override
    {
        if (!MostraMessaggio(fileXml, stato.DirProgramma, *this, fogli))
            return false;
        w_.ListaAllegati.clear();
        w_.LBAlleg->clear();
        return true;
    }

private:
    TFLENTIVA &w_;
};

TFLENTIVA::TFLENTIVA(const QString &dirProgramma, const QStringList &argomenti, Dialoghi &dialoghi)
    : QWidget(nullptr)
    , dialoghi_(dialoghi)
{
    Q_INIT_RESOURCE(resources); // the pictures live in this static library
    stato_.DirProgramma = dirProgramma;
    // The folder as FormCreate will fix it, which the lists' places need now.
    const QString dir = dirProgramma.isEmpty() ? dirProgramma : includeTrailingSeparator(dirProgramma);
    elenchiCertificatori_ = std::make_shared<ElencoPigro>(CartelleCertificatori(dir, dirDocumenti()));
    schemi_ = std::make_shared<SchemiPigri>(QDir::cleanPath(dir + DirSchemi));
    costruisci();
    qApp->installEventFilter(this);
    protetto([&] { FormCreate(argomenti); });
}

TFLENTIVA::~TFLENTIVA()
{
    qApp->removeEventFilter(this);
}

template <typename F> void TFLENTIVA::protetto(F &&handler)
{
    try {
        handler();
    } catch (const Exception &e) {
        dialoghi_.errore(this, testoErrore(e.message()));
    } catch (const std::exception &e) {
        dialoghi_.errore(this, testoErrore(QString::fromLocal8Bit(e.what())));
    }
}

void TFLENTIVA::costruisci()
{
    setObjectName(QStringLiteral("FLENTIVA"));
    setWindowTitle(QStringLiteral("Lentiva Vers.1.1 - Visualizzatore fatture elettroniche (fatture ITA in formato "
                                  "xml/p7m) - ")
        + kCrediti);
    setWindowIcon(QIcon(QStringLiteral(":/images/lentiva.png")));
    setAcceptDrops(true);
    setFont(fontPx(font(), 11));
    // Never smaller than the design's client area: below it buttons are cut
    // and fields overlap.
    setMinimumSize(1067, 613);
    resize(1083, 652);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto *dock = new DockLayout(this);

    // Top band: file name, type, supplier.
    QFrame *panTop = pannello(this, QStringLiteral("panTop"));
    dock->addDocked(panTop, DockLayout::Dock::Top, 113);
    etichetta(panTop, QStringLiteral("Nome file"), { 8, 6 }, 13)->setObjectName(QStringLiteral("lblNome"));
    StFileXML = new CampoValore(panTop, { 8, 26, 937, 25 }, 16, QFrame::Sunken);
    StFileXML->setObjectName(QStringLiteral("StFileXML"));
    btnSelFile = pulsante(panTop, QStringLiteral("btnSelFile"), QStringLiteral("Seleziona"), { 952, 20, 105, 33 }, 13);
    etichetta(panTop, QStringLiteral("Tipo documento"), { 8, 60 }, 13)->setObjectName(QStringLiteral("StaticText2"));
    STTipoDoc = new CampoValore(panTop, { 136, 55, 809, 25 }, 16, QFrame::Plain);
    STTipoDoc->setObjectName(QStringLiteral("STTipoDoc"));
    btnEsci = pulsante(panTop, QStringLiteral("btnEsci"), QStringLiteral("Esci"), { 952, 74, 107, 33 }, 13);
    etichetta(panTop, QStringLiteral("Cedente/Prestatore"), { 8, 86 }, 13)
        ->setObjectName(QStringLiteral("StaticText5"));
    StFornitore = new CampoValore(panTop, { 136, 82, 809, 25 }, 16, QFrame::Plain);
    StFornitore->setObjectName(QStringLiteral("StFornitore"));

    // Bottom band: help, credits, web address, promotion.
    QFrame *panBottom = pannello(this, QStringLiteral("PanBottom"), QFrame::Panel | QFrame::Raised);
    panBottom->setFont(fontPx(font(), 11, true));
    panBottom->setToolTip(QStringLiteral("Guida"));
    dock->addDocked(panBottom, DockLayout::Dock::Bottom, 43);
    btnGuida = pulsante(panBottom, QStringLiteral("btnGuida"), QStringLiteral("?"), { 3, 2, 54, 38 }, 32);
    btnGuida->setFont(fontPx(font(), 32, true));
    btnGuida->setStyleSheet(QStringLiteral("color: grey;"));
    btnGuida->setCursor(Qt::PointingHandCursor);
    auto *crediti = new QLabel(kCrediti, panBottom);
    crediti->setObjectName(QStringLiteral("StaticText1"));
    crediti->setFont(fontPx(font(), 16));
    crediti->setGeometry(96, 10, 186, 24);
    auto *sito = new QLabel(panBottom);
    sito->setObjectName(QStringLiteral("lnkSitoWeb"));
    sito->setFont(fontPx(font(), 16));
    sito->setGeometry(292, 8, 237, 24);
    sito->setText(QStringLiteral("<a href=\"%1\" style=\"color: green;\">%1</a>").arg(kSitoWeb));
    sito->setStyleSheet(QStringLiteral("color: navy;"));
    sito->setFocusPolicy(Qt::NoFocus);
    sito->setToolTip(QStringLiteral("Eventuali aggiornamenti di Lentiva in [wath's new] ..."));
    connect(sito, &QLabel::linkActivated, this, [this](const QString &link) {
        protetto([&] {
            const QString address = trimControls(link);
            dialoghi_.apri(
                QUrl(address.startsWith(QLatin1String("https://")) ? address : QStringLiteral("https://") + address));
        });
    });
    auto *bottomDock = new DockLayout(panBottom);
    QFrame *panVelmaro = pannello(panBottom, QStringLiteral("panVELMARO"), QFrame::Panel | QFrame::Sunken);
    bottomDock->addDocked(panVelmaro, DockLayout::Dock::Right, 362);
    auto *imgVelmaro = new ImmagineCliccabile(panVelmaro);
    imgVelmaro->setObjectName(QStringLiteral("imgVelmaro"));
    imgVelmaro->setPixmap(QPixmap(QStringLiteral(":/images/velmaro.jpg")));
    imgVelmaro->setGeometry(9, 5, 348, 30);
    imgVelmaro->setCursor(Qt::PointingHandCursor);
    imgVelmaro->setToolTip(QStringLiteral("Velmaro: il gestionale gratuito per magazzino, vendite e acquisti"));
    connect(imgVelmaro, &ImmagineCliccabile::clicked, this, &TFLENTIVA::imgVelmaroClick);
    // Archive, print and PDF are docked against the promotion: on any width
    // they stay clear of it, and at the design size they just fit between it
    // and the end of the web address (each as wide as its caption needs).
    auto *panStampa = new QWidget(panBottom);
    panStampa->setObjectName(QStringLiteral("panStampa"));
    panStampa->setFont(fontPx(font(), 11));
    bottomDock->addDocked(panStampa, DockLayout::Dock::Right, 255);
    btnArchivio = pulsante(panStampa, QStringLiteral("btnArchivio"), QStringLiteral("Archivio"), { 3, 4, 78, 33 }, 13);
    btnArchivio->setToolTip(
        QStringLiteral("Elenco delle fatture di una cartella o di un archivio ZIP (Ctrl+Maiusc+A)"));
    btnStampa = pulsante(panStampa, QStringLiteral("btnStampa"), QStringLiteral("Stampa"), { 84, 4, 78, 33 }, 13);
    btnStampa->setToolTip(QStringLiteral("Stampa la fattura (Ctrl+P)"));
    btnEsportaPdf
        = pulsante(panStampa, QStringLiteral("btnEsportaPdf"), QStringLiteral("Esporta PDF"), { 165, 4, 88, 33 }, 13);
    btnEsportaPdf->setToolTip(QStringLiteral("Salva la fattura come PDF (Ctrl+Maiusc+E)"));
    archivio_ = new AperturaArchivio(
        this, dialoghi_, stato_.DirProgramma + DirFatture,
        [this](const QString &percorso) { protetto([&] { apriScelto(percorso); }); }, elenchiCertificatori_, schemi_);

    // Right column: logo, document, attachments, hidden utilities.
    QFrame *panRight = pannello(this, QStringLiteral("PanRight"));
    dock->addDocked(panRight, DockLayout::Dock::Right, 251);
    auto *rightDock = new DockLayout(panRight);
    QFrame *pnlLogo = pannello(panRight, QStringLiteral("pnlLogo"));
    rightDock->addDocked(pnlLogo, DockLayout::Dock::Top, 36);
    auto *logoDock = new DockLayout(pnlLogo);
    auto *imgLogo = new QLabel(pnlLogo);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(QPixmap(QStringLiteral(":/images/logo.gif")));
    imgLogo->setAlignment(Qt::AlignCenter);
    logoDock->addDocked(imgLogo, DockLayout::Dock::Top, 32);

    QFrame *panDocumento = pannello(panRight, QStringLiteral("panDocumento"), QFrame::Panel | QFrame::Raised);
    rightDock->addDocked(panDocumento, DockLayout::Dock::Top, 96);
    auto *docDock = new DockLayout(panDocumento);
    docDock->addDocked(barraTitolo(panDocumento, QStringLiteral("StaticText6"), QStringLiteral("D O C U M E N T O")),
        DockLayout::Dock::Top, 24);
    etichetta(panDocumento, QStringLiteral("Numero"), { 3, 36 }, 13)->setObjectName(QStringLiteral("StaticText3"));
    STNumDoc = new CampoValore(panDocumento, { 56, 31, 185, 25 }, 16, QFrame::Plain);
    STNumDoc->setObjectName(QStringLiteral("STNumDoc"));
    etichetta(panDocumento, QStringLiteral("Data"), { 3, 62 }, 13)->setObjectName(QStringLiteral("StaticText4"));
    StDataDoc = new CampoValore(panDocumento, { 56, 58, 185, 25 }, 16, QFrame::Plain);
    StDataDoc->setObjectName(QStringLiteral("StDataDoc"));

    QFrame *panAllegati = pannello(panRight, QStringLiteral("panAllegati"), QFrame::Panel | QFrame::Raised);
    rightDock->addDocked(panAllegati, DockLayout::Dock::Top, 200);
    auto *allDock = new DockLayout(panAllegati);
    allDock->addDocked(barraTitolo(panAllegati, QStringLiteral("STAllegati"), QStringLiteral("A L L E G A T I")),
        DockLayout::Dock::Top, 24);
    LBAlleg = new QListWidget(panAllegati);
    LBAlleg->setObjectName(QStringLiteral("LBAlleg"));
    LBAlleg->setFont(fontPx(font(), 13));
    LBAlleg->setGeometry(8, 31, 233, 73);
    LBAlleg->setSortingEnabled(true);
    LBAlleg->setUniformItemSizes(true);
    LBAlleg->setStyleSheet(QStringLiteral("QListWidget::item { height: 16px; }"));
    ButtonSave = pulsante(
        panAllegati, QStringLiteral("ButtonSave"), QStringLiteral("Salva allegato"), { 8, 111, 233, 33 }, 13);
    ButtonOpen = pulsante(
        panAllegati, QStringLiteral("ButtonOpen"), QStringLiteral("Apri cartella allegati"), { 8, 151, 233, 33 }, 13);

    pannelloFirma_ = new PannelloFirma(panRight, dialoghi_, stato_.DirProgramma, dirDocumenti(), elenchiCertificatori_,
        [] { return QDateTime::currentDateTimeUtc(); });
    connect(pannelloFirma_, &PannelloFirma::verificata, this, &TFLENTIVA::firmaVerificata);
    rightDock->addDocked(pannelloFirma_, DockLayout::Dock::Top, PannelloFirma::Altezza);
    pannelloFirma_->aggiungiTitolo(barraTitolo(pannelloFirma_, QStringLiteral("STFirma"), QStringLiteral("F I R M A")));

    panUtili = pannello(panRight, QStringLiteral("panUtili"));
    panUtili->setFont(fontPx(font(), 11));
    rightDock->addDocked(panUtili, DockLayout::Dock::Bottom, 212);
    auto *btnEstraiPM7 = pulsante(panUtili, QStringLiteral("btnEstraiPM7"),
        QStringLiteral("Estrazione file .xml\nda file .p7m"), { 48, 67, 137, 46 }, 13);
    auto *btnCodificaFile = pulsante(
        panUtili, QStringLiteral("btnCodificaFile"), QStringLiteral("Codica file in Base64"), { 48, 115, 139, 38 }, 13);
    auto *btndecodifica = pulsante(panUtili, QStringLiteral("btndecodifica"),
        QStringLiteral("Decodifica e salva\nfile Base64"), { 48, 155, 137, 46 }, 13);
    panUtili->hide();

    // Client: the page, and the hidden text box below it.
    QFrame *panClient = pannello(this, QStringLiteral("PanClient"));
    dock->addDocked(panClient, DockLayout::Dock::Client);
    auto *clientDock = new DockLayout(panClient);
    MemoXCodifica = new QPlainTextEdit(panClient);
    MemoXCodifica->setObjectName(QStringLiteral("MemoXCodifica"));
    MemoXCodifica->setPlainText(QStringLiteral("MemoXCodica\n"));
    MemoXCodifica->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoXCodifica->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoXCodifica->setLineWrapMode(QPlainTextEdit::NoWrap);
    clientDock->addDocked(MemoXCodifica, DockLayout::Dock::Bottom, 84);
    MemoXCodifica->hide();
    WebBrowser1 = new InvoicePane(panClient);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    clientDock->addDocked(WebBrowser1, DockLayout::Dock::Client);
    // Floating over the pane: the checks' outcome, and above it find and zoom.
    barraControlli_ = new BarraControlli(WebBrowser1, dialoghi_, schemi_, [] { return QDate::currentDate(); });
    new BarraRicerca(WebBrowser1, this);

    // Only the buttons, the pane and the list take the focus, in this order.
    for (QPushButton *b : { btnEstraiPM7, btnCodificaFile, btndecodifica })
        b->setFocusPolicy(Qt::NoFocus);
    ordinaTab();
    // The engine adds its input widget as the pane's focus proxy once a page
    // exists; the order must then be set again for the proxy.
    connect(WebBrowser1, &InvoicePane::innerWidgetAdded, this, &TFLENTIVA::ordinaTab);

    connect(btnSelFile, &QPushButton::clicked, this, &TFLENTIVA::btnSelFileClick);
    connect(btnEsci, &QPushButton::clicked, this, &TFLENTIVA::btnEsciClick);
    connect(btnGuida, &QPushButton::clicked, this, &TFLENTIVA::btnGuidaClick);
    connect(ButtonSave, &QPushButton::clicked, this, &TFLENTIVA::ButtonSaveClick);
    connect(ButtonOpen, &QPushButton::clicked, this, &TFLENTIVA::ButtonOpenClick);
    connect(btnEstraiPM7, &QPushButton::clicked, this, &TFLENTIVA::btnEstraiPM7Click);
    connect(btnCodificaFile, &QPushButton::clicked, this, &TFLENTIVA::btnCodificaFileClick);
    connect(btndecodifica, &QPushButton::clicked, this, &TFLENTIVA::btndecodificaClick);
    connect(btnStampa, &QPushButton::clicked, this, &TFLENTIVA::btnStampaClick);
    connect(btnEsportaPdf, &QPushButton::clicked, this, &TFLENTIVA::btnEsportaPdfClick);
    // Window-wide shortcuts rather than the buttons' own, which would stop
    // working whenever the buttons are out of sight.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
        &TFLENTIVA::btnStampaClick);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), this), &QShortcut::activated, this,
        &TFLENTIVA::btnEsportaPdfClick);
    connect(btnArchivio, &QPushButton::clicked, this, &TFLENTIVA::btnArchivioClick);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), this), &QShortcut::activated, this,
        &TFLENTIVA::btnArchivioClick);
}

void TFLENTIVA::ordinaTab()
{
    QWidget *const order[] = { btnSelFile, btnEsci, btnGuida, WebBrowser1, LBAlleg, ButtonSave, ButtonOpen, btnStampa,
        btnEsportaPdf, pannelloFirma_->pulsanteDettagli(), pannelloFirma_->pulsanteAggiorna(), btnArchivio,
        barraControlli_->pulsanteDettagli() };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFLENTIVA::FormCreate(const QStringList &argomenti)
{
    if (stato_.DirProgramma.isEmpty())
        dialoghi_.messaggio(this, QStringLiteral("Errore in avvio 01, chiudere l'applicazione !"));
    else
        stato_.DirProgramma = includeTrailingSeparator(stato_.DirProgramma);
    FileParametro = argomenti.value(0);
}

void TFLENTIVA::avvia()
{
    // A message box of the open flow shown from the show event would have the
    // window mapped behind it while it waits: the flow runs first.
    if (!mostrata_) {
        mostrata_ = true;
        protetto([this] { FormShow(); });
    }
    showMaximized();
}

void TFLENTIVA::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!mostrata_) {
        mostrata_ = true;
        protetto([this] { FormShow(); });
    }
}

void TFLENTIVA::FormShow()
{
    stato_.FoglioStile = FoglioPredefinitoIn(stato_.DirProgramma);
    stato_.FileXml.clear();
    for (CampoValore *campo : { StFileXML, STTipoDoc, STNumDoc, StDataDoc, StFornitore })
        campo->setValore(QString());
    LBAlleg->clear();
    btnSelFile->setFocus();
    if (trimControls(FileParametro).isEmpty()) {
        FileParametro.clear();
        return;
    }
    if (!fileExists(FileParametro) || !(hasExtension(FileParametro, u".p7m") || hasExtension(FileParametro, u".xml"))) {
        FileParametro.clear();
        return;
    }
    StFileXML->setValore(FileParametro);
    btnSelFileClick();
}

void TFLENTIVA::btnSelFileClick()
{
    protetto([this] {
        QString scelto;
        if (!trimControls(FileParametro).isEmpty()) {
            scelto = FileParametro;
            FileParametro.clear();
        } else {
            const ImpostazioniDialogo impostazioni { stato_.DirProgramma + DirFatture, QStringLiteral("xml"),
                kFiltroFatture, QStringLiteral("Selezione fattura elettronica (formato xml, p7m)") };
            scelto = dialoghi_.scegliFile(this, impostazioni);
            if (trimControls(scelto).isEmpty())
                return;
        }
        apriScelto(scelto);
    });
}

void TFLENTIVA::apriScelto(const QString &scelto)
{
    StFileXML->setValore(scelto);
    stato_.FileXml = scelto;
    // The panel speaks of the file named above it: checked whether the open
    // goes through or stops, and never slowing it.
    pannelloFirma_->svuota();
    barraControlli_->svuota();
    dopoVerifica_ = nullptr;
    // The checks speak of the page: they run once one is shown, even when a
    // later step of the open fails.
    const quint64 pagine = pagineMostrate_;
    const auto verifica = qScopeGuard([this, scelto, pagine] {
        pannelloFirma_->verifica(scelto);
        if (pagineMostrate_ != pagine)
            barraControlli_->controlla(scelto, xmlInMostra_);
    });
    Display display(*this);
    MostraFattura(scelto, stato_, display, fogli_);
}

void TFLENTIVA::firmaVerificata(const QString &file, bool ancora)
{
    const EsitoVerifica &esito = pannelloFirma_->esito();
    const bool nonValida = esito.esito == EsitoFirma::NonValida;
    const QString avviso = QStringLiteral("ATTENZIONE: ") + esito.motivo
        + QStringLiteral(" Il documento mostrato potrebbe non essere quello firmato.");
    if (file == fileInMostra_ && nonValida != avvisoInPagina_) {
        WebBrowser1->showPage(nonValida ? paginaConAvviso(paginaInMostra_, avviso) : paginaInMostra_);
        avvisoInPagina_ = nonValida;
        barraControlli_->sottoAvviso(nonValida);
    }
    // Showing altered content without a word would be a failure reported as success.
    if (nonValida && !ancora && file == fileInMostra_)
        dialoghi_.messaggio(this, avviso);
    if (const std::function<void()> azione = std::exchange(dopoVerifica_, nullptr))
        azione();
}

bool TFLENTIVA::dopoLaVerifica(void (TFLENTIVA::*azione)())
{
    if (!pannelloFirma_->inCorso() || pannelloFirma_->file() != fileInMostra_)
        return false;
    dopoVerifica_ = [this, azione] { (this->*azione)(); };
    return true;
}

void TFLENTIVA::dragEnterEvent(QDragEnterEvent *event)
{
    if (fileTrascinato(event->mimeData()).isEmpty() && ArchivioTrascinato(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TFLENTIVA::dropEvent(QDropEvent *event)
{
    // A folder or a ZIP archive goes to the archive window.
    if (const QString archivio = ArchivioTrascinato(event->mimeData()); !archivio.isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        QMetaObject::invokeMethod(
            this, [this, archivio] { archivio_->leggi({ archivio }); }, Qt::QueuedConnection);
        return;
    }
    const QString path = fileTrascinato(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Opened once the drop is over: the file manager waits for the drop to end,
    // and the flow may stop at a message box.
    QMetaObject::invokeMethod(
        this, [this, path] { protetto([&] { apriScelto(path); }); }, Qt::QueuedConnection);
}

void TFLENTIVA::MostraHtml(const QByteArray &testo)
{
    WebBrowser1->showPage(testo);
    fileInMostra_ = StFileXML->valore();
    paginaInMostra_ = testo;
    xmlInMostra_ = stato_.FileXml;
    ++pagineMostrate_;
    avvisoInPagina_ = false;
    barraControlli_->sottoAvviso(false);
}

void TFLENTIVA::CaricaAllegati(const QString &fileName)
{
    ListaAllegati.clear();
    LBAlleg->clear();
    QList<TAllegatoItem> lista;
    LeggiAllegati(fileName, lista);
    ListaAllegati = std::move(lista);
    for (int i = 0; i < ListaAllegati.size(); ++i)
        LBAlleg->addItem(new VoceAllegato(NomeVisibile(ListaAllegati[i].Nome), i));
    if (LBAlleg->count() > 0)
        LBAlleg->setCurrentRow(0);
}

void TFLENTIVA::ButtonSaveClick()
{
    protetto([this] {
        if (LBAlleg->count() == 0)
            return;
        const auto *voce = static_cast<const VoceAllegato *>(LBAlleg->currentItem());
        if (voce == nullptr || !voce->isSelected()) {
            dialoghi_.messaggio(this, QStringLiteral("Selezionare l'allegato da salvare!"));
            return;
        }
        SalvaAllegato(ListaAllegati.at(voce->indice()), PreparaCartellaAllegati(stato_.DirProgramma, dirDocumenti()));
    });
}

void TFLENTIVA::ButtonOpenClick()
{
    dialoghi_.apri(QUrl::fromLocalFile(PreparaCartellaAllegati(stato_.DirProgramma, dirDocumenti())));
}

void TFLENTIVA::btnCodificaFileClick()
{
    protetto([this] {
        const ImpostazioniDialogo impostazioni { CartellaAllegati(stato_.DirProgramma, dirDocumenti()), QString(),
            QStringLiteral("tutti i file (*.*)|*.*"), QStringLiteral("Selezione file da codificare in base64") };
        const QString nome = dialoghi_.scegliFile(this, impostazioni);
        MemoXCodifica->clear();
        if (trimControls(nome).isEmpty())
            return;
        QByteArray testo;
        QString messaggio;
        if (FileToBase64(nome, testo, messaggio))
            MemoXCodifica->setPlainText(QString::fromLatin1(testo));
        else
            dialoghi_.messaggio(this, messaggio);
    });
}

void TFLENTIVA::btndecodificaClick()
{
    protetto([this] {
        const ImpostazioniDialogo impostazioni { stato_.DirProgramma + DirFatture, QStringLiteral("xml"),
            QStringLiteral("file allegati alla fattura (.xml)|*.xml"),
            QStringLiteral("Selezione file da decodificare da base64") };
        const QString nome = dialoghi_.scegliFile(this, impostazioni);
        if (nome.isEmpty())
            return;
        if (!hasExtension(nome, u".xml")) {
            dialoghi_.messaggio(
                this, QStringLiteral("Formato del file selezionato non corretto. Selezionare file in .xml"));
            return;
        }
        if (trimControls(nome).isEmpty())
            return;
        QString messaggio;
        EstraiAllegati(nome, CartellaAllegati(stato_.DirProgramma, dirDocumenti()), messaggio);
    });
}

void TFLENTIVA::impostaCampo(CampoTestata campo, const QByteArray &testo)
{
    CampoValore *field = nullptr;
    switch (campo) {
    case CampoTestata::Fornitore:
        field = StFornitore;
        break;
    case CampoTestata::TipoDocumento:
        field = STTipoDoc;
        break;
    case CampoTestata::Data:
        field = StDataDoc;
        break;
    case CampoTestata::Numero:
        field = STNumDoc;
        break;
    }
    field->setValore(fromWindows1252(testo));
}

void TFLENTIVA::btnEsciClick()
{
    close();
}

void TFLENTIVA::btnGuidaClick()
{
    dialoghi_.apri(QUrl(kPaginaGuida));
}

void TFLENTIVA::imgVelmaroClick()
{
    dialoghi_.apri(QUrl(kPaginaVelmaro));
}

void TFLENTIVA::btnEstraiPM7Click()
{
    protetto([this] {
        const QString envelope = StFileXML->valore();
        if (!hasExtension(envelope, u".p7m"))
            return;
        QString xml;
        EstraiXmlDaP7m(envelope, xml, stato_.DirProgramma);
    });
}

void TFLENTIVA::btnStampaClick()
{
    protetto([this] {
        if (WebBrowser1->hasPage() && !dopoLaVerifica(&TFLENTIVA::btnStampaClick))
            dialoghi_.stampa(this, WebBrowser1);
    });
}

void TFLENTIVA::btnArchivioClick()
{
    archivio_->mostra();
}

void TFLENTIVA::btnEsportaPdfClick()
{
    protetto([this] {
        if (!WebBrowser1->hasPage() || dopoLaVerifica(&TFLENTIVA::btnEsportaPdfClick))
            return;
        const ImpostazioniDialogo impostazioni { extractFilePath(fileInMostra_), QStringLiteral("pdf"),
            QStringLiteral("PDF|*.pdf"), QStringLiteral("Esporta PDF") };
        const QString nome
            = dialoghi_.scegliFileDaSalvare(this, impostazioni, extractFileName(nomePdfPer(fileInMostra_)));
        if (trimControls(nome).isEmpty())
            return;
        esportaPdf(*WebBrowser1, nome);
    });
}

bool TFLENTIVA::eventFilter(QObject *watched, QEvent *event)
{
    // Right presses inside the page never reach the engine, so its context
    // menu stays shut; everything else passes, the keyboard's menu too.
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Mouse) {
        auto *target = qobject_cast<QWidget *>(watched);
        if (target != nullptr && (target == WebBrowser1 || WebBrowser1->isAncestorOf(target)))
            return true;
    }
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        auto *target = qobject_cast<QWidget *>(watched);
        if (mouse->button() == Qt::RightButton && target != nullptr && target != WebBrowser1
            && WebBrowser1->isAncestorOf(target))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
