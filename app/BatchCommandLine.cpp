#include "app/BatchCommandLine.h"

#include "app/CommandLineOptions.h"
#include "casing/BatchChange.h"
#include "casing/Case.h"
#include "casing/DryRunSample.h"
#include "casing/SavedWordRules.h"
#include "common/BuildConfig.h"
#include "connection/ConnectionCheck.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace BatchCommandLine {

namespace {

enum ExitCode { AllChanged = 0, SomeUnchanged = 1, UsageOrConnection = 2, OutputLost = 3 };

constexpr qsizetype DryRunShown = 20;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString &message)
{
    err() << "vantrell: " << message << "\nTry 'vantrell --help' for more.\n";
    err().flush();
    return UsageOrConnection;
}

// A line on the error output that ends the run with the exit status.
int refused(const QString &message, int exitCode = UsageOrConnection)
{
    err() << "vantrell: " << message << '\n';
    err().flush();
    return exitCode;
}

// Where the run's time went, on the error output, when VANTRELL_TIMES is set
// (for measuring; see docs/development.md).
void reportTimes(const BatchChange::Result &result)
{
    if (!qEnvironmentVariableIsSet("VANTRELL_TIMES"))
        return;
    err() << describeTimes(result.times) << '\n';
    err().flush();
}

// True when everything written to the output so far has reached it.
bool outputWritten()
{
    out().flush();
    return out().status() == QTextStream::Ok;
}

int outputLost()
{
    err() << "vantrell: the progress or the summary could not be written out.\n";
    err().flush();
    return OutputLost;
}

// Draws the progress as a bar on a terminal, as a line per tenth otherwise,
// and only when what it shows changes.
class ProgressOutput {
public:
    ProgressOutput()
        : m_terminal(isatty(fileno(stdout)) != 0)
    {
    }

    void show(double value)
    {
        const int percent = int(value);
        if (m_terminal) {
            if (percent == m_shown)
                return;
            constexpr int Width = 40;
            const int filled = percent * Width / 100;
            out() << '\r' << '[' << QString(filled, QLatin1Char('#')) << QString(Width - filled, QLatin1Char('.'))
                  << "] " << qSetFieldWidth(3) << percent << qSetFieldWidth(0) << '%';
            out().flush();
        } else {
            const int tenth = percent / 10 * 10;
            if (tenth == m_shown)
                return;
            out() << "Progress: " << tenth << "%\n";
            out().flush(); // a pipe or a file gets each line as it happens
            m_shown = tenth;
            return;
        }
        m_shown = percent;
    }

    void finish()
    {
        if (m_terminal && m_shown >= 0)
            out() << '\n';
        m_shown = -1;
    }

private:
    bool m_terminal;
    int m_shown = -1;
};

// The callbacks of every run from the command line: the mode, the progress,
// and failures on the error output.
BatchChange::Callbacks callbacksFor(ProgressOutput &progress, const QString &modeText)
{
    BatchChange::Callbacks callbacks;
    callbacks.modeText = [modeText] { return modeText; };
    callbacks.progress = [&progress](double value) { progress.show(value); };
    callbacks.failure = [&progress](int line, const QString &description) {
        progress.finish();
        out().flush();
        const bool opening = line == BatchChange::LineOpenLocal || line == BatchChange::LineOpenWithPort;
        err() << "vantrell: " << (opening ? "could not connect: " : "") << description << '\n';
        err().flush();
    };
    return callbacks;
}

// The exit status of a run that ended before its records, or none when the
// run got to them. `declined` says why a callback ended it.
std::optional<int> endedEarly(const BatchChange::Result &result, const QString &declined)
{
    switch (result.outcome) {
    case BatchChange::Outcome::NotStarted:
        return refused(QStringLiteral("nothing was changed."));
    case BatchChange::Outcome::Refused:
        return refused(result.refusal);
    case BatchChange::Outcome::Declined:
        refused(declined);
        if (result.recordsChanged == 0)
            return UsageOrConnection;
        return std::nullopt;
    case BatchChange::Outcome::Finished:
    case BatchChange::Outcome::Stopped:
    case BatchChange::Outcome::EndedByFailure:
        return std::nullopt;
    }
    return std::nullopt;
}

// The server is asked first with the ordinary timeout; the connection that
// asked is kept in `opened`.
std::optional<int> unreachable(const LoginFields &fields, std::unique_ptr<odbc::Connection> *opened)
{
    if (const std::optional<QString> problem = ConnectionCheck::connectionProblem(fields, nullptr, opened))
        return refused(QStringLiteral("could not connect: ") + *problem);
    return std::nullopt;
}

int runChange(const CommandLineOptions &options)
{
    std::unique_ptr<odbc::Connection> opened;
    if (const std::optional<int> exitCode = unreachable(options.fields, &opened))
        return *exitCode;
    const QString modeText = Case::ModeTexts[int(options.mode)];
    ProgressOutput progress;
    BatchChange::Callbacks callbacks = callbacksFor(progress, modeText);
    const std::shared_ptr<const WordRules> wordRules = SavedWordRules::rules(options.wordRules, options.extraWords);
    std::optional<JournalWriter> writer;
    if (!options.dryRun && options.journal) {
        writer.emplace(JournalHeader::forRun(
            options.fields, options.table, options.field, SavedWordRules::modeText(modeText, wordRules != nullptr)));
        writer->attach(callbacks);
    }
    DryRunSample sample(DryRunShown);
    if (options.dryRun)
        sample.attach(callbacks);
    BatchChange change(options.fields, options.table, options.field, callbacks);
    change.setDryRun(options.dryRun);
    change.setWordRules(wordRules);
    change.setOpenedConnection(std::move(opened));
    const BatchChange::Result result = change.run();
    progress.finish();
    reportTimes(result);
    if (const std::optional<int> exitCode = endedEarly(result, writer ? writer->error() : QString()))
        return *exitCode;

    if (options.dryRun) {
        out() << "Dry run: nothing was changed. A real run would report:\n" << describeCounts(result) << '\n';
        if (!sample.isEmpty())
            out() << sample.heading() << '\n' << sample.lines();
        return outputWritten() ? AllChanged : outputLost();
    }
    out() << describeCounts(result) << '\n';
    if (writer && !writer->path().isEmpty())
        out() << "Journal: " << writer->path() << '\n';
    if (!outputWritten())
        return outputLost();
    return result.unchanged() > 0 || result.outcome == BatchChange::Outcome::Declined ? SomeUnchanged : AllChanged;
}

