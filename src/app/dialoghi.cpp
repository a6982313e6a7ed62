#include "app/dialoghi.h"

#include "app/dialogorilievi.h"
#include "controlli/uscita.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWebEngineView>

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

void impostaApplicazione()
{
    QApplication::setApplicationName(QStringLiteral("Lentiva"));
    QApplication::setApplicationVersion(QStringLiteral("1.1.0.0"));
    // Before the web engine starts, which takes its menus' language from it.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto *traduzioni = new QTranslator(qApp);
    if (traduzioni->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(traduzioni);
}

ImpostazioniDellaSessione::ImpostazioniDellaSessione()
    : cartella_(std::make_unique<QTemporaryDir>())
{
    const QString dove = cartella_->isValid() ? cartella_->path() : QStringLiteral("/nonexistent");
    for (const QSettings::Format formato : { QSettings::NativeFormat, QSettings::IniFormat })
        for (const QSettings::Scope ambito : { QSettings::UserScope, QSettings::SystemScope })
            QSettings::setPath(formato, ambito, dove);
}

ImpostazioniDellaSessione::~ImpostazioniDellaSessione() = default;

DialoghiQt::DialoghiQt() = default;
DialoghiQt::~DialoghiQt() = default;

QString DialoghiQt::scegliFile(QWidget *parent, const ImpostazioniDialogo &impostazioni)
{
    QFileDialog dialog(parent, impostazioni.titolo, impostazioni.cartella);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The entries show the descriptions alone, as given; the patterns Qt
    // needs stay behind them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filtriQt(impostazioni.filtro));
    dialog.setDefaultSuffix(impostazioni.estensione);
    if (!ultimoFile_.isEmpty())
        dialog.selectFile(QFileInfo(ultimoFile_).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    ultimoFile_ = dialog.selectedFiles().constFirst();
    return ultimoFile_;
}

namespace {
void finestraMessaggio(QWidget *parent, QMessageBox::Icon icona, const QString &testo)
{
    QMessageBox box(icona, TitoloApplicazione, testo, QMessageBox::Ok, parent);
    // As given, also when it looks like markup (a file name holding "<b>").
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

QString DialoghiQt::scegliCartella(QWidget *parent, const QString &cartella, const QString &titolo)
{
    return QFileDialog::getExistingDirectory(parent, titolo, cartella);
}

void DialoghiQt::messaggio(QWidget *parent, const QString &testo)
{
    finestraMessaggio(parent, QMessageBox::NoIcon, testo);
}

void DialoghiQt::errore(QWidget *parent, const QString &testo)
{
    finestraMessaggio(parent, QMessageBox::Critical, testo);
}

void DialoghiQt::apri(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

QString DialoghiQt::scegliFileDaSalvare(
    QWidget *parent, const ImpostazioniDialogo &impostazioni, const QString &nomeProposto)
{
    QFileDialog dialog(parent, impostazioni.titolo, impostazioni.cartella);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filtriQt(impostazioni.filtro));
    dialog.setDefaultSuffix(impostazioni.estensione);
    dialog.selectFile(nomeProposto);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void DialoghiQt::stampa(QWidget *parent, QWebEngineView *view)
{
    // The engine prints one page at a time; a second request would fail.
    if (stampaInCorso_)
        return;
    if (!stampante_) {
        stampante_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        stampante_->setPageSize(QPageSize(QPageSize::A4));
    }
    QPrintDialog dialog(stampante_.get(), parent);
    dialog.setWindowTitle(QStringLiteral("Stampa"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    stampaInCorso_ = true;
    QObject::connect(
        view, &QWebEngineView::printFinished, view,
        [this, parent](bool ok) {
            stampaInCorso_ = false;
            if (!ok)
                errore(parent, QStringLiteral("Stampa non riuscita."));
        },
        Qt::SingleShotConnection);
    view->print(stampante_.get());
}

void DialoghiQt::dettagli(QWidget *parent, const QString &titolo, const QString &testo)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(titolo);
    dialog.resize(640, 520);
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QPlainTextEdit(testo, &dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth); // every line readable without scrolling sideways
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
}

void Dialoghi::rilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato)
{
    dettagli(parent, TitoloRilievi, RisultatoTesto(file, risultato));
}

void DialoghiQt::rilievi(QWidget *parent, const QString &file, const RisultatoControlli &risultato)
{
    DialogoRilievi dialog(parent, file, risultato);
    dialog.exec();
}
