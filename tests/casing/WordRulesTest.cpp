#include "casing/WordRules.h"
#include "casing/Case.h"
#include "casing/WordListFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using Case::Mode;

// Proper Case and Sentence case with the word rules, on real-looking names,
// and without them, exactly as the plain rules write.
class WordRulesTest : public QObject {
    Q_OBJECT

private slots:
    void namesComeOutAsTheyAreWritten_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("withRules");
        QTest::addColumn<QString>("withoutRules");
        const auto row = [](const char *name, Mode mode, const char *input, const char *with, const char *without) {
            QTest::newRow(name) << mode << QString::fromUtf8(input) << QString::fromUtf8(with)
                                << QString::fromUtf8(without);
        };
        const Mode P = Mode::Proper;
        const Mode S = Mode::Sentence;
        // Mc, Mac and O'.
        row("Mc", P, "RONALD MCDONALD", "Ronald McDonald", "Ronald Mcdonald");
        row("Mac name", P, "DOUGLAS MACARTHUR", "Douglas MacArthur", "Douglas Macarthur");
        row("Mac name, lower case", P, "flora macdonald", "Flora MacDonald", "Flora Macdonald");
        row("Mac, not a name", P, "ANTONIO MACHADO", "Antonio Machado", "Antonio Machado");
        row("Mack", P, "CONNIE MACK", "Connie Mack", "Connie Mack");
        row("Macy", P, "MACY GRAY", "Macy Gray", "Macy Gray");
        row("O'", P, "SHAQUILLE O'NEAL", "Shaquille O'Neal", "Shaquille O'neal");
        row("curly apostrophe", P, "CONAN O\u2019BRIEN", "Conan O\u2019Brien", "Conan O\u2019brien");
        // Word starts after marks other than blanks.
        row("hyphen", P, "ALPES-MARITIMES", "Alpes-Maritimes", "Alpes-maritimes");
        row("hyphenated name", P, "ANNE DUBOIS-MARTIN", "Anne Dubois-Martin", "Anne Dubois-martin");
        row("apostrophe first", P, "'ASĪR", "'Asīr", "'asīr");
        row("parentheses", P, "COCOS (KEELING) ISLANDS", "Cocos (Keeling) Islands", "Cocos (keeling) Islands");
        row("brackets", P, "TRINIDAD [AND TOBAGO]", "Trinidad [and Tobago]", "Trinidad [and Tobago]");
        row("slash", P, "BIEL/BIENNE", "Biel/Bienne", "Biel/bienne");
        row("contraction", P, "DON'T STOP", "Don't Stop", "Don't Stop");
        row("possessive", P, "MCDONALD'S", "McDonald's", "Mcdonald's");
        // Joining words and particles, raised at the start of a text.
        row("joining words", P, "BOSNIA AND HERZEGOVINA", "Bosnia and Herzegovina", "Bosnia And Herzegovina");
        row("of the", P, "REPUBLIC OF THE CONGO", "Republic of the Congo", "Republic Of The Congo");
        row("particles", P, "MARIA DE LA CRUZ", "Maria de la Cruz", "Maria De La Cruz");
        row("particles first", P, "DE LA CRUZ", "De la Cruz", "De La Cruz");
        row("Dutch particles", P, "ANNA VAN DER BERG", "Anna van der Berg", "Anna Van Der Berg");
        row("place with particles", P, "STRATFORD-UPON-AVON", "Stratford-upon-Avon", "Stratford-upon-avon");
        // Roman numerals.
        row("king", P, "HENRY VIII", "Henry VIII", "Henry Viii");
        row("pope", P, "john paul ii", "John Paul II", "John Paul Ii");
        // Acronyms.
        row("no vowels", P, "BBC NEWS", "BBC News", "Bbc News");
        row("acronym among lower case", P, "Bank of NY Mellon", "Bank of NY Mellon", "Bank Of Ny Mellon");
        row("title", P, "DR SMITH JR", "Dr Smith Jr", "Dr Smith Jr");
        row("the user's acronym", P, "ACLU OF TEXAS", "ACLU of Texas", "Aclu Of Texas");
        row("the user's brand", P, "IPHONE CASE", "iPhone Case", "Iphone Case");
        // Names already written right keep their capitals; a caps-lock slip is mended.
        row("mixed case kept", P, "Ellen DeGeneres", "Ellen DeGeneres", "Ellen Degeneres");
        row("inner capital", P, "LaToya McCarthy", "LaToya McCarthy", "Latoya Mccarthy");
        row("particle as written", P, "Robert De Niro", "Robert De Niro", "Robert De Niro");
        row("caps lock", P, "jOHN sMITH", "John Smith", "John Smith");
        // Unicode, character for character.
        row("Polish", P, "ŁÓDŹ", "Łódź", "Łódź");
        row("sharp s", P, "STRAßE", "Straße", "Straße");
        row("Greek", P, "ΑΘΉΝΑ", "Αθήνα", "Αθήνα");
        // Sentence case.
        row("sentences", S, "HELLO. THIS IS ACLU! OK? YES", "Hello. This is ACLU! Ok? Yes",
            "Hello. this is aclu! ok? yes");
        row("sentence with a numeral", S, "the reign of henry viii", "The reign of henry VIII",
            "The reign of henry viii");
        row("sentence starting with a particle", S, "de la cruz", "De la cruz", "De la cruz");
    }

    void namesComeOutAsTheyAreWritten()
    {
        QFETCH(Mode, mode);
        QFETCH(QString, input);
        const WordRules rules({ "ACLU", "iPhone", "DeWalt" });
        const QString withRules = rules.convert(mode, input);
        QTEST(withRules, "withRules");
        QTEST(Case::convertForStorage(mode, input), "withoutRules");
        // Only letter case changes, character for character.
        QCOMPARE(withRules.size(), input.size());
        QVERIFY(Case::sameLetters(withRules, input));
    }

    // UPPER CASE and lower case are not the rules' business; the user's words
    // win over the program's.
    void userWordsWinAndOtherModesStay()
    {
        const WordRules rules({ "VAN" });
        QCOMPARE(rules.convert(Mode::Proper, "ANNA VAN DER BERG"), QStringLiteral("Anna VAN der Berg"));
        QCOMPARE(rules.convert(Mode::Upper, "mcdonald"), QStringLiteral("MCDONALD"));
        QCOMPARE(rules.convert(Mode::Lower, "McDonald"), QStringLiteral("mcdonald"));
        QVERIFY(!WordRules::refusal("two words").isEmpty());
        QVERIFY(!WordRules::refusal(QString(201, 'a')).isEmpty());
        QVERIFY(WordRules::refusal("DeWalt").isEmpty());
    }

    // A file of words: UTF-8, a word a line; anything else is refused whole.
    void wordFilesAreReadOrRefused_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("words"); // empty: refused
        QTest::addColumn<QString>("says");
        QTest::newRow("words") << QByteArray("IBM\r\n\niPhone\nDeWalt\n") << QStringList { "IBM", "iPhone", "DeWalt" }
                               << "";
        QTest::newRow("with a byte order mark") << QByteArray("\xef\xbb\xbfStraße\n") << QStringList { "Straße" } << "";
        QTest::newRow("not UTF-8") << QByteArray("Stra\xdf"
                                                 "e\n")
                                   << QStringList {} << "is not UTF-8 text";
        QTest::newRow("a long line") << QByteArray(201, 'a') << QStringList {} << "longer than 200 characters";
        QTest::newRow("two words on a line") << QByteArray("New York\n") << QStringList {} << "is not one word";
    }

    void wordFilesAreReadOrRefused()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, words);
        QTemporaryDir folder;
        QFile file(folder.filePath("words.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        file.close();
        const auto read = WordListFile::read(file.fileName());
        if (words.isEmpty()) {
            QFETCH(QString, says);
            QVERIFY(std::holds_alternative<QString>(read));
            QVERIFY2(std::get<QString>(read).contains(says), qPrintable(std::get<QString>(read)));
        } else {
            QCOMPARE(std::get<QStringList>(read), words);
        }
#ifndef Q_OS_WIN
        const QString pipe = folder.filePath("pipe.txt");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(std::get<QString>(WordListFile::read(pipe)).contains("not a regular file"));
#endif
        QVERIFY(std::get<QString>(WordListFile::read(folder.path())).contains("not a regular file"));
    }
};

QTEST_APPLESS_MAIN(WordRulesTest)
#include "WordRulesTest.moc"
