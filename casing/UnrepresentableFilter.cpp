#include "casing/UnrepresentableFilter.h"

#include <algorithm>

void UnrepresentableFilter::apply(QList<ChunkRecord> &chunk, ChunkWriter &writer)
{
    if (m_run.dialect->unrepresentable(m_run.facts, m_capacity).isEmpty())
        return;
    writer.settle();
    enum class Verdict { Fits, Unfit, Unchecked };
    QList<Verdict> verdicts(chunk.size(), Verdict::Fits);
    bool allFit = true;
    for (qsizetype from = 0; from < chunk.size(); from += m_capacity) {
        const qsizetype count = std::min<qsizetype>(m_capacity, chunk.size() - from);
        QList<QVariant> values;
        values.reserve(2 * count);
        for (qsizetype i = from; i < from + count; ++i)
            values << QString::number(i) << chunk[i].change.newText;
        for (const ChunkPart &part : m_run.dialect->chunkParts(std::move(values), 2, m_capacity)) {
            const bool checked = m_run.send(BatchChange::statementLine(chunk.first().mode), [&] {
                odbc::Statement &statement = m_run.prepared(
                    m_check[int(part.shape.carrier)], m_run.dialect->unrepresentable(m_run.facts, part.shape));
                statement.execute(part.parameters);
                for (odbc::RecordSet rows = odbc::RecordSet::fetch(statement); !rows.eof(); rows.moveNext()) {
                    verdicts[rows.value(0).toLongLong()] = Verdict::Unfit;
                    allFit = false;
                }
            });
            if (!checked) {
                // Nothing is known of these texts, so they are not sent.
                std::fill(verdicts.begin() + from, verdicts.begin() + from + count, Verdict::Unchecked);
                allFit = false;
            }
        }
    }
    if (allFit)
        return;
    QList<ChunkRecord> kept;
    kept.reserve(chunk.size());
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const Verdict verdict = verdicts[i];
        if (verdict == Verdict::Fits) {
            kept.append(std::move(chunk[i]));
            continue;
        }
        const qsizetype records = chunk[i].records;
        verdict == Verdict::Unfit ? m_run.tally.notRepresentable(records) : m_run.tally.refusedByServer(records);
    }
    chunk = std::move(kept);
}
