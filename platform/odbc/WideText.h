#pragma once

#include <QString>

#include "platform/odbc/OdbcApi.h"

#include <vector>

namespace odbc {

// SQLWCHAR is a UTF-16 code unit on both unixODBC and Windows, so text passes
// to and from the wide ODBC calls without any conversion.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16");

inline std::vector<SQLWCHAR> toWide(const QString &text)
{
    std::vector<SQLWCHAR> wide(size_t(text.size()) + 1, 0);
    std::copy(text.utf16(), text.utf16() + text.size(), wide.begin());
    return wide;
}

inline QString fromWide(const SQLWCHAR *text, size_t length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), qsizetype(length));
}

} // namespace odbc
