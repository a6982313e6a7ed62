// The "firma" command: each file's signatures verified against the trusted
// lists, written as the window's details or as JSON.
#include "cli/firma.h"
#include "cli/json.h"

#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "common/messages.h"
#include "firma/firma.h"

#include <QIODevice>
#include <QStandardPaths>
#include <utility>

namespace {
using Campi = std::initializer_list<std::pair<const char *, QByteArray>>;

QByteArray json(const QString &testo)
{
    return TestoJson(testo);
}

QByteArray json(bool valore)
{
    return valore ? "true" : "false";
}

QByteArray jsonData(const QDateTime &t)
{
    return t.isValid() ? json(DataIso(t)) : QByteArray("null");
}

QByteArray oggetto(Campi campi)
{
    QByteArrayList coppie;
    for (const auto &[chiave, valore] : campi)
        coppie << '"' + QByteArray(chiave) + "\":" + valore;
    return '{' + coppie.join(',') + '}';
}

QByteArray jsonFirmatario(const Firmatario &f)
{
    return oggetto({ { "nome", json(f.nome) }, { "codice_fiscale", json(f.codiceFiscale) },
        { "organizzazione", json(f.organizzazione) }, { "emittente", json(f.emittente) },
        { "valido_dal", jsonData(f.validoDal) }, { "valido_al", jsonData(f.validoAl) },
        { "data_firma", jsonData(f.dataFirma) }, { "marca_temporale", jsonData(f.marcaTemporale) },
        { "nota_marca", json(f.notaMarca) }, { "data_verifica", jsonData(f.dataVerifica) },
        { "algoritmo", json(f.algoritmo) }, { "qualificato", json(f.qualificato) },
        { "impronta_sha256", json(f.impronta) }, { "livello", QByteArray::number(f.livello) },
        { "valido_alla_firma", json(f.validoAllaFirma) }, { "integra", json(f.integra) },
        { "certificatore", json(f.certificatore) }, { "esito", json(ParolaEsito(f.esito)) },
        { "motivo", json(f.motivo) } });
}

QByteArray jsonElenco(const std::optional<InfoElenco> &l)
{
    if (!l)
        return "null";
    const char *firma = l->firma == FirmaElenco::Integra ? "integra"
        : l->firma == FirmaElenco::NonIntegra            ? "non_integra"
                                                         : "assente";
    return oggetto({ { "percorso", json(l->percorso) }, { "emissione", jsonData(l->emissione) },
        { "prossimo_aggiornamento", jsonData(l->prossimoAggiornamento) }, { "scaduto", json(l->scaduto) },
        { "firma", json(QString::fromLatin1(firma)) }, { "certificatori", QByteArray::number(l->certificatori) } });
}

QByteArray jsonEsito(const QString &file, const EsitoVerifica &e)
{
    QByteArrayList firmatari;
    for (const Firmatario &f : e.firmatari)
        firmatari << jsonFirmatario(f);
    return oggetto({ { "file", json(file) }, { "tipo", json(e.tipo) }, { "esito", json(ParolaEsito(e.esito)) },
               { "integra", json(e.integra) }, { "firmatari", '[' + firmatari.join(',') + ']' },
               { "elenco", jsonElenco(e.elenco) }, { "motivo", json(e.motivo) } })
        + '\n';
}

EsitoVerifica verifica(const QString &file, ElencoPigro &elenco)
{
    const QByteArray bytes = readWholeFile(file);
    return VerificaFirma(bytes, FormaPerNome(file), elenco.elenco().get(), QDateTime::currentDateTimeUtc());
}

int uso(QIODevice &err, const QString &testo)
{
    err.write(QStringLiteral("lentiva-cli: %1\nPer l'aiuto: lentiva-cli --help\n").arg(testo).toUtf8());
    return 2;
}
} // namespace

int ComandoFirma(const QStringList &argomenti, const QString &dirProgramma, QIODevice &out, QIODevice &err)
{
    QStringList file;
    QStringList elenco
        = CartelleCertificatori(dirProgramma, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    bool conElenco = false, comeJson = false, soloFile = false;
    for (qsizetype i = 0; i < argomenti.size(); ++i) {
        const QString &a = argomenti[i];
        if (soloFile || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-')))
            file << a;
        else if (a == QLatin1String("--"))
            soloFile = true;
        else if (a == QLatin1String("--json"))
            comeJson = true;
        else if (a != QLatin1String("--elenco"))
            return uso(err, QStringLiteral("opzione non valida per firma: ") + a);
        else if (conElenco)
            return uso(err, QStringLiteral("opzione ripetuta: ") + a);
        else if (i + 1 >= argomenti.size() || argomenti[i + 1].isEmpty())
            return uso(err, QStringLiteral("manca il valore di ") + a);
        else {
            elenco = QStringList { argomenti[++i] };
            conElenco = true;
        }
    }
    if (file.isEmpty())
        return uso(err, QStringLiteral("nessun file indicato"));

    ElencoPigro elenchi(elenco);
    bool tuttoBene = true;
    for (qsizetype i = 0; i < file.size(); ++i) {
        try {
            const EsitoVerifica e = verifica(file[i], elenchi);
            tuttoBene = tuttoBene && (e.esito == EsitoFirma::Valida || e.esito == EsitoFirma::Assente);
            out.write(comeJson ? jsonEsito(file[i], e)
                               : ((i > 0 ? QStringLiteral("\nFile: ") : QStringLiteral("File: ")) + file[i]
                                   + QLatin1Char('\n') + TestoDettagli(e))
                                     .toUtf8());
        } catch (const Exception &e) {
            err.write((file[i] + QStringLiteral(": ") + testoErrore(e.message()) + QLatin1Char('\n')).toUtf8());
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
