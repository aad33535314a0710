#include "app/MainHelpers.h"

#include "app/BuildConfig.h"
#include "platform/MessageBoxes.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
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

void showMessage(QWidget *parent, const QString &text, const QString &details)
{
    MessageBoxes::instance().inform(parent, text, appTitle(), MessageBoxes::Icon::None, details);
}

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x20)
            shown += QChar(0x2400 + unit);
        else if (unit == 0x7f)
            shown += QChar(0x2421);
        else if ((unit >= 0x80 && unit < 0xa0) || unit == 0x2028 || unit == 0x2029)
            shown += QStringLiteral("<U+%1>").arg(int(unit), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}

namespace {

class EnterClicks final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (auto *button = qobject_cast<QAbstractButton *>(watched);
                button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
                button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void clickOnEnter(QAbstractButton *button)
{
    button->installEventFilter(new EnterClicks(button));
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
