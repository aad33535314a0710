#include "app/BatchCommandLine.h"

#include "app/BuildConfig.h"
#include "app/MainHelpers.h"
#include "app/Settings.h"
#include "casing/BatchChange.h"
#include "casing/Case.h"
#include "journal/JournalReader.h"
#include "journal/JournalUndo.h"
#include "journal/JournalWriter.h"
#include "connection/MSSQL.h"
#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"

#include <QCommandLineParser>
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

const char *const HelpText = R"(Usage: vantrell --batch --table TABLE --field FIELD --mode MODE [options]

Changes the letter case of every value of one text field of one table, the
same job as "Start Changing" in the program's window, without the windows.

  --table TABLE      the table, as the database spells it
  --schema NAME      the schema that holds the table; without it the table is
                     looked up in the user's default schema
  --field FIELD      the field; only char, varchar, text, nchar, nvarchar and
                     ntext fields are changed
  --mode MODE        "UPPER CASE", "lower case", "Proper Case", "Sentence case",
                     or one of the words upper, lower, proper, sentence, in
                     any letter case

Login fields are the ones the login window remembered; these replace them:
  --server NAME      the server
  --port PORT        the port (not used for a local connection)
  --user NAME        the user name
  --database NAME    the database
  --local            a local connection (no port)
  --no-local         not a local connection

The password is never taken from the command line: it is the remembered one,
or the environment variable VANTRELL_PASSWORD when that is set.

Each record's row is changed only while it still holds the value that was
read. A progress bar (plain lines when the output is not a terminal) is
followed by one summary line.

The server is asked first with a 15-second timeout, so one that does not
answer is reported at once.

Options take two dashes, and each at most once.

Exit status: 0 every record was changed or needed no change; 1 some records
could not be changed (the summary says why); 2 a usage error, or the
connection, the field or the table could not be reached; 3 the progress or
the summary could not be written out (the records were still changed).

Every run keeps a journal of the records it changes (old and new text), in
~/.local/share/Marrowfen/Vantrell/journals, and names it on a line
"Journal: PATH" after the summary.
  --no-journal       keep no journal of this run
  --dry-run          read and convert as a real run would and change nothing:
                     the counts a real run would report and the first 20
                     changes (exit status 0)
  --undo JOURNAL     put back the old texts of a run instead of --batch: a row
                     gets its old text back only while it still holds the text
                     the run wrote (exit status 1 when some were left alone).
                     Table and field come from the journal, the login fields
                     as above. The undo keeps no journal of its own; undoing
                     twice changes nothing more.
  --any-database     with --undo: undo the journal in the database the login
                     fields name even when the journal is of another database
                     or server (refused otherwise: exit status 2)
  --help             this text
  --version          the program's version
)";

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

