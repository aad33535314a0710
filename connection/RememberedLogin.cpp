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
    // Read as "Local Connection" is: never written or "0" is unticked, any other text ticked.
    const QString unticked = QStringLiteral("0");
    fields.security.encrypt = Settings::isTicked(Settings::read(Settings::EncryptConnection, unticked));
    fields.security.trustServerCertificate
        = Settings::isTicked(Settings::read(Settings::TrustServerCertificate, unticked));
    fields.security.authoritiesFile = Settings::read(Settings::TrustedAuthorities);
    return fields;
}

} // namespace RememberedLogin
