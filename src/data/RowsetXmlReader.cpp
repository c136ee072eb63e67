// Reading the rowset XML format, from this program and from ADO itself. Tolerant where
// real files differ (any prefixes, either quote, global attribute types, pending changes,
// rows without the z: prefix) and strict where data would otherwise be lost silently
// (values that do not fit their declared type).
#include "RowsetXml.h"
#include "DatabaseError.h"
#include "RowsetXmlParser.h"
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>

namespace data::rowsetxml {

namespace {

using namespace detail;

// ---- small text helpers -----------------------------------------------------------------

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
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

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString shown(std::string_view s)
{
    constexpr size_t kMax = 60;
    if (s.size() <= kMax)
        return qs(s);
    size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return qs(s.substr(0, cut)) + QStringLiteral("...");
}

bool flag(std::string_view v)
{
    const std::string_view t = trimmed(v);
    return same(t, "true") || t == "1" || t == "-1";
}

bool parseCount(std::string_view v, long long &out)
{
    const std::string_view t = trimmed(v);
    const auto r = std::from_chars(t.data(), t.data() + t.size(), out);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// ---- value parsers ----------------------------------------------------------------------

bool parseInteger(std::string_view s, int64_t &v)
{
    s = trimmed(s);
    if (s.size() > 1 && s[0] == '+' && s[1] != '-')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
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

bool parseReal(std::string_view s, double &v)
{
    s = trimmed(s);
    bool negative = false;
    std::string_view body = s;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    if (same(body, "inf") || same(body, "infinity")) {
        v = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (same(body, "nan")) {
        v = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (body.empty() || body[0] == '+' || body[0] == '-')
        return false;
    const auto r = std::from_chars(body.data(), body.data() + body.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the double range: infinity or zero, as the text says.
        if (!(r.ptr == body.data() + body.size()))
            return false;
        const size_t e = body.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < body.size() && body[e + 1] == '-';
        v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc() || r.ptr != body.data() + body.size()) {
        return false;
    }
    if (negative)
        v = -v;
    return true;
}

// Exact decimals stay text: "-12.50", "1E-3"; no thousands separators.
bool isDecimalText(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t exp = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++exp;
        if (exp == 0)
            return false;
    }
    return i == s.size();
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
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

bool parseHexBytes(std::string_view s, std::string &out)
{
    s = trimmed(s);
    if (s.size() % 2)
        return false;
    out.resize(s.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const char a = s[2 * i], b = s[2 * i + 1];
        if (!isHex(a) || !isHex(b))
            return false;
        out[i] = char(hexValue(a) * 16 + hexValue(b));
    }
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

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

bool digitsAt(std::string_view s, size_t pos, size_t count, int &value)
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

// yyyy-mm-dd[Thh:mm[:ss[.fff...]]][Z|+hh:mm], or a lone hh:mm[:ss[.fff]] (a time of day,
// on the day the time columns use). A zone is accepted and the wall-clock time kept.
bool parseDateTime(std::string_view s, int64_t &msecs)
{
    s = trimmed(s);
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, sec = 0, ms = 0;
    size_t i = 0;
    const bool timeOnly = s.size() >= 5 && s[2] == ':';
    if (!timeOnly) {
        if (!digitsAt(s, 0, 4, y) || s.size() < 10 || s[4] != '-' || !digitsAt(s, 5, 2, mo) || s[7] != '-' ||
            !digitsAt(s, 8, 2, d))
            return false;
        i = 10;
        if (i < s.size() && (s[i] == 'T' || s[i] == 't' || s[i] == ' '))
            ++i;
        else if (i < s.size() && s[i] != 'Z' && s[i] != '+' && s[i] != '-')
            return false;
    }
    if (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (!digitsAt(s, i, 2, h) || i + 2 >= s.size() || s[i + 2] != ':' || !digitsAt(s, i + 3, 2, mi))
            return false;
        i += 5;
        if (i < s.size() && s[i] == ':') {
            if (!digitsAt(s, i + 1, 2, sec))
                return false;
            i += 3;
            if (i < s.size() && s[i] == '.') {
                ++i;
                size_t n = 0;
                int scale = 100;
                while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                    ms += (s[i] - '0') * scale;
                    scale /= 10;
                    ++i;
                    ++n;
                }
                if (n == 0)
                    return false;
            }
        }
    } else if (timeOnly) {
        return false;
    }
    if (i < s.size()) {
        int zh, zm;
        if (s[i] == 'Z' || s[i] == 'z')
            ++i;
        else if ((s[i] == '+' || s[i] == '-') && digitsAt(s, i + 1, 2, zh) && i + 3 < s.size() && s[i + 3] == ':' &&
                 digitsAt(s, i + 4, 2, zm))
            i += 6;
        if (i != s.size())
            return false;
    }
    static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] || h > 23 || mi > 59 || sec > 59)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (mo == 2 && d == 29 && !leap)
        return false;
    msecs = daysFromCivil(y, unsigned(mo), unsigned(d)) * 86400000 + ((h * 60 + mi) * 60 + sec) * 1000LL + ms;
    return true;
}

// ---- schema -----------------------------------------------------------------------------

enum class Conversion { Integer, Boolean, Real, Decimal, DateTime, Text, Guid, HexBytes, Base64Bytes };

struct ColumnDef {
    std::string xmlName;
    QString realName;
    bool hasRealName = false;
    bool hasNumber = false;
    long long number = 0;
    size_t docIndex = 0;
    int nullable = -1;  // rs:nullable: -1 absent
    int maybeNull = -1; // rs:maybenull: -1 absent
    bool write = false;
    bool writeUnknown = false;
    bool hidden = false;
    bool key = false;
    bool autoIncrement = false;
    QString baseCatalog, baseSchema, baseTable, baseColumn;
    std::string dtType; // as written, for messages
    std::string dbType;
    bool hasMaxLength = false;
    long long maxLength = 0;
    long long precision = 0;
    long long scale = 0;
    bool fixed = false;
    bool isLong = false;
    size_t offset = 0; // where it is declared

    // Filled when the schema is complete.
    ColumnInfo info;
    Conversion conversion = Conversion::Text;
    int output = -1; // column index in the result; -1 for hidden columns
};

void applyAttribute(ColumnDef &d, const XmlAttribute &a)
{
    const std::string_view n = a.local;
    const std::string_view v = a.value;
    if (a.ns == Ns::None) {
        if (n == "name")
            d.xmlName = std::string(v);
        return;
    }
    if (a.ns == Ns::DataType) {
        if (n == "type")
            d.dtType = std::string(trimmed(v));
        else if (n == "maxLength")
            d.hasMaxLength = parseCount(v, d.maxLength);
        return;
    }
    if (a.ns != Ns::Rowset)
        return;
    if (n == "name") {
        d.realName = qs(v);
        d.hasRealName = true;
    } else if (n == "number") {
        d.hasNumber = parseCount(v, d.number);
    } else if (n == "nullable") {
        d.nullable = flag(v);
    } else if (n == "maybenull") {
        d.maybeNull = flag(v);
    } else if (n == "write") {
        d.write = flag(v);
    } else if (n == "writeunknown") {
        d.writeUnknown = flag(v);
    } else if (n == "hidden") {
        d.hidden = flag(v);
    } else if (n == "keycolumn") {
        d.key = flag(v);
    } else if (n == "autoincrement") {
        d.autoIncrement = flag(v);
    } else if (n == "basecatalog") {
        d.baseCatalog = qs(v);
    } else if (n == "baseschema") {
        d.baseSchema = qs(v);
    } else if (n == "basetable") {
        d.baseTable = qs(v);
    } else if (n == "basecolumn") {
        d.baseColumn = qs(v);
    } else if (n == "dbtype") {
        d.dbType = std::string(trimmed(v));
    } else if (n == "precision") {
        parseCount(v, d.precision);
    } else if (n == "scale") {
        parseCount(v, d.scale);
    } else if (n == "fixedlength") {
        d.fixed = flag(v);
    } else if (n == "long") {
        d.isLong = flag(v);
    }
}

// The field type, the way values are read, and the sizes, from the XML-Data type and the
// rs:dbtype that narrows it.
void settleType(ColumnDef &d)
{
    const std::string t = lowered(d.dtType);
    const std::string db = lowered(d.dbType);
    ColumnInfo &info = d.info;
    auto clampInt = [](long long v) { return int(std::clamp<long long>(v, 0, std::numeric_limits<int>::max())); };
    bool sized = false; // size comes from dt:maxLength
    if (t == "int" || t == "i4") {
        info.type = d.autoIncrement ? ftAutoInc : ftInteger;
        d.conversion = Conversion::Integer;
    } else if (t == "i2" || t == "i1") {
        info.type = ftSmallint;
        d.conversion = Conversion::Integer;
    } else if (t == "ui1" || t == "ui2") {
        info.type = ftWord;
        d.conversion = Conversion::Integer;
    } else if (t == "i8" || t == "ui4" || t == "ui8") {
        info.type = ftLargeint;
        d.conversion = Conversion::Integer;
    } else if (t == "float" || t == "r8" || t == "r4") {
        info.type = ftFloat;
        d.conversion = Conversion::Real;
    } else if (t == "fixed.14.4" || (t == "number" && db == "currency")) {
        info.type = ftCurrency;
        d.conversion = Conversion::Real;
    } else if (t == "number" || t == "decimal" || t == "numeric") {
        info.type = (db == "varnumeric" || db == "decimal") ? ftFMTBcd : ftBCD;
        d.conversion = Conversion::Decimal;
        info.size = clampInt(d.scale);
    } else if (t == "boolean") {
        info.type = ftBoolean;
        d.conversion = Conversion::Boolean;
    } else if (t == "datetime" || t == "datetime.tz") {
        info.type = (db == "date" || db == "dbdate") ? ftDate : (db == "time" || db == "dbtime") ? ftTime : ftDateTime;
        d.conversion = Conversion::DateTime;
    } else if (t == "date") {
        info.type = ftDate;
        d.conversion = Conversion::DateTime;
    } else if (t == "time" || t == "time.tz") {
        info.type = ftTime;
        d.conversion = Conversion::DateTime;
    } else if (t == "uuid") {
        info.type = ftGuid;
        d.conversion = Conversion::Guid;
        info.size = 38;
    } else if (t == "bin.hex" || t == "bin.base64") {
        info.type = d.isLong ? ftBlob : d.fixed ? ftBytes : ftVarBytes;
        d.conversion = t == "bin.hex" ? Conversion::HexBytes : Conversion::Base64Bytes;
        info.isLong = d.isLong;
        info.fixedLength = d.fixed && !d.isLong;
        sized = true;
    } else {
        // "string", no type at all (a variable-length string), or a type this program
        // has no better match for.
        info.ansi = db == "str";
        if (info.ansi)
            info.type = d.isLong ? ftMemo : d.fixed ? ftFixedChar : ftString;
        else
            info.type = d.isLong ? ftWideMemo : ftWideString;
        d.conversion = Conversion::Text;
        info.isLong = d.isLong;
        info.fixedLength = d.fixed && !d.isLong;
        sized = true;
    }
    if (sized && d.hasMaxLength) {
        // Long data carries a nominal maximum (2 GB, 1 GB, Jet's 536870910): no real limit.
        info.size = (d.isLong && d.maxLength >= 536870910) ? 0 : clampInt(d.maxLength);
    }
    info.precision = clampInt(d.precision);
    info.scale = clampInt(d.scale);
}

struct Schema {
    std::vector<ColumnDef> defs;     // in column order, hidden ones included
    std::string rowName = "row";     // local name of the row elements
    bool updatable = false;
    // Attribute name -> def, sorted for lookups.
    std::vector<std::pair<std::string_view, int>> byName;
};

class Reader {
public:
    Reader(std::string_view doc, const QString &source) : doc_(doc), source_(source), x_(doc) {}

    Rowset read()
    {
        if (x_.next() != XmlPullParser::StartElement || x_.localName() != "xml")
            notRowset(QStringLiteral("the root element is <%1>, not <xml>").arg(qs(currentQName())));
        x_.checkUniqueAttributes();
        bool haveSchema = false, haveData = false;
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (x_.ns() == Ns::Schema && x_.localName() == "Schema" && !haveSchema) {
                readSchema();
                haveSchema = true;
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "data" && !haveData) {
                if (!haveSchema)
                    notRowset(noSchemaText());
                readData();
                haveData = true;
            } else {
                x_.skipElement();
            }
        }
        while (x_.next() != XmlPullParser::EndDocument) {
        }
        if (!haveSchema)
            notRowset(noSchemaText());
        if (!haveData)
            notRowset(QStringLiteral("it has no data section (rs:data)"));
        result_.updatable = schema_.updatable;
        return std::move(result_);
    }

private:
    QString where(size_t offset) const
    {
        int line, column;
        lineAndColumn(doc_, offset, line, column);
        return QStringLiteral("line %1, column %2").arg(line).arg(column);
    }

    [[noreturn]] void notRowset(const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' is not a rowset XML file: %2").arg(source_, why));
    }
    [[noreturn]] void badSchema(size_t offset, const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' has an invalid rowset schema (%2): %3").arg(source_, where(offset), why));
    }

    QString noSchemaText() const
    {
        return QStringLiteral("it has no rowset schema (an s:Schema element in the namespace %1)").arg(qs(kNsSchema));
    }

    std::string currentQName() const
    {
        std::string q(x_.prefix());
        if (!q.empty())
            q += ':';
        q += x_.localName();
        return q;
    }

    // ---- schema ----

    void readSchema()
    {
        std::vector<ColumnDef> rowDefs;            // declared inside the row type
        std::vector<std::pair<std::string, size_t>> references; // s:attribute type=..., offset
        std::map<std::string, ColumnDef> globals;  // s:AttributeType under s:Schema
        bool haveRowType = false;
        size_t declared = 0;
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (x_.ns() == Ns::Schema && x_.localName() == "ElementType") {
                std::string name;
                bool updatable = false;
                for (const auto &a : x_.attributes()) {
                    if (a.ns == Ns::None && a.local == "name")
                        name = std::string(trimmed(a.value));
                    else if (a.local == "updatable" && (a.ns == Ns::Rowset || a.ns == Ns::None))
                        updatable = flag(a.value);
                }
                // The row type is the one named "row"; failing that, the first one.
                const bool take = !haveRowType || (schema_.rowName != "row" && name == "row");
                if (!take) {
                    x_.skipElement();
                    continue;
                }
                haveRowType = true;
                schema_.rowName = name.empty() ? std::string("row") : name;
                schema_.updatable = updatable;
                rowDefs.clear();
                references.clear();
                while (x_.next() == XmlPullParser::StartElement) {
                    x_.checkUniqueAttributes();
                    if (x_.ns() == Ns::Schema && x_.localName() == "AttributeType") {
                        rowDefs.push_back(readAttributeType(declared++));
                    } else if (x_.ns() == Ns::Schema && x_.localName() == "attribute") {
                        for (const auto &a : x_.attributes())
                            if (a.ns == Ns::None && a.local == "type")
                                references.emplace_back(std::string(trimmed(a.value)), x_.tokenOffset());
                        x_.skipElement();
                    } else {
                        x_.skipElement(); // s:extends, chapter element types, anything else
                    }
                }
            } else if (x_.ns() == Ns::Schema && x_.localName() == "AttributeType") {
                ColumnDef d = readAttributeType(declared++);
                globals[d.xmlName] = d;
            } else {
                x_.skipElement();
            }
        }
        if (!haveRowType)
            notRowset(QStringLiteral("its schema declares no row type (s:ElementType)"));
        for (const auto &[name, offset] : references) {
            const auto it = globals.find(name);
            if (it == globals.end())
                badSchema(offset, QStringLiteral("s:attribute refers to '%1', which is not declared").arg(qs(name)));
            ColumnDef d = it->second;
            d.docIndex = declared++;
            rowDefs.push_back(d);
        }

        // Column order is rs:number; columns without one follow in document order.
        std::stable_sort(rowDefs.begin(), rowDefs.end(), [](const ColumnDef &a, const ColumnDef &b) {
            if (a.hasNumber != b.hasNumber)
                return a.hasNumber;
            if (a.hasNumber && a.number != b.number)
                return a.number < b.number;
            return a.docIndex < b.docIndex;
        });

        bool fileUsesNullable = false, fileUsesWrite = false;
        for (const ColumnDef &d : rowDefs) {
            fileUsesNullable |= d.nullable >= 0;
            fileUsesWrite |= d.write || d.writeUnknown;
        }
        int outputs = 0;
        for (ColumnDef &d : rowDefs) {
            if (d.xmlName.empty())
                badSchema(d.offset, QStringLiteral("an s:AttributeType has no name"));
            settleType(d);
            ColumnInfo &info = d.info;
            info.name = d.hasRealName ? d.realName : QString::fromStdString(d.xmlName);
            // ADO marks columns that cannot hold NULL with rs:maybenull='false' and the
            // others with rs:nullable='true'; older examples use rs:maybenull='true'.
            if (d.maybeNull >= 0)
                info.nullable = d.maybeNull == 1;
            else if (d.nullable >= 0)
                info.nullable = d.nullable == 1;
            else
                info.nullable = !fileUsesNullable;
            info.readOnly = fileUsesWrite && !d.write && !d.writeUnknown;
            info.autoIncrement = d.autoIncrement;
            info.keyColumn = d.key;
            info.baseCatalog = d.baseCatalog;
            info.baseSchema = d.baseSchema;
            info.baseTable = d.baseTable;
            info.baseColumn = d.baseColumn;
            d.output = d.hidden ? -1 : outputs++;
        }
        schema_.defs = std::move(rowDefs);
        for (size_t i = 0; i < schema_.defs.size(); ++i)
            schema_.byName.emplace_back(schema_.defs[i].xmlName, int(i));
        std::sort(schema_.byName.begin(), schema_.byName.end());
        for (size_t i = 1; i < schema_.byName.size(); ++i)
            if (schema_.byName[i].first == schema_.byName[i - 1].first)
                badSchema(schema_.defs[size_t(schema_.byName[i].second)].offset,
                          QStringLiteral("the attribute name '%1' is declared twice").arg(qs(schema_.byName[i].first)));

        for (const ColumnDef &d : schema_.defs) {
            if (d.output < 0)
                continue;
            result_.columns.push_back(d.info);
            result_.rows.columns.emplace_back(storageFor(d.info.type));
        }
        base_.resize(schema_.defs.size());
        change_.resize(schema_.defs.size());
    }

    ColumnDef readAttributeType(size_t docIndex)
    {
        ColumnDef d;
        d.docIndex = docIndex;
        d.offset = x_.tokenOffset();
        for (const auto &a : x_.attributes())
            applyAttribute(d, a);
        d.xmlName = std::string(trimmed(d.xmlName));
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (x_.ns() == Ns::Schema && x_.localName() == "datatype") {
                for (const auto &a : x_.attributes())
                    if (a.ns != Ns::None)
                        applyAttribute(d, a);
            }
            x_.skipElement();
        }
        return d;
    }

