#include "app/ChangeOptionsHandOver.h"

#include "changeoptions/ChangeOptionsWindow.h"
#include "changeoptions/TableListRows.h"

#include <QTreeWidget>

void ChangeOptionsHandOver::listTables(const LoginFields &fields)
{
    TableListRows::fill(m_window->tableList, fields);
}

void ChangeOptionsHandOver::emptyLists(bool tablesToo)
{
    if (tablesToo)
        m_window->tableList->clear();
    m_window->fieldList->clear();
    m_window->previewList->clear();
}

bool ChangeOptionsHandOver::hasTables() const
{
    return m_window->tableList->topLevelItemCount() > 0;
}

void ChangeOptionsHandOver::fillFields()
{
    m_window->tableChosen();
}

void ChangeOptionsHandOver::showWindow()
{
    m_window->show();
}
