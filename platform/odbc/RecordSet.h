#pragma once

#include "platform/odbc/GrowingArray.h"
#include "platform/odbc/Statement.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <optional>
#include <vector>

namespace odbc {

// A client-side snapshot of a result: every row is fetched when it is made, so
// the connection is free for other statements right after. Values are text; a
// database Null is an invalid QVariant, distinct from the empty text.
class RecordSet {
public:
    RecordSet() = default;

    // Reads the columns of an executed statement and at most maxRows rows
    // (all rows when maxRows < 0), then closes its cursor. Throws odbc::Error.
    static RecordSet fetch(Statement &statement, qsizetype maxRows = -1);
    // Reads the columns only: the rows come by fetchNext() as they are
    // wanted, and the statement's cursor stays open meanwhile. Throws odbc::Error.
    static RecordSet begin(Statement &statement, TextTransfer transfer = TextTransfer::Utf16);
    // Replaces the rows held with at most `rows` more rows of the statement
    // begin() was given, the first of them current, and keeps the room they
    // took: a long result is read a block at a time in the same memory. False
    // once the result has no more. Throws odbc::Error.
    bool fetchNext(Statement &statement, qsizetype rows);

    qsizetype recordCount() const { return m_fieldCount ? qsizetype(m_ends.size()) / m_fieldCount : 0; }
    bool eof() const { return m_position >= recordCount(); }
    void moveNext() { ++m_position; }
    void moveFirst() { m_position = 0; }
    void moveLast() { m_position = recordCount() - 1; }
    qsizetype position() const { return m_position; }

    int fieldCount() const { return m_fieldCount; }
    QString fieldName(int index) const { return m_fieldNames.value(index); }
    const QStringList &fieldNames() const { return m_fieldNames; }
    int fieldIndex(const QString &name) const; // -1 when no field has that name (case-insensitive)

    // The current record's value of a field. Throws Failure at EOF or for a bad field.
    QVariant value(int field) const;
    QVariant value(const QString &fieldName) const;
    // The same without making a copy: Null is isNull(); text() is the empty
    // view for Null and stays valid as long as the record set (moves
    // included), until fetchNext() reads rows. Throw as value() does.
    bool isNull(int field) const;
    QStringView text(int field) const;

    // Drops the snapshot; a closed record set is at EOF with no fields.
    void close();

private:
    // Adds at most `rows` more rows (all when `rows` < 0); false once the
    // result has no more.
    bool fetchMore(Statement &statement, qsizetype rows);

    QStringList m_fieldNames;
    int m_fieldCount = 0;
    TextTransfer m_transfer = TextTransfer::Utf16;
    size_t cell(int field) const; // the index of the current record's cell; throws as value() does

    // Every cell's text one after another, row-major: a cell ends where
    // m_ends says and begins where the one before it ends. Kept in one block,
    // a snapshot of many rows costs little more than its text, and the driver
    // writes each text straight into it.
    GrowingArray<char16_t> m_text;
    GrowingArray<qsizetype> m_ends;
    GrowingArray<bool> m_nulls;
    qsizetype m_position = 0;
};

} // namespace odbc