    // ---- data ----

    struct Slot {
        std::string_view value;
        std::string own;
        size_t offset = 0;
        uint64_t generation = 0;
    };

    bool isRow() const
    {
        return x_.localName() == schema_.rowName && x_.ns() != Ns::Schema && x_.ns() != Ns::Rowset &&
               x_.ns() != Ns::DataType;
    }

    int lookup(std::string_view name)
    {
        // Rows list their attributes in column order, so the next name is usually the
        // column after the last match.
        if (guess_ < schema_.defs.size() && schema_.defs[guess_].xmlName == name)
            return int(guess_++);
        const auto &names = schema_.byName;
        const auto it = std::lower_bound(names.begin(), names.end(), name,
                                         [](const auto &e, std::string_view n) { return e.first < n; });
        if (it == names.end() || it->first != name)
            return -1;
        guess_ = size_t(it->second) + 1;
        return it->second;
    }

    // Takes the current row element's values into slots; copies them when they must
    // outlive the parser's next step. Returns the names listed in rs:forcenull.
    std::string collect(std::vector<Slot> &target, uint64_t generation, bool copy)
    {
        std::string forceNull;
        guess_ = 0;
        for (const auto &a : x_.attributes()) {
            if (a.ns != Ns::None) {
                if (a.ns == Ns::Rowset && a.local == "forcenull")
                    forceNull = std::string(a.value);
                continue;
            }
            const int d = lookup(a.local);
            if (d < 0)
                continue; // not declared: ignored
            Slot &s = target[size_t(d)];
            if (s.generation == generation)
                throw XmlError{a.valueOffset, QStringLiteral("the attribute '%1' appears twice").arg(qs(a.local))};
            s.generation = generation;
            s.offset = a.valueOffset;
            if (copy) {
                s.own.assign(a.value.data(), a.value.size());
                s.value = s.own;
            } else {
                s.value = a.value;
            }
        }
        return forceNull;
    }

