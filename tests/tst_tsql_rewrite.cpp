// db::rewriteTsqlForSqlite: T-SQL left()/len() become SQLite expressions of the same meaning,
// and nothing else in the statement changes.
#include "db/TsqlRewrite.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

class TstTsqlRewrite : public QObject {
    Q_OBJECT

private slots:
    void rewrites_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const auto row = [](const QString &in, const QString &out) { QTest::newRow(qPrintable(in.left(60))) << in << out; };
        const auto same = [&](const QString &sql) { row(sql, sql); };
        // The argument as the server turns it into text (a whole REAL loses its ".0").
        const auto T = [](const QString &x) {
            return "(select case when typeof(n3_text)='real' and n3_text=cast(n3_text as integer) then cast(n3_text as integer)"
                   " else n3_text end from (select "
                   + x + " as n3_text))";
        };
        const auto left = [&](const QString &x, const QString &n) { return "substr(" + T(x) + ",1," + n + ")"; };
        const auto len = [&](const QString &x) { return "length(rtrim(" + T(x) + ",' '))"; };
        row("select ccode from code where left(ccode,4)='1011' and len(ccode)>4",
            "select ccode from code where " + left("ccode", "4") + "='1011' and " + len("ccode") + ">4");
        row("LEFT (x,1), Len\n\t(y), left(?,?)",
            "substr (" + T("x") + ",1,1), length(rtrim\n\t(" + T("y") + ",' ')), " + left("?", "?"));
        row("left(left(x,len(y)),len(z))", left(left("x", len("y")), len("z")));
        row("len(left(x,1))", len(left("x", "1")));
        // Commas and parentheses inside arguments' literals, names and comments do not split them.
        row("left(',',1)+len(')')+left([a,b],1)", left("','", "1") + "+" + len("')'") + "+" + left("[a,b]", "1"));
        row("left(x /* , */ ,1)+left(y -- len(x),\n,2)", left("x /* , */ ", "1") + "+" + left("y -- len(x),\n", "2"));
        // Literals, quoted names and comments, closed or not, are left as they are.
        row("select 'it''s left(x,1)', len('a ')", "select 'it''s left(x,1)', " + len("'a '"));
        row("select len(y) /* len(x) */, len(z) /* len(x)", "select " + len("y") + " /* len(x) */, " + len("z") + " /* len(x)");
        same("select \"left(x,1)\", [len(x)], `left(x,1)`, 'left(x,1)");
        // Other words, and calls that only look like these functions.
        same("select * from a LEFT JOIN b on a.x=b.x left outer join (select 1) c");
        same("select myleft(x,1), left_x(y,1), xlen(z), dbo.left(x,1), t.len(y), @left(x,1), left, len /* c */ (x)");
        // Malformed calls are left alone; well-formed calls around or inside them are still rewritten.
        same("left(x) left(x,1,2) left() left(,1) left(x, ) len() len(x,1) len( /* none */ )");
        row("len(left(x))", len("left(x)"));
        row("))left(len(x),1", "))left(" + len("x") + ",1");
        same("");
        const int depth = 25000;  // 100,000 characters of nested calls: the rewrite stays linear
        const QString open = len("@").section('@', 0, 0), close = len("@").section('@', 1);
        row(QString("len(").repeated(depth) + "x" + QString(")").repeated(depth),
            open.repeated(depth) + "x" + close.repeated(depth));
    }

    void rewrites()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(db::rewriteTsqlForSqlite(sql), expected);
    }

    // On SQLite the rewritten probe keeps T-SQL's meaning: trailing blanks do not count, leading
    // ones do, NULL stays NULL, and numbers are their text.
    void keepsMeaningOnSqlite()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tst_tsql_rewrite");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("create table code (ccode)"));
        QVERIFY(q.exec(
            "insert into code values ('1011'), ('10110'), ('1011  '), ('  1011'), (NULL), (1011), (10110), (1011.0), (10110.0), (1011.5)"));
        QVERIFY2(q.exec(db::rewriteTsqlForSqlite("select quote(len(ccode)), quote(left(ccode,4)='1011' and len(ccode)>4)"
                                                 " from code order by rowid")),
                 qPrintable(q.lastError().text()));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + ' ' + q.value(1).toString();
        // Numbers are compared as their text; a whole REAL as the integer it holds.
        QCOMPARE(rows, QStringList({"4 0", "5 1", "4 0", "6 0", "NULL NULL", "4 0", "5 1", "4 0", "5 1", "6 1"}));
    }
};

QTEST_GUILESS_MAIN(TstTsqlRewrite)
#include "tst_tsql_rewrite.moc"
