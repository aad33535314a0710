#pragma once

#include "connection/ConnectionSecurity.h"

#include <QString>

#include <functional>

// The login fields as the login window holds them at one moment.
struct LoginFields {
    QString server;
    QString port = QStringLiteral("1433");
    QString user;
    QString password;
    QString database;
    bool localConnection = false; // the "Local Connection" box is ticked
    ConnectionSecurity security; // remembered beside the fields, chosen outside the login frame
};

// Reads the current login fields; every connection calls it when it opens.
using LoginFieldsSource = std::function<LoginFields()>;
