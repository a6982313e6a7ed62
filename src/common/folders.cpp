#include "common/folders.h"

#include "common/fileio.h"
#include "common/filenames.h"

#include <QFileInfo>

QString programFolderFrom(const QString &programPath)
{
    const QString folder = extractFilePath(programPath);
    return folder.isEmpty() ? folder : includeTrailingSeparator(folder);
}

namespace {
// The program folder's sub-folder can be written into, or made.
bool scrivibile(const QString &cartella, const QString &dirProgramma)
{
    // Without the closing separator: with it, a file of that name does not exist.
    const QFileInfo info(cartella.chopped(1));
    if (info.exists())
        return info.isDir() && info.isWritable();
    const QFileInfo programma(dirProgramma.isEmpty() ? QStringLiteral(".") : dirProgramma);
    return programma.isDir() && programma.isWritable();
}
} // namespace

QString CartellaScrivibile(const QString &dirProgramma, const QString &sottocartella, const QString &dirDocumenti)
{
    const QString accanto = dirProgramma + sottocartella;
    if (dirDocumenti.isEmpty() || scrivibile(accanto, dirProgramma))
        return accanto;
    return includeTrailingSeparator(dirDocumenti) + QStringLiteral("Lentiva") + folderSeparator() + sottocartella;
}

QString CartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti)
{
    return CartellaScrivibile(dirProgramma, DirAllegati, dirDocumenti);
}

QStringList CartelleCertificatori(const QString &dirProgramma, const QString &dirDocumenti)
{
    QStringList cartelle { dirProgramma + DirCertificatori };
    const QString scaricati = CartellaScrivibile(dirProgramma, DirCertificatori, dirDocumenti);
    if (scaricati != cartelle.first())
        cartelle << scaricati;
    return cartelle;
}

QString PreparaCartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti)
{
    const QString cartella = CartellaAllegati(dirProgramma, dirDocumenti);
    // A folder that cannot be made shows as the save's own error.
    if (cartella != dirProgramma + DirAllegati)
        forceDirectories(cartella);
    return cartella;
}
