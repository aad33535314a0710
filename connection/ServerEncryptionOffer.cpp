#include "connection/ServerEncryptionOffer.h"

#include <QTcpSocket>

namespace ServerEncryptionOffer {

namespace {

constexpr char PreloginPacket = 0x12;
constexpr char ReplyPacket = 0x04;
constexpr int HeaderSize = 8;
constexpr unsigned char VersionOption = 0x00;
constexpr unsigned char EncryptionOption = 0x01;
constexpr unsigned char Terminator = 0xff;
constexpr unsigned char EncryptOn = 0x01;
constexpr unsigned char EncryptNotSupported = 0x02;

void putUint16(QByteArray &bytes, int value)
{
    bytes.append(char((value >> 8) & 0xff));
    bytes.append(char(value & 0xff));
}

int uint16At(const QByteArray &bytes, qsizetype at)
{
    return (static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]);
}

// A PRELOGIN message asking for encryption, as a client that wants the whole
// session encrypted sends it.
QByteArray preloginAskingForEncryption()
{
    QByteArray options;
    const int optionsSize = 2 * 5 + 1;
    options.append(char(VersionOption));
    putUint16(options, optionsSize);
    putUint16(options, 6);
    options.append(char(EncryptionOption));
    putUint16(options, optionsSize + 6);
    putUint16(options, 1);
    options.append(char(Terminator));
    options.append(QByteArray("\x0b\x00\x00\x00\x00\x00", 6)); // a client version, never looked at
    options.append(char(EncryptOn));

    QByteArray packet;
    packet.append(PreloginPacket);
    packet.append(char(0x01)); // the message's last packet
    putUint16(packet, HeaderSize + int(options.size()));
    packet.append(QByteArray("\x00\x00\x01\x00", 4)); // process 0, packet 1, window 0
    return packet + options;
}

bool readExactly(QTcpSocket &socket, QByteArray &into, qsizetype size, int timeoutMs)
{
    while (into.size() < size) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs))
            return false;
        into += socket.read(size - into.size());
    }
    return true;
}

// The encryption byte of the server's PRELOGIN answer, or -1.
int encryptionIn(const QByteArray &payload)
{
    for (qsizetype at = 0; at + 1 <= payload.size(); at += 5) {
        const auto type = static_cast<unsigned char>(payload[at]);
        if (type == Terminator || at + 5 > payload.size())
            return -1;
        const int offset = uint16At(payload, at + 1);
        const int length = uint16At(payload, at + 3);
        if (type == EncryptionOption && length >= 1 && offset < payload.size())
            return static_cast<unsigned char>(payload[offset]);
    }
    return -1;
}

} // namespace

Offer ask(const QString &host, std::uint16_t port, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(timeoutMs))
        return Offer::Unknown;
    socket.write(preloginAskingForEncryption());
    if (!socket.waitForBytesWritten(timeoutMs))
        return Offer::Unknown;
    QByteArray header;
    if (!readExactly(socket, header, HeaderSize, timeoutMs) || header[0] != ReplyPacket)
        return Offer::Unknown;
    const int length = uint16At(header, 2);
    if (length <= HeaderSize)
        return Offer::Unknown;
    QByteArray payload;
    if (!readExactly(socket, payload, length - HeaderSize, timeoutMs))
        return Offer::Unknown;
    socket.abort();
    const int encryption = encryptionIn(payload);
    if (encryption < 0)
        return Offer::Unknown;
    return encryption == EncryptNotSupported ? Offer::NotOffered : Offer::Offered;
}

} // namespace ServerEncryptionOffer
