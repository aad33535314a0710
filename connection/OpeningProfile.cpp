#include "connection/OpeningProfile.h"

#include "connection/ConnectionString.h"
#include "connection/EncryptedOpening.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"

namespace {
constexpr int BatchTimeoutSeconds = 5000;
} // namespace

void applyProfile(odbc::Connection &connection, OpeningProfile profile)
{
    switch (profile) {
    case OpeningProfile::TestConnection:
    case OpeningProfile::CanConnect:
    case OpeningProfile::ListTables:
        break;
    case OpeningProfile::FieldList:
    case OpeningProfile::Preview:
        connection.setMode(odbc::Connection::ModeReadWrite);
        break;
    case OpeningProfile::Batch:
        connection.setCursorLocation(odbc::Connection::CursorOnClient);
        connection.setCommandTimeout(BatchTimeoutSeconds);
        connection.setConnectionTimeout(BatchTimeoutSeconds);
        break;
    }
}

void openWithProfile(odbc::Connection &connection, OpeningProfile profile, const LoginFields &fields)
{
    applyProfile(connection, profile);
    EncryptedOpening::prepare(fields);
    try {
        connection.open(buildConnectionString(fields));
    } catch (const odbc::Error &failure) {
        if (!fields.security.encrypted())
            throw;
        throw EncryptedOpening::explain(failure, fields);
    }
}

std::unique_ptr<odbc::Connection> openConnection(OpeningProfile profile, const LoginFields &fields)
{
    auto connection = std::make_unique<odbc::Connection>();
    openWithProfile(*connection, profile, fields);
    return connection;
}
