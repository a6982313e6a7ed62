// The window's dialogs in a home and configuration folder of their own: Qt's
// texts are Italian, and nothing appears in either folder, whatever dialog the
// user goes through.
#include "app/dialoghi.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {
QTemporaryDir *casa = nullptr;
QTemporaryDir *configurazione = nullptr;

// Answers the next modal file dialog with the path, once it is on screen, and
// says what its accept button read; gives up after ten seconds.
void rispondi(const QString &percorso, QString *pulsante)
{
    auto *attesa = new QTimer(qApp);
    auto tentativi = std::make_shared<int>(100);
    QObject::connect(attesa, &QTimer::timeout, [=] {
        auto *dialogo = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if ((dialogo == nullptr || !dialogo->isVisible()) && --*tentativi > 0)
            return;
        attesa->deleteLater();
        if (dialogo == nullptr)
            return;
        for (QPushButton *b : dialogo->findChildren<QPushButton *>())
            if (b->isDefault())
                *pulsante = b->text();
        // Typed as a user would: the folder's listing may not be loaded yet.
        if (auto *nome = dialogo->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            nome->setText(percorso);
        QMetaObject::invokeMethod(dialogo, "accept");
        if (dialogo->isVisible()) // a name it would not take
            dialogo->reject();
    });
    attesa->start(100);
}

QStringList fileIn(const QString &cartella)
{
    QStringList trovati;
    for (QDirIterator it(cartella, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();)
        trovati << it.next();
    return trovati;
}
} // namespace

TEST(Sessione, DialogsSpeakItalianAndWriteNoSettings)
{
    const QString fattura = casa->filePath(QStringLiteral("Fatture/f.xml"));
    QDir(casa->path()).mkpath(QStringLiteral("Fatture"));
    QFile(fattura).open(QIODevice::WriteOnly);
    DialoghiQt dialoghi;
    QString apri, salva;
    rispondi(fattura, &apri);
    EXPECT_EQ(dialoghi.scegliFile(nullptr,
                  { casa->filePath(QStringLiteral("Fatture")), QStringLiteral("xml"),
                      QStringLiteral("fatture (.xml)|*.xml"), QStringLiteral("Scelta") }),
        fattura);
    rispondi(casa->filePath(QStringLiteral("Fatture/f.pdf")), &salva);
    EXPECT_EQ(dialoghi.scegliFileDaSalvare(nullptr,
                  { casa->filePath(QStringLiteral("Fatture")), QStringLiteral("pdf"), QStringLiteral("PDF|*.pdf"),
                      QStringLiteral("Esporta PDF") },
                  QStringLiteral("f.pdf")),
        casa->filePath(QStringLiteral("Fatture/f.pdf")));
    EXPECT_EQ(apri, QStringLiteral("&Apri"));
    EXPECT_EQ(salva, QStringLiteral("&Salva"));
    EXPECT_EQ(fileIn(configurazione->path()), QStringList());
    EXPECT_EQ(fileIn(casa->path()), QStringList { fattura });
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Empty folders of the user, set before Qt looks at them.
    QTemporaryDir h, c;
    casa = &h;
    configurazione = &c;
    qputenv("HOME", h.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", c.path().toLocal8Bit());
    const ImpostazioniDellaSessione impostazioni;
    QApplication app(argc, argv);
    impostaApplicazione();
    return RUN_ALL_TESTS();
}
