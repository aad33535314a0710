// Speed of the batch case change: on the embedded engine, the batch change (in
// this process, and through the command line) against one set-based UPDATE of
// the same rows (the physical limit of the job), on tables with and without a
// key, in memory-backed files and on the ordinary disk, the statements and
// commits it sends per record, and the peak memory of a run over a million
// rows; "Start Changing" in the window beside the command line (--window); and
// the same against a TDS server (--sqlserver).
#include "casing/BatchChange.h"
#include "casing/WordRules.h"
#include "changeoptions/ChangeOptionsWindow.h"
#include "changeoptions/TableListRows.h"
#include "connection/OpeningProfile.h"
#include "journal/JournalWriter.h"
#include "platform/MessageBoxes.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/Counters.h"
#include "support/ServerLine.h"
#include "ui/EventDispatcher.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

enum class Shape { Keyed, Distinct, Repeated };

// Runs per figure, the best kept: a shared machine's pauses only ever add time.
// Every size has as many, so the ratio of two sizes compares like with like.
constexpr int Runs = 7;

const char *nameOf(Shape shape)
{
    switch (shape) {
    case Shape::Keyed:
        return "primary key";
    case Shape::Distinct:
        return "no key, distinct";
    case Shape::Repeated:
        return "no key, repeated";
    }
    return "";
}

LoginFields fieldsFor(const QString &path)
{
    LoginFields fields;
    fields.server = QStringLiteral("localhost");
    fields.user = QStringLiteral("bench");
    fields.database = path;
    return fields;
}

// Every tenth value Null, the others of mixed case: distinct texts, or 100
// texts repeated, or (wide) distinct texts of 40 characters.
void makeTable(const QString &path, int rows, Shape shape, bool wide = false)
{
    auto connection = openConnection(OpeningProfile::CanConnect, fieldsFor(path));
    connection->execute(shape == Shape::Keyed ? QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)")
                                              : QStringLiteral("CREATE TABLE t (id INTEGER, v TEXT)"));
    const QString text = wide      ? QStringLiteral("substr('value ' || i || ' of THE mixed set and more text', 1, 40)")
        : shape == Shape::Repeated ? QStringLiteral("'value ' || (i % 100) || ' of THE mixed set'")
                                   : QStringLiteral("'value ' || i || ' of THE mixed set'");
    connection->execute(QStringLiteral("INSERT INTO t (id, v) "
                                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                       "SELECT i, CASE WHEN i %% 10 = 0 THEN NULL ELSE %2 END FROM n")
                            .arg(rows)
                            .arg(text)
                            .replace(QStringLiteral("%%"), QStringLiteral("%")));
}

// The program run whole with the arguments, its settings and its journal in
// the folder given; the seconds it took. A failed run ends the benchmark.
// The peak resident memory of a running process, in KiB (0 once it is gone).
long peakResidentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The parts of the run's time the program reports (VANTRELL_TIMES), set by
// the last program run.
QString lastParts;

// "set-up 0.018 s, reading 0.325 s, ..." of the program's "Times: ..." line.
QString partsOf(const QByteArray &errors)
{
    for (const QByteArray &line : errors.split('\n'))
        if (line.startsWith("Times: "))
            return QString::fromUtf8(line.mid(7)).chopped(1);
    return QStringLiteral("(no times)");
}

double secondsOfProgram(
    const QStringList &arguments, const QString &dataFolder, const QString &password = {}, long *peakKiB = nullptr)
{
    QTemporaryDir settings;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataFolder);
    env.insert(QStringLiteral("VANTRELL_TIMES"), QStringLiteral("1"));
    if (!password.isEmpty())
        env.insert(QStringLiteral("VANTRELL_PASSWORD"), password);
    program.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(VANTRELL_PROGRAM), arguments);
    // The peak is read while the program runs: the last reading before it ends.
    long peak = 0;
    while (!program.waitForFinished(peakKiB ? 20 : -1))
        peak = std::max(peak, peakResidentKiB(program.processId()));
    if (peakKiB)
        *peakKiB = peak;
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const QByteArray errors = program.readAllStandardError();
    if (program.exitCode() != 0) {
        std::fprintf(stderr, "vantrell failed (%d): %s\n", program.exitCode(), errors.constData());
        std::exit(1);
    }
    lastParts = partsOf(errors);
    return seconds;
}

