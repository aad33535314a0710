#include "app/Settings.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QTest>

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("server") << Settings::MSServer << "localhost\\SQLEXPRESS";
        QTest::newRow("password with specials") << Settings::MSPassword << "pa;ss, \"q\" = [x] #1 %20";
        QTest::newRow("blank in key") << Settings::LocalConnection << "1";
        QTest::newRow("unicode") << Settings::MSDatabase << QStringLiteral("Ἀθῆναι");
        QTest::newRow("looks like a list") << Settings::MSUser << "a, b, c";
        QTest::newRow("looks like a number") << Settings::Combo1 << "2";
    }

    void roundTrip()
    {
        TestEnvironment env;
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(Settings::read(key, "default"), QStringLiteral("default"));
        Settings::write(key, value);
        QCOMPARE(Settings::read(key, "default"), value);
        QCOMPARE(Settings::read(Settings::Application, Settings::Section, key, "x"), value);
        QCOMPARE(Settings::read(Settings::Application, "Other Section", key, "x"), QStringLiteral("x"));
    }

    void emptyIsNotMissing()
    {
        TestEnvironment env;
        QCOMPARE(Settings::read(Settings::MSPort, "1433"), QStringLiteral("1433"));
        Settings::write(Settings::MSPort, QString());
        QCOMPARE(Settings::read(Settings::MSPort, "1433"), QString());
    }

    void fileIsPrivate()
    {
        TestEnvironment env;
        Settings::write(Settings::MSPassword, "secret");
        const QFileInfo file(Settings::filePath());
        QVERIFY(file.exists());
        QVERIFY(file.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner));
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(file.permissions() & others, QFile::Permissions());
        QCOMPARE(QFileInfo(file.absolutePath()).permissions() & others, QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
