#include "connection/ConnectionString.h"

#include "connection/FreeTdsServerEntry.h"

OdbcDriver nativeDriver()
{
#ifdef Q_OS_WIN
    return OdbcDriver::Windows;
#else
    return OdbcDriver::FreeTds;
#endif
}

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

namespace {

QString serverPart(const LoginFields &fields, OdbcDriver driver)
{
    if (driver == OdbcDriver::FreeTds && fields.security.checksCertificate())
        return QStringLiteral("Servername=") + connectionStringValue(FreeTdsServerEntry::name(fields));
    QString server = fields.server;
    if (!fields.localConnection)
        server += QLatin1Char(',') + fields.port;
    return QStringLiteral("Server=") + connectionStringValue(server);
}

QString encryptionPart(const ConnectionSecurity &security, OdbcDriver driver)
{
    if (!security.encrypted())
        return {};
    if (driver == OdbcDriver::FreeTds)
        return QStringLiteral("Encryption=require;");
    return security.trustServerCertificate ? QStringLiteral("Encrypt=yes;TrustServerCertificate=yes;")
                                           : QStringLiteral("Encrypt=yes;");
}

} // namespace

QString buildConnectionString(const LoginFields &fields, OdbcDriver driver)
{
    return QStringLiteral("Driver={SQL Server};") + serverPart(fields, driver) + QStringLiteral(";Database=")
        + connectionStringValue(fields.database) + QStringLiteral(";Uid=") + connectionStringValue(fields.user)
        + QStringLiteral(";Pwd=") + connectionStringValue(fields.password) + QStringLiteral(";")
        + encryptionPart(fields.security, driver);
}
