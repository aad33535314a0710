#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// JSON text that gives back every UTF-16 unit of a string: control characters
// and lone surrogates escaped, everything else as UTF-8.
namespace JsonText {

void appendString(QByteArray &json, const QString &text);
// An array of strings; an invalid QVariant is null.
void appendArray(QByteArray &json, const QList<QVariant> &values);

} // namespace JsonText
