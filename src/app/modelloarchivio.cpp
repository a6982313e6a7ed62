// The archive's rows as a sortable, searchable table.
#include "app/modelloarchivio.h"

#include <QColor>
#include <QDir>
#include <limits>

namespace {
const char *const kIntestazioni[] = { "File", "Voce", "Corpo", "Formato", "Tipo", "Descrizione tipo", "Numero", "Data",
    "Cedente/Prestatore", "P.IVA/C.F. cedente", "Cessionario/Committente", "P.IVA/C.F. cessionario", "Valuta",
    "Imponibile", "Imposta", "Totale", "Da pagare", "Allegati", "Firma", "Identificativo SdI", "Stato SdI" };
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
    case StatoSdi:
        return QString::fromUtf8(aspetto(r.statoSdi).parola);
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
             CessionarioId, Valuta, Firma, Sdi, StatoSdi })
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
        if (c == StatoSdi && !r.messaggi.isEmpty())
            return QStringLiteral("Messaggi SdI: ") + r.messaggi.join(QStringLiteral(", "));
        return c == File ? QVariant(r.file) : QVariant();
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
        if (c != StatoSdi || r.statoSdi.isEmpty())
            return QVariant();
        return role == Qt::BackgroundRole ? aspetto(r.statoSdi).sfondo : aspetto(r.statoSdi).scritta;
    case Qt::TextAlignmentRole:
        return i != nullptr || c == Corpo || c == Allegati ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case RuoloOrdine:
        if (i != nullptr) // amounts that are not numbers come first
            return i->numero() ? i->valore() : std::numeric_limits<qint64>::min();
        if (c == Corpo)
            return r.corpo;
        if (c == Allegati)
            return r.allegati;
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

void FiltroArchivio::soloScartate(bool solo)
{
    soloScartate_ = solo;
    invalidateFilter();
}

const RigaArchivio &FiltroArchivio::riga(int rigaMostrata) const
{
    return static_cast<const ModelloArchivio *>(sourceModel())->riga(mapToSource(index(rigaMostrata, 0)).row());
}

bool FiltroArchivio::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *modello = static_cast<const ModelloArchivio *>(sourceModel());
    if (soloScartate_ && modello->riga(sourceRow).statoSdi != QLatin1String("scartata"))
        return false;
    const QString &testo = static_cast<const ModelloArchivio *>(sourceModel())->testoRicerca(sourceRow);
    for (const QString &parola : parole_)
        if (!testo.contains(parola))
            return false;
    return true;
}
