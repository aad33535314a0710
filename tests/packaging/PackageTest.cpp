#include "common/ProgramFiles.h"
#include "support/Login.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString output;
    QString errors;
};

Run runProgram(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        run.errors = program + QStringLiteral(" did not finish: ") + process.errorString();
        return run;
    }
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

// The Debian package made from this build folder, unpacked into a private root
// as `dpkg-deb -x` does: what it holds, what it needs, and that the unpacked
// program runs.
class PackageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        const Run cpack
            = runProgram(CPACK_COMMAND, { "-G", "DEB", "--config", CPACK_CONFIG, "-B", m_work.filePath("out") });
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output + cpack.errors));
        const QStringList packages = QDir(m_work.filePath("out")).entryList({ "*.deb" }, QDir::Files);
        QCOMPARE(packages.size(), 1);
        m_package = m_work.filePath("out/" + packages.first());
        m_root = m_work.filePath("root");
        m_control = m_work.filePath("control");
        for (const QStringList &unpack :
            { QStringList { "-x", m_package, m_root }, QStringList { "-e", m_package, m_control } }) {
            const Run dpkgDeb = runProgram("dpkg-deb", unpack);
            QVERIFY2(dpkgDeb.exitCode == 0, qPrintable(dpkgDeb.errors));
        }
    }

    void nameAndControlFields()
    {
        const Run arch = runProgram("dpkg", { "--print-architecture" });
        QCOMPARE(QFileInfo(m_package).fileName(),
            QStringLiteral("vantrell_%1_%2.deb").arg(PROJECT_VERSION_TEXT, arch.output.trimmed()));

        const Run fields = runProgram("dpkg-deb", { "-f", m_package, "Package", "Version", "Recommends", "Depends" });
        QVERIFY2(fields.output.contains("Package: vantrell\n"), qPrintable(fields.output));
        QVERIFY2(fields.output.contains(QStringLiteral("Version: %1\n").arg(PROJECT_VERSION_TEXT)),
            qPrintable(fields.output));
        QVERIFY2(fields.output.contains("Recommends: xdg-utils\n"), qPrintable(fields.output));
        // Named outright, and found by dpkg-shlibdeps from the libraries the program links.
        const QString depends = fields.output.section("Depends: ", 1);
        for (const char *needed : { "unixodbc", "odbcinst", "tdsodbc", "fonts-liberation", "libqt6widgets6",
                 "libqt6core6", "libodbc2", "libc6" })
            QVERIFY2(depends.contains(QRegularExpression(QStringLiteral("(^|, )%1( |,|$)").arg(needed))),
                qPrintable(depends));
    }

    void holdsExactlyTheseFiles()
    {
        QStringList files;
        QDirIterator it(m_root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(m_root).relativeFilePath(it.next());
        files.sort();
        const QStringList expected = {
            "usr/bin/vantrell",
            "usr/share/applications/vantrell.desktop",
            "usr/share/icons/hicolor/128x128/apps/vantrell.png",
            "usr/share/icons/hicolor/16x16/apps/vantrell.png",
            "usr/share/icons/hicolor/24x24/apps/vantrell.png",
            "usr/share/icons/hicolor/256x256/apps/vantrell.png",
            "usr/share/icons/hicolor/32x32/apps/vantrell.png",
            "usr/share/icons/hicolor/48x48/apps/vantrell.png",
            "usr/share/icons/hicolor/64x64/apps/vantrell.png",
            "usr/share/vantrell/HAND-M.CUR",
            "usr/share/vantrell/local-connection-example.jpg",
            "usr/share/vantrell/x/o.cjs",
        };
        QCOMPARE(files, expected);
        QVERIFY(QFileInfo(m_root + "/usr/bin/vantrell").isExecutable());
    }

    // The unpacked program looks for its files where the package put them.
    void programFindsItsFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("skin") << "x/o.cjs";
        QTest::newRow("hand cursor") << "HAND-M.CUR";
        QTest::newRow("help picture") << "local-connection-example.jpg";
    }

    void programFindsItsFiles()
    {
        QFETCH(QString, name);
        const QString folder = ProgramFiles::filesFolderFor(m_root + "/usr/bin");
        QCOMPARE(folder, m_root + "/usr/share/vantrell");
        QCOMPARE(contents(folder + "/" + name), contents(BESIDE_PROGRAM_SOURCE "/" + name));
    }

    void iconsHaveTheirSizes_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("16") << 16;
        QTest::newRow("48") << 48;
        QTest::newRow("256") << 256;
    }

    void iconsHaveTheirSizes()
    {
        QFETCH(int, size);
        const QImage icon(QStringLiteral("%1/usr/share/icons/hicolor/%2x%2/apps/vantrell.png").arg(m_root).arg(size));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        // The tile's corners are round and see-through; its middle is drawn.
        QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(icon.pixelColor(size / 2, size / 2).alpha(), 255);
    }

    void desktopEntryIsValid()
    {
        const QString entry = m_root + "/usr/share/applications/vantrell.desktop";
        const Run validate = runProgram("desktop-file-validate", { entry });
        QVERIFY2(validate.exitCode == 0 && validate.output.isEmpty(), qPrintable(validate.output + validate.errors));
        const QByteArray text = contents(entry);
        for (const char *line : { "Type=Application\n", "Name=Vantrell\n", "Exec=vantrell\n", "Icon=vantrell\n" })
            QVERIFY2(text.contains(line), line);
    }

    void versionIsTheProjectVersion()
    {
        const Run version = runProgram(m_root + "/usr/bin/vantrell", { "--version" });
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.output, QStringLiteral("Vantrell %1\n").arg(PROJECT_VERSION_TEXT));
    }

    void unpackedProgramRunsABatchChange()
    {
        TestEnvironment environment;
        TestDatabase db;
        db.table("t", "id INTEGER PRIMARY KEY, v TEXT", "v", { "hello world", QVariant(), "o'neil" });
        rememberLogin(db.fields());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", environment.settingsFolder());
        env.insert("ODBCSYSINI", TEST_ODBC_DIR);
        env.remove("VANTRELL_PASSWORD");
        const Run batch = runProgram(
            m_root + "/usr/bin/vantrell", { "--batch", "--table", "t", "--field", "v", "--mode", "Proper Case" }, env);
        QVERIFY2(batch.exitCode == 0, qPrintable(batch.errors));
        QVERIFY2(batch.output.contains("3 records read, 2 rows changed"), qPrintable(batch.output));
        QCOMPARE(db.column("t", "v"), (QVariantList { "Hello World", QVariant(), "O'neil" }));
    }

    // postinst registers the driver and the character set when they are missing,
    // twice in a row as on a reinstall; postrm takes back only what postinst added.
    void driverRegistration_data()
    {
        QTest::addColumn<QByteArray>("odbcinstBefore");
        QTest::addColumn<QByteArray>("freetdsBefore");
        QTest::addColumn<QByteArray>("freetdsInstalled");
        QTest::addColumn<QString>("driverInstalled");
        QTest::addColumn<QByteArray>("odbcinstChangedBetween");
        QTest::addColumn<QString>("driverRemoved");
        QTest::addColumn<QByteArray>("freetdsRemoved");

        const QByteArray plain = "[global]\n\ttds version = auto\n\n[egServer]\n\thost = eg\n";
        const QByteArray withCharset = "[global]\n\tclient charset = UTF-8\n\ttds version = auto\n\n"
                                       "[egServer]\n\thost = eg\n";
        QTest::newRow("nothing before") << QByteArray() << plain << withCharset << "libtdsodbc.so" << QByteArray() << ""
                                        << plain;
        const QByteArray ownDriver = "[SQL Server]\nDriver=/opt/own/libown.so\n";
        const QByteArray ownCharset = "[global]\n\tclient charset = ISO-8859-1\n";
        QTest::newRow("both there before") << ownDriver << ownCharset << ownCharset << "/opt/own/libown.so"
                                           << QByteArray() << "/opt/own/libown.so" << ownCharset;
        const QByteArray otherSection = "[global]\n\ttds version = auto\n[egServer]\n\tclient charset = UTF-8\n";
        QTest::newRow("charset only for one server")
            << ownDriver << otherSection
            << QByteArray(
                   "[global]\n\tclient charset = UTF-8\n\ttds version = auto\n[egServer]\n\tclient charset = UTF-8\n")
            << "/opt/own/libown.so" << QByteArray() << "/opt/own/libown.so" << otherSection;
        QTest::newRow("driver replaced after installing")
            << QByteArray() << plain << withCharset << "libtdsodbc.so" << ownDriver << "/opt/own/libown.so" << plain;
    }

    void driverRegistration()
    {
        QFETCH(QByteArray, odbcinstBefore);
        QFETCH(QByteArray, freetdsBefore);
        QFETCH(QByteArray, freetdsInstalled);
        QFETCH(QString, driverInstalled);
        QFETCH(QByteArray, odbcinstChangedBetween);
        QFETCH(QString, driverRemoved);
        QFETCH(QByteArray, freetdsRemoved);
        QTemporaryDir sandbox;
        QVERIFY(QDir().mkpath(sandbox.filePath("odbc")));
        write(sandbox.filePath("odbc/odbcinst.ini"), odbcinstBefore);
        write(sandbox.filePath("freetds.conf"), freetdsBefore);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ODBCSYSINI", sandbox.filePath("odbc"));
        env.insert("FREETDSCONF", sandbox.filePath("freetds.conf"));
        env.insert("VANTRELL_STATE_DIR", sandbox.filePath("state"));
        const auto driver = [&] {
            const Run query = runProgram("odbcinst", { "-q", "-d", "-n", "SQL Server" }, env);
            return query.exitCode == 0 ? query.output.section("Driver=", 1).section('\n', 0, 0) : QString();
        };

        for (int i = 0; i < 2; ++i) {
            const Run postinst = runProgram(m_control + "/postinst", { "configure" }, env);
            QVERIFY2(postinst.exitCode == 0, qPrintable(postinst.errors));
        }
        QVERIFY2(driver().endsWith(driverInstalled), qPrintable(driver()));
        QCOMPARE(contents(sandbox.filePath("freetds.conf")), freetdsInstalled);
        QVERIFY(contents(sandbox.filePath("odbc/odbcinst.ini")).count("[SQL Server]") == 1);

        if (!odbcinstChangedBetween.isEmpty())
            write(sandbox.filePath("odbc/odbcinst.ini"), odbcinstChangedBetween);
        const Run postrm = runProgram(m_control + "/postrm", { "remove" }, env);
        QVERIFY2(postrm.exitCode == 0, qPrintable(postrm.errors));
        QCOMPARE(driver(), driverRemoved);
        QCOMPARE(contents(sandbox.filePath("freetds.conf")), freetdsRemoved);
        QVERIFY2(!QFileInfo::exists(sandbox.filePath("state")), "postrm leaves no record behind");
    }

private:
    QTemporaryDir m_work;
    QString m_package;
    QString m_root;
    QString m_control;
};

QTEST_GUILESS_MAIN(PackageTest)
#include "PackageTest.moc"