    [[noreturn]] void mismatch(const ColumnDef &d, std::string_view value, size_t offset) const
    {
        const QString type = d.dtType.empty() ? QStringLiteral("string") : qs(d.dtType);
        throw DatabaseError(QStringLiteral("Type mismatch in '%1' (%2): the value '%3' of the column '%4' is not a valid %5 value")
                                .arg(source_, where(offset), shown(value), d.info.name, type));
    }

    void store(const ColumnDef &d, ColumnStore &col, const Slot &s)
    {
        const std::string_view v = s.value;
        switch (d.conversion) {
        case Conversion::Integer: {
            int64_t i;
            if (!parseInteger(v, i))
                mismatch(d, v, s.offset);
            col.appendInt(i);
            break;
        }
        case Conversion::Boolean: {
            int64_t b;
            if (!parseBoolean(v, b))
                mismatch(d, v, s.offset);
            col.appendInt(b);
            break;
        }
        case Conversion::Real: {
            double r;
            if (!parseReal(v, r))
                mismatch(d, v, s.offset);
            col.appendReal(r);
            break;
        }
        case Conversion::Decimal: {
            const std::string_view t = trimmed(v);
            if (!isDecimalText(t))
                mismatch(d, v, s.offset);
            col.appendText(t);
            break;
        }
        case Conversion::DateTime: {
            int64_t ms;
            if (!parseDateTime(v, ms))
                mismatch(d, v, s.offset);
            col.appendDateTime(ms);
            break;
        }
        case Conversion::Guid: {
            const std::string_view t = trimmed(v);
            if (!isGuidText(t))
                mismatch(d, v, s.offset);
            col.appendText(t);
            break;
        }
        case Conversion::HexBytes:
            if (!parseHexBytes(v, bytes_))
                mismatch(d, v, s.offset);
            col.appendText(bytes_);
            break;
        case Conversion::Base64Bytes:
            if (!parseBase64Bytes(v, bytes_))
                mismatch(d, v, s.offset);
            col.appendText(bytes_);
            break;
        case Conversion::Text:
            col.appendText(v);
            break;
        }
    }

