#pragma once

#include "casing/BatchChange.h"
#include "casing/Case.h"

#include <QString>

// A record waiting in the current chunk. Without a key it stands for every
// record of its old text: the run reads the rows in the order of their
// texts, so the records of one text come one after another, and the first
// of them decides the new text for all.
struct ChunkRecord {
    Case::Mode mode;
    BatchChange::PlannedChange change;
    // Without a key: the number of its old text's pair (its place among the
    // texts staged), the rows that held the text when they were counted, and
    // the records visited that hold it.
    int pair = -1;
    qsizetype rows = 1;
    qsizetype records = 1;
};
