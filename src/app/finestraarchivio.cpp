// The archive window. The reading runs on a thread of its own (which uses the
// workers of the archive module) and hands its results to this window in
// bunches, so the first rows show at once and the window stays responsive;
// the export of invoice lines reads the files again the same way.
#include "app/finestraarchivio.h"

#include "app/dialoghi.h"
#include "app/modelloarchivio.h"
#include "app/riepilogoiva.h"
#include "archivio/csv.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/filenames.h"
#include "common/messages.h"
#include "common/strings.h"
#include "controlli/controlli.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// A file's name loses its middle, not the end that tells it apart.
class NomeAccorciato final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

// The opening width: every column up to the signature fits in it.
constexpr int kLarghezza = 1200;

const QString kFiltroArchivi
    = QStringLiteral("archivi ZIP (.zip)|*.zip|fatture (.xml, .p7m)|*.xml;*.p7m|tutti i file (*.*)|*.*");

QString mostrato(const QString &radice, const QString &file, const QStringList &voci)
{
    const QString nome = NomeOrigine(file, voci);
    return !radice.isEmpty() && nome.startsWith(radice + u'/') ? nome.mid(radice.size() + 1) : nome;
}

QStringList percorsiTrascinati(const QMimeData *data)
{
    QStringList percorsi;
    for (const QUrl &url : data != nullptr ? data->urls() : QList<QUrl>())
        if (url.isLocalFile())
            percorsi << url.toLocalFile();
    return percorsi;
}
} // namespace

struct FinestraArchivio::Pacchetto {
    int generazione = 0;
    std::vector<RigaArchivio> righe;
    std::vector<FileNonFattura> scarti;
    std::vector<std::pair<qsizetype, QString>> sdi;
    std::vector<std::tuple<qsizetype, QString, QStringList>> stati;
    MessaggiArchivio messaggi;
    qsizetype fatti = 0;
    qsizetype trovati = 0;
    bool fine = false;
};

// Runs on the reading thread: gathers what the reading hands out and posts it
// to the window. The first rows go at once, the rest four times a second:
// each bunch repaints the table (the progress bar repaints at once).
class FinestraArchivio::Ponte final : public Ricevitore {
public:
    Ponte(FinestraArchivio &finestra, int generazione)
        : finestra_(finestra)
        , generazione_(generazione)
    {
        orologio_.start();
    }
    void righe(std::vector<RigaArchivio> &&nuove) override
    {
        for (RigaArchivio &r : nuove)
            p_.righe.push_back(std::move(r));
        forse();
    }
    void nonFattura(FileNonFattura &&file) override
    {
        p_.scarti.push_back(std::move(file));
        forse();
    }
    void sdi(qsizetype riga, const QString &identificativo) override
    {
        p_.sdi.emplace_back(riga, identificativo);
        forse();
    }
    void avanzamento(qsizetype fatti, qsizetype trovati) override
    {
        p_.fatti = fatti;
        p_.trovati = trovati;
        forse();
    }
    void statoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi) override
    {
        p_.stati.emplace_back(riga, stato, messaggi);
    }
    void messaggi(MessaggiArchivio &&trovati) override { p_.messaggi = std::move(trovati); }
    void invia(bool fine)
    {
        auto p = std::make_shared<Pacchetto>(std::move(p_));
        p->generazione = generazione_;
        p->fine = fine;
        p_ = Pacchetto();
        p_.fatti = p->fatti;
        p_.trovati = p->trovati;
        FinestraArchivio *f = &finestra_;
        QMetaObject::invokeMethod(
            f, [f, p] { f->ricevi(*p); }, Qt::QueuedConnection);
        orologio_.restart();
    }

private:
    void forse()
    {
        if ((ancoraNessuna_ && !p_.righe.empty()) || orologio_.elapsed() >= 250) {
            ancoraNessuna_ = ancoraNessuna_ && p_.righe.empty();
            invia(false);
        }
    }

    FinestraArchivio &finestra_;
    const int generazione_;
    Pacchetto p_;
    QElapsedTimer orologio_;
    bool ancoraNessuna_ = true;
};

