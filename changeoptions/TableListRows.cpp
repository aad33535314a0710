#include "changeoptions/TableListRows.h"

#include "common/ProgramEnd.h"
#include "connection/TableCatalogue.h"

#include <QCoreApplication>
#include <QTreeWidget>

namespace TableListRows {

namespace {

// Where a row of the table list keeps its table beside its text.
constexpr int SchemaRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;
constexpr int DefaultSchemaRole = Qt::UserRole + 2;

} // namespace

void fill(QTreeWidget *list, const LoginFields &fields)
{
    const TableCatalogue::Tables listed = TableCatalogue::userTables(fields, [] {
        QCoreApplication::processEvents();
        return !ProgramEnd::requested();
    });
    list->clear();
    for (const TableName &table : listed.tables)
        addRow(list, table, listed.defaultSchema);
}

QTreeWidgetItem *addRow(QTreeWidget *list, const TableName &table, const QString &defaultSchema)
{
    auto *row = new QTreeWidgetItem(list, { table.shownText(defaultSchema) });
    row->setData(0, SchemaRole, table.schema);
    row->setData(0, NameRole, table.name);
    row->setData(0, DefaultSchemaRole, defaultSchema);
    if (!list->currentItem())
        list->setCurrentItem(row);
    return row;
}

TableName tableOfRow(const QTreeWidgetItem *row)
{
    if (!row)
        return {};
    const QVariant name = row->data(0, NameRole);
    if (!name.isValid())
        return { QString(), row->text(0) };
    return { row->data(0, SchemaRole).toString(), name.toString() };
}

QString defaultSchemaOfRow(const QTreeWidgetItem *row)
{
    return row ? row->data(0, DefaultSchemaRole).toString() : QString();
}

} // namespace TableListRows
