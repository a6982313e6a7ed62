// The outcome of a verification written out in full, for the window's details
// and the command line's text block: who signed first, the technical fields
// after, dates in local time, nothing said about fields that are empty.
#include "firma/firma.h"

namespace {
QString quando(const QDateTime &t)
{
    return t.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm t"));
}

QString giorno(const QDateTime &t)
{
    return t.toLocalTime().toString(QStringLiteral("dd/MM/yyyy"));
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

// "  Etichetta: valore", or nothing when the value is empty.
void riga(QStringList &righe, const char *etichetta, const QString &valore, int rientro = 2)
{
    if (!valore.isEmpty())
        righe << QString(rientro, QLatin1Char(' ')) + QLatin1String(etichetta) + QStringLiteral(": ") + valore;
}

void firmatario(QStringList &righe, const Firmatario &f, int i)
{
    righe << QString()
          << QStringLiteral("Firmatario %1%2:")
                 .arg(i + 1)
                 .arg(f.livello > 0 ? QStringLiteral(" (busta %1)").arg(f.livello) : QString());
    riga(righe, "Nome", f.nome);
    riga(righe, "Codice fiscale", f.codiceFiscale);
    riga(righe, "Organizzazione", f.organizzazione);
    riga(righe, "Esito", f.motivo);
    riga(righe, "Data della firma",
        f.dataFirma.isValid() ? quando(f.dataFirma) + QStringLiteral(" (dichiarata dal firmatario)")
                              : QStringLiteral("non indicata"));
    if (f.marcaTemporale.isValid())
        riga(righe, "Marca temporale", quando(f.marcaTemporale) + QStringLiteral(" (verificata)"));
    else if (!f.notaMarca.isEmpty())
        riga(righe, "Marca temporale", QStringLiteral("non utilizzata: ") + f.notaMarca);
    if (f.dataVerifica.isValid())
        riga(righe, "Certificato e certificatore giudicati al", quando(f.dataVerifica));
    if (f.validoDal.isValid() && f.validoAl.isValid())
        riga(righe, "Certificato valido", QStringLiteral("dal %1 al %2").arg(giorno(f.validoDal), giorno(f.validoAl)));
    riga(righe, "Qualificato", f.qualificato ? QStringLiteral("sì") : QStringLiteral("no"));
    riga(righe, "Certificatore in elenco", f.certificatore);
    riga(righe, "Emesso da", f.emittente);
    riga(righe, "Algoritmi", f.algoritmo);
    righe << QStringLiteral("  Dati tecnici:");
    riga(righe, "Soggetto", f.soggetto, 4);
    riga(righe, "Emittente", f.emittenteCompleto, 4);
    riga(righe, "Numero di serie", f.numeroSerie, 4);
    riga(righe, "Impronta SHA-256", f.impronta, 4);
}
} // namespace

QString TestoDettagli(const EsitoVerifica &e)
{
    QStringList righe { QStringLiteral("Esito: ") + TitoloEsito(e.esito), e.motivo };
    if (e.tipo == QLatin1String("CAdES"))
        righe << QStringLiteral("Tipo di firma: CAdES (busta firmata .p7m)");
    else if (e.tipo == QLatin1String("XAdES"))
        righe << QStringLiteral("Tipo di firma: XAdES (firma dentro il file XML)");
    for (int i = 0; i < e.firmatari.size(); ++i)
        firmatario(righe, e.firmatari[i], i);
    if (e.firmatari.isEmpty())
        return righe.join(QLatin1Char('\n')) + QLatin1Char('\n');
    righe << QString();
    if (e.elenco) {
        const InfoElenco &l = *e.elenco;
        righe << QStringLiteral("Elenco dei certificatori: ") + l.percorso;
        riga(righe, "Emesso il", giorno(l.emissione));
        riga(righe, "Prossimo aggiornamento",
            l.prossimoAggiornamento.isValid() ? giorno(l.prossimoAggiornamento)
                    + (l.scaduto ? QStringLiteral(" (scaduto: conviene aggiornarlo)") : QString())
                                              : QStringLiteral("nessuno"));
        righe << QStringLiteral("  Certificatori: %1; servizi di marcatura temporale: %2; %3 (nessuna chiave "
                                "dell'elenco è prefissata)")
                     .arg(l.certificatori)
                     .arg(l.marcature)
                     .arg(testoFirmaElenco(l.firma));
    } else {
        righe << QStringLiteral("Elenco dei certificatori: nessuno");
    }
    righe << QStringLiteral("La revoca dei certificati (CRL, OCSP) non viene verificata.");
    return righe.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
