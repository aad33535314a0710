#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace odbc {

// A growing block of plain values (characters, offsets) that is filled in
// place and grows with realloc: a large block is moved by the system without
// copying its contents, and the values are never initialised before they are
// written. A snapshot of a million rows fills one of these as it is fetched.
template <typename T>
class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>, "values are moved by realloc");

public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray &) = delete;
    GrowingArray &operator=(const GrowingArray &) = delete;
    GrowingArray(GrowingArray &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_size(std::exchange(other.m_size, 0))
        , m_capacity(std::exchange(other.m_capacity, 0))
    {
    }
    GrowingArray &operator=(GrowingArray &&other) noexcept
    {
        if (this != &other) {
            std::free(m_data);
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
        }
        return *this;
    }
    ~GrowingArray() { std::free(m_data); }

    const T *data() const { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const T &operator[](size_t index) const { return m_data[index]; }

    // Room for at least `count` more values after the end; returns where they go.
    T *makeRoom(size_t count)
    {
        if (m_capacity - m_size < count) {
            size_t capacity = m_capacity ? m_capacity : 256;
            while (capacity - m_size < count)
                capacity *= 2;
            void *grown = std::realloc(m_data, capacity * sizeof(T));
            if (!grown)
                throw std::bad_alloc();
            m_data = static_cast<T *>(grown);
            m_capacity = capacity;
        }
        return m_data + m_size;
    }
    size_t room() const { return m_capacity - m_size; }
    // Counts `count` values written after the end as part of the array.
    void grow(size_t count) { m_size += count; }
    void push_back(T value)
    {
        *makeRoom(1) = value;
        ++m_size;
    }
    void resize(size_t size) { m_size = size; } // only ever shrinks, or keeps what makeRoom made
    void clear()
    {
        std::free(m_data);
        m_data = nullptr;
        m_size = m_capacity = 0;
    }

private:
    T *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace odbc
