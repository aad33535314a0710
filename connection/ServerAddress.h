#pragma once

#include "connection/LoginFields.h"

#include <QString>

// The server box and port read as the driver reads them: "host",
// "host\instance", and, for a local connection, "host,port" too; the port
// field only when the connection is not local.
struct ServerAddress {
    QString host;
    QString port; // empty: the driver's own (TDSPORT, or its default)
    QString instance;

    static ServerAddress of(const LoginFields &fields);
};
