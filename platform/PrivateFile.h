#pragma once

#include <QString>

// Keeps a file, and the folder that holds it, readable by its owner only
// (0600 and 0700 on POSIX systems; per-user locations already are on Windows).
namespace PrivateFile {

// Restricts the permissions of an existing file and of its folder.
void restrict(const QString &filePath);

// While one lives, files the process creates are private to the user.
class CreationScope {
public:
    CreationScope();
    ~CreationScope();
    CreationScope(const CreationScope &) = delete;
    CreationScope &operator=(const CreationScope &) = delete;

private:
    unsigned m_previous = 0;
};

} // namespace PrivateFile
