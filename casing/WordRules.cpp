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
// Macias), and names written both ways or mostly without the capital
// (Mackay, Mackie, Macbeth, Macintosh), are written as any other word.
bool isMacName(const QString &rest)
{
    static const QSet<QString> roots = [] {
        QSet<QString> all;
        for (const char *root : { "alister", "allister", "alpine", "arthur", "askill", "aulay", "bain", "bean", "bride",
                 "cabe", "callum", "cann", "carthy", "caskill", "clure", "coll", "connell", "cormack", "crae",
                 "creadie", "culloch", "diarmid", "donald", "donnell", "dougal", "dougall", "dowell", "duff", "ewan",
                 "ewen", "fadyen", "farlane", "gillivray", "gowan", "gregor", "guire", "hale", "innes", "intyre",
                 "isaac", "iver", "kechnie", "kenna", "kenzie", "killop", "kinlay", "kinley", "kinnon", "lachlan",
                 "laren", "laurin", "lean", "leish", "lellan", "lennan", "leod", "mahon", "manus", "martin", "master",
                 "millan", "minn", "murray", "namara", "naughton", "neil", "neill", "nicol", "nulty", "pherson",
                 "quarrie", "queen", "rae", "ritchie", "rory", "sween", "taggart", "tavish", "vicar", "whirter" })
            all.insert(QString::fromLatin1(root));
        return all;
    }();
    return roots.contains(rest);
}

