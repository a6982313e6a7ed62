#include "common/folders.h"

#include "common/filenames.h"

QString programFolderFrom(const QString &programPath)
{
    const QString folder = extractFilePath(programPath);
    return folder.isEmpty() ? folder : includeTrailingSeparator(folder);
}
