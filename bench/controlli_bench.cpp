// The exchange system's checks on one file, beside their floor: schemas
// compiled once, then, alternating, the whole check (parse, schema, content)
// and libxml2's parse plus validation alone with the same compiled schema
// (the module's own, read through its internal header).
// With --una the program compiles, checks once and exits, as xmllint
// --schema does for a file: scripts/bench.sh times the two processes side by
// side.
// Usage: controlli_bench CARTELLA_SCHEMI FILE [VOLTE] | controlli_bench --una CARTELLA_SCHEMI FILE
#include "controlli/controlli.h"
#include "controlli/controlli_p.h"
#include "controlli/uscita.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <vector>

namespace {
QByteArray leggi(const char *file)
{
    QFile f(QString::fromLocal8Bit(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void nessunErrore(void *, xmlErrorPtr)
{
}
} // namespace

int main(int argc, char **argv)
{
    const QDate oggi = QDate::currentDate();
    if (argc == 4 && QByteArray(argv[1]) == "--una") {
        const SchemiFattura schemi(QString::fromLocal8Bit(argv[2]));
        const RisultatoControlli r = ControllaFattura(schemi, leggi(argv[3]), oggi);
        std::printf("%s\n", qPrintable(FraseBarra(r)));
        return 0;
    }
    if (argc < 3)
        return 2;
    const int volte = argc > 3 ? std::max(1, atoi(argv[3])) : 11;
    QElapsedTimer t;
    t.start();
    const SchemiFattura schemi(QString::fromLocal8Bit(argv[1]));
    const double compilazione = t.nsecsElapsed() / 1e6;
    if (!schemi.problema().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(schemi.problema()));
        return 1;
    }
    // The floor validates with the very schema the checks use, compiled once.
    xmlSchema *schema = schemi.dati().schema[static_cast<int>(FormatoFattura::Ordinaria12)].get();

    std::vector<double> controlli, pavimento;
    int errori = 0;
    for (int i = 0; i < volte; ++i) {
        t.restart();
        const RisultatoControlli r = ControllaFattura(schemi, leggi(argv[2]), oggi);
        controlli.push_back(t.nsecsElapsed() / 1e6);
        errori = r.errori();

        t.restart();
        const QByteArray bytes = leggi(argv[2]);
        // The floor runs on the same clean registers the checks give themselves.
        RegistriVettorialiPuliti();
        xmlDocPtr doc
            = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
        xmlSchemaValidCtxtPtr v = xmlSchemaNewValidCtxt(schema);
        xmlSchemaSetValidStructuredErrors(v, nessunErrore, nullptr);
        if (xmlSchemaValidateDoc(v, doc) < 0)
            return 1;
        xmlSchemaFreeValidCtxt(v);
        xmlFreeDoc(doc);
        pavimento.push_back(t.nsecsElapsed() / 1e6);
    }
    const double c = mediana(controlli), p = mediana(pavimento);
    std::printf("schemi compilati in %.1f ms\n", compilazione);
    std::printf("controlli completi   %8.2f ms (mediana di %d, %d errori)\n", c, volte, errori);
    std::printf("parse + validazione  %8.2f ms (mediana di %d)   rapporto %.2fx\n", p, volte, c / p);
    return 0;
}
