// The index of the journals' headers kept beside them: a listing through it is the listing the
// journals themselves give, whatever became of the index or of the journals since it was written
// (missing, garbage, another layout, a damaged entry, journals changed, added or gone, a read-only
// folder, another program holding the index, several programs listing at once), in this process and
// in n3fix --journal as a real process.
#include "db/ODBC.h"
#include "repair/Journal.h"
#include "repair/JournalIndex.h"
#include "repair/JournalReader.h"
#include "repair/PendingSettings.h"
#include "support/DataDirectoryTest.h"
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using repair::Outcome;
using repair::RepairKind;

// Every field of each repair listed, one line each, in the listing's order.
QStringList described(const QList<repair::RepairRecord> &repairs)
{
    QStringList lines;
    for (const repair::RepairRecord &r : repairs) {
        QStringList fields{r.id, r.time.toString(Qt::ISODateWithMs), r.database, r.engine, repair::storedName(r.repair)};
        fields << r.accountSet << r.year << r.code << r.period << r.undoes << r.table << r.rowidName << r.changedColumns.join(',')
               << r.keyColumns.join(',') << repair::storedName(r.outcome) << QString::number(r.rowsDone)
               << QString::number(r.rowsChanged) << QString::number(r.rowsVisited) << r.user << r.host << r.message
               << r.journalModeToRestore << QString::number(r.settingsPending) << QString::number(r.running) << r.undoneBy;
        lines << fields.join('|');
    }
    return lines;
}

// Sets the file's times to `seconds` ago, as a journal written then has them: set by the system
// call on its name, which opens nothing.
void writtenAgo(const QString &path, int seconds)
{
    timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

}  // namespace

class JournalIndexTest : public DataDirectoryTest {
    Q_OBJECT
    QString journals() const { return repair::journalDirectory(); }
    QString journal(const QString &id) const { return QDir(journals()).filePath(id + ".journal"); }
    QString index() const { return QDir(journals()).filePath(repair::JournalIndex::FileName); }

    ProcessRun n3fix(const QStringList &arguments) { return runOnData(N3FIX, m_dir->path(), arguments); }

    // A journal as a repair of `kind` writes it, with `rows` rows, ended with `outcome` (Unrecorded:
    // its program died first); returns its id.
    QString writeJournal(RepairKind kind, Outcome outcome, int rows = 3, const QString &undoes = QString(),
                         bool settingsPending = false)
    {
        repair::Journal journal(journals(), startOf(kind, undoes, settingsPending));
        for (int i = 0; i < rows; ++i)
            journal.addRow({qlonglong(i + 1), {QStringLiteral("10%1").arg(i)}, {0}, {1}});
        journal.setRowsVisited(rows * 10);
        journal.flush();
        if (outcome != Outcome::Unrecorded)
            journal.finish(outcome, outcome == Outcome::Stopped ? rows - 1 : rows, rows - 1,
                           outcome == Outcome::Failed ? QStringLiteral("磁盘已满") : QString());
        return journal.record().id;
    }

    repair::RepairRecord startOf(RepairKind kind, const QString &undoes = QString(), bool settingsPending = false)
    {
        repair::RepairRecord record =
            repair::newRepairRecord(kind, "LQDATA_001_2007", "001", "2007", kind == RepairKind::EndFlags ? "code" : "GL_accsum");
        record.rowidName = "rowid";
        record.changedColumns = {kind == RepairKind::EndFlags ? "bend" : "mb"};
        record.keyColumns = {"ccode"};
        record.undoes = undoes;
        if (kind == RepairKind::BalanceReset) {
            record.code = "1002";
            record.period = "3";
        }
        record.journalModeToRestore = settingsPending ? "delete" : "";
        record.settingsPending = settingsPending;
        return record;
    }

    // Every journal in the folder written an hour ago, so each is settled enough to be indexed.
    void settleAll()
    {
        for (const QString &name : QDir(journals()).entryList({"*.journal"}, QDir::Files))
            writtenAgo(QDir(journals()).filePath(name), 3600);
    }

    // The listing the journals alone give: what the index must give too.
    QStringList fromJournals() { return described(repair::listRepairs(journals(), repair::HeaderSource::Journals)); }
    QStringList listed() { return described(repair::listRepairs(journals())); }
    // The journals the index holds an entry for, by name.
    QString indexed() { return SqliteFixture::select(index(), "select name from entry order by name"); }
    static QString names(QStringList ids)
    {
        ids.sort();
        QString text;
        for (const QString &id : ids)
            text += "t:'" + id + ".journal'\n";
        return text;
    }

