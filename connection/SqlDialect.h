#pragma once

#include "connection/TableName.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace odbc {
class Connection;
}

// A statement text and the values of its parameter markers, in order.
struct SqlQuery {
    QString text;
    QList<QVariant> parameters;
};

// How the rows of a chunk reach the server: a parameter per value (a VALUES
// list), or the whole chunk as one JSON text, its rows read with their
// columns named (Json) or each value picked from its row (JsonValues).
// Staged pairs numbered one after another, all of one mode, may go as a run:
// the first pair's number, the mode, and a JSON array of each column, the
// old texts, the new texts, and (JsonCountedRun) the rows and the records,
// each pair numbered by its place in the arrays. In a JsonRun every pair
// is of one row and one record.
enum class ChunkCarrier { Parameters, Json, JsonValues, JsonRun, JsonCountedRun };
constexpr int ChunkCarriers = 5;

// The form of one chunk statement: how many rows it is made for, and how
// they are carried. Made from a row count alone, it carries parameters.
struct ChunkShape {
    ChunkShape(int rowCount, ChunkCarrier rowCarrier = ChunkCarrier::Parameters)
        : records(rowCount)
        , carrier(rowCarrier)
    {
    }
    int records;
    ChunkCarrier carrier;
};

// One statement's share of a chunk: its form and its parameters.
struct ChunkPart {
    ChunkShape shape;
    QList<QVariant> parameters;
};

// What the field look-up tells of the field to change.
struct FieldFacts {
    QString type;
    bool computed = false;
    unsigned codePage = 0; // of a single-byte text type; 0 when the type stores Unicode
    QString collation;
    int maxLength = -1; // in bytes; -1 for max
    bool userTable = true; // false for a view or any other object that is not a table of the user's
    bool updateTriggers = false; // the table has triggers that fire on an update
};

// One column of a key that names a single row, as the key look-up describes it.
struct KeyColumn {
    QString name;
    QString type; // the engine's own type name: "int", "varchar", "INTEGER" ...
    int maxLength = 0; // in bytes, -1 for max (SQL Server)
    int precision = 0;
    int scale = 0;
    QString collation; // SQL Server's collation name of a text column, else empty
};

// One column of a key the key look-up found.
struct KeyCandidate {
    QString group; // the same for every column of one index
    KeyColumn column; // a column of an index that is not a plain column has an empty name
    bool nullable = false;
};

