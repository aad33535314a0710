#include "connection/MSSQL.h"

#include "app/ProgramEnd.h"
#include "connection/OpeningProfile.h"
#include "connection/SqlDialect.h"
#include "platform/odbc/Connection.h"

#include <QCoreApplication>
#include <QTreeWidget>

namespace MSSQL {

namespace {
const QString UserTableType = QStringLiteral("TABLE");
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

void ListTables(QTreeWidget *list, const LoginFields &fields)
{
    auto connection = openConnection(OpeningProfile::ListTables, fields);
    const auto dialect = SqlDialect::forConnection(*connection);
    auto tables = connection->tables();
    const int typeField = tables.fieldIndex(QStringLiteral("TABLE_TYPE"));
    const int nameField = tables.fieldIndex(QStringLiteral("TABLE_NAME"));

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
        auto *row = new QTreeWidgetItem(list, { name });
        if (!list->currentItem())
            list->setCurrentItem(row);
    }
    tables.close();
    connection->close();
}

} // namespace MSSQL
