#pragma once

#include "casing/BatchContext.h"
#include "casing/ChunkWriter.h"

// A dry run: nothing is sent. Every record that reached a chunk counts as
// changed; without a key, the records of every text whose pair would have
// been staged, once the run is over.
class DryRunWriter final : public ChunkWriter {
public:
    explicit DryRunWriter(BatchContext &run)
        : m_run(run)
    {
    }

    void write(QList<ChunkRecord> chunk) override
    {
        if (!m_run.key.isEmpty()) {
            m_run.tally.changed(chunk.size());
            return;
        }
        for (const ChunkRecord &record : chunk)
            m_run.pairs[record.pair].staged = true;
    }

    void finish() override
    {
        for (const TextPair &pair : std::as_const(m_run.pairs))
            if (pair.staged && !pair.unrepresentable && !pair.refused)
                m_run.tally.changed(pair.records);
    }

private:
    BatchContext &m_run;
};
