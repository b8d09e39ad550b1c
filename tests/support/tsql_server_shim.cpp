// Test helper, preloaded (LD_PRELOAD) into a test: makes Debian's SQLite ODBC driver stand in for
// SQL Server, so the tool takes its T-SQL path against real database files.
//  - SQLGetInfo(W) names the product behind every connection "Microsoft SQL Server";
//  - with N3_SHIM_NOCOUNT=1 in the environment, SQLRowCount reports -1, as a server does with
//    NOCOUNT on;
//  - every database the driver opens gets T-SQL's left(x,n) and len(x), which SQLite lacks. Like
//    the server they take a number as its text, keep NULL, count in UTF-16 code units, and len
//    ignores trailing blanks. LEFT is a keyword to SQLite's parser, so a call left( in a statement
//    (SQLPrepareW, SQLExecDirectW: all Qt uses) is passed on as "left"(, the same function under a
//    quoted name; the statement is otherwise passed on as it came;
//  - every statement the tool sends (SQLExecDirect(W), SQLExecute) is counted, so a test sees how
//    often a repair talks to the server;
//  - the server's catalogue of triggers and views as far as the tool reads it: object_id(name),
//    and sys.triggers (name, parent_id) and sys.views (object_id), filled from sqlite_master
//    when the driver opens the database.
// Everything else goes to the real functions, found with dlsym(RTLD_NEXT, ...).
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char DbmsName[] = "Microsoft SQL Server";

std::atomic<long> tsqlCalls{0};
std::atomic<long> statementsSent{0};

