// Benchmarks of the core, each beside its floor: the Base64 codec against a
// memory copy, tag scanning against memchr, the attachment list against the
// read of the file, and the whole open road (without painting) against one
// libxml2 parse plus one libxslt transform of the same file; reading an
// exchange system's message from a parsed document against its parse.
#include "attachments/allegati.h"
#include "attachments/tagscan.h"
#include "codec/base64.h"
#include "common/errors.h"
#include "common/fileio.h"
#include "common/folders.h"
#include "invoice/openflow.h"
#include "invoice/rendering.h"
#include "invoice/xmlsicuro.h"
#include "messaggi/messaggi.h"

#include <QBuffer>
#include <QFileInfo>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <cstring>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <random>

namespace {
QString dati(const char *nome)
{
    const QByteArray env = qgetenv("LENTIVA_BENCH_DATA");
    return QString::fromUtf8(env.isEmpty() ? QByteArray(LENTIVA_BENCH_DATA) : env) + QLatin1Char('/')
        + QString::fromUtf8(nome);
}

const QString kDirProgramma = QStringLiteral(LENTIVA_PROGRAM_DIR "/");

QByteArray casuali(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    std::mt19937_64 g(42);
    for (qsizetype i = 0; i + 8 <= n; i += 8) {
        const quint64 v = g();
        std::memcpy(b.data() + i, &v, 8);
    }
    return b;
}

constexpr qsizetype kDatiCodec = 48 << 20; // 64 MiB of Base64 text

void Codec_Decode(benchmark::State &state)
{
    const QByteArray testo = casuali(kDatiCodec).toBase64();
    for (auto _ : state) {
        const QByteArray bytes = TDecoderMIME::DecodeText<TDecoderMIME>(testo);
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * testo.size());
}

void Codec_Encode(benchmark::State &state)
{
    QByteArray bytes = casuali(kDatiCodec);
    qsizetype testo = 0;
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TEncoderMIME encoder;
        const QByteArray out = encoder.Encode(buffer, kEncodeAll);
        testo = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * testo);
}

// The floor of both: copying as many bytes as there are in the text.
void Floor_MemoryCopy(benchmark::State &state)
{
    const QByteArray sorgente = casuali(kDatiCodec / 3 * 4);
    // Into memory already touched: the copy alone, without the page faults.
    QByteArray copia(sorgente.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copia.data(), sorgente.constData(), sorgente.size());
        benchmark::DoNotOptimize(copia.constData());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * sorgente.size());
}

void TagScan_Attachments20MB(benchmark::State &state)
{
    const QByteArray testo = CaricaFattura(dati("allegati_20mb.xml"));
    for (auto _ : state) {
        // Every Allegati block, then a tag that is not there: two whole passes.
        qint32 posizione = 1;
        int blocchi = 0;
        while (!EstraiElementoVista(testo, "Allegati", posizione).isEmpty())
            ++blocchi;
        benchmark::DoNotOptimize(blocchi);
        benchmark::DoNotOptimize(PosDa("<Assente>", testo, 1));
    }
    state.SetBytesProcessed(state.iterations() * testo.size() * 2);
}

void Floor_Memchr20MB(benchmark::State &state)
{
    const QByteArray testo = CaricaFattura(dati("allegati_20mb.xml"));
    for (auto _ : state)
        benchmark::DoNotOptimize(std::memchr(testo.constData(), '\x01', testo.size()));
    state.SetBytesProcessed(state.iterations() * testo.size());
}

void LeggiAllegati_20MB(benchmark::State &state)
{
    const QString file = dati("allegati_20mb.xml");
    for (auto _ : state) {
        QList<TAllegatoItem> lista;
        LeggiAllegati(file, lista);
        benchmark::DoNotOptimize(lista.size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(file).size());
}

void Floor_ReadFile20MB(benchmark::State &state)
{
    const QString file = dati("allegati_20mb.xml");
    for (auto _ : state)
        benchmark::DoNotOptimize(readWholeFile(file).constData());
    state.SetBytesProcessed(state.iterations() * QFileInfo(file).size());
}

// The window's display without the window: the page is dropped, the list is
// read as the window reads it, a message is a failure of the run.
class DisplayMuto final : public InvoiceDisplay {
public:
    QString extractEnvelope(const QString &) override { throw Exception(QStringLiteral("no envelopes here")); }
    void showPage(const QByteArray &page) override { benchmark::DoNotOptimize(page.constData()); }
    void loadAttachments(const QString &fileXml) override
    {
        QList<TAllegatoItem> lista;
        LeggiAllegati(fileXml, lista);
    }
    void setHeaderField(CampoTestata, const QByteArray &) override { }
    void plainMessage(const QString &text) override { messaggio = text; }
    QString messaggio;
};

// The stylesheets compiled are kept for the run, as the window keeps them;
// with ogniVolta every open compiles its own, as before they were kept.
void OpenRoad(benchmark::State &state, const char *nome, bool ogniVolta = false)
{
    const QString file = dati(nome);
    DisplayMuto display;
    FogliCompilati fogli;
    for (auto _ : state) {
        StatoFattura stato { kDirProgramma, QString(), FoglioPredefinitoIn(kDirProgramma) };
        if (ogniVolta)
            MostraFattura(file, stato, display);
        else
            MostraFattura(file, stato, display, fogli);
    }
    if (!display.messaggio.isEmpty())
        state.SkipWithError(display.messaggio.toUtf8().constData());
}

// One parse and one transform with the stylesheet compiled beforehand.
void Floor_ParseTransform(benchmark::State &state, const char *nome, const QString *foglio)
{
    const QString file = dati(nome);
    const QString percorso = kDirProgramma + DirFogliStile + *foglio;
    // Once through the program's own road, which sets up the libraries and
    // the loader the stylesheets' includes go through.
    TrasformaXsl(file, percorso);
    const QByteArray url = QUrl::fromLocalFile(percorso).toEncoded();
    const QByteArray testoFoglio = readWholeFile(percorso);
    xmlDocPtr docFoglio = xmlReadMemory(testoFoglio.constData(), int(testoFoglio.size()), url.constData(), nullptr,
        XML_PARSE_NONET | XML_PARSE_NOCDATA);
    xsltStylesheetPtr style = docFoglio ? xsltParseStylesheetDoc(docFoglio) : nullptr;
    if (style == nullptr) {
        state.SkipWithError("stylesheet");
        return;
    }
    for (auto _ : state) {
        const QByteArray bytes = readWholeFile(file);
        xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
            XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOBLANKS);
        xmlDocPtr risultato = xsltApplyStylesheet(style, doc, nullptr);
        benchmark::DoNotOptimize(risultato);
        xmlFreeDoc(risultato);
        xmlFreeDoc(doc);
    }
    xsltFreeStylesheet(style);
}

