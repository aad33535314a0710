#include "platform/PrivateFile.h"

#include "platform/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "platform/WindowsApi.h"

#include <aclapi.h>

#include <vector>
#else
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
#else
namespace {

enum class Kind { Folder, File };

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// The security identifier of the user the program runs as.
std::vector<BYTE> currentUser()
{
    HANDLE token = nullptr;
    std::vector<BYTE> user;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user.resize(size);
        if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size))
            user.clear();
        ::CloseHandle(token);
    }
    if (user.empty())
        throw Failure(QStringLiteral("The program cannot tell which user it runs as: %1.")
                          .arg(qt_error_string(int(::GetLastError()))));
    return user;
}

// Gives the path an access list of one entry, full access for the user, that
// takes in nothing from the folders above it; a folder hands the entry on to
// what is made in it. False when there is nothing at the path.
bool narrow(const QString &path, Kind kind)
{
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = ::GetFileAttributesW(wide(native));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw Failure(QStringLiteral("%1 is a symbolic link; nothing private is written through it.").arg(native));
    if (kind == Kind::Folder && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure(QStringLiteral("%1 is not a folder.").arg(native));
    if (kind == Kind::File && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure(QStringLiteral("%1 is not a plain file.").arg(native));

    std::vector<BYTE> user = currentUser();
    EXPLICIT_ACCESSW access = {};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = kind == Kind::Folder ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid);
    PACL list = nullptr;
    DWORD result = ::SetEntriesInAclW(1, &access, nullptr, &list);
    if (result == ERROR_SUCCESS) {
        std::wstring name(wide(native));
        result = ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr);
        ::LocalFree(list);
    }
    if (result != ERROR_SUCCESS)
        throw Failure(QStringLiteral("%1 cannot be made private: %2.").arg(native, qt_error_string(int(result))));
    return true;
}

} // namespace
#endif

void prepare(const QString &filePath)
{
    prepareFolder(QFileInfo(filePath).absolutePath());
#ifndef Q_OS_WIN
    narrow(filePath, Kind::File, 0600);
#else
    narrow(filePath, Kind::File);
#endif
}

void prepareFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    if (!narrow(folder, Kind::Folder, 0700)) {
        const CreationScope privateFiles;
        if (!QDir().mkpath(folder))
            throw Failure(QStringLiteral("The folder %1 cannot be created.").arg(folder));
        narrow(folder, Kind::Folder, 0700);
    }
#else
    if (!narrow(folder, Kind::Folder)) {
        if (!QDir().mkpath(folder))
            throw Failure(QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder)));
        narrow(folder, Kind::Folder);
    }
#endif
}

bool openRegular(QFile &file, QString &reason)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = qt_error_string(errno);
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("it is not a regular file");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = file.errorString();
        return false;
    }
    return true;
#else
    if (!QFileInfo(file.fileName()).isFile()) {
        reason = QStringLiteral("it is not a regular file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    return true;
#endif
}

bool replaceContents(const QString &path, const QByteArray &bytes)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
        S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    struct stat info = {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
        && ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::ftruncate(fd, 0) == 0;
    for (qsizetype done = 0; written && done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        written = wrote > 0;
        done += wrote > 0 ? wrote : 0;
    }
    return ::close(fd) == 0 && written;
#else
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction() || (info.exists() && !info.isFile()))
        return false;
    const CreationScope privateFiles;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
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
