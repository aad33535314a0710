#include "connection/ConnectionCheck.h"

#include "connection/OpeningProfile.h"
#include "platform/Failure.h"
#include "platform/odbc/Connection.h"
#include "platform/odbc/OdbcError.h"

namespace ConnectionCheck {

bool canConnect(const LoginFields &fields)
{
    odbc::Connection connection; // a failure to create it passes to the caller
    try {
        openWithProfile(connection, OpeningProfile::CanConnect, fields);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

std::optional<QString> connectionProblem(
    const LoginFields &fields, bool *noAnswer, std::unique_ptr<odbc::Connection> *opened)
{
    if (noAnswer)
        *noAnswer = false;
    try {
        auto connection = std::make_unique<odbc::Connection>();
        openWithProfile(*connection, OpeningProfile::CanConnect, fields);
        if (opened)
            *opened = std::move(connection);
        return std::nullopt;
    } catch (const odbc::Error &e) {
        if (e.sqlState().startsWith(QLatin1String("HYT"))) {
            if (noAnswer)
                *noAnswer = true;
            return QStringLiteral("the server did not answer within %1 seconds.")
                .arg(odbc::Connection::DefaultConnectionTimeout);
        }
        return e.description();
    } catch (const std::exception &e) {
        return describeFailure(e);
    }
}

} // namespace ConnectionCheck