// The word with its first letter raised and the rest lowered, each character
// as the plain rules map it.
QString capitalised(const QString &word)
{
    return Case::properCase(word, Case::Separators::StoredValue);
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
    for (auto word = m_words.cbegin(); word != m_words.cend(); ++word)
        m_longest = std::max(m_longest, word.key().size());
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

namespace {

// One character of a text: its code point and how many UTF-16 units it takes.
struct Unit {
    char32_t c;
    int units;
};

Unit unitAt(const char16_t *text, qsizetype size, qsizetype at)
{
    const char16_t unit = text[at];
    if (QChar::isHighSurrogate(unit) && at + 1 < size && QChar::isLowSurrogate(text[at + 1]))
        return { QChar::surrogateToUcs4(unit, text[at + 1]), 2 };
    return { char32_t(unit), 1 };
}

// Writes the character at `at` of the text, taking as many units as it did.
void put(char16_t *text, qsizetype at, const Unit &original, char32_t c)
{
    if (QChar::isSurrogate(original.c))
        return; // a lone surrogate is left as it is
    if (original.units == 2) {
        text[at] = QChar::highSurrogate(c);
        text[at + 1] = QChar::lowSurrogate(c);
    } else {
        text[at] = char16_t(c);
    }
}

bool isLowerOnly(char32_t c)
{
    return QChar::isLower(c) && QChar::toUpper(c) != c;
}

bool isVowelLetter(char32_t c)
{
    const QChar lower = QChar(char16_t(c < 0x10000 ? Case::lowerOf(c) : c));
    if (c >= 0x250)
        return true; // beyond the Latin letters no word is taken for an acronym
    const QChar base = lower.decompositionTag() == QChar::NoDecomposition ? lower : lower.decomposition().at(0);
    return QStringView(u"aeiouy").contains(base);
}

} // namespace

QString WordRules::properCase(const QString &text, Case::Separators separators) const
{
    const qsizetype size = text.size();
    const char16_t *in = reinterpret_cast<const char16_t *>(text.utf16());
    // A text typed in one case tells nothing by its capitals.
    bool anyUpper = false;
    bool anyLower = false;
    for (qsizetype at = 0; at < size;) {
        const Unit u = unitAt(in, size, at);
        anyUpper = anyUpper || QChar::isUpper(u.c);
        anyLower = anyLower || isLowerOnly(u.c);
        at += u.units;
    }
    const bool oneCase = !(anyUpper && anyLower);

    QString result = text;
    char16_t *out = reinterpret_cast<char16_t *>(result.data());
    // One key buffer for every word of every text this thread converts.
    thread_local QString key;
    bool firstWord = true;
    char32_t before = U' ';
    char32_t twoBefore = U' ';
    for (qsizetype at = 0; at < size;) {
        const Unit first = unitAt(in, size, at);
        if (!isWordCharacter(first.c)) {
            put(out, at, first, Case::lowerOf(first.c));
            twoBefore = before;
            before = first.c;
            at += first.units;
            continue;
        }
        // The word: its key in lower case, and what its capitals say.
        const qsizetype from = at;
        key.resize(0);
        int letters = 0;
        bool upper = false;
        bool lower = false;
        bool onlyLetters = true;
        bool vowel = false;
        bool capitalStart = QChar::isUpper(first.c);
        bool innerCapital = false;
        bool lowerAfterInnerCapital = false;
        for (; at < size;) {
            const Unit u = unitAt(in, size, at);
            if (!isWordCharacter(u.c))
                break;
            const char32_t low = Case::lowerOf(u.c);
            if (u.units == 2) {
                key.append(QChar(QChar::highSurrogate(low)));
                key.append(QChar(QChar::lowSurrogate(low)));
            } else {
                key.append(QChar(char16_t(low)));
            }
            if (letters > 0 && QChar::isUpper(u.c))
                innerCapital = true;
            else if (innerCapital && isLowerOnly(u.c))
                lowerAfterInnerCapital = true;
            upper = upper || QChar::isUpper(u.c);
            lower = lower || isLowerOnly(u.c);
            onlyLetters = onlyLetters && QChar::isLetter(u.c);
            vowel = vowel || (QChar::isLetter(u.c) && isVowelLetter(u.c));
            ++letters;
            at += u.units;
        }
        const qsizetype units = at - from;
        const bool isFirst = std::exchange(firstWord, false);
        const bool joined = isApostrophe(before) && isWordCharacter(twoBefore);
        // A word starts after a blank or a listed mark; a single letter after
        // a full stop is an initial. Any other word goes on the one before it.
        const bool starts
            = from == 0 || isBlank(before, separators) || startsWordAfter(before) || (before == U'.' && letters == 1);
        twoBefore = before;
        before = U'a'; // a letter: what the word ended with

        enum class Cased { Lower, Kept, Listed, Capital };
        Cased cased = Cased::Capital;
        const Spelling *spelling = nullptr;
        if (key.size() <= m_longest)
            if (const auto found = m_words.constFind(key); found != m_words.cend())
                spelling = &found.value();
        const bool allCaps = upper && !lower;
        if (!starts || (joined && isContractionEnding(key)))
            cased = Cased::Lower; // the ending of a contraction or a possessive, or no word start
        else if (spelling && !spelling->joining)
            cased = Cased::Listed;
        else if (!oneCase && letters >= 2 && allCaps)
            cased = Cased::Kept; // an acronym among words in lower case
        else if (!oneCase && lower && (capitalStart || lowerAfterInnerCapital))
            cased = Cased::Kept; // written as its owner writes it: Smith, McDonald, DeGeneres, iPhone
        else if (spelling)
            cased = isFirst ? Cased::Capital : Cased::Listed;
        else if (oneCase && allCaps && letters >= 2 && onlyLetters && !vowel)
            cased = Cased::Kept; // BBC, KPMG
        if (cased == Cased::Listed
            && !(spelling->text.size() == units && Case::sameLetters(spelling->text, text.mid(from, units))))
            cased = Cased::Capital;

        if (cased == Cased::Kept)
            continue; // the copy holds the word as written
        if (cased == Cased::Listed) {
            std::copy_n(reinterpret_cast<const char16_t *>(spelling->text.utf16()), units, out + from);
            continue;
        }
        // Capital: the first letter raised, and the one after Mc, or after
        // Mac in a Scottish or Irish name.
        qsizetype raisedAt = -1;
        if (cased == Cased::Capital) {
            if (letters >= 4 && key.startsWith(QLatin1String("mc")) && key.at(2).isLetter())
                raisedAt = 2;
            else if (letters >= 6 && key.startsWith(QLatin1String("mac")) && isMacName(key.mid(3)))
                raisedAt = 3;
        }
        // The key holds the word lowered, unit for unit: only the raised
        // letters are mapped again.
        const char16_t *lowered = reinterpret_cast<const char16_t *>(key.utf16());
        std::copy_n(lowered, units, out + from);
        if (cased == Cased::Capital) {
            int index = 0;
            for (qsizetype k = from; k < at && index <= std::max<qsizetype>(raisedAt, 0); ++index) {
                const Unit u = unitAt(in, size, k);
                if (index == 0 || index == raisedAt)
                    put(out, k, u, Case::capitalOf(u.c));
                k += u.units;
            }
        }
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