double secondsOfCommandLine(const QString &path, const QString &dataFolder, long *peakKiB = nullptr)
{
    // The journal lies beside the database.
    return secondsOfProgram({ "--batch", "--table", "t", "--field", "v", "--mode", "UPPER CASE", "--server",
                                "localhost", "--database", path },
        dataFolder, {}, peakKiB);
}

// The newest journal a run left in its data folder.
QString newestJournal(const QString &dataFolder)
{
    QString newest;
    QDateTime newestTime;
    QDirIterator it(dataFolder, { QStringLiteral("*.jsonl") }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (const QDateTime time = it.fileInfo().lastModified(); newest.isEmpty() || time > newestTime) {
            newest = path;
            newestTime = time;
        }
    }
    if (newest.isEmpty()) {
        std::fprintf(stderr, "the run left no journal in %s\n", qPrintable(dataFolder));
        std::exit(1);
    }
    return newest;
}

// `vantrell --undo` of the newest journal of the data folder, run whole, with
// the login fields of the arguments that follow.
double secondsOfUndo(
    const QString &dataFolder, const QStringList &login, const QString &password = {}, long *peakKiB = nullptr)
{
    return secondsOfProgram(QStringList { "--undo", newestJournal(dataFolder) } + login, dataFolder, password, peakKiB);
}

// The batch change itself, wired as the command line wires it (the journal
// written ahead of every chunk), without the start of a process.
double secondsOfBatchChange(const QString &path, const QString &journalFolder,
    const QString &mode = QStringLiteral("UPPER CASE"), std::shared_ptr<const WordRules> wordRules = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    JournalHeader header;
    header.table = QStringLiteral("t");
    header.field = QStringLiteral("v");
    header.mode = mode;
    JournalWriter journal(header, journalFolder);
    BatchChange::Callbacks callbacks;
    callbacks.modeText = [mode] { return mode; };
    int shown = -1;
    callbacks.progress = [&shown](double value) { shown = int(value) / 10; };
    journal.attach(callbacks);
    BatchChange change(fieldsFor(path), TableName { {}, "t" }, "v", callbacks);
    change.setWordRules(std::move(wordRules));
    const BatchChange::Result result = change.run();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (result.outcome != BatchChange::Outcome::Finished || result.unchanged() != 0 || shown != 10) {
        std::fprintf(stderr, "the batch change did not finish cleanly\n");
        std::exit(1);
    }
    return seconds;
}

// Proper Case of 160,000 keyed names typed in capitals, with the word rules
// and without them, the two runs taking turns; the best of each.
void printWordRules(const QString &folder)
{
    QTemporaryDir dir(folder + QStringLiteral("/bench-XXXXXX"));
    const QString original = dir.path() + QStringLiteral("/original.sqlite");
    auto connection = openConnection(OpeningProfile::CanConnect, fieldsFor(original));
    connection->execute(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)"));
    connection->execute(QStringLiteral(
        "INSERT INTO t (id, v) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 160000) "
        "SELECT i, CASE i % 5 WHEN 0 THEN 'RONALD MCDONALD ' || i WHEN 1 THEN 'MARIA DE LA CRUZ-' || i "
        "WHEN 2 THEN 'SHAQUILLE O''NEAL ' || i WHEN 3 THEN 'HENRY VIII OF ENGLAND ' || i "
        "ELSE 'BOSNIA AND HERZEGOVINA ' || i END FROM n"));
    connection->close();
    const auto rules = std::make_shared<const WordRules>();
    double plain = 1e300;
    double ruled = 1e300;
    for (int run = 0; run < Runs; ++run) {
        for (const bool withRules : { false, true }) {
            const QString copy = dir.path() + QStringLiteral("/copy.sqlite");
            QFile::copy(original, copy);
            const double seconds
                = secondsOfBatchChange(copy, dir.path(), QStringLiteral("Proper Case"), withRules ? rules : nullptr);
            (withRules ? ruled : plain) = std::min(withRules ? ruled : plain, seconds);
            QFile::remove(copy);
        }
    }
    std::printf("  Proper Case, 160000 keyed names: without word rules %.3f s, with them %.3f s, ratio %.2f "
                "(target <= 1.2) %s\n",
        plain, ruled, ruled / plain, ruled / plain <= 1.2 ? "ok" : "MISSED");
}

