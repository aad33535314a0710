// Speed of the batch case change on the embedded engine: the command line
// against a bare loop over the same driver sending the same statements.
#include "casing/Case.h"
#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/Statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const QString ModeText = QStringLiteral("Proper Case");

LoginFields fieldsFor(const QString &path)
{
    LoginFields fields;
    fields.server = QStringLiteral("localhost");
    fields.user = QStringLiteral("bench");
    fields.database = path;
    return fields;
}

// A table of `rows` records: every tenth value Null, every seventh of the
// rest one repeated text, the others distinct texts of mixed case.
void makeTable(const QString &path, int rows, bool withKey)
{
    auto connection = openConnection(OpeningProfile::CanConnect, fieldsFor(path));
    // Write-ahead logging, kept in the file: a commit appends to the log
    // instead of waiting for the disk, so the figures show the program's work
    // rather than the disk's flush latency.
    connection->query(QStringLiteral("PRAGMA journal_mode = WAL"));
    connection->execute(withKey ? QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)")
                                : QStringLiteral("CREATE TABLE t (id INTEGER, v TEXT)"));
    connection->execute(QStringLiteral("INSERT INTO t (id, v) "
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                       "SELECT i, CASE WHEN i % 10 = 0 THEN NULL "
                                       "WHEN i % 7 = 0 THEN 'hello WORLD, said o''neil' "
                                       "ELSE 'value ' || i || ' of THE mixed set' END FROM n")
                            .arg(rows));
}

double secondsOfCommandLine(const QString &path)
{
    QTemporaryDir settings;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    // The run's journal is written and timed, but kept out of the user's own data folder.
    env.insert(QStringLiteral("XDG_DATA_HOME"), settings.path());
    program.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(VANTRELL_PROGRAM),
        { "--batch", "--table", "t", "--field", "v", "--mode", ModeText, "--server", "localhost", "--database", path });
    program.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (program.exitCode() != 0) {
        std::fprintf(
            stderr, "vantrell failed (%d): %s\n", program.exitCode(), program.readAllStandardError().constData());
        std::exit(1);
    }
    return seconds;
}

// The same work without the program: one query, the same prepared UPDATE for
// each record whose text changes, by key or once per distinct value.
double secondsOfBareLoop(const QString &path, bool withKey)
{
    QElapsedTimer timer;
    timer.start();
    auto connection = openConnection(OpeningProfile::Batch, fieldsFor(path));
    EmbeddedDialect dialect;
    const TableName table { {}, QStringLiteral("t") };
    const QList<KeyColumn> key = withKey ? QList<KeyColumn> { { "id", "INTEGER", 0, 0, 0, {} } } : QList<KeyColumn> {};
    odbc::RecordSet records = connection->query(dialect.selectForChange(table, "v", key));
    odbc::Statement update(*connection);
    update.prepare(withKey ? dialect.updateByKey(table, "v", key) : dialect.updateByValue(table, "v"));
    QSet<QString> done;
    const Case::Mode mode = *Case::ModeOf(ModeText);
    for (; !records.eof(); records.moveNext()) {
        const QVariant value = records.value(0);
        if (!value.isValid())
            continue;
        const QString oldText = value.toString();
        const QString newText = Case::ConvertForStorage(mode, oldText);
        if (newText == oldText)
            continue;
        if (withKey) {
            update.execute(dialect.updateParameters(newText, { records.value(1) }, oldText));
        } else if (!done.contains(oldText)) {
            done.insert(oldText);
            update.execute(dialect.updateParameters(newText, {}, oldText));
        }
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

struct Figures {
    double app;
    double bare;
};

// The best of `runs` runs of each, each on a fresh copy of the same table, so
// a busy moment of the machine does not decide the figure.
Figures measure(int rows, bool withKey, int runs)
{
    QTemporaryDir dir;
    const QString original = dir.path() + QStringLiteral("/original.sqlite");
    makeTable(original, rows, withKey);
    Figures best { 1e300, 1e300 };
    for (int run = 0; run < runs; ++run) {
        const QString appCopy = dir.path() + QStringLiteral("/app%1.sqlite").arg(run);
        const QString bareCopy = dir.path() + QStringLiteral("/bare%1.sqlite").arg(run);
        QFile::copy(original, appCopy);
        QFile::copy(original, bareCopy);
        best.app = std::min(best.app, secondsOfCommandLine(appCopy));
        best.bare = std::min(best.bare, secondsOfBareLoop(bareCopy, withKey));
    }
    return best;
}

void print(const char *label, int rows, const Figures &f)
{
    std::printf("%-14s %7d rows  app %7.3f s (%8.0f records/s)  bare %7.3f s (%8.0f records/s)  app/bare %.2f\n", label,
        rows, f.app, rows / f.app, f.bare, rows / f.bare, f.app / f.bare);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Batch case change (%s) on the embedded engine, through the command line; best of 5 runs\n",
        qPrintable(ModeText));
    int sizes[] = { 10000, 20000, 40000 };
    if (argc == 4) // other sizes, for a quick look
        for (int i = 0; i < 3; ++i)
            sizes[i] = std::atoi(argv[i + 1]);
    Figures keyed[3];
    for (int i = 0; i < 3; ++i) {
        keyed[i] = measure(sizes[i], true, 5);
        print("primary key", sizes[i], keyed[i]);
    }
    const double growth = keyed[2].app / keyed[0].app;
    double worstRatio = 0;
    for (const Figures &f : keyed)
        worstRatio = std::max(worstRatio, f.app / f.bare);
    std::printf("%dk/%dk time ratio: %.2f (target <= 4.5) %s\n", sizes[2] / 1000, sizes[0] / 1000, growth,
        growth <= 4.5 ? "ok" : "MISSED");
    std::printf("app/bare ratio, worst: %.2f (target <= 1.25) %s\n", worstRatio, worstRatio <= 1.25 ? "ok" : "MISSED");
    // Without a key each distinct value is one statement over the whole table.
    print("no key", sizes[0], measure(sizes[0], false, 1));
    return 0;
}
