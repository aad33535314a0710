// Every statement text that only SQL Server runs stands in this file.
#include "connection/SqlDialect.h"

QString SqlServerDialect::quoteName(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QStringLiteral("]"), QStringLiteral("]]"));
    return QLatin1Char('[') + quoted + QLatin1Char(']');
}

QStringList SqlServerDialect::sessionSetup() const
{
    // Long text, ntext and (n)varchar(max) values are read whole.
    return {QStringLiteral("SET TEXTSIZE 2147483647")};
}

QString SqlServerDialect::selectNoRows(const QString &table) const
{
    return QStringLiteral("SELECT TOP (0) * FROM ") + quoteName(table);
}
