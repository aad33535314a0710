#include "casing/Case.h"

namespace Case {

namespace {

// Capital is the upper case of the character's lower case: the rules lower
// the whole text first and then raise the starts.
enum class Mapping { Upper, Lower, Capital };

bool isSeparator(char32_t c, Separators separators)
{
    switch (separators) {
    case Separators::Preview:
        return c == U' ' || c == U'\t' || c == U'\r';
    case Separators::StoredValue:
        return c == 0 || (c >= 9 && c <= 13) || c == U' ';
    }
    return false;
}

char32_t mapped(char32_t c, Mapping mapping)
{
    if (mapping == Mapping::Capital)
        return mapped(mapped(c, Mapping::Lower), Mapping::Upper);
    const char32_t result = mapping == Mapping::Upper ? QChar::toUpper(c) : QChar::toLower(c);
    // A partner that would need another number of code units would change the
    // text's length: keep the character as it is.
    return QChar::requiresSurrogates(result) == QChar::requiresSurrogates(c) ? result : c;
}

// Walks the text one character (code point) at a time; a lone surrogate is a
// character of its own that no mapping touches. `decide` gets each character
// and its position among the characters and says how to map it, if at all.
template <typename Decide>
QString transform(const QString &text, Decide &&decide)
{
    QString result = text;
    char16_t *units = reinterpret_cast<char16_t *>(result.data());
    const qsizetype size = result.size();
    qsizetype index = 0;
    for (qsizetype i = 0; i < size; ++index) {
        const char16_t unit = units[i];
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1]);
        const bool lone = !pair && QChar::isSurrogate(unit);
        const char32_t c = pair ? QChar::surrogateToUcs4(unit, units[i + 1]) : char32_t(unit);
        const std::optional<Mapping> mapping = decide(c, index);
        if (mapping && !lone) {
            const char32_t m = mapped(c, *mapping);
            if (pair) {
                units[i] = QChar::highSurrogate(m);
                units[i + 1] = QChar::lowSurrogate(m);
            } else {
                units[i] = char16_t(m);
            }
        }
        i += pair ? 2 : 1;
    }
    return result;
}

} // namespace

std::optional<Mode> modeOf(const QString &modeText)
{
    const QString lowered = lowerCase(modeText);
    const std::pair<QLatin1String, Mode> keywords[]
        = { { QLatin1String("upper"), Mode::Upper }, { QLatin1String("lower"), Mode::Lower },
              { QLatin1String("proper"), Mode::Proper }, { QLatin1String("sentence"), Mode::Sentence } };
    for (const auto &[keyword, mode] : keywords)
        if (lowered.contains(keyword))
            return mode;
    return std::nullopt;
}

QString upperCase(const QString &text)
{
    return transform(text, [](char32_t, qsizetype) { return std::optional(Mapping::Upper); });
}

QString lowerCase(const QString &text)
{
    return transform(text, [](char32_t, qsizetype) { return std::optional(Mapping::Lower); });
}

QString properCase(const QString &text, Separators separators)
{
    bool capitalise = true;
    return transform(text, [&](char32_t c, qsizetype) {
        const Mapping mapping = capitalise ? Mapping::Capital : Mapping::Lower;
        capitalise = isSeparator(c, separators);
        return std::optional(mapping);
    });
}

QString sentenceCase(const QString &text)
{
    return transform(
        text, [](char32_t, qsizetype index) { return std::optional(index == 0 ? Mapping::Capital : Mapping::Lower); });
}

QString convertForStorage(Mode mode, const QString &text)
{
    switch (mode) {
    case Mode::Upper:
        return upperCase(text);
    case Mode::Lower:
        return lowerCase(text);
    case Mode::Proper:
        return properCase(text, Separators::StoredValue);
    case Mode::Sentence:
        return sentenceCase(text);
    }
    return text;
}

bool sameLetters(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    const QChar *x16 = a.constData();
    const QChar *y16 = b.constData();
    for (qsizetype i = 0; i < a.size();) {
        // Letters of ASCII change case only among themselves, and nothing
        // else becomes one of them but the letters beyond ASCII below.
        if (const char16_t x = x16[i].unicode(), y = y16[i].unicode(); x < 0x80 && y < 0x80) {
            const char16_t folded = x | 0x20;
            if (x != y && (folded != (y | 0x20) || folded < u'a' || folded > u'z'))
                return false;
            ++i;
            continue;
        }
        const bool pair = a.at(i).isHighSurrogate() && i + 1 < a.size() && a.at(i + 1).isLowSurrogate();
        const bool pairToo = b.at(i).isHighSurrogate() && i + 1 < b.size() && b.at(i + 1).isLowSurrogate();
        if (pair != pairToo)
            return false;
        const char32_t x = pair ? QChar::surrogateToUcs4(a.at(i), a.at(i + 1)) : a.at(i).unicode();
        const char32_t y = pair ? QChar::surrogateToUcs4(b.at(i), b.at(i + 1)) : b.at(i).unicode();
        if (x != y && QChar::toUpper(x) != QChar::toUpper(y) && QChar::toLower(x) != QChar::toLower(y)
            && QChar::toCaseFolded(x) != QChar::toCaseFolded(y))
            return false;
        i += pair ? 2 : 1;
    }
    return true;
}

char32_t upperOf(char32_t c)
{
    return mapped(c, Mapping::Upper);
}

char32_t lowerOf(char32_t c)
{
    return mapped(c, Mapping::Lower);
}

char32_t capitalOf(char32_t c)
{
    return mapped(c, Mapping::Capital);
}

QString convertForPreview(Mode mode, const QString &text)
{
    if (mode == Mode::Proper)
        return properCase(text, Separators::Preview);
    return convertForStorage(mode, text);
}

void convertList(Mode mode, QStringList &texts)
{
    for (QString &text : texts)
        text = convertForPreview(mode, text);
}

} // namespace Case
