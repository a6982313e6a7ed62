// The "firma" command: each file's signatures verified against the trusted
// lists, written as the window's details or as JSON.
#include "cli/firma.h"
#include "cli/terminale.h"
#include "common/json.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/messages.h"
#include "firma/firma.h"

#include <QIODevice>
#include <QStandardPaths>
#include <utility>

namespace {
QByteArray jsonData(const QDateTime &t)
{
    return t.isValid() ? TestoJson(DataIso(t)) : QByteArray("null");
}

QByteArray jsonFirmatario(const Firmatario &f)
{
    return OggettoJson()
        .testo("nome", f.nome)
        .testo("codice_fiscale", f.codiceFiscale)
        .testo("organizzazione", f.organizzazione)
        .testo("emittente", f.emittente)
        .json("valido_dal", jsonData(f.validoDal))
        .json("valido_al", jsonData(f.validoAl))
        .json("data_firma", jsonData(f.dataFirma))
        .json("marca_temporale", jsonData(f.marcaTemporale))
        .testo("nota_marca", f.notaMarca)
        .json("data_verifica", jsonData(f.dataVerifica))
        .testo("algoritmo", f.algoritmo)
        .booleano("qualificato", f.qualificato)
        .testo("impronta_sha256", f.impronta)
        .numero("livello", f.livello)
        .booleano("valido_alla_firma", f.validoAllaFirma)
        .booleano("integra", f.integra)
        .testo("certificatore", f.certificatore)
        .testo("esito", ParolaEsito(f.esito))
        .testo("motivo", f.motivo)
        .fine();
}

QByteArray jsonElenco(const std::optional<InfoElenco> &l)
{
    if (!l)
        return "null";
    const char *firma = l->firma == FirmaElenco::Integra ? "integra"
        : l->firma == FirmaElenco::NonIntegra            ? "non_integra"
                                                         : "assente";
    return OggettoJson()
        .testo("percorso", l->percorso)
        .json("emissione", jsonData(l->emissione))
        .json("prossimo_aggiornamento", jsonData(l->prossimoAggiornamento))
        .booleano("scaduto", l->scaduto)
        .testo("firma", QString::fromLatin1(firma))
        .numero("certificatori", l->certificatori)
        .fine();
}

QByteArray jsonEsito(const QString &file, const EsitoVerifica &e)
{
    QByteArrayList firmatari;
    for (const Firmatario &f : e.firmatari)
        firmatari << jsonFirmatario(f);
    return OggettoJson()
        .testo("file", file)
        .testo("tipo", e.tipo)
        .testo("esito", ParolaEsito(e.esito))
        .booleano("integra", e.integra)
        .json("firmatari", '[' + firmatari.join(',') + ']')
        .json("elenco", jsonElenco(e.elenco))
        .testo("motivo", e.motivo)
        .fine(true);
}

EsitoVerifica verifica(const QString &file, ElencoPigro &elenco)
{
    const QByteArray bytes = readWholeFile(file);
    return VerificaFirma(bytes, FormaPerNome(file), elenco.elenco().get(), QDateTime::currentDateTimeUtc());
}

} // namespace

int ComandoFirma(const RigaLetta &riga, AmbienteComando &ambiente)
{
    const QStringList &file = riga.operandi;
    const bool comeJson = riga.ha("--json");
    ElencoPigro elenchi(riga.ha("--elenco") ? QStringList { riga.valore("--elenco") }
                                            : CartelleCertificatori(ambiente.dirProgramma,
                                                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
    QIODevice &out = ambiente.out;
    QIODevice &err = ambiente.err;
    bool tuttoBene = true;
    for (qsizetype i = 0; i < file.size(); ++i) {
        try {
            const EsitoVerifica e = verifica(file[i], elenchi);
            tuttoBene = tuttoBene && (e.esito == EsitoFirma::Valida || e.esito == EsitoFirma::Assente);
            out.write(comeJson ? jsonEsito(file[i], e)
                               : ((i > 0 ? QStringLiteral("\nFile: ") : QStringLiteral("File: "))
                                   + PerTerminale(file[i]) + QLatin1Char('\n') + RighePerTerminale(TestoDettagli(e)))
                                     .toUtf8());
        } catch (const Exception &e) {
            err.write((PerTerminale(file[i]) + QStringLiteral(": ") + RigaPerTerminale(testoErrore(e.message()))
                + QLatin1Char('\n'))
                          .toUtf8());
            tuttoBene = false;
        }
    }
    return tuttoBene ? 0 : 1;
}

QString ParolaFirmaFile(const QString &file, ElencoPigro &elenco)
{
    try {
        return ParolaEsito(verifica(file, elenco).esito);
    } catch (const Exception &) {
        return ParolaEsito(EsitoFirma::NonValida);
    }
}
