#include "connection/MSSQL.h"

#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"

namespace MSSQL {

bool CanConnect(const LoginFields &fields)
{
    odbc::Connection connection; // a failure to create it passes to the caller
    try {
        openWithProfile(connection, OpeningProfile::CanConnect, fields);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace MSSQL
