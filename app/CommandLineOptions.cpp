#include "app/CommandLineOptions.h"

#include "casing/WordListFile.h"

#include "common/Settings.h"
#include "connection/RememberedLogin.h"

#include <QCommandLineParser>

#include <cstring>
#include <optional>

namespace {

enum class Group { Change, Login, Journal, Program };

// Every option, with what --help says of it.
struct Option {
    const char *name;
    const char *value; // nullptr for a flag
    Group group;
    const char *description;
};

const Option Options[] = {
    { "batch", nullptr, Group::Program, "change the field's case without the windows" },
    { "table", "TABLE", Group::Change, "the table, as the database spells it" },
    { "schema", "NAME", Group::Change,
        "the schema that holds the table; without it the table is looked up in the user's default schema" },
    { "field", "FIELD", Group::Change,
        "the field; only char, varchar, text, nchar, nvarchar and ntext fields are changed" },
    { "mode", "MODE", Group::Change,
        "\"UPPER CASE\", \"lower case\", \"Proper Case\", \"Sentence case\", or one of the words upper, lower, "
        "proper, sentence, in any letter case" },
    { "word-rules", nullptr, Group::Change,
        "Proper Case and Sentence case follow the word rules for this run: names such as McDonald, O'Brien, de la "
        "Cruz and Henry VIII, acronyms, the program's words and the words saved in the Word Rules window" },
    { "words", "FILE", Group::Change,
        "with the word rules, the words of a UTF-8 file too, one per line, as they must be written; a file that "
        "is not a regular file or not UTF-8, or has a line of more than 200 characters, is refused (exit status 2)" },
    { "server", "NAME", Group::Login, "the server" },
    { "port", "PORT", Group::Login, "the port (not used for a local connection)" },
    { "user", "NAME", Group::Login, "the user name" },
    { "database", "NAME", Group::Login, "the database" },
    { "local", nullptr, Group::Login, "a local connection (no port)" },
    { "no-local", nullptr, Group::Login, "not a local connection" },
    { "encrypt", nullptr, Group::Login,
        "encrypt the whole session and check the server's certificate: signed by an authority this computer "
        "trusts (or one of --trusted-authorities) and issued for the server's name. A server that offers no "
        "encryption, or whose certificate fails the check, is refused (exit status 2) before the login is sent" },
    { "trust-server-certificate", nullptr, Group::Login,
        "encrypt the whole session and take any certificate the server shows. This does not protect against a "
        "machine in the middle, which can read and change every text" },
    { "trusted-authorities", "FILE", Group::Login,
        "with --encrypt: the authorities' certificates (PEM) to check the server's against, for a server with a "
        "private authority; on Windows the system's certificate store holds them instead" },
    { "no-encrypt", nullptr, Group::Login,
        "neither of the two: the login is encrypted only when the server offers it, and everything after it "
        "travels in the clear" },
    { "no-journal", nullptr, Group::Journal, "keep no journal of this run" },
    { "dry-run", nullptr, Group::Journal,
        "read and convert as a real run would and change nothing: the counts a real run would report and the "
        "first 20 changes (exit status 0); with --undo, what the undo would put back and leave alone" },
    { "undo", "JOURNAL", Group::Journal,
        "put back the old texts of a run instead of --batch: a row gets its old text back only while it still "
        "holds the text the run wrote (exit status 1 when some were left alone). Table and field come from the "
        "journal, the login fields as above. The undo keeps no journal of its own; undoing twice changes nothing "
        "more." },
    { "any-database", nullptr, Group::Journal,
        "with --undo: undo the journal in the database the login fields name even when the journal is of another "
        "database or server (refused otherwise: exit status 2)" },
    { "help", nullptr, Group::Program, "this text" },
    { "version", nullptr, Group::Program, "the program's version" },
};

// Never an option: the password is not taken from the command line.
constexpr const char *Password = "password";

const char *const Usage = "Usage: vantrell --batch --table TABLE --field FIELD --mode MODE [options]\n\n"
                          "Changes the letter case of every value of one text field of one table, the\n"
                          "same job as \"Start Changing\" in the program's window, without the windows.\n";

// What stands before each group's options, and after them all.
QString heading(Group group)
{
    switch (group) {
    case Group::Change:
        return {};
    case Group::Login:
        return QStringLiteral("Login fields and encryption choices are the ones the login window remembered;\n"
                              "these replace them:\n");
    case Group::Journal:
        return QStringLiteral("The password is never taken from the command line: it is the remembered one,\n"
                              "or the environment variable VANTRELL_PASSWORD when that is set.\n\n"
                              "Each record's row is changed only while it still holds the value that was\n"
                              "read. A progress bar (plain lines when the output is not a terminal) is\n"
                              "followed by one summary line.\n\n"
                              "The server is asked first with a 15-second timeout, so one that does not\n"
                              "answer is reported at once.\n\n"
                              "Options take two dashes, and each at most once.\n\n"
                              "Exit status: 0 every record was changed or needed no change; 1 some records\n"
                              "could not be changed (the summary says why); 2 a usage error, or the\n"
                              "connection, the field or the table could not be reached; 3 the progress or\n"
                              "the summary could not be written out (the records were still changed).\n\n"
                              "Every run keeps a journal of the records it changes (old and new text), in\n"
#ifdef Q_OS_WIN
                              "%APPDATA%\\Marrowfen\\Vantrell\\journals, and names it on a line\n"
#else
                              "~/.local/share/Marrowfen/Vantrell/journals, and names it on a line\n"
#endif
                              "\"Journal: PATH\" after the summary.\n");
    case Group::Program:
        return {};
    }
    return {};
}

// "  --name VALUE" and the description beside it, wrapped at 79 columns.
QString optionLines(const Option &option)
{
    constexpr int DescriptionColumn = 21;
    constexpr int Width = 79;
    QString lines = QStringLiteral("  --") + QLatin1String(option.name);
    if (option.value)
        lines += QLatin1Char(' ') + QLatin1String(option.value);
    // A name too long for its column has its description begin on the next line.
    if (lines.size() >= DescriptionColumn - 1)
        lines += QLatin1Char('\n') + QString(DescriptionColumn - 1, QLatin1Char(' '));
    else
        lines = lines.leftJustified(DescriptionColumn - 1);
    lines += QLatin1Char(' ');
    int column = DescriptionColumn;
    bool first = true;
    for (const QString &word : QString::fromUtf8(option.description).split(QLatin1Char(' '))) {
        if (!first && column + 1 + word.size() > Width) {
            lines += QLatin1Char('\n') + QString(DescriptionColumn, QLatin1Char(' '));
            column = DescriptionColumn;
            first = true;
        }
        if (!first) {
            lines += QLatin1Char(' ');
            ++column;
        }
        lines += word;
        column += int(word.size());
        first = false;
    }
    return lines + QLatin1Char('\n');
}

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

// The option the argument names, with one dash or two; empty for any other.
QByteArray optionNamed(const char *argument)
{
    if (argument[0] != '-')
        return {};
    QByteArray word(argument[1] == '-' ? argument + 2 : argument + 1);
    if (const qsizetype equals = word.indexOf('='); equals >= 0)
        word.truncate(equals);
    if (word == Password)
        return word;
    for (const Option &option : Options)
        if (word == option.name)
            return word;
    return {};
}

} // namespace

