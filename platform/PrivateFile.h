#pragma once

#include <QString>

// Keeps a file, and the folder that holds it, readable by its owner only
// (0600 and 0700 on POSIX systems; per-user locations already are on Windows).
namespace PrivateFile {

// Makes the file's place private before anything is written to it: creates the
// folder when it is missing, and narrows an existing folder and file to their
// owner. Throws Failure naming the path, and changes nothing there, when the
// folder or the file is a symbolic link, not a plain folder or file, or belongs
// to another user: whatever it leads to is not ours to write into.
void prepare(const QString &filePath);

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
