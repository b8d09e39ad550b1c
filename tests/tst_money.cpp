// Exact money: amounts read from what databases store, summed, compared and printed, each
// expected answer worked out by hand.
#include "repair/Money.h"

#include <QtTest>

using repair::Money;

namespace {

// How a reading came out: its exact decimal, "none" when it is no number, "out of range".
QString outcome(const std::function<std::optional<Money>()> &read)
{
    try {
        const std::optional<Money> money = read();
        return money ? money->toString() : QStringLiteral("none");
    } catch (const repair::MoneyOutOfRange &) {
        return QStringLiteral("out of range");
    }
}

Money money(const char *text)
{
    return *Money::fromText(QString::fromLatin1(text));
}

}  // namespace

class TestMoney : public QObject {
    Q_OBJECT

private slots:
    void fromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("exact");
        QTest::newRow("whole") << "1200"
                               << "1200";
        QTest::newRow("blanks around") << " 15 "
                                       << "15";
        QTest::newRow("trailing zeros") << "1200.00"
                                        << "1200";
        QTest::newRow("negative fraction") << "-0.30"
                                           << "-0.3";
        QTest::newRow("plus, no whole part") << "+.5"
                                             << "0.5";
        QTest::newRow("no fraction after the point") << "5."
                                                     << "5";
        QTest::newRow("exponent") << "1.5e3"
                                  << "1500";
        QTest::newRow("negative exponent") << "1E-2"
                                           << "0.01";
        QTest::newRow("leading zeros") << "000000000000000000000000000000000000000000123.40"
                                       << "123.4";
        QTest::newRow("seventeen digits and four decimals") << "12345678901234567.8912"
                                                            << "12345678901234567.8912";
        QTest::newRow("minus zero") << "-0.000"
                                    << "0";
        QTest::newRow("half a last unit, up") << "0.00000000005"
                                              << "0.0000000001";
        QTest::newRow("below half a last unit") << "0.000000000049999"
                                                << "0";
        QTest::newRow("half a last unit, negative") << "-0.00000000005"
                                                    << "-0.0000000001";
        QTest::newRow("far below a unit") << "5e-12"
                                          << "0";
        QTest::newRow("tiny exponent") << "1e-400"
                                       << "0";
        QTest::newRow("largest held") << "17014118346046923173168730371.5884105727"
                                      << "17014118346046923173168730371.5884105727";
        QTest::newRow("one unit beyond") << "17014118346046923173168730371.5884105728"
                                         << "out of range";
        QTest::newRow("beyond range") << "1e30"
                                      << "out of range";
        QTest::newRow("huge exponent") << "1e99999999999"
                                       << "out of range";
        QTest::newRow("zero, huge exponent") << "0e99999999999"
                                             << "0";
        QTest::newRow("empty") << ""
                               << "none";
        QTest::newRow("blanks") << "   "
                                << "none";
        QTest::newRow("point alone") << "."
                                     << "none";
        QTest::newRow("exponent without digits") << "1e"
                                                 << "none";
        QTest::newRow("two points") << "1.2.3"
                                    << "none";
        QTest::newRow("letters after") << "12x"
                                       << "none";
        QTest::newRow("two signs") << "--1"
                                   << "none";
        QTest::newRow("blank inside") << "1 2"
                                      << "none";
        QTest::newRow("group separator") << "1,000"
                                         << "none";
        QTest::newRow("words") << "abc"
                               << "none";
        QTest::newRow("infinity") << "inf"
                                  << "none";
    }
    void fromText()
    {
        QFETCH(QString, text);
        QFETCH(QString, exact);
        QCOMPARE(outcome([&] { return Money::fromText(text); }), exact);
    }

    // A stored double means the shortest decimal that reads back as it.
    void fromDouble_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("exact");
        QTest::newRow("0.1") << 0.1 << "0.1";
        QTest::newRow("0.1 + 0.2, float noise beyond ten decimals") << 0.1 + 0.2 << "0.3";
        QTest::newRow("100.004") << 100.004 << "100.004";
        QTest::newRow("5e10") << 5e10 << "50000000000";
        QTest::newRow("1.2e15") << 1.2e15 << "1200000000000000";
        QTest::newRow("a cent below 1e13") << 9999999999999.99 << "9999999999999.99";
        QTest::newRow("negative whole") << -3.0 << "-3";
        QTest::newRow("smallest double") << 5e-324 << "0";
        QTest::newRow("1e300") << 1e300 << "out of range";
        QTest::newRow("NaN") << std::nan("") << "none";
        QTest::newRow("infinity") << HUGE_VAL << "none";
    }
    void fromDouble()
    {
        QFETCH(double, value);
        QFETCH(QString, exact);
        QCOMPARE(outcome([&] { return Money::fromDouble(value); }), exact);
    }

    // Values as the SQL drivers hand them over.
    void fromStored_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("exact");
        QTest::newRow("integer") << QVariant(qlonglong(-7)) << "-7";
        QTest::newRow("largest integer") << QVariant(qlonglong(9223372036854775807)) << "9223372036854775807";
        QTest::newRow("unsigned beyond 63 bits") << QVariant(qulonglong(18446744073709551615ull)) << "18446744073709551615";
        QTest::newRow("int") << QVariant(int(12)) << "12";
        QTest::newRow("real") << QVariant(2.5) << "2.5";
        QTest::newRow("text") << QVariant(QString(" 7.50 ")) << "7.5";
        QTest::newRow("decimal as text, as a server gives it") << QVariant(QString("123456789012.3456")) << "123456789012.3456";
        QTest::newRow("text no number") << QVariant(QString("借")) << "none";
        QTest::newRow("NULL") << QVariant() << "none";
        QTest::newRow("NULL text") << QVariant(QString()) << "none";
        QTest::newRow("blob") << QVariant(QByteArray("12")) << "none";
    }
    void fromStored()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, exact);
        QCOMPARE(outcome([&] { return Money::fromStored(stored); }), exact);
    }

    // Rounded half away from zero, as a bookkeeper rounds.
    void toTwoDecimals_data()
    {
        QTest::addColumn<QString>("exact");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << "1200"
                               << "1200.00";
        QTest::newRow("half up") << "1000.125"
                                 << "1000.13";
        QTest::newRow("half up, negative") << "-1000.125"
                                           << "-1000.13";
        QTest::newRow("below half") << "1000.1249999999"
                                    << "1000.12";
        QTest::newRow("small negative to zero") << "-0.004"
                                                << "0.00";
        QTest::newRow("half a cent") << "0.005"
                                     << "0.01";
        QTest::newRow("carry into the whole part") << "9.995"
                                                   << "10.00";
        QTest::newRow("1.2e15") << "1200000000000000"
                                << "1200000000000000.00";
    }
    void toTwoDecimals()
    {
        QFETCH(QString, exact);
        QFETCH(QString, shown);
        QCOMPARE(Money::fromText(exact)->toString(2), shown);
    }

    // Sums that doubles get wrong, and differences beyond what 64-bit ten-thousandths hold.
    void arithmetic()
    {
        // 1,000 amounts of about 5e10 with four decimals: the exact sum agrees with the parent's
        // amount, worked out by hand as 1,000 times the mean plus the spread.
        Money sum;
        for (int i = 0; i < 1000; ++i)
            sum += *Money::fromDouble(50000000000.0 + (i % 2 ? 0.1234 : 0.8766));
        QCOMPARE(sum.toString(), QString("50000000000500"));
        QVERIFY(!sum.differsFrom(money("50000000000500")));

        QVERIFY(money("1200000000000000").differsFrom(Money()));
        QCOMPARE((money("1200000000000000") - money("-1200000000000000")).toString(), QString("2400000000000000"));
        QVERIFY(!money("100.004").differsFrom(money("100")));
        QVERIFY(money("100.005").differsFrom(money("100")));
        QVERIFY(money("-100.005").differsFrom(money("-100")));
        QVERIFY(!money("0.0049999999").differsFrom(Money()));
        QCOMPARE((money("0.1") + money("0.2")).toString(), QString("0.3"));
        QCOMPARE((-money("2.5")).toString(), QString("-2.5"));
        QCOMPARE(money("-2.5").abs().toString(), QString("2.5"));
        QVERIFY(money("2") > money("1.9999999999"));

        const Money largest = money("17014118346046923173168730371.5884105727");
        QVERIFY_THROWS_EXCEPTION(repair::MoneyOutOfRange, largest + money("0.0000000001"));
        QVERIFY_THROWS_EXCEPTION(repair::MoneyOutOfRange, -largest - money("0.0000000002"));
    }

    // What a sum is written as: an integer when whole and within 64 bits, else the nearest double.
    void conversions()
    {
        QCOMPARE(money("1200").toInteger(), std::optional<qint64>(1200));
        QCOMPARE(money("-9223372036854775808").toInteger(), std::optional<qint64>(std::numeric_limits<qint64>::min()));
        QCOMPARE(money("9223372036854775808").toInteger(), std::nullopt);
        QCOMPARE(money("1200.5").toInteger(), std::nullopt);
        QVERIFY(money("1200").isWhole() && !money("1200.5").isWhole());
        QCOMPARE(money("0.1").toDouble(), 0.1);
        QCOMPARE(money("9999999999999.99").toDouble(), 9999999999999.99);
        QCOMPARE(Money::fromInteger(-5).toString(), QString("-5"));
    }
};

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
