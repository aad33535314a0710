#pragma once

#include "casing/BatchChange.h"

#include <algorithm>

// The counts of a run, kept by what became of each record: each outcome has
// a name of its own, so a step says what happened rather than which counter
// it adds to.
class BatchTally {
public:
    explicit BatchTally(BatchChange::Result &result)
        : m_result(result)
    {
    }

    // Records whose rows now hold the new text, and the rows the server changed for them.
    void changed(qsizetype records, qint64 rows)
    {
        m_result.recordsChanged += records;
        m_result.rowsChanged += rows;
    }
    void changed(qsizetype records) { changed(records, records); }
    // Nothing to send: Null, or a new text equal to the old.
    void alreadyInCase() { ++m_result.alreadyInCase; }
    void withoutMode() { ++m_result.withoutMode; }
    void leftOut() { ++m_result.leftOut; }
    // Left as they were, by reason.
    void changedSinceRead(qsizetype records = 1) { m_result.changedSinceRead += records; }
    void notRepresentable(qsizetype records = 1) { m_result.notRepresentable += records; }
    void refusedByServer(qsizetype records = 1) { m_result.rejected += records; }
    void unreadable() { ++m_result.unreadable; }
    // The run ended early: every record not counted otherwise was not reached.
    void restNotReached()
    {
        const BatchChange::Result &r = m_result;
        const qsizetype accounted = r.recordsChanged + r.alreadyInCase + r.withoutMode + r.leftOut + r.changedSinceRead
            + r.notRepresentable + r.rejected + r.unreadable;
        m_result.notReached = std::max<qsizetype>(0, r.recordsRead - accounted);
    }

private:
    BatchChange::Result &m_result;
};
