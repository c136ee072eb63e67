#include "TypedCellText.h"
#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace exchange {

namespace {

constexpr int kMaxSignificantDigits = 15;

// A decimal number: sign, digits with at most one point, an optional exponent of up to
// three digits. Significant digits are counted in the mantissa (leading zeros, and
// trailing zeros after a point, do not count).
bool isPlainNumber(const QString &text, int &significant)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0, leadingZeros = 0, trailingZeros = 0;
    bool point = false, nonZeroSeen = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= '0' && c <= '9') {
            ++digits;
            if (c == '0' && !nonZeroSeen)
                ++leadingZeros;
            trailingZeros = (c == '0') ? trailingZeros + 1 : 0;
            nonZeroSeen = nonZeroSeen || c != '0';
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    significant = digits - leadingZeros - (point && nonZeroSeen ? trailingZeros : 0);
    if (!nonZeroSeen)
        significant = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        int expDigits = 0;
        for (; i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9'; ++i)
            ++expDigits;
        if (expDigits == 0 || expDigits > 3)
            return false;
    }
    return i == n;
}

bool asNumber(const QString &text, TypedCell &cell)
{
    int significant = 0;
    if (!isPlainNumber(text, significant) || significant > kMaxSignificantDigits)
        return false;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    cell = {CellKind::Number, value};
    return true;
}

// Days since 1899-12-30 as the 1900 date system counts them (it holds a 29 February
// 1900 that never was, so dates before March 1900 are one day lower).
bool dateSerial(const QDate &date, double &serial)
{
    if (!date.isValid() || date.year() < 1900 || date.year() > 9999)
        return false;
    qint64 days = QDate(1899, 12, 30).daysTo(date);
    if (date < QDate(1900, 3, 1))
        --days;
    serial = double(days);
    return true;
}

bool timeFraction(const QString &h, const QString &m, const QString &s, double &fraction)
{
    const QTime t(h.toInt(), m.toInt(), s.isEmpty() ? 0 : s.toInt());
    if (!t.isValid())
        return false;
    fraction = t.msecsSinceStartOfDay() / 86400000.0;
    return true;
}

bool asDateOrTime(const QString &text, TypedCell &cell)
{
    static const QRegularExpression dateTime(QStringLiteral(
        R"(^(\d{4})([/-])(\d{1,2})\2(\d{1,2})(?: (\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression timeOnly(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));
    if (text.size() < 4 || text.size() > 19)
        return false;
    if (const QRegularExpressionMatch t = timeOnly.match(text); t.hasMatch()) {
        double fraction = 0;
        if (!timeFraction(t.captured(1), t.captured(2), t.captured(3), fraction))
            return false;
        cell = {CellKind::Time, fraction};
        return true;
    }
    const QRegularExpressionMatch d = dateTime.match(text);
    if (!d.hasMatch())
        return false;
    double serial = 0;
    if (!dateSerial(QDate(d.captured(1).toInt(), d.captured(3).toInt(), d.captured(4).toInt()), serial))
        return false;
    if (!d.hasCaptured(5)) {
        cell = {CellKind::Date, serial};
        return true;
    }
    double fraction = 0;
    if (!timeFraction(d.captured(5), d.captured(6), d.captured(7), fraction))
        return false;
    cell = {d.hasCaptured(7) ? CellKind::DateTime : CellKind::DateTimeMinutes, serial + fraction};
    return true;
}

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool asLogical(const QString &text, TypedCell &cell)
{
    for (const bool value : {true, false})
        if (text.compare(value ? QLatin1String("TRUE") : QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            cell = {CellKind::Logical, value ? 1.0 : 0.0};
            return true;
        }
    return false;
}

} // namespace

TypedCell convertTypedText(const QString &text)
{
    TypedCell cell;
    if (asLogical(text, cell))
        return cell;
    // Every number, date and time starts with a digit, a sign or a point.
    if (text.isEmpty() || !(text[0].isDigit() || text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+') ||
                            text[0] == QLatin1Char('.')))
        return cell;
    if (asNumber(text, cell) || asDateOrTime(text, cell))
        return cell;
    return TypedCell{};
}

int displayWidthOf(const QString &text)
{
    int width = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x1100) {
            ++width;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

} // namespace exchange