    // Writes a folder of repairs of every kind and outcome, an undo, one of an earlier version, one
    // whose program died, an empty file and a torn one (neither listed), all settled. m_ended gets
    // the ids of those that can be indexed (ended, their outcome recorded), m_died the died one's.
    void writeFolder()
    {
        m_ended = QStringList{writeJournal(RepairKind::EndFlags, Outcome::Completed),
                              writeJournal(RepairKind::EndFlags, Outcome::Stopped),
                              writeJournal(RepairKind::EndFlags, Outcome::Failed),
                              writeJournal(RepairKind::BalanceReset, Outcome::Completed),
                              writeJournal(RepairKind::BalanceReset, Outcome::RolledBack),
                              writeJournal(RepairKind::RecomputeBalances, Outcome::Completed, 0)};
        m_ended << writeJournal(RepairKind::Undo, Outcome::Completed, 3, m_ended.first());
        m_died = writeJournal(RepairKind::EndFlags, Outcome::Unrecorded);
        SqliteFixture::run(journal("20260101-000000-000"),
                           "create table repair(id, time, database, engine, repair, account_set, year, code, period, undoes,"
                           " table_name, rowid_name, changed_columns, key_columns, outcome, rows_done, rows_changed, message,"
                           " journal_mode, settings_pending);"
                           "insert into repair values('20260101-000000-000','2026-01-01T00:00:00.000+08:00','LQDATA_001_2007',"
                           "'embedded','end-flags','001','2007','','','','code','rowid','[\"bend\"]','[\"ccode\"]','completed',"
                           "2,1,null,null,0);"
                           "create table row(seq integer primary key, row_id, old0, new0, key0);");
        m_ended << "20260101-000000-000";
        QFile empty(journal("20260102-000000-000"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        QFile torn(journal("20260103-000000-000"));
        QVERIFY(torn.open(QIODevice::WriteOnly));
        QCOMPARE(torn.write(QByteArray(5000, 'x')), 5000);
        torn.close();
        settleAll();
    }

    // Each repair of a listing printed by n3fix --journal --json: its id, rows, whether it runs and
    // which undo undid it.
    static QStringList summary(const QJsonDocument &json)
    {
        QStringList lines;
        const QJsonArray repairs = json.array();
        for (const QJsonValue r : repairs)
            lines << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(r["id"].toString(), QString::number(r["rows_done"].toInteger(-1)),
                              QString::number(r["rows_changed"].toInteger(-1)))
                         .arg(r["running"].toBool())
                         .arg(r["undone_by"].toString());
        return lines;
    }
    // The same of the repairs the journals alone give.
    QStringList summaryOfJournals()
    {
        QStringList lines;
        for (const repair::RepairRecord &r : repair::listRepairs(journals(), repair::HeaderSource::Journals))
            lines << QStringLiteral("%1|%2|%3|%4|%5").arg(r.id).arg(r.rowsDone).arg(r.rowsChanged).arg(r.running).arg(r.undoneBy);
        return lines;
    }

private slots:
    void initTestCase() { registerOdbcDriver(); }
    void init() { useFreshDataDirectory(); }
    void cleanup()
    {
        m_running.reset();
        QFile::setPermissions(journals(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        endHelper();
        removeDataDirectory();
    }

    // The first listing makes the index, the next reads it: both are the journals' own listing, the
    // index never among the repairs; it holds the ended repairs alone, and n3fix --journal as a
    // process then opens only the journals it can't hold (running, died, torn) and prints the same.
    void listedAsTheJournalsSay()
    {
        writeFolder();
        const QStringList &ended = m_ended;
        m_running = std::make_unique<repair::Journal>(journals(), startOf(RepairKind::EndFlags));
        m_running->flush();
        writtenAgo(journal(m_running->record().id), 3600);
        const QStringList expected = fromJournals();
        QCOMPARE(expected.size(), ended.size() + 2);  // and the died and the running one
        // each as its journal says, read here with SQLite alone
        for (const QString &id : ended)
            QVERIFY2(expected.filter(QRegularExpression("^" + id + "\\|")).size() == 1, qPrintable(id));
        QCOMPARE(SqliteFixture::select(journal(ended.first()), "select outcome, rows_done from repair"), "t:'completed'|i:3\n");
        QVERIFY(!QFileInfo::exists(index()));

        QCOMPARE(listed(), expected);
        QCOMPARE(indexed(), names(ended));
        QCOMPARE(listed(), expected);

        const ProcessRun text = n3fix({"--journal"});
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out.count('\n'), qsizetype(expected.size()));
        QFile::remove(index());  // no connection to it is open here now
        QCOMPARE(n3fix({"--journal"}).out, text.out);
        const ProcessRun json = n3fix({"--journal", "--json"});
        QCOMPARE(json.json().array().size(), expected.size());
        QCOMPARE(indexed(), names(ended));
        QCOMPARE(n3fix({"--journal", "--json"}).out, json.out);

        if (QStandardPaths::findExecutable("strace").isEmpty())
            SKIP_UNLESS_CI("strace is not installed: which journals a listing opens is not looked at");
        const QString trace = m_dir->filePath("trace");
        const ProcessRun traced = runProcess(
            "strace", {"-f", "-e", "trace=openat", "-o", trace, N3FIX, "--journal", "--json", "--data-dir", m_dir->path()});
        QCOMPARE(traced.out, json.out);
        QFile log(trace);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QStringList opened;
        for (const QByteArray &line : log.readAll().split('\n'))
            if (const QRegularExpressionMatch match = QRegularExpression("/([^/\"]+)\\.journal\"").match(QString::fromUtf8(line));
                match.hasMatch() && !opened.contains(match.captured(1)))
                opened << match.captured(1);
        opened.sort();
        QStringList unindexed{m_running->record().id, m_died, "20260103-000000-000"};
        unindexed.sort();
        QCOMPARE(opened, unindexed);
    }

    // An index that is missing, garbage, of another layout, cut short, or with an entry damaged is
    // made anew from the journals, silently: the listing is the journals' all the same.
    void unusableIndexMadeAnew_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char *damage : {"missing", "garbage", "another layout", "cut short", "entry damaged", "entry of another name"})
            QTest::newRow(damage) << damage;
    }
    void unusableIndexMadeAnew()
    {
        QFETCH(QString, damage);
        writeFolder();
        const QStringList &ended = m_ended;
        const QStringList expected = fromJournals();
        QCOMPARE(listed(), expected);
        QCOMPARE(indexed(), names(ended));
        // no connection to the index is open in this process while it is damaged
        if (damage == "missing") {
            QVERIFY(QFile::remove(index()));
        } else if (damage == "garbage") {
            QFile file(index());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            for (int i = 0; i < 4096; ++i)
                file.write(QByteArray::number(i * 7919 % 256, 16));
        } else if (damage == "another layout") {
            QVERIFY(QFile::remove(index()));
            SqliteFixture::run(index(), "create table entry(name, header); insert into entry values('x.journal', 'y');"
                                        "pragma user_version=7;");
        } else if (damage == "cut short") {
            QVERIFY(QFile::resize(index(), QFileInfo(index()).size() / 2));
        } else if (damage == "entry damaged") {
            SqliteFixture::run(index(), "update entry set outcome='stopped' where name='" + ended.first() + ".journal'");
        } else {
            SqliteFixture::run(index(), QStringLiteral("delete from entry where name='%1.journal';"
                                                       "update entry set name='%1.journal' where name='%2.journal'")
                                            .arg(ended.first(), ended.last()));
        }
        QCOMPARE(listed(), expected);
        QCOMPARE(indexed(), names(ended));
        QCOMPARE(SqliteFixture::select(index(), "select outcome from entry where name='" + ended.first() + ".journal'"),
                 "t:'completed'\n");
        QCOMPARE(listed(), expected);
        QCOMPARE(n3fix({"--journal", "--json"}).json().array().size(), expected.size());
    }

    // A journal changed after it was indexed is read again: an outcome recorded since the listing
    // before, within the same second, the memo flag a later walk clears, a header edited with its
    // size and modification time put back. A journal added is listed, one removed is not, and the
    // index follows.
    void changedJournalsReadAgain()
    {
        writeFolder();
        const QStringList &ended = m_ended;
        const QString pending = writeJournal(RepairKind::EndFlags, Outcome::Completed, 3, QString(), true);
        settleAll();
        QCOMPARE(listed(), fromJournals());
        QCOMPARE(indexed(), names(QStringList(ended) << pending));

        // a repair running while the folder is listed, and ending right after
        auto running = std::make_unique<repair::Journal>(journals(), startOf(RepairKind::BalanceReset));
        running->addRow({qlonglong(1), {QStringLiteral("1002")}, {5}, {0}});
        running->flush();
        const QString id = running->record().id;
        QCOMPARE(listed(), fromJournals());
        QVERIFY(listed().filter(id + "|").first().endsWith("|||0|1|"));
        QCOMPARE(running->finish(Outcome::Completed, 1, 1), QString());
        running.reset();
        const QStringList now = listed();
        QCOMPARE(now, fromJournals());
        QVERIFY(now.filter(id + "|").first().contains("|completed|1|1|"));

        // the memo flag cleared in an older journal by a later walk
        QVERIFY(now.filter(pending + "|").first().endsWith("|delete|1|0|"));
        repair::settleOlderJournal(journals(), {"delete", pending}, id);
        QVERIFY(listed().filter(pending + "|").first().endsWith("|delete|0|0|"));
        QCOMPARE(listed(), fromJournals());

        // a header edited in place, its size and modification time as they were
        const QString edited = journal(ended.at(1));
        struct stat before {};
        QVERIFY(::stat(QFile::encodeName(edited).constData(), &before) == 0);
        SqliteFixture::run(edited, "update repair set rows_changed=rows_changed+1");
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(edited).constData(), times, 0) == 0);
        QCOMPARE(QFileInfo(edited).size(), qint64(before.st_size));
        QVERIFY(listed().filter(ended.at(1) + "|").first().contains("|stopped|2|3|"));
        QCOMPARE(listed(), fromJournals());