double secondsOfSetBasedUpdate(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    auto connection = openConnection(OpeningProfile::Batch, fieldsFor(path));
    connection->execute(QStringLiteral("UPDATE t SET v = upper(v)"));
    return double(timer.nsecsElapsed()) / 1e9;
}

struct Figures {
    double program = 1e300; // the batch change in this process
    double commandLine = 1e300; // the same through the command line, the start of its process included
    double setBased = 1e300;
};

// The best of `runs` runs of each, each on a fresh copy of the same table,
// the three taking turns so a slow spell of the machine touches them alike.
Figures measure(const QString &folder, int rows, Shape shape, int runs)
{
    QTemporaryDir dir(folder + QStringLiteral("/bench-XXXXXX"));
    const QString original = dir.path() + QStringLiteral("/original.sqlite");
    makeTable(original, rows, shape);
    Figures best;
    for (int run = 0; run < runs; ++run) {
        const QString programCopy = dir.path() + QStringLiteral("/program%1.sqlite").arg(run);
        const QString commandLineCopy = dir.path() + QStringLiteral("/command%1.sqlite").arg(run);
        const QString setCopy = dir.path() + QStringLiteral("/set%1.sqlite").arg(run);
        QFile::copy(original, programCopy);
        QFile::copy(original, commandLineCopy);
        QFile::copy(original, setCopy);
        best.program = std::min(best.program, secondsOfBatchChange(programCopy, dir.path()));
        best.commandLine = std::min(best.commandLine, secondsOfCommandLine(commandLineCopy, dir.path()));
        best.setBased = std::min(best.setBased, secondsOfSetBasedUpdate(setCopy));
        for (const QString &copy : { programCopy, commandLineCopy, setCopy })
            QFile::remove(copy);
    }
    return best;
}

void printRow(const char *shape, int rows, const Figures &f)
{
    std::printf("  %-18s %7d rows  program %7.3f s (%7.0f records/s)  set-based %6.3f s  ratio %5.1f  "
                "command line %6.3f s\n",
        shape, rows, f.program, rows / f.program, f.setBased, f.program / f.setBased, f.commandLine);
    std::fflush(stdout);
}

// Statements and commits per record, counted in this process on a run of
// the batch change itself.
void printCounts(const QString &folder, Shape shape)
{
    QTemporaryDir dir(folder + QStringLiteral("/count-XXXXXX"));
    const QString path = dir.path() + QStringLiteral("/count.sqlite");
    constexpr int Rows = 10000;
    makeTable(path, Rows, shape);
    BatchChange::Callbacks callbacks;
    callbacks.modeText = [] { return QStringLiteral("UPPER CASE"); };
    const odbc::Counters before = odbc::counters();
    const BatchChange::Result result = BatchChange(fieldsFor(path), TableName { {}, "t" }, "v", callbacks).run();
    const odbc::Counters after = odbc::counters();
    std::printf("  %-18s %d records, %lld changed: %llu statements (%.4f per record), %llu commits (%.4f per record)\n",
        nameOf(shape), Rows, qint64(result.recordsChanged),
        static_cast<unsigned long long>(after.statements - before.statements),
        double(after.statements - before.statements) / Rows,
        static_cast<unsigned long long>(after.commits - before.commits), double(after.commits - before.commits) / Rows);
}

// A run over a million rows of 40-character values with a key: its time and
// the peak resident memory of the program. Run first, so the peak of the
// children waited for so far is this run's.
void printMillion(const QString &folder)
{
    constexpr int Rows = 1000000;
    QTemporaryDir dir(folder + QStringLiteral("/million-XXXXXX"));
    const QString path = dir.path() + QStringLiteral("/million.sqlite");
    makeTable(path, Rows, Shape::Keyed, true);
    long peak = 0;
    const double seconds = secondsOfCommandLine(path, dir.path(), &peak);
    std::printf("  1,000,000 rows of 40 characters, primary key: %.2f s (%.0f records/s), peak resident memory "
                "%.0f MiB (%.0f bytes per record)\n",
        seconds, Rows / seconds, double(peak) / 1024.0, double(peak) * 1024.0 / Rows);
    std::fflush(stdout);
}

