#include "support/Login.h"

#include "common/Settings.h"
#include "login/LoginWindow.h"

#include <QLineEdit>

void rememberLogin(const LoginFields &fields)
{
    Settings::write(Settings::MSServer, fields.server);
    Settings::write(Settings::MSUser, fields.user);
    Settings::write(Settings::MSPassword, fields.password);
    Settings::write(Settings::MSDatabase, fields.database);
}

void enterLogin(LoginWindow *window, const LoginFields &fields)
{
    window->serverBox->setText(fields.server);
    window->userBox->setText(fields.user);
    window->passwordBox->setText(fields.password);
    window->databaseBox->setText(fields.database);
}
