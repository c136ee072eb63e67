// Values of the rowset XML files: the text forms of XML-Data types, checked strictly.
#include "data/rowsetxml/RowsetXmlValues.h"
#include "data/core/ColumnStore.h"
#include "data/rowsetxml/RowsetXmlParser.h"
#include <QByteArray>
#include <QDateTime>
#include <charconv>
#include <limits>

namespace data::rowsetxml::detail {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

static char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool same(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::string lowered(std::string_view s)
{
    std::string out(trimmed(s));
    for (char &c : out)
        c = lower(c);
    return out;
}


ValueCheck parseInteger(std::string_view s, int64_t &v)
{
    s = trimmed(s);
    if (s.size() > 1 && s[0] == '+' && s[1] != '-')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ptr != s.data() + s.size())
        return ValueCheck::Invalid;
    if (r.ec == std::errc::result_out_of_range)
        return ValueCheck::OutOfRange;
    return r.ec == std::errc() ? ValueCheck::Ok : ValueCheck::Invalid;
}

bool parseBoolean(std::string_view s, int64_t &v)
{
    s = trimmed(s);
    if (same(s, "true") || s == "1" || s == "-1") {
        v = 1;
        return true;
    }
    if (same(s, "false") || s == "0") {
        v = 0;
        return true;
    }
    return false;
}

ValueCheck parseReal(std::string_view s, double &v)
{
    s = trimmed(s);
    bool negative = false;
    std::string_view body = s;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    // Infinity and NaN only when written as such, as this program writes them.
    if (same(body, "inf") || same(body, "infinity")) {
        v = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return ValueCheck::Ok;
    }
    if (same(body, "nan")) {
        v = std::numeric_limits<double>::quiet_NaN();
        return ValueCheck::Ok;
    }
    if (body.empty() || body[0] == '+' || body[0] == '-')
        return ValueCheck::Invalid;
    const auto r = std::from_chars(body.data(), body.data() + body.size(), v);
    if (r.ptr != body.data() + body.size())
        return ValueCheck::Invalid;
    if (r.ec == std::errc::result_out_of_range)
        return ValueCheck::OutOfRange; // beyond the double range, or a non-zero that reads as zero
    if (r.ec != std::errc())
        return ValueCheck::Invalid;
    if (negative)
        v = -v;
    return ValueCheck::Ok;
}

static bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

static int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool fitsUnsigned64(const exact::Decimal &d)
{
    return !d.negative && !(d.integerDigits() == 20 && exact::plainText(d) > kMaxUi8);
}

bool isGuidText(std::string_view s)
{
    if (s.size() == 38) {
        if (s.front() != '{' || s.back() != '}')
            return false;
        s = s.substr(1, 36);
    }
    if (s.size() != 36)
        return false;
    for (size_t i = 0; i < 36; ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (s[i] != '-')
                return false;
        } else if (!isHex(s[i])) {
            return false;
        }
    }
    return true;
}

static bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Other programs break long values over lines or put blanks between the pairs; a blank
// inside a pair is still an error.
bool parseHexBytes(std::string_view s, std::string &out)
{
    out.resize(s.size() / 2);
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        if (isBlank(s[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= s.size() || !isHex(s[i]) || !isHex(s[i + 1]))
            return false;
        out[n++] = char(hexValue(s[i]) * 16 + hexValue(s[i + 1]));
        i += 2;
    }
    out.resize(n);
    return true;
}

// ---- control characters in text ----------------------------------------------------------

bool isEscapedCharacter(uint32_t cp)
{
    return (cp < 0x20 && cp != 0x09 && cp != 0x0A && cp != 0x0D) || cp == 0xFFFE || cp == 0xFFFF;
}

// "_xHHHH_" at s[i] (exactly four hex digits): the code unit, or -1.
static long escapeAt(std::string_view s, size_t i)
{
    if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_')
        return -1;
    long v = 0;
    for (size_t k = 2; k < 6; ++k) {
        if (!isHex(s[i + k]))
            return -1;
        v = v * 16 + hexValue(s[i + k]);
    }
    return v;
}

bool startsHexEscapeShape(std::string_view s, size_t i)
{
    if (i + 6 > s.size() || s[i] != '_' || s[i + 1] != 'x')
        return false;
    for (size_t k = 2; k < 6; ++k)
        if (!isHex(s[i + k]))
            return false;
    return true;
}

bool decodeTextEscapes(std::string_view s, std::string &out)
{
    size_t at = s.find("_x");
    if (at == std::string_view::npos)
        return false;
    out.clear();
    size_t from = 0;
    for (; at != std::string_view::npos; at = s.find("_x", at + 1)) {
        if (at < from)
            continue;
        const long v = escapeAt(s, at);
        if (v < 0 || (v != 0x5F && !isEscapedCharacter(uint32_t(v))))
            continue;
        out.append(s.substr(from, at - from));
        appendUtf8(out, uint32_t(v));
        from = at + 7;
    }
    if (from == 0)
        return false;
    out.append(s.substr(from));
    return true;
}

bool parseBase64Bytes(std::string_view s, std::string &out)
{
    const auto r = QByteArray::fromBase64Encoding(QByteArray(s.data(), qsizetype(s.size())),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!r)
        return false;
    out.assign(r.decoded.constData(), size_t(r.decoded.size()));
    return true;
}

static int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

static bool digitsAt(std::string_view s, size_t pos, size_t count, int &value)
{
    if (pos + count > s.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Whole-second time of day "hh:mm[:ss[.fff]]" at s[i]; digits after the milliseconds
// must be zeros, since a value holds milliseconds and no less.
static ValueCheck parseClock(std::string_view s, size_t &i, int &h, int &mi, int &sec, int &ms)
{
    if (!digitsAt(s, i, 2, h) || i + 2 >= s.size() || s[i + 2] != ':' || !digitsAt(s, i + 3, 2, mi))
        return ValueCheck::Invalid;
    i += 5;
    if (i >= s.size() || s[i] != ':')
        return ValueCheck::Ok;
    if (!digitsAt(s, i + 1, 2, sec))
        return ValueCheck::Invalid;
    i += 3;
    if (i >= s.size() || s[i] != '.')
        return ValueCheck::Ok;
    ++i;
    size_t n = 0;
    bool finer = false;
    for (int scale = 100; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++n, scale /= 10) {
        if (scale > 0)
            ms += (s[i] - '0') * scale;
        else
            finer |= s[i] != '0';
    }
    if (n == 0)
        return ValueCheck::Invalid;
    return finer ? ValueCheck::TooPrecise : ValueCheck::Ok;
}

// "Z", "+hh:mm" or "-hh:mm" at s[i], as minutes east of UTC.
static bool parseZone(std::string_view s, size_t &i, int &minutes)
{
    if (s[i] == 'Z' || s[i] == 'z') {
        minutes = 0;
        ++i;
        return true;
    }
    int zh, zm;
    if ((s[i] != '+' && s[i] != '-') || !digitsAt(s, i + 1, 2, zh) || i + 3 >= s.size() || s[i + 3] != ':' ||
        !digitsAt(s, i + 4, 2, zm) || zh > 14 || zm > 59)
        return false;
    minutes = (zh * 60 + zm) * (s[i] == '-' ? -1 : 1);
    i += 6;
    return true;
}

ValueCheck parseDateTime(std::string_view s, int64_t &msecs, bool *zonedOut)
{
    s = trimmed(s);
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, sec = 0, ms = 0;
    size_t i = 0;
    const bool timeOnly = s.size() >= 5 && s[2] == ':';
    bool hasTime = false;
    if (!timeOnly) {
        if (s.size() < 10 || !digitsAt(s, 0, 4, y) || s[4] != '-' || !digitsAt(s, 5, 2, mo) || s[7] != '-' ||
            !digitsAt(s, 8, 2, d))
            return ValueCheck::Invalid;
        i = 10;
        if (i < s.size() && (s[i] == 'T' || s[i] == 't' || s[i] == ' ')) {
            ++i;
            if (i >= s.size() || s[i] < '0' || s[i] > '9')
                return ValueCheck::Invalid; // a separator with no time after it
        }
    }
    if (i < s.size() && s[i] >= '0' && s[i] <= '9' && (timeOnly || i > 10)) {
        hasTime = true;
        const ValueCheck clock = parseClock(s, i, h, mi, sec, ms);
        if (clock != ValueCheck::Ok)
            return clock;
    } else if (timeOnly) {
        return ValueCheck::Invalid;
    }
    bool zoned = false;
    int zoneMinutes = 0;
    if (i < s.size()) {
        zoned = parseZone(s, i, zoneMinutes);
        if (!zoned || i != s.size())
            return ValueCheck::Invalid;
    }
    static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] || h > 23 || mi > 59 || sec > 59)
        return ValueCheck::Invalid;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo == 2 && d == 29 && !leap)
        return ValueCheck::Invalid;
    msecs = daysFromCivil(y, unsigned(mo), unsigned(d)) * 86400000 + ((h * 60 + mi) * 60 + sec) * 1000LL + ms;
    if (zonedOut)
        *zonedOut = zoned;
    if (!zoned)
        return ValueCheck::Ok;
    if (!hasTime || timeOnly)
        return ValueCheck::ZoneOnDateOrTime;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs - zoneMinutes * 60000LL, Qt::LocalTime);
    if (!local.isValid() || local.date().year() < 1 || local.date().year() > 9999)
        return ValueCheck::OutOfRange;
    msecs = ColumnStore::toEpochMsecs(local);
    return ValueCheck::Ok;
}

} // namespace data::rowsetxml::detail
