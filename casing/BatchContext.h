#pragma once

#include "casing/BatchChange.h"
#include "casing/BatchTally.h"
#include "casing/ChunkRecord.h"
#include "connection/SqlDialect.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"
#include "platform/odbc/Statement.h"

#include <QSet>

#include <memory>
#include <utility>

// A failure of a statement that has been reported already and ends the run.
struct RunEnds { };

// What every step of one batch change shares: the table and field, the
// callbacks, the run's connection and dialect, what was learnt of the field,
// the tally, and the way a failing step is reported.
class BatchContext {
public:
    BatchContext(const LoginFields &loginFields, const TableName &tableName, const QString &fieldName,
        const BatchChange::Callbacks &runCallbacks, bool isDryRun)
        : fields(loginFields)
        , table(tableName)
        , field(fieldName)
        , callbacks(runCallbacks)
        , dryRun(isDryRun)
    {
    }

    const LoginFields &fields;
    const TableName &table;
    const QString &field;
    const BatchChange::Callbacks &callbacks;
    const bool dryRun;

    BatchChange::Result result;
    BatchTally tally { result };
    std::unique_ptr<odbc::Connection> connection;
    std::unique_ptr<SqlDialect> dialect;
    FieldFacts facts;
    QList<KeyColumn> key; // empty when rows are named by their value

    // Runs a step; a failure goes to failure() once per description. False when it failed.
    template <typename Step>
    bool attempt(int line, Step &&step)
    {
        try {
            step();
            return true;
        } catch (const std::exception &e) {
            fail(line, describeFailure(e));
            return false;
        }
    }

    // Runs a statement step. A failure that will come back for every record
    // is reported and ends the run (throws RunEnds); any other is reported
    // and gives false.
    // A chunk that is done again record by record reports only a failure that
    // ends the run: its records report their own.
    enum class Report { Always, OnlyWhenEnding };
    template <typename Step>
    bool send(int line, Step &&step, Report report = Report::Always)
    {
        try {
            step();
            return true;
        } catch (const odbc::Error &e) {
            const bool repeats = dialect->failureRepeats(e.sqlState(), e.description());
            if (repeats || report == Report::Always)
                fail(line, e.description());
            if (repeats)
                throw RunEnds();
            return false;
        } catch (const std::exception &e) {
            if (report == Report::Always)
                fail(line, describeFailure(e));
            return false;
        }
    }

    // A step that the run cannot go on without (its own transactions, its
    // staging table, reading its snapshot): any failure ends the run.
    template <typename Step>
    void mustSucceed(int line, Step &&step)
    {
        if (!send(line, std::forward<Step>(step)))
            throw RunEnds();
    }

    // Passes a failure on, once per description.
    void fail(int line, const QString &description);

    // The statement, prepared on the run's connection the first time it is asked for.
    odbc::Statement &prepared(std::unique_ptr<odbc::Statement> &statement, const QString &text);

private:
    QSet<QString> m_reported;
};
