#include "casing/WordRules.h"

#include <QSet>

#include <algorithm>

namespace {

// Code points of a text, with where each starts among its UTF-16 units.
struct Character {
    char32_t c;
    qsizetype at;
    qsizetype units;
};

QList<Character> charactersOf(QStringView text)
{
    QList<Character> all;
    all.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        all.append({ pair ? QChar::surrogateToUcs4(unit, text[i + 1].unicode()) : char32_t(unit), i, pair ? 2 : 1 });
        i += pair ? 2 : 1;
    }
    return all;
}

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

bool isApostrophe(char32_t c)
{
    return c == U'\'' || c == U'\u2019' || c == U'\u2018';
}

// Characters after which a word starts, besides the plain rule's blanks.
bool startsWordAfter(char32_t c)
{
    switch (c) {
    case U'-':
    case U'/':
    case U'(':
    case U'[':
    case U'{':
    case U'"':
    case U'\u201c':
    case U'\u00ab':
    case U'\u201e':
    case U'&':
    case U',':
    case U';':
    case U':':
    case U'+':
        return true;
    default:
        return isApostrophe(c);
    }
}

bool isBlank(char32_t c, Case::Separators separators)
{
    switch (separators) {
    case Case::Separators::Preview:
        return c == U' ' || c == U'\t' || c == U'\r';
    case Case::Separators::StoredValue:
        return c == 0 || (c >= 9 && c <= 13) || c == U' ';
    }
    return false;
}

// Endings that follow an apostrophe without starting a word: "don't", "Smith's".
bool isContractionEnding(const QString &lowered)
{
    static const QSet<QString> endings { QStringLiteral("s"), QStringLiteral("t"), QStringLiteral("d"),
        QStringLiteral("m"), QStringLiteral("ll"), QStringLiteral("re"), QStringLiteral("ve") };
    return endings.contains(lowered);
}

// Names where Mac is a prefix whose next letter is raised (MacDonald), by
// what follows Mac. Other words that begin with Mac (Machado, Mack, Macy,
// Macias) are written as any other word.
bool isMacName(const QString &rest)
{
    static const QSet<QString> roots = [] {
        QSet<QString> all;
        for (const char *root : { "alister", "allister", "alpine", "arthur", "askill", "aulay", "bain", "bean", "beth",
                 "bride", "cabe", "callum", "cann", "carthy", "caskill", "clean", "clure", "coll", "connell", "cormack",
                 "crae", "creadie", "culloch", "diarmid", "donald", "donnell", "dougal", "dougall", "dowell", "duff",
                 "ewan", "ewen", "fadyen", "farlane", "gillivray", "gowan", "gregor", "guire", "hale", "innes",
                 "intosh", "intyre", "isaac", "iver", "kay", "kechnie", "kenna", "kenzie", "kie", "killop", "kinlay",
                 "kinley", "kinnon", "lachlan", "laren", "laurin", "lean", "leish", "lellan", "lennan", "leod", "mahon",
                 "manus", "martin", "master", "millan", "minn", "murray", "namara", "naughton", "neil", "neill",
                 "nicol", "nulty", "pherson", "quarrie", "queen", "rae", "ritchie", "rory", "sween", "taggart",
                 "tavish", "vicar", "whirter" })
            all.insert(QString::fromLatin1(root));
        return all;
    }();
    return roots.contains(rest);
}

// Vowels of the Latin letters, with their accents: a word in capitals with
// none of them is taken for an acronym (BBC, KPMG).
bool hasVowel(const QString &lowered)
{
    for (const QChar c : lowered) {
        const QChar base = c.decompositionTag() == QChar::NoDecomposition ? c : c.decomposition().at(0);
        if (QStringLiteral("aeiouy").contains(base) || !base.isLetter() || base.unicode() > 0x024f)
            return true;
    }
    return false;
}

struct CaseCount {
    bool upper = false;
    bool lower = false;
};

CaseCount casesOf(QStringView text)
{
    CaseCount count;
    for (const Character &ch : charactersOf(text)) {
        count.upper = count.upper || QChar::isUpper(ch.c);
        // A lower-case letter without a capital of its own (ß) is in every case.
        count.lower = count.lower || (QChar::isLower(ch.c) && QChar::toUpper(ch.c) != ch.c);
    }
    return count;
}

