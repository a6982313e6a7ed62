// lentiva-cli: builds the application, hands the arguments to the commands and
// returns their exit code. Needs no display, "pdf" included.
#include "cli/comandi.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace {
// "pdf" lives in a module beside the program, loaded only for that command.
using PdfMain = int (*)(int, char **);

PdfMain moduloPdf(const char *argv0)
{
    QString programma = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (programma.isEmpty())
        programma = QFileInfo(QFile::decodeName(argv0)).absoluteFilePath();
    QLibrary modulo(QFileInfo(programma).absolutePath() + QStringLiteral("/lentiva-cli-pdf"));
    return reinterpret_cast<PdfMain>(modulo.resolve("lentivaCliPdf"));
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "pdf") == 0) {
        if (const PdfMain pdf = moduloPdf(argv[0]))
            return pdf(argc, argv);
    }
    QCoreApplication app(argc, argv);
    // Without the module there is no "pdf"; the commands say so.
    return EseguiRigaDiComando();
}
