#include "ui/EventDispatcher.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QtGlobal>

void EventDispatcher::preferQtOwn()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsSet("QT_NO_GLIB"))
        return;
    const QString gtkTheme
        = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platformthemes/libqgtk3.so");
    if (QFileInfo::exists(gtkTheme))
        return;
    qputenv("QT_NO_GLIB", "1");
#endif
}
