#pragma once

#include <QString>

#include <cstdint>

// What a TDS server says of encryption before any login: the first message of
// every connection (PRELOGIN) asks for it, and the server's answer says
// whether it can encrypt at all. Nothing else is sent: no user, no password.
namespace ServerEncryptionOffer {

enum class Offer {
    Unknown, // no answer, or one that could not be read
    NotOffered, // the server encrypts nothing: it has no certificate
    Offered, // the server can encrypt the login or the whole session
};

// Asks the server at host:port, waiting at most timeoutMs for each step.
Offer ask(const QString &host, std::uint16_t port, int timeoutMs = 5000);

} // namespace ServerEncryptionOffer
