// Test helper: another program writing to a database file while the tool works on it, as any
// program does: with a busy timeout of 5 s it waits for the write lock, one short transaction at a
// time. Until its standard input is closed it adds a row to table other_writes (made first) every
// 50 ms, holding the number of chart rows whose flag (table code) is no longer 9 at that moment.
// Prints how many it wrote, or the error of the write that failed and exits 3.
#include <sqlite3.h>

#include <cstdio>

#include <poll.h>
#include <unistd.h>

namespace {

// Waits up to `ms` for the end of standard input; true once it came.
bool inputClosed(int ms)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    char byte;
    return ::poll(&input, 1, ms) > 0 && ::read(STDIN_FILENO, &byte, 1) <= 0;
}

}  // namespace

int main(int argc, char **argv)
{
    sqlite3 *db = nullptr;
    if (argc != 2 || sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 2;
    sqlite3_busy_timeout(db, 5000);
    int written = 0;
    const char *write = "BEGIN IMMEDIATE; insert into other_writes select count(*) from code where bend is not 9; COMMIT;";
    do {
        char *error = nullptr;
        if (sqlite3_exec(db, write, nullptr, nullptr, &error) != SQLITE_OK) {
            std::printf("%s\n", error);
            return 3;
        }
        ++written;
    } while (!inputClosed(50));
    sqlite3_close(db);
    std::printf("wrote %d\n", written);
    return 0;
}
