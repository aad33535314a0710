#pragma once

#include "casing/BatchContext.h"
#include "casing/ChunkWriter.h"

#include <memory>

// Leaves out of a chunk the records whose new text the field cannot hold,
// as the server converts it, and counts them. Engines without code pages
// hold every text.
class UnrepresentableFilter {
public:
    UnrepresentableFilter(BatchContext &run, int capacity)
        : m_run(run)
        , m_capacity(capacity)
    {
    }

    // The writer's chunk under way is settled first: the check needs the connection.
    void apply(QList<ChunkRecord> &chunk, ChunkWriter &writer);

private:
    BatchContext &m_run;
    const int m_capacity;
    std::unique_ptr<odbc::Statement> m_check[ChunkCarriers]; // by ChunkCarrier
};
