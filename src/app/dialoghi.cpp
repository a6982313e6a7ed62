#include "app/dialoghi.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QStringList filtriQt(const QString &filtro)
{
    QStringList result;
    const QStringList parts = filtro.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        result << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return result;
}

QString DialoghiQt::scegliFile(QWidget *parent, const ImpostazioniDialogo &impostazioni)
{
    QFileDialog dialog(parent, impostazioni.titolo, impostazioni.cartella);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filtriQt(impostazioni.filtro));
    dialog.setDefaultSuffix(impostazioni.estensione);
    if (!ultimoFile_.isEmpty())
        dialog.selectFile(QFileInfo(ultimoFile_).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    ultimoFile_ = dialog.selectedFiles().constFirst();
    return ultimoFile_;
}

void DialoghiQt::messaggio(QWidget *parent, const QString &testo)
{
    QMessageBox box(QMessageBox::NoIcon, TitoloApplicazione, testo, QMessageBox::Ok, parent);
    box.exec();
}

void DialoghiQt::errore(QWidget *parent, const QString &testo)
{
    QMessageBox box(QMessageBox::Critical, TitoloApplicazione, testo, QMessageBox::Ok, parent);
    box.exec();
}

void DialoghiQt::apri(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