        // one gone, one added
        QVERIFY(QFile::remove(journal(ended.at(2))));
        const QString added = writeJournal(RepairKind::RecomputeBalances, Outcome::Completed);
        const QStringList afterwards = listed();
        QCOMPARE(afterwards, fromJournals());
        QVERIFY(afterwards.filter(ended.at(2) + "|").isEmpty());
        QCOMPARE(afterwards.filter(added + "|").size(), 1);
        settleAll();
        QCOMPARE(listed(), fromJournals());
        QStringList indexable = QStringList(ended) << pending << id << added;
        indexable.removeAll(ended.at(2));
        QCOMPARE(indexed(), names(indexable));
    }

    // Where the folder can't be written the listing is read from the journals, says nothing of the
    // index, and leaves it as it was: none made, or one out of date kept.
    void readOnlyFolder()
    {
        writeFolder();
        const ProcessRun shown = n3fix({"--journal", "--json"});
        QCOMPARE(summary(shown.json()), summaryOfJournals());
        QVERIFY(QFile::remove(index()));
        // as root, a folder's mode stops no write: n3fix then runs without the right to pass over it
        const auto readOnlyListing = [&] {
            const QStringList arguments{"--journal", "--json", "--data-dir", m_dir->path()};
            if (::geteuid() == 0)
                return runProcess("setpriv",
                                  QStringList{"--bounding-set=-dac_override,-dac_read_search,-fowner", "--inh-caps=-all", N3FIX}
                                      + arguments);
            return runProcess(N3FIX, arguments);
        };
        const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(journals(), readOnly));
        ProcessRun run = readOnlyListing();
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, shown.out);
        QVERIFY(!QFileInfo::exists(index()));

        // an index of before a journal went and another came, which can't be written either
        QVERIFY(QFile::setPermissions(journals(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(listed(), fromJournals());
        QVERIFY(QFile::remove(journal(m_ended.at(3))));
        writeJournal(RepairKind::EndFlags, Outcome::Completed);
        settleAll();
        const QString before = indexed();
        QCOMPARE(before, names(m_ended));
        QVERIFY(QFile::setPermissions(index(), QFile::ReadOwner | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(journals(), readOnly));
        run = readOnlyListing();
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(summary(run.json()), summaryOfJournals());
        QCOMPARE(summary(run.json()).size(), m_ended.size() + 1);
        QCOMPARE(indexed(), before);
    }

    // Another program holding the index (here a write transaction left open) costs the listing its
    // help, never its truth; several programs listing at once, with no index or with one, all list
    // the same, and leave the index whole.
    void indexBusyOrShared()
    {
        writeFolder();
        const ProcessRun first = n3fix({"--journal", "--json"});
        QCOMPARE(summary(first.json()), summaryOfJournals());
        QCOMPARE(indexed(), names(m_ended));

        sqlite3 *holder = nullptr;
        QCOMPARE(sqlite3_open(index().toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const ProcessRun held = n3fix({"--journal", "--json"});
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QCOMPARE(held.status, 0);
        QCOMPARE(held.err, QByteArray());
        QCOMPARE(summary(held.json()), summaryOfJournals());
        QCOMPARE(summary(held.json()).size(), m_ended.size() + 1);

        for (const bool withIndex : {false, true}) {
            if (!withIndex)
                QVERIFY(QFile::remove(index()));
            std::vector<std::unique_ptr<RunningProgram>> listings;
            listings.reserve(4);
            for (int i = 0; i < 4; ++i)
                listings.push_back(
                    std::make_unique<RunningProgram>(N3FIX, QStringList{"--journal", "--json", "--data-dir", m_dir->path()}));
            for (const auto &listing : listings) {
                QVERIFY(listing->waitForFinished(60000));
                QCOMPARE(listing->exitCode(), 0);
                QCOMPARE(summary(QJsonDocument::fromJson(listing->readAllStandardOutput())), summaryOfJournals());
            }
            QCOMPARE(indexed(), names(m_ended));
        }
    }

private:
    std::unique_ptr<repair::Journal> m_running;  // a repair running in this process
    QStringList m_ended;                         // by writeFolder(): the repairs that can be indexed
    QString m_died;                              // and the one whose program died
};

QTEST_MAIN(JournalIndexTest)
#include "tst_journal_index.moc"
