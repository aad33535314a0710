#pragma once

#include "connection/SqlDialect.h"

#include <QElapsedTimer>

// When a chunk is sent: once it holds as many records as one statement
// carries (the dialect says how many for the key), or its texts as many
// UTF-16 units as TextUnits, or this long after its first record, whichever
// comes first, so progress shows, locks are let go several times a second,
// and a chunk of long texts stays small in memory.
class ChunkPolicy {
public:
    static constexpr qint64 Milliseconds = 250;
    // 8 MB of old and new texts.
    static constexpr qsizetype TextUnits = qsizetype(1) << 22;

    ChunkPolicy() = default;
    ChunkPolicy(const SqlDialect &dialect, int keyColumns)
        : m_capacity(dialect.chunkRecords(keyColumns))
    {
    }

    // Records one chunk statement carries.
    int capacity() const { return m_capacity; }
    // Called as each record joins the chunk, which then holds `records`;
    // `textUnits` are those of the record's old and new texts.
    void added(qsizetype records, qsizetype textUnits)
    {
        if (records == 1) {
            m_age.start();
            m_textUnits = 0;
        }
        m_textUnits += textUnits;
    }
    bool due(qsizetype records) const
    {
        return records > 0 && (records >= m_capacity || m_textUnits >= TextUnits || m_age.elapsed() >= Milliseconds);
    }

private:
    int m_capacity = 1;
    qsizetype m_textUnits = 0;
    QElapsedTimer m_age;
};
