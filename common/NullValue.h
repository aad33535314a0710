#pragma once

#include <QVariant>

// A database Null as read through the data layer.
namespace NullValue {

// The default when the value is a database Null, else the value unchanged (an
// empty text is not Null).
inline QVariant toDefault(const QVariant &value, const QVariant &defaultValue)
{
    return (!value.isValid() || value.isNull()) ? defaultValue : value;
}

} // namespace NullValue
