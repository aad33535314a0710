#include "connection/RememberedLogin.h"

#include "common/Settings.h"

namespace RememberedLogin {

LoginFields read()
{
    LoginFields fields;
    fields.server = Settings::read(Settings::MSServer);
    fields.port = Settings::read(Settings::MSPort, Settings::DefaultPort);
    fields.user = Settings::read(Settings::MSUser);
    fields.password = Settings::read(Settings::MSPassword);
    fields.database = Settings::read(Settings::MSDatabase);
    fields.localConnection
        = Settings::isTicked(Settings::read(Settings::LocalConnection, Settings::DefaultLocalConnection));
    return fields;
}

} // namespace RememberedLogin
