// Tag scanning and the attachment list on arbitrary bytes. The byte search
// must agree with QByteArray's own search, every element found must be whole,
// and every listed attachment must lead to a plain file name or a refusal
// (Exception), never to a path that leaves the folder.
#include "attachments/allegati.h"
#include "attachments/tagscan.h"
#include "codec/base64.h"
#include "common/errors.h"

#include "fuzzsupport.h"

namespace {
void checkPosDa(QByteArrayView pattern, const QByteArray &text, qint32 start)
{
    const qint32 found = PosDa(pattern, text, start);
    const qint32 expected
        = pattern.isEmpty() || text.isEmpty() ? 0 : static_cast<qint32>(text.indexOf(pattern, qMax(start, 1) - 1) + 1);
    FUZZ_CHECK(found == expected, QStringLiteral("%1 instead of %2").arg(found).arg(expected));
}

void checkElements(const QByteArray &text, QByteArrayView name)
{
    const QByteArray opening = '<' + name.toByteArray() + '>';
    const QByteArray closing = "</" + name.toByteArray() + '>';
    qint32 position = 1;
    for (;;) {
        const qint32 before = position;
        const QByteArray element = EstraiElemento(text, name, position);
        if (element.isEmpty()) {
            FUZZ_CHECK(position == before, QString::number(position));
            break;
        }
        FUZZ_CHECK(position > before, QString::number(position));
        FUZZ_CHECK(element.startsWith(opening) && element.endsWith(closing), QString::fromLatin1(element.left(80)));
        FUZZ_CHECK(element.size() >= opening.size() + closing.size(), QString::number(element.size()));
        FUZZ_CHECK(text.mid(position - 1 - element.size(), element.size()) == element, QString::number(position));
    }
    const QByteArray value = ValoreTag(text, name);
    FUZZ_CHECK(value == trimmedView(value), QString::fromLatin1(value.left(80)));
    FUZZ_CHECK(value.isEmpty() || text.contains(value), QString::fromLatin1(value.left(80)));
}

void checkAttachment(const TAllegatoItem &item)
{
    FUZZ_CHECK(!item.Nome.isEmpty() && !item.Contenuto.isEmpty(), QString());
    try {
        const QString file = NomeFileAllegato(item.Nome);
        FUZZ_CHECK(!file.contains(QLatin1Char('/')) && file != QLatin1String("..") && file != QLatin1String("."), file);
    } catch (const Exception &) {
    }
    try {
        const QByteArray text = TestoBase64Allegato(item.Contenuto, NomeVisibile(item.Nome));
        TDecoderMIME::DecodeText<TDecoderMIME>(text);
    } catch (const Exception &) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = inputBytes(data, size);

    // A pattern and a start taken from the input itself reach the edges
    // (empty pattern, start past the end, pattern longer than the text).
    if (!input.isEmpty()) {
        const qsizetype length = static_cast<uchar>(input[0]) % 16;
        const QByteArray pattern = input.mid(1, length);
        const QByteArray text = input.mid(1 + length);
        for (qint32 start : { -1, 0, 1, 2, static_cast<qint32>(text.size()), static_cast<qint32>(text.size()) + 1 })
            checkPosDa(pattern, text, start);
    }
    for (const char *name : { "Allegati", "NomeAttachment", "Attachment", "a" })
        checkElements(input, name);

    const QString file = writeScratchFile(scratchDir() + QStringLiteral("/fattura.xml"), input);
    QList<TAllegatoItem> list { { "already", "there" } };
    try {
        const qint32 count = LeggiAllegati(file, list);
        FUZZ_CHECK(count == list.size() - 1, QString::number(count));
    } catch (const Exception &) {
    }
    FUZZ_CHECK(list.first().Nome == "already", QString());
    for (qsizetype i = 1; i < list.size(); ++i)
        checkAttachment(list[i]);
    return 0;
}
