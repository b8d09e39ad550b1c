// Test helper: another program holding a database file. It takes the write lock (BEGIN IMMEDIATE)
// and changes rows without committing, or with a second argument "read" only reads inside an open
// transaction; it prints "locked", and keeps the lock until its standard input is closed; it then
// exits, and any change is rolled back. With "die" it changes every row of GL_accsum and code with
// a cache too small to hold them, so the changes reach the file, and dies before committing: a hot
// rollback journal stays beside the file, as after a program killed mid-write.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    sqlite3 *db = nullptr;
    if (argc < 2 || sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 2;
    if (argc > 2 && std::strcmp(argv[2], "die") == 0) {
        if (sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; UPDATE GL_accsum SET mb = mb + 1; UPDATE code SET bend = bend + 100;",
                         nullptr, nullptr, nullptr)
            != SQLITE_OK)
            return 3;
        std::_Exit(0);
    }
    const bool read = argc > 2 && std::strcmp(argv[2], "read") == 0;
    const char *hold = read ? "BEGIN; SELECT count(*) FROM code;" : "BEGIN IMMEDIATE; UPDATE code SET bend = bend + 100;";
    if (sqlite3_exec(db, hold, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return 3;
    }
    std::puts("locked");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_close(db);  // never committed: the change is rolled back
    return 0;
}
