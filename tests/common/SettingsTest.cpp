#include "common/Settings.h"
#include "platform/Failure.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void storedTextComesBackExactly_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("server") << Settings::MSServer << "localhost\\SQLEXPRESS";
        QTest::newRow("password with specials") << Settings::MSPassword << "pa;ss, \"q\" = [x] #1 %20";
        QTest::newRow("blank in key") << Settings::LocalConnection << "1";
        QTest::newRow("unicode") << Settings::MSDatabase << QStringLiteral("Ἀθῆναι");
        QTest::newRow("looks like a list") << Settings::MSUser << "a, b, c";
        QTest::newRow("looks like a number") << Settings::ModeKey << "2";
    }

    void storedTextComesBackExactly()
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

#ifdef Q_OS_WIN
    // The values lie in the user's registry, a key per application and section.
    void keptInTheRegistry()
    {
        TestEnvironment env;
        Settings::write(Settings::MSServer, "db1");
        Settings::write(Settings::Application, "Other Section", Settings::MSServer, "db2");
        QVERIFY2(Settings::filePath().startsWith("\\HKEY_CURRENT_USER\\Software\\"), qPrintable(Settings::filePath()));
        QVERIFY(Settings::filePath().endsWith("\\Marrowfen"));
        QSettings registry(Settings::filePath().mid(1), QSettings::NativeFormat);
        QCOMPARE(registry.value("Vantrell/MSServer").toString(), QStringLiteral("db1"));
        QCOMPARE(registry.value("Other Section/MSServer").toString(), QStringLiteral("db2"));
        QCOMPARE(registry.childGroups(), (QStringList { "Other Section", "Vantrell" }));
    }
#else
    void unsafeFileAndFolderMadePrivate()
    {
        // An older program left the file and its folder readable by everyone.
        TestEnvironment env;
        const QString folder = env.settingsFolder() + "/Marrowfen";
        const QString file = folder + "/Marrowfen.ini";
        QCOMPARE(Settings::filePath(), file);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(file, "[Vantrell]\nMSUser=someone\n"));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0644), 0);
        // The file as it stood is narrowed before a new one takes its place.
        QFile before(file);
        QVERIFY(before.open(QIODevice::ReadOnly));
        struct stat old = {};

        Settings::write(Settings::MSPassword, "secret");
        QCOMPARE(::fstat(before.handle(), &old), 0);
        QCOMPARE(int(old.st_mode & 07777), 0600);
        QCOMPARE(mode(file), 0600);
        QCOMPARE(mode(folder), 0700);
        QCOMPARE(Settings::read(Settings::MSUser), QStringLiteral("someone"));
        QCOMPARE(Settings::read(Settings::MSPassword), QStringLiteral("secret"));
    }

    void linksAreNeverWrittenThrough_data()
    {
        QTest::addColumn<bool>("folderIsLink"); // else the file is
        QTest::newRow("settings file is a link") << false;
        QTest::newRow("settings folder is a link to a shared folder") << true;
    }

    void linksAreNeverWrittenThrough()
    {
        QFETCH(bool, folderIsLink);
        TestEnvironment env;
        QTemporaryDir elsewhere;
        const QString folder = env.settingsFolder() + "/Marrowfen";
        const QString file = folder + "/Marrowfen.ini";
        const QString shared = elsewhere.path() + "/shared";
        const QString target = shared + "/Marrowfen.ini";
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(writeFile(target, "[Other]\nkeep=1\n"));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0644), 0);
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
        if (folderIsLink) {
            QVERIFY(QFile::link(shared, folder));
        } else {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::link(target, file));
        }

        try {
            Settings::write(Settings::MSPassword, "secret");
            QFAIL("a setting was written through a link");
        } catch (const Failure &e) {
            QVERIFY2(e.description().contains(folderIsLink ? folder : file), qPrintable(e.description()));
            QVERIFY(e.description().contains("symbolic link"));
        }
        QCOMPARE(readFile(target), QByteArray("[Other]\nkeep=1\n"));
        QCOMPARE(mode(target), 0644);
        QCOMPARE(mode(shared), 01777);
        QCOMPARE(QDir(shared).entryList(QDir::Files | QDir::Hidden), QStringList { "Marrowfen.ini" });
    }

    // A file the store cannot read whole is never written anew without what it
    // cannot read; a pipe in its place holds nothing up.
    void unreadableFileIsLeftAsItIs()
    {
        TestEnvironment env;
        const QString folder = env.settingsFolder() + "/Marrowfen";
        const QString file = folder + "/Marrowfen.ini";
        QVERIFY(QDir().mkpath(folder));
        const QByteArray contents = "[Vantrell]\nMSUser=someone\na line of someone's own\n";
        QVERIFY(writeFile(file, contents));
        try {
            Settings::write(Settings::MSPassword, "secret");
            QFAIL("a file with an unreadable line was written anew");
        } catch (const Failure &e) {
            QVERIFY2(e.description().contains("left as it is"), qPrintable(e.description()));
        }
        QCOMPARE(readFile(file), contents);

        QVERIFY(QFile::remove(file));
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        QCOMPARE(Settings::read(Settings::MSUser, "nobody"), QStringLiteral("nobody"));
        QVERIFY_THROWS_EXCEPTION(Failure, Settings::write(Settings::MSUser, "x"));

        // A pipe among the system-wide files holds nothing up either: the
        // user's own file is read and written alone.
        QVERIFY(QFile::remove(file));
        QTemporaryDir system;
        QVERIFY(QDir().mkpath(system.filePath("Marrowfen")));
        QCOMPARE(::mkfifo(QFile::encodeName(system.filePath("Marrowfen/Marrowfen.ini")).constData(), 0600), 0);
        const QByteArray previous = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system.path()));
        Settings::write(Settings::MSUser, "someone else");
        QCOMPARE(Settings::read(Settings::MSUser, "nobody"), QStringLiteral("someone else"));
        previous.isNull() ? qunsetenv("XDG_CONFIG_DIRS") : qputenv("XDG_CONFIG_DIRS", previous);
    }

    // A settings file of another user's is not the program's to write.
    void anotherUsersFileIsNotWritten()
    {
        if (::geteuid() != 0)
            QSKIP("only the system's administrator can give a file to another user");
        TestEnvironment env;
        const QString folder = env.settingsFolder() + "/Marrowfen";
        const QString file = folder + "/Marrowfen.ini";
        QVERIFY(QDir().mkpath(folder));
        const QByteArray contents = "[Vantrell]\nMSUser=someone\n";
        QVERIFY(writeFile(file, contents));
        QCOMPARE(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
        try {
            Settings::write(Settings::MSPassword, "secret");
            QFAIL("another user's file was written");
        } catch (const Failure &e) {
            QVERIFY2(e.description().contains("belongs to another user"), qPrintable(e.description()));
        }
        QCOMPARE(readFile(file), contents);
    }

    // The file is private however it comes to be made.
    void madePrivateUnderAnOpenUmask()
    {
        TestEnvironment env;
        const mode_t previous = ::umask(0);
        Settings::write(Settings::MSPassword, "secret");
        ::umask(previous);
        QCOMPARE(mode(Settings::filePath()), 0600);
        QCOMPARE(mode(QFileInfo(Settings::filePath()).absolutePath()), 0700);
    }

#endif

private:
#ifndef Q_OS_WIN
    static int mode(const QString &path)
    {
        struct stat info = {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    }

    static bool writeFile(const QString &path, const QByteArray &contents)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
#endif
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
