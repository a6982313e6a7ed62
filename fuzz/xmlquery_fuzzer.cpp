// The path query on arbitrary bytes. Before the first NUL byte is the
// document; after it, when there is one, the path (else the paths the
// program itself asks for). A document that does not load gives false and
// one message; an element with more than a text inside is refused with
// Exception; nothing else may happen.
#include "common/errors.h"
#include "common/messages.h"
#include "invoice/xmlquery.h"

#include "fuzzsupport.h"

namespace {
struct Messages final : MessageSink {
    QStringList texts;
    void plainMessage(const QString &text) override { texts << text; }
};

void checkSteps(const QByteArray &path)
{
    const QByteArrayList steps = DividiPercorso(path);
    qsizetype total = 0;
    for (const QByteArray &step : steps) {
        FUZZ_CHECK(!step.isEmpty() && path.contains(step), QString::fromLatin1(step));
        total += step.size();
    }
    FUZZ_CHECK(total <= path.size(), QString::number(total));
}

void query(const QString &file, const QByteArray &path)
{
    Messages messages;
    QByteArrayList values { "stale" };
    bool found = false;
    try {
        found = LeggiValoriXml(file, path, values, messages);
    } catch (const Exception &) {
        return;
    }
    FUZZ_CHECK(found == !values.isEmpty(), QString::number(values.size()));
    FUZZ_CHECK(messages.texts.size() <= 1, messages.texts.join(QLatin1Char('|')));
    if (!messages.texts.isEmpty()) {
        FUZZ_CHECK(!found, QString());
        FUZZ_CHECK(messages.texts.first().startsWith(PrefissoXmlConErrori), messages.texts.first());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = inputBytes(data, size);
    const qsizetype nul = input.indexOf('\0');
    const QString file = writeScratchFile(scratchDir() + QStringLiteral("/fattura.xml"), input.left(nul));
    if (nul >= 0) {
        const QByteArray path = input.mid(nul + 1);
        checkSteps(path);
        query(file, path);
    } else {
        for (const char *path :
            { "FormatoTrasmissione", "DatiGenerali.DatiGeneraliDocumento.Numero", "p:Allegati.\"Nome.Attachment\"" })
            query(file, path);
    }
    return 0;
}
