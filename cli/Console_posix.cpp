#include "Console.h"

#include <csignal>

#include <termios.h>
#include <unistd.h>

namespace cli::console {

void write(std::FILE *stream, const QByteArray &utf8)
{
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stream);
}

void showUtf8() {}

bool redrawsLines(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

void closeOwnConsole() {}

namespace {

termios echoing;  // the terminal's settings while a secret is typed, to put back on an interrupt

void restoreEcho(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSANOW, &echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

std::optional<QString> readSecret(const QString &prompt)
{
    if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &echoing) != 0)
        return readInputLine();
    write(stderr, prompt.toUtf8());
    std::fflush(stderr);
    termios quiet = echoing;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    const auto interrupted = std::signal(SIGINT, restoreEcho), terminated = std::signal(SIGTERM, restoreEcho);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::optional<QString> secret = readInputLine();
    ::tcsetattr(STDIN_FILENO, TCSANOW, &echoing);
    std::signal(SIGINT, interrupted);
    std::signal(SIGTERM, terminated);
    write(stderr, "\n");  // the line end the user typed was not shown
    return secret;
}

}  // namespace cli::console
