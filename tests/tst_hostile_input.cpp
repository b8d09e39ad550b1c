// Hostile text in every field a user can type into — the account set (Combo3), the year
// (Combo5), the account code (txtCode) and the first period (Combo1) — followed by both
// repairs. Nothing crashes or hangs, and the files change only as the repairs are meant to:
// the balance reset clears the rows of exactly the code in the box, the end-flag walk rewrites
// the flags; every other row, column, table and file stays as it was.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "db/ODBC.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <memory>

namespace {

struct Hostile {
    const char *name;
    QString text;
    int period;  // the whole number the text is as a period, or INT_MIN
};

QString longText()
{
    QString text;
    while (text.size() < 100000)
        text += QStringLiteral("'%[_;-- /*\"]) 或 ");
    return text.left(100000);
}

const QList<Hostile> Texts = {
    {"quote", "'", INT_MIN},
    {"or 1=1", "1011' or '1'='1", INT_MIN},
    {"statement", "1'; drop table GL_accsum; --", INT_MIN},
    {"comment", "--", INT_MIN},
    {"block comment", "/* */", INT_MIN},
    {"unclosed bracket", "[", INT_MIN},
    {"bracket list", "[0-9]*", INT_MIN},
    {"percent and underscore", "%_", INT_MIN},
    {"NUL", QString::fromUtf16(u"10\u000011", 5), INT_MIN},
    {"control characters", QString::fromUtf16(u"1\t\r\n\u0001\u001b\u007f\u0085"), INT_MIN},
    {"100000 characters", longText(), INT_MIN},
    {"right-to-left", QString::fromUtf16(u"\u202Eשלום\u202C1011"), INT_MIN},
    {"combining marks", QString::fromUtf16(u"1011\u0301\u0336"), INT_MIN},
    {"surrogate pair", QString::fromUtf16(u"😀1011"), INT_MIN},
    {"Arabic-Indic digits", QString::fromUtf16(u"١٠"), INT_MIN},
    {"Chinese numeral", "三", INT_MIN},
    {"negative period", "-1", -1},
    {"period too large", "99999999999", INT_MIN},
    {"blanks around a number", " 3 ", 3},
};

// The chart: plain codes and codes that read as SQL or patterns, each with the wrong flag 9.
const QStringList Codes = {"1001", "100101", "1011", "101101", "1011' or '1'='1", "'", "1'; drop table GL_accsum; --",
                           "--", "/* */", "[", "[0-9]*", "%_", "%", "_", "-1", "三"};
const QList<int> Periods = {1, 6, 12};

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QString yearScript()
{
    QString script = QStringLiteral("create table code(ccode TEXT, ccode_name TEXT, bend INTEGER);"
                                    "create table GL_accsum(ccode TEXT, iperiod INTEGER, mb NUMERIC, md NUMERIC, mc NUMERIC);"
                                    "insert into GL_accsum values(NULL,1,1,2,3);");
    for (int i = 0; i < Codes.size(); ++i) {
        script += QStringLiteral("insert into code values(%1,'科目%2',9);").arg(quoted(Codes[i])).arg(i);
        for (int period : Periods)
            script += QStringLiteral("insert into GL_accsum values(%1,%2,%3.5,%3,-%3);").arg(quoted(Codes[i])).arg(period).arg(i + 1);
    }
    return script;
}

// Every file under `root`: a database with its schema and rows, any other file with its bytes.
QMap<QString, QString> files(const QString &root)
{
    QMap<QString, QString> all;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        all.insert(QDir(root).relativeFilePath(path),
                   bytes.startsWith("SQLite format 3") ? SqliteFixture::dumpAll(path) : QString::fromLatin1(bytes.toHex()));
    }
    return all;
}

QStringList boxes()
{
    QStringList list;
    for (const MessageBox::Shown &box : MessageBox::takeShown())
        list << QStringLiteral("%1 | %2 | %3").arg(box.title).arg(box.style).arg(box.prompt);
    return list;
}

} // namespace

