// "Aggiorna elenco certificatori" against a server on 127.0.0.1: the list
// written whole, every failure leaving the folder as it was.
#include "firma/scaricaelenco.h"
#include "pkiprova.h"

#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Scarica, TheListIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const PkiProva pki(dir.path());
    const QByteArray lista = pki.elenco({ { "granted", QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC) } }, true);
    const QString cartella = dir.filePath(QStringLiteral("CERTIFICATORI"));
    const QString scritto = cartella + QStringLiteral("/TSL-IT.xml");
    ServerProva server;
    server.risposta = ServerProva::http("200 OK", lista);
    EXPECT_EQ(ScaricaElenco(server.indirizzo(), cartella),
        QStringLiteral("Elenco dei certificatori aggiornato: 1 servizi di certificazione, emesso il 01/01/2024, "
                       "prossimo aggiornamento il 01/01/2099; firma dell'elenco integra.\nSalvato in ")
            + scritto);
    EXPECT_EQ(readBytes(scritto), lista);

    const struct {
        const char *nome;
        QByteArray risposta;
        QString messaggio;
    } casi[] = {
        { "not found", ServerProva::http("404 Not Found", "no"),
            QStringLiteral("Aggiornamento non riuscito: il server ha risposto 404") },
        { "a page, not a list", ServerProva::http("200 OK", "<html><body>Manutenzione</body></html>"),
            QStringLiteral("Aggiornamento non riuscito: quanto scaricato non è utilizzabile (Il file non è un elenco "
                           "dei certificatori (ETSI TS 119 612))") },
        { "too big", ServerProva::http("200 OK", QByteArray(21 * 1024 * 1024, ' ')),
            QStringLiteral("Aggiornamento non riuscito: l'elenco scaricato supera i 20 MB") },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        server.risposta = c.risposta;
        EXPECT_EQ(errorOf([&] { ScaricaElenco(server.indirizzo(), cartella); }), c.messaggio.toStdString());
        EXPECT_EQ(readBytes(scritto), lista);
    }
    const QUrl chiuso = server.indirizzo();
    server.server.close();
    EXPECT_EQ(errorOf([&] { ScaricaElenco(chiuso, cartella); }), "Aggiornamento non riuscito: Connection refused");
    EXPECT_EQ(QDir(cartella).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("TSL-IT.xml") });
}
