#include "casing/WordListFile.h"

#include "casing/WordRules.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace WordListFile {

namespace {

// A list of words is small; a larger file is no list of words.
constexpr qint64 LargestFile = 16 * 1024 * 1024;
constexpr qsizetype LongestLine = 200;

} // namespace

std::variant<QStringList, QString> read(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    QString reason;
    if (!PrivateFile::openRegular(file, reason))
        return QStringLiteral("The word list %1 cannot be read: %2.").arg(shown, reason);
    if (file.size() > LargestFile)
        return QStringLiteral("The word list %1 is larger than 16 MiB.").arg(shown);
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QStringLiteral("The word list %1 is not UTF-8 text.").arg(shown);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    QStringList words;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QString line = lines[number];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.size() > LongestLine)
            return QStringLiteral("Line %1 of the word list %2 is longer than %3 characters.")
                .arg(number + 1)
                .arg(shown)
                .arg(LongestLine);
        if (line.trimmed().isEmpty())
            continue;
        if (const QString refusal = WordRules::refusal(line); !refusal.isEmpty())
            return QStringLiteral("Line %1 of the word list %2 is not one word: %3.")
                .arg(number + 1)
                .arg(shown, refusal);
        words << line;
    }
    return words;
}

} // namespace WordListFile
