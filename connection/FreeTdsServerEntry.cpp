#include "connection/FreeTdsServerEntry.h"

#include "connection/ServerAddress.h"
#include "platform/Failure.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace FreeTdsServerEntry {

namespace {

// What the file cannot carry in a value: comment marks, line ends, and
// blanks, which it folds.
bool carriable(const QString &value)
{
    static const QRegularExpression unsafe(QStringLiteral("[#;\\s\\x00-\\x1f\\[\\]]"));
    return !value.contains(unsafe);
}

} // namespace

QString name(const LoginFields &fields)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(fields.server.toUtf8());
    hash.addData(QByteArrayView("\n", 1));
    hash.addData((fields.localConnection ? QString() : fields.port).toUtf8());
    hash.addData(QByteArrayView("\n", 1));
    hash.addData(fields.security.authoritiesFile.toUtf8());
    return QStringLiteral("vantrell-") + QString::fromLatin1(hash.result().toHex().left(16));
}

QString text(const LoginFields &fields, const QString &authorities)
{
    const ServerAddress address = ServerAddress::of(fields);
    if (address.host.isEmpty() || !carriable(address.host) || !carriable(address.port) || !carriable(address.instance))
        throw Failure(QStringLiteral("The server \"%1\" cannot be reached over an encrypted connection that checks "
                                     "its certificate: FreeTDS cannot take that name from its configuration file.")
                          .arg(fields.server));
    // A line of the file is read into 256 bytes.
    if (!carriable(authorities) || authorities.toUtf8().size() > 200)
        throw Failure(QStringLiteral("The folder \"%1\" cannot hold the trusted authorities for FreeTDS: its "
                                     "configuration file cannot carry that path.")
                          .arg(authorities));
    QString entry = QLatin1Char('[') + name(fields) + QStringLiteral("]\n");
    entry += QStringLiteral("\thost = ") + address.host + QLatin1Char('\n');
    if (!address.port.isEmpty())
        entry += QStringLiteral("\tport = ") + address.port + QLatin1Char('\n');
    else if (!address.instance.isEmpty())
        entry += QStringLiteral("\tinstance = ") + address.instance + QLatin1Char('\n');
    entry += QStringLiteral("\tencryption = require\n");
    entry += QStringLiteral("\tca file = ") + authorities + QLatin1Char('\n');
    entry += QStringLiteral("\tcheck certificate hostname = yes\n");
    return entry;
}

} // namespace FreeTdsServerEntry
