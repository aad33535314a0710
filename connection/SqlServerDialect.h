#pragma once

#include "connection/SqlDialect.h"

// SQL Server 2012 and later: the program's own target.
class SqlServerDialect final : public SqlDialect {
public:
    // [name] with every ']' written as ']]'.
    QString quoteName(const QString &name) const override;
    QStringList sessionSetup() const override;
    QString defaultSchemaQuery() const override;
    QString selectNoRows(const TableName &table) const override;

    // The field's column, whether the object is a user table, and its
    // triggers; then, only where it has any, whether one fires on an update:
    // what lookUpField() asks, in that order.
    QList<SqlQuery> fieldLookups(const TableName &table, const QString &field) const;
    std::optional<FieldFacts> lookUpField(
        odbc::Connection &connection, const TableName &table, const QString &field) const override;
    bool isTextType(const QString &type) const override;
    // The keys that can name one row, their columns in key order, and the
    // table's columns: what lookUpKeys() asks, in that order.
    QList<SqlQuery> keyLookups(const TableName &table) const;
    QList<KeyCandidate> lookUpKeys(odbc::Connection &connection, const TableName &table) const override;
    bool isKeyType(const KeyColumn &column) const override;
    // Two bytes per UTF-16 unit, as SQL Server stores nvarchar; or the UTF-8
    // bytes, as some SQL Server-compatible engines count DATALENGTH.
    qsizetype storedLength(QStringView text) const override;
    enum class LengthCounting { Utf16Bytes, Utf8Bytes };
    void setLengthCounting(LengthCounting counting) { m_counting = counting; }
    // How a chunk's rows reach the server: one JSON parameter read with
    // OPENJSON where the server runs it, else a VALUES list of a parameter
    // per value (SQL Server 2012 and 2014, or a database of a compatibility
    // level below 130), under the limit of 2,100 parameters.
    enum class ChunkForm { ValuesList, Json };
    void setChunkForm(ChunkForm form) { m_chunkForm = form; }
    ChunkForm chunkForm() const { return m_chunkForm; }
    // Asks the server how it counts the stored length of a text.
    void learnFrom(odbc::Connection &connection) override;
    // Asks whether the server runs OPENJSON (unless VANTRELL_NO_OPENJSON is
    // set), and whether it decodes escapes there. A run of staged pairs alone
    // asks first whether they may go in runs: where they may, OPENJSON's
    // named columns are not asked of, and the pairs outside runs go as
    // VALUES lists.
    void learnWriting(odbc::Connection &connection, bool stagedPairsOnly) override;
    // Where OPENJSON runs: whether pairs may be staged in runs, and if not,
    // whether JSON_VALUE picks values right (below).
    void learnStaging(odbc::Connection &connection) override;

