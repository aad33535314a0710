#include "app/ChangeOptionsHandOver.h"

#include "browser/Form2.h"
#include "connection/MSSQL.h"

#include <QTreeWidget>

void ChangeOptionsHandOver::listTables(const LoginFields &fields)
{
    MSSQL::ListTables(m_window->ListView1, fields);
}

void ChangeOptionsHandOver::emptyLists(bool tablesToo)
{
    if (tablesToo)
        m_window->ListView1->clear();
    m_window->ListView2->clear();
    m_window->ListView3->clear();
}

bool ChangeOptionsHandOver::hasTables() const
{
    return m_window->ListView1->topLevelItemCount() > 0;
}

void ChangeOptionsHandOver::fillFields()
{
    m_window->ListView1_Click();
}

void ChangeOptionsHandOver::showWindow()
{
    m_window->show();
}
