#pragma once

#include "platform/odbc/OdbcApi.h"

#include <utility>

namespace odbc {

// Owns one ODBC handle and frees it on destruction; never throws.
template <SQLSMALLINT Type>
class Handle {
public:
    Handle() = default;
    explicit Handle(SQLHANDLE handle)
        : m_handle(handle)
    {
    }
    ~Handle() { reset(); }

    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Handle(Handle &&other) noexcept
        : m_handle(std::exchange(other.m_handle, SQLHANDLE(SQL_NULL_HANDLE)))
    {
    }
    Handle &operator=(Handle &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_handle = std::exchange(other.m_handle, SQLHANDLE(SQL_NULL_HANDLE));
        }
        return *this;
    }

    SQLHANDLE get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != SQL_NULL_HANDLE; }

    void reset() noexcept
    {
        if (m_handle != SQL_NULL_HANDLE)
            SQLFreeHandle(Type, std::exchange(m_handle, SQLHANDLE(SQL_NULL_HANDLE)));
    }

private:
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

using EnvironmentHandle = Handle<SQL_HANDLE_ENV>;
using ConnectionHandle = Handle<SQL_HANDLE_DBC>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

} // namespace odbc
