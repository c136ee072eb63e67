#include "TypedCellText.h"
#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace exchange {

namespace {

constexpr int kMaxSignificantDigits = 15;

int significantDigits(const QString &mantissa)
{
    QString digits;
    for (QChar c : mantissa)
        if (c.isDigit())
            digits += c;
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == QLatin1Char('0'))
        ++first;
    qsizetype last = digits.size();
    if (mantissa.contains(QLatin1Char('.')))
        while (last > first && digits[last - 1] == QLatin1Char('0'))
            --last;
    return int(last - first);
}

bool asNumber(const QString &text, TypedCell &cell)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?$)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch() || significantDigits(m.captured(1)) > kMaxSignificantDigits)
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

} // namespace

TypedCell convertTypedText(const QString &text)
{
    TypedCell cell;
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
    for (char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

} // namespace exchange
