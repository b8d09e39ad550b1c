// How every kind of repair and every way it ends reads to the user: real journals, one of each
// kind and outcome, listed by the journal window's model (short forms) and by n3fix --journal run
// as a real process (long forms); the names journals store for them; a journaled row's values as
// the terminal writes them and as the windows show them. The words are written out here by hand.
#include "support/ProcessRun.h"
#include "support/SqliteFixture.h"

#include "app/RepairListModel.h"
#include "repair/Journal.h"
#include "repair/JournalFormat.h"
#include "repair/JournalReader.h"
#include "repair/RepairText.h"

#include <QtTest>

using repair::Outcome;
using repair::RepairKind;

namespace {

const QString UndoneId = QStringLiteral("20260101-000000-000");

struct KindWords {
    RepairKind kind;
    QString shortName, longName, inputs;
    QString stored;  // as the journal keeps it
};

struct OutcomeWords {
    Outcome outcome;
    QString shortText, longText, rowsChanged;
    QString stored;
};

// By hand, as the user reads them. A repair recorded as having written 4 rows, 3 of them changed.
const KindWords Kinds[] = {
    {RepairKind::BalanceReset, "修正科目错误", "余额清零（修正科目错误）", "科目 1011，3 月起", "balance-reset"},
    {RepairKind::RecomputeBalances, "按下级科目重算", "按下级科目重算", "", "recompute-balances"},
    {RepairKind::EndFlags, "彻底根除", "重建末级标志（彻底根除）", "", "end-flags"},
    {RepairKind::Undo, "撤销 " + UndoneId, "撤销 " + UndoneId, "", "undo"},
};
const OutcomeWords Outcomes[] = {
    {Outcome::Completed, "完成", "完成", "3", "completed"},
    {Outcome::Stopped, "写入 4 行后停止", "写入 4 行后停止", "3", "stopped"},
    {Outcome::Failed, "在第 5 行失败：磁盘已满", "在第 5 行失败：磁盘已满", "3", "failed"},
    {Outcome::RolledBack, "失败，未改动任何记录：磁盘已满", "失败，未改动任何记录：磁盘已满", "3", "rolled-back"},
    {Outcome::Unrecorded, "未记录结束", "未记录结束（程序在修复中途被终止，或未能写下结果）", "—", ""},
};

}  // namespace

class RepairTextTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_data;
    QStringList m_ids;    // of the journals written, oldest first
    QStringList m_lines;  // n3fix --journal's listing of them

    QString journals() const { return m_data.filePath("journal"); }

    // A journal of `kind` ended with `outcome` (or never ended), started at 12:00:`second` in a
    // time zone 8 hours east of UTC.
    void write(RepairKind kind, Outcome outcome, int second)
    {
        repair::RepairRecord record;
        record.database = "LQDATA_001_2007";
        record.engine = "embedded";
        record.repair = kind;
        record.accountSet = "001";
        record.year = "2007";
        record.code = "1011";
        record.period = "3";
        record.undoes = kind == RepairKind::Undo ? UndoneId : QString();
        record.table = "code";
        record.changedColumns = QStringList{"bend"};
        record.keyColumns = QStringList{"ccode"};
        record.user = "张三";  // a Windows login name may be Chinese
        record.host = "CAIWU-01";
        QString id;
        {
            repair::Journal journal(journals(), record);
            journal.flush();
            id = journal.record().id;
            if (outcome != Outcome::Unrecorded)
                QCOMPARE(journal.finish(outcome, 4, 3, "磁盘已满"), QString());
        }  // a journal never finished reads as a repair whose program died
        SqliteFixture::run(
            repair::journalformat::journalPath(journals(), id),
            QStringLiteral("update repair set time = '2026-03-01T12:00:%1.000+08:00'").arg(second, 2, 10, QChar('0')));
        m_ids << id;
    }