QString CommandLineOptions::help()
{
    QString text = QString::fromUtf8(Usage);
    for (const Group group : { Group::Change, Group::Login, Group::Journal, Group::Program }) {
        text += QLatin1Char('\n') + heading(group);
        for (const Option &option : Options)
            if (option.group == group && std::strcmp(option.name, "batch") != 0)
                text += optionLines(option);
    }
    return text;
}

namespace {

// The arguments as the option table reads them.
class ParsedArguments {
public:
    // False, with errorText(), when the arguments do not fit the option table.
    bool parse(const QStringList &arguments)
    {
        m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        for (const Option &option : Options)
            m_parser.addOption(option.value
                    ? QCommandLineOption(QLatin1String(option.name), QString::fromUtf8(option.description),
                        QString::fromLatin1(option.value))
                    : QCommandLineOption(QLatin1String(option.name), QString::fromUtf8(option.description)));
        return m_parser.parse(arguments);
    }
    QString errorText() const { return m_parser.errorText(); }
    bool isSet(const char *name) const { return m_parser.isSet(QLatin1String(name)); }
    QString value(const char *name) const { return m_parser.value(QLatin1String(name)); }
    QStringList positional() const { return m_parser.positionalArguments(); }
    QStringList optionNames() const { return m_parser.optionNames(); }

private:
    QCommandLineParser m_parser;
};

// Why an argument is refused before the option table reads it: the password,
// or an option with one dash.
std::optional<QString> misspelt(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        const QByteArray option = optionNamed(argument.toLocal8Bit().constData());
        if (option == Password)
            return QStringLiteral("the password is not taken from the command line; set VANTRELL_PASSWORD or let "
                                  "the login window remember it.");
        if (!option.isEmpty() && !argument.startsWith(QLatin1String("--")))
            return QStringLiteral("options take two dashes: --%1.").arg(QString::fromLatin1(option));
    }
    return std::nullopt;
}

