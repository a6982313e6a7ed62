// The bulk extraction on arbitrary bytes into a fresh folder. The folder lies
// three levels deep in a private tree, and after each run every level must
// still hold only what the harness put there, and the folder itself exactly
// the files named by the attachments written: nothing may land beside it,
// above it (through "..") or anywhere else (through an absolute name).
#include "attachments/allegati.h"
#include "attachments/estrazione.h"
#include "common/errors.h"

#include "fuzzsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {
// The names the first count attachments of the list are written under.
QSet<QString> expectedFiles(const QString &invoice, qint32 count)
{
    QList<TAllegatoItem> list;
    LeggiAllegati(invoice, list);
    FUZZ_CHECK(count <= list.size(), QStringLiteral("%1 of %2").arg(count).arg(list.size()));
    QSet<QString> names;
    for (qint32 i = 0; i < count; ++i)
        names.insert(NomeFileAllegato(list[i].Nome));
    return names;
}

void checkOnly(const QString &folder, const QStringList &expected)
{
    const QStringList found = folderEntries(folder);
    FUZZ_CHECK(found == expected, folder + QStringLiteral(": ") + found.join(QLatin1Char('|')));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString root = scratchDir();
    const QString invoice = writeScratchFile(root + QStringLiteral("/fattura.xml"), inputBytes(data, size));
    const QString levels[]
        = { root + QStringLiteral("/a"), root + QStringLiteral("/a/b"), root + QStringLiteral("/a/b/c") };
    const QString target = levels[2] + QStringLiteral("/ALLEGATI");
    removeTree(levels[0]);
    if (!QDir().mkpath(levels[2]))
        fuzzFailure("making the scratch tree", levels[2]);

    QString message;
    const qint32 count = EstraiAllegati(invoice, target, message);
    FUZZ_CHECK(count >= 0, QString::number(count));

    checkOnly(root, { QStringLiteral("a"), QStringLiteral("fattura.xml") });
    checkOnly(levels[0], { QStringLiteral("b") });
    checkOnly(levels[1], { QStringLiteral("c") });
    checkOnly(levels[2], { QStringLiteral("ALLEGATI") });

    QStringList written;
    for (const QFileInfo &info :
        QDir(target).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        FUZZ_CHECK(info.isFile() && !info.isSymLink(), info.filePath());
        written << info.fileName();
    }
    const QSet<QString> expected = expectedFiles(invoice, count);
    FUZZ_CHECK(QSet<QString>(written.begin(), written.end()) == expected,
        written.join(QLatin1Char('|')) + QStringLiteral(" / ") + QStringList(expected.values()).join(QLatin1Char('|')));
    return 0;
}