private slots:
    void initTestCase()
    {
        int second = 0;
        for (const KindWords &kind : Kinds)
            for (const OutcomeWords &outcome : Outcomes)
                write(kind.kind, outcome.outcome, second++);
        // on a clock of UTC, where 12:00 at UTC+8 is 04:00
        QProcessEnvironment environment = environmentWithHome(m_data.filePath("home"));
        environment.insert("TZ", "UTC");
        const ProcessRun run = runOnData(N3FIX, m_data.path(), {"--journal"}, environment);
        QCOMPARE(run.status, 0);
        m_lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    }

    void everyKindAndOutcome_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        for (int k = 0; k < int(std::size(Kinds)); ++k)
            for (int o = 0; o < int(std::size(Outcomes)); ++o)
                QTest::addRow("%s %s", qPrintable(Kinds[k].longName), qPrintable(Outcomes[o].longText)) << k << o;
    }

    // One journal of each kind and outcome, listed newest first. A failed reset or undo ran in one
    // transaction, so it reads as rolled back, whatever an earlier version recorded.
    void everyKindAndOutcome()
    {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        const KindWords &k = Kinds[kind];
        const bool inOneTransaction = k.kind == RepairKind::BalanceReset || k.kind == RepairKind::Undo;
        const OutcomeWords &o = Outcomes[inOneTransaction && Outcomes[outcome].outcome == Outcome::Failed ? 3 : outcome];
        const int index = kind * int(std::size(Outcomes)) + outcome;
        const int listed = int(m_ids.size()) - 1 - index;  // newest first

        RepairListModel model;
        model.setRepairs(repair::listRepairs(journals()));
        QCOMPARE(model.rowCount(), int(m_ids.size()));
        QCOMPARE(model.repairAt(listed).id, m_ids.at(index));
        const auto shown = [&](const QString &header) {
            for (int column = 0; column < model.columnCount(); ++column)
                if (model.headerData(column, Qt::Horizontal).toString() == header)
                    return model.index(listed, column).data().toString();
            return "no column " + header;
        };
        QCOMPARE(shown("帐套、年度"), QStringLiteral("帐套 001，2007 年度（LQDATA_001_2007）"));
        QCOMPARE(shown("操作人"), QStringLiteral("张三"));
        QCOMPARE(shown("计算机"), QStringLiteral("CAIWU-01"));
        QCOMPARE(shown("修复"), k.shortName);
        QCOMPARE(shown("输入"), k.inputs);
        QCOMPARE(shown("改动行数"), o.rowsChanged);
        QCOMPARE(shown("结果"), o.shortText);

        // The command line names the repair in full, on this machine's clock as the window does.
        const QString given = QStringLiteral("帐套 001，2007 年度") + (k.inputs.isEmpty() ? QString() : "，" + k.inputs);
        const QString expected =
            QStringLiteral("%1  2026-03-01 04:00:%2  LQDATA_001_2007  %3（%4）  操作人 张三（计算机 CAIWU-01）  改动 %5 行  %6")
                .arg(m_ids.at(index))
                .arg(index, 2, 10, QChar('0'))
                .arg(k.longName, given, o.rowsChanged, o.longText);
        QCOMPARE(m_lines.value(listed), expected);
    }

    // Every kind and outcome has the name journals of every version store for it, and each name
    // reads back as the value it names; no other name reads as one. So do the kinds of rows undo
    // leaves alone, for scripts.
    void storedNamesReadBack()
    {
        for (const KindWords &k : Kinds) {
            QCOMPARE(repair::storedName(k.kind), k.stored);
            QCOMPARE(repair::repairKindNamed(k.stored), std::optional<RepairKind>(k.kind));
        }
        for (const OutcomeWords &o : Outcomes) {
            QCOMPARE(repair::storedName(o.outcome), o.stored);
            QCOMPARE(repair::outcomeNamed(o.stored), std::optional<Outcome>(o.outcome));
        }
        for (const char *unknown : {"balance_reset", "Undo", "done", " completed"}) {
            QVERIFY(!repair::repairKindNamed(unknown));
            QVERIFY(!repair::outcomeNamed(unknown));
        }
        QVERIFY(!repair::repairKindNamed(""));
        using repair::LeftAloneReason;
        const std::pair<LeftAloneReason, QString> reasons[] = {{LeftAloneReason::Gone, "gone"},
                                                               {LeftAloneReason::Changed, "changed"},
                                                               {LeftAloneReason::Ambiguous, "ambiguous"},
                                                               {LeftAloneReason::WrittenLater, "written_later"}};
        for (const auto &[reason, name] : reasons)
            QCOMPARE(repair::RepairText::leftAloneKind(reason), name);
    }

    // The terminal writes a journaled row's values as stored; the windows show the balances'
    // amounts as accountants write them and the end-level flag in words; what reads as no amount
    // stays as it is.
    void valuesInBothWordings()
    {
        using repair::RepairText::rowValues;
        const auto shown = repair::RepairText::Wording::Shown;
        repair::RepairRecord balances;
        balances.table = "gl_accsum";
        balances.changedColumns = QStringList{"mb", "mc", "md"};
        const QVariantList amounts{qlonglong(-1000), "1234.567", "1,0"};
        QCOMPARE(rowValues(balances, amounts), QStringLiteral("mb=-1000 mc=1234.567 md=1,0"));
        QCOMPARE(rowValues(balances, amounts, shown), QStringLiteral("mb=-1,000.00 mc=1,234.567 md=1,0"));
        repair::RepairRecord chart;
        chart.table = "code";
        chart.changedColumns = QStringList{"bend"};
        QCOMPARE(rowValues(chart, {qlonglong(1)}) + '|' + rowValues(chart, {qlonglong(1)}, shown), QStringLiteral("1|是（1）"));
        QCOMPARE(rowValues(chart, {"1 "}, shown), QStringLiteral("“1 ”"));
    }
};

QTEST_GUILESS_MAIN(RepairTextTest)
#include "tst_repair_text.moc"