    int chunkRecords(int keyColumns) const override;
    // One JSON parameter names any number of rows.
    int namedRowsAtOnce(int keyColumns) const override;
    QList<QVariant> chunkParameters(QList<QVariant> values, int columns, int capacity) const override;
    // One JSON statement; on a server whose OPENJSON hands back the escapes
    // of a text (\" \\ \n ...) rather than their characters, the rows
    // that need them go as VALUES lists beside it.
    QList<ChunkPart> chunkParts(QList<QVariant> values, int columns, int capacity) const override;
    void setJsonEscapesDecoded(bool decoded) { m_jsonEscapesDecoded = decoded; }
    // Whether the server was asked of OPENJSON's named columns (above); rows
    // that would go so go as VALUES lists where it was not.
    void setColumnsNamedAsked(bool asked) { m_columnsNamedAsked = asked; }
    // Staged rows whose values are all short texts go in a JSON statement
    // that picks each value from its row with JSON_VALUE, where the server
    // does that right: some engines do it in a fraction of the time their
    // OPENJSON takes to name the columns (the statements that join a chunk
    // to the table are planned worse so, and name them).
    QList<ChunkPart> stagingParts(QList<QVariant> values, int columns, int capacity) const override;
    // Whether the server picks values right, and `escapesDecoded` as above.
    void setPicksJsonValues(bool picks, bool escapesDecoded)
    {
        m_picksJsonValues = picks;
        m_pickedEscapesDecoded = escapesDecoded;
    }
    // Where OPENJSON numbers the texts of an array by their place and hands
    // them over exactly, staged pairs go in runs instead, a JSON array a
    // column, which the server reads in a fraction of the time it takes to
    // pick values from rows; and the server is not asked whether it picks
    // them right. A run is of at least shortestRun(capacity) pairs, as a shorter
    // one saves less than a statement of its own costs; the pairs outside
    // runs, and texts longer than LongestRunValue, go as parts() sends them.
    void setStagesRuns(bool runs, bool escapesDecoded)
    {
        m_stagesRuns = runs;
        m_runEscapesDecoded = escapesDecoded;
    }
    static constexpr qsizetype LongestRunValue = 4000;
    static constexpr int shortestRun(int capacity) { return capacity / 16 > 1 ? capacity / 16 : 1; }
    // The longest text, in UTF-16 units, a value picked by JSON_VALUE may be:
    // SQL Server picks up to 4,000 characters, some engines up to 4,000
    // bytes of UTF-8.
    static constexpr qsizetype LongestPickedValue = 1000;

    QString updateChunkByKey(
        const TableName &table, const QString &field, const QList<KeyColumn> &key, ChunkShape shape) const override;
    QStringList createStaging() const override;
    QString stageChunk(ChunkShape pairs) const override;
    QString indexStaging(qsizetype longestOldText) const override;
    QString indexStagingByNumber() const override;
    std::optional<ChunkPart> emptyStagingPart(int capacity) const override;
    QString stagedPairsMoved(const TableName &table, const QString &field, qsizetype longestOldText) const override;
    QString stagedPairsMiscounted(
        const TableName &table, const QString &field, qsizetype longestOldText) const override;
    // One query of the rows in the order of their texts.
    SqlQuery sortedRows(const TableName &table, const QString &field, int rows, const QVariant &after) const override;
    QString unstagePair() const override;
    QString countByValue(const TableName &table, const QString &field) const override;
    QString applyStaged(
        const TableName &table, const QString &field, bool manyRowsPerText, qsizetype longestOldText) const override;
    QString dropStaging() const override;
    QString unrepresentable(const FieldFacts &facts, ChunkShape records) const override;

protected:
    QString keyCondition(const KeyColumn &column, const QString &columnRef, const QString &value) const override;
    QString joinChunkByKey(const TableName &table, const QList<KeyColumn> &key, ChunkShape shape) const override;
    QString keyValue(const KeyColumn &column, const QString &value) const override;
    QString firstRows(const QString &columns, const QString &rest, int rows) const override;
    QString exactlyEquals(const QString &fieldRef, const QString &value) const override;
    int oldValueBindings() const override { return 2; }
    QString stagingTable() const override;
    QString readAsText(const QString &fieldRef) const override;
    QString storedLengthOf(const QString &fieldRef) const override;

private:
    QString chunkRows(ChunkShape shape, const QStringList &columns) const;
    QList<ChunkPart> parts(QList<QVariant> values, int columns, int capacity, bool picking) const;
    QList<ChunkPart> stagedRuns(QList<QVariant> values, int capacity) const;
    QString matchesStaged(const QString &fieldRef, qsizetype longestOldText) const;
    void learnPicking(odbc::Connection &connection);
    void learnRuns(odbc::Connection &connection);

    LengthCounting m_counting = LengthCounting::Utf16Bytes;
    ChunkForm m_chunkForm = ChunkForm::ValuesList;
    bool m_jsonEscapesDecoded = true;
    bool m_columnsNamedAsked = true;
    bool m_runsAsked = false;
    bool m_picksJsonValues = false;
    bool m_pickedEscapesDecoded = false;
    bool m_stagesRuns = false;
    bool m_runEscapesDecoded = false;
};
