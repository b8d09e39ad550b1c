#include "Console.h"

#include <unistd.h>

namespace cli::console {

void showUtf8()
{
}

bool redrawsLines(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace cli::console
