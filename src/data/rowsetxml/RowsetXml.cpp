// Writing the rowset XML format. The layout follows what ADO itself writes (tabs, CR LF,
// single quotes, wrapped start tags), so files open in ADO clients as well as here.
//
// Speed matters: whole tables go through this. Values are formatted straight from the
// column stores into one growing byte buffer (no QString per value) and the buffer goes to
// the file in large chunks.
#include "data/rowsetxml/RowsetXml.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/rowsetxml/RowsetXmlDeclared.h"
#include "data/rowsetxml/RowsetXmlParser.h"
#include "data/rowsetxml/RowsetXmlValues.h"
#include "data/rowsetxml/Utf8Sequence.h"
#include "platform/SaveFile.h"
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>

namespace data::rowsetxml {

namespace {

constexpr size_t kWrapColumn = 128;    // a start tag line is wrapped past this many bytes
constexpr size_t kFlushBytes = 4 << 20; // the file gets the buffer in chunks of this size

// ---- names ----------------------------------------------------------------------------

bool isNameStartChar(uint cp)
{
    return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || cp == '_' ||
           (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) || (cp >= 0xF8 && cp <= 0x2FF) ||
           (cp >= 0x370 && cp <= 0x37D) || (cp >= 0x37F && cp <= 0x1FFF) || (cp >= 0x200C && cp <= 0x200D) ||
           (cp >= 0x2070 && cp <= 0x218F) || (cp >= 0x2C00 && cp <= 0x2FEF) || (cp >= 0x3001 && cp <= 0xD7FF) ||
           (cp >= 0xF900 && cp <= 0xFDCF) || (cp >= 0xFDF0 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool isNameChar(uint cp)
{
    return isNameStartChar(cp) || (cp >= '0' && cp <= '9') || cp == '-' || cp == '.' || cp == 0xB7 ||
           (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

// An attribute name without a colon. Names beginning with "xml" are reserved (and
// "xmlns" would declare a namespace), so they get an alias too.
bool usableAsAttributeName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1String("xml"), Qt::CaseInsensitive))
        return false;
    const auto cps = name.toUcs4();
    for (qsizetype i = 0; i < cps.size(); ++i)
        if (i == 0 ? !isNameStartChar(cps[i]) : !isNameChar(cps[i]))
            return false;
    return true;
}

// ---- output buffer --------------------------------------------------------------------

class Output {
public:
    explicit Output(QSaveFile *file) : file_(file) { buf_.resize(file ? kFlushBytes + (1 << 16) : 1 << 16); }

    // Room for n more bytes; returns where to write them.
    char *room(size_t n)
    {
        if (len_ + n > buf_.size())
            buf_.resize(std::max(buf_.size() * 2, len_ + n));
        return buf_.data() + len_;
    }
    void advance(char *to) { len_ = size_t(to - buf_.data()); }
    void put(std::string_view s)
    {
        std::memcpy(room(s.size()), s.data(), s.size());
        len_ += s.size();
    }
    size_t size() const { return len_; }
    char *data() { return buf_.data(); }
    void insert(size_t at, std::string_view s)
    {
        room(s.size());
        std::memmove(buf_.data() + at + s.size(), buf_.data() + at, len_ - at);
        std::memcpy(buf_.data() + at, s.data(), s.size());
        len_ += s.size();
    }

    // Hands full chunks to the file; only called at line starts.
    void maybeFlush()
    {
        if (file_ && len_ >= kFlushBytes)
            flush();
    }
    void flush()
    {
        if (!file_ || len_ == 0)
            return;
        if (!platform::writeAll(*file_, buf_.data(), qint64(len_))) {
            const int error = errno;
            throw DatabaseError(QStringLiteral("無法寫入檔案 '%1'：%2")
                                    .arg(file_->fileName(), platform::saveFailureReason(*file_, error)));
        }
        len_ = 0;
    }
    std::string take()
    {
        buf_.resize(len_);
        return std::move(buf_);
    }

private:
    QSaveFile *file_;
    std::string buf_;
    size_t len_ = 0;
};

// ---- value formatting -----------------------------------------------------------------

// 0: copied as is; 1: ASCII needing a reference or an escape; 2: start of a multi-byte
// sequence.
struct EscapeTable {
    uint8_t cls[256];
    EscapeTable()
    {
        for (int c = 0; c < 256; ++c)
            cls[c] = c >= 0x80 ? 2
                     : (c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '_') ? 1
                                                                                                           : 0;
    }
};
const EscapeTable kEscape;

char *writeCharRef(char *o, uint32_t cp)
{
    *o++ = '&';
    *o++ = '#';
    o = std::to_chars(o, o + 8, cp).ptr;
    *o++ = ';';
    return o;
}

// "_xHHHH_": see detail::isEscapedCharacter.
char *writeTextEscape(char *o, uint32_t cp)
{
    static const char digits[] = "0123456789ABCDEF";
    *o++ = '_';
    *o++ = 'x';
    for (int shift = 12; shift >= 0; shift -= 4)
        *o++ = digits[(cp >> shift) & 15];
    *o++ = '_';
    return o;
}

// Worst case: every byte becomes "_x0001_" (7), "&quot;" (6) or a replacement character.
constexpr size_t kEscapeFactor = 7;

// How text goes into an attribute value. Values of fields use the "_xHHHH_" escape for
// characters XML cannot hold, so that every text comes back; text copied through from a
// loaded file (nested rows, declared attributes) keeps character references as it had.
enum class Escaping { FieldText, Verbatim };

char *writeAsciiEscaped(char *o, unsigned c, std::string_view text, size_t at, Escaping how)
{
    switch (c) {
    case '&': std::memcpy(o, "&amp;", 5); return o + 5;
    case '<': std::memcpy(o, "&lt;", 4); return o + 4;
    case '>': std::memcpy(o, "&gt;", 4); return o + 4;
    case '"': std::memcpy(o, "&quot;", 6); return o + 6;
    case '\'': std::memcpy(o, "&apos;", 6); return o + 6;
    case '_':
        if (how == Escaping::FieldText && detail::startsHexEscapeShape(text, at))
            return writeTextEscape(o, '_');
        *o++ = '_';
        return o;
    default: // control characters; CR, LF and TAB as references survive normalisation
        if (how == Escaping::FieldText && detail::isEscapedCharacter(c))
            return writeTextEscape(o, c);
        return writeCharRef(o, c);
    }
}

// Text for an attribute value; invalid UTF-8 becomes U+FFFD so the file stays readable.
char *writeEscaped(char *o, std::string_view text, Escaping how = Escaping::FieldText)
{
    const auto *const begin = reinterpret_cast<const unsigned char *>(text.data());
    const auto *p = begin;
    const auto *const e = p + text.size();
    while (p < e) {
        const auto *run = p;
        while (p < e && kEscape.cls[*p] == 0)
            ++p;
        if (p != run) {
            std::memcpy(o, run, size_t(p - run));
            o += p - run;
        }
        if (p >= e)
            break;
        if (*p < 0x80) {
            o = writeAsciiEscaped(o, *p, text, size_t(p - begin), how);
            ++p;
            continue;
        }
        uint32_t cp = 0;
        const int length = detail::utf8Sequence(p, e, cp);
        if (length == 0) {
            std::memcpy(o, "\xEF\xBF\xBD", 3);
            o += 3;
            ++p;
        } else if (cp == 0xFFFE || cp == 0xFFFF) {
            o = how == Escaping::FieldText ? writeTextEscape(o, cp) : writeCharRef(o, cp);
            p += length;
        } else {
            std::memcpy(o, p, size_t(length));
            o += length;
            p += length;
        }
    }
    return o;
}

void putEscaped(Output &out, std::string_view text, Escaping how = Escaping::FieldText)
{
    out.advance(writeEscaped(out.room(text.size() * kEscapeFactor), text, how));
}

char *writeHex(char *o, std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (unsigned char b : bytes) {
        *o++ = digits[b >> 4];
        *o++ = digits[b & 15];
    }
    return o;
}

char *writeDouble(char *o, double v)
{
    if (std::isnan(v)) {
        std::memcpy(o, "NaN", 3);
        return o + 3;
    }
    if (std::isinf(v)) {
        if (v < 0)
            *o++ = '-';
        std::memcpy(o, "INF", 3);
        return o + 3;
    }
    // Shortest text that reads back as the same double.
    return std::to_chars(o, o + 64, v).ptr;
}

char *write2(char *o, int v)
{
    *o++ = char('0' + v / 10);
    *o++ = char('0' + v % 10);
    return o;
}

// yyyy-mm-ddThh:mm:ss, with .fff only when there are milliseconds.
char *writeDateTime(char *o, int64_t msecs)
{
    int64_t days = msecs / 86400000;
    int64_t rest = msecs % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    if (m <= 2)
        ++y;
    if (y >= 0 && y <= 9999) {
        o = write2(o, int(y / 100));
        o = write2(o, int(y % 100));
    } else {
        o = std::to_chars(o, o + 24, y).ptr;
    }
    *o++ = '-';
    o = write2(o, m);
    *o++ = '-';
    o = write2(o, d);
    *o++ = 'T';
    const int ms = int(rest % 1000);
    const int secs = int(rest / 1000);
    o = write2(o, secs / 3600);
    *o++ = ':';
    o = write2(o, secs / 60 % 60);
    *o++ = ':';
    o = write2(o, secs % 60);
    if (ms) {
        *o++ = '.';
        *o++ = char('0' + ms / 100);
        o = write2(o, ms % 100);
    }
    return o;
}

// ---- column plans ---------------------------------------------------------------------

enum class ValueFormat { Integer, Boolean, Float, Money, DateTime, ZonedDateTime, Text, VerbatimText, Hex };

struct XmlTypeMapping {
    const char *dtType;
    const char *dbType; // nullptr: none
    int maxLength;      // -1: from the column's size; 0: not written
    bool precision;
    bool scale;
    bool fixed;         // always fixed length
    ValueFormat format;
};

// The type a column is written as. A column whose values no longer match its declared
// type (a text value in a number column, say) is written by what it holds, so the file
// always reads back.
TFieldType writtenType(const ColumnInfo &info, const ColumnStore &store)
{
    TFieldType t = info.type;
    const StorageKind want = storageFor(t);
    const StorageKind have = store.kind();
    const bool arena = [](StorageKind k) { return k == StorageKind::Text || k == StorageKind::Bytes; }(have);
    const bool wantArena = want == StorageKind::Text || want == StorageKind::Bytes;
    if (t != ftUnknown && (want == have || (arena && wantArena)))
        return t;
    switch (have) {
    case StorageKind::Int: return ftLargeint;
    case StorageKind::Money: return ftCurrency;
    case StorageKind::Real: return ftFloat;
    case StorageKind::DateTime: return ftDateTime;
    case StorageKind::Bytes: return ftBlob;
    case StorageKind::Text: return info.isLong ? ftWideMemo : ftWideString;
    }
    return ftWideString;
}

XmlTypeMapping xmlTypeOf(TFieldType t, const ColumnInfo &info)
{
    switch (t) {
    case ftString: return {"string", "str", -1, false, false, false, ValueFormat::Text};
    case ftFixedChar: return {"string", "str", -1, false, false, true, ValueFormat::Text};
    case ftMemo: return {"string", "str", -1, false, false, false, ValueFormat::Text};
    case ftWideMemo: return {"string", info.ansi ? "str" : nullptr, -1, false, false, false, ValueFormat::Text};
    case ftGuid: return {"uuid", nullptr, 16, false, false, true, ValueFormat::Text};
    case ftSmallint: return {"i2", nullptr, 2, true, false, true, ValueFormat::Integer};
    case ftInteger: case ftAutoInc: return {"int", nullptr, 4, true, false, true, ValueFormat::Integer};
    case ftWord: return {"ui2", nullptr, 2, true, false, true, ValueFormat::Integer};
    case ftLargeint: return {"i8", nullptr, 8, true, false, true, ValueFormat::Integer};
    case ftBoolean: return {"boolean", nullptr, 2, false, false, true, ValueFormat::Boolean};
    case ftFloat: return {"float", nullptr, 8, true, false, true, ValueFormat::Float};
    case ftCurrency: return {"number", "currency", 8, true, false, true, ValueFormat::Money};
    case ftBCD: return {"number", "numeric", 19, true, true, true, ValueFormat::Text};
    case ftFMTBcd: return {"number", "varnumeric", 38, true, true, false, ValueFormat::Text};
    case ftDate: return {"dateTime", "date", 16, true, true, true, ValueFormat::DateTime};
    case ftTime: return {"dateTime", "time", 16, true, true, true, ValueFormat::DateTime};
    case ftDateTime: return {"dateTime", "timestamp", 16, true, true, true, ValueFormat::DateTime};
    case ftBytes: return {"bin.hex", nullptr, -1, false, false, true, ValueFormat::Hex};
    case ftVarBytes: case ftBlob: case ftGraphic: return {"bin.hex", nullptr, -1, false, false, false, ValueFormat::Hex};
    default: // ftWideString and anything without a better match
        return {"string", info.ansi ? "str" : nullptr, -1, false, false, false, ValueFormat::Text};
    }
}

// ---- what the values need -------------------------------------------------------------

struct IntegerRange {
    TFieldType type;
    int64_t min, max;
};

const IntegerRange kIntegerRanges[] = {
    {ftSmallint, INT16_MIN, INT16_MAX}, {ftInteger, INT32_MIN, INT32_MAX}, {ftAutoInc, INT32_MIN, INT32_MAX},
    {ftWord, 0, UINT16_MAX},
};

bool valuesWithin(const ColumnStore &s, const std::vector<uint32_t> &order, int64_t min, int64_t max)
{
    for (uint32_t r : order)
        if (r < s.size() && !s.isNull(r) && (s.intAt(r) < min || s.intAt(r) > max))
            return false;
    return true;
}

// An integer column keeps its type while every value fits it; SQLite's INTEGER holds 64
// bits whatever the column was declared as, so otherwise it becomes i8.
TFieldType integerTypeFor(TFieldType t, const ColumnStore &s, const std::vector<uint32_t> &order)
{
    for (const IntegerRange &range : kIntegerRanges)
        if (range.type == t)
            return valuesWithin(s, order, range.min, range.max) ? t : ftLargeint;
    return t;
}

// The digits a decimal column's values need; false when a value is not a decimal number
// at all (infinity, say), and the column is then written as text.
bool decimalDigitsNeeded(const ColumnStore &s, const std::vector<uint32_t> &order, long long &integerDigits,
                         long long &fractionDigits)
{
    integerDigits = fractionDigits = 0;
    exact::Decimal d;
    for (uint32_t r : order) {
        if (r >= s.size() || s.isNull(r))
            continue;
        if (!exact::parseDecimal(s.textAt(r), d))
            return false;
        integerDigits = std::max(integerDigits, d.integerDigits());
        fractionDigits = std::max(fractionDigits, d.fractionDigits());
    }
    return true;
}

// Without a known scale each value may use the precision's digits as it likes.
bool fitsUnknownScale(const ColumnStore &s, const std::vector<uint32_t> &order, int precision)
{
    exact::Decimal d;
    for (uint32_t r : order)
        if (r < s.size() && !s.isNull(r) &&
            (!exact::parseDecimal(s.textAt(r), d) || d.integerDigits() + d.fractionDigits() > precision))
            return false;
    return true;
}

// A uuid column holding other text (typed into a loaded file, where no server checks
// it) is declared as text: the reader accepts nothing but GUIDs in a uuid column.
bool valuesAreGuids(const ColumnStore &s, const std::vector<uint32_t> &order)
{
    for (uint32_t r : order)
        if (r < s.size() && !s.isNull(r) && !detail::isGuidText(detail::trimmed(s.textAt(r))))
            return false;
    return true;
}

bool valuesFitUnsigned64(const ColumnStore &s, const std::vector<uint32_t> &order)
{
    exact::Decimal d;
    for (uint32_t r : order)
        if (r < s.size() && !s.isNull(r) && !(exact::parseDecimal(s.textAt(r), d) && detail::fitsUnsigned64(d)))
            return false;
    return true;
}

bool realsWithin(const ColumnStore &s, const std::vector<uint32_t> &order, double limit)
{
    for (uint32_t r : order)
        if (r < s.size() && !s.isNull(r) && std::isfinite(s.realAt(r)) && std::fabs(s.realAt(r)) > limit)
            return false;
    return true;
}

bool fitsDeclaredDecimal(const DeclaredColumn &dc, const ColumnStore &s, const std::vector<uint32_t> &order)
{
    if (dc.unknownScale && dc.precision > 0)
        return fitsUnknownScale(s, order, dc.precision);
    long long integerDigits = 0, fractionDigits = 0;
    if (!decimalDigitsNeeded(s, order, integerDigits, fractionDigits))
        return false;
    return dc.precision <= 0 || (fractionDigits <= dc.scale && integerDigits <= dc.precision - dc.scale);
}

// Whether the values still fit what the file declared for the column, so that its
// declaration can be written back as it was.
bool stillFitsDeclared(const DeclaredColumn &dc, const ColumnInfo &info, const ColumnStore &s,
                       const std::vector<uint32_t> &order)
{
    if (dc.loadedType != info.type || writtenType(info, s) != info.type)
        return false;
    if (dc.integer)
        return s.kind() == StorageKind::Int && valuesWithin(s, order, dc.minValue, dc.maxValue);
    if (dc.decimal)
        return fitsDeclaredDecimal(dc, s, order) && (!dc.unsigned64 || valuesFitUnsigned64(s, order));
    if (dc.realLimit > 0)
        return s.kind() == StorageKind::Real && realsWithin(s, order, dc.realLimit);
    if (dc.loadedType == ftGuid)
        return valuesAreGuids(s, order);
    return true;
}

// One column as written: its attribute name, where its values come from, and either the
// declaration the file had or the type and sizes to declare.
struct ColumnPlan {
    const ColumnInfo *info = nullptr; // null for a hidden column
    const ColumnStore *store = nullptr;
    const DeclaredColumn *declared = nullptr; // write its declaration back as it was
    std::string name;
    long long number = 0;
    TFieldType type = ftUnknown;
    int precision = 0, scale = 0;
    ValueFormat format = ValueFormat::Text;
    std::string attribute; // " name='"
};

// The type, precision and scale a field is declared with so that its values read back.
void settleGeneratedType(ColumnPlan &p, const std::vector<uint32_t> &order)
{
    const ColumnInfo &info = *p.info;
    p.type = integerTypeFor(writtenType(info, *p.store), *p.store, order);
    if (p.type == ftGuid && !valuesAreGuids(*p.store, order))
        p.type = ftWideString;
    const bool sameType = p.type == info.type;
    p.precision = sameType ? info.precision : 0;
    p.scale = sameType ? info.scale : 0;
    if (p.type == ftBCD || p.type == ftFMTBcd) {
        long long integerDigits = 0, fractionDigits = 0;
        if (!decimalDigitsNeeded(*p.store, order, integerDigits, fractionDigits)) {
            p.type = ftWideString;
        } else {
            p.scale = int(std::max<long long>(p.scale, fractionDigits));
            if (p.precision > 0 || p.type == ftBCD)
                p.precision = int(std::max<long long>(p.precision, integerDigits + p.scale));
        }
    }
    p.format = xmlTypeOf(p.type, info).format;
}

// ---- the document ---------------------------------------------------------------------

class Writer {
public:
    Writer(Output &out) : out_(out) {}

    void document(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable, const Declared *declared)
    {
        updatable_ = updatable;
        declared_ = matches(declared, columns, rows) ? declared : nullptr;
        std::vector<ColumnPlan> plans = declared_ ? declaredPlans(columns, rows, order) : plainPlans(columns, rows, order);
        prologue();
        for (ColumnPlan &p : plans) {
            if (p.declared && p.info == nullptr)
                declaredAttributeType(*p.declared);
            else if (p.declared && stillFits_[size_t(&p - plans.data())])
                declaredAttributeType(*p.declared);
            else
                generatedAttributeType(p);
            p.attribute = " " + p.name + "='";
        }
        if (declared_)
            for (const DeclaredChapter &chapter : declared_->chapters)
                out_.put(chapter.schema);
        out_.put("\t\t<s:extends type='rs:rowbase'/>\r\n\t</s:ElementType>\r\n</s:Schema>\r\n");

        out_.put("<rs:data>\r\n");
        for (uint32_t r : order) {
            if (r >= rows.rowCount())
                continue;
            row(plans, r);
            out_.maybeFlush();
        }
        out_.put("</rs:data>\r\n</xml>\r\n");
    }

private:
    void prologue()
    {
        out_.put("<xml xmlns:s='");
        out_.put(detail::kNsSchema);
        out_.put("'\r\n\txmlns:dt='");
        out_.put(detail::kNsDataType);
        out_.put("'\r\n\txmlns:rs='");
        out_.put(detail::kNsRowset);
        out_.put("'\r\n\txmlns:z='");
        out_.put(detail::kNsRow);
        out_.put("'>\r\n<s:Schema id='RowsetSchema'>\r\n");
        out_.put(updatable_ ? "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n"
                            : "\t<s:ElementType name='row' content='eltOnly'>\r\n");
    }

    // A declaration belongs to these rows only if every field it names is still there.
    static bool matches(const Declared *d, const std::vector<ColumnInfo> &columns, const RowStore &rows)
    {
        if (!d || columns.size() > rows.columns.size())
            return false;
        size_t fields = d->chapters.size();
        for (const DeclaredColumn &c : d->columns)
            if (c.output >= 0) {
                if (size_t(c.output) >= columns.size())
                    return false;
                ++fields;
            }
        return fields == columns.size() && d->hidden.rowCount() >= (d->hidden.columns.empty() ? 0 : d->rows);
    }

    std::vector<ColumnPlan> plainPlans(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                                       const std::vector<uint32_t> &order)
    {
        const size_t n = std::min(columns.size(), rows.columns.size());
        const std::vector<std::string> names = attributeNames(columns, n);
        std::vector<ColumnPlan> plans(n);
        for (size_t c = 0; c < n; ++c) {
            ColumnPlan &p = plans[c];
            p.info = &columns[c];
            p.store = &rows.columns[c];
            p.name = names[c];
            p.number = (long long)c + 1;
            settleGeneratedType(p, order);
        }
        stillFits_.assign(n, false);
        return plans;
    }

    std::vector<ColumnPlan> declaredPlans(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                                          const std::vector<uint32_t> &order)
    {
        std::vector<ColumnPlan> plans;
        stillFits_.clear();
        for (const DeclaredColumn &dc : declared_->columns) {
            ColumnPlan p;
            p.declared = &dc;
            p.name = dc.xmlName;
            p.number = (long long)plans.size() + 1;
            for (const DeclaredAttribute &a : dc.typeAttributes)
                if (a.ns == detail::Ns::Rowset && a.local == "number")
                    p.number = std::atoll(a.value.c_str());
            bool fits = true;
            if (dc.output < 0) {
                p.store = &declared_->hidden.columns[size_t(dc.hiddenStore)];
                p.format = ValueFormat::VerbatimText;
            } else {
                p.info = &columns[size_t(dc.output)];
                p.store = &rows.columns[size_t(dc.output)];
                fits = stillFitsDeclared(dc, *p.info, *p.store, order);
                settleGeneratedType(p, order);
                if (fits)
                    p.format = xmlTypeOf(p.info->type, *p.info).format;
                if (p.format == ValueFormat::DateTime && !dc.zoned.empty())
                    p.format = ValueFormat::ZonedDateTime;
            }
            stillFits_.push_back(fits);
            plans.push_back(std::move(p));
        }
        return plans;
    }

    static std::vector<std::string> attributeNames(const std::vector<ColumnInfo> &columns, size_t n)
    {
        std::vector<std::string> names(n);
        std::vector<bool> aliased(n, false);
        std::set<std::string> used;
        for (size_t c = 0; c < n; ++c) {
            const std::string own = columns[c].name.toStdString();
            if (usableAsAttributeName(columns[c].name) && used.insert(own).second)
                names[c] = own;
            else
                aliased[c] = true;
        }
        // The alias is c + the zero-based ordinal, as ADO writes it; a real column that
        // already has that name pushes it aside with a suffix.
        for (size_t c = 0; c < n; ++c) {
            if (!aliased[c])
                continue;
            std::string alias = "c" + std::to_string(c);
            for (int k = 1; used.count(alias); ++k)
                alias = "c" + std::to_string(c) + "_" + std::to_string(k);
            used.insert(alias);
            names[c] = alias;
        }
        return names;
    }

    // ---- schema ----

    static const char *prefixOf(detail::Ns ns)
    {
        switch (ns) {
        case detail::Ns::Schema: return "s:";
        case detail::Ns::DataType: return "dt:";
        case detail::Ns::Rowset: return "rs:";
        case detail::Ns::Row: return "z:";
        default: return "";
        }
    }

    void declaredAttributes(const std::vector<DeclaredAttribute> &attributes)
    {
        for (const DeclaredAttribute &a : attributes)
            attribute(std::string(prefixOf(a.ns)) + a.local, a.value, true, Escaping::Verbatim);
    }

    void declaredAttributeType(const DeclaredColumn &dc)
    {
        startTag("\t\t", "s:AttributeType", "\t\t\t");
        declaredAttributes(dc.typeAttributes);
        if (!dc.hasDatatype) {
            endTag("/>\r\n");
            return;
        }
        endTag(">\r\n");
        startTag("\t\t\t", "s:datatype", "\t\t\t");
        declaredAttributes(dc.datatypeAttributes);
        endTag("/>\r\n");
        out_.put("\t\t</s:AttributeType>\r\n");
    }

    void generatedAttributeType(const ColumnPlan &p)
    {
        const ColumnInfo &info = *p.info;
        startTag("\t\t", "s:AttributeType", "\t\t\t");
        attribute("name", p.name);
        const QByteArray realName = info.name.toUtf8();
        if (p.name != std::string_view(realName.constData(), size_t(realName.size())))
            attribute("rs:name", std::string_view(realName.constData(), size_t(realName.size())), true);
        attribute("rs:number", std::to_string(p.number));
        if (info.nullable)
            attribute("rs:nullable", "true");
        if (!info.readOnly)
            attribute("rs:write", "true");
        if (updatable_) {
            attribute("rs:basecatalog", info.baseCatalog);
            attribute("rs:baseschema", info.baseSchema);
            attribute("rs:basetable", info.baseTable);
            attribute("rs:basecolumn", info.baseColumn);
            if (info.keyColumn)
                attribute("rs:keycolumn", "true");
        }
        if (info.autoIncrement || p.type == ftAutoInc)
            attribute("rs:autoincrement", "true");
        endTag(">\r\n");
        generatedDatatype(p);
        out_.put("\t\t</s:AttributeType>\r\n");
    }

    void generatedDatatype(const ColumnPlan &p)
    {
        const ColumnInfo &info = *p.info;
        const XmlTypeMapping mapping = xmlTypeOf(p.type, info);
        const bool isLong = info.isLong || isBlobType(p.type);
        const bool sameType = p.type == info.type;
        startTag("\t\t\t", "s:datatype", "\t\t\t");
        attribute("dt:type", mapping.dtType);
        if (mapping.dbType)
            attribute("rs:dbtype", mapping.dbType);
        if (mapping.maxLength > 0) {
            attribute("dt:maxLength", std::to_string(mapping.maxLength));
        } else if (mapping.maxLength < 0) {
            int size = sameType ? info.size : 0;
            if (size <= 0 && isLong)
                size = (mapping.format == ValueFormat::Text && !mapping.dbType) ? 1073741823 : 2147483647;
            if (size > 0)
                attribute("dt:maxLength", std::to_string(size));
        }
        if (mapping.scale)
            attribute("rs:scale", std::to_string(p.scale));
        if (mapping.precision)
            attribute("rs:precision", std::to_string(p.precision));
        if (mapping.fixed || (info.fixedLength && sameType && !isLong))
            attribute("rs:fixedlength", "true");
        if (isLong)
            attribute("rs:long", "true");
        if (!info.nullable)
            attribute("rs:maybenull", "false");
        endTag("/>\r\n");
    }

    // `continuation` starts the lines of a wrapped tag (the attribute adds a space).
    void startTag(std::string_view indent, std::string_view name, std::string_view continuation)
    {
        indent_ = continuation;
        lineStart_ = out_.size();
        attrsOnLine_ = 0;
        out_.put(indent);
        out_.put("<");
        out_.put(name);
    }

    // One attribute of a schema tag; empty values are left out unless asked for.
    void attribute(std::string_view name, std::string_view value, bool keepEmpty = false,
                   Escaping how = Escaping::FieldText)
    {
        if (value.empty() && !keepEmpty)
            return;
        const size_t at = out_.size();
        out_.put(" ");
        out_.put(name);
        out_.put("='");
        putEscaped(out_, value, how);
        out_.put("'");
        wrap(at, indent_);
    }
    void attribute(std::string_view name, const QString &value)
    {
        if (!value.isEmpty()) {
            const QByteArray utf8 = value.toUtf8();
            attribute(name, std::string_view(utf8.constData(), size_t(utf8.size())));
        }
    }
    void attribute(std::string_view name, const char *value) { attribute(name, std::string_view(value)); }
    void attribute(std::string_view name, const std::string &value) { attribute(name, std::string_view(value)); }

    void endTag(std::string_view end) { out_.put(end); }

    // Moves the attribute just written (from `at`) to a continuation line when the line
    // got too long and it is not the first attribute on the line.
    void wrap(size_t at, std::string_view indent)
    {
        if (out_.size() - lineStart_ > kWrapColumn && attrsOnLine_ > 0 && charactersSince(lineStart_) > kWrapColumn) {
            std::string breakText = "\r\n";
            breakText += indent;
            out_.insert(at, breakText);
            lineStart_ = at + 2;
            attrsOnLine_ = 1;
        } else {
            ++attrsOnLine_;
        }
    }

    // Line length in characters, as a reader of the file sees it (bytes are only an upper
    // bound once the text is not ASCII).
    size_t charactersSince(size_t start)
    {
        size_t n = 0;
        const char *p = out_.data() + start;
        const char *const e = out_.data() + out_.size();
        for (; p < e; ++p)
            n += (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
        return n;
    }

    // ---- rows ----

    // A date-time read with a zone goes back as it was read while unchanged; edited, it
    // keeps a zone (this machine's offset at that time), so that it still means the same
    // instant wherever the file is read. Values read without a zone stay without.
    char *writeZonedDateTime(char *o, const DeclaredColumn &dc, uint32_t r, int64_t msecs)
    {
        const auto it = dc.zoned.find(r);
        if (it == dc.zoned.end())
            return writeDateTime(o, msecs);
        if (it->second.first == msecs) {
            std::memcpy(o, it->second.second.data(), it->second.second.size());
            return o + it->second.second.size();
        }
        o = writeDateTime(o, msecs);
        const int offset = ColumnStore::fromEpochMsecs(msecs).offsetFromUtc() / 60;
        if (offset == 0) {
            *o++ = 'Z';
            return o;
        }
        *o++ = offset < 0 ? '-' : '+';
        o = write2(o, std::abs(offset) / 60);
        *o++ = ':';
        return write2(o, std::abs(offset) % 60);
    }

    char *value(char *o, const ColumnPlan &p, uint32_t r, std::string_view text)
    {
        const ColumnStore &s = *p.store;
        switch (p.format) {
        case ValueFormat::Integer:
            return std::to_chars(o, o + 24, s.intAt(r)).ptr;
        case ValueFormat::Boolean:
            if (s.intAt(r)) {
                std::memcpy(o, "True", 4);
                return o + 4;
            }
            std::memcpy(o, "False", 5);
            return o + 5;
        case ValueFormat::Float:
            return writeDouble(o, s.realAt(r));
        case ValueFormat::Money: {
            const std::string money = exact::moneyText(s.moneyAt(r));
            std::memcpy(o, money.data(), money.size());
            return o + money.size();
        }
        case ValueFormat::DateTime:
            return writeDateTime(o, s.dateTimeAt(r));
        case ValueFormat::ZonedDateTime:
            return writeZonedDateTime(o, *p.declared, r, s.dateTimeAt(r));
        case ValueFormat::Text:
            return writeEscaped(o, text);
        case ValueFormat::VerbatimText:
            return writeEscaped(o, text, Escaping::Verbatim);
        case ValueFormat::Hex:
            return writeHex(o, text);
        }
        return o;
    }

    // Room for a value that is not text: its longest written form, or the text a zoned
    // date-time goes back as, which the file may have padded with zeros to any length.
    static size_t fixedRoom(const ColumnPlan &p, uint32_t r)
    {
        constexpr size_t kLongestFormatted = 400;
        if (p.format != ValueFormat::ZonedDateTime)
            return kLongestFormatted;
        const auto it = p.declared->zoned.find(r);
        return kLongestFormatted + (it == p.declared->zoned.end() ? 0 : it->second.second.size());
    }

    void row(const std::vector<ColumnPlan> &plans, uint32_t r)
    {
        indent_ = "\t\t";
        lineStart_ = out_.size();
        attrsOnLine_ = 0;
        out_.put("\t<z:row");
        for (const ColumnPlan &p : plans) {
            const ColumnStore &s = *p.store;
            if (r >= s.size() || s.isNull(r))
                continue;
            const size_t at = out_.size();
            std::string_view text;
            size_t need = p.attribute.size() + 2;
            if (s.kind() == StorageKind::Text || s.kind() == StorageKind::Bytes) {
                text = s.textAt(r);
                need += text.size() * kEscapeFactor;
            } else {
                need += fixedRoom(p, r);
            }
            char *o = out_.room(need);
            std::memcpy(o, p.attribute.data(), p.attribute.size());
            o = value(o + p.attribute.size(), p, r, text);
            *o++ = '\'';
            out_.advance(o);
            wrap(at, indent_);
        }
        if (declared_ && r < declared_->nested.size() && !declared_->nested[r].empty()) {
            out_.put(">");
            out_.put(declared_->nested[r]);
            out_.put("</z:row>\r\n");
        } else {
            out_.put("/>\r\n");
        }
    }

    Output &out_;
    const Declared *declared_ = nullptr;
    bool updatable_ = false;
    std::vector<bool> stillFits_;
    std::string_view indent_;
    size_t lineStart_ = 0;
    int attrsOnLine_ = 0;
};

} // namespace

QString loadNotesText(const LoadNotes &notes)
{
    QStringList parts;
    if (notes.nestedRows)
        parts << QStringLiteral("檔案含有 %1 筆巢狀資料列 (DATASET 欄), 表格中未顯示, 存檔時會一併寫回").arg(notes.nestedRows);
    if (notes.valuesLeftOut)
        parts << QStringLiteral("檔案中有 %1 個資料值不屬於已宣告的欄位, 已略過").arg(notes.valuesLeftOut);
    return parts.join(QStringLiteral("；"));
}

std::string toXml(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable, const Declared *declared)
{
    Output out(nullptr);
    Writer(out).document(columns, rows, order, updatable, declared);
    return out.take();
}

void save(const QString &fileName, const std::vector<ColumnInfo> &columns, const RowStore &rows,
          const std::vector<uint32_t> &order, bool updatable, const Declared *declared)
{
    // QSaveFile writes a temporary file beside the target and renames it over the target
    // only when everything was written: a failure leaves the old file (or none) in place.
    QSaveFile file(fileName);
    if (!platform::openForSave(file))
        throw DatabaseError(QStringLiteral("無法建立檔案 '%1'：%2").arg(fileName, file.errorString()));
    Output out(&file);
    try {
        Writer(out).document(columns, rows, order, updatable, declared);
        out.flush();
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    errno = 0;
    if (!file.commit())
        throw DatabaseError(QStringLiteral("無法寫入檔案 '%1'：%2").arg(fileName, platform::saveFailureReason(file, errno)));
}

} // namespace data::rowsetxml
