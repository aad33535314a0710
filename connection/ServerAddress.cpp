#include "connection/ServerAddress.h"

ServerAddress ServerAddress::of(const LoginFields &fields)
{
    ServerAddress address;
    QString server = fields.server;
    if (fields.localConnection) {
        if (const qsizetype comma = server.indexOf(QLatin1Char(',')); comma >= 0) {
            address.port = server.mid(comma + 1);
            server.truncate(comma);
        }
    } else {
        address.port = fields.port;
    }
    if (const qsizetype slash = server.indexOf(QLatin1Char('\\')); slash >= 0) {
        address.instance = server.mid(slash + 1);
        server.truncate(slash);
    }
    address.host = server;
    return address;
}