// The command line's run and its undo at each size, per shape: their times,
// their peak resident memory, and where the time went.
void printMemoryGrowth(const QString &folder, const QList<int> &sizes)
{
    for (Shape shape : { Shape::Keyed, Shape::Distinct, Shape::Repeated }) {
        QList<long> peaks;
        QList<long> undoPeaks;
        for (const int rows : sizes) {
            QTemporaryDir dir(folder + QStringLiteral("/memory-XXXXXX"));
            const QString path = dir.path() + QStringLiteral("/memory.sqlite");
            makeTable(path, rows, shape);
            long peak = 0;
            long undoPeak = 0;
            const double seconds = secondsOfCommandLine(path, dir.path(), &peak);
            const QString runParts = lastParts;
            const double undoSeconds
                = secondsOfUndo(dir.path(), { "--server", "localhost", "--database", path }, {}, &undoPeak);
            peaks << peak;
            undoPeaks << undoPeak;
            std::printf("  %-18s %8d rows  run %7.3f s, peak %4.0f MiB  undo %7.3f s (%.2f of the run, target <= "
                        "1.5), peak %4.0f MiB\n      run:  %s\n      undo: %s\n",
                nameOf(shape), rows, seconds, peak / 1024.0, undoSeconds, undoSeconds / seconds, undoPeak / 1024.0,
                qPrintable(runParts), qPrintable(lastParts));
            std::fflush(stdout);
        }
        std::printf("  %-18s peak at 400,000 rows / at 100,000: run %.2f, undo %.2f (target <= 1.3)\n", nameOf(shape),
            double(peaks.value(1)) / double(peaks.value(0)), double(undoPeaks.value(1)) / double(undoPeaks.value(0)));
        std::fflush(stdout);
    }
}

