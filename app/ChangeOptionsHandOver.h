#pragma once

#include "connection/ChangeOptionsSide.h"

class Form2;

// The change options window as "Next >" reaches it.
class ChangeOptionsHandOver final : public ChangeOptionsSide {
public:
    explicit ChangeOptionsHandOver(Form2 *window)
        : m_window(window)
    {
    }

    void listTables(const LoginFields &fields) override;
    void emptyLists(bool tablesToo) override;
    bool hasTables() const override;
    void fillFields() override;
    void showWindow() override;

private:
    Form2 *m_window;
};
