#include "Console.h"

#include <QString>

#include <iterator>

#include <io.h>
#include <windows.h>

namespace cli::console {

namespace {

// The console behind `stream`, or INVALID_HANDLE_VALUE where it goes to a file, a pipe or the
// null device (_isatty() is true of every character device, the null device too).
HANDLE consoleOf(std::FILE *stream)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : INVALID_HANDLE_VALUE;
}

}  // namespace

// Bytes written to a console are read in its code page, which SetConsoleOutputCP does not always
// make UTF-8 (Wine's console in a terminal went on reading them in its own): the console is given
// the text itself.
void write(std::FILE *stream, const QByteArray &utf8)
{
    const HANDLE console = consoleOf(stream);
    if (console == INVALID_HANDLE_VALUE) {
        std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stream);
        return;
    }
    std::fflush(stream);  // what went through the stream before comes first
    const QString text = QString::fromUtf8(utf8);
    DWORD written = 0;
    WriteConsoleW(console, text.utf16(), DWORD(text.size()), &written, nullptr);
}

void showUtf8()
{
    SetConsoleOutputCP(CP_UTF8);  // fails harmlessly where there is no console
}

// A console takes escape sequences once virtual-terminal processing is on (Windows 10 and later);
// an older console gets no bar rather than stray characters.
bool redrawsLines(std::FILE *stream)
{
    const HANDLE console = consoleOf(stream);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) || SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// The program is a console program, so that commands print where they are typed; started with a
// double click it gets a console of its own, which only it is attached to.
void closeOwnConsole()
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1)
        FreeConsole();
}

// A console is read as UTF-16 text with its echo off; the console keeps its line editing.
std::optional<QString> readSecret(const QString &prompt)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
        return readInputLine();
    write(stderr, prompt.toUtf8());
    SetConsoleMode(input, (mode | ENABLE_LINE_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    QString line;
    bool ended = false;
    for (;;) {
        wchar_t buffer[256];
        DWORD read = 0;
        if (!ReadConsoleW(input, buffer, DWORD(std::size(buffer)), &read, nullptr) || read == 0)
            break;
        line += QString::fromWCharArray(buffer, int(read));
        if (line.endsWith(QLatin1Char('\n'))) {
            ended = true;
            break;
        }
    }
    SetConsoleMode(input, mode);
    write(stderr, "\n");
    if (!ended && line.isEmpty())
        return std::nullopt;
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

}  // namespace cli::console