// The SQL text the program sends, in the form the connected engine runs.
// SqlServerDialect (SqlServerDialect.h) is the program's own target;
// EmbeddedDialect (EmbeddedDialect.h) is the embedded engine (SQLite) behind
// the same ODBC path, used by the tests and the demo.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    // The dialect of an open connection, by the product name its driver reports.
    static std::unique_ptr<SqlDialect> forConnection(odbc::Connection &connection);

    // A table or field name quoted as one identifier, whatever it holds.
    virtual QString quoteName(const QString &name) const = 0;
    // The table as statements name it: schema and name each quoted and joined by
    // a dot, or the name alone when it has no schema.
    QString quoteTable(const TableName &table) const;

    // Statements to run right after opening a connection.
    virtual QStringList sessionSetup() const = 0;
    // Asks the server, once a session, what this dialect cannot know before
    // (how it counts a text's stored length). Nothing by default; a failure
    // leaves the dialect as it was.
    virtual void learnFrom(odbc::Connection &) { }
    // Asks the server how chunks may be written, before a run's first chunk
    // (on some servers the question costs as much as a look-up, so a run
    // asks it while the rows are being read). Nothing by default; a failure
    // leaves the dialect as it was. A thread reading the rows meanwhile
    // asks the dialect nothing this changes. `stagedPairsOnly`: the run
    // writes nothing but staged pairs (no chunk by key, no check of new
    // texts), so a server may be asked only what staging them needs.
    virtual void learnWriting(odbc::Connection &, bool /*stagedPairsOnly*/) { }
    // Asks the server how pairs may be staged faster, once a run stages more
    // than one chunk of them, on the run's connection: while the rows are
    // being sorted on their own, when there are more than a chunk takes, or
    // else before the second chunk, or before the first when that is full
    // (the question can cost more than a chunk). Nothing by default; a
    // failure leaves the dialect as it was.
    virtual void learnStaging(odbc::Connection &) { }

    // A query whose one value is the schema in which the server looks for a
    // table named without one; empty when the engine's catalogue names no schemas.
    virtual QString defaultSchemaQuery() const { return {}; }

    // The values of one field: SELECT <field> FROM <table>.
    QString selectField(const TableName &table, const QString &field) const;
    // A query whose result has the table's columns, in order, and no rows.
    virtual QString selectNoRows(const TableName &table) const = 0;

    // True for a table the engine keeps for itself although its catalogue calls
    // it a "TABLE"; such tables are never offered for a change.
    virtual bool isEngineTable(const QString &) const { return false; }

    // --- The batch case change ---

    // What the field is, asked on the connection; none when the table has no
    // field of that name.
    virtual std::optional<FieldFacts> lookUpField(
        odbc::Connection &connection, const TableName &table, const QString &field) const = 0;
    // True when a field of the type holds text that the batch change rewrites.
    virtual bool isTextType(const QString &type) const = 0;

    // The columns of the primary key and of the unique indexes that can name
    // one row, asked on the connection. The primary key comes first, then
    // the other indexes in order; each index's columns in key order. A column
    // of a type that cannot name a row is listed all the same, so its key is
    // known to be unusable.
    virtual QList<KeyCandidate> lookUpKeys(odbc::Connection &connection, const TableName &table) const = 0;
    // True when a key column of the type keeps its value exactly through the
    // text form the program reads and binds, so the key names its row again.
    virtual bool isKeyType(const KeyColumn &column) const = 0;

    // The field as text, the length the engine stores for it (see
    // storedLength), then the key columns.
    QString selectForChange(const TableName &table, const QString &field, const QList<KeyColumn> &key) const;
    // With a key: the next block of at most `rows` rows of selectForChange's
    // columns, in key order, after the row whose key values are `after`
    // (the first block when empty), within the range when one is given:
    // from the key values `first` to `last`, both included (either empty: no
    // bound there).
    struct KeyRange {
        QList<QVariant> first;
        QList<QVariant> last;
    };
    SqlQuery selectBlockForChange(const TableName &table, const QString &field, const QList<KeyColumn> &key, int rows,
        const QList<QVariant> &after, const KeyRange &range = {}) const;
    // The rows of up to `rows` records of a chunk (see updateChunkByKey, whose
    // parameters it takes, the texts unused) that the table holds, with
    // selectForChange's columns, in no order.
    QString selectNamedRows(
        const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape rows) const;
    // The rows one selectNamedRows statement names at most: by default as
    // many as a chunk holds.
    virtual int namedRowsAtOnce(int keyColumns) const { return chunkRecords(keyColumns); }
    // Without a key the rows are read in the order of their texts, so that
    // the rows of one text come one after another, each with the number of
    // rows that hold exactly its text: selectForChange's columns, that number,
    // and (where blocks are read) the row's place in the order.
    // Statements that first put the rows in that order into a table of the
    // session the rows are read on; none where one query reads them sorted.
    virtual QStringList sortRows(const TableName &, const QString &) const { return {}; }
    // The rows in that order: where sortRows() made a table of them, the next
    // block of at most `rows` rows after the place `after` (the first block
    // when it is invalid; all rows when `rows` is 0); else one query of all.
    virtual SqlQuery sortedRows(
        const TableName &table, const QString &field, int rows, const QVariant &after) const = 0;
    // A query whose one value is the number of rows of the table.
    QString countRows(const TableName &table) const;
    // The length selectForChange reports for a value that was read exactly.
    virtual qsizetype storedLength(QStringView text) const = 0;
    // True when the driver hands text over as the UTF-8 the engine stores, so
    // the blocks of a run with a key are read so and decoded in the program.
    virtual bool readsSnapshotAlongside() const { return false; }

    // Rewrites one row, named by its key, when its field still holds the old
    // value exactly. Parameters: see updateParameters.
    QString updateByKey(const TableName &table, const QString &field, const QList<KeyColumn> &key) const;
    // Rewrites every row whose field holds exactly the old value.
    QString updateByValue(const TableName &table, const QString &field) const;
    // The parameters of updateByKey (with the row's key values) and of
    // updateByValue (with no key values).
    QList<QVariant> updateParameters(
        const QString &newText, const QList<QVariant> &keyValues, const QString &oldText) const;

    // The parameters of countByValue.
    QList<QVariant> oldValueParameters(const QString &oldText) const;

    // Records per chunk when the key has this many columns (none: the pairs
    // are staged), so that one statement carries a whole chunk. By default
    // 2,000 parameters, under SQL Server's 2,100: 666 records with a
    // one-column key, fewer with a wider key, 333 staged pairs.
    virtual int chunkRecords(int keyColumns) const;

    // Rewrites the rows of up to `records` records at once, each named by its
    // key, each only while its field still holds its old value exactly.
    // Parameters, record by record: the key values, the old text, the new text.
    // A record whose key values are all Null names no row (it pads the chunk).
    virtual QString updateChunkByKey(
        const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape shape) const = 0;

    // The parameters of a chunk statement made for `capacity` rows, from the
    // values of its rows, `columns` values a row. By default one parameter a
    // value, the unused rows padded with Nulls, so every chunk has one shape.
    virtual QList<QVariant> chunkParameters(QList<QVariant> values, int columns, int capacity) const;
    // The statements that carry a chunk of at most `capacity` rows, `columns`
    // values a row: by default one, of the shape `capacity` makes, with
    // chunkParameters. A statement built for each part's shape (the chunk
    // statements below) runs with the part's parameters; together they carry
    // every row once.
    virtual QList<ChunkPart> chunkParts(QList<QVariant> values, int columns, int capacity) const;
    // Likewise for the pairs staged, which no statement joins to the table
    // as they go in: by default chunkParts().
    virtual QList<ChunkPart> stagingParts(QList<QVariant> values, int columns, int capacity) const;

    // Without a key, (old text, new text) pairs are staged in a temporary table
    // of the session and applied with one join at the end. What is known of
    // each pair stays there rather than in the program: the rows that held
    // its old text when they were counted, the records visited, the mode.
    virtual QStringList createStaging() const = 0;
    // Parameters, pair by pair: pair number, old text, new text, rows,
    // records, mode (as a number); a pair whose number is Null is padding.
    // A run takes the first number, the mode and its arrays instead.
    static constexpr int StagedValues = 6;
    virtual QString stageChunk(ChunkShape pairs) const = 0;
    // A part that stages no pair, in the form a chunk of pairs of one row
    // each takes: sent ahead, it has the server read that statement before
    // the first chunk comes. None where that form has no such part.
    virtual std::optional<ChunkPart> emptyStagingPart(int) const { return std::nullopt; }
    // One row: the rows of every staged pair, the pairs, their records, and
    // for each pair the smaller of its rows and its records, added up.
    QString stagedTotals() const;
    // The next staged pairs after the number (one parameter), at most `pairs`
    // of them, in order: number, old text, new text, rows, records, mode.
    QString stagedPairs(int pairs) const;
    // The index that finds a staged pair by its old text, made once all are
    // in, the longest `longestOldText` UTF-16 units: one sort of the pairs
    // costs less than keeping it up pair by pair. Empty where the joins of
    // the end read every pair as well without one. The joins find every pair
    // without it: where it could not be made, the end goes on.
    virtual QString indexStaging(qsizetype longestOldText) const = 0;
    // The index that finds a staged pair by its number, made only before
    // pairs are taken out or read back in order (an index kept up as the
    // pairs go in costs every chunk); empty where the staging table is
    // made with one.
    virtual QString indexStagingByNumber() const { return {}; }
    // The statements of the end below compare the table's texts with the
    // staged old texts, the longest of which is `longestOldText` UTF-16 units.
    // The staged pairs whose old text no longer lies in exactly as many rows
    // as were counted: number, old text, new text, records. The rows counted
    // stay locked until the transaction ends.
    virtual QString stagedPairsMoved(const TableName &table, const QString &field, qsizetype longestOldText) const = 0;
    // The numbers of the staged pairs whose old text lies in some rows, but
    // not in as many as were counted, the rows counted staying locked as
    // above. With none, a pair that moved lies in no row at all, and the
    // rows the change rewrites tell whether one did: stagedPairsMoved() need
    // not be asked when they are as many as were counted. Empty where it
    // would cost as much as asking that.
    virtual QString stagedPairsMiscounted(const TableName &, const QString &, qsizetype) const { return {}; }
    // A query whose one value changes whenever another connection commits a
    // change to the table's database, and which, run first in a transaction,
    // holds the database against other writers until the transaction ends;
    // empty when the engine has none. Without a key, when the value is the
    // same in the changing transaction as before the snapshot was read, the
    // snapshot's rows still hold every text, and need not be counted again.
    virtual QString changeCounter(const TableName &) const { return {}; }
    // Takes the pair of the number out of the staging table.
    virtual QString unstagePair() const = 0;
    // How many rows hold exactly the old text (one parameter), locking them
    // until the transaction ends.
    virtual QString countByValue(const TableName &table, const QString &field) const = 0;
    // Rewrites every row that holds a staged old text exactly; manyRowsPerText
    // when the texts lie in many more rows than there are texts.
    virtual QString applyStaged(
        const TableName &table, const QString &field, bool manyRowsPerText, qsizetype longestOldText) const = 0;
    virtual QString dropStaging() const = 0;

    // A query giving the numbers of the records whose new text the field
    // cannot hold (its code page lacks a character, or its length in bytes
    // grows past the field's); empty when every text fits. Parameters, record
    // by record: record number, new text; a Null record number is padding.
    virtual QString unrepresentable(const FieldFacts &facts, ChunkShape records) const;

    // True when a failure of the engine will come back for every further
    // statement (a lost connection, a lock that was not released in time), so
    // that a run must end rather than try record after record.
    virtual bool failureRepeats(const QString &sqlState, const QString &message) const;

