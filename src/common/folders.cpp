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
// The program folder's attachments folder can be written into, or made.
bool allegatiScrivibili(const QString &allegati, const QString &dirProgramma)
{
    // Without the closing separator: with it, a file of that name does not exist.
    const QFileInfo cartella(allegati.chopped(1));
    if (cartella.exists())
        return cartella.isDir() && cartella.isWritable();
    const QFileInfo programma(dirProgramma.isEmpty() ? QStringLiteral(".") : dirProgramma);
    return programma.isDir() && programma.isWritable();
}

QString allegatiNeiDocumenti(const QString &dirDocumenti)
{
    return includeTrailingSeparator(dirDocumenti) + QStringLiteral("Lentiva") + folderSeparator() + DirAllegati;
}
} // namespace

QString CartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti)
{
    const QString allegati = dirProgramma + DirAllegati;
    if (dirDocumenti.isEmpty() || allegatiScrivibili(allegati, dirProgramma))
        return allegati;
    return allegatiNeiDocumenti(dirDocumenti);
}

QString PreparaCartellaAllegati(const QString &dirProgramma, const QString &dirDocumenti)
{
    const QString cartella = CartellaAllegati(dirProgramma, dirDocumenti);
    // A folder that cannot be made shows as the save's own error.
    if (cartella != dirProgramma + DirAllegati)
        forceDirectories(cartella);
    return cartella;
}
