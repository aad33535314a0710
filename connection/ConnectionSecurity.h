#pragma once

#include <QString>

// How a connection protects what crosses the network. Without a choice the
// driver does what it always did: SQL Server's drivers encrypt the login when
// the server offers it and send everything after it in the clear.
struct ConnectionSecurity {
    // "Encrypt connection": the whole session is encrypted, and the server's
    // certificate is checked against the trusted authorities and its name
    // against the server's name; the connection fails otherwise.
    bool encrypt = false;
    // "Trust server certificate": encrypted, and any certificate is taken. This
    // does not protect against a machine in the middle.
    bool trustServerCertificate = false;
    // A file of trusted authorities (PEM) for servers with a private authority;
    // empty for the system's own.
    QString authoritiesFile;

    bool encrypted() const { return encrypt || trustServerCertificate; }
    bool checksCertificate() const { return encrypt && !trustServerCertificate; }

    friend bool operator==(const ConnectionSecurity &, const ConnectionSecurity &) = default;
};
