#include "connection/TableCatalogue.h"

#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Connection.h"

namespace TableCatalogue {

namespace {
const QString UserTableType = QStringLiteral("TABLE");
} // namespace

Tables userTables(const LoginFields &fields, const std::function<bool()> &visit)
{
    auto connection = openConnection(OpeningProfile::ListTables, fields);
    const auto dialect = SqlDialect::forConnection(*connection);
    Tables listed;
    if (const QString query = dialect->defaultSchemaQuery(); !query.isEmpty())
        listed.defaultSchema = connection->query(query).value(0).toString();
    auto tables = connection->tables();
    const int typeField = tables.fieldIndex(QStringLiteral("TABLE_TYPE"));
    const int nameField = tables.fieldIndex(QStringLiteral("TABLE_NAME"));
    // The catalogue's schema column; drivers that speak ODBC 2 call it the owner.
    int schemaField = tables.fieldIndex(QStringLiteral("TABLE_SCHEM"));
    if (schemaField < 0)
        schemaField = tables.fieldIndex(QStringLiteral("TABLE_OWNER"));

    for (; !tables.eof(); tables.moveNext()) {
        const QString name = tables.value(nameField).toString();
        const QString type = tables.value(typeField).toString();
        // SQL Server's driver gives its system tables a type of their own; the
        // embedded engine's driver calls its bookkeeping tables "TABLE" too.
        if (type != UserTableType || dialect->isEngineTable(name))
            continue;
        if (visit && !visit()) {
            listed.stopped = true;
            break;
        }
        if (isUserTable(type, name))
            listed.tables.append({ schemaField < 0 ? QString() : tables.value(schemaField).toString(), name });
    }
    tables.close();
    connection->close();
    return listed;
}

bool isUserTable(const QString &type, const QString &name)
{
    return type == UserTableType && !name.toUpper().contains(QLatin1String("SYS"));
}

} // namespace TableCatalogue