    // Appends one row: the changed values over the base ones (the base alone for a plain
    // row), NULL where neither has the column.
    void append(uint64_t baseGeneration, uint64_t changeGeneration, const std::string &forceNull)
    {
        if (result_.rows.columns.empty()) {
            ++result_.rows.physicalRows;
            return;
        }
        std::vector<std::string_view> nulled;
        if (!forceNull.empty()) {
            std::string_view rest = forceNull;
            while (!rest.empty()) {
                const size_t sp = rest.find_first_of(" \t\r\n");
                const std::string_view name = rest.substr(0, sp);
                if (!name.empty())
                    nulled.push_back(name);
                if (sp == std::string_view::npos)
                    break;
                rest.remove_prefix(sp + 1);
            }
        }
        for (size_t i = 0; i < schema_.defs.size(); ++i) {
            const ColumnDef &d = schema_.defs[i];
            if (d.output < 0)
                continue;
            ColumnStore &col = result_.rows.columns[size_t(d.output)];
            const Slot *s = nullptr;
            if (changeGeneration && change_[i].generation == changeGeneration)
                s = &change_[i];
            else if (baseGeneration && base_[i].generation == baseGeneration)
                s = &base_[i];
            if (s && !nulled.empty() && std::find(nulled.begin(), nulled.end(), d.xmlName) != nulled.end())
                s = nullptr;
            if (s)
                store(d, col, *s);
            else
                col.appendNull();
        }
    }