// What an export of invoice lines leaves for the window: the files whose
// lines could not be read again, and the error of writing the file.
struct FinestraArchivio::Esportazione {
    int generazione = 0;
    QStringList scarti;
    QString errore;
    QString file;
    qsizetype linee = 0;
};

namespace {
// Runs on the thread of the export: keeps what the reading hands out and
// shows its progress four times a second.
class Avanzamento final : public Ricevitore {
public:
    Avanzamento(QProgressBar *barra, RaccoltaArchivio &raccolta)
        : barra_(barra)
        , raccolta_(raccolta)
    {
        orologio_.start();
    }
    void righe(std::vector<RigaArchivio> &&nuove) override { raccolta_.righe(std::move(nuove)); }
    void nonFattura(FileNonFattura &&file) override { raccolta_.nonFattura(std::move(file)); }
    void sdi(qsizetype riga, const QString &identificativo) override { raccolta_.sdi(riga, identificativo); }
    void avanzamento(qsizetype fatti, qsizetype trovati) override
    {
        if (orologio_.elapsed() < 250)
            return;
        orologio_.restart();
        QMetaObject::invokeMethod(
            barra_,
            [barra = barra_, fatti = static_cast<int>(fatti), trovati = static_cast<int>(trovati)] {
                barra->setRange(0, trovati);
                barra->setValue(fatti);
            },
            Qt::QueuedConnection);
    }

private:
    QProgressBar *barra_; // only ever touched on its own thread
    RaccoltaArchivio &raccolta_;
    QElapsedTimer orologio_;
};
} // namespace

