#include "platform/PrivateFile.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace PrivateFile {

void restrict(const QString &filePath)
{
#ifndef Q_OS_WIN
    const QFileInfo info(filePath);
    if (info.exists())
        QFile::setPermissions(filePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString folder = info.absolutePath();
    if (QFileInfo(folder).isDir())
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#else
    Q_UNUSED(filePath);
#endif
}

CreationScope::CreationScope()
{
#ifndef Q_OS_WIN
    m_previous = ::umask(077);
#endif
}

CreationScope::~CreationScope()
{
#ifndef Q_OS_WIN
    ::umask(mode_t(m_previous));
#endif
}

} // namespace PrivateFile
