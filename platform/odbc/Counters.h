#pragma once

#include <cstdint>

namespace odbc {

// How many statements the process has sent and transactions it has committed,
// so a measurement can count round trips per record rather than only time.
struct Counters {
    std::uint64_t statements = 0;
    std::uint64_t commits = 0;
};

inline Counters &counters()
{
    static Counters all;
    return all;
}

} // namespace odbc
