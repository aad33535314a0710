#include "connection/ConnectionString.h"

QString connectionStringValue(const QString &value)
{
    const bool breaksString
        = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('}')) || value.startsWith(QLatin1Char('{'));
    if (!breaksString)
        return value;
    QString braced = value;
    braced.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + braced + QLatin1Char('}');
}

QString buildConnectionString(const LoginFields &fields)
{
    QString server = fields.server;
    if (!fields.localConnection)
        server += QLatin1Char(',') + fields.port;
    return QStringLiteral("Driver={SQL Server};Server=") + connectionStringValue(server) + QStringLiteral(";Database=")
        + connectionStringValue(fields.database) + QStringLiteral(";Uid=") + connectionStringValue(fields.user)
        + QStringLiteral(";Pwd=") + connectionStringValue(fields.password) + QStringLiteral(";");
}
