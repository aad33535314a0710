#include "connection/Session.h"

Session openSession(OpeningProfile profile, const LoginFields &fields)
{
    return sessionOn(openConnection(profile, fields), profile);
}

Session sessionOn(std::unique_ptr<odbc::Connection> connection, OpeningProfile profile)
{
    applyProfile(*connection, profile);
    Session session;
    session.connection = std::move(connection);
    session.dialect = SqlDialect::forConnection(*session.connection);
    for (const QString &statement : session.dialect->sessionSetup())
        session.connection->execute(statement);
    session.dialect->learnFrom(*session.connection);
    return session;
}

std::unique_ptr<odbc::Connection> openAlongside(
    OpeningProfile profile, const LoginFields &fields, const SqlDialect &dialect)
{
    std::unique_ptr<odbc::Connection> connection = openConnection(profile, fields);
    for (const QString &statement : dialect.sessionSetup())
        connection->execute(statement);
    return connection;
}
