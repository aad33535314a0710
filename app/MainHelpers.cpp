#include "app/MainHelpers.h"

#include "app/BuildConfig.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace Main {

namespace {
QString programFolderOverride;
QString applicationTitle;
constexpr qsizetype LongestTitle = 40;
} // namespace

QVariant NullToDefault(const QVariant &value, const QVariant &defaultValue)
{
    return (!value.isValid() || value.isNull()) ? defaultValue : value;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString ProgramFolder()
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
    return filesFolderFor(ProgramFolder()) + QLatin1Char('/') + name;
}

QString titleFor(const QString &productTitle)
{
    QString title = productTitle;
    while (title.size() > LongestTitle) {
        const qsizetype lastBlank = title.lastIndexOf(QLatin1Char(' '));
        // A title with no blank left cannot lose a whole word: cut it at the limit.
        title = lastBlank >= 0 ? title.left(lastBlank) : title.left(LongestTitle);
    }
    return title;
}

void SetAppTitle()
{
    applicationTitle = titleFor(QString::fromUtf8(BuildConfig::ProductTitle));
    QCoreApplication::setApplicationName(applicationTitle);
}

QString appTitle()
{
    return applicationTitle.isEmpty() ? QString::fromUtf8(BuildConfig::ProductTitle) : applicationTitle;
}

void showMessage(QWidget *parent, const QString &text)
{
    MessageBoxes::instance().inform(parent, text, appTitle(), MessageBoxes::Icon::None);
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

} // namespace Main
