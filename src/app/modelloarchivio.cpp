// The archive's rows as a sortable, searchable table.
#include "app/modelloarchivio.h"

#include "invoice/rendering.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <limits>

namespace {
using M = ModelloArchivio;

// Every column, in the order of the enumeration.
constexpr M::DefinizioneColonna kColonne[] = {
    { M::File, "File",
        "Il file della fattura, nella cartella aperta; per una fattura dentro un archivio ZIP, il suo nome "
        "nell'archivio. Il percorso completo è nel suggerimento della cella.",
        170, false },
    { M::Tipo, "Tipo", "Il tipo di documento: TD01 fattura, TD04 nota di credito, TD05 nota di debito e così via.", 45,
        false },
    { M::Numero, "Numero", "Il numero del documento, come lo scrive chi lo ha emesso.", 80, false },
    { M::Data, "Data", "La data del documento.", 78, false },
    { M::Cedente, "Cedente/Prestatore", "Chi ha emesso la fattura: il fornitore.", 140, false },
    { M::Cessionario, "Cessionario/Committente", "A chi è intestata la fattura: il cliente.", 120, false },
    { M::Imponibile, "Imponibile", "La somma degli imponibili del riepilogo IVA della fattura.", 92, true },
    { M::Imposta, "Imposta", "L'IVA della fattura: la somma delle imposte del suo riepilogo.", 82, true },
    { M::Totale, "Totale", "Il totale del documento; quando manca, imponibile più imposta.", 92, true },
    { M::Firma, "Firma",
        "La verifica della firma: Valida (verde), Non verificata (ambra: integra, ma il certificato o il "
        "certificatore non si possono confermare), Non valida (rosso: alterata o illeggibile), Assente (senza "
        "firma). Il motivo è nel suggerimento della cella.",
        100, false },
    { M::StatoSdi, "Stato SdI",
        "Che cosa dicono della fattura i messaggi del Sistema di Interscambio trovati accanto a lei: Consegnata, "
        "Scartata, Mancata consegna, Accettata, Rifiutata, Decorrenza termini, Non recapitabile. Vuoto quando "
        "nessun messaggio la nomina; l'elenco dei messaggi è nel suggerimento della cella.",
        100, false },
    { M::Controlli, "Controlli",
        "Quanti rilievi trovano i controlli dello SdI rifatti qui (schema e contenuto) sul corpo e sulla testata: 0 "
        "se la fattura li supererebbe; vuoto quando non si possono fare. L'elenco con le spiegazioni si vede "
        "aprendo la fattura.",
        60, true },
    { M::DaPagare, "Da pagare", "La somma dei pagamenti indicati nella fattura.", 95, true },
    { M::Valuta, "Valuta", "La valuta degli importi, per esempio EUR.", 50, false },
    { M::CedenteId, "P.IVA/C.F. cedente", "La partita IVA (con la sigla del paese) o il codice fiscale del fornitore.",
        120, false },
    { M::CessionarioId, "P.IVA/C.F. cessionario",
        "La partita IVA (con la sigla del paese) o il codice fiscale del cliente.", 120, false },
    { M::Zip, "Archivio ZIP", "L'archivio ZIP che contiene la fattura; vuoto per un file della cartella.", 160, false },
    { M::Corpo, "Corpo",
        "Quale documento del file: un file può contenerne più d'uno (un lotto), uno per corpo, e ognuno è una riga.",
        50, true },
    { M::Formato, "Formato",
        "Il formato di trasmissione: FPR12 fattura tra privati, FPA12 verso la pubblica amministrazione, FSM10 "
        "fattura semplificata.",
        60, false },
    { M::DescrizioneTipo, "Descrizione tipo", "Il tipo di documento a parole.", 140, false },
    { M::Allegati, "Allegati", "Quanti file sono allegati alla fattura.", 60, true },
    { M::Sdi, "Identificativo SdI",
        "Il numero che il Sistema di Interscambio ha dato alla fattura, preso dal file di metadati (_MT_) che la "
        "accompagna.",
        110, false },
};
static_assert(std::size(kColonne) == M::NumeroColonne);

constexpr bool inOrdine()
{
    for (int i = 0; i < M::NumeroColonne; ++i)
        if (kColonne[i].colonna != i)
            return false;
    return true;
}
static_assert(inOrdine(), "the columns' table follows the enumeration");

const Importo *importo(const RigaArchivio &r, int colonna)
{
    switch (colonna) {
    case M::Imponibile:
        return &r.imponibile;
    case M::Imposta:
        return &r.imposta;
    case M::Totale:
        return &r.totale;
    case M::DaPagare:
        return &r.daPagare;
    default:
        return nullptr;
    }
}

// The fate in words, and its colours (the signature panel's: green, amber,
// red, grey).
struct AspettoStato {
    const char *parola;
    QColor sfondo;
    QColor scritta;
};

AspettoStato aspetto(const QString &stato)
{
    const QColor verde(0x2e, 0x7d, 0x32), ambra(0xff, 0xb3, 0x00), rosso(0xc6, 0x28, 0x28), grigio(0xbd, 0xbd, 0xbd);
    const struct {
        const char *stato;
        AspettoStato aspetto;
    } tabella[] = {
        { "consegnata", { "Consegnata", verde, Qt::white } },
        { "accettata", { "Accettata", verde, Qt::white } },
        { "scartata", { "Scartata", rosso, Qt::white } },
        { "rifiutata", { "Rifiutata", rosso, Qt::white } },
        { "mancata_consegna", { "Mancata consegna", ambra, Qt::black } },
        { "non_recapitabile", { "Non recapitabile", ambra, Qt::black } },
        { "decorrenza_termini", { "Decorrenza termini", grigio, Qt::black } },
    };
    for (const auto &t : tabella)
        if (stato == QLatin1String(t.stato))
            return t.aspetto;
    return { "", QColor(), QColor() };
}

// Several values of one body (joined by CR LF) on one line, as the main
// window's fields show them.
QString suUnaRiga(QString testo)
{
    return testo.replace(QLatin1String("\r\n"), QLatin1String(" | "));
}

// The colours of the main window's signature panel: background and text.
std::pair<QColor, QColor> coloriEsito(const QString &parola)
{
    if (parola == QLatin1String("valida"))
        return { QColor(0x2e, 0x7d, 0x32), Qt::white };
    if (parola == QLatin1String("non_verificata"))
        return { QColor(0xff, 0xb3, 0x00), Qt::black };
    if (parola == QLatin1String("non_valida"))
        return { QColor(0xc6, 0x28, 0x28), Qt::white };
    return { QColor(), QColor(0x75, 0x75, 0x75) };
}
} // namespace

