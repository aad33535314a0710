#include "connection/EncryptedOpening.h"

#include "connection/FreeTdsConfiguration.h"
#include "connection/ServerAddress.h"
#include "connection/ServerEncryptionOffer.h"
#include "platform/Failure.h"
#include "platform/odbc/OdbcError.h"

#include <optional>

namespace EncryptedOpening {

namespace {

constexpr std::uint16_t DefaultPort = 1433;

// FreeTDS's words for a connection that failed before the server answered
// the login: here, the encrypted session could not be set up.
const QLatin1String FreeTdsConnectionFailed("Adaptive Server connection failed");

struct Endpoint {
    QString host;
    std::uint16_t port = DefaultPort;
};

// Where the driver went: the server box's host, and the port the fields give,
// or for a local connection the one the driver takes from TDSPORT (or its
// default). None for a named instance without a port: only the server's
// browser service knows that one.
std::optional<Endpoint> endpointOf(const LoginFields &fields)
{
    const ServerAddress address = ServerAddress::of(fields);
    QString port = address.port;
    if (port.isEmpty() && fields.localConnection)
        port = qEnvironmentVariable("TDSPORT");
    if (port.isEmpty() && !address.instance.isEmpty())
        return std::nullopt;
    Endpoint endpoint { address.host.trimmed(), DefaultPort };
    if (!port.isEmpty()) {
        bool number = false;
        const uint value = port.trimmed().toUInt(&number);
        if (!number || value == 0 || value > 65535)
            return std::nullopt;
        endpoint.port = std::uint16_t(value);
    }
    return endpoint;
}

} // namespace

void prepare(const LoginFields &fields, OdbcDriver driver)
{
    const ConnectionSecurity &security = fields.security;
    if (!security.encrypted())
        return;
    if (driver == OdbcDriver::Windows) {
        // The file is looked at only while the certificate is checked.
        if (security.checksCertificate() && !security.authoritiesFile.isEmpty())
            throw Failure(QStringLiteral("The trusted authorities file \"%1\" cannot be used on Windows: the "
                                         "server's certificate is checked against the Windows certificate store. "
                                         "Add the authority to the store (Trusted Root Certification Authorities) "
                                         "instead.")
                              .arg(security.authoritiesFile));
        return;
    }
    if (security.checksCertificate())
        FreeTdsConfiguration::prepare(fields);
}

odbc::Error explain(const odbc::Error &failure, const LoginFields &fields, OdbcDriver driver)
{
    // A server that did not answer in time is not asked again.
    if (!fields.security.encrypted() || failure.sqlState().startsWith(QLatin1String("HYT")))
        return failure;
    const std::optional<Endpoint> endpoint = endpointOf(fields);
    if (!endpoint)
        return failure;
    const ServerEncryptionOffer::Offer offer = ServerEncryptionOffer::ask(endpoint->host, endpoint->port);
    if (offer == ServerEncryptionOffer::Offer::NotOffered)
        return odbc::Error(QStringLiteral("The server does not offer encryption: it has no certificate to encrypt "
                                          "with. Nothing but the request for encryption was sent to it. Turn "
                                          "encryption on in the server, or connect without \"Encrypt "
                                          "connection\" and \"Trust server certificate\", knowing that everything "
                                          "then travels in the clear.\n\n")
                + failure.description(),
            failure.sqlState());
    if (offer == ServerEncryptionOffer::Offer::Offered && driver == OdbcDriver::FreeTds
        && fields.security.checksCertificate() && failure.description().contains(FreeTdsConnectionFailed)) {
        const QString authorities = fields.security.authoritiesFile.isEmpty()
            ? QStringLiteral("the authorities this computer trusts")
            : QStringLiteral("the authorities of the file \"%1\"").arg(fields.security.authoritiesFile);
        return odbc::Error(QStringLiteral("The server's certificate is not trusted: it is not signed by %1, or it "
                                          "was not issued for the name \"%2\", or it is out of date. The login was "
                                          "not sent.\n\n")
                               .arg(authorities, endpoint->host)
                + failure.description(),
            failure.sqlState());
    }
    return failure;
}

} // namespace EncryptedOpening
