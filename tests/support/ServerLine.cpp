#include "support/ServerLine.h"

#include <QStringList>
#include <QtGlobal>

LoginFields loginFieldsFromLine(const QString &line)
{
    LoginFields fields;
    for (const QString &part : line.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1).trimmed();
        if (key == QLatin1String("server"))
            fields.server = value;
        else if (key == QLatin1String("port"))
            fields.port = value;
        else if (key == QLatin1String("local"))
            fields.localConnection = value == QLatin1String("1");
        else if (key == QLatin1String("user"))
            fields.user = value;
        else if (key == QLatin1String("database"))
            fields.database = value;
    }
    fields.password = qEnvironmentVariable("VANTRELL_PASSWORD");
    return fields;
}
