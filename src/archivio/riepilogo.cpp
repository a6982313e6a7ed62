// The VAT summary summed exactly, row by row.
#include "archivio/riepilogo.h"

#include <QRegularExpression>
#include <limits>
#include <set>

namespace {
const QString kVersi[] = { QStringLiteral("emesse"), QStringLiteral("ricevute"), QString() };

// Upper case, without blanks or dots; an Italian number may come without IT.
QString normalizzata(const QString &partita)
{
    QString p = partita.toUpper();
    p.remove(QRegularExpression(QStringLiteral("[\\s.]")));
    if (!p.isEmpty() && p.front().isDigit())
        p.prepend(QStringLiteral("IT"));
    return p;
}
} // namespace

RiepilogoIva::RiepilogoIva(const QStringList &partiteIva)
{
    for (const QString &p : partiteIva)
        if (const QString n = normalizzata(p); !n.isEmpty())
            partite_ << n;
}

bool RiepilogoIva::eAzienda(const QString &identificativo) const
{
    if (identificativo.isEmpty())
        return false;
    const QString id = identificativo.toUpper();
    // A company's fiscal code is often its VAT number without the country.
    for (const QString &p : partite_)
        if (id == p || (p.startsWith(QLatin1String("IT")) && id == QStringView(p).mid(2)))
            return true;
    return false;
}

void RiepilogoIva::aggiungi(const RigaArchivio &riga)
{
    if (!riga.illeggibile.isEmpty())
        nonSommate_ << QStringLiteral("%1 (corpo %2)").arg(NomeOrigine(riga.file, riga.voci)).arg(riga.corpo);
    if (riga.aliquote.empty())
        return;
    const int verso = partite_.isEmpty() ? 2 : eAzienda(riga.cedenteId) ? 0 : eAzienda(riga.cessionarioId) ? 1 : 2;
    const QString tipo = riga.tipoDocumento.trimmed();
    const bool nota = tipo == u"TD04" || tipo == u"TD08";
    // The row's part of each sum, made whole before anything is added.
    std::map<Chiave, Somma> parte;
    bool leggibile = true;
    for (const AliquotaFattura &a : riga.aliquote) {
        const Importo aliquota = Importo::scritto(a.aliquota);
        const Chiave chiave { verso, riga.valuta,
            aliquota.numero() ? -aliquota.valore() : std::numeric_limits<qint64>::max(),
            aliquota.numero() ? aliquota.conPunto() : a.aliquota, a.natura, a.esigibilita };
        Somma &s = parte[chiave];
        s.fatture = 1;
        for (const auto &[somma, importo] :
            { std::pair { &s.imponibile, &a.imponibile }, std::pair { &s.imposta, &a.imposta } }) {
            const qint64 valore = nota ? -importo->valore() : importo->valore();
            leggibile = leggibile && importo->numero() && !__builtin_add_overflow(*somma, valore, somma);
        }
    }
    for (const auto &[chiave, s] : parte) {
        const Somma &prima = somme_.count(chiave) > 0 ? somme_.at(chiave) : Somma();
        qint64 r = 0;
        leggibile = leggibile && !__builtin_add_overflow(prima.imponibile, s.imponibile, &r)
            && !__builtin_add_overflow(prima.imposta, s.imposta, &r);
    }
    if (!leggibile) {
        nonSommate_ << QStringLiteral("%1 (corpo %2)").arg(NomeOrigine(riga.file, riga.voci)).arg(riga.corpo);
        return;
    }
    for (const auto &[chiave, s] : parte) {
        Somma &somma = somme_[chiave];
        somma.imponibile += s.imponibile;
        somma.imposta += s.imposta;
        somma.fatture += 1;
    }
}

std::vector<VoceRiepilogoIva> RiepilogoIva::voci() const
{
    std::vector<VoceRiepilogoIva> voci;
    voci.reserve(somme_.size());
    for (const auto &[chiave, s] : somme_) {
        const auto &[verso, valuta, ordine, aliquota, natura, esigibilita] = chiave;
        voci.push_back({ kVersi[verso], valuta, aliquota, natura, esigibilita, s.imponibile, s.imposta, s.fatture });
    }
    return voci;
}

QString RiepilogoIva::testoNonSommate() const
{
    return TestoNonSommate(nonSommate_.size());
}
