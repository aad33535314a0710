#include "support/TestDatabase.h"

#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"

#include <QDir>

#ifdef Q_OS_WIN
#include "platform/WindowsApi.h"
#endif

namespace {

// The file's name as the SQLite driver takes it. Under Wine the driver is the
// host's, which reads host paths; Wine shows the host's root as drive Z:, so
// the same name without a drive letter is that file for the tests too.
QString driverPath(const QString &path)
{
#ifdef Q_OS_WIN
    using UnixName = char *(CDECL *)(const WCHAR *);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void *>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName)
        return path;
    char *name = unixName(reinterpret_cast<const WCHAR *>(QDir::toNativeSeparators(path).utf16()));
    if (!name)
        return path;
    const QString converted = QString::fromUtf8(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return converted;
#else
    return path;
#endif
}

} // namespace

TestDatabase::TestDatabase()
    : m_path(driverPath(m_dir.path() + QStringLiteral("/test.sqlite")))
{
}

namespace {
QString quoted(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}
} // namespace

LoginFields TestDatabase::fields(const QString &password) const
{
    LoginFields f;
    f.server = QStringLiteral("localhost");
    f.port = QStringLiteral("1433");
    f.user = QStringLiteral("tester");
    f.password = password;
    f.database = m_path;
    return f;
}

LoginFields TestDatabase::unreachable()
{
    LoginFields f;
    f.server = QStringLiteral("localhost");
    f.user = QStringLiteral("tester");
    f.database = QStringLiteral("/nonexistent-folder-for-vantrell-tests/none.sqlite");
    return f;
}

void TestDatabase::exec(const QString &sql, const QList<QVariant> &parameters)
{
    auto connection = openConnection(OpeningProfile::CanConnect, fields());
    connection->execute(sql, parameters);
}

void TestDatabase::table(const QString &name, const QString &columns, const QString &field, const QVariantList &values)
{
    exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(name), columns));
    insert(name, field, values);
}

void TestDatabase::insert(const QString &table, const QString &field, const QVariantList &values)
{
    if (values.isEmpty())
        return;
    QStringList rows;
    for (qsizetype i = 0; i < values.size(); ++i)
        rows << QStringLiteral("(?)");
    exec(QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(quoted(table), quoted(field), rows.join(QLatin1Char(','))),
        values);
}

QVariantList TestDatabase::numbers(int count)
{
    QVariantList values;
    for (int i = 1; i <= count; ++i)
        values << QString::number(i);
    return values;
}

odbc::RecordSet TestDatabase::query(const QString &sql)
{
    auto connection = openConnection(OpeningProfile::CanConnect, fields());
    return connection->query(sql);
}

QVariantList TestDatabase::column(const QString &table, const QString &field)
{
    auto records = query(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(quoted(field), quoted(table)));
    QVariantList values;
    for (; !records.eof(); records.moveNext())
        values << records.value(0);
    return values;
}
