#include "casing/BatchContext.h"

void BatchContext::fail(int line, const QString &description)
{
    if (m_reported.contains(description))
        return;
    m_reported.insert(description);
    if (callbacks.failure)
        callbacks.failure(line, description);
}

odbc::Statement &BatchContext::prepared(std::unique_ptr<odbc::Statement> &statement, const QString &text)
{
    if (!statement) {
        auto made = std::make_unique<odbc::Statement>(*connection);
        made->prepare(text);
        statement = std::move(made);
    }
    return *statement;
}
