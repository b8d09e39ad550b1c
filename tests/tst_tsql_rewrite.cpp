// Checks that T-SQL's left()/len() calls are rewritten into SQLite expressions with the same
// meaning, that nothing else in a statement changes, and that the result runs on SQLite.
#include "db/TsqlRewrite.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QtTest>

class TstTsqlRewrite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rewritesCalls_data();
    void rewritesCalls();
    void protectsLiteralsNamesAndComments_data();
    void protectsLiteralsNamesAndComments();
    void leavesOtherTextAlone_data();
    void leavesOtherTextAlone();
    void leavesMalformedCallsAlone_data();
    void leavesMalformedCallsAlone();
    void handlesLargeInput_data();
    void handlesLargeInput();
    void keepsTsqlMeaningOnSqlite_data();
    void keepsTsqlMeaningOnSqlite();
    void runsProbeQueryOnSqlite_data();
    void runsProbeQueryOnSqlite();

private:
    void addCases(const QList<QPair<QString, QString>> &inOut);
    void compareRewrite();

    const QString m_connection = QStringLiteral("tst_tsql_rewrite_") + QUuid::createUuid().toString(QUuid::Id128);
};

// One data row per (input, expected output) pair, named after the input.
void TstTsqlRewrite::addCases(const QList<QPair<QString, QString>> &inOut)
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    for (const auto &[in, out] : inOut)
        QTest::newRow(qPrintable(in)) << in << out;
}

// The shared check of the table-driven rewrite tests.
void TstTsqlRewrite::compareRewrite()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(db::rewriteTsqlForSqlite(sql), expected);
}

void TstTsqlRewrite::initTestCase()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("create table code (ccode varchar(20) not null)")));
    QVERIFY(q.prepare(QStringLiteral("insert into code (ccode) values (?)")));
    // '1011  ' has trailing blanks: its T-SQL length is 4, so the probe must not select it.
    for (const char *c : {"1011", "10110", "101123", "1012", "10120", "1011  ", "201134"}) {
        q.addBindValue(QString::fromLatin1(c));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

void TstTsqlRewrite::cleanupTestCase()
{
    QSqlDatabase::database(m_connection).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void TstTsqlRewrite::rewritesCalls_data()
{
    addCases({
        {"select ccode from code where left(ccode,4)='1011' and len(ccode)>4",
         "select ccode from code where substr(ccode,1,4)='1011' and length(rtrim(ccode,' '))>4"},
        {"select LEFT(ccode,4), Len(ccode), lEfT(x,1), LEN(y)",
         "select substr(ccode,1,4), length(rtrim(ccode,' ')), substr(x,1,1), length(rtrim(y,' '))"},
        {"left( ccode , 4 )", "substr( ccode ,1, 4 )"},
        {"left (ccode,4)", "substr (ccode,1,4)"},
        {"len\n\t(ccode)", "length(rtrim\n\t(ccode,' '))"},
        {"len(left(x,2))", "length(rtrim(substr(x,1,2),' '))"},
        {"left(left(x,len(y)),len(z))",
         "substr(substr(x,1,length(rtrim(y,' '))),1,length(rtrim(z,' ')))"},
        {"left(coalesce(a,b),(1+2))", "substr(coalesce(a,b),1,(1+2))"},
        {"left(x,1)+left(y,2)", "substr(x,1,1)+substr(y,1,2)"},
        {"left(',',1)", "substr(',',1,1)"},
        {"len(')')", "length(rtrim(')',' '))"},
        {"left([a,b],1)", "substr([a,b],1,1)"},
        {"len(\"x)\")", "length(rtrim(\"x)\",' '))"},
        {"left(x /* , */ ,1)", "substr(x /* , */ ,1,1)"},
        {"left(x -- ,\n,1)", "substr(x -- ,\n,1,1)"},
        {"(left(x,1))", "(substr(x,1,1))"},
        {"left(x,1))", "substr(x,1,1))"},
        {"left(?,?)", "substr(?,1,?)"},
        {"a=len(N'ab')", "a=length(rtrim(N'ab',' '))"},
    });
}

void TstTsqlRewrite::rewritesCalls()
{
    compareRewrite();
}

void TstTsqlRewrite::protectsLiteralsNamesAndComments_data()
{
    addCases({
        {"select 'left(x,1)' , len('a ')", "select 'left(x,1)' , length(rtrim('a ',' '))"},
        {"select 'it''s left(x,1)'", "select 'it''s left(x,1)'"},
        {"select 'a''', len(x)", "select 'a''', length(rtrim(x,' '))"},
        {"select \"left(x,1)\"", "select \"left(x,1)\""},
        {"select \"a\"\"len(x)\"", "select \"a\"\"len(x)\""},
        {"select [len(x)]", "select [len(x)]"},
        {"select `left(x,1)`", "select `left(x,1)`"},
        {"select 1 -- left(x,1)\n, len(y)", "select 1 -- left(x,1)\n, length(rtrim(y,' '))"},
        {"select 1 /* len(x) */ , len(y)", "select 1 /* len(x) */ , length(rtrim(y,' '))"},
        {"select 1 -- len(x)", "select 1 -- len(x)"},
        {"select 'left(x,1)", "select 'left(x,1)"},
        {"select /* len(x)", "select /* len(x)"},
        {"select [left(x,1)", "select [left(x,1)"},
    });
}

void TstTsqlRewrite::protectsLiteralsNamesAndComments()
{
    compareRewrite();
}

void TstTsqlRewrite::leavesOtherTextAlone_data()
{
    addCases({
        {"", ""},
        {"select * from a LEFT JOIN b on a.x=b.x", "select * from a LEFT JOIN b on a.x=b.x"},
        {"select * from a left outer join (select 1) b", "select * from a left outer join (select 1) b"},
        {"select myleft(x,1), left_x(y,1), lenx(z), xlen(z)",
         "select myleft(x,1), left_x(y,1), lenx(z), xlen(z)"},
        {"select @left(x,1), #len(y), left1(z,1)", "select @left(x,1), #len(y), left1(z,1)"},
        {"select dbo.left(x,1), t.len(y), s . len(z)", "select dbo.left(x,1), t.len(y), s . len(z)"},
        {"select left, len from t", "select left, len from t"},
        {"select left /* c */ (x,1)", "select left /* c */ (x,1)"},
        {"select substr(x,1,2)  ,\r\n\tlength(y)", "select substr(x,1,2)  ,\r\n\tlength(y)"},
    });
}

void TstTsqlRewrite::leavesOtherTextAlone()
{
    compareRewrite();
}

void TstTsqlRewrite::leavesMalformedCallsAlone_data()
{
    addCases({
        {"left(x)", "left(x)"},
        {"left(x,1,2)", "left(x,1,2)"},
        {"left()", "left()"},
        {"left(,1)", "left(,1)"},
        {"left(x, )", "left(x, )"},
        {"len()", "len()"},
        {"len( /* none */ )", "len( /* none */ )"},
        {"len(x,1)", "len(x,1)"},
        {"left(x,1", "left(x,1"},
        {"len(x", "len(x"},
        {"len((x)", "len((x)"},
        {"len(x))", "length(rtrim(x,' ')))"},
        {"))len(x)((", "))length(rtrim(x,' '))(("},
        {"left(len(x),1", "left(length(rtrim(x,' ')),1"},
        {"len(left(x))", "length(rtrim(left(x),' '))"},
        {"left(x,')", "left(x,')"},
        {"left", "left"},
        {"len   ", "len   "},
    });
}

void TstTsqlRewrite::leavesMalformedCallsAlone()
{
    compareRewrite();
}

void TstTsqlRewrite::handlesLargeInput_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    const int calls = 10000; // "left(a,1)+" is 10 characters: 100,000 in all
    QTest::newRow("many calls") << QString("left(a,1)+").repeated(calls) + "0"
                                << QString("substr(a,1,1)+").repeated(calls) + "0";

    const int depth = 25000; // "len(" is 4 characters: 100,000 of opening text
    QTest::newRow("deep nesting") << QString("len(").repeated(depth) + "x" + QString(")").repeated(depth)
                                  << QString("length(rtrim(").repeated(depth) + "x"
                                         + QString(",' '))").repeated(depth);

    const QString unclosed = QString("left(").repeated(20000) + "x";
    QTest::newRow("deep and unclosed") << unclosed << unclosed;

    const QString parens = QString("(").repeated(100000);
    QTest::newRow("open parentheses") << parens << parens;

    const QString literal = "select '" + QString("left(x,1)").repeated(11112);
    QTest::newRow("unterminated literal") << literal << literal;
}

void TstTsqlRewrite::handlesLargeInput()
{
    compareRewrite();
}

void TstTsqlRewrite::keepsTsqlMeaningOnSqlite_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("expected"); // a null QVariant stands for SQL NULL

    QTest::newRow("len ignores trailing blanks") << "select len('ab  ')" << QVariant(2);
    QTest::newRow("len keeps leading blanks") << "select len('  ab')" << QVariant(4);
    QTest::newRow("len of blanks") << "select len('   ')" << QVariant(0);
    QTest::newRow("len of empty") << "select len('')" << QVariant(0);
    QTest::newRow("len of NULL") << "select len(NULL)" << QVariant();
    QTest::newRow("left") << "select left('abcdef',3)" << QVariant("abc");
    QTest::newRow("left longer than text") << "select left('ab',5)" << QVariant("ab");
    QTest::newRow("left of NULL") << "select left(NULL,2)" << QVariant();
    QTest::newRow("nested") << "select len(left('abc  x',5))" << QVariant(3);
    QTest::newRow("upper case") << "select LEN(LEFT('abcdef',4))" << QVariant(4);
}

