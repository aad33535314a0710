#pragma once

#include <QString>

// A table as the database knows it: the schema that holds it and its own name.
// An empty schema leaves the choice to the server, which looks in the user's
// default schema.
struct TableName {
    QString schema;
    QString name;

    // The text that names the table to the user: the name alone when the table
    // lies in the default schema or has no schema, "schema.name" otherwise, so
    // tables of one name in two schemas never look alike.
    QString shownText(const QString &defaultSchema = QString()) const;

    friend bool operator==(const TableName &, const TableName &) = default;
};
