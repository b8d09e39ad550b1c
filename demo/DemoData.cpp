#include "DemoData.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

// An INTEGER column value that may be NULL.
struct NullableInt {
    bool isNull;
    int value;
};
constexpr NullableInt kNull{true, 0};
constexpr NullableInt nullable(int value)
{
    return {false, value};
}

// A failure the user reads: the message travels as UTF-8 inside std::runtime_error.
[[noreturn]] void failWith(const QString &message)
{
    throw std::runtime_error(message.toUtf8().toStdString());
}

// One new SQLite file being written in a single transaction. Owns the connection and every
// statement it prepares; destroying it without commit() rolls the work back.
class SqliteWriter {
public:
    explicit SqliteWriter(const QString &path) : m_path(path)
    {
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK)
            fail();
        exec("BEGIN");
    }
    ~SqliteWriter()
    {
        for (sqlite3_stmt *statement : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    SqliteWriter(const SqliteWriter &) = delete;
    SqliteWriter &operator=(const SqliteWriter &) = delete;

    void exec(const char *sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }

    // A statement to run many times with insert(); finalized with the writer.
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail();
        m_statements.push_back(statement);
        return statement;
    }

    // Runs `statement` once with `values` bound to its placeholders in order.
    template <typename... Values> void insert(sqlite3_stmt *statement, const Values &...values)
    {
        int index = 0;
        (bind(statement, ++index, values), ...);
        if (sqlite3_step(statement) != SQLITE_DONE)
            fail();
        sqlite3_reset(statement);
    }

    void commit() { exec("COMMIT"); }

private:
    void bind(sqlite3_stmt *s, int i, const QString &v)
    {
        const QByteArray utf8 = v.toUtf8();
        check(sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bind(sqlite3_stmt *s, int i, int v) { check(sqlite3_bind_int(s, i, v)); }
    void bind(sqlite3_stmt *s, int i, double v) { check(sqlite3_bind_double(s, i, v)); }
    void bind(sqlite3_stmt *s, int i, NullableInt v)
    {
        check(v.isNull ? sqlite3_bind_null(s, i) : sqlite3_bind_int(s, i, v.value));
    }
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail();
    }
    [[noreturn]] void fail()
    {
        const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("内存不足");
        failWith(QStringLiteral("写入数据库文件“%1”失败：%2").arg(QDir::toNativeSeparators(m_path), reason));
    }

    QString m_path;
    sqlite3 *m_db = nullptr;
    std::vector<sqlite3_stmt *> m_statements;
};

// Creates the new database `path` with `fill` in one transaction. Refuses an existing file so
// that nothing is ever overwritten, and removes the file again if anything fails.
void writeNewDatabase(const QString &path, const std::function<void(SqliteWriter &)> &fill)
{
    if (QFileInfo::exists(path))
        failWith(QStringLiteral("数据库文件“%1”已存在，不会覆盖。").arg(QDir::toNativeSeparators(path)));
    try {
        SqliteWriter writer(path);
        fill(writer);
        writer.commit();
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

// The account class the first digit of a code stands for in the Chinese chart.
QString accountClass(const QString &code)
{
    static const QStringList classes = {"资产", "负债", "共同", "权益", "成本", "损益"};
    const int digit = code.isEmpty() ? 0 : code.at(0).digitValue();
    return digit >= 1 && digit <= 6 ? classes[digit - 1] : QString();
}

// Whether the account normally carries a credit balance: liabilities, equity, revenue, and the
// asset accounts that hold allowances or accumulated depreciation.
bool creditNormal(const QString &code)
{
    static const QStringList contraAssets = {"1231", "1471", "1602", "1603", "1702"};
    const QChar first = code.at(0);
    return first == QLatin1Char('2') || first == QLatin1Char('4') || (first == QLatin1Char('6') && code.at(1) < QLatin1Char('4'))
           || contraAssets.contains(code.left(4));
}

// One period's balances of an account, in cents: opening (debit-positive), debit, credit, closing.
struct Amounts {
    qint64 opening = 0, debit = 0, credit = 0, closing = 0;
    Amounts &operator+=(const Amounts &other)
    {
        opening += other.opening;
        debit += other.debit;
        credit += other.credit;
        closing += other.closing;
        return *this;
    }
};

// For each account of the chart, itself and every account whose code begins its code: the
// accounts its balances add up into.
std::vector<std::vector<int>> ancestorsOf(const QVector<ChartAccount> &chart)
{
    QHash<QString, int> byCode;
    for (int i = 0; i < chart.size(); ++i)
        byCode.insert(chart[i].code, i);
    std::vector<std::vector<int>> ancestors(chart.size());
    for (int i = 0; i < chart.size(); ++i) {
        const QString &code = chart[i].code;
        for (qsizetype length = 1; length <= code.size(); ++length) {
            const auto found = byCode.constFind(code.left(length));
            if (found != byCode.constEnd())
                ancestors[i].push_back(*found);
        }
    }
    return ancestors;
}

// The balance direction the ledger writes beside an amount stored debit-positive.
QString direction(qint64 cents)
{
    return cents > 0 ? QStringLiteral("借") : cents < 0 ? QStringLiteral("贷") : QStringLiteral("平");
}

}  // namespace

void writeAccountSetDatabase(const QString &filePath, const QVector<ChartAccount> &chart, double wrongFlagShare, quint32 seed)
{
    writeNewDatabase(filePath, [&](SqliteWriter &db) {
        db.exec("CREATE TABLE code(ccode TEXT NOT NULL PRIMARY KEY, ccode_name TEXT, igrade INTEGER,"
                " bend INTEGER NOT NULL DEFAULT 0, cclass TEXT)");
        db.exec("CREATE TABLE GL_accsum(ccode TEXT NOT NULL, iperiod INTEGER NOT NULL, cbegind_c TEXT,"
                " mb NUMERIC, md NUMERIC, mc NUMERIC, cendd_c TEXT, me NUMERIC)");
        std::mt19937 rng(seed);
        auto below = [&rng](quint64 n) { return n ? qint64(rng() % n) : 0; };

        // Exactly round(share * rows) rows, picked by a partial shuffle, get the wrong flag.
        const int rows = int(chart.size());
        const int wrongCount = int(std::lround(std::clamp(wrongFlagShare, 0.0, 1.0) * rows));
        QVector<int> order(rows);
        std::iota(order.begin(), order.end(), 0);
        QVector<bool> wrong(rows, false);
        for (int i = 0; i < wrongCount; ++i) {
            std::swap(order[i], order[i + int(below(quint64(rows - i)))]);
            wrong[order[i]] = true;
        }
        sqlite3_stmt *insertCode = db.prepare("INSERT INTO code(ccode, ccode_name, igrade, bend, cclass) VALUES(?, ?, ?, ?, ?)");
        for (int i = 0; i < rows; ++i) {
            const ChartAccount &a = chart[i];
            db.insert(insertCode, a.code, a.name, a.grade, int(a.endLevel != wrong[i]), accountClass(a.code));
        }

        // About 60% of the end-level accounts get a year of balances: each period opens with the
        // previous one's closing balance, which wanders around its level and never crosses to
        // the unusual side. Every account above them carries, period by period, the sums of its
        // end-level accounts' amounts, so the general ledger agrees with the detail ledgers.
        std::vector<std::array<Amounts, 12>> sums(chart.size());
        std::vector<bool> hasBalances(chart.size(), false);
        const std::vector<std::vector<int>> ancestors = ancestorsOf(chart);
        bool anySampled = false;
        for (int i = 0; i < rows; ++i) {
            const ChartAccount &a = chart[i];
            if (!a.endLevel || (rng() % 10 >= 6 && anySampled))
                continue;
            anySampled = true;
            const bool credit = creditNormal(a.code);
            const qint64 sign = credit ? -1 : 1;
            qint64 balance = 100000 + below(50000000);
            for (int period = 0; period < 12; ++period) {
                const qint64 increase = 1000 + balance / 5 + below(quint64(balance * 6 / 10));
                const qint64 decrease =
                    1 + std::min((balance + increase) * 95 / 100, increase * 7 / 10 + below(quint64(increase * 6 / 10)));
                const qint64 closing = balance + increase - decrease;
                const Amounts amounts{sign * balance, credit ? decrease : increase, credit ? increase : decrease, sign * closing};
                for (const int account : ancestors[i]) {
                    sums[account][period] += amounts;
                    hasBalances[account] = true;
                }
                balance = closing;
            }
        }
        sqlite3_stmt *insertSum = db.prepare("INSERT INTO GL_accsum(ccode, iperiod, cbegind_c, mb, md, mc, cendd_c, me)"
                                             " VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        for (int i = 0; i < rows; ++i) {
            if (!hasBalances[i])
                continue;
            for (int period = 0; period < 12; ++period) {
                const Amounts &a = sums[i][period];
                db.insert(insertSum, chart[i].code, period + 1, direction(a.opening), double(a.opening) / 100.0,
                          double(a.debit) / 100.0, double(a.credit) / 100.0, direction(a.closing), double(a.closing) / 100.0);
            }
        }
        db.exec("CREATE INDEX ix_GL_accsum_ccode_iperiod ON GL_accsum(ccode, iperiod)");
    });
}

void plantBalanceDisagreements(const QString &filePath)
{
    sqlite3 *db = nullptr;
    const bool planted =
        sqlite3_open_v2(filePath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
        && sqlite3_exec(db,
                        // In code order the codes beginning with a code follow it at once, so a
                        // code has sub-accounts exactly when the next one begins with it: one
                        // sorted pass instead of a search of the chart for every ledger row.
                        "BEGIN;"
                        "CREATE TEMP TABLE parent(ccode TEXT PRIMARY KEY);"
                        "INSERT INTO parent SELECT ccode FROM (SELECT ccode, lead(ccode) OVER (ORDER BY ccode) AS next"
                        " FROM code) WHERE next LIKE ccode || '_%';"
                        "CREATE TEMP TABLE detail AS SELECT ccode FROM GL_accsum WHERE ccode NOT IN (SELECT ccode FROM parent)"
                        " ORDER BY length(ccode) DESC, ccode LIMIT 1;"
                        "UPDATE GL_accsum SET md = md + 1000, mc = mc + 1000 WHERE iperiod = 6 AND ccode IN (SELECT ccode FROM detail);"
                        "UPDATE GL_accsum SET md = md + 100 WHERE iperiod = 9 AND ccode = (SELECT g.ccode FROM GL_accsum g"
                        " WHERE length(g.ccode) = 4 AND g.ccode IN (SELECT ccode FROM parent)"
                        " AND (SELECT ccode FROM detail) NOT LIKE g.ccode || '%' ORDER BY g.ccode LIMIT 1);"
                        "DROP TABLE detail;"
                        "DROP TABLE parent;"
                        "COMMIT;",
                        nullptr, nullptr, nullptr)
               == SQLITE_OK;
    const QString reason = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("内存不足");
    sqlite3_close(db);
    if (!planted)
        failWith(QStringLiteral("写入数据库文件“%1”失败：%2").arg(QDir::toNativeSeparators(filePath), reason));
}

void writeSystemDatabase(const QString &filePath, const QVector<DemoAccountSet> &sets)
{
    writeNewDatabase(filePath, [&](SqliteWriter &db) {
        db.exec("CREATE TABLE KS_Account(cAcc_Id TEXT NOT NULL, cAcc_Name TEXT, cAcc_Path TEXT, iYear INTEGER,"
                " cUnitName TEXT)");
        db.exec("CREATE TABLE KS_period(cacc_id TEXT NOT NULL, iyear INTEGER, iperiod INTEGER, dbegin TEXT,"
                " dend TEXT, bisdelete INTEGER)");
        sqlite3_stmt *insertSet = db.prepare("INSERT INTO KS_Account VALUES(?, ?, ?, ?, ?)");
        sqlite3_stmt *insertPeriod = db.prepare("INSERT INTO KS_period VALUES(?, ?, ?, ?, ?, ?)");
        const QString dataPath = QDir::toNativeSeparators(QFileInfo(filePath).absolutePath());
        for (const DemoAccountSet &set : sets) {
            QVector<int> years = set.liveYears + set.deletedYears;
            std::sort(years.begin(), years.end());
            // KS_Account names the year the set was opened.
            db.insert(insertSet, set.id, set.name, dataPath, years.isEmpty() ? kNull : nullable(years.first()), set.name);
            for (int year : years) {
                const bool deleted = set.deletedYears.contains(year) && !set.liveYears.contains(year);
                for (int period = 1; period <= 12; ++period) {
                    const QDate begin(year, period, 1);
                    // Live periods are marked 0, some left NULL, which must read as live too.
                    const NullableInt flag = deleted ? nullable(1) : period % 4 == 0 ? kNull : nullable(0);
                    db.insert(insertPeriod, set.id, year, period, begin.toString(Qt::ISODate),
                              begin.addDays(begin.daysInMonth() - 1).toString(Qt::ISODate), flag);
                }
            }
            // One row of year 9999, which is no fiscal year and must never be listed as one.
            if (&set == &sets.first())
                db.insert(insertPeriod, set.id, 9999, 1, QStringLiteral("9999-01-01"), QStringLiteral("9999-01-31"), nullable(0));
        }
        db.exec("CREATE INDEX ix_KS_period_cacc_id ON KS_period(cacc_id, iyear)");
    });
}

QVector<DemoAccountSet> demoAccountSets()
{
    return {
        {QStringLiteral("001"), QStringLiteral("演示工业有限公司"), {2006, 2007}, {}},
        {QStringLiteral("002"), QStringLiteral("演示商贸有限公司"), {2006, 2007}, {2005}},
        {QStringLiteral("003"), QStringLiteral("演示服务有限公司"), {2007}, {2006}},
        {QStringLiteral("667"), QStringLiteral("澄岚示范单位"), {2007}, {}},
    };
}

bool directoryHoldsDatabase(const QString &dir)
{
    const QStringList found = QDir(dir).entryList({QStringLiteral("*.db")}, QDir::Files | QDir::Hidden | QDir::System);
    return !found.isEmpty();
}

QString accountSetFileName(const QString &id, int year)
{
    return QStringLiteral("LQDATA_%1_%2.db").arg(id).arg(year);
}

void createDemoDataDirectory(const QString &dir, int codesPerChart)
{
    if (codesPerChart < 0 || codesPerChart > MaxDemoChartCodes)
        failWith(QStringLiteral("科目数须在 1 到 %1 之间。").arg(MaxDemoChartCodes));
    const QString shown = QDir::toNativeSeparators(dir);
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir())
        failWith(QStringLiteral("“%1”不是目录。").arg(shown));
    const bool created = !info.exists();
    if (!QDir().mkpath(dir))
        failWith(QStringLiteral("无法创建目录“%1”。").arg(shown));
    if (directoryHoldsDatabase(dir))
        failWith(QStringLiteral("目录“%1”中已有数据库文件，演示数据不会覆盖已有数据。").arg(shown));

    const QDir target(dir);
    QStringList written;
    try {
        const QVector<DemoAccountSet> sets = demoAccountSets();
        const QString systemFile = target.filePath(QStringLiteral("LQsystem.db"));
        writeSystemDatabase(systemFile, sets);
        written << systemFile;
        for (const DemoAccountSet &set : sets) {
            for (int year : set.liveYears) {
                // Each set and year has its own chart of 60 to 150 accounts, the same every run.
                const quint32 seed = set.id.toUInt() * 10000u + quint32(year);
                const int codeCount = codesPerChart > 0 ? codesPerChart : 60 + int(std::mt19937(seed)() % 91);
                const QString file = target.filePath(accountSetFileName(set.id, year));
                writeAccountSetDatabase(file, generateChart(codeCount, {4, 2, 2}, seed), 0.1, seed);
                written << file;
                plantBalanceDisagreements(file);
            }
        }
    } catch (...) {
        // Leave the directory as it was: the files this run completed go (a failed one removes
        // itself), and the directory too if this run created it.
        for (const QString &file : written)
            QFile::remove(file);
        if (created)
            QDir().rmdir(dir);
        throw;
    }
}

QString prepareDemoData(const QString &dir)
{
    try {
        if (!directoryHoldsDatabase(dir))
            createDemoDataDirectory(dir);
        return QString();
    } catch (const std::exception &e) {
        return QStringLiteral("生成演示数据失败：%1").arg(QString::fromUtf8(e.what()));
    }
}