FinestraArchivio::FinestraArchivio(QWidget *parent, Dialoghi &dialoghi, const QString &cartella,
    std::function<void(const RigaArchivio &)> apri, std::shared_ptr<ElencoPigro> elenchi,
    std::shared_ptr<SchemiPigri> schemi)
    : QWidget(parent, Qt::Window)
    , dialoghi_(dialoghi)
    , cartella_(cartella)
    , apri_(std::move(apri))
    , elenchi_(std::move(elenchi))
    , schemi_(std::move(schemi))
{
    setObjectName(QStringLiteral("FinestraArchivio"));
    setWindowTitle(QStringLiteral("Archivio fatture"));
    setAcceptDrops(true);
    resize(kLarghezza, 700);

    auto *btnCartella = new QPushButton(QStringLiteral("Apri cartella..."), this);
    btnCartella->setObjectName(QStringLiteral("btnCartella"));
    auto *btnZip = new QPushButton(QStringLiteral("Apri ZIP..."), this);
    btnZip->setObjectName(QStringLiteral("btnZip"));
    cerca_ = new QLineEdit(this);
    cerca_->setObjectName(QStringLiteral("cerca"));
    cerca_->setPlaceholderText(QStringLiteral("Cerca in file, numero, data, cedente, cessionario..."));
    cerca_->setClearButtonEnabled(true);
    auto *scartate = new QCheckBox(QStringLiteral("Solo scartate"), this);
    scartate->setObjectName(QStringLiteral("soloScartate"));
    scartate->setToolTip(QStringLiteral("Solo le fatture che il Sistema di Interscambio ha scartato"));
    auto *alto = new QHBoxLayout;
    alto->addWidget(btnCartella);
    alto->addWidget(btnZip);
    alto->addSpacing(16);
    alto->addWidget(new QLabel(QStringLiteral("Cerca:"), this));
    alto->addWidget(cerca_, 1);
    alto->addWidget(scartate);
    auto *conRilievi = new QCheckBox(QStringLiteral("Solo con rilievi"), this);
    conRilievi->setObjectName(QStringLiteral("soloConRilievi"));
    conRilievi->setToolTip(QStringLiteral("Solo le fatture in cui i controlli dello SdI hanno trovato qualcosa"));
    alto->addWidget(conRilievi);

    modello_ = new ModelloArchivio(this);
    filtro_ = new FiltroArchivio(this);
    filtro_->setSourceModel(modello_);
    tabella_ = new QTableView(this);
    tabella_->setObjectName(QStringLiteral("tabella"));
    tabella_->setModel(filtro_);
    tabella_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabella_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabella_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella_->setAlternatingRowColors(true);
    tabella_->setWordWrap(false);
    tabella_->verticalHeader()->hide();
    tabella_->verticalHeader()->setDefaultSectionSize(tabella_->fontMetrics().height() + 6);
    // Kept in the order of the reading (by path, then body) until a column is chosen.
    tabella_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tabella_->setSortingEnabled(true);
    for (int c = 0; c < ModelloArchivio::NumeroColonne; ++c)
        tabella_->setColumnWidth(c, ModelloArchivio::definizione(c).larghezza);
    auto *nome = new NomeAccorciato(tabella_);
    for (int c : { ModelloArchivio::File, ModelloArchivio::Zip })
        tabella_->setItemDelegateForColumn(c, nome);

    // Below the table, one tab each: the files that are not invoices, the
    // exchange system's messages (each opened like any file), the VAT summary.
    scartiLista_ = new QTreeWidget(this);
    scartiLista_->setObjectName(QStringLiteral("scarti"));
    scartiLista_->setHeaderLabels({ QStringLiteral("File"), QStringLiteral("Motivo") });
    scartiLista_->setRootIsDecorated(false);
    scartiLista_->setColumnWidth(0, 360);
    messaggiLista_ = new QTreeWidget(this);
    messaggiLista_->setObjectName(QStringLiteral("messaggi"));
    messaggiLista_->setHeaderLabels({ QStringLiteral("Tipo"), QStringLiteral("File"),
        QStringLiteral("Identificativo SdI"), QStringLiteral("Data"), QStringLiteral("Fattura") });
    messaggiLista_->setRootIsDecorated(false);
    messaggiLista_->setColumnWidth(0, 260);
    messaggiLista_->setColumnWidth(1, 300);
    riepilogo_ = new PannelloRiepilogoIva(this);
    schede_ = new QTabWidget(this);
    schede_->setObjectName(QStringLiteral("schede"));
    schede_->addTab(scartiLista_, QStringLiteral("File che non sono fatture (0)"));
    schede_->addTab(messaggiLista_, QStringLiteral("Messaggi SdI (0)"));
    schede_->setTabToolTip(
        1, QStringLiteral("Le ricevute e le notifiche del Sistema di Interscambio; doppio clic per aprirne una"));
    schede_->addTab(riepilogo_, QStringLiteral("Riepilogo IVA"));
    schede_->setTabToolTip(
        2, QStringLiteral("Imponibile e imposta delle fatture mostrate, per aliquota, natura ed esigibilità"));
    auto *divisore = new QSplitter(Qt::Vertical, this);
    divisore->addWidget(tabella_);
    divisore->addWidget(schede_);
    divisore->setStretchFactor(0, 3);
    divisore->setStretchFactor(1, 1);

    totali_ = new QLabel(this);
    totali_->setObjectName(QStringLiteral("totali"));
    totali_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // However long the totals (many currencies), the window keeps its width.
    totali_->setWordWrap(true);
    totali_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    esito_ = new QLabel(this);
    esito_->setObjectName(QStringLiteral("esito"));
    esito_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    esito_->setWordWrap(true);
    esito_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    esito_->hide();
    avanzamento_ = new QProgressBar(this);
    avanzamento_->setObjectName(QStringLiteral("avanzamento"));
    avanzamento_->setFormat(QStringLiteral("%v di %m"));
    avanzamento_->hide();
    btnEsportaCsv_ = new QPushButton(QStringLiteral("Esporta CSV"), this);
    btnEsportaCsv_->setObjectName(QStringLiteral("btnEsportaCsv"));
    btnEsportaCsv_->setToolTip(QStringLiteral("Le fatture mostrate, una per riga"));
    btnEsportaLinee_ = new QPushButton(QStringLiteral("Esporta righe CSV"), this);
    btnEsportaLinee_->setObjectName(QStringLiteral("btnEsportaLinee"));
    btnEsportaLinee_->setToolTip(QStringLiteral("Le linee delle fatture mostrate, una per riga"));
    auto *btnChiudi = new QPushButton(QStringLiteral("Chiudi"), this);
    auto *basso = new QHBoxLayout;
    basso->addWidget(totali_, 1);
    basso->addWidget(avanzamento_);
    basso->addWidget(btnEsportaCsv_);
    basso->addWidget(btnEsportaLinee_);
    basso->addWidget(btnChiudi);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(alto);
    layout->addWidget(divisore, 1);
    layout->addLayout(basso);
    layout->addWidget(esito_);

    connect(btnCartella, &QPushButton::clicked, this, &FinestraArchivio::btnCartellaClick);
    connect(btnZip, &QPushButton::clicked, this, &FinestraArchivio::btnZipClick);
    connect(btnEsportaCsv_, &QPushButton::clicked, this, &FinestraArchivio::btnEsportaCsvClick);
    connect(btnEsportaLinee_, &QPushButton::clicked, this, &FinestraArchivio::btnEsportaLineeClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QWidget::close);
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);
    connect(riepilogo_, &PannelloRiepilogoIva::partitaCambiata, this, &FinestraArchivio::aggiornaRiepilogo);
    connect(riepilogo_, &PannelloRiepilogoIva::esportaRichiesto, this, &FinestraArchivio::btnEsportaRiepilogoClick);
    connect(schede_, &QTabWidget::currentChanged, this, &FinestraArchivio::aggiornaRiepilogo);
    connect(cerca_, &QLineEdit::textChanged, filtro_, &FiltroArchivio::cerca);
    connect(scartate, &QCheckBox::toggled, filtro_, &FiltroArchivio::soloScartate);
    connect(conRilievi, &QCheckBox::toggled, filtro_, &FiltroArchivio::soloConRilievi);
    connect(messaggiLista_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *voce) {
        RigaArchivio origine; // the open needs only where the bytes are
        origine.file = voce->data(0, Qt::UserRole).toString();
        origine.voci = voce->data(1, Qt::UserRole).toStringList();
        apri_(origine);
    });
    // Double click, and Enter, on a row.
    connect(tabella_, &QTableView::activated, this, &FinestraArchivio::apriRiga);
    for (auto segnale : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(filtro_, segnale, this, &FinestraArchivio::aggiornaTotali);
    connect(filtro_, &QAbstractItemModel::modelReset, this, &FinestraArchivio::aggiornaTotali);
    connect(filtro_, &QAbstractItemModel::layoutChanged, this, &FinestraArchivio::aggiornaTotali);
    aggiornaTotali();
}