const ModelloArchivio::DefinizioneColonna &ModelloArchivio::definizione(int colonna)
{
    return kColonne[colonna];
}

QString EsitoInParole(const QString &parola)
{
    if (parola.isEmpty())
        return QString();
    QString t = parola;
    t.replace(u'_', u' ');
    t[0] = t[0].toUpper();
    return t;
}

ModelloArchivio::ModelloArchivio(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ModelloArchivio::svuota(const QString &radice)
{
    beginResetModel();
    radice_ = radice;
    righe_.clear();
    ricerca_.clear();
    endResetModel();
}

void ModelloArchivio::aggiungi(std::vector<RigaArchivio> &&righe)
{
    if (righe.empty())
        return;
    const int primo = rowCount();
    beginInsertRows(QModelIndex(), primo, primo + static_cast<int>(righe.size()) - 1);
    for (RigaArchivio &r : righe)
        righe_.push_back(std::move(r));
    ricerca_.resize(righe_.size()); // made when a search first needs them
    endInsertRows();
}

void ModelloArchivio::impostaSdi(qsizetype riga, const QString &sdi)
{
    if (riga < 0 || riga >= rowCount())
        return;
    RigaArchivio &r = righe_[static_cast<size_t>(riga)];
    r.sdi = sdi;
    ricerca_[static_cast<size_t>(riga)].clear();
    const QModelIndex cella = index(static_cast<int>(riga), Sdi);
    emit dataChanged(cella, cella);
}

void ModelloArchivio::impostaStatoSdi(qsizetype riga, const QString &stato, const QStringList &messaggi)
{
    if (riga < 0 || riga >= rowCount())
        return;
    RigaArchivio &r = righe_[static_cast<size_t>(riga)];
    r.statoSdi = stato;
    r.messaggi = messaggi;
    ricerca_[static_cast<size_t>(riga)].clear();
    const QModelIndex cella = index(static_cast<int>(riga), StatoSdi);
    emit dataChanged(cella, cella);
}

int ModelloArchivio::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(righe_.size());
}

int ModelloArchivio::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : NumeroColonne;
}

QString ModelloArchivio::relativo(const QString &file) const
{
    return !radice_.isEmpty() && file.startsWith(radice_ + u'/') ? file.mid(radice_.size() + 1) : file;
}

QString ModelloArchivio::testo(const RigaArchivio &r, int colonna) const
{
    switch (colonna) {
    case File:
        return r.voci.isEmpty() ? relativo(r.file) : r.voce();
    case Zip:
        return r.voci.isEmpty() ? QString() : relativo(r.file);
    case Corpo:
        return r.illeggibile.isEmpty() ? QString::number(r.corpo) : QString();
    case Formato:
        return r.formato;
    case Tipo:
        return suUnaRiga(r.tipoDocumento);
    case DescrizioneTipo:
        return r.descrizioneTipo;
    case Numero:
        return suUnaRiga(r.numero);
    case Data:
        return suUnaRiga(DataItaliana(r.data));
    case Cedente:
        return suUnaRiga(r.cedente);
    case CedenteId:
        return r.cedenteId;
    case Cessionario:
        return r.cessionario;
    case CessionarioId:
        return r.cessionarioId;
    case Valuta:
        return r.valuta;
    case Allegati:
        return r.illeggibile.isEmpty() ? QString::number(r.allegati) : QString();
    case Firma:
        return EsitoInParole(r.firma);
    case Sdi:
        return r.sdi;
    case StatoSdi:
        return QString::fromUtf8(aspetto(r.statoSdi).parola);
    case Controlli:
        return r.controlli < 0 ? QString() : QString::number(r.controlli);
    default:
        return importo(r, colonna)->italiano();
    }
}

