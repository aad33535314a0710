#include "connection/MSSQL.h"

#include "app/ProgramEnd.h"
#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"

#include <QCoreApplication>
#include <QTreeWidget>

namespace MSSQL {

namespace {

const QString UserTableType = QStringLiteral("TABLE");

// Where a row of the table list keeps its table beside its text.
constexpr int SchemaRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;

} // namespace

bool CanConnect(const LoginFields &fields)
{
    odbc::Connection connection; // a failure to create it passes to the caller
    try {
        openWithProfile(connection, OpeningProfile::CanConnect, fields);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

std::optional<QString> ConnectionProblem(const LoginFields &fields, bool *noAnswer)
{
    if (noAnswer)
        *noAnswer = false;
    try {
        odbc::Connection connection;
        openWithProfile(connection, OpeningProfile::CanConnect, fields);
        return std::nullopt;
    } catch (const odbc::Error &e) {
        if (e.sqlState().startsWith(QLatin1String("HYT"))) {
            if (noAnswer)
                *noAnswer = true;
            return QStringLiteral("the server did not answer within %1 seconds.")
                .arg(odbc::Connection::DefaultConnectionTimeout);
        }
        return e.description();
    } catch (const std::exception &e) {
        return describeFailure(e);
    }
}

void ListTables(QTreeWidget *list, const LoginFields &fields)
{
    auto connection = openConnection(OpeningProfile::ListTables, fields);
    const auto dialect = SqlDialect::forConnection(*connection);
    QString defaultSchema;
    if (const QString query = dialect->defaultSchemaQuery(); !query.isEmpty())
        defaultSchema = connection->query(query).value(0).toString();
    auto tables = connection->tables();
    const int typeField = tables.fieldIndex(QStringLiteral("TABLE_TYPE"));
    const int nameField = tables.fieldIndex(QStringLiteral("TABLE_NAME"));
    // The catalogue's schema column; drivers that speak ODBC 2 call it the owner.
    int schemaField = tables.fieldIndex(QStringLiteral("TABLE_SCHEM"));
    if (schemaField < 0)
        schemaField = tables.fieldIndex(QStringLiteral("TABLE_OWNER"));

    list->clear();
    for (; !tables.eof(); tables.moveNext()) {
        const QString name = tables.value(nameField).toString();
        // SQL Server's driver gives its system tables a type of their own; the
        // embedded engine's driver calls its bookkeeping tables "TABLE" too.
        if (tables.value(typeField).toString() != UserTableType || dialect->isEngineTable(name))
            continue;
        QCoreApplication::processEvents();
        if (ProgramEnd::requested())
            return; // the program is ending: nothing more is listed
        if (name.toUpper().contains(QLatin1String("SYS")))
            continue;
        const QString schema = schemaField < 0 ? QString() : tables.value(schemaField).toString();
        AddTableRow(list, { schema, name }, defaultSchema);
    }
    tables.close();
    connection->close();
}

QTreeWidgetItem *AddTableRow(QTreeWidget *list, const TableName &table, const QString &defaultSchema)
{
    auto *row = new QTreeWidgetItem(list, { table.shownText(defaultSchema) });
    row->setData(0, SchemaRole, table.schema);
    row->setData(0, NameRole, table.name);
    if (!list->currentItem())
        list->setCurrentItem(row);
    return row;
}

TableName TableOfRow(const QTreeWidgetItem *row)
{
    if (!row)
        return {};
    const QVariant name = row->data(0, NameRole);
    if (!name.isValid())
        return { QString(), row->text(0) };
    return { row->data(0, SchemaRole).toString(), name.toString() };
}

} // namespace MSSQL
