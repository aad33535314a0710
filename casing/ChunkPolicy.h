#pragma once

#include "connection/SqlDialect.h"

#include <QElapsedTimer>

// When a chunk is sent: once it holds as many records as one statement
// carries (the dialect says how many for the key), or this long after its
// first record, whichever comes first, so progress shows and locks are let
// go several times a second.
class ChunkPolicy {
public:
    static constexpr qint64 Milliseconds = 250;

    ChunkPolicy() = default;
    ChunkPolicy(const SqlDialect &dialect, int keyColumns)
        : m_capacity(dialect.chunkRecords(keyColumns))
    {
    }

    // Records one chunk statement carries.
    int capacity() const { return m_capacity; }
    // Called as each record joins the chunk, which then holds `records`.
    void added(qsizetype records)
    {
        if (records == 1)
            m_age.start();
    }
    bool due(qsizetype records) const
    {
        return records > 0 && (records >= m_capacity || m_age.elapsed() >= Milliseconds);
    }

private:
    int m_capacity = 1;
    QElapsedTimer m_age;
};