    void plainRow()
    {
        const uint64_t g = ++generation_;
        collect(base_, g, false);
        append(g, 0, std::string());
        x_.skipElement(); // child elements (chapters of shaped rowsets) are not read
    }

    void readData()
    {
        while (x_.next() == XmlPullParser::StartElement) {
            if (isRow()) {
                plainRow();
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "update") {
                readUpdate();
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "insert") {
                while (x_.next() == XmlPullParser::StartElement) {
                    if (isRow())
                        plainRow();
                    else
                        x_.skipElement();
                }
            } else {
                // rs:delete holds rows that are gone; anything else is not ours.
                x_.skipElement();
            }
        }
    }

    // rs:update: the original row, then the changed values (often only the changed
    // columns). The row read is the original with the changes applied.
    void readUpdate()
    {
        uint64_t original = 0, changed = 0;
        std::string forceNull;
        while (x_.next() == XmlPullParser::StartElement) {
            if (x_.ns() == Ns::Rowset && x_.localName() == "original") {
                while (x_.next() == XmlPullParser::StartElement) {
                    if (isRow() && !original) {
                        original = ++generation_;
                        collect(base_, original, true);
                    }
                    x_.skipElement();
                }
            } else if (isRow()) {
                changed = ++generation_;
                forceNull = collect(change_, changed, true);
                x_.skipElement();
            } else {
                x_.skipElement();
            }
        }
        if (original || changed)
            append(original, changed, forceNull);
    }