template <typename Function> Function real(const char *name)
{
    static_assert(sizeof(Function) == sizeof(void *));
    void *symbol = dlsym(RTLD_NEXT, name);
    if (!symbol)
        std::abort();
    Function function;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

// Copies the product name into an SQLGetInfo buffer of `bytes` bytes as characters of type Char,
// truncated and terminated as ODBC does, and gives the whole name's length in bytes.
template <typename Char> SQLRETURN answerDbmsName(SQLPOINTER value, SQLSMALLINT bytes, SQLSMALLINT *length)
{
    const std::size_t size = sizeof DbmsName - 1;
    if (length)
        *length = SQLSMALLINT(size * sizeof(Char));
    if (!value)
        return SQL_SUCCESS;
    if (bytes < SQLSMALLINT(sizeof(Char)))
        return SQL_SUCCESS_WITH_INFO;
    const std::size_t room = std::size_t(bytes) / sizeof(Char) - 1;
    const std::size_t copied = size < room ? size : room;
    Char *out = static_cast<Char *>(value);
    for (std::size_t i = 0; i < copied; ++i)
        out[i] = Char(DbmsName[i]);
    out[copied] = 0;
    return copied < size ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// The UTF-16 code units of the character whose UTF-8 sequence starts with `lead`: two for the
// characters beyond the basic plane, one otherwise, none for a continuation byte. The server
// counts and cuts Unicode text in these units.
int utf16Units(unsigned char lead)
{
    if ((lead & 0xC0) == 0x80)
        return 0;
    return lead >= 0xF0 ? 2 : 1;
}

// left(text, n): the first n characters; NULL when either argument is NULL.
void tsqlLeft(sqlite3_context *context, int, sqlite3_value **arguments)
{
    ++tsqlCalls;
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const sqlite3_int64 count = sqlite3_value_int64(arguments[1]);
    if (count < 0) {
        sqlite3_result_error(context, "Invalid length parameter passed to the left function.", -1);
        return;
    }
    const unsigned char *text = sqlite3_value_text(arguments[0]);
    const int bytes = sqlite3_value_bytes(arguments[0]);
    int end = 0;
    for (sqlite3_int64 taken = 0; end < bytes && taken + utf16Units(text[end]) <= count;) {
        taken += utf16Units(text[end]);
        ++end;
        while (end < bytes && utf16Units(text[end]) == 0)
            ++end;
    }
    sqlite3_result_text(context, reinterpret_cast<const char *>(text), end, SQLITE_TRANSIENT);
}

// len(text): its length, not counting trailing blanks; NULL for NULL.
void tsqlLen(sqlite3_context *context, int, sqlite3_value **arguments)
{
    ++tsqlCalls;
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const unsigned char *text = sqlite3_value_text(arguments[0]);
    int bytes = sqlite3_value_bytes(arguments[0]);
    while (bytes > 0 && text[bytes - 1] == ' ')
        --bytes;
    sqlite3_int64 units = 0;
    for (int i = 0; i < bytes; ++i)
        units += utf16Units(text[i]);
    sqlite3_result_int64(context, units);
}

// object_id(name): the number of the table or view of that name (sqlite_master's rowid), or NULL.
void tsqlObjectId(sqlite3_context *context, int, sqlite3_value **arguments)
{
    sqlite3_stmt *find = nullptr;
    sqlite3_prepare_v2(sqlite3_context_db_handle(context),
                       "select rowid from main.sqlite_master where type in ('table','view') and name=?1 collate nocase", -1,
                       &find, nullptr);
    sqlite3_bind_value(find, 1, arguments[0]);
    if (sqlite3_step(find) == SQLITE_ROW)
        sqlite3_result_int64(context, sqlite3_column_int64(find, 0));
    else
        sqlite3_result_null(context);
    sqlite3_finalize(find);
}

// The schema sys of the server's catalogue, as the database holds it when it is opened.
const char Catalogue[] =
    "attach ':memory:' as sys;"
    "create table sys.triggers(name text, parent_id integer);"
    "create table sys.views(object_id integer);"
    "insert into sys.triggers select name, (select rowid from main.sqlite_master o where o.type in ('table','view')"
    " and o.name=t.tbl_name collate nocase) from main.sqlite_master t where type='trigger';"
    "insert into sys.views select rowid from main.sqlite_master where type='view';";

bool isWordCharacter(SQLWCHAR c)
{
    return c == '_' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// `statement` with each call left( outside quotes and brackets written "left"(.
std::vector<SQLWCHAR> quoteLeftCalls(const SQLWCHAR *text, SQLINTEGER length)
{
    std::size_t size = std::size_t(length);
    if (length == SQL_NTS)
        for (size = 0; text[size];)
            ++size;
    const std::vector<SQLWCHAR> in(text, text + size);
    std::vector<SQLWCHAR> out;
    SQLWCHAR closing = 0;  // the character that ends the quoted text being copied
    for (std::size_t i = 0; i < in.size(); ++i) {
        const SQLWCHAR c = in[i];
        if (closing) {
            closing = c == closing ? 0 : closing;
        } else if (c == '\'' || c == '"') {
            closing = c;
        } else if (c == '[') {
            closing = ']';
        } else if ((c | 0x20) == 'l' && (i == 0 || !isWordCharacter(in[i - 1])) && i + 4 <= in.size() && (in[i + 1] | 0x20) == 'e'
                   && (in[i + 2] | 0x20) == 'f' && (in[i + 3] | 0x20) == 't') {
            std::size_t next = i + 4;
            while (next < in.size() && (in[next] == ' ' || in[next] == '\t' || in[next] == '\r' || in[next] == '\n'))
                ++next;
            if (next < in.size() && in[next] == '(') {
                for (const char q : {'"', 'l', 'e', 'f', 't', '"'})
                    out.push_back(SQLWCHAR(q));
                i += 3;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

// Whether `caller` lies in the SQLite ODBC driver: only the driver's databases play the server.
bool calledByDriver(const void *caller)
{
    Dl_info info;
    return dladdr(caller, &info) && info.dli_fname && std::strstr(info.dli_fname, "sqlite3odbc");
}

}  // namespace

extern "C" {

// How many times left() and len() were answered here; a test reads it (and finds the shim by it).
__attribute__((visibility("default"))) long n3_tsql_shim_calls()
{
    return tsqlCalls.load();
}

// How many statements the tool has sent to the driver manager to be run.
__attribute__((visibility("default"))) long n3_tsql_shim_statements()
{
    return statementsSent.load();
}

__attribute__((visibility("default"))) SQLRETURN SQLExecute(SQLHSTMT statement)
{
    static const auto forward = real<SQLRETURN (*)(SQLHSTMT)>("SQLExecute");
    ++statementsSent;
    return forward(statement);
}

__attribute__((visibility("default"))) SQLRETURN SQLExecDirect(SQLHSTMT statement, SQLCHAR *text, SQLINTEGER length)
{
    static const auto forward = real<SQLRETURN (*)(SQLHSTMT, SQLCHAR *, SQLINTEGER)>("SQLExecDirect");
    ++statementsSent;
    return forward(statement, text, length);
}

__attribute__((visibility("default"))) SQLRETURN SQLGetInfo(SQLHDBC connection, SQLUSMALLINT type, SQLPOINTER value,
                                                            SQLSMALLINT bytes, SQLSMALLINT *length)
{
    static const auto forward = real<SQLRETURN (*)(SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT *)>("SQLGetInfo");
    const SQLRETURN result = forward(connection, type, value, bytes, length);
    if (type != SQL_DBMS_NAME || !SQL_SUCCEEDED(result))
        return result;
    return answerDbmsName<SQLCHAR>(value, bytes, length);
}

__attribute__((visibility("default"))) SQLRETURN SQLGetInfoW(SQLHDBC connection, SQLUSMALLINT type, SQLPOINTER value,
                                                             SQLSMALLINT bytes, SQLSMALLINT *length)
{
    static const auto forward = real<SQLRETURN (*)(SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT *)>("SQLGetInfoW");
    const SQLRETURN result = forward(connection, type, value, bytes, length);
    if (type != SQL_DBMS_NAME || !SQL_SUCCEEDED(result))
        return result;
    return answerDbmsName<SQLWCHAR>(value, bytes, length);
}

__attribute__((visibility("default"))) SQLRETURN SQLRowCount(SQLHSTMT statement, SQLLEN *rows)
{
    static const auto forward = real<SQLRETURN (*)(SQLHSTMT, SQLLEN *)>("SQLRowCount");
    const SQLRETURN result = forward(statement, rows);
    const char *nocount = std::getenv("N3_SHIM_NOCOUNT");
    if (SQL_SUCCEEDED(result) && rows && nocount && std::strcmp(nocount, "1") == 0)
        *rows = -1;
    return result;
}

__attribute__((visibility("default"))) SQLRETURN SQLPrepareW(SQLHSTMT statement, SQLWCHAR *text, SQLINTEGER length)
{
    static const auto forward = real<SQLRETURN (*)(SQLHSTMT, SQLWCHAR *, SQLINTEGER)>("SQLPrepareW");
    if (!text)
        return forward(statement, text, length);
    std::vector<SQLWCHAR> passed = quoteLeftCalls(text, length);
    return forward(statement, passed.data(), SQLINTEGER(passed.size()));
}

__attribute__((visibility("default"))) SQLRETURN SQLExecDirectW(SQLHSTMT statement, SQLWCHAR *text, SQLINTEGER length)
{
    static const auto forward = real<SQLRETURN (*)(SQLHSTMT, SQLWCHAR *, SQLINTEGER)>("SQLExecDirectW");
    ++statementsSent;
    if (!text)
        return forward(statement, text, length);
    std::vector<SQLWCHAR> passed = quoteLeftCalls(text, length);
    return forward(statement, passed.data(), SQLINTEGER(passed.size()));
}

// The driver opens its database file with sqlite3_open_v2 only.
__attribute__((visibility("default"))) int sqlite3_open_v2(const char *file, sqlite3 **database, int flags, const char *vfs)
{
    static const auto forward = real<int (*)(const char *, sqlite3 **, int, const char *)>("sqlite3_open_v2");
    const int result = forward(file, database, flags, vfs);
    if (result != SQLITE_OK || !calledByDriver(__builtin_return_address(0)))
        return result;
    const int text = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function(*database, "left", 2, text, nullptr, tsqlLeft, nullptr, nullptr) != SQLITE_OK
        || sqlite3_create_function(*database, "len", 1, text, nullptr, tsqlLen, nullptr, nullptr) != SQLITE_OK
        || sqlite3_create_function(*database, "object_id", 1, SQLITE_UTF8, nullptr, tsqlObjectId, nullptr, nullptr) != SQLITE_OK
        || sqlite3_exec(*database, Catalogue, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    return result;
}

}  // extern "C"
