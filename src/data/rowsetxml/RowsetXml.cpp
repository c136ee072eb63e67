// Writing the rowset XML format. The layout follows what ADO itself writes (tabs, CR LF,
// single quotes, wrapped start tags), so files open in ADO clients as well as here.
//
// Speed matters: whole tables go through this. Values are formatted straight from the
// column stores into one growing byte buffer (no QString per value) and the buffer goes to
// the file in large chunks.
#include "data/rowsetxml/RowsetXml.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/rowsetxml/RowsetXmlParser.h"
#include <QFileInfo>
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
        if (file_->write(buf_.data(), qint64(len_)) != qint64(len_))
            throw DatabaseError(QStringLiteral("Cannot write the file '%1': %2")
                                    .arg(QFileInfo(file_->fileName()).fileName(), file_->errorString()));
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

// 0: copied as is; 1: ASCII needing a reference; 2: start of a multi-byte sequence.
struct EscapeTable {
    uint8_t cls[256];
    EscapeTable()
    {
        for (int c = 0; c < 256; ++c)
            cls[c] = c >= 0x80 ? 2 : (c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') ? 1 : 0;
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

// Worst case: every byte becomes "&#NN;" (5) or a replacement character; "&quot;" is 6.
constexpr size_t kEscapeFactor = 6;

// Text for an attribute value. Control characters become character references so that
// CR, LF and TAB survive the reader's whitespace normalisation; invalid UTF-8 becomes
// U+FFFD so the file stays readable.
char *writeEscaped(char *o, std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
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
        const unsigned c = *p;
        if (c < 0x80) {
            switch (c) {
            case '&': std::memcpy(o, "&amp;", 5); o += 5; break;
            case '<': std::memcpy(o, "&lt;", 4); o += 4; break;
            case '>': std::memcpy(o, "&gt;", 4); o += 4; break;
            case '"': std::memcpy(o, "&quot;", 6); o += 6; break;
            case '\'': std::memcpy(o, "&apos;", 6); o += 6; break;
            default: o = writeCharRef(o, c); break;
            }
            ++p;
            continue;
        }
        int extra = 0;
        uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        }
        bool valid = extra > 0 && e - p > extra;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (valid && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            std::memcpy(o, "\xEF\xBF\xBD", 3);
            o += 3;
            ++p;
        } else if (cp == 0xFFFE || cp == 0xFFFF) {
            o = writeCharRef(o, cp); // not XML characters as such
            p += extra + 1;
        } else {
            std::memcpy(o, p, size_t(extra + 1));
            o += extra + 1;
            p += extra + 1;
        }
    }
    return o;
}

void putEscaped(Output &out, std::string_view text)
{
    out.advance(writeEscaped(out.room(text.size() * kEscapeFactor), text));
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

enum class ValueFormat { Integer, Boolean, Float, Money, DateTime, Text, Hex };

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

struct ColumnPlan {
    const ColumnStore *store;
    std::string attribute; // " name='"
    ValueFormat format;
};

// ---- the document ---------------------------------------------------------------------

class Writer {
public:
    Writer(Output &out) : out_(out) {}

    void document(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable)
    {
        const size_t n = std::min(columns.size(), rows.columns.size());
        const std::vector<std::string> names = attributeNames(columns, n);

        out_.put("<xml xmlns:s='");
        out_.put(detail::kNsSchema);
        out_.put("'\r\n\txmlns:dt='");
        out_.put(detail::kNsDataType);
        out_.put("'\r\n\txmlns:rs='");
        out_.put(detail::kNsRowset);
        out_.put("'\r\n\txmlns:z='");
        out_.put(detail::kNsRow);
        out_.put("'>\r\n<s:Schema id='RowsetSchema'>\r\n");
        out_.put(updatable ? "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n"
                           : "\t<s:ElementType name='row' content='eltOnly'>\r\n");

        std::vector<ColumnPlan> plans;
        plans.reserve(n);
        for (size_t c = 0; c < n; ++c) {
            const ColumnInfo &info = columns[c];
            const ColumnStore &store = rows.columns[c];
            const TFieldType type = writtenType(info, store);
            const XmlTypeMapping mapping = xmlTypeOf(type, info);
            const bool isLong = info.isLong || isBlobType(type);
            const bool sameType = type == info.type;

            startTag("\t\t", "s:AttributeType", "\t\t\t");
            attribute("name", names[c]);
            const QByteArray realName = info.name.toUtf8();
            if (names[c] != std::string_view(realName.constData(), size_t(realName.size())))
                attribute("rs:name", std::string_view(realName.constData(), size_t(realName.size())), true);
            attribute("rs:number", std::to_string(c + 1));
            if (info.nullable)
                attribute("rs:nullable", "true");
            if (!info.readOnly)
                attribute("rs:write", "true");
            if (updatable) {
                attribute("rs:basecatalog", info.baseCatalog);
                attribute("rs:baseschema", info.baseSchema);
                attribute("rs:basetable", info.baseTable);
                attribute("rs:basecolumn", info.baseColumn);
                if (info.keyColumn)
                    attribute("rs:keycolumn", "true");
            }
            if (info.autoIncrement || type == ftAutoInc)
                attribute("rs:autoincrement", "true");
            endTag(">\r\n");

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
                attribute("rs:scale", std::to_string(sameType ? info.scale : 0));
            if (mapping.precision)
                attribute("rs:precision", std::to_string(sameType ? info.precision : 0));
            if (mapping.fixed || (info.fixedLength && sameType && !isLong))
                attribute("rs:fixedlength", "true");
            if (isLong)
                attribute("rs:long", "true");
            if (!info.nullable)
                attribute("rs:maybenull", "false");
            endTag("/>\r\n");
            out_.put("\t\t</s:AttributeType>\r\n");

            plans.push_back({&store, " " + names[c] + "='", mapping.format});
        }
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
    void attribute(std::string_view name, std::string_view value, bool keepEmpty = false)
    {
        if (value.empty() && !keepEmpty)
            return;
        const size_t at = out_.size();
        out_.put(" ");
        out_.put(name);
        out_.put("='");
        putEscaped(out_, value);
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

    void row(const std::vector<ColumnPlan> &plans, uint32_t r)
    {
        indent_ = "\t\t";
        lineStart_ = out_.size();
        attrsOnLine_ = 0;
        out_.put("\t<z:row");
        for (const ColumnPlan &p : plans) {
            const ColumnStore &s = *p.store;
            if (s.isNull(r))
                continue;
            const size_t at = out_.size();
            std::string_view text;
            size_t need = p.attribute.size() + 2;
            if (s.kind() == StorageKind::Text || s.kind() == StorageKind::Bytes) {
                text = s.textAt(r);
                need += text.size() * kEscapeFactor;
            } else {
                need += 400;
            }
            char *o = out_.room(need);
            std::memcpy(o, p.attribute.data(), p.attribute.size());
            o += p.attribute.size();
            switch (p.format) {
            case ValueFormat::Integer:
                o = std::to_chars(o, o + 24, s.intAt(r)).ptr;
                break;
            case ValueFormat::Boolean:
                if (s.intAt(r)) {
                    std::memcpy(o, "True", 4);
                    o += 4;
                } else {
                    std::memcpy(o, "False", 5);
                    o += 5;
                }
                break;
            case ValueFormat::Float:
                o = writeDouble(o, s.realAt(r));
                break;
            case ValueFormat::Money: {
                const std::string money = exact::moneyText(s.moneyAt(r));
                std::memcpy(o, money.data(), money.size());
                o += money.size();
                break;
            }
            case ValueFormat::DateTime:
                o = writeDateTime(o, s.dateTimeAt(r));
                break;
            case ValueFormat::Text:
                o = writeEscaped(o, text);
                break;
            case ValueFormat::Hex:
                o = writeHex(o, text);
                break;
            }
            *o++ = '\'';
            out_.advance(o);
            wrap(at, indent_);
        }
        out_.put("/>\r\n");
    }

    Output &out_;
    std::string_view indent_;
    size_t lineStart_ = 0;
    int attrsOnLine_ = 0;
};

} // namespace

std::string toXml(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable)
{
    Output out(nullptr);
    Writer(out).document(columns, rows, order, updatable);
    return out.take();
}

void save(const QString &fileName, const std::vector<ColumnInfo> &columns, const RowStore &rows,
          const std::vector<uint32_t> &order, bool updatable)
{
    // QSaveFile writes a temporary file beside the target and renames it over the target
    // only when everything was written: a failure leaves the old file (or none) in place.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw DatabaseError(QStringLiteral("Cannot create the file '%1': %2").arg(fileName, file.errorString()));
    Output out(&file);
    try {
        Writer(out).document(columns, rows, order, updatable);
        out.flush();
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw DatabaseError(QStringLiteral("Cannot write the file '%1': %2").arg(fileName, file.errorString()));
}

} // namespace data::rowsetxml
