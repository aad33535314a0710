#pragma once

#include "casing/BatchContext.h"
#include "casing/ChunkWriter.h"

// A dry run: nothing is sent. Every record that reached a chunk counts as
// changed; without a key, every record of each text whose pair would have
// been staged.
class DryRunWriter final : public ChunkWriter {
public:
    explicit DryRunWriter(BatchContext &run)
        : m_run(run)
    {
    }

    void write(QList<ChunkRecord> chunk) override
    {
        for (const ChunkRecord &record : chunk)
            m_run.tally.changed(record.records);
    }

private:
    BatchContext &m_run;
};
