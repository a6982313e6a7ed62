// The archive's rows as a sortable, searchable table.
#include "app/modelloarchivio.h"

#include <QDir>
#include <limits>

namespace {
const char *const kIntestazioni[] = { "File", "Voce", "Corpo", "Formato", "Tipo", "Descrizione tipo", "Numero", "Data",
    "Cedente/Prestatore", "P.IVA/C.F. cedente", "Cessionario/Committente", "P.IVA/C.F. cessionario", "Valuta",
    "Imponibile", "Imposta", "Totale", "Da pagare", "Allegati", "Firma", "Identificativo SdI", "Controlli" };
static_assert(std::size(kIntestazioni) == ModelloArchivio::NumeroColonne);

const Importo *importo(const RigaArchivio &r, int colonna)
{
    switch (colonna) {
    case ModelloArchivio::Imponibile:
        return &r.imponibile;
    case ModelloArchivio::Imposta:
        return &r.imposta;
    case ModelloArchivio::Totale:
        return &r.totale;
    case ModelloArchivio::DaPagare:
        return &r.daPagare;
    default:
        return nullptr;
    }
}

// Several values of one body (joined by CR LF) on one line, as the main
// window's fields show them.
QString suUnaRiga(QString testo)
{
    return testo.replace(QLatin1String("\r\n"), QLatin1String(" | "));
}
} // namespace

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

int ModelloArchivio::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(righe_.size());
}

int ModelloArchivio::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : NumeroColonne;
}

QString ModelloArchivio::testo(const RigaArchivio &r, int colonna) const
{
    switch (colonna) {
    case File:
        return !radice_.isEmpty() && r.file.startsWith(radice_ + u'/') ? r.file.mid(radice_.size() + 1) : r.file;
    case Voce:
        return r.voce();
    case Corpo:
        return QString::number(r.corpo);
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
        return QString::number(r.allegati);
    case Firma:
        return r.firma;
    case Sdi:
        return r.sdi;
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
    for (int c : { File, Voce, Formato, Tipo, DescrizioneTipo, Numero, Data, Cedente, CedenteId, Cessionario,
             CessionarioId, Valuta, Firma, Sdi })
        t += testo(r, c) + u'\n';
    return (t + r.data).toLower();
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
    case Qt::ToolTipRole:
        if (c == Controlli && r.controlli >= 0)
            return QStringLiteral("Rilievi dei controlli dello SdI su questa fattura (corpo e testata): %1")
                .arg(r.controlli);
        return c == File ? QVariant(r.file) : QVariant();
    case Qt::TextAlignmentRole:
        return i != nullptr || c == Corpo || c == Allegati || c == Controlli
            ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
            : QVariant();
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
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < NumeroColonne)
        return QString::fromUtf8(kIntestazioni[section]);
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
    parole_ = testo.toLower().split(u' ', Qt::SkipEmptyParts);
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
    if (soloConRilievi_ && modello->riga(sourceRow).controlli <= 0)
        return false;
    const QString &testo = modello->testoRicerca(sourceRow);
    for (const QString &parola : parole_)
        if (!testo.contains(parola))
            return false;
    return true;
}
