#pragma once

#include <QString>

// The per-user settings store: texts under an application name and a section,
// read with a default and written at once. The file is kept private to the user.
namespace Settings {

inline const QString Application = QStringLiteral("Marrowfen");
inline const QString Section = QStringLiteral("Vantrell");

// Keys.
inline const QString MSServer = QStringLiteral("MSServer");
inline const QString MSUser = QStringLiteral("MSUser");
inline const QString MSPassword = QStringLiteral("MSPassword");
inline const QString MSDatabase = QStringLiteral("MSDatabase");
inline const QString MSPort = QStringLiteral("MSPort");
inline const QString LocalConnection = QStringLiteral("Local Connection");
// The encryption choices beside the login fields: "1" or "0", as "Local Connection".
inline const QString EncryptConnection = QStringLiteral("Encrypt Connection");
inline const QString TrustServerCertificate = QStringLiteral("Trust Server Certificate");
inline const QString TrustedAuthorities = QStringLiteral("Trusted Authorities"); // a file; empty for the system's
inline const QString ModeKey = QStringLiteral("Combo1"); // the mode box's index
inline const QString WordRulesOn = QStringLiteral("Word Rules"); // "1" when Proper and Sentence case follow them
inline const QString UserWords = QStringLiteral("Word Rules Words"); // the user's words, a line each

// What a key that was never written reads as.
inline const QString DefaultPort = QStringLiteral("1433");
inline const QString DefaultLocalConnection = QStringLiteral("0");
inline const QString DefaultMode = QStringLiteral("0");

// The stored "Local Connection": exactly "0" is unticked, any other text ticked.
inline bool isTicked(const QString &storedLocalConnection)
{
    return storedLocalConnection != QLatin1String("0");
}

// The stored text, or the default when the key was never written. A key written
// with the empty text reads back empty.
QString read(const QString &application, const QString &section, const QString &key, const QString &defaultValue);
void write(const QString &application, const QString &section, const QString &key, const QString &value);

// The same under "Marrowfen" / "Vantrell".
QString read(const QString &key, const QString &defaultValue = QString());
void write(const QString &key, const QString &value);

// The file that holds the values of an application name; on Windows, the
// registry key.
QString filePath(const QString &application = Application);

#ifdef Q_OS_WIN
// Where the keys of the applications lie: HKEY_CURRENT_USER\Software, unless a
// test gives a key of its own; empty restores that.
void setRegistryRoot(const QString &key);
#endif

} // namespace Settings
