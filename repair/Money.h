#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>
#include <stdexcept>

namespace repair {

// An amount of money, held exactly as a decimal: a whole number of units of 10^-Decimals in 128
// bits. Ledgers are summed and compared in it, never in doubles, whose sums of thousands of
// amounts drift by cents and whose scaled differences overflow 64 bits. Amounts go up to about
// 1.7e28; anything that would go beyond raises MoneyOutOfRange.
class Money {
public:
    // Far finer than any currency: the digits a stored float carries beyond this are not money.
    static constexpr int Decimals = 10;

    constexpr Money() = default;

    // A whole amount.
    static Money fromInteger(qint64 value);
    // The decimal `text` spells: an optional sign, digits with an optional point, an optional
    // exponent (1.5e3), blanks around it allowed. Nothing for anything else. Digits beyond
    // Decimals are rounded half away from zero.
    static std::optional<Money> fromText(QStringView text);
    // The shortest decimal that reads back as the same double (0.1 for the double nearest 0.1),
    // which is what the number stored means. Nothing for infinities and NaN. Digits beyond
    // Decimals are rounded half away from zero.
    static std::optional<Money> fromDouble(double value);
    // A value read from a database as the amount it stands for: a whole number as it is, a real
    // as fromDouble(), a text as fromText(). Nothing for NULL, blobs and texts that spell no number.
    static std::optional<Money> fromStored(const QVariant &stored);

    Money operator+(Money other) const;
    Money operator-(Money other) const;
    Money &operator+=(Money other) { return *this = *this + other; }
    Money operator-() const;
    Money abs() const { return m_units < 0 ? -*this : *this; }
    bool operator==(Money other) const { return m_units == other.m_units; }
    bool operator!=(Money other) const { return m_units != other.m_units; }
    bool operator<(Money other) const { return m_units < other.m_units; }
    bool operator<=(Money other) const { return m_units <= other.m_units; }
    bool operator>(Money other) const { return m_units > other.m_units; }
    bool operator>=(Money other) const { return m_units >= other.m_units; }
    bool isZero() const { return m_units == 0; }

    // Whether two amounts differ by half a cent or more: below that, the difference is the
    // rounding of stored floats.
    bool differsFrom(Money other) const;

    bool isWhole() const;
    // The whole amount, when it is one and fits 64 bits.
    std::optional<qint64> toInteger() const;
    // The double nearest to the amount: for output only, and for engines that store reals.
    double toDouble() const;
    // The amount in as few decimals as it needs: "1200", "-0.3", "1000.125".
    QString toString() const;
    // The amount rounded half away from zero to `decimals` decimals, as a bookkeeper reads it:
    // "1200.00", "1000.13".
    QString toString(int decimals) const;

private:
    explicit constexpr Money(__int128 units) : m_units(units) {}
    __int128 m_units = 0;
};

// An amount, or a sum of amounts, beyond what Money holds.
class MoneyOutOfRange : public std::overflow_error {
public:
    MoneyOutOfRange() : std::overflow_error("amount out of range") {}
};

}  // namespace repair
