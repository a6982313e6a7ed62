// Benchmarks of the signature checks, each beside its floor: a 20 MB envelope
// verified against one SHA-256 pass over its content, the XAdES check of the
// same invoice, and a trusted list of a few MB read and its signature checked.
// Writes the content, the envelope and the list beside the program for the
// command-line references and the window runs of scripts/bench.sh.
#include "firma/firma.h"
#include "pkiprova.h"

#include "common/fileio.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

namespace {
const QDateTime kDuemila(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

struct Dati {
    QTemporaryDir dir;
    PkiProva pki { dir.path() };
    QByteArray contenuto, busta, xades, elenco700, elenco1500;
    ElencoCertificatori lista;

    Dati()
    {
        const QByteArray env = qgetenv("LENTIVA_BENCH_DATA");
        contenuto = readWholeFile(QString::fromUtf8(env.isEmpty() ? QByteArray(LENTIVA_BENCH_DATA) : env)
            + QStringLiteral("/allegati_20mb.xml"));
        busta = pki.busta(contenuto);
        xades = pki.xmlFirmato(contenuto);
        // Hundreds of services, each with its history, as in the national list.
        for (auto [lista, servizi] : { std::pair { &elenco700, 700 }, std::pair { &elenco1500, 1500 } })
            *lista = pki.elenco({ { "granted", kDuemila.addYears(16) }, { "accredited", kDuemila } }, true, servizi);
        lista.aggiungi(pki.elenco({ { "granted", kDuemila } }), QStringLiteral("TSL-IT.xml"));
        writeFileAtomically(QStringLiteral(LENTIVA_BENCH_OUT "/firma_contenuto_20mb.xml"), contenuto);
        writeFileAtomically(QStringLiteral(LENTIVA_BENCH_OUT "/firma_busta_20mb.xml.p7m"), busta);
        writeFileAtomically(QStringLiteral(LENTIVA_BENCH_OUT "/firma_elenco_700.xml"), elenco700);
    }
};

Dati &dati()
{
    static Dati d;
    return d;
}

void Floor_Sha256_20MB(benchmark::State &state)
{
    const QByteArray &c = dati().contenuto;
    unsigned char digest[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        EVP_Digest(c.constData(), size_t(c.size()), digest, nullptr, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * dati().contenuto.size());
}

void Verifica(benchmark::State &state, const QByteArray &bytes, FormaFile forma)
{
    for (auto _ : state) {
        const EsitoVerifica e = VerificaFirma(bytes, forma, &dati().lista, QDateTime::currentDateTimeUtc());
        if (e.esito != EsitoFirma::Valida)
            state.SkipWithError(e.motivo.toUtf8().constData());
    }
    state.SetBytesProcessed(state.iterations() * dati().contenuto.size());
}

void Verifica_Busta20MB(benchmark::State &state)
{
    Verifica(state, dati().busta, FormaFile::Busta);
}

void Verifica_Xades20MB(benchmark::State &state)
{
    Verifica(state, dati().xades, FormaFile::Xml);
}

void Elenco(benchmark::State &state)
{
    const QByteArray &elenco = state.range(0) == 700 ? dati().elenco700 : dati().elenco1500;
    for (auto _ : state) {
        ElencoCertificatori e;
        e.aggiungi(elenco, QStringLiteral("TSL-IT.xml"));
        if (e.elenchi()[0].firma != FirmaElenco::Integra || e.elenchi()[0].certificatori != state.range(0))
            state.SkipWithError("list not read whole");
    }
    state.counters["MB"] = double(elenco.size()) / 1e6;
}
} // namespace

BENCHMARK(Floor_Sha256_20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(Verifica_Busta20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(Verifica_Xades20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(Elenco)->Arg(700)->Arg(1500)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
