#include "platform/odbc/RecordSet.h"

#include "platform/Failure.h"
#include "platform/odbc/Statement.h"

namespace odbc {

RecordSet RecordSet::fetch(Statement &statement, qsizetype maxRows)
{
    RecordSet records = begin(statement);
    if (maxRows != 0)
        records.fetchMore(statement, maxRows);
    statement.closeCursor();
    return records;
}

RecordSet RecordSet::begin(Statement &statement, TextTransfer transfer)
{
    RecordSet records;
    records.m_fieldNames = statement.columnNames();
    records.m_fieldCount = int(records.m_fieldNames.size());
    records.m_transfer = transfer;
    return records;
}

bool RecordSet::fetchMore(Statement &statement, qsizetype rows)
{
    for (qsizetype row = 0; rows < 0 || row < rows; ++row) {
        if (!statement.fetch())
            return false;
        for (int column = 0; column < m_fieldCount; ++column) {
            m_nulls.push_back(!statement.appendText(column, m_text, m_transfer));
            m_ends.push_back(qsizetype(m_text.size()));
        }
    }
    return true;
}

bool RecordSet::fetchNext(Statement &statement, qsizetype rows)
{
    m_text.resize(0);
    m_ends.resize(0);
    m_nulls.resize(0);
    m_position = 0;
    return fetchMore(statement, rows);
}

int RecordSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fieldCount; ++i)
        if (m_fieldNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

size_t RecordSet::cell(int field) const
{
    if (eof())
        throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    if (field < 0 || field >= m_fieldCount)
        throw Failure(
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return size_t(m_position) * size_t(m_fieldCount) + size_t(field);
}

bool RecordSet::isNull(int field) const
{
    return m_nulls[cell(field)];
}

QStringView RecordSet::text(int field) const
{
    const size_t at = cell(field);
    const qsizetype begin = at == 0 ? 0 : m_ends[at - 1];
    return QStringView(m_text.data() + begin, m_ends[at] - begin);
}

QVariant RecordSet::value(int field) const
{
    if (isNull(field))
        return QVariant();
    return text(field).toString();
}

QVariant RecordSet::value(const QString &fieldName) const
{
    return value(fieldIndex(fieldName));
}

void RecordSet::close()
{
    m_fieldNames.clear();
    m_fieldCount = 0;
    m_text.clear();
    m_ends.clear();
    m_nulls.clear();
    m_position = 0;
}

} // namespace odbc
