// The quick schema check against libxml2's validation, on arbitrary bytes:
// whenever the quick check calls a tree valid (the archive's one walk, or
// libxml2's own tree), libxml2's validation with the same compiled schema must
// find no error; the archive's checks (ControlliInLettura) and controlla's
// (ControllaFattura) must reach the same findings, lines apart. The input, as
// a value, must also match every pattern of the schemas in libxml2's regular
// expressions whenever the quick matcher says it matches.
#include "common/errors.h"
#include "controlli/controlli_p.h"
#include "controlli/lettura.h"
#include "invoice/xmlsicuro.h"

#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <libxml/parser.h>
#include <libxml/xmlstring.h>

namespace {
const SchemiFattura &schemi()
{
    static const SchemiFattura s(QStringLiteral(LENTIVA_SCHEMI_DIR));
    if (!s.problema().isEmpty())
        fuzzFailure("compiling the schemas", s.problema());
    for (int i = 0; i < NumeroFormati; ++i)
        if (!s.dati().rapido[i] || !s.dati().rapido[i]->pronto())
            fuzzFailure("reading a schema for the quick check", QString::fromLatin1(FileSchema(FormatoFattura(i))));
    return s;
}

struct Modelli {
    std::vector<std::shared_ptr<SchemaRapido::Modello>> rapidi;
    std::vector<SchemiPtr<xmlRegexp>> libxml2;
    QStringList testi;
};

// Every pattern facet of the schemas, in both matchers.
void raccogli(const xmlNode *n, Modelli &m)
{
    for (; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (xmlStrEqual(n->name, BAD_CAST "pattern")) {
            xmlChar *v = xmlGetNoNsProp(n, BAD_CAST "value");
            const std::string testo(reinterpret_cast<const char *>(v));
            xmlFree(v);
            m.rapidi.push_back(SchemaRapido::NuovoModello(testo));
            m.libxml2.emplace_back(xmlRegexpCompile(BAD_CAST testo.c_str()));
            m.testi.append(QString::fromStdString(testo));
        }
        raccogli(n->children, m);
    }
}

const Modelli &modelli()
{
    static const Modelli m = [] {
        Modelli m;
        const QDir cartella(QStringLiteral(LENTIVA_SCHEMI_DIR));
        for (const QString &nome :
            cartella.entryList({ QStringLiteral("Schema_*.xsd"), QStringLiteral("fatturapa*.xsd") })) {
            QFile f(cartella.filePath(nome));
            QString errore;
            if (!f.open(QIODevice::ReadOnly))
                fuzzFailure("reading a schema", nome);
            const DocumentoXml doc = CaricaXmlSicuro(f.readAll(), errore);
            if (!doc)
                fuzzFailure("parsing a schema", errore);
            raccogli(xmlDocGetRootElement(doc.get()), m);
        }
        if (m.rapidi.empty())
            fuzzFailure("finding the schemas' patterns");
        return m;
    }();
    return m;
}

// The quick check's verdict on a tree: the format's schema index, or -1 when
// it does not call the tree valid.
int validoRapido(const AlberoFattura &albero)
{
    const Nodo *radice = albero.radice();
    FormatoFattura formato;
    QString motivo;
    if (radice == nullptr || !FormatoDi(radice->nome, albero.spazioRadice(), formato, motivo))
        return -1;
    const int i = static_cast<int>(formato);
    return schemi().dati().rapido[i]->valido(albero) ? i : -1;
}

QStringList rilievi(const RisultatoControlli &r)
{
    QStringList righe { ParolaEsito(r.esito), r.motivo };
    for (const Rilievo &x : r.rilievi)
        righe.append(QStringList {
            x.codice, x.campo, x.percorso, QString::number(x.corpo), x.linea, x.trovato, x.atteso, x.messaggio }
                         .join(QLatin1Char('|')));
    std::sort(righe.begin() + 2, righe.end());
    return righe;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    const QDate oggi(2024, 6, 1);
    try {
        const RisultatoControlli libxml2 = ControllaFattura(schemi(), bytes, oggi);
        const auto sicuro = [&](const char *dove) {
            FUZZ_CHECK(libxml2.esito != EsitoControllo::NonControllabile && libxml2.erroriSchema == 0,
                QLatin1String(dove) + QStringLiteral(": quick check valid, libxml2 says ") + ParolaEsito(libxml2.esito)
                    + QLatin1Char(' ')
                    + (libxml2.rilievi.isEmpty() ? libxml2.motivo : libxml2.rilievi.front().messaggio));
        };

        // The archive's walk.
        {
            AlberoFattura albero;
            AlberoFattura::Costruttore costruttore(albero);
            bool rapido = false;
            const PercorsiFattura percorsi;
            try {
                const DocumentoFattura doc(bytes, percorsi, DocumentoFattura::Modo::Rapido, &costruttore);
                rapido = doc.lettoRapido();
            } catch (const Exception &) {
            }
            if (rapido) {
                costruttore.concludi();
                if (validoRapido(albero) >= 0)
                    sicuro("walk");
            }
        }
        // libxml2's own tree.
        QString errore;
        const DocumentoXml doc = CaricaXmlSicuro(bytes, errore, RigheXml::OltreLimite);
        if (doc) {
            AlberoFattura albero;
            AlberoFattura::DaDocumento(doc.get(), albero);
            if (validoRapido(albero) >= 0)
                sicuro("tree");
        }
        // The archive's checks and controlla's, end to end.
        try {
            const PercorsiFattura percorsi;
            ControlliInLettura controlli;
            const DocumentoFattura letto(bytes, percorsi, DocumentoFattura::Modo::Rapido, controlli.osservatore());
            const RisultatoControlli archivio = controlli.risultato(schemi(), bytes, letto.lettoRapido(), oggi);
            FUZZ_CHECK(rilievi(archivio) == rilievi(libxml2),
                rilievi(archivio).join(QLatin1Char('\n')).left(600) + QStringLiteral("\n---\n")
                    + rilievi(libxml2).join(QLatin1Char('\n')).left(600));
        } catch (const Exception &) {
        }
    } catch (const std::exception &e) {
        fuzzFailure("an exception escaped", QString::fromLocal8Bit(e.what()));
    }

    // The input as one value against every pattern.
    const QByteArray zero(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)); // ends in NUL
    if (size <= 300 && xmlCheckUTF8(reinterpret_cast<const unsigned char *>(zero.constData()))
        && static_cast<size_t>(qstrlen(zero.constData())) == size) {
        const Modelli &m = modelli();
        const std::string_view valore(zero.constData(), size);
        for (size_t i = 0; i < m.rapidi.size(); ++i)
            if (SchemaRapido::Semplice(*m.rapidi[i]) && SchemaRapido::Accetta(*m.rapidi[i], valore))
                FUZZ_CHECK(m.libxml2[i] && xmlRegexpExec(m.libxml2[i].get(), BAD_CAST zero.constData()) == 1,
                    m.testi[static_cast<int>(i)] + QStringLiteral(" / ") + QString::fromUtf8(zero));
    }
    return 0;
}
