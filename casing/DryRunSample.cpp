#include "casing/DryRunSample.h"

#include "common/Messages.h"

void DryRunSample::attach(BatchChange::Callbacks &callbacks)
{
    callbacks.beforeSend = [this](const QList<PlannedChange> &records) {
        m_changes += records.first(std::min<qsizetype>(records.size(), m_shown - m_changes.size()));
        return true;
    };
}

QString DryRunSample::heading() const
{
    return m_changes.size() < m_shown ? QStringLiteral("The changes:")
                                      : QStringLiteral("The first %1 changes:").arg(m_shown);
}

QString DryRunSample::lines() const
{
    QString text;
    for (const PlannedChange &planned : m_changes)
        text += Messages::visibleText(planned.oldText) + QStringLiteral(" \u2192 ")
            + Messages::visibleText(planned.newText) + QLatin1Char('\n');
    return text;
}
