#pragma once

#include "login/ChangeOptionsSide.h"

class ChangeOptionsWindow;

// The change options window as "Next >" reaches it.
class ChangeOptionsHandOver final : public ChangeOptionsSide {
public:
    explicit ChangeOptionsHandOver(ChangeOptionsWindow *window)
        : m_window(window)
    {
    }

    void listTables(const LoginFields &fields) override;
    void emptyLists(bool tablesToo) override;
    bool hasTables() const override;
    void fillFields() override;
    void showWindow() override;

private:
    ChangeOptionsWindow *m_window;
};