FinestraArchivio::~FinestraArchivio()
{
    ferma();
}

void FinestraArchivio::ferma()
{
    if (lettore_.joinable()) {
        lettore_.request_stop();
        lettore_.join();
    }
    finita_ = true;
    if (esportazione_) {
        esportazione_ = false;
        emit esportazioneFinita();
    }
}

// While the lines are exported the exports wait and the progress shows.
void FinestraArchivio::occupata(bool occupata)
{
    if (occupata) {
        avanzamento_->setRange(0, 0);
        avanzamento_->show();
    } else {
        avanzamento_->hide();
    }
    btnEsportaCsv_->setEnabled(!occupata);
    btnEsportaLinee_->setEnabled(!occupata);
}

void FinestraArchivio::leggi(const QStringList &percorsi)
{
    ferma();
    ++generazione_;
    finita_ = false;
    scarti_ = 0;
    const QFileInfo primo(percorsi.value(0));
    radice_ = percorsi.size() == 1 ? QDir::cleanPath(primo.isDir() ? primo.filePath() : primo.path()) : QString();
    modello_->svuota(radice_);
    scartiLista_->clear();
    schede_->setTabText(0, QStringLiteral("File che non sono fatture (0)"));
    messaggiLista_->clear();
    schede_->setTabText(1, QStringLiteral("Messaggi SdI (0)"));
    esito_->hide();
    setWindowTitle(QStringLiteral("Archivio fatture - ") + percorsi.join(QStringLiteral(", ")));
    if (!primo.filePath().isEmpty()) {
        cartella_ = QDir::cleanPath(primo.isDir() ? primo.absoluteFilePath() : primo.absolutePath());
        emit cartellaLetta(cartella_);
    }
    occupata(true);
    const int generazione = generazione_;
    lettore_ = std::jthread([this, percorsi, generazione, elenchi = elenchi_, schemi = schemi_](std::stop_token stop) {
        OpzioniArchivio opzioni;
        opzioni.stop = stop;
        opzioni.elenchi = elenchi.get();
        opzioni.adesso = QDateTime::currentDateTimeUtc();
        opzioni.aliquote = true;
        // Compiled here at the first reading of the run, off the window's thread.
        opzioni.schemi = schemi ? &schemi->schemi() : nullptr;
        opzioni.oggi = QDate::currentDate();
        Ponte ponte(*this, generazione);
        LeggiArchivio(percorsi, opzioni, ponte);
        ponte.invia(true);
    });
}

