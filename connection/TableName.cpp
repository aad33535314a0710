#include "connection/TableName.h"

QString TableName::shownText(const QString &defaultSchema) const
{
    if (schema.isEmpty() || schema == defaultSchema)
        return name;
    return schema + QLatin1Char('.') + name;
}
