#include "journal/JournalHeader.h"

JournalHeader JournalHeader::forRun(
    const LoginFields &fields, const TableName &table, const QString &field, const QString &mode)
{
    JournalHeader header;
    header.table = table.name;
    header.schema = table.schema;
    header.field = field;
    header.server = fields.server;
    header.localConnection = fields.localConnection;
    header.port = fields.localConnection ? QString() : fields.port;
    header.database = fields.database;
    header.mode = mode;
    return header;
}
