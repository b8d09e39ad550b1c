#include "Console.h"

#include <unistd.h>

namespace cli::console {

void write(std::FILE *stream, const QByteArray &utf8)
{
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stream);
}

void showUtf8()
{
}

bool redrawsLines(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

void closeOwnConsole()
{
}

} // namespace cli::console