// The word with its first letter raised and the rest lowered, each character
// as the plain rules map it.
QString capitalised(const QString &word)
{
    return Case::properCase(word, Case::Separators::StoredValue);
}

// A capitalised name, with Mc, Mac and O' followed by a raised letter.
QString nameCased(const QString &word)
{
    const QString lowered = Case::lowerCase(word);
    const auto raisedFrom
        = [&](qsizetype prefix) { return capitalised(lowered.left(prefix)) + capitalised(lowered.mid(prefix)); };
    if (lowered.size() >= 4 && lowered.startsWith(QLatin1String("mc")) && lowered.at(2).isLetter())
        return raisedFrom(2);
    if (lowered.size() >= 6 && lowered.startsWith(QLatin1String("mac")) && isMacName(lowered.mid(3)))
        return raisedFrom(3);
    return capitalised(lowered);
}

// The spelling taken for a word only when it differs from it in letter case
// alone, character for character.
bool fits(const QString &word, const QString &spelling)
{
    return spelling.size() == word.size() && Case::sameLetters(word, spelling);
}

} // namespace

const QStringList &WordRules::shippedWords()
{
    static const QStringList words = [] {
        QStringList all;
        // Joining words and particles, lower case inside a text.
        for (const char *word :
            { "and", "of", "the", "for", "in", "at", "upon", "de", "del", "della", "dei", "degli", "di", "da", "das",
                "dos", "du", "des", "la", "le", "les", "lès", "van", "von", "der", "den", "ter", "ten", "het", "y",
                "et", "und", "zu", "zum", "zur", "auf", "sur", "sous", "en", "aan", "af", "av", "og" })
            all << QString::fromUtf8(word);
        // Titles and abbreviations that have no vowel, and so would be taken
        // for acronyms.
        for (const char *word : { "Mr", "Mrs", "Ms", "Dr", "St", "Jr", "Sr", "Mt", "Ft", "Ltd", "Pty", "Bros", "Rd" })
            all << QString::fromLatin1(word);
        // Roman numerals of kings, popes and ships' names, and the pronoun.
        for (const char *numeral : { "I", "II", "III", "IV", "VI", "VII", "VIII", "IX", "XI", "XII", "XIII", "XIV",
                 "XV", "XVI", "XVII", "XVIII", "XIX", "XX", "XXI", "XXII", "XXIII", "XXIV", "XXV" })
            all << QString::fromLatin1(numeral);
        return all;
    }();
    return words;
}

WordRules::WordRules(const QStringList &userWords)
{
    for (const QString &word : shippedWords())
        m_words.insert(Case::lowerCase(word), { word, Case::lowerCase(word) == word });
    for (const QString &word : userWords)
        if (refusal(word).isEmpty())
            m_words.insert(Case::lowerCase(word), { word, false });
}

QString WordRules::refusal(const QString &word)
{
    if (word.isEmpty())
        return QStringLiteral("a word cannot be empty");
    if (word.size() > 200)
        return QStringLiteral("a word is at most 200 characters long");
    const QList<Character> characters = charactersOf(word);
    if (!QChar::isLetterOrNumber(characters.first().c))
        return QStringLiteral("\"%1\" does not begin with a letter or a digit").arg(word);
    for (const Character &ch : characters)
        if (!isWordCharacter(ch.c))
            return QStringLiteral("\"%1\" holds a character that is not a letter, a digit or a mark").arg(word);
    return {};
}

const QString *WordRules::listed(QStringView word, bool *joining) const
{
    const auto found = m_words.constFind(Case::lowerCase(word.toString()));
    if (found == m_words.cend())
        return nullptr;
    if (joining)
        *joining = found->joining;
    return &found->text;
}

QString WordRules::convert(Case::Mode mode, const QString &text, Case::Separators separators) const
{
    switch (mode) {
    case Case::Mode::Proper:
        return properCase(text, separators);
    case Case::Mode::Sentence:
        return sentenceCase(text);
    case Case::Mode::Upper:
    case Case::Mode::Lower:
        break;
    }
    return Case::convertForStorage(mode, text);
}

