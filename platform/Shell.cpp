#include "platform/Shell.h"

#include "platform/Failure.h"

#include <QProcess>

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

void DesktopShell::open(const QString &target)
{
#ifdef Q_OS_WIN
    const QString program = QStringLiteral("explorer");
#else
    const QString program = QStringLiteral("xdg-open");
#endif
    if (!QProcess::startDetached(program, { target }))
        throw Failure(QStringLiteral("Could not start \"%1\" to open %2.").arg(program, target));
}
