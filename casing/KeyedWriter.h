#pragma once

#include "casing/BackgroundStep.h"
#include "casing/BatchContext.h"
#include "casing/ChunkWriter.h"

#include <exception>
#include <memory>
#include <optional>

// With a key: one statement per chunk changes the chunk's rows by key, each
// only while it still holds the value that was read, in a transaction of its
// own on a thread of its own while the next chunk's records are visited. A
// chunk that falls short is rolled back and done again record by record, so
// each record's outcome is known. A table with update triggers is changed
// record by record from the start.
class KeyedWriter final : public ChunkWriter {
public:
    KeyedWriter(BatchContext &run, int capacity)
        : m_run(run)
        , m_capacity(capacity)
    {
    }

    void write(QList<ChunkRecord> chunk) override;
    void settle() override;
    void abandon() override;

private:
    void send(QList<ChunkRecord> chunk);
    void redo(const QList<ChunkRecord> &records);

    BatchContext &m_run;
    const int m_capacity;
    std::unique_ptr<odbc::Statement> m_chunkUpdate[ChunkCarriers]; // by ChunkCarrier
    std::unique_ptr<odbc::Statement> m_singleUpdate;

    // The chunk the server is working on.
    struct InFlight {
        QList<ChunkRecord> records; // empty when none
        std::optional<qint64> rows; // the rows the statement changed, once it ran
        std::exception_ptr failure; // the statement failed (and was rolled back)
    };
    InFlight m_inFlight;
    // Declared last, so a step under way ends before anything it uses goes.
    BackgroundStep m_background;
};