// A rejection with 200 errors, the most the system writes.
QByteArray scartoConDuecentoErrori()
{
    QByteArray errori;
    for (int i = 0; i < 200; ++i)
        errori += "<Errore><Codice>00200</Codice><Descrizione>File non conforme al formato: elemento "
            + QByteArray::number(i) + "</Descrizione></Errore>";
    return "<types:NotificaScarto xmlns:types=\"http://www.fatturapa.gov.it/sdi/messaggi/v1.0\" versione=\"1.0\">"
           "<IdentificativoSdI>111</IdentificativoSdI><NomeFile>IT01234567890_11111.xml.p7m</NomeFile>"
           "<DataOraRicezione>2014-04-01T12:00:00.000+02:00</DataOraRicezione><ListaErrori>"
        + errori + "</ListaErrori><MessageId>123456</MessageId></types:NotificaScarto>";
}

// What the archive adds to the parse it already made of a file: recognising
// and reading the message.
void Messaggio_LeggiDalDocumento(benchmark::State &state)
{
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(scartoConDuecentoErrori(), errore);
    for (auto _ : state)
        benchmark::DoNotOptimize(LeggiMessaggio(doc.get())->errori.size());
}

void Floor_ParseMessaggio(benchmark::State &state)
{
    const QByteArray bytes = scartoConDuecentoErrori();
    QString errore;
    for (auto _ : state)
        benchmark::DoNotOptimize(CaricaXmlSicuro(bytes, errore).get());
}

// What recognising costs an invoice: the root check on its parsed document,
// and the look at the first tag that turns its bytes away unparsed.
void Messaggio_RiconosciFattura(benchmark::State &state)
{
    QString errore;
    const DocumentoXml doc = CaricaXmlSicuro(readWholeFile(dati("righe_5000.xml")), errore);
    for (auto _ : state)
        benchmark::DoNotOptimize(RiconosciMessaggio(doc.get()));
}

void Messaggio_FatturaDaByte(benchmark::State &state)
{
    const QByteArray bytes = readWholeFile(dati("righe_5000.xml"));
    for (auto _ : state)
        benchmark::DoNotOptimize(LeggiMessaggio(bytes).has_value());
}

void Floor_ParseFattura5000(benchmark::State &state)
{
    const QByteArray bytes = readWholeFile(dati("righe_5000.xml"));
    QString errore;
    for (auto _ : state)
        benchmark::DoNotOptimize(CaricaXmlSicuro(bytes, errore).get());
}

BENCHMARK(Codec_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(Codec_Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor_MemoryCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(TagScan_Attachments20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor_Memchr20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(LeggiAllegati_20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor_ReadFile20MB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenRoad, small_fpa, "piccola_fpa.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenRoad, small_fpa_compiled_each_time, "piccola_fpa.xml", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Floor_ParseTransform, small_fpa, "piccola_fpa.xml", &FoglioFPA12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenRoad, lines_5000, "righe_5000.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Floor_ParseTransform, lines_5000, "righe_5000.xml", &FoglioFPR12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenRoad, attachments_20mb, "allegati_20mb.xml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Floor_ParseTransform, attachments_20mb, "allegati_20mb.xml", &FoglioFPR12)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Messaggio_LeggiDalDocumento)->Unit(benchmark::kMicrosecond);
BENCHMARK(Floor_ParseMessaggio)->Unit(benchmark::kMicrosecond);
BENCHMARK(Messaggio_RiconosciFattura)->Unit(benchmark::kMicrosecond);
BENCHMARK(Messaggio_FatturaDaByte)->Unit(benchmark::kMicrosecond);
BENCHMARK(Floor_ParseFattura5000)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
