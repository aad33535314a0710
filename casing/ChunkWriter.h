#pragma once

#include "casing/ChunkRecord.h"

#include <QList>

// One way of writing a run's chunks: by key, staged without a key, or not
// at all (a dry run). The run hands each chunk over once it was checked and
// journalled; the writer counts every record's outcome in the tally.
class ChunkWriter {
public:
    virtual ~ChunkWriter() = default;

    // Sends the chunk's records; may return while the server still works on them.
    virtual void write(QList<ChunkRecord> chunk) = 0;
    // Waits for what write() sent and counts its records. A failure that
    // ends the run throws RunEnds.
    virtual void settle() { }
    // After the last chunk was settled: what the writer left for the end.
    virtual void finish() { }
    // The run ends early: waits for a chunk under way, counting nothing.
    virtual void abandon() { }
    // Lets go of what the writer made on the server; never throws.
    virtual void close() { }
};
