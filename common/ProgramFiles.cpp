#include "common/ProgramFiles.h"

#include "common/BuildConfig.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace ProgramFiles {

namespace {
QString programFolderOverride;
} // namespace

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString programFolder()
{
    if (!programFolderOverride.isEmpty())
        return programFolderOverride;
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString &folder)
{
    programFolderOverride = folder;
}

QString filesFolderFor(const QString &programFolder)
{
    const QDir folder(programFolder);
    if (folder.dirName() == QLatin1String("bin")) {
        const QString installed
            = QDir::cleanPath(folder.filePath(QString::fromUtf8(BuildConfig::InstalledFilesFolder)));
        if (QFileInfo(installed).isDir())
            return installed;
    }
    return programFolder;
}

QString besideProgram(const QString &name)
{
    return filesFolderFor(programFolder()) + QLatin1Char('/') + name;
}

} // namespace ProgramFiles
