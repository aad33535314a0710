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

    SqlQuery fieldLookup(const TableName &table, const QString &field) const override;
    bool isTextType(const QString &type) const override;
    SqlQuery keyLookup(const TableName &table) const override;
    bool isKeyType(const KeyColumn &column) const override;
    // Two bytes per UTF-16 unit, as SQL Server stores nvarchar; or the UTF-8
    // bytes, as some SQL Server-compatible engines count DATALENGTH.
    qsizetype storedLength(QStringView text) const override;
    enum class LengthCounting { Utf16Bytes, Utf8Bytes };
    void setLengthCounting(LengthCounting counting) { m_counting = counting; }
    // Asks the server how it counts the stored length of a text.
    void learnFrom(odbc::Connection &connection) override;

    QString updateChunkByKey(
        const TableName &table, const QString &field, const QList<KeyColumn> &key, int records) const override;
    QStringList createStaging() const override;
    QString stageChunk(int pairs) const override;
    QString indexStaging() const override;
    QString countStaged(const TableName &table, const QString &field) const override;
    QString unstagePair() const override;
    QString countByValue(const TableName &table, const QString &field) const override;
    QString applyStaged(const TableName &table, const QString &field) const override;
    QString dropStaging() const override;
    QString unrepresentable(const FieldFacts &facts, int records) const override;

protected:
    QString keyCondition(const KeyColumn &column, const QString &columnRef, const QString &value) const override;
    QString exactlyEquals(const QString &fieldRef, const QString &value) const override;
    int oldValueBindings() const override { return 2; }
    QString readAsText(const QString &fieldRef) const override;
    QString storedLengthOf(const QString &fieldRef) const override;

private:
    LengthCounting m_counting = LengthCounting::Utf16Bytes;
};