LoginFields rememberedLoginFields()
{
    LoginFields fields;
    fields.server = Settings::read(Settings::MSServer);
    fields.port = Settings::read(Settings::MSPort, Settings::DefaultPort);
    fields.user = Settings::read(Settings::MSUser);
    fields.password = Settings::read(Settings::MSPassword);
    fields.database = Settings::read(Settings::MSDatabase);
    fields.localConnection = Settings::isTicked(Settings::read(Settings::LocalConnection, Settings::DefaultLocalConnection));
    return fields;
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

// The mode a --mode text names: one of the mode box's four names or one of the
// four words, in any letter case, and nothing else.
std::optional<Case::Mode> modeNamed(const QString &text)
{
    const QString lowered = text.toLower();
    const QLatin1String words[]
        = { QLatin1String("upper"), QLatin1String("lower"), QLatin1String("proper"), QLatin1String("sentence") };
    for (int i = 0; i < int(std::size(words)); ++i)
        if (lowered == words[i] || lowered == Case::ModeTexts[i].toLower())
            return Case::Mode(i);
    return std::nullopt;
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

constexpr qsizetype DryRunShown = 20;

} // namespace

namespace {

// The command line's own options, without their dashes.
const char *const OptionNames[] = { "batch", "help", "version", "undo", "table", "schema", "field", "mode", "server",
    "port", "user", "database", "local", "no-local", "dry-run", "no-journal", "any-database", "password" };

// The name of one of the command line's options that the argument gives,
// with one dash or two and with or without "=value"; empty for any other.
QByteArray optionOf(const char *argument)
{
    if (argument[0] != '-')
        return {};
    const char *name = argument[1] == '-' ? argument + 2 : argument + 1;
    QByteArray word(name);
    if (const qsizetype equals = word.indexOf('='); equals >= 0)
        word.truncate(equals);
    for (const char *option : OptionNames)
        if (word == option)
            return word;
    return {};
}

} // namespace

bool isRequested(int argc, char *argv[])
{
    // Any of its options, even misspelt with one dash, asks for the command
    // line, which then says what is wrong rather than opening the window.
    for (int i = 1; i < argc; ++i)
        if (!optionOf(argv[i]).isEmpty())
            return true;
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
    for (const QString &argument : arguments.mid(1)) {
        const QByteArray option = optionOf(argument.toLocal8Bit().constData());
        if (option == "password")
            return usageError(QStringLiteral("the password is not taken from the command line; set "
                                             "VANTRELL_PASSWORD or let the login window remember it."));
        if (!option.isEmpty() && !argument.startsWith(QLatin1String("--")))
            return usageError(QStringLiteral("options take two dashes: --%1.").arg(QString::fromLatin1(option)));
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption batch(QStringLiteral("batch"));
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption table(QStringLiteral("table"), QString(), QStringLiteral("table"));
    const QCommandLineOption schema(QStringLiteral("schema"), QString(), QStringLiteral("name"));
    const QCommandLineOption field(QStringLiteral("field"), QString(), QStringLiteral("field"));
    const QCommandLineOption mode(QStringLiteral("mode"), QString(), QStringLiteral("mode"));
    const QCommandLineOption server(QStringLiteral("server"), QString(), QStringLiteral("name"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("port"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("name"));
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("name"));
    const QCommandLineOption local(QStringLiteral("local"));
    const QCommandLineOption noLocal(QStringLiteral("no-local"));
    parser.addOptions({ batch, help, version, table, schema, field, mode, server, port, user, database, local, noLocal });
    const QCommandLineOption undo(QStringLiteral("undo"), QString(), QStringLiteral("journal"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption noJournal(QStringLiteral("no-journal"));
    const QCommandLineOption anyDatabase(QStringLiteral("any-database"));
    parser.addOptions({ undo, dryRun, noJournal, anyDatabase });

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out() << HelpText;
        return outputWritten() ? AllChanged : outputLost();
    }
    if (parser.isSet(version)) {
        out() << BuildConfig::ProductTitle << ' ' << BuildConfig::Version << '\n';
        return outputWritten() ? AllChanged : outputLost();
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\".").arg(parser.positionalArguments().first()));
    // An option given twice would leave one of its values unused.
    for (const QString &name : parser.optionNames())
        if (parser.optionNames().count(name) > 1)
            return usageError(QStringLiteral("--%1 is given more than once.").arg(name));
    const bool undoing = parser.isSet(undo);
    if (!undoing && !parser.isSet(batch))
        return usageError(QStringLiteral("--batch (or --undo) is required for the command line."));
    if (undoing && parser.isSet(batch))
        return usageError(QStringLiteral("--batch and --undo cannot both be given."));
    if (!undoing && parser.isSet(anyDatabase))
        return usageError(QStringLiteral("--any-database goes with --undo."));
    if (undoing && parser.isSet(schema))
        return usageError(QStringLiteral("--schema cannot be given with --undo: the journal names it."));
    for (const QCommandLineOption *required : { &table, &field, &mode }) {
        if (undoing && parser.isSet(*required))
            return usageError(QStringLiteral("--%1 cannot be given with --undo: the journal names it.")
                                  .arg(required->names().first()));
        if (!undoing && (!parser.isSet(*required) || parser.value(*required).isEmpty()))
            return usageError(QStringLiteral("--%1 is required.").arg(required->names().first()));
    }
    const QString modeText = parser.value(mode);
    const std::optional<Case::Mode> chosen = undoing ? Case::Mode::Upper : modeNamed(modeText);
    if (!chosen)
        return usageError(QStringLiteral("unknown mode \"%1\"; use \"UPPER CASE\", \"lower case\", \"Proper Case\", "
                                         "\"Sentence case\" or upper, lower, proper, sentence.")
                              .arg(modeText));
    if (parser.isSet(local) && parser.isSet(noLocal))
        return usageError(QStringLiteral("--local and --no-local cannot both be given."));

    LoginFields fields = rememberedLoginFields();
    if (parser.isSet(server))
        fields.server = parser.value(server);
    if (parser.isSet(port))
        fields.port = parser.value(port);
    if (parser.isSet(user))
        fields.user = parser.value(user);
    if (parser.isSet(database))
        fields.database = parser.value(database);
    if (parser.isSet(local) || parser.isSet(noLocal))
        fields.localConnection = parser.isSet(local);
    if (qEnvironmentVariableIsSet("VANTRELL_PASSWORD"))
        fields.password = qEnvironmentVariable("VANTRELL_PASSWORD");

    // The journal is checked before anything is asked of the server.
    JournalReader journal;
    if (undoing && !journal.read(parser.value(undo))) {
        err() << "vantrell: " << journal.error() << " Nothing was changed.\n";
        err().flush();
        return UsageOrConnection;
    }
    if (undoing && !parser.isSet(anyDatabase)) {
        if (const QString elsewhere = JournalUndo::elsewhere(journal.header(), fields); !elsewhere.isEmpty()) {
            err() << "vantrell: " << elsewhere << " To undo it there all the same, add --any-database. Nothing was "
                  << "changed.\n";
            err().flush();
            return UsageOrConnection;
        }
    }
    if (const std::optional<QString> problem = MSSQL::ConnectionProblem(fields)) {
        err() << "vantrell: could not connect: " << *problem << '\n';
        err().flush();
        return UsageOrConnection;
    }
    const TableName tableName = undoing ? TableName { journal.header().schema, journal.header().table }
                                        : TableName { parser.value(schema), parser.value(table) };
    const QString fieldName = undoing ? journal.header().field : parser.value(field);

    ProgressOutput progress;
    BatchChange::Callbacks callbacks;
    const QString listText = Case::ModeTexts[int(*chosen)];
    callbacks.modeText = [listText] { return listText; };
    std::optional<JournalUndo> journalUndo;
    std::optional<JournalWriter> writer;
    QList<PlannedChange> firstChanges;
    if (undoing) {
        journalUndo.emplace(journal, fields);
        journalUndo->attach(callbacks);
    } else if (!parser.isSet(dryRun) && !parser.isSet(noJournal)) {
        writer.emplace(JournalHeader::forRun(fields, tableName, fieldName, listText));
        writer->attach(callbacks);
    }
    if (parser.isSet(dryRun))
        callbacks.beforeSend = [&firstChanges](const QList<PlannedChange> &records) {
            firstChanges += records.first(std::min<qsizetype>(records.size(), DryRunShown - firstChanges.size()));
            return true;
        };
    callbacks.progress = [&progress](double value) { progress.show(value); };
    callbacks.failure = [&progress](int line, const QString &description) {
        progress.finish();
        out().flush();
        const bool opening = line == BatchChange::LineOpenLocal || line == BatchChange::LineOpenWithPort;
        err() << "vantrell: " << (opening ? "could not connect: " : "") << description << '\n';
        err().flush();
    };
    BatchChange change(fields, tableName, fieldName, callbacks);
    change.setDryRun(parser.isSet(dryRun));
    const BatchChange::Result result = change.run();
    progress.finish();

    switch (result.outcome) {
    case BatchChange::Outcome::NotStarted:
        err() << "vantrell: nothing was changed.\n";
        err().flush();
        return UsageOrConnection;
    case BatchChange::Outcome::Refused:
        err() << "vantrell: " << result.refusal << '\n';
        err().flush();
        return UsageOrConnection;
    case BatchChange::Outcome::Declined:
        err() << "vantrell: " << (journalUndo ? journalUndo->refusal() : writer ? writer->error() : QString()) << '\n';
        err().flush();
        if (result.recordsChanged == 0)
            return UsageOrConnection;
        break;
    case BatchChange::Outcome::Finished:
    case BatchChange::Outcome::Stopped:
    case BatchChange::Outcome::EndedByFailure:
        break;
    }
    if (parser.isSet(dryRun)) {
        out() << "Dry run: nothing was changed. A real run would report:\n" << describeCounts(result) << '\n';
        if (!firstChanges.isEmpty())
            out() << (firstChanges.size() < DryRunShown ? "The changes:\n" : "The first 20 changes:\n");
        for (const PlannedChange &change : firstChanges)
            out() << Main::visibleText(change.oldText) << QStringLiteral(" \u2192 ") << Main::visibleText(change.newText) << '\n';
        return outputWritten() ? AllChanged : outputLost();
    }
    out() << describeCounts(result) << '\n';
    if (journalUndo)
        out() << journalUndo->describe(result) << '\n';
    if (writer && !writer->path().isEmpty())
        out() << "Journal: " << writer->path() << '\n';
    if (!outputWritten())
        return outputLost();
    const bool leftAlone = journalUndo && journalUndo->leftAlone() > 0;
    return result.unchanged() > 0 || leftAlone || result.outcome == BatchChange::Outcome::Declined ? SomeUnchanged
                                                                                                   : AllChanged;
}

} // namespace BatchCommandLine
