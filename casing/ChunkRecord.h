#pragma once

#include "casing/BatchChange.h"
#include "casing/Case.h"

#include <QString>

// A record waiting in the current chunk.
struct ChunkRecord {
    Case::Mode mode;
    BatchChange::PlannedChange change;
    int pair = -1; // without a key: the pair of its old text (BatchContext::pairs)
};

// Without a key, one pair per distinct old text: its first record decides
// the new text, and every later record of that text counts with it.
struct TextPair {
    QString oldText;
    QString newText;
    Case::Mode mode;
    qsizetype records = 0; // records visited that hold the old text
    qsizetype rows = 0; // rows of the snapshot that hold it
    bool staged = false;
    bool unrepresentable = false; // the field cannot hold the new text
    bool refused = false; // the check of the new text failed: never sent
    bool written = false; // the apply changed its rows
};
