#include "platform/Console.h"

#ifdef _WIN32
#include "platform/WindowsApi.h"

#include <cstdio>
#endif

namespace Console {

void attachToCaller()
{
#ifdef _WIN32
    const auto leadsNowhere = [](DWORD which) {
        const HANDLE handle = ::GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    const bool input = leadsNowhere(STD_INPUT_HANDLE);
    const bool output = leadsNowhere(STD_OUTPUT_HANDLE);
    const bool error = leadsNowhere(STD_ERROR_HANDLE);
    if (!(input || output || error) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (input)
        std::freopen("CONIN$", "r", stdin);
    if (output)
        std::freopen("CONOUT$", "w", stdout);
    if (error)
        std::freopen("CONOUT$", "w", stderr);
#endif
}

} // namespace Console
