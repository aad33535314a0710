#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Keeps a file, and the folder that holds it, readable by its owner only: 0600
// and 0700 on POSIX systems; on Windows an access list of one entry, the user's,
// which a folder hands on to the files made in it.
namespace PrivateFile {

// Makes the file's place private before anything is written to it: creates the
// folder when it is missing, and narrows an existing folder and file to their
// owner. Throws Failure naming the path, and changes nothing there, when the
// folder or the file is a symbolic link, not a plain folder or file, or belongs
// to another user: whatever it leads to is not ours to write into.
void prepare(const QString &filePath);

// The same for a folder alone: what is made in it afterwards is private too
// (on POSIX systems while a CreationScope lives).
void prepareFolder(const QString &folder);

// Opens the path for reading only when it is a regular file: a pipe, a device
// or a folder is never read (a pipe would wait for ever, a device never end),
// and on POSIX systems a pipe is never even waited on. False, with the reason
// in the system's words or "it is not a regular file", otherwise.
bool openRegular(QFile &file, QString &reason);

// Replaces the contents of a small file of the user's with `bytes`, creating
// it private: never through a symbolic link, never into what is not a regular
// file (a pipe is not waited on), never into a file of another user. False
// when it was not written.
bool replaceContents(const QString &path, const QByteArray &bytes);

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
