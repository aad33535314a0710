#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The four case modes and their text rules. Every rule maps one character to one
// character with the simple, locale-independent case mapping, so no rule changes
// a text's length; a surrogate pair counts as one character.
namespace Case {

enum class Mode { Upper = 0, Lower = 1, Proper = 2, Sentence = 3 };

// The mode box's items, in order (index = int(Mode)).
inline const QStringList ModeTexts = { QStringLiteral("UPPER CASE"), QStringLiteral("lower case"),
    QStringLiteral("Proper Case"), QStringLiteral("Sentence case") };

// Which characters start a new word in Proper case.
enum class Separators {
    Preview, // space, tab, carriage return
    StoredValue, // NUL, tab, line feed, vertical tab, form feed, carriage return, space
};

// The mode named by a mode text: "upper", "lower", "proper", "sentence" looked
// for in the lower-cased text, in that order; no mode when none is found.
std::optional<Mode> modeOf(const QString &modeText);

QString upperCase(const QString &text);
QString lowerCase(const QString &text);
QString properCase(const QString &text, Separators separators);
QString sentenceCase(const QString &text);

// The rule for values written to the database.
QString convertForStorage(Mode mode, const QString &text);
// True when the two texts differ at most in the letter case of their
// characters, character for character, as a conversion by any mode leaves them.
bool sameLetters(const QString &a, const QString &b);
// The rule for the preview list.
QString convertForPreview(Mode mode, const QString &text);

// One character's partners as every rule maps them: a partner that would take
// another number of UTF-16 units is not taken, the character stays.
char32_t upperOf(char32_t c);
char32_t lowerOf(char32_t c);
// The upper case of the lower case, as the rules raise a word's first letter.
char32_t capitalOf(char32_t c);

// The list conversion: rewrites every text in place with the mode's preview rule.
void convertList(Mode mode, QStringList &texts);

} // namespace Case
