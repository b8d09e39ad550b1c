#include "Console.h"

#include <io.h>
#include <windows.h>

namespace cli::console {

void showUtf8()
{
    SetConsoleOutputCP(CP_UTF8);  // fails harmlessly where there is no console
}

// _isatty() is true of every character device, the null device too: only a console's handle
// has a console mode. Its escape sequences are taken once virtual-terminal processing is on
// (Windows 10 and later); an older console gets no bar rather than stray characters.
bool redrawsLines(std::FILE *stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
        || SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

} // namespace cli::console
