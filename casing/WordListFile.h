#pragma once

#include <QString>
#include <QStringList>

#include <variant>

// A file of words, one per line, in UTF-8, as they must be written.
namespace WordListFile {

// The words of the file, empty lines left out; or why the file is refused:
// not a regular file, not UTF-8, a line of more than 200 characters, or a
// line that is not one word.
std::variant<QStringList, QString> read(const QString &path);

} // namespace WordListFile
