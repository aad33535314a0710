#include "platform/PrivateFile.h"

#include "platform/Failure.h"

#include <QDir>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PrivateFile {

#ifndef Q_OS_WIN
namespace {

enum class Kind { Folder, File };

// Opens the path itself, never what a symbolic link at its end leads to, checks
// what it is and whose, and narrows it to `mode` through the open descriptor.
// False when there is nothing at the path.
bool narrow(const QString &path, Kind kind, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (kind == Kind::Folder ? O_DIRECTORY : 0);
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return false;
        struct stat link = {};
        if (::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            throw Failure(QStringLiteral("%1 is a symbolic link; nothing private is written through it.").arg(path));
        if (error == ENOTDIR)
            throw Failure(QStringLiteral("%1 is not a folder.").arg(path));
        throw Failure(
            QStringLiteral("%1 cannot be opened: %2.").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    struct stat info = {};
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = QStringLiteral("%1 cannot be examined.").arg(path);
    else if (kind == Kind::File && !S_ISREG(info.st_mode))
        refusal = QStringLiteral("%1 is not a plain file.").arg(path);
    else if (info.st_uid != ::geteuid())
        refusal = QStringLiteral("%1 belongs to another user.").arg(path);
    else if ((info.st_mode & 07777) != mode && ::fchmod(fd, mode) != 0)
        refusal
            = QStringLiteral("%1 cannot be made private: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    ::close(fd);
    if (!refusal.isEmpty())
        throw Failure(refusal);
    return true;
}

} // namespace
#endif

void prepare(const QString &filePath)
{
#ifndef Q_OS_WIN
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!narrow(folder, Kind::Folder, 0700)) {
        const CreationScope privateFiles;
        if (!QDir().mkpath(folder))
            throw Failure(QStringLiteral("The folder %1 cannot be created.").arg(folder));
        narrow(folder, Kind::Folder, 0700);
    }
    narrow(filePath, Kind::File, 0600);
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
