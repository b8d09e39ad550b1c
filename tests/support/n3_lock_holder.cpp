// Test helper: another program holding a write transaction on a database file. It takes the
// write lock (BEGIN IMMEDIATE), changes rows without committing, prints "locked", and keeps the
// lock until its standard input is closed; it then exits, and the change is rolled back.
#include <sqlite3.h>

#include <cstdio>

int main(int argc, char **argv)
{
    sqlite3 *db = nullptr;
    if (argc != 2 || sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 2;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE; UPDATE code SET bend = bend + 100;", nullptr, nullptr, nullptr) != SQLITE_OK) {
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