void FinestraArchivio::ricevi(Pacchetto &p)
{
    if (p.generazione != generazione_)
        return; // from a reading that was replaced
    modello_->aggiungi(std::move(p.righe));
    for (const auto &[riga, sdi] : p.sdi)
        modello_->impostaSdi(riga, sdi);
    for (const auto &[riga, stato, messaggi] : p.stati)
        modello_->impostaStatoSdi(riga, stato, messaggi);
    aggiungiMessaggi(p.messaggi);
    for (const FileNonFattura &f : p.scarti) {
        auto *voce = new QTreeWidgetItem(scartiLista_, { mostrato(radice_, f.file, f.voci), f.motivo });
        voce->setToolTip(0, NomeOrigine(f.file, f.voci));
        voce->setToolTip(1, f.motivo);
        ++scarti_;
    }
    schede_->setTabText(0, QStringLiteral("File che non sono fatture (%1)").arg(scarti_));
    if (p.trovati > 0) {
        avanzamento_->setRange(0, static_cast<int>(p.trovati));
        avanzamento_->setValue(static_cast<int>(p.fatti));
    }
    if (p.fine) {
        finita_ = true;
        occupata(false);
        emit letturaFinita();
    }
}

void FinestraArchivio::aggiungiMessaggi(const MessaggiArchivio &messaggi)
{
    for (const MessaggioArchivio &m : messaggi) {
        const MessaggioSdI &sdi = m.messaggio;
        const QString tipo = sdi.sigla().isEmpty() ? sdi.descrizioneTipo() : sdi.sigla() + u' ' + sdi.descrizioneTipo();
        const QString fattura = m.riga >= 0
            ? mostrato(radice_, modello_->riga(int(m.riga)).file, modello_->riga(int(m.riga)).voci)
            : sdi.nomeFile.isEmpty() ? QStringLiteral("nessuna fattura dell'archivio")
                                     : QStringLiteral("nessuna fattura dell'archivio: %1").arg(sdi.nomeFile);
        auto *voce = new QTreeWidgetItem(
            messaggiLista_, { tipo, mostrato(radice_, m.file, m.voci), sdi.identificativoSdI, sdi.dataOra(), fattura });
        voce->setData(0, Qt::UserRole, m.file);
        voce->setData(1, Qt::UserRole, m.voci);
        voce->setToolTip(1, NomeOrigine(m.file, m.voci));
        voce->setToolTip(4, fattura);
    }
    schede_->setTabText(1, QStringLiteral("Messaggi SdI (%1)").arg(messaggiLista_->topLevelItemCount()));
}