    std::string_view doc_;
    QString source_;
    XmlPullParser x_;
    Schema schema_;
    Rowset result_;
    std::vector<Slot> base_;
    std::vector<Slot> change_;
    uint64_t generation_ = 0;
    size_t guess_ = 0;
    std::string bytes_;
};

// ---- document preparation -----------------------------------------------------------------

// The document as UTF-8 without a byte order mark. `storage` holds converted text.
std::string_view prepare(const QByteArray &xml, const QString &source, std::string &storage)
{
    std::string_view doc(xml.constData(), size_t(xml.size()));
    auto convert = [&](QStringDecoder &decoder, std::string_view bytes) {
        const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (decoder.hasError())
            throw DatabaseError(QStringLiteral("'%1' is not an XML document: its text cannot be decoded").arg(source));
        storage = text.toStdString();
        return std::string_view(storage);
    };
    if (doc.size() >= 3 && doc.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.remove_prefix(3);
    } else if (doc.size() >= 2 && (doc.substr(0, 2) == "\xFF\xFE" || doc.substr(0, 2) == "\xFE\xFF")) {
        QStringDecoder decoder(doc[0] == '\xFF' ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        doc = convert(decoder, doc.substr(2));
    }
    const size_t first = doc.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        throw DatabaseError(QStringLiteral("The file '%1' is empty").arg(source));
    if (doc[first] != '<')
        throw DatabaseError(QStringLiteral("'%1' is not an XML document").arg(source));

    // An XML declaration naming another encoding than UTF-8.
    if (doc.substr(0, 5) == "<?xml" && storage.empty()) {
        const size_t close = doc.find("?>");
        const std::string_view decl = doc.substr(0, close == std::string_view::npos ? 0 : close);
        const size_t at = decl.find("encoding");
        if (at != std::string_view::npos) {
            size_t q = decl.find_first_of("'\"", at);
            size_t q2 = q == std::string_view::npos ? q : decl.find(decl[q], q + 1);
            if (q2 != std::string_view::npos) {
                const std::string name = lowered(decl.substr(q + 1, q2 - q - 1));
                // A declaration claiming UTF-16 on text that reads as ASCII is simply wrong.
                if (name != "utf-8" && name != "utf8" && name != "us-ascii" && name != "ascii" &&
                    name.rfind("utf-16", 0) != 0) {
                    QStringDecoder decoder(name.c_str());
                    if (!decoder.isValid())
                        throw DatabaseError(QStringLiteral("'%1' uses the encoding '%2', which cannot be read")
                                                .arg(source, qs(name)));
                    doc = convert(decoder, doc);
                }
            }
        }
    }
    return doc;
}

} // namespace

Rowset fromXml(const QByteArray &xml, const QString &sourceName)
{
    if (xml.isEmpty())
        throw DatabaseError(QStringLiteral("The file '%1' is empty").arg(sourceName));
    std::string storage;
    const std::string_view doc = prepare(xml, sourceName, storage);
    try {
        const size_t bad = findInvalidCharacter(doc);
        if (bad != std::string_view::npos)
            throw XmlError{bad, QStringLiteral("a character that is not allowed in XML (or not UTF-8)")};
        return Reader(doc, sourceName).read();
    } catch (const XmlError &e) {
        int line, column;
        lineAndColumn(doc, e.offset, line, column);
        throw DatabaseError(QStringLiteral("'%1' is not well-formed XML (line %2, column %3): %4")
                                .arg(sourceName, QString::number(line), QString::number(column), e.message));
    }
}

Rowset load(const QString &fileName)
{
    const QFileInfo fi(fileName);
    if (!fi.exists())
        throw DatabaseError(QStringLiteral("The file '%1' does not exist").arg(fileName));
    if (fi.isDir())
        throw DatabaseError(QStringLiteral("'%1' is a folder, not a file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("Cannot open the file '%1': %2").arg(fileName, file.errorString()));
    const qint64 size = file.size();
    if (size <= 0)
        throw DatabaseError(QStringLiteral("The file '%1' is empty").arg(fileName));
    // Mapped rather than read: the values are copied into the column stores anyway.
    if (uchar *mapped = file.map(0, size)) {
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size));
        return fromXml(bytes, fileName);
    }
    return fromXml(file.readAll(), fileName);
}

} // namespace data::rowsetxml