class HostileInput : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;

    // Selects the field's text and replaces it: short printable ASCII is typed key by key,
    // anything else is pasted from the clipboard with Ctrl+V.
    void enter(QLineEdit *edit, const QString &text)
    {
        const bool typeable = text.size() <= 64 && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (typeable) {
            QTest::keyClicks(edit, text);
        } else {
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SqliteFixture::run(m_dir->filePath("LQsystem.db"),
                           "create table KS_Account(cAcc_Id TEXT, cAcc_Name TEXT);insert into KS_Account values('001','演示');"
                           "create table KS_period(cacc_id TEXT, iyear INTEGER, iperiod INTEGER, bisdelete INTEGER);"
                           "insert into KS_period values('001',2006,1,0),('001',2007,1,0);");
        SqliteFixture::run(m_dir->filePath("LQDATA_001_2006.db"), yearScript());
        SqliteFixture::run(m_dir->filePath("LQDATA_001_2007.db"), yearScript());
        FormDriver::useDataDirectory(m_dir->path());
    }

    void cleanup()
    {
        m_form.reset();
        ODBC::DbConn().reset();
        m_dir.reset();
    }

    void repairsChangeOnlyWhatTheyAreMeantTo_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("period");
        for (const char *field : {"Combo3", "Combo5", "txtCode", "Combo1"})
            for (const Hostile &hostile : Texts)
                QTest::addRow("%s: %s", field, hostile.name) << QString::fromLatin1(field) << hostile.text << hostile.period;
    }

    void repairsChangeOnlyWhatTheyAreMeantTo()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, period);
        m_form = std::make_unique<Form1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        FormDriver::pickFromList(m_form->Combo3, 0);
        FormDriver::pickFromList(m_form->Combo5, m_form->Combo5->findText("2007"));
        QTest::keyClicks(m_form->txtCode, "1011");
        FormDriver::pickFromList(m_form->Combo1, 0);
        QCOMPARE(m_form->Combo5->currentText() + m_form->Combo1->currentText(), QStringLiteral("20071"));
        const QMap<QString, QString> before = files(m_dir->path());

        QLineEdit *edit = field == "txtCode" ? m_form->txtCode : m_form->findChild<QComboBox *>(field)->lineEdit();
        enter(edit, text);
        const QString shown = text.left(edit->maxLength());  // a combo box's field holds 32767 characters
        QCOMPARE(edit->text(), shown);
        QCOMPARE(boxes(), QStringList());

        QTest::mouseClick(m_form->Command1, Qt::LeftButton);
        const QStringList resetBoxes = boxes();
        QTest::mouseClick(m_form->Command2, Qt::LeftButton);
        const QStringList walkBoxes = boxes();

        // The repairs run on account set 001, year 2007, code 1011 and period 1 unless the
        // field changed one of them; the account-set text matches no entry and changes none.
        const QString title = QStringLiteral("N3新会计制度科目增加工具 | %1 | %2");
        const bool opens = field != "Combo5";
        const QString code = field == "txtCode" ? shown : QStringLiteral("1011");
        const int from = field == "Combo1" ? period : 1;
        const bool resets = opens && from != INT_MIN;
        if (opens) {
            QCOMPARE(resetBoxes, QStringList{title.arg(0).arg(resets ? "修复成功！" : "修复失败！")});
            QCOMPARE(walkBoxes, QStringList());
            QCOMPARE(m_form->Label1->text(), QStringLiteral("修复完毕复"));
        } else {
            const QString connection = QStringLiteral("数据库连接错误 | 16 | 数据库LQDATA_001_%1连接错误 \r\n").arg(shown);
            QCOMPARE(resetBoxes.size(), 2);
            QCOMPARE(walkBoxes.size(), 2);
            QVERIFY(resetBoxes[0].startsWith(connection) && resetBoxes[0].endsWith("\r\n请正确配置数数据连接"));
            QCOMPARE(walkBoxes[0], resetBoxes[0]);
            QCOMPARE(resetBoxes[1], title.arg(0).arg("修复失败！"));
            QCOMPARE(walkBoxes[1], title.arg(16).arg("重建末级科目标志时出错：\r\n数据库连接未打开，无法执行操作。"));
        }

        // The same file changed by hand: the code's rows from the period on cleared, every flag
        // rewritten (1 when no longer code begins with the code).
        QTemporaryDir referenceDir;
        const QString reference = referenceDir.filePath("reference.db");
        QString changes = yearScript();
        if (resets) {
            QStringList rowids;
            for (int i = 0; i < Codes.size(); ++i)
                for (int p = 0; p < Periods.size(); ++p)
                    if (Codes[i] == code && Periods[p] >= from)
                        rowids << QString::number(2 + i * Periods.size() + p);
            changes += QStringLiteral("update GL_accsum set mb=0,md=0,mc=0 where rowid in (%1);").arg(rowids.join(','));
        }
        if (opens) {
            for (int i = 0; i < Codes.size(); ++i) {
                const bool end = std::none_of(Codes.begin(), Codes.end(), [&](const QString &c) { return c.size() > Codes[i].size() && c.startsWith(Codes[i]); });
                changes += QStringLiteral("update code set bend=%1 where rowid=%2;").arg(int(end)).arg(i + 1);
            }
        }
        SqliteFixture::run(reference, changes);
        QMap<QString, QString> expected = before;
        expected["LQDATA_001_2007.db"] = SqliteFixture::dumpAll(reference);
        QCOMPARE(files(m_dir->path()), expected);
    }
};

QTEST_MAIN(HostileInput)
#include "tst_hostile_input.moc"