void FinestraArchivio::aggiornaTotali()
{
    // Rows come in bunches and the filter changes at each key: one sum per turn.
    if (totaliInAttesa_)
        return;
    totaliInAttesa_ = true;
    QTimer::singleShot(0, this, [this] {
        totaliInAttesa_ = false;
        Totali t;
        for (int i = 0; i < filtro_->rowCount(); ++i)
            t.aggiungi(filtro_->riga(i));
        QString testo = filtro_->rowCount() == modello_->rowCount()
            ? (t.righe == 1 ? QStringLiteral("1 fattura") : QStringLiteral("%1 fatture").arg(t.righe))
            : (t.righe == 1 ? QStringLiteral("1 fattura mostrata su %1")
                            : QStringLiteral("%1 fatture mostrate su %2").arg(t.righe))
                  .arg(modello_->rowCount());
        for (const auto &[valuta, v] : t.valute)
            testo += QStringLiteral("   %1: imponibile %2, imposta %3, totale %4")
                         .arg(valuta.isEmpty() ? QStringLiteral("senza valuta") : valuta,
                             FormatoCentesimi(v.imponibile, u',', true), FormatoCentesimi(v.imposta, u',', true),
                             FormatoCentesimi(v.totale, u',', true));
        if (!t.nonSommate.isEmpty())
            testo += QStringLiteral("   (") + TestoNonSommate(t.nonSommate.size()) + u')';
        totali_->setText(testo);
        totali_->setToolTip(
            t.nonSommate.isEmpty() ? QString() : QStringLiteral("Non sommate:\n") + t.nonSommate.join(u'\n'));
        aggiornaRiepilogo();
    });
}

// Summed only while its tab is shown: the rows come in bunches.
void FinestraArchivio::aggiornaRiepilogo()
{
    if (schede_->currentWidget() == riepilogo_)
        riepilogo_->aggiorna(righeMostrate());
}

void FinestraArchivio::apriRiga(const QModelIndex &indice)
{
    if (indice.isValid())
        apri_(filtro_->riga(indice.row()));
}

std::vector<const RigaArchivio *> FinestraArchivio::righeMostrate() const
{
    std::vector<const RigaArchivio *> righe;
    for (int i = 0; i < filtro_->rowCount(); ++i)
        righe.push_back(&filtro_->riga(i));
    return righe;
}

void FinestraArchivio::esporta(
    const QString &titolo, const QString &nome, const std::function<QByteArray()> &csv, const QString &cosa)
{
    const ImpostazioniDialogo impostazioni { radice_.isEmpty() ? cartella_ : radice_, QStringLiteral("csv"),
        QStringLiteral("CSV (.csv)|*.csv"), titolo };
    const QString scelto = dialoghi_.scegliFileDaSalvare(this, impostazioni, nome);
    if (trimControls(scelto).isEmpty())
        return;
    try {
        writeFileAtomically(scelto, csv());
        esportato(cosa, scelto);
    } catch (const Exception &e) {
        dialoghi_.errore(this, testoErrore(e.message()));
    }
}

// A short word under the buttons: what was written, and where.
void FinestraArchivio::esportato(const QString &cosa, const QString &file)
{
    esito_->setText(QStringLiteral("Esportato: %1 in %2").arg(cosa, QDir::toNativeSeparators(file)));
    esito_->show();
}

void FinestraArchivio::btnEsportaCsvClick()
{
    const std::vector<const RigaArchivio *> righe = righeMostrate();
    esporta(
        QStringLiteral("Esporta CSV"), QStringLiteral("fatture.csv"), [&righe] { return CsvRighe(righe); },
        righe.size() == 1 ? QStringLiteral("1 fattura") : QStringLiteral("%1 fatture").arg(righe.size()));
}

void FinestraArchivio::btnEsportaRiepilogoClick()
{
    riepilogo_->aggiorna(righeMostrate());
    esporta(
        QStringLiteral("Esporta riepilogo IVA"), QStringLiteral("riepilogo-iva.csv"),
        [this] { return CsvRiepilogoIva(riepilogo_->voci()); }, QStringLiteral("il riepilogo IVA"));
}

