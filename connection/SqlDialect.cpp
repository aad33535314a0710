#include "connection/SqlDialect.h"

#include "platform/odbc/Connection.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(odbc::Connection &connection)
{
    if (connection.dbmsName().contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return std::make_unique<EmbeddedDialect>();
    return std::make_unique<SqlServerDialect>();
}

QString SqlDialect::selectField(const QString &table, const QString &field) const
{
    return QStringLiteral("SELECT ") + quoteName(field) + QStringLiteral(" FROM ") + quoteName(table);
}

QString EmbeddedDialect::quoteName(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList EmbeddedDialect::sessionSetup() const
{
    return {};
}

QString EmbeddedDialect::selectNoRows(const QString &table) const
{
    return QStringLiteral("SELECT * FROM ") + quoteName(table) + QStringLiteral(" LIMIT 0");
}
