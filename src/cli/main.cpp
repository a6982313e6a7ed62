// lentiva-cli: builds the core application, hands the arguments to the
// commands and returns their exit code. Needs no display.
#include "cli/comandi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lentiva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.1.0.0"));

    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    QStringList argomenti = QCoreApplication::arguments();
    argomenti.removeFirst();
    return EseguiComando(argomenti, QCoreApplication::applicationDirPath() + QDir::separator(), out, err);
}
