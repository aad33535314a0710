#pragma once

#include "connection/SqlDialect.h"

// The embedded engine (SQLite) behind the same ODBC path, used by the tests and the demo.
class EmbeddedDialect final : public SqlDialect {
public:
    // "name" with every '"' doubled.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    // The engine's bookkeeping tables: sqlite_sequence, sqlite_stat1 ...
    bool isEngineTable(const QString &name) const override;
    QString defaultSchemaQuery() const override;
    QString selectNoRows(const TableName &table) const override;

    // A table with a schema is looked up in that attached database.
    std::optional<FieldFacts> lookUpField(
        odbc::Connection &connection, const TableName &table, const QString &field) const override;
    // Text affinity: the declared type holds CHAR, CLOB or TEXT (and not INT).
    bool isTextType(const QString &type) const override;
    // The keys in one query: one row per key column, with its group (one
    // number per index), name, type, max length, precision, scale, nullable
    // (1/0) and collation, in the order lookUpKeys() gives them.
    SqlQuery keyLookup(const TableName &table) const;
    QList<KeyCandidate> lookUpKeys(odbc::Connection &connection, const TableName &table) const override;
    // Integer or text affinity.
    bool isKeyType(const KeyColumn &column) const override;
    qsizetype storedLength(QStringView text) const override;
    // Its Windows build hands narrow text over in the system's code page.
    bool readsSnapshotAlongside() const override;
    // The rows in the order of their texts go into a table of the session,
    // which is read a block at a time: the driver would otherwise hand over
    // a query's rows only once it has read them all.
    QStringList sortRows(const TableName &table, const QString &field) const override;
    SqlQuery sortedRows(const TableName &table, const QString &field, int rows, const QVariant &after) const override;

    QString updateChunkByKey(
        const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape shape) const override;
    // The engine's driver parses a statement again at every execution, so a
    // chunk goes as one parameter of JSON: an object named by each row's first
    // value for rows of three values, an array of rows otherwise.
    QList<QVariant> chunkParameters(QList<QVariant> values, int columns, int capacity) const override;
    // One parameter carries a chunk of any size, so a chunk is sized by its
    // commit instead: 2,000 records, whatever the key.
    int chunkRecords(int keyColumns) const override;
    // One JSON parameter names any number of rows, and the engine's look-up
    // of each costs less in one statement than in several.
    int namedRowsAtOnce(int) const override { return 16000; }
    QStringList createStaging() const override;
    QString stageChunk(ChunkShape pairs) const override;
    QString indexStaging(qsizetype longestOldText) const override;
    QString stagedPairsMoved(const TableName &table, const QString &field, qsizetype) const override;
    QString changeCounter(const TableName &table) const override;
    QString unstagePair() const override;
    QString countByValue(const TableName &table, const QString &field) const override;
    QString applyStaged(const TableName &table, const QString &field, bool manyRowsPerText, qsizetype) const override;
    QString dropStaging() const override;
    bool failureRepeats(const QString &sqlState, const QString &message) const override;

protected:
    QString keyCondition(const KeyColumn &column, const QString &columnRef, const QString &value) const override;
    QString joinChunkByKey(const TableName &table, const QList<KeyColumn> &key, ChunkShape shape) const override;
    QString keyValue(const KeyColumn &column, const QString &value) const override;
    QString firstRows(const QString &columns, const QString &rest, int rows) const override;
    QString exactlyEquals(const QString &fieldRef, const QString &value) const override;
    int oldValueBindings() const override { return 1; }
    QString stagingTable() const override;
    QString readAsText(const QString &fieldRef) const override;
    QString storedLengthOf(const QString &fieldRef) const override;

private:
    // One query, at most one row: the type name, 1 when the field is
    // generated, 1 when the object is a table, 1 when the table has a trigger
    // that fires on an update.
    SqlQuery fieldLookup(const TableName &table, const QString &field) const;
    QString chunkKeyConditions(const QList<KeyColumn> &key) const;
};
