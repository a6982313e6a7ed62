// The outcome of a verification written out in full, for the window's details
// and the command line's text block.
#include "firma/firma.h"

namespace {
QString siNo(bool valore)
{
    return valore ? QStringLiteral("sì") : QStringLiteral("no");
}

QString testoFirmaElenco(FirmaElenco firma)
{
    switch (firma) {
    case FirmaElenco::Integra:
        return QStringLiteral("firma dell'elenco integra");
    case FirmaElenco::NonIntegra:
        return QStringLiteral("firma dell'elenco NON integra");
    case FirmaElenco::Assente:
        break;
    }
    return QStringLiteral("elenco senza firma");
}
} // namespace

QString TestoDettagli(const EsitoVerifica &e)
{
    QStringList righe { QStringLiteral("Esito: ") + ParolaEsito(e.esito),
        QStringLiteral("Tipo: ") + (e.tipo.isEmpty() ? QStringLiteral("nessuna firma") : e.tipo),
        QStringLiteral("Integra: ") + siNo(e.integra), QStringLiteral("Motivo: ") + e.motivo };
    for (int i = 0; i < e.firmatari.size(); ++i) {
        const Firmatario &f = e.firmatari[i];
        righe << QString()
              << QStringLiteral("Firmatario %1%2:")
                     .arg(i + 1)
                     .arg(f.livello > 0 ? QStringLiteral(" (busta %1)").arg(f.livello) : QString());
        const std::pair<const char *, QString> campi[] = {
            { "Nome", f.nome },
            { "Codice fiscale", f.codiceFiscale },
            { "Organizzazione", f.organizzazione },
            { "Emittente", f.emittente },
            { "Soggetto", f.soggetto },
            { "Emittente (completo)", f.emittenteCompleto },
            { "Numero di serie", f.numeroSerie },
            { "Valido dal", DataIso(f.validoDal) },
            { "Valido al", DataIso(f.validoAl) },
            { "Data della firma",
                f.dataFirma.isValid() ? DataIso(f.dataFirma)
                                      : QStringLiteral("non indicata (i controlli usano la data di oggi)") },
            { "Valido alla data della firma", siNo(f.validoAllaFirma) },
            { "Qualificato", siNo(f.qualificato) },
            { "Impronta SHA-256", f.impronta },
            { "Integra", siNo(f.integra) },
            { "Certificatore in elenco", f.certificatore.isEmpty() ? QStringLiteral("nessuno") : f.certificatore },
            { "Esito", ParolaEsito(f.esito) + QStringLiteral(": ") + f.motivo },
        };
        for (const auto &[etichetta, valore] : campi)
            righe << QStringLiteral("  %1: %2").arg(QLatin1String(etichetta), valore);
    }
    if (e.firmatari.isEmpty())
        return righe.join(QLatin1Char('\n')) + QLatin1Char('\n');
    righe << QString();
    if (e.elenco) {
        const InfoElenco &l = *e.elenco;
        righe << QStringLiteral("Elenco dei certificatori: ") + l.percorso
              << QStringLiteral("  Emesso il: ") + DataIso(l.emissione)
              << QStringLiteral("  Prossimo aggiornamento: ")
                + (l.prossimoAggiornamento.isValid() ? DataIso(l.prossimoAggiornamento) : QStringLiteral("nessuno"))
                + (l.scaduto ? QStringLiteral(" (scaduto)") : QString())
              << QStringLiteral("  Certificatori: %1; %2 (nessuna chiave dell'elenco è prefissata)")
                     .arg(l.certificatori)
                     .arg(testoFirmaElenco(l.firma));
    } else {
        righe << QStringLiteral("Elenco dei certificatori: nessuno");
    }
    righe << QStringLiteral("La revoca dei certificati (CRL, OCSP) non viene verificata.");
    return righe.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
