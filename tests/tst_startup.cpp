// Start-up of the real window on real database files: placement, the account-set and period
// lists, focus order, and the boxes a failed connection or a failed fill shows.
#include "support/FormDriver.h"
#include "support/SqliteFixture.h"

#include "app/Form1.h"
#include "app/MessageBox.h"
#include "app/StartUp.h"

#include <QtTest>
#include <QtWidgets>

// Whether a recorded box, as "style|title|prompt", is `pattern`, each * standing for any text.
static bool boxIs(const QString &box, const QString &pattern)
{
    const QString any = QRegularExpression::escape(pattern).replace(QStringLiteral("\\*"), QStringLiteral(".*"));
    return QRegularExpression("\\A" + any + "\\z", QRegularExpression::DotMatchesEverythingOption).match(box).hasMatch();
}

// The name a screen reader announces for a control: the label it is tied to, else its own name.
static QString spokenName(QWidget *widget)
{
    QAccessibleInterface *control = QAccessible::queryAccessibleInterface(widget);
    for (const auto &[other, relation] : control->relations(QAccessible::Label))
        return other->text(QAccessible::Name);
    return control->text(QAccessible::Name);
}

static const QString Accounts =
    QStringLiteral("create table KS_Account(cAcc_Id text, cAcc_Name text, iYear integer); insert into KS_Account values");

class StartUpTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString systemDb() const { return m_dir.filePath(QStringLiteral("LQsystem.db")); }

private slots:
    void init()
    {
        QFile::remove(systemDb());
        FormDriver::useDataDirectory(m_dir.path());
    }

    // The window is centred on the screen, also when it is larger than the screen.
    void placement()
    {
        QCOMPARE(windowPlacement(QSize(848, 717), QSize(448, 317)), QPoint(200, 100));
        QCOMPARE(windowPlacement(QSize(448, 317), QSize(448, 317)), QPoint(0, 0));
        QCOMPARE(windowPlacement(QSize(400, 300), QSize(448, 317)), QPoint(-24, -4));
    }

    // What the load lists and which boxes it shows, for a whole, empty or missing LQsystem and
    // for a bad row; a failure keeps what was listed before it, stops the load and still opens
    // the window.
    void load_data()
    {
        QTest::addColumn<QString>("script");  // null: no LQsystem file at all
        QTest::addColumn<QStringList>("sets");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("number(name), NULL name") << Accounts + "('002','乙公司',1),('001',NULL,1),(667,'数字',1);"
                                                 << QStringList{"002(乙公司)", "001()", "667(数字)"} << QStringList{};
        QTest::newRow("emptied KS_Account") << Accounts + "('001','A',1); delete from KS_Account;" << QStringList{}
                                            << QStringList{};
        QTest::newRow("no LQsystem") << QString() << QStringList{}
                                     << QStringList{"16|数据库连接错误|数据库LQsystem连接错误 \r\n*"
                                                        + QDir::toNativeSeparators(systemDb()) + "*\r\n请正确配置数数据连接",
                                                    "0|N3新会计制度科目增加工具|连接不到澄岚数据库"};
        QTest::newRow("NULL number after 001") << Accounts + "('001','A',1),(NULL,'B',1);" << QStringList{"001(A)"}
                                               << QStringList{"16|N3新会计制度科目增加工具|读取帐套列表时出错：\r\n*cAcc_Id*"};
    }
    void load()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, sets);
        QFETCH(QStringList, boxes);
        if (!script.isNull())
            SqliteFixture::run(systemDb(), script);
        Form1 form;
        const QStringList shown = FormDriver::boxesShown();
        QCOMPARE(shown.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(boxIs(shown[i], boxes[i]), qPrintable(shown[i]));
        QCOMPARE(QFile::exists(systemDb()), !script.isNull());
        QCOMPARE(FormDriver::seen(form.Combo3), sets.join(',') + "|选择帐套");
        QCOMPARE(FormDriver::seen(form.Combo4),
                 QStringList(sets).replaceInStrings(QRegularExpression("\\(.*"), QString()).join(',') + "|帐套编号");
        QCOMPARE(form.combo3data->text(), boxes.isEmpty() ? QStringLiteral("8") : QStringLiteral("帐套选择标志"));
        QCOMPARE(FormDriver::seen(form.Combo1), QString(boxes.isEmpty() ? "1,2,3,4,5,6,7,8,9,10,11,12|9" : "|"));
        QCOMPARE(FormDriver::seen(form.Combo5), QStringLiteral("2006,2007|"));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        if (!boxes.isEmpty())
            return;
        // Focus starts in the year box and Tab walks the controls in their set order; a screen reader
        // announces each by its caption, or a field by the prompt beside it.
        QTRY_COMPARE(QApplication::focusWidget(), form.Combo5);
        const QStringList spoken{"请选择帐套", "修正科目错误", "记账不平科目编码", "月份", "彻底根除", "会计年度"};
        int i = 0;
        for (QWidget *next : QList<QWidget *>{form.Combo3, form.Command1, form.txtCode, form.Combo1, form.Command2, form.Combo5}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_COMPARE(QApplication::focusWidget(), next);
            QCOMPARE(spokenName(next), spoken[i++]);
        }
        // A second load replaces the account sets; the periods are appended on every load.
        SqliteFixture::run(systemDb(), QStringLiteral("insert into KS_Account values('003','DEF',1);"));
        form.Form_Load();
        QCOMPARE(FormDriver::seen(form.Combo3), (sets << "003(DEF)").join(',') + "|选择帐套");
        QCOMPARE(form.Combo4->count(), sets.size());
        QCOMPARE(form.Combo1->count(), 24);
    }

    // A box's one button reads "确定"; a failure's box has the critical icon.
    void messageBoxesAreChinese()
    {
        const std::unique_ptr<QMessageBox> box = MessageBox::build(QStringLiteral("修复成功！"), MessageBox::Icon::None, QString());
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("确定"));
        QCOMPARE(MessageBox::build(QStringLiteral("x"), MessageBox::Icon::Critical, QString())->icon(), QMessageBox::Critical);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
    }
};

QTEST_MAIN(StartUpTest)
#include "tst_startup.moc"