void FinestraArchivio::btnEsportaLineeClick()
{
    const ImpostazioniDialogo impostazioni { radice_.isEmpty() ? cartella_ : radice_, QStringLiteral("csv"),
        QStringLiteral("CSV (.csv)|*.csv"), QStringLiteral("Esporta righe CSV") };
    const QString scelto = dialoghi_.scegliFileDaSalvare(this, impostazioni, QStringLiteral("righe.csv"));
    if (trimControls(scelto).isEmpty())
        return;
    // The rows shown, by source and body; their files read again for the lines.
    const auto chiave
        = [](const RigaArchivio &r) { return NomeOrigine(r.file, r.voci) + u'#' + QString::number(r.corpo); };
    QStringList chiavi;
    QStringList file;
    OpzioniArchivio opzioni;
    opzioni.linee = true;
    for (const RigaArchivio *r : righeMostrate()) {
        chiavi << chiave(*r);
        opzioni.solo.insert(NomeOrigine(r->file, r->voci));
        if (file.isEmpty() || file.last() != r->file)
            file << r->file;
    }
    file.removeDuplicates();
    ferma();
    esportazione_ = true;
    occupata(true);
    const int generazione = ++generazione_;
    lettore_ = std::jthread([this, file, chiavi, chiave, opzioni, scelto, generazione](std::stop_token stop) mutable {
        opzioni.stop = stop;
        RaccoltaArchivio raccolta;
        Avanzamento avanzamento(avanzamento_, raccolta);
        LeggiArchivio(file, opzioni, avanzamento);
        if (stop.stop_requested())
            return; // a new reading took its place: nothing is written
        QHash<QString, const RigaArchivio *> lette;
        for (const RigaArchivio &r : raccolta.tutte)
            lette.insert(chiave(r), &r);
        std::vector<const RigaArchivio *> conLinee;
        for (const QString &c : chiavi)
            if (const RigaArchivio *letta = lette.value(c))
                conLinee.push_back(letta);
        auto esito = std::make_shared<Esportazione>();
        esito->generazione = generazione;
        esito->file = scelto;
        for (const RigaArchivio *r : conLinee)
            esito->linee += static_cast<qsizetype>(r->linee.size());
        for (const FileNonFattura &f : raccolta.nonFatture)
            esito->scarti << NomeOrigine(f.file, f.voci) + QStringLiteral(": ") + f.motivo;
        try {
            writeFileAtomically(scelto, CsvLinee(conLinee));
        } catch (const Exception &e) {
            esito->errore = testoErrore(e.message());
        }
        QMetaObject::invokeMethod(
            this, [this, esito] { esportata(*esito); }, Qt::QueuedConnection);
    });
}

void FinestraArchivio::esportata(const Esportazione &esito)
{
    if (esito.generazione != generazione_ || !esportazione_)
        return;
    esportazione_ = false;
    occupata(false);
    if (!esito.scarti.isEmpty())
        dialoghi_.messaggio(this,
            QStringLiteral("Le righe di questi file non si leggono più e non sono esportate:\n")
                + esito.scarti.join(u'\n'));
    if (!esito.errore.isEmpty())
        dialoghi_.errore(this, esito.errore);
    else
        esportato(
            esito.linee == 1 ? QStringLiteral("1 riga") : QStringLiteral("%1 righe").arg(esito.linee), esito.file);
    emit esportazioneFinita();
}

void FinestraArchivio::btnCartellaClick()
{
    const QString scelta = dialoghi_.scegliCartella(this, cartella_, QStringLiteral("Cartella di fatture"));
    if (!trimControls(scelta).isEmpty())
        leggi({ scelta });
}

void FinestraArchivio::btnZipClick()
{
    const ImpostazioniDialogo impostazioni { cartella_, QStringLiteral("zip"), kFiltroArchivi,
        QStringLiteral("Archivio ZIP di fatture") };
    const QString scelto = dialoghi_.scegliFile(this, impostazioni);
    if (!trimControls(scelto).isEmpty())
        leggi({ scelto });
}

void FinestraArchivio::closeEvent(QCloseEvent *event)
{
    ferma();
    QWidget::closeEvent(event);
}

