// db::rewriteTsqlForSqlite: T-SQL left()/len() become SQLite expressions of the same meaning,
// and nothing else in the statement changes.
#include "db/TsqlRewrite.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

class TstTsqlRewrite : public QObject
{
    Q_OBJECT

private slots:
    void rewrites_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const auto row = [](const QString &in, const QString &out) { QTest::newRow(qPrintable(in.left(60))) << in << out; };
        const auto same = [&](const QString &sql) { row(sql, sql); };
        row("select ccode from code where left(ccode,4)='1011' and len(ccode)>4",
            "select ccode from code where substr(ccode,1,4)='1011' and length(rtrim(ccode,' '))>4");
        row("LEFT (x,1), Len\n\t(y), left(?,?)", "substr (x,1,1), length(rtrim\n\t(y,' ')), substr(?,1,?)");
        row("left(left(x,len(y)),len(z))", "substr(substr(x,1,length(rtrim(y,' '))),1,length(rtrim(z,' ')))");
        // Commas and parentheses inside arguments' literals, names and comments do not split them.
        row("left(',',1)+len(')')+left([a,b],1)", "substr(',',1,1)+length(rtrim(')',' '))+substr([a,b],1,1)");
        row("left(x /* , */ ,1)+left(y -- len(x),\n,2)", "substr(x /* , */ ,1,1)+substr(y -- len(x),\n,1,2)");
        // Literals, quoted names and comments, closed or not, are left as they are.
        row("select 'it''s left(x,1)', len('a ')", "select 'it''s left(x,1)', length(rtrim('a ',' '))");
        row("select len(y) /* len(x) */, len(z) /* len(x)",
            "select length(rtrim(y,' ')) /* len(x) */, length(rtrim(z,' ')) /* len(x)");
        same("select \"left(x,1)\", [len(x)], `left(x,1)`, 'left(x,1)");
        // Other words, and calls that only look like these functions.
        same("select * from a LEFT JOIN b on a.x=b.x left outer join (select 1) c");
        same("select myleft(x,1), left_x(y,1), xlen(z), dbo.left(x,1), t.len(y), @left(x,1), left, len /* c */ (x)");
        // Malformed calls are left alone; well-formed calls around or inside them are still rewritten.
        same("left(x) left(x,1,2) left() left(,1) left(x, ) len() len(x,1) len( /* none */ )");
        row("len(left(x))", "length(rtrim(left(x),' '))");
        row("))left(len(x),1", "))left(length(rtrim(x,' ')),1");
        same("");
        const int depth = 25000; // 100,000 characters of nested calls
        row(QString("len(").repeated(depth) + "x" + QString(")").repeated(depth),
            QString("length(rtrim(").repeated(depth) + "x" + QString(",' '))").repeated(depth));
    }

    void rewrites()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(db::rewriteTsqlForSqlite(sql), expected);
    }

    // On SQLite the rewritten probe keeps T-SQL's meaning: trailing blanks do not count, leading
    // ones do, and NULL stays NULL.
    void keepsMeaningOnSqlite()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tst_tsql_rewrite");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("create table code (ccode varchar(20))"));
        QVERIFY(q.exec("insert into code values ('1011'), ('10110'), ('1011  '), ('  1011'), (NULL)"));
        QVERIFY2(q.exec(db::rewriteTsqlForSqlite("select quote(len(ccode)), quote(left(ccode,4)='1011' and len(ccode)>4)"
                                                 " from code order by rowid")), qPrintable(q.lastError().text()));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + ' ' + q.value(1).toString();
        QCOMPARE(rows, QStringList({"4 0", "5 1", "4 0", "6 0", "NULL NULL"}));
    }
};

QTEST_GUILESS_MAIN(TstTsqlRewrite)
#include "tst_tsql_rewrite.moc"