const QString &ModelloArchivio::testoRicerca(int r) const
{
    QString &t = ricerca_[static_cast<size_t>(r)];
    if (t.isEmpty())
        t = ricercaDi(righe_[static_cast<size_t>(r)]);
    return t;
}

QString ModelloArchivio::ricercaDi(const RigaArchivio &r) const
{
    QString t;
    for (int c = 0; c < NumeroColonne; ++c)
        t += testo(r, c) + u'\n';
    for (const Importo *i : { &r.imponibile, &r.imposta, &r.totale, &r.daPagare })
        if (i->numero() && (i->valore() >= 100000 || i->valore() <= -100000))
            t += i->conVirgola() + u'\n';
    return PiegaPerRicerca(t + r.data);
}

QVariant ModelloArchivio::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const RigaArchivio &r = riga(index.row());
    const int c = index.column();
    const Importo *i = importo(r, c);
    switch (role) {
    case Qt::DisplayRole:
        return testo(r, c);
    case Qt::ToolTipRole: {
        QStringList righe;
        if (c == File || c == Zip)
            righe << NomeOrigine(r.file, r.voci);
        if (c == Firma && !r.motivoFirma.isEmpty())
            righe << r.motivoFirma;
        if (c == StatoSdi && !r.messaggi.isEmpty())
            righe << QStringLiteral("Messaggi SdI: ") + r.messaggi.join(QStringLiteral(", "));
        if (c == Controlli && r.controlli >= 0)
            righe << QStringLiteral("Rilievi dei controlli dello SdI su questa fattura (corpo e testata): %1")
                         .arg(r.controlli);
        if (!r.illeggibile.isEmpty())
            righe << r.illeggibile;
        return righe.isEmpty() ? QVariant() : QVariant(righe.join(u'\n'));
    }
    case Qt::TextAlignmentRole:
        return kColonne[c].destra ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::BackgroundRole:
        if (c == Firma && coloriEsito(r.firma).first.isValid())
            return QBrush(coloriEsito(r.firma).first);
        if (c == StatoSdi && aspetto(r.statoSdi).sfondo.isValid())
            return QBrush(aspetto(r.statoSdi).sfondo);
        return QVariant();
    case Qt::ForegroundRole:
        if (c == StatoSdi && !r.statoSdi.isEmpty())
            return QBrush(aspetto(r.statoSdi).scritta);
        return c == Firma && !r.firma.isEmpty() ? QVariant(QBrush(coloriEsito(r.firma).second)) : QVariant();
    case Qt::FontRole:
        if (!r.illeggibile.isEmpty()) {
            QFont f;
            f.setItalic(true);
            return f;
        }
        return QVariant();
    case RuoloOrdine:
        if (i != nullptr) // amounts that are not numbers come first
            return i->numero() ? i->valore() : std::numeric_limits<qint64>::min();
        if (c == Corpo)
            return r.corpo;
        if (c == Allegati)
            return r.allegati;
        if (c == Controlli) // not checked first
            return r.controlli;
        if (c == Data)
            return r.data;
        return testo(r, c);
    default:
        return QVariant();
    }
}

QVariant ModelloArchivio::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < NumeroColonne) {
        if (role == Qt::DisplayRole)
            return QString::fromUtf8(kColonne[section].intestazione);
        if (role == Qt::ToolTipRole)
            return QString::fromUtf8(kColonne[section].suggerimento);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

FiltroArchivio::FiltroArchivio(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(ModelloArchivio::RuoloOrdine);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

void FiltroArchivio::cerca(const QString &testo)
{
    parole_ = PiegaPerRicerca(testo).split(u' ', Qt::SkipEmptyParts);
    invalidateFilter();
}

void FiltroArchivio::soloScartate(bool solo)
{
    soloScartate_ = solo;
    invalidateFilter();
}

const RigaArchivio &FiltroArchivio::riga(int rigaMostrata) const
{
    return static_cast<const ModelloArchivio *>(sourceModel())->riga(mapToSource(index(rigaMostrata, 0)).row());
}

void FiltroArchivio::soloConRilievi(bool solo)
{
    soloConRilievi_ = solo;
    invalidateFilter();
}

bool FiltroArchivio::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *modello = static_cast<const ModelloArchivio *>(sourceModel());
    if (soloScartate_ && modello->riga(sourceRow).statoSdi != QLatin1String("scartata"))
        return false;
    if (soloConRilievi_ && modello->riga(sourceRow).controlli <= 0)
        return false;
    if (parole_.isEmpty())
        return true; // the search text is made only when a search needs it
    const QString &testo = modello->testoRicerca(sourceRow);
    for (const QString &parola : parole_)
        if (!testo.contains(parola))
            return false;
    return true;
}
