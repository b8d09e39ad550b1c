#include "Money.h"

#include "db/StoredValue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace repair {

namespace {

// 10^n, for n from 0 to 38.
__int128 powerOfTen(int n)
{
    static const auto powers = [] {
        std::array<__int128, 39> table{};
        table[0] = 1;
        for (std::size_t i = 1; i < table.size(); ++i)
            table[i] = table[i - 1] * 10;
        return table;
    }();
    return powers[std::size_t(n)];
}

const __int128 UnitsPerWhole = powerOfTen(Money::Decimals);

// Raises MoneyOutOfRange where `fits` is false: 128-bit arithmetic overflowed.
void require(bool fits)
{
    if (!fits)
        throw MoneyOutOfRange();
}

// The decimal digits of a non-negative number.
QString digitsOf(__int128 value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString digits;
    for (; value > 0; value /= 10)
        digits.prepend(QChar(u'0' + int(value % 10)));
    return digits;
}

// `units` as a decimal with exactly `decimals` decimals (0 to Decimals), the units already a
// multiple of 10^(Decimals - decimals).
QString decimalText(__int128 units, int decimals)
{
    const bool negative = units < 0;
    const __int128 magnitude = negative ? -units : units;
    QString text = digitsOf(magnitude / UnitsPerWhole);
    if (decimals > 0) {
        const QString fraction = digitsOf(magnitude % UnitsPerWhole).rightJustified(Money::Decimals, u'0');
        text += QLatin1Char('.') + fraction.left(decimals);
    }
    return negative && magnitude != 0 ? QLatin1Char('-') + text : text;
}

}  // namespace

Money Money::fromInteger(qint64 value)
{
    return Money(__int128(value) * UnitsPerWhole);
}

namespace {

// The character at `i` of either kind of text, as a UTF-16 code unit.
char16_t unitAt(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

char16_t unitAt(std::string_view text, qsizetype i)
{
    return static_cast<unsigned char>(text[std::size_t(i)]);
}

// The units of the decimal `text` spells (no blanks around it), for fromText() and fromDouble():
// an optional sign, digits with an optional point, an optional exponent; nothing for anything
// else.
template <typename Text> std::optional<__int128> unitsOf(Text text)
{
    const auto size = qsizetype(text.size());
    qsizetype at = 0;
    const auto next = [&] { return at < size ? unitAt(text, at) : char16_t(0); };
    const bool negative = next() == u'-';
    if (next() == u'-' || next() == u'+')
        ++at;
    // The digits without the point, leading zeros dropped; the exponent of their last digit.
    std::string digits;
    qint64 exponent = 0;
    bool anyDigit = false, point = false;
    for (; at < size; ++at) {
        const char16_t c = unitAt(text, at);
        if (c == u'.' && !point) {
            point = true;
        } else if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (!digits.empty() || c != u'0')
                digits += char(c);
            if (point)
                --exponent;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (next() == u'e' || next() == u'E') {
        ++at;
        const bool negativeExponent = next() == u'-';
        if (next() == u'-' || next() == u'+')
            ++at;
        qint64 written = 0;
        bool exponentDigit = false;
        for (; at < size && next() >= u'0' && next() <= u'9'; ++at) {
            exponentDigit = true;
            written = std::min<qint64>(written * 10 + (next() - u'0'), 100000);
        }
        if (!exponentDigit)
            return std::nullopt;
        exponent += negativeExponent ? -written : written;
    }
    if (at != size)
        return std::nullopt;
    if (digits.empty())
        return __int128(0);

    // value = digits * 10^exponent; in units, digits * 10^(exponent + Decimals)
    const auto count = qsizetype(digits.size());
    const qint64 shift = exponent + Money::Decimals;
    const qsizetype kept = shift >= 0 ? count : std::max<qint64>(0, count + shift);
    require(shift <= 38 && kept + std::max<qint64>(shift, 0) <= 39);
    __int128 units = 0;
    for (qsizetype i = 0; i < kept; ++i)
        require(!__builtin_mul_overflow(units, 10, &units) && !__builtin_add_overflow(units, digits[std::size_t(i)] - '0', &units));
    if (shift > 0)
        require(!__builtin_mul_overflow(units, powerOfTen(int(shift)), &units));
    else if (kept < count && kept == count + shift && digits[std::size_t(kept)] >= '5')
        ++units;  // half away from zero: the first digit dropped decides, when it is the next one
    return negative ? -units : units;
}

}  // namespace

std::optional<Money> Money::fromText(QStringView text)
{
    const std::optional<__int128> units = unitsOf(text.trimmed());
    return units ? std::optional<Money>(Money(*units)) : std::nullopt;
}

std::optional<Money> Money::fromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    char shortest[32];
    const std::to_chars_result written = std::to_chars(shortest, shortest + sizeof shortest, value);
    const std::optional<__int128> units = unitsOf(std::string_view(shortest, std::size_t(written.ptr - shortest)));
    return units ? std::optional<Money>(Money(*units)) : std::nullopt;
}

std::optional<Money> Money::fromStored(const QVariant &stored)
{
    switch (db::storageClass(stored)) {
    case db::StorageClass::Integer:
        return fromInteger(stored.toLongLong());
    case db::StorageClass::Real:
        return fromDouble(stored.toDouble());
    case db::StorageClass::Text:
        return fromText(stored.toString());
    case db::StorageClass::Other:
        if (stored.typeId() == QMetaType::ULongLong)  // beyond the signed 64 bits, still exact
            return Money(__int128(stored.toULongLong()) * UnitsPerWhole);
        [[fallthrough]];
    default:
        return std::nullopt;
    }
}

Money Money::operator+(Money other) const
{
    __int128 sum = 0;
    require(!__builtin_add_overflow(m_units, other.m_units, &sum));
    return Money(sum);
}

Money Money::operator-(Money other) const
{
    __int128 difference = 0;
    require(!__builtin_sub_overflow(m_units, other.m_units, &difference));
    return Money(difference);
}

Money Money::operator-() const
{
    return Money() - *this;
}

bool Money::differsFrom(Money other) const
{
    static const Money halfACent = *fromText(u"0.005");
    return (*this - other).abs() >= halfACent;
}

bool Money::isWhole() const
{
    return m_units % UnitsPerWhole == 0;
}

std::optional<qint64> Money::toInteger() const
{
    const __int128 whole = m_units / UnitsPerWhole;
    if (!isWhole() || whole > std::numeric_limits<qint64>::max() || whole < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return qint64(whole);
}

double Money::toDouble() const
{
    return toString().toDouble();
}

QString Money::toString() const
{
    int decimals = Decimals;
    for (__int128 units = m_units; decimals > 0 && units % 10 == 0; units /= 10)
        --decimals;
    return decimalText(m_units, decimals);
}

QString Money::toString(int decimals) const
{
    decimals = std::clamp(decimals, 0, int(Decimals));
    const __int128 step = powerOfTen(Decimals - decimals);
    __int128 rounded = m_units / step * step;
    const __int128 rest = m_units % step;
    if (rest != 0 && (rest < 0 ? -rest : rest) * 2 >= step)
        rounded += rest < 0 ? -step : step;
    return decimalText(rounded, decimals);
}

}  // namespace repair
