#include "data/core/ExactNumber.h"
#include <charconv>
#include <cmath>
#include <limits>

namespace data::exact {

namespace {

constexpr long long kMaxExponent = 1000000; // far beyond any column; keeps text bounded

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

long long Decimal::integerDigits() const
{
    return isZero() ? 0 : std::max<long long>(0, (long long)digits.size() + exponent);
}

long long Decimal::fractionDigits() const
{
    return exponent < 0 ? -exponent : 0;
}

namespace {

int signOf(const Decimal &d)
{
    return d.isZero() ? 0 : d.negative ? -1 : 1;
}

// Both non-zero: the leading digit's place first, then the digits (free of trailing
// zeros, so a shorter run that is a prefix is the smaller).
int compareMagnitude(const Decimal &a, const Decimal &b)
{
    const long long leadA = (long long)a.digits.size() + a.exponent, leadB = (long long)b.digits.size() + b.exponent;
    if (leadA != leadB)
        return leadA < leadB ? -1 : 1;
    const int r = a.digits.compare(b.digits);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

} // namespace

int compare(const Decimal &a, const Decimal &b)
{
    const int sa = signOf(a), sb = signOf(b);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    return sa == 0 ? 0 : sa * compareMagnitude(a, b);
}

bool parseDecimal(std::string_view s, Decimal &out)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    size_t i = 0;
    Decimal d;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        d.negative = s[i++] == '-';
    size_t mantissaDigits = 0;
    long long fraction = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++mantissaDigits)
        if (!d.digits.empty() || s[i] != '0')
            d.digits += s[i];
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++mantissaDigits) {
            ++fraction;
            if (!d.digits.empty() || s[i] != '0')
                d.digits += s[i];
        }
    }
    if (mantissaDigits == 0)
        return false;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            negativeExponent = s[i++] == '-';
        const size_t start = i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            exponent = exponent * 10 + (s[i] - '0');
            if (exponent > kMaxExponent)
                return false;
        }
        if (i == start)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != s.size())
        return false;
    d.exponent = exponent - fraction;
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    if (d.isZero()) {
        d.negative = false;
        d.exponent = 0;
    }
    out = std::move(d);
    return true;
}

std::string plainText(const Decimal &d)
{
    if (d.isZero())
        return "0";
    std::string t = d.negative ? "-" : "";
    if (d.exponent >= 0) {
        t += d.digits;
        t.append(size_t(d.exponent), '0');
        return t;
    }
    const long long point = (long long)d.digits.size() + d.exponent;
    if (point > 0) {
        t.append(d.digits, 0, size_t(point));
        t += '.';
        t.append(d.digits, size_t(point));
    } else {
        t += "0.";
        t.append(size_t(-point), '0');
        t += d.digits;
    }
    return t;
}

MoneyResult parseMoney(std::string_view text, int64_t &scaled)
{
    Decimal d;
    if (!parseDecimal(text, d))
        return MoneyResult::NotANumber;
    if (d.isZero()) {
        scaled = 0;
        return MoneyResult::Ok;
    }
    if (d.exponent < -4)
        return MoneyResult::TooManyDecimals;
    const long long shift = d.exponent + 4; // zeros after the digits, in ten-thousandths
    if ((long long)d.digits.size() + shift > 19)
        return MoneyResult::OutOfRange;
    uint64_t magnitude = 0; // at most 19 digits: fits
    for (char c : d.digits)
        magnitude = magnitude * 10 + uint64_t(c - '0');
    for (long long k = 0; k < shift; ++k)
        magnitude *= 10;
    const uint64_t limit = uint64_t(std::numeric_limits<int64_t>::max()) + (d.negative ? 1 : 0);
    if (magnitude > limit)
        return MoneyResult::OutOfRange;
    scaled = d.negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return MoneyResult::Ok;
}

std::string moneyText(int64_t scaled)
{
    const bool negative = scaled < 0;
    const uint64_t magnitude = negative ? 0 - uint64_t(scaled) : uint64_t(scaled);
    std::string t = negative ? "-" : "";
    t += std::to_string(magnitude / uint64_t(kMoneyScale));
    uint64_t fraction = magnitude % uint64_t(kMoneyScale);
    if (fraction) {
        char digits[4];
        for (int k = 3; k >= 0; --k) {
            digits[k] = char('0' + fraction % 10);
            fraction /= 10;
        }
        int used = 4;
        while (digits[used - 1] == '0')
            --used;
        t += '.';
        t.append(digits, size_t(used));
    }
    return t;
}

bool moneyFromDouble(double value, int64_t &scaled)
{
    if (!std::isfinite(value))
        return false;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return parseMoney(std::string_view(buf, size_t(r.ptr - buf)), scaled) == MoneyResult::Ok;
}

FitResult fitsNumeric(const Decimal &d, int precision, int scale)
{
    if (precision <= 0)
        return FitResult::Ok;
    if (d.fractionDigits() > scale)
        return FitResult::TooManyDecimals;
    if (d.integerDigits() > precision - std::max(scale, 0))
        return FitResult::TooManyDigits;
    return FitResult::Ok;
}

} // namespace data::exact