// Why the options given do not make one job: a stray argument, an option given
// twice, or options that do not go together.
std::optional<QString> conflict(const ParsedArguments &given)
{
    if (!given.positional().isEmpty())
        return QStringLiteral("unexpected argument \"%1\".").arg(given.positional().first());
    // An option given twice would leave one of its values unused.
    const QStringList names = given.optionNames();
    for (const QString &name : names)
        if (names.count(name) > 1)
            return QStringLiteral("--%1 is given more than once.").arg(name);
    const bool undoing = given.isSet("undo");
    if (!undoing && !given.isSet("batch"))
        return QStringLiteral("--batch (or --undo) is required for the command line.");
    if (undoing && given.isSet("batch"))
        return QStringLiteral("--batch and --undo cannot both be given.");
    if (!undoing && given.isSet("any-database"))
        return QStringLiteral("--any-database goes with --undo.");
    if (undoing && given.isSet("schema"))
        return QStringLiteral("--schema cannot be given with --undo: the journal names it.");
    for (const char *required : { "table", "field", "mode" }) {
        if (undoing && given.isSet(required))
            return QStringLiteral("--%1 cannot be given with --undo: the journal names it.")
                .arg(QLatin1String(required));
        if (!undoing && (!given.isSet(required) || given.value(required).isEmpty()))
            return QStringLiteral("--%1 is required.").arg(QLatin1String(required));
    }
    if (given.isSet("local") && given.isSet("no-local"))
        return QStringLiteral("--local and --no-local cannot both be given.");
    if (given.isSet("no-encrypt"))
        for (const char *encrypting : { "encrypt", "trust-server-certificate", "trusted-authorities" })
            if (given.isSet(encrypting))
                return QStringLiteral("--%1 and --no-encrypt cannot both be given.").arg(QLatin1String(encrypting));
    if (given.isSet("trusted-authorities") && given.isSet("trust-server-certificate"))
        return QStringLiteral("--trusted-authorities goes with --encrypt: with --trust-server-certificate no "
                              "certificate is checked.");
    return std::nullopt;
}

// The remembered login fields, with what the options and VANTRELL_PASSWORD give instead.
LoginFields loginFieldsFrom(const ParsedArguments &given)
{
    LoginFields fields = RememberedLogin::read();
    if (given.isSet("server"))
        fields.server = given.value("server");
    if (given.isSet("port"))
        fields.port = given.value("port");
    if (given.isSet("user"))
        fields.user = given.value("user");
    if (given.isSet("database"))
        fields.database = given.value("database");
    if (given.isSet("local") || given.isSet("no-local"))
        fields.localConnection = given.isSet("local");
    ConnectionSecurity &security = fields.security;
    if (given.isSet("no-encrypt"))
        security = ConnectionSecurity {};
    if (given.isSet("encrypt")) {
        security.encrypt = true;
        security.trustServerCertificate = false;
    }
    if (given.isSet("trust-server-certificate"))
        security.trustServerCertificate = true;
    if (given.isSet("trusted-authorities"))
        security.authoritiesFile = given.value("trusted-authorities");
    if (qEnvironmentVariableIsSet("VANTRELL_PASSWORD"))
        fields.password = qEnvironmentVariable("VANTRELL_PASSWORD");
    return fields;
}

} // namespace

std::variant<CommandLineOptions, QString> CommandLineOptions::parse(const QStringList &arguments)
{
    if (const std::optional<QString> refusal = misspelt(arguments))
        return *refusal;
    ParsedArguments given;
    if (!given.parse(arguments))
        return given.errorText();

    CommandLineOptions options;
    if (given.isSet("help") || given.isSet("version")) {
        options.job = given.isSet("help") ? Job::Help : Job::Version;
        return options;
    }
    if (const std::optional<QString> refusal = conflict(given))
        return *refusal;
    const bool undoing = given.isSet("undo");
    if (!undoing) {
        const std::optional<Case::Mode> mode = modeNamed(given.value("mode"));
        if (!mode)
            return QStringLiteral("unknown mode \"%1\"; use \"UPPER CASE\", \"lower case\", \"Proper Case\", "
                                  "\"Sentence case\" or upper, lower, proper, sentence.")
                .arg(given.value("mode"));
        options.mode = *mode;
    }
    options.job = undoing ? Job::Undo : Job::Change;
    options.table = { given.value("schema"), given.value("table") };
    options.field = given.value("field");
    options.dryRun = given.isSet("dry-run");
    options.journal = !given.isSet("no-journal");
    options.undoJournal = given.value("undo");
    options.anyDatabase = given.isSet("any-database");
    options.fields = loginFieldsFrom(given);
    if (given.isSet("trusted-authorities") && !options.fields.security.checksCertificate())
        return QStringLiteral("--trusted-authorities goes with --encrypt.");
    options.wordRules = given.isSet("word-rules") || given.isSet("words");
    if (given.isSet("words")) {
        if (undoing)
            return QStringLiteral("--words goes with --batch.");
        const std::variant<QStringList, QString> words = WordListFile::read(given.value("words"));
        if (const QString *refusal = std::get_if<QString>(&words))
            return *refusal + QStringLiteral(" Nothing was changed.");
        options.extraWords = std::get<QStringList>(words);
    }
    return options;
}