void TstTsqlRewrite::keepsTsqlMeaningOnSqlite()
{
    QFETCH(QString, sql);
    QFETCH(QVariant, expected);
    QSqlQuery q(QSqlDatabase::database(m_connection));
    QVERIFY2(q.exec(db::rewriteTsqlForSqlite(sql)), qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    if (expected.isNull())
        QVERIFY(q.value(0).isNull());
    else
        QCOMPARE(q.value(0).toString(), expected.toString());
}

void TstTsqlRewrite::runsProbeQueryOnSqlite_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");

    QTest::newRow("literals")
        << "select ccode from code where left(ccode,4)='1011' and len(ccode)>4 order by ccode"
        << QVariantList{};
    QTest::newRow("parameters")
        << "select ccode from code where left(ccode,4)=? and len(ccode)>4 order by ccode"
        << QVariantList{QString("1011")};
    QTest::newRow("all parameters")
        << "select ccode from code where LEFT(ccode, ?) = ? and LEN(ccode) > ? order by ccode"
        << QVariantList{4, QString("1011"), 4};
}

void TstTsqlRewrite::runsProbeQueryOnSqlite()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);
    QSqlQuery q(QSqlDatabase::database(m_connection));
    QVERIFY2(q.prepare(db::rewriteTsqlForSqlite(sql)), qPrintable(q.lastError().text()));
    for (const QVariant &p : params)
        q.addBindValue(p);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList codes;
    while (q.next())
        codes << q.value(0).toString();
    QCOMPARE(codes, QStringList({"10110", "101123"}));
}

QTEST_GUILESS_MAIN(TstTsqlRewrite)
#include "tst_tsql_rewrite.moc"