int runUndo(const CommandLineOptions &options)
{
    // The journal is checked before anything is asked of the server.
    JournalReader journal;
    if (!journal.read(options.undoJournal))
        return refused(journal.error() + QStringLiteral(" Nothing was changed."));
    if (!options.anyDatabase) {
        if (const QString elsewhere = JournalUndo::elsewhere(journal.header(), options.fields); !elsewhere.isEmpty())
            return refused(
                elsewhere + QStringLiteral(" To undo it there all the same, add --any-database. Nothing was changed."));
    }
    std::unique_ptr<odbc::Connection> opened;
    if (const std::optional<int> exitCode = unreachable(options.fields, &opened))
        return *exitCode;
    ProgressOutput progress;
    BatchChange::Callbacks callbacks = callbacksFor(progress, Case::ModeTexts.first());
    DryRunSample sample(DryRunShown);
    if (options.dryRun)
        sample.attach(callbacks);
    JournalUndo undo(journal, options.fields);
    const BatchChange::Result result = undo.run(callbacks, options.dryRun, std::move(opened));
    progress.finish();
    reportTimes(result);
    if (const std::optional<int> exitCode = endedEarly(result, undo.refusal()))
        return *exitCode;
    if (options.dryRun) {
        out() << "Dry run: nothing was changed. The undo would report:\n"
              << describeCounts(result) << '\n'
              << undo.describe(result) << '\n';
        if (!sample.isEmpty())
            out() << sample.heading() << '\n' << sample.lines();
        return outputWritten() ? AllChanged : outputLost();
    }
    undo.markJournal(options.undoJournal, result);
    out() << describeCounts(result) << '\n' << undo.describe(result) << '\n';
    if (!outputWritten())
        return outputLost();
    return result.unchanged() > 0 || undo.leftAlone() > 0 || result.outcome == BatchChange::Outcome::Declined
        ? SomeUnchanged
        : AllChanged;
}

} // namespace

namespace {

// The window system's own options, which the window takes, and how many
// values follow each (a value may also follow an "=").
struct WindowOption {
    const char *name;
    int values;
};
constexpr WindowOption WindowOptions[] = { { "-platform", 1 }, { "-platformpluginpath", 1 }, { "-platformtheme", 1 },
    { "-plugin", 1 }, { "-qwindowgeometry", 1 }, { "-qwindowicon", 1 }, { "-qwindowtitle", 1 }, { "-reverse", 0 },
    { "-session", 1 }, { "-style", 1 }, { "-stylesheet", 1 }, { "-widgetcount", 0 }, { "-display", 1 },
    { "-geometry", 1 }, { "-name", 1 }, { "-title", 1 }, { "-visual", 1 }, { "-nograb", 0 }, { "-dograb", 0 },
    { "-sync", 0 } };

// How many arguments the window system's option at argv[i] takes, itself
// included; 0 when it is none of them.
int windowOptionLength(const char *argument)
{
    for (const WindowOption &option : WindowOptions) {
        const size_t length = std::strlen(option.name);
        if (std::strncmp(argument, option.name, length) != 0)
            continue;
        if (argument[length] == '\0')
            return 1 + option.values;
        if (argument[length] == '=' && option.values > 0)
            return 1;
    }
    return 0;
}

} // namespace

bool isRequested(int argc, char *argv[])
{
    // Any argument but the window system's own asks for the command line,
    // which says what is wrong with it rather than opening the window.
    for (int i = 1; i < argc;) {
        const int taken = windowOptionLength(argv[i]);
        if (taken == 0)
            return true;
        i += taken;
    }
    return false;
}

int run(const QStringList &arguments)
{
#ifndef _WIN32
    // A reader that goes away (vantrell --batch ... | head -1) ends the
    // output, not the run: the records are still changed, and the exit
    // status says the output was lost.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const std::variant<CommandLineOptions, QString> parsed = CommandLineOptions::parse(arguments);
    if (const QString *error = std::get_if<QString>(&parsed))
        return usageError(*error);
    const CommandLineOptions &options = std::get<CommandLineOptions>(parsed);
    switch (options.job) {
    case CommandLineOptions::Job::Help:
        out() << CommandLineOptions::help();
        return outputWritten() ? AllChanged : outputLost();
    case CommandLineOptions::Job::Version:
        out() << BuildConfig::ProductTitle << ' ' << BuildConfig::Version << '\n';
        return outputWritten() ? AllChanged : outputLost();
    case CommandLineOptions::Job::Undo:
        return runUndo(options);
    case CommandLineOptions::Job::Change:
        return runChange(options);
    }
    return UsageOrConnection;
}

} // namespace BatchCommandLine
