#pragma once
// Exact decimal numbers as text: currency held as a 64-bit count of ten-thousandths (the
// way the data layer's CY type holds it), and decimal text checked against a declared
// precision and scale. Nothing here goes through double, so nothing is rounded.
#include <cstdint>
#include <string>
#include <string_view>

namespace data::exact {

// A decimal number taken apart: value = (negative ? -1 : 1) * digits * 10^exponent, with
// the digits free of leading and trailing zeros ("" for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    long long exponent = 0;

    bool isZero() const { return digits.empty(); }
    // Digits before and after the decimal point in plain notation.
    long long integerDigits() const;
    long long fractionDigits() const;
    bool operator==(const Decimal &) const = default;
};

// Reads "-12.50", "+.5", "1E-3" (blanks around allowed; no thousands separators).
bool parseDecimal(std::string_view text, Decimal &out);
// Plain notation, no exponent, no trailing zeros: "-12.5", "0.001", "0".
std::string plainText(const Decimal &d);
// -1, 0 or 1 as a is less than, equal to or greater than b.
int compare(const Decimal &a, const Decimal &b);

enum class MoneyResult { Ok, NotANumber, TooManyDecimals, OutOfRange };

inline constexpr int64_t kMoneyScale = 10000;

// Currency text to ten-thousandths; more than four decimals that are not zeros, or a value
// outside -922337203685477.5808 .. 922337203685477.5807, is refused.
MoneyResult parseMoney(std::string_view text, int64_t &scaled);
// "1234.5", "-0.0001", "7".
std::string moneyText(int64_t scaled);
// A double read from a database as money: exact when its shortest text has at most four
// decimals and fits the range.
bool moneyFromDouble(double value, int64_t &scaled);

// Whether decimal text fits numeric(precision, scale); precision 0 means unknown (anything
// fits).
enum class FitResult { Ok, TooManyDecimals, TooManyDigits };
FitResult fitsNumeric(const Decimal &d, int precision, int scale);

} // namespace data::exact
