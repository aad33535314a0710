#pragma once

#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The rows of the table list: each shows its table's text and keeps the table.
namespace TableListRows {

// Fills the list with the database's user tables, one row per table in the
// order the catalogue gives them. The list is cleared only once the catalogue
// has been read. Yields to the window system once per "TABLE" row; when the
// program is ending, nothing more is listed. Throws odbc::Error when the
// connection or the catalogue fails.
void fill(QTreeWidget *list, const LoginFields &fields);

// Adds a row for the table at the end of the table list: its text is the
// table's shown text (the name alone in the default schema, "schema.name"
// otherwise), and the table itself is kept beside the text. A list without a
// selected row selects it.
QTreeWidgetItem *addRow(QTreeWidget *list, const TableName &table, const QString &defaultSchema);

// The table a row of the table list names. A row that keeps no table (one
// added as plain text) names the table of its text, in the default schema; no
// row names no table (an empty name).
TableName tableOfRow(const QTreeWidgetItem *row);

// The default schema of the catalogue a row was listed from; empty for a row
// added as plain text.
QString defaultSchemaOfRow(const QTreeWidgetItem *row);

} // namespace TableListRows
