#pragma once

#include "casing/Case.h"
#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QString>
#include <QStringList>

#include <variant>

// What `vantrell --batch ...` and `vantrell --undo ...` were asked to do.
struct CommandLineOptions {
    enum class Job { Change, Undo, Help, Version };
    Job job = Job::Change;

    TableName table; // a change's (an undo's come from its journal)
    QString field;
    Case::Mode mode = Case::Mode::Upper;
    bool dryRun = false;
    bool wordRules = false; // --word-rules or --words
    QStringList extraWords; // the words of --words
    bool journal = true; // a change keeps its journal unless --no-journal
    QString undoJournal; // the journal an undo puts back
    bool anyDatabase = false; // an undo goes ahead in another database than its journal's
    LoginFields fields; // the remembered ones, with those the options replace and the password's variable

    // The options from the arguments (the program's name first). A usage
    // error gives its message instead.
    static std::variant<CommandLineOptions, QString> parse(const QStringList &arguments);

    // The help text, made from the options' own descriptions.
    static QString help();
};
