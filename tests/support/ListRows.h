#pragma once

#include <QStringList>

class QTreeWidget;

// The program's one-column lists as a test reads and works them.

// The text of every row, top to bottom.
QStringList rowTexts(const QTreeWidget *list);
// The text of the chosen row, "<none>" when no row is chosen.
QString currentRowText(const QTreeWidget *list);
// Replaces the rows and chooses the first, as the program's fills leave a list.
void fillRows(QTreeWidget *list, const QStringList &texts);
// Chooses the row with the text as code would; false when there is none.
bool selectRow(QTreeWidget *list, const QString &text);
// Clicks the row with the text as a user would; false when there is none.
bool clickRow(QTreeWidget *list, const QString &text);
