#pragma once

#include "casing/BatchChange.h"

#include <QList>
#include <QString>

// The first changes a dry run would make, kept as the run plans them and shown
// as "old → new", a line each.
class DryRunSample {
public:
    explicit DryRunSample(qsizetype shownChanges)
        : m_shown(shownChanges)
    {
    }

    // Sets beforeSend of the callbacks: every chunk is let through, and its
    // records are kept while fewer than the shown changes are.
    void attach(BatchChange::Callbacks &callbacks);

    bool isEmpty() const { return m_changes.isEmpty(); }
    // "The changes:", or "The first N changes:" when there may be more.
    QString heading() const;
    // Each change kept, "old → new" with the texts shown on one line, each line ended.
    QString lines() const;

private:
    qsizetype m_shown;
    QList<PlannedChange> m_changes;
};
