#include "support/TestDatabase.h"

#include "connection/OpeningProfile.h"
#include "platform/odbc/Connection.h"

TestDatabase::TestDatabase() : m_path(m_dir.path() + QStringLiteral("/test.sqlite")) {}

LoginFields TestDatabase::fields() const
{
    LoginFields f;
    f.server = QStringLiteral("localhost");
    f.port = QStringLiteral("1433");
    f.user = QStringLiteral("tester");
    f.password = QString();
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

odbc::RecordSet TestDatabase::query(const QString &sql)
{
    auto connection = openConnection(OpeningProfile::CanConnect, fields());
    return connection->query(sql);
}

QVariantList TestDatabase::column(const QString &table, const QString &field)
{
    auto records = query(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid").arg(field, table));
    QVariantList values;
    for (; !records.eof(); records.moveNext())
        values << records.value(0);
    return values;
}
