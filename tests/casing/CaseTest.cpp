#include "casing/Case.h"

#include <QTest>

using namespace Case;

Q_DECLARE_METATYPE(Case::Mode)
Q_DECLARE_METATYPE(Case::Separators)

class CaseTest : public QObject {
    Q_OBJECT

private slots:
    void eachModeFollowsItsRule_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");

        QTest::newRow("upper") << Mode::Upper << "Hello, World 42!"
                               << "HELLO, WORLD 42!";
        QTest::newRow("lower") << Mode::Lower << "Hello, WORLD 42!"
                               << "hello, world 42!";
        QTest::newRow("proper") << Mode::Proper << "hello world"
                                << "Hello World";
        QTest::newRow("proper from mixed") << Mode::Proper << "HELLO wORLD"
                                           << "Hello World";
        QTest::newRow("proper o'neil") << Mode::Proper << "o'neil"
                                       << "O'neil";
        QTest::newRow("proper hyphen") << Mode::Proper << "jean-luc"
                                       << "Jean-luc";
        QTest::newRow("proper mcdonald") << Mode::Proper << "mcDONALD"
                                         << "Mcdonald";
        QTest::newRow("proper bracket") << Mode::Proper << "(ann) smith"
                                        << "(ann) Smith";
        QTest::newRow("proper blanks") << Mode::Proper << "  two  blanks"
                                       << "  Two  Blanks";
        QTest::newRow("sentence") << Mode::Sentence << "hELLO. wORLD!"
                                  << "Hello. world!";
        QTest::newRow("sentence leading blank") << Mode::Sentence << " leading blank"
                                                << " leading blank";
        QTest::newRow("sentence digits") << Mode::Sentence << "123 ABC"
                                         << "123 abc";
        QTest::newRow("sentence one char") << Mode::Sentence << "q"
                                           << "Q";
        QTest::newRow("greek upper") << Mode::Upper << QStringLiteral("καλημέρα") << QStringLiteral("ΚΑΛΗΜΈΡΑ");
        QTest::newRow("cyrillic proper") << Mode::Proper << QStringLiteral("МОСКВА сити")
                                         << QStringLiteral("Москва Сити");
        QTest::newRow("sharp s stays one character")
            << Mode::Upper << QStringLiteral("straße") << QStringLiteral("STRAßE");
        // The start of a word is raised from the lowered text: upper(lower(c)), not upper(c).
        QTest::newRow("proper raises the lowered start")
            << Mode::Proper << QStringLiteral("\u212Aelvin \u2126m \u1E9Ea")
            << QStringLiteral("Kelvin \u03A9m \u00DFa");
        QTest::newRow("sentence raises the lowered start")
            << Mode::Sentence << QStringLiteral("\u212A \u212A") << QStringLiteral("K k");
        QTest::newRow("non-letters") << Mode::Upper << "12-34 !?"
                                     << "12-34 !?";
        // U+10428 DESERET SMALL LETTER LONG I <-> U+10400 DESERET CAPITAL LETTER LONG I
        QTest::newRow("outside the BMP") << Mode::Upper << QString::fromUcs4(U"a\U00010428b")
                                         << QString::fromUcs4(U"A\U00010400B");
        QTest::newRow("outside the BMP, sentence") << Mode::Sentence << QString::fromUcs4(U"\U00010428\U00010400X")
                                                   << QString::fromUcs4(U"\U00010400\U00010428x");
    }

    void eachModeFollowsItsRule()
    {
        QFETCH(Mode, mode);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(convertForStorage(mode, input), expected);
        QCOMPARE(convertForPreview(mode, input), expected);
    }

    void properSeparators_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("stored");

        QTest::newRow("CR LF") << "first line\r\nsecond line"
                               << "First Line\r\nsecond Line"
                               << "First Line\r\nSecond Line";
        QTest::newRow("carriage return alone") << "one\rtwo three"
                                               << "One\rTwo Three"
                                               << "One\rTwo Three";
        QTest::newRow("line feed alone") << "one\ntwo"
                                         << "One\ntwo"
                                         << "One\nTwo";
        QTest::newRow("tab") << "a\tb"
                             << "A\tB"
                             << "A\tB";
        QTest::newRow("vertical tab and form feed") << "a\vb\fc"
                                                    << "A\vb\fc"
                                                    << "A\vB\fC";
        QTest::newRow("NUL") << QString::fromUtf16(u"a\0b", 3) << QString::fromUtf16(u"A\0b", 3)
                             << QString::fromUtf16(u"A\0B", 3);
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }

    void properSeparators()
    {
        QFETCH(QString, input);
        QTEST(properCase(input, Separators::Preview), "preview");
        QTEST(properCase(input, Separators::StoredValue), "stored");
    }

    void lengthNeverChanges_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("sharp s") << QStringLiteral("ß ß ß");
        QTest::newRow("ligature") << QStringLiteral("ﬁne ŉ");
        QTest::newRow("lone high surrogate") << QString(QChar(0xD801)) + QStringLiteral("abc");
        QTest::newRow("lone low surrogate") << QStringLiteral("abc") + QString(QChar(0xDC28));
        QTest::newRow("pair then lone") << QString::fromUcs4(U"\U00010428") + QString(QChar(0xD801));
    }

    void lengthNeverChanges()
    {
        QFETCH(QString, input);
        for (Mode mode : { Mode::Upper, Mode::Lower, Mode::Proper, Mode::Sentence }) {
            QCOMPARE(convertForStorage(mode, input).size(), input.size());
            QCOMPARE(convertForPreview(mode, input).size(), input.size());
        }
        // A lone surrogate is left exactly as it is.
        const QString upper = upperCase(input);
        for (qsizetype i = 0; i < input.size(); ++i)
            if (input[i].isSurrogate()
                && !(i + 1 < input.size() && input[i].isHighSurrogate() && input[i + 1].isLowSurrogate())
                && !(i > 0 && input[i - 1].isHighSurrogate() && input[i].isLowSurrogate()))
                QCOMPARE(upper[i], input[i]);
    }

    void modeTextNamesItsMode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: no mode

        QTest::newRow("UPPER CASE") << "UPPER CASE" << 0;
        QTest::newRow("lower case") << "lower case" << 1;
        QTest::newRow("Proper Case") << "Proper Case" << 2;
        QTest::newRow("Sentence case") << "Sentence case" << 3;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("nonsense") << "Title Case" << -1;
        QTest::newRow("lower and upper: upper wins") << "lower then UPPER" << int(Mode::Upper);
        QTest::newRow("proper and sentence: proper wins") << "sentence, proper" << int(Mode::Proper);
    }

    void modeTextNamesItsMode()
    {
        QFETCH(QString, text);
        const auto mode = Case::modeOf(text);
        QTEST(mode ? int(*mode) : -1, "expected");
    }

    void listConversion()
    {
        QStringList empty;
        convertList(Mode::Upper, empty);
        QVERIFY(empty.isEmpty());

        QStringList texts { "new york", "", "first\r\nsecond" };
        convertList(Mode::Proper, texts);
        QCOMPARE(texts, QStringList({ "New York", "", "First\r\nsecond" }));
    }

    void textsOfAnyLengthAreConverted()
    {
        // Longer than any 16-bit counter could count.
        const QString longText = QStringLiteral("ab cd ").repeated(20000);
        const QString converted = properCase(longText, Separators::Preview);
        QCOMPARE(converted.size(), longText.size());
        QVERIFY(converted.endsWith(QStringLiteral("Ab Cd ")));

        QStringList many(40000, QStringLiteral("x"));
        convertList(Mode::Upper, many);
        QCOMPARE(many.size(), 40000);
        QCOMPARE(many.last(), QStringLiteral("X"));
    }
};

QTEST_APPLESS_MAIN(CaseTest)
#include "CaseTest.moc"
