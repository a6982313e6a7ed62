// "Aggiorna elenco certificatori" against a server on 127.0.0.1: the list
// written whole, every failure (and a cancel) leaving the folder as it was.
#include "firma/scaricaelenco.h"
#include "pkiprova.h"

#include "support/testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// The outcome of one download, its sentence after a "+" or a "-".
QString scarica(const QUrl &indirizzo, const QString &cartella, bool annulla = false)
{
    ScaricamentoElenco s(indirizzo, cartella);
    QSignalSpy finito(&s, &ScaricamentoElenco::finito);
    s.avvia(QDateTime::currentDateTimeUtc());
    if (annulla)
        s.annulla();
    if ((finito.isEmpty() && !finito.wait(30000)) || finito.size() != 1)
        return QStringLiteral("(never finished)");
    return (finito[0][0].toBool() ? QStringLiteral("+") : QStringLiteral("-")) + finito[0][1].toString();
}
} // namespace

TEST(Scarica, TheListIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const PkiProva pki(dir.path());
    const QByteArray lista = pki.elenco({ { "granted", QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC) } }, true);
    const QString cartella = dir.filePath(QStringLiteral("CERTIFICATORI"));
    const QString scritto = cartella + QStringLiteral("/TSL-IT.xml");
    ServerProva server;
    server.risposta = ServerProva::http("200 OK", lista);
    EXPECT_EQ(scarica(server.indirizzo(), cartella),
        QStringLiteral("+Elenco dei certificatori aggiornato: 2 servizi di certificazione, emesso il 01/01/2024, "
                       "prossimo aggiornamento il 01/01/2099; firma dell'elenco integra.\nSalvato in ")
            + scritto);
    EXPECT_EQ(readBytes(scritto), lista);

    const struct {
        const char *nome;
        QByteArray risposta;
        QString messaggio;
    } casi[] = {
        { "not found", ServerProva::http("404 Not Found", "no"),
            QStringLiteral("-Aggiornamento non riuscito: il server ha risposto 404") },
        { "a page, not a list", ServerProva::http("200 OK", "<html><body>Manutenzione</body></html>"),
            QStringLiteral("-Aggiornamento non riuscito: quanto scaricato non è utilizzabile (Il file non è un elenco "
                           "dei certificatori (ETSI TS 119 612))") },
        { "too big", ServerProva::http("200 OK", QByteArray(21 * 1024 * 1024, ' ')),
            QStringLiteral("-Aggiornamento non riuscito: l'elenco scaricato supera i 20 MB") },
    };
    for (const auto &c : casi) {
        SCOPED_TRACE(c.nome);
        server.risposta = c.risposta;
        EXPECT_EQ(scarica(server.indirizzo(), cartella), c.messaggio);
        EXPECT_EQ(readBytes(scritto), lista);
    }
    server.risposta = ServerProva::http("200 OK", lista + "<!-- nuovo -->");
    EXPECT_EQ(scarica(server.indirizzo(), cartella, true),
        QStringLiteral("-Aggiornamento annullato: l'elenco dei certificatori non è cambiato"));
    EXPECT_EQ(readBytes(scritto), lista);
    const QUrl chiuso = server.indirizzo();
    server.server.close();
    EXPECT_EQ(scarica(chiuso, cartella), QStringLiteral("-Aggiornamento non riuscito: Connection refused"));
    EXPECT_EQ(QDir(cartella).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("TSL-IT.xml") });
}