void FinestraArchivio::dragEnterEvent(QDragEnterEvent *event)
{
    if (percorsiTrascinati(event->mimeData()).isEmpty())
        return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FinestraArchivio::dropEvent(QDropEvent *event)
{
    const QStringList percorsi = percorsiTrascinati(event->mimeData());
    if (percorsi.isEmpty())
        return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        this, [this, percorsi] { leggi(percorsi); }, Qt::QueuedConnection);
}

QString ArchivioTrascinato(const QMimeData *data)
{
    const QStringList percorsi = percorsiTrascinati(data);
    if (percorsi.isEmpty())
        return QString();
    const QFileInfo info(percorsi.first());
    return info.isDir() || (info.isFile() && hasExtension(info.fileName(), u".zip")) ? percorsi.first() : QString();
}

AperturaArchivio::AperturaArchivio(QWidget *finestra, Dialoghi &dialoghi, const QString &cartella,
    std::function<void(const QString &)> apriFile, std::shared_ptr<ElencoPigro> elenchi,
    std::shared_ptr<SchemiPigri> schemi)
    : QObject(finestra)
    , principale_(finestra)
    , dialoghi_(dialoghi)
    , cartella_(cartella)
    , apriFile_(std::move(apriFile))
    , elenchi_(std::move(elenchi))
    , schemi_(std::move(schemi))
{
}

AperturaArchivio::~AperturaArchivio() = default;

FinestraArchivio &AperturaArchivio::mostra()
{
    if (!finestra_) {
        finestra_ = new FinestraArchivio(
            principale_, dialoghi_, ultima_.isEmpty() ? cartella_ : ultima_, [this](const RigaArchivio &r) { apri(r); },
            elenchi_, schemi_);
        finestra_->setAttribute(Qt::WA_DeleteOnClose);
        connect(finestra_, &FinestraArchivio::cartellaLetta, this, [this](const QString &c) { ultima_ = c; });
        // Centred over the main window, inside the screen (and no wider than it).
        const QScreen *schermo = principale_->screen();
        const QRect area = schermo != nullptr ? schermo->availableGeometry() : QRect();
        if (area.isValid())
            finestra_->resize(finestra_->size().boundedTo(area.size()));
        QRect dove(QPoint(), finestra_->size());
        dove.moveCenter(principale_->frameGeometry().center());
        if (area.isValid()) {
            dove.moveLeft(std::clamp(dove.left(), area.left(), std::max(area.left(), area.right() - dove.width())));
            dove.moveTop(std::clamp(dove.top(), area.top(), std::max(area.top(), area.bottom() - dove.height())));
        }
        finestra_->move(dove.topLeft());
    }
    finestra_->show();
    finestra_->raise();
    finestra_->activateWindow();
    return *finestra_;
}

void AperturaArchivio::apri(const RigaArchivio &riga)
{
    QString percorso = riga.file;
    try {
        if (!riga.voci.isEmpty()) {
            // The open flow reads files: the entry is written, under its plain
            // name, into a folder of its own inside the private folder.
            if (!privata_) {
                privata_
                    = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lentiva-archivio-XXXXXX"));
                if (!privata_->isValid())
                    throw Exception(QStringLiteral("Cartella temporanea non disponibile: ") + privata_->errorString());
            }
            const QString nome = plainFileName(riga.voci.last());
            const QString cartella = privata_->path() + u'/' + QString::number(++aperte_);
            if (!forceDirectories(cartella))
                throw Exception(QStringLiteral("Cartella temporanea non disponibile: ") + cartella);
            percorso = cartella + u'/' + (nome.isEmpty() ? QStringLiteral("fattura.xml") : nome);
            writeFileAtomically(percorso, LeggiOrigine(riga.file, riga.voci));
        }
    } catch (const Exception &e) {
        dialoghi_.errore(finestra_, testoErrore(e.message()));
        return;
    }
    apriFile_(percorso);
    principale_->raise();
    principale_->activateWindow();
}
