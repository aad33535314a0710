#include "platform/Shell.h"

#include "platform/Failure.h"

#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include "platform/WindowsApi.h"
#endif

namespace {
Shell *installed = nullptr;
} // namespace

Shell &Shell::instance()
{
    static DesktopShell real;
    return installed ? *installed : real;
}

void Shell::setInstance(Shell *shell)
{
    installed = shell;
}

#ifdef Q_OS_WIN
// explorer "target", in a minimised window that takes the focus: explorer
// opens a file with the program Windows associates with it, and an address
// with the user's browser.
void DesktopShell::open(const QString &target)
{
    QProcess explorer;
    explorer.setProgram(QStringLiteral("explorer"));
    explorer.setNativeArguments(QLatin1Char('"') + target + QLatin1Char('"'));
    explorer.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        arguments->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
    if (!explorer.startDetached())
        throw Failure(QStringLiteral("Could not start \"explorer\" to open %1.").arg(target));
}
#else
void DesktopShell::open(const QString &target)
{
    const QString program = QStringLiteral("xdg-open");
    // xdg-open starts whatever it finds, and says nothing when it finds no
    // program for folders: ask first which program that is.
    if (QFileInfo(target).isDir()) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"),
            { QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory") });
        if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit
            && query.readAllStandardOutput().trimmed().isEmpty())
            throw Failure(QStringLiteral("No program to open folders is set up on this desktop."));
    }
    if (!QProcess::startDetached(program, { target }))
        throw Failure(QStringLiteral("Could not start \"%1\" to open %2.").arg(program, target));
}
#endif
