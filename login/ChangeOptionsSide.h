#pragma once

#include "connection/LoginFields.h"

// What "Next >" hands the login fields over to: the window that lists the
// database's tables, their fields and a preview. The login window knows it by
// these steps alone; the window flow gives it the real window.
class ChangeOptionsSide {
public:
    virtual ~ChangeOptionsSide() = default;

    // Fills the table list from the database the fields name. Throws as ListTables does.
    virtual void listTables(const LoginFields &fields) = 0;
    // Empties the field list and the preview, and the table list too when asked.
    virtual void emptyLists(bool tablesToo) = 0;
    virtual bool hasTables() const = 0;
    // The field-list fill of the selected table, then its preview.
    virtual void fillFields() = 0;
    virtual void showWindow() = 0;
};