protected:
    // The rows whose key lies after (or from, or up to) the key values, in key
    // order, column by column; the values go to `parameters`.
    enum class KeyOrder { After, From, UpTo };
    QString keyBeyond(
        const QList<KeyColumn> &key, KeyOrder order, const QList<QVariant> &values, QList<QVariant> &parameters) const;
    // The columns selectForChange reads, of the table named `table` in the
    // statement (none: the only one).
    QString changeColumns(const QString &field, const QList<KeyColumn> &key, const QString &table = {}) const;
    // The chunk's rows joined to the table as t: "FROM <table> AS t JOIN ...",
    // the chunk's values in the same order as updateChunkByKey takes them.
    virtual QString joinChunkByKey(const TableName &table, const QList<KeyColumn> &key, ChunkShape shape) const = 0;
    // A key column equal to a value.
    virtual QString keyCondition(const KeyColumn &column, const QString &columnRef, const QString &value) const = 0;
    // A bound value as the key column compares it: the same conversion and
    // collation as keyCondition's.
    virtual QString keyValue(const KeyColumn &column, const QString &value) const = 0;
    // The first `rows` rows of "SELECT <columns> <rest>".
    virtual QString firstRows(const QString &columns, const QString &rest, int rows) const = 0;
    // A field equal to an old value: the same characters and the same length,
    // whatever the field's collation says. Binds a parameter value
    // oldValueBindings() times.
    virtual QString exactlyEquals(const QString &fieldRef, const QString &value) const = 0;
    virtual int oldValueBindings() const = 0;
    // The staging table as statements name it.
    virtual QString stagingTable() const = 0;
    // The field as the program reads it, and its stored length.
    virtual QString readAsText(const QString &fieldRef) const = 0;
    virtual QString storedLengthOf(const QString &fieldRef) const = 0;
};
