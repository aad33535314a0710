#include "common/FailureTrap.h"

#include "common/ErrorReport.h"

void FailureTrap::report(const QString &description)
{
    ++m_failures;
    ErrorReport::show(description, m_location, m_line, m_parent);
}