void makeServerTable(const LoginFields &fields, const QString &table, int rows, Shape shape)
{
    auto connection = openConnection(OpeningProfile::Batch, fields);
    connection->execute(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE [%1]").arg(table));
    connection->execute(shape == Shape::Keyed
            ? QStringLiteral("CREATE TABLE [%1] (id int NOT NULL PRIMARY KEY, v nvarchar(100))").arg(table)
            : QStringLiteral("CREATE TABLE [%1] (id int NOT NULL, v nvarchar(100))").arg(table));
    const QString text = shape == Shape::Repeated
        ? QStringLiteral("N'value ' + CAST(n %% 100 AS nvarchar(10)) + N' of THE mixed set'")
        : QStringLiteral("N'value ' + CAST(n AS nvarchar(10)) + N' of THE mixed set'");
    // Numbers from six columns of digits: no engine needs to number a large cross join.
    const QString digits = QStringLiteral("(VALUES (0), (1), (2), (3), (4), (5), (6), (7), (8), (9))");
    connection->execute(QStringLiteral("INSERT INTO [%1] (id, v) SELECT n, CASE WHEN n %% 10 = 0 THEN NULL ELSE %2 END "
                                       "FROM (SELECT 1 + a.d + 10 * b.d + 100 * c.d + 1000 * e.d + 10000 * f.d "
                                       "+ 100000 * g.d AS n FROM %4 AS a (d) CROSS JOIN %4 AS b (d) CROSS JOIN %4 AS "
                                       "c (d) CROSS JOIN %4 AS e (d) CROSS JOIN %4 AS f (d) CROSS JOIN %4 AS g (d)) "
                                       "AS numbers WHERE n <= %3")
                            .arg(table, text)
                            .arg(rows)
                            .arg(digits)
                            .replace(QStringLiteral("%%"), QStringLiteral("%")));
}

QStringList serverLogin(const LoginFields &fields)
{
    QStringList login { "--server", fields.server, "--user", fields.user, "--database", fields.database };
    login << (fields.localConnection ? QStringList { "--local" } : QStringList { "--no-local", "--port", fields.port });
    return login;
}

// The program run whole on the server's table, and its peak resident memory;
// then the undo of its journal, likewise; with where the time of each went.
double secondsOfServerCommandLine(const LoginFields &fields, const QString &table, long &peakKiB, double &undoSeconds,
    long &undoPeakKiB, QString &runParts, QString &undoParts)
{
    QTemporaryDir data;
    const QStringList arguments
        = QStringList { "--batch", "--table", table, "--field", "v", "--mode", "UPPER CASE" } + serverLogin(fields);
    const double seconds = secondsOfProgram(arguments, data.path(), fields.password, &peakKiB);
    runParts = lastParts;
    undoSeconds = secondsOfUndo(data.path(), serverLogin(fields), fields.password, &undoPeakKiB);
    undoParts = lastParts;
    return seconds;
}

double secondsOfServerSetBasedUpdate(const LoginFields &fields, const QString &table)
{
    QElapsedTimer timer;
    timer.start();
    openConnection(OpeningProfile::Batch, fields)->execute(QStringLiteral("UPDATE [%1] SET v = UPPER(v)").arg(table));
    return double(timer.nsecsElapsed()) / 1e9;
}

// Runs per figure on the server, taking turns with the set-based update, the
// best of each kept: the server's own pauses (its vacuum, its checkpoints, a
// busy machine) only ever add time.
constexpr int ServerRuns = 3;

// The program against one set-based UPDATE of the same rows on the server the
// login fields name, with the program's peak resident memory (the highest of
// its runs).
void printServer(const LoginFields &fields, const QList<int> &sizes)
{
    const QString table = QStringLiteral("vt_bench_%1").arg(QCoreApplication::applicationPid());
    for (Shape shape : { Shape::Keyed, Shape::Distinct, Shape::Repeated }) {
        for (const int rows : sizes) {
            double program = 1e300;
            double undo = 1e300;
            double setBased = 1e300;
            long peak = 0;
            long undoPeak = 0;
            QString runParts;
            QString undoParts;
            for (int run = 0; run < ServerRuns; ++run) {
                makeServerTable(fields, table, rows, shape);
                long runPeak = 0;
                long runUndoPeak = 0;
                double runUndo = 0;
                QString parts;
                QString partsOfUndo;
                const double seconds
                    = secondsOfServerCommandLine(fields, table, runPeak, runUndo, runUndoPeak, parts, partsOfUndo);
                if (seconds < program) {
                    program = seconds;
                    runParts = parts;
                }
                if (runUndo < undo) {
                    undo = runUndo;
                    undoParts = partsOfUndo;
                }
                peak = std::max(peak, runPeak);
                undoPeak = std::max(undoPeak, runUndoPeak);
                makeServerTable(fields, table, rows, shape);
                setBased = std::min(setBased, secondsOfServerSetBasedUpdate(fields, table));
            }
            std::printf("  %-18s %8d rows  program %8.3f s (%7.0f records/s)  set-based %7.3f s  ratio %5.1f "
                        "(target <= 5)  peak %4.0f MiB  undo %8.3f s (%.2f of the run)  undo peak %4.0f MiB\n"
                        "      run:  %s\n      undo: %s\n",
                nameOf(shape), rows, program, rows / program, setBased, program / setBased, peak / 1024.0, undo,
                undo / program, undoPeak / 1024.0, qPrintable(runParts), qPrintable(undoParts));
            std::fflush(stdout);
        }
    }
    openConnection(OpeningProfile::Batch, fields)
        ->execute(QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE [%1]").arg(table));
}

// Message boxes that only remember their texts: a run in the window ends on one.
class QuietBoxes final : public MessageBoxes {
public:
    QStringList texts;

protected:
    void showInformation(QWidget *, const QString &text, const QString &, Icon, const QString &) override
    {
        texts << text;
    }
    bool showQuestion(QWidget *, const QString &, const QString &) override { return false; }
};

// "Start Changing" pressed in the change options window, shown on the
// screen Qt was given (offscreen, or a display), against the same run without
// the window and through the command line, on copies of one keyed table.
void printWindow(const QString &folder, int rows)
{
    QTemporaryDir dir(folder + QStringLiteral("/window-XXXXXX"));
    const QString original = dir.path() + QStringLiteral("/original.sqlite");
    makeTable(original, rows, Shape::Keyed);
    QuietBoxes boxes;
    MessageBoxes::setInstance(&boxes);
    double window = 1e300, program = 1e300, commandLine = 1e300;
    QString windowParts;
    QString commandLineParts;
    for (int run = 0; run < 3; ++run) {
        const QString windowCopy = dir.path() + QStringLiteral("/window%1.sqlite").arg(run);
        const QString programCopy = dir.path() + QStringLiteral("/program%1.sqlite").arg(run);
        const QString commandCopy = dir.path() + QStringLiteral("/command%1.sqlite").arg(run);
        for (const QString &copy : { windowCopy, programCopy, commandCopy })
            QFile::copy(original, copy);
        {
            const LoginFields login = fieldsFor(windowCopy);
            ChangeOptionsWindow form([login] { return login; });
            form.setEndProgram([] {});
            form.setJournalsFolder(dir.path());
            form.load();
            TableListRows::fill(form.tableList, login);
            form.tableChosen();
            form.fieldList->setCurrentItem(form.fieldList->findItems(QStringLiteral("v"), Qt::MatchExactly).value(0));
            form.fieldChosen();
            form.modeBox->setCurrentIndex(0);
            form.show();
            QCoreApplication::processEvents();
            boxes.texts.clear();
            QElapsedTimer timer;
            timer.start();
            form.startChanging();
            if (const double seconds = double(timer.nsecsElapsed()) / 1e9; seconds < window) {
                window = seconds;
                windowParts = describeTimes(BatchChange::lastTimes()).mid(7).chopped(1);
            }
            if (boxes.texts != QStringList { QStringLiteral("Done.") }) {
                std::fprintf(stderr, "the window's run did not end in Done.: %s\n", qPrintable(boxes.texts.join('|')));
                std::exit(1);
            }
        }
        program = std::min(program, secondsOfBatchChange(programCopy, dir.path()));
        if (const double seconds = secondsOfCommandLine(commandCopy, dir.path()); seconds < commandLine) {
            commandLine = seconds;
            commandLineParts = lastParts;
        }
        for (const QString &copy : { windowCopy, programCopy, commandCopy })
            QFile::remove(copy);
    }
    MessageBoxes::setInstance(nullptr);
    std::printf("  primary key %7d rows  \"Start Changing\" %7.3f s  program %7.3f s  command line %7.3f s  "
                "window / command line %.2f (target <= 1.2)\n"
                "      window:       %s\n      command line: %s\n",
        rows, window, program, commandLine, window / commandLine, qPrintable(windowParts),
        qPrintable(commandLineParts));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--window") {
        // The path users take: the window, best of three runs.
        EventDispatcher::preferQtOwn();
        QApplication app(argc, argv);
        const int rows = argc > 2 ? QByteArray(argv[2]).toInt() : 200000;
        std::printf(
            "\"Start Changing\" in the window (%s), best of 3 runs:\n", qPrintable(QGuiApplication::platformName()));
        printWindow(qEnvironmentVariable("BENCH_MEMORY_DIR", QStringLiteral("/dev/shm")), rows);
        return 0;
    }
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--sqlserver") {
        // The server VANTRELL_TEST_SQLSERVER names, through FreeTDS.
        const bool all = argc > 2 && QByteArray(argv[2]) == "--million";
        std::printf("Batch case change (UPPER CASE) against the TDS server VANTRELL_TEST_SQLSERVER names, the "
                    "command line run whole, against one set-based UPDATE of the same rows, each the best of %d "
                    "runs taking turns:\n",
            ServerRuns);
        printServer(loginFieldsFromLine(qEnvironmentVariable("VANTRELL_TEST_SQLSERVER")),
            all ? QList<int> { 100000, 160000, 400000, 1000000 } : QList<int> { 100000, 160000, 400000 });
        return 0;
    }
    // The folders of the two storages: memory-backed files, and the ordinary disk.
    const QString memory = qEnvironmentVariable("BENCH_MEMORY_DIR", QStringLiteral("/dev/shm"));
    const QString disk = qEnvironmentVariable("BENCH_DISK_DIR", QDir::currentPath());
    const bool quick = argc > 1 && QByteArray(argv[1]) == "--quick";
    if (argc > 2 && QByteArray(argv[1]) == "--repeat") {
        // One size and shape, five times over, for a profiler to watch.
        const int rows = QByteArray(argv[2]).toInt();
        const QByteArray shapeName = argc > 3 ? QByteArray(argv[3]) : QByteArray("keyed");
        const Shape shape = shapeName == "distinct" ? Shape::Distinct
            : shapeName == "repeated"               ? Shape::Repeated
                                                    : Shape::Keyed;
        QTemporaryDir dir(memory + QStringLiteral("/repeat-XXXXXX"));
        const QString original = dir.path() + QStringLiteral("/original.sqlite");
        makeTable(original, rows, shape);
        const QString copy = dir.path() + QStringLiteral("/copy.sqlite");
        for (int run = 0; run < 5; ++run) {
            QFile::remove(copy);
            QFile::copy(original, copy);
            const double program = secondsOfBatchChange(copy, dir.path());
            QFile::remove(copy);
            QFile::copy(original, copy);
            const double setBased = secondsOfSetBasedUpdate(copy);
            std::printf("  %-18s %7d rows  program %7.3f s  set-based %6.3f s  ratio %5.1f\n", nameOf(shape), rows,
                program, setBased, program / setBased);
        }
        return 0;
    }
    const int sizes[] = { 10000, 40000, 160000 };

    std::printf(
        "Batch case change (UPPER CASE) on the embedded engine, journal included, against one set-based\n"
        "UPDATE t SET v = upper(v) of the same rows; every tenth value is Null. \"program\" is the batch change\n"
        "as the command line runs it, in this process; \"command line\" is the program run whole, the start\n"
        "of its process included. Each figure is the best of %d runs.\n\n",
        Runs);
    if (argc > 1 && QByteArray(argv[1]) == "--word-rules") {
        std::printf("Word rules (%s):\n", qPrintable(memory));
        printWordRules(memory);
        return 0;
    }
    if (argc > 1 && QByteArray(argv[1]) == "--memory") {
        const bool million = argc > 2 && QByteArray(argv[2]) == "--million";
        std::printf("The command line whole, its run and the undo of its journal, with their peak resident memory "
                    "(%s):\n",
            qPrintable(memory));
        printMemoryGrowth(memory, million ? QList<int> { 100000, 400000, 1000000 } : QList<int> { 100000, 400000 });
        return 0;
    }
    if (!quick) {
        std::printf("Memory (%s):\n", qPrintable(memory));
        printMillion(memory);
    }
    std::printf("\nWord rules (%s):\n", qPrintable(memory));
    printWordRules(memory);
    std::printf("\nRound trips, in memory:\n");
    for (Shape shape : { Shape::Keyed, Shape::Distinct, Shape::Repeated })
        printCounts(memory, shape);

    for (const QString &folder : { memory, disk }) {
        std::printf("\n%s (%s):\n", folder == memory ? "Memory" : "Ordinary disk", qPrintable(folder));
        for (Shape shape : { Shape::Keyed, Shape::Distinct, Shape::Repeated }) {
            Figures figures[3];
            for (int i = 0; i < (quick ? 2 : 3); ++i) {
                figures[i] = measure(folder, sizes[i], shape, Runs);
                printRow(nameOf(shape), sizes[i], figures[i]);
            }
            if (quick)
                continue;
            const double growth = figures[2].program / figures[0].program;
            double worst = 0;
            for (const Figures &f : figures)
                worst = std::max(worst, f.program / f.setBased);
            const double target = shape == Shape::Keyed ? 10 : 15;
            std::printf("  %-18s 160k/10k time %.1f (target <= 17) %s; worst ratio %.1f (target <= %.0f) %s\n",
                nameOf(shape), growth, growth <= 17 ? "ok" : "MISSED", worst, target,
                worst <= target ? "ok" : "MISSED");
        }
    }
    return 0;
}
