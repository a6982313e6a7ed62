// The archive window on a big folder or ZIP: from the start of the reading
// to the first rows in the table, and to the whole table with its totals.
// Prints both times in milliseconds for each path given, and the rows. The
// window checks every invoice as in the program (SCHEMI/ beside this
// program), unless --senza-controlli.
//
// Usage: archivio_bench PATH... [--resta SECONDS] [--senza-controlli]  (under
// QT_QPA_PLATFORM=offscreen, or on a screen; --resta keeps the last window
// open to look at it, at the size it opens with)
#include "app/dialoghi.h"
#include "app/finestraarchivio.h"
#include "common/folders.h"
#include "controlli/controlli.h"
#include "firma/elenco.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList percorsi = QCoreApplication::arguments().mid(1);
    int resta = 0;
    if (const qsizetype i = percorsi.indexOf(QStringLiteral("--resta")); i >= 0) {
        resta = percorsi.value(i + 1).toInt();
        percorsi.remove(i, 2);
    }
    const bool controlli = percorsi.removeAll(QStringLiteral("--senza-controlli")) == 0;
    const auto schemi = controlli
        ? std::make_shared<SchemiPigri>(QCoreApplication::applicationDirPath() + u'/' + DirSchemi.chopped(1))
        : nullptr;
    DialoghiQt dialoghi;
    // The signatures are checked as in the program, here without a list.
    const auto elenchi = std::make_shared<ElencoPigro>(QStringList());
    for (const QString &percorso : percorsi) {
        FinestraArchivio finestra(
            nullptr, dialoghi, QString(), [](const RigaArchivio &) {}, elenchi, schemi);
        if (resta == 0)
            finestra.resize(1400, 800);
        finestra.show();
        QCoreApplication::processEvents();
        QAbstractItemModel *tabella = finestra.findChild<QTableView *>(QStringLiteral("tabella"))->model();
        QElapsedTimer orologio;
        qint64 primeRighe = -1;
        // Shown once the loop has had its turn after the rows arrived.
        QObject::connect(tabella, &QAbstractItemModel::rowsInserted, &finestra, [&] {
            if (primeRighe < 0)
                QTimer::singleShot(0, &finestra, [&] {
                    if (primeRighe < 0)
                        primeRighe = orologio.elapsed();
                });
        });
        QEventLoop attesa;
        QObject::connect(&finestra, &FinestraArchivio::letturaFinita, &attesa, [&] {
            QTimer::singleShot(0, &attesa, &QEventLoop::quit); // the totals, then stop
        });
        orologio.start();
        finestra.leggi({ percorso });
        attesa.exec();
        std::printf("%s: prime righe %lld ms, tabella intera %lld ms, %d righe\n", qPrintable(percorso),
            static_cast<long long>(primeRighe), static_cast<long long>(orologio.elapsed()), tabella->rowCount());
        std::fflush(stdout);
        if (resta > 0 && percorso == percorsi.last()) {
            QTimer::singleShot(resta * 1000, &app, &QCoreApplication::quit);
            QApplication::exec();
        }
    }
    return 0;
}