QString WordRules::properCase(const QString &text, Case::Separators separators) const
{
    const QList<Character> characters = charactersOf(text);
    const CaseCount cases = casesOf(text);
    const bool oneCase = !(cases.upper && cases.lower);
    QString result = Case::lowerCase(text);
    bool firstWord = true;
    for (qsizetype i = 0; i < characters.size();) {
        if (!isWordCharacter(characters[i].c)) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < characters.size() && isWordCharacter(characters[end].c))
            ++end;
        const qsizetype from = characters[i].at;
        const qsizetype units = characters[end - 1].at + characters[end - 1].units - from;
        const QString word = text.mid(from, units);
        const bool isFirst = std::exchange(firstWord, false);
        const char32_t before = i > 0 ? characters[i - 1].c : U' ';
        const bool joined = i > 1 && isApostrophe(before) && isWordCharacter(characters[i - 2].c);
        const qsizetype length = end - i;
        // A word starts after a blank or a listed mark; a single letter after a
        // full stop is an initial. Any other word goes on the one before it.
        const bool starts
            = i == 0 || isBlank(before, separators) || startsWordAfter(before) || (before == U'.' && length == 1);
        i = end;
        // The ending of a contraction or a possessive stays lower case.
        if (!starts || (joined && isContractionEnding(Case::lowerCase(word))))
            continue;

        bool joining = false;
        const QString *spelling = listed(word, &joining);
        const CaseCount own = casesOf(word);
        const QList<Character> letters = charactersOf(word);
        const auto isLowerOnly
            = [](const Character &ch) { return QChar::isLower(ch.c) && QChar::toUpper(ch.c) != ch.c; };
        const bool capitalStart = QChar::isUpper(letters.first().c);
        const bool allCaps = own.upper && !own.lower;
        // Lower case after a capital that is not the first letter: iPhone, eBay.
        const auto firstCapital = std::find_if(
            letters.cbegin() + 1, letters.cend(), [](const Character &ch) { return QChar::isUpper(ch.c); });
        const bool innerCapitals
            = firstCapital != letters.cend() && std::any_of(firstCapital, letters.cend(), isLowerOnly);
        QString cased;
        if (spelling && !joining) {
            cased = *spelling;
        } else if (!oneCase && length >= 2 && allCaps) {
            cased = word; // an acronym among words in lower case
        } else if (!oneCase && own.lower && (capitalStart || innerCapitals)) {
            cased = word; // written as its owner writes it: Smith, McDonald, DeGeneres, iPhone
        } else if (spelling) {
            cased = isFirst ? capitalised(word) : *spelling;
        } else if (oneCase && allCaps && length >= 2 && !hasVowel(Case::lowerCase(word))
            && std::all_of(word.cbegin(), word.cend(), [](QChar c) { return c.isLetter(); })) {
            cased = word; // BBC, KPMG
        } else {
            cased = nameCased(word);
        }
        if (!fits(word, cased))
            cased = nameCased(word);
        result.replace(from, units, cased);
    }
    return result;
}

QString WordRules::sentenceCase(const QString &text) const
{
    const QList<Character> characters = charactersOf(text);
    // The plain rule: the first character raised, the rest lowered.
    QString result = Case::sentenceCase(text);
    bool sentenceStart = true;
    for (qsizetype i = 0; i < characters.size();) {
        const char32_t c = characters[i].c;
        if (!isWordCharacter(c)) {
            // A full stop, exclamation or question mark and a blank start a sentence.
            if ((c == U'.' || c == U'!' || c == U'?') && i + 1 < characters.size()
                && isBlank(characters[i + 1].c, Case::Separators::StoredValue))
                sentenceStart = true;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < characters.size() && isWordCharacter(characters[end].c))
            ++end;
        const qsizetype from = characters[i].at;
        const qsizetype units = characters[end - 1].at + characters[end - 1].units - from;
        const QString word = text.mid(from, units);
        i = end;
        bool joining = false;
        const QString *spelling = listed(word, &joining);
        QString cased;
        if (spelling && !(joining && sentenceStart))
            cased = *spelling;
        else if (sentenceStart)
            cased = capitalised(word);
        if (!cased.isEmpty() && fits(word, cased))
            result.replace(from, units, cased);
        sentenceStart = false;
    }
    return result;
}
