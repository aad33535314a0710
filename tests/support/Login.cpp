#include "support/Login.h"

#include "app/Settings.h"
#include "connection/Form1.h"

#include <QLineEdit>

void rememberLogin(const LoginFields &fields)
{
    Settings::write(Settings::MSServer, fields.server);
    Settings::write(Settings::MSUser, fields.user);
    Settings::write(Settings::MSPassword, fields.password);
    Settings::write(Settings::MSDatabase, fields.database);
}

void enterLogin(Form1 *window, const LoginFields &fields)
{
    window->Text1->setText(fields.server);
    window->Text2->setText(fields.user);
    window->Text3->setText(fields.password);
    window->Text4->setText(fields.database);
}
