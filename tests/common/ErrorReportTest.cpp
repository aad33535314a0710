#include "common/ErrorReport.h"
#include "common/AppTitle.h"
#include "common/BuildConfig.h"
#include "common/FailureTrap.h"
#include "common/Messages.h"
#include "common/NullValue.h"
#include "common/ProgramFiles.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QTest>

class ErrorReportTest : public QObject {
    Q_OBJECT

private slots:
    void composedExactly_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("location");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("start");
        QTest::newRow("description") << "Login failed." << ErrorReport::LoginNext << 104
                                     << "Login failed.\r\nin Quorvel2021/08/31.Form1.PushButton3_Click at line 104\r\r";
        QTest::newRow("empty description") << "" << ErrorReport::ChangeOptionsLoad << 120
                                           << "\r\nin Quorvel2021/08/31.Form2.Form_Load at line 120\r\r";
    }

    void composedExactly()
    {
        QFETCH(QString, description);
        QFETCH(QString, location);
        QFETCH(int, line);
        QFETCH(QString, start);
        QVERIFY(!QString::fromUtf8(BuildConfig::SupportAddress).isEmpty());
        QCOMPARE(ErrorReport::compose(description, location, line),
            start + "Please email screenshot of this message to " + QString::fromUtf8(BuildConfig::SupportAddress));
    }

    void shownAsWarning()
    {
        RecordingMessageBoxes boxes;
        ErrorReport::show("x", ErrorReport::ChangeOptionsStartChanging, 150);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Application Error"));
        QCOMPARE(boxes.shown[0].icon, MessageBoxes::Icon::Warning);
        QCOMPARE(boxes.shown[0].text, ErrorReport::compose("x", ErrorReport::ChangeOptionsStartChanging, 150));
    }

    void trapReportsEachFailureAndGoesOn()
    {
        RecordingMessageBoxes boxes;
        FailureTrap trap(ErrorReport::LoginWindowLoad);
        QStringList ran;
        trap.step(100, [&] { throw Failure("skin broken"); });
        trap.step(104, [&] { ran << "104"; });
        trap.step(106, [&] { throw std::runtime_error("second"); });
        trap.step(124, [&] { ran << "124"; });
        QCOMPARE(ran, QStringList({ "104", "124" }));
        QCOMPARE(trap.failures(), 2);
        QCOMPARE(boxes.texts(),
            QStringList({ ErrorReport::compose("skin broken", ErrorReport::LoginWindowLoad, 100),
                ErrorReport::compose("second", ErrorReport::LoginWindowLoad, 106) }));
    }

    void failedConditionRunsGuardedBlock()
    {
        RecordingMessageBoxes boxes;
        FailureTrap trap(ErrorReport::ChangeOptionsLoad);
        bool guardedRan = false;
        if (trap.test(106, []() -> bool { throw Failure("cannot tell"); }))
            trap.step(108, [&] { guardedRan = true; });
        QVERIFY(guardedRan);
        QVERIFY(!trap.test(110, [] { return false; }));
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY(boxes.shown[0].text.contains("at line 106\r\r"));
    }

    void displayTurnsCarriageReturnsIntoLineBreaks()
    {
        QCOMPARE(MessageBoxes::displayText("a\r\nb\r\rc"), QStringLiteral("a\nb\n\nc"));
    }

    // Counts in messages have their thousands separated, and one of a thing is one.
    void countsReadAsWords()
    {
        QCOMPARE(Messages::counted(1, "record", "records"), QStringLiteral("1 record"));
        QCOMPARE(Messages::counted(0, "record", "records"), QStringLiteral("0 records"));
        QCOMPARE(Messages::counted(2000000, "record", "records"), QStringLiteral("2,000,000 records"));
        QCOMPARE(Messages::number(12345), QStringLiteral("12,345"));
    }

    void nullsReadAsDefaultsAndMissingFilesAsAbsent()
    {
        QCOMPARE(NullValue::toDefault(QVariant(), QString()).toString(), QString());
        QVERIFY(NullValue::toDefault(QVariant(), QString("d")).toString() == "d");
        QCOMPARE(NullValue::toDefault(QString(""), "d").toString(), QString());
        QCOMPARE(NullValue::toDefault(42, "d").toInt(), 42);

        TestEnvironment env;
        QVERIFY(!ProgramFiles::fileExists(ProgramFiles::besideProgram("HAND-M.CUR")));
        env.putBesideProgram("HAND-M.CUR", "x");
        QVERIFY(ProgramFiles::fileExists(ProgramFiles::besideProgram("HAND-M.CUR")));
        QVERIFY(!ProgramFiles::fileExists(QString()));
        QVERIFY(!ProgramFiles::fileExists("/no/such/folder/file"));
        QVERIFY(!ProgramFiles::fileExists(QString::fromUtf8("bad\0path", 8)));
    }

    // Files the program ships with lie beside it in a build folder, and in
    // share/vantrell when it is installed into a bin folder.
    void filesFolderFollowsTheProgram_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("files");
        QTest::newRow("build folder") << QStringList { "build" } << "build"
                                      << "build";
        QTest::newRow("installed") << QStringList { "usr/bin", "usr/share/vantrell" } << "usr/bin"
                                   << "usr/share/vantrell";
        QTest::newRow("bin folder, nothing installed") << QStringList { "opt/bin" } << "opt/bin"
                                                       << "opt/bin";
        QTest::newRow("share beside a build folder") << QStringList { "x/build", "x/share/vantrell" } << "x/build"
                                                     << "x/build";
    }

    void filesFolderFollowsTheProgram()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, program);
        QFETCH(QString, files);
        TestEnvironment env;
        const QString root = env.programFolder();
        for (const QString &folder : folders)
            QVERIFY(QDir(root).mkpath(folder));
        QCOMPARE(ProgramFiles::filesFolderFor(root + "/" + program), root + "/" + files);
        ProgramFiles::setProgramFolder(root + "/" + program);
        QCOMPARE(ProgramFiles::besideProgram("x/o.cjs"), root + "/" + files + "/x/o.cjs");
    }

    void appTitleIsCutAtABlank_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("short") << "Vantrell"
                               << "Vantrell";
        QTest::newRow("exactly 40") << QString(40, 'a') << QString(40, 'a');
        QTest::newRow("long loses whole words") << "Vantrell the case changer for Microsoft SQL Server databases"
                                                << "Vantrell the case changer for Microsoft";
        QTest::newRow("no blank") << QString(45, 'b') << QString(40, 'b');
    }

    void appTitleIsCutAtABlank()
    {
        QFETCH(QString, product);
        QTEST(AppTitle::titleFor(product), "title");
    }
};

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "ErrorReportTest.moc"
