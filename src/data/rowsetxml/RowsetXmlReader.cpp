// Reading the rowset XML format, from this program and from ADO itself. Tolerant where
// real files differ (any prefixes, either quote, global attribute types, pending changes,
// rows without the z: prefix) and strict where data would otherwise be lost silently
// (values that do not fit their declared type).
#include "data/rowsetxml/RowsetXml.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/rowsetxml/RowsetXmlParser.h"
#include "data/rowsetxml/RowsetXmlValues.h"
#include "data/rowsetxml/RowsetXmlDeclared.h"
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

namespace data::rowsetxml {

namespace {

using namespace detail;

// What a chapter field shows: its rows are nested, not a value.
constexpr std::string_view kChapterMarker = "(DATASET)";

// ---- small text helpers -----------------------------------------------------------------

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

// ---- schema -----------------------------------------------------------------------------

enum class Conversion { Integer, Boolean, Real, Money, Decimal, DateTime, Text, Guid, HexBytes, Base64Bytes };

// XML-Data integer types: the field that holds them and the values they allow.
struct IntegerType {
    const char *name;
    TFieldType type;
    int64_t min;
    int64_t max;
};

const IntegerType kIntegerTypes[] = {
    {"int", ftInteger, INT32_MIN, INT32_MAX},   {"i4", ftInteger, INT32_MIN, INT32_MAX},
    {"i2", ftSmallint, INT16_MIN, INT16_MAX},   {"i1", ftSmallint, INT8_MIN, INT8_MAX},
    {"ui1", ftWord, 0, UINT8_MAX},              {"ui2", ftWord, 0, UINT16_MAX},
    {"i8", ftLargeint, INT64_MIN, INT64_MAX},   {"ui4", ftLargeint, 0, UINT32_MAX},
};


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
    int64_t minValue = INT64_MIN; // Integer
    int64_t maxValue = INT64_MAX;
    double realLimit = 0;         // Real: largest magnitude (r4); 0 = any double
    bool unsigned64 = false;      // Decimal holding ui8
    bool unknownScale = false;    // Decimal with scale 255: any value of `precision` digits
    int output = -1; // column index in the result; -1 for hidden columns
    int hiddenStore = -1;
    // The declaration as written, for a save to write back.
    std::vector<DeclaredAttribute> typeAttributes;
    std::vector<DeclaredAttribute> datatypeAttributes;
    bool hasDatatype = false;
    DeclaredColumn *declared = nullptr;
};

void keepDeclared(std::vector<DeclaredAttribute> &kept, const XmlAttribute &a)
{
    if (a.ns != Ns::Other)
        kept.push_back({a.ns, std::string(a.local), std::string(a.value)});
}

// Names and texts of the schema carry the same escapes as text values.
QString unescapedText(std::string_view v)
{
    std::string decoded;
    return decodeTextEscapes(v, decoded) ? qs(decoded) : qs(v);
}

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
        d.realName = unescapedText(v);
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
        d.baseCatalog = unescapedText(v);
    } else if (n == "baseschema") {
        d.baseSchema = unescapedText(v);
    } else if (n == "basetable") {
        d.baseTable = unescapedText(v);
    } else if (n == "basecolumn") {
        d.baseColumn = unescapedText(v);
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
    const auto integer = std::find_if(std::begin(kIntegerTypes), std::end(kIntegerTypes),
                                      [&](const IntegerType &it) { return t == it.name; });
    if (integer != std::end(kIntegerTypes)) {
        info.type = integer->type == ftInteger && d.autoIncrement ? ftAutoInc : integer->type;
        d.conversion = Conversion::Integer;
        d.minValue = integer->min;
        d.maxValue = integer->max;
    } else if (t == "ui8") {
        info.type = ftBCD;
        d.conversion = Conversion::Decimal;
        d.unsigned64 = true;
        d.precision = 20;
        d.scale = 0;
    } else if (t == "float" || t == "r8" || t == "r4") {
        info.type = ftFloat;
        d.conversion = Conversion::Real;
        d.realLimit = t == "r4" ? double(std::numeric_limits<float>::max()) : 0;
    } else if (t == "fixed.14.4" || (t == "number" && db == "currency")) {
        info.type = ftCurrency;
        d.conversion = Conversion::Money;
    } else if (t == "number" || t == "decimal" || t == "numeric") {
        info.type = (db == "varnumeric" || db == "decimal") ? ftFMTBcd : ftBCD;
        d.conversion = Conversion::Decimal;
        // Scale 255 says the scale is not known (a NUMBER without one): it is no size.
        d.unknownScale = d.scale == 255 || (d.precision > 0 && d.scale > d.precision);
        info.size = d.unknownScale ? 0 : clampInt(d.scale);
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
    info.scale = d.unknownScale ? 0 : clampInt(d.scale);
}

struct Schema {
    std::vector<ColumnDef> defs;     // in column order, hidden ones included
    std::string rowName = "row";     // local name of the row elements
    std::vector<std::string> chapters; // child row types of a shaped rowset
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
            notRowset(QStringLiteral("根元素是 <%1>, 不是 <xml>").arg(qs(currentQName())));
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
            notRowset(QStringLiteral("檔案中沒有資料區段 (rs:data)"));
        result_.updatable = schema_.updatable;
        declared_->rows = result_.rows.rowCount();
        result_.declared = std::move(declared_);
        return std::move(result_);
    }

private:
    QString where(size_t offset) const
    {
        int line, column;
        lineAndColumn(doc_, offset, line, column);
        return QStringLiteral("第 %1 行，第 %2 欄").arg(line).arg(column);
    }

    [[noreturn]] void notRowset(const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' 不是資料集 XML 檔：%2").arg(source_, why));
    }
    [[noreturn]] void badSchema(size_t offset, const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' 的資料集結構描述無效 (%2)：%3").arg(source_, where(offset), why));
    }

    QString noSchemaText() const
    {
        return QStringLiteral("檔案中沒有資料集結構描述 (命名空間 %1 中的 s:Schema 元素)").arg(qs(kNsSchema));
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

    // What the schema section declares, gathered before the columns are settled.
    struct SchemaParts {
        std::vector<ColumnDef> rowDefs;                          // declared inside the row type
        std::vector<std::pair<std::string, size_t>> references; // s:attribute type=..., offset
        std::map<std::string, ColumnDef> globals;                // s:AttributeType under s:Schema
        std::vector<DeclaredChapter> chapters;
        bool haveRowType = false;
        size_t declared = 0;
    };

    bool atSchemaElement(std::string_view local) const { return x_.ns() == Ns::Schema && x_.localName() == local; }

    void readSchema()
    {
        SchemaParts parts;
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (atSchemaElement("ElementType")) {
                readElementType(parts);
            } else if (atSchemaElement("AttributeType")) {
                ColumnDef d = readAttributeType(parts.declared++);
                parts.globals[d.xmlName] = d;
            } else {
                x_.skipElement();
            }
        }
        if (!parts.haveRowType)
            notRowset(QStringLiteral("結構描述中沒有宣告資料列型別 (s:ElementType)"));
        resolveReferences(parts);
        orderByNumber(parts.rowDefs);
        settleColumns(parts.rowDefs);
        schema_.defs = std::move(parts.rowDefs);
        indexColumnNames();
        createFields(std::move(parts.chapters));
    }

    // The row type is the one named "row"; failing that, the first one.
    void readElementType(SchemaParts &parts)
    {
        std::string name;
        bool updatable = false;
        for (const auto &a : x_.attributes()) {
            if (a.ns == Ns::None && a.local == "name")
                name = std::string(trimmed(a.value));
            else if (a.local == "updatable" && (a.ns == Ns::Rowset || a.ns == Ns::None))
                updatable = flag(a.value);
        }
        const bool take = !parts.haveRowType || (schema_.rowName != "row" && name == "row");
        if (!take) {
            x_.skipElement();
            return;
        }
        parts.haveRowType = true;
        schema_.rowName = name.empty() ? std::string("row") : name;
        schema_.updatable = updatable;
        parts.rowDefs.clear();
        parts.references.clear();
        parts.chapters.clear();
        schema_.chapters.clear();
        readRowTypeContent(parts);
    }

    void readRowTypeContent(SchemaParts &parts)
    {
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (atSchemaElement("AttributeType")) {
                parts.rowDefs.push_back(readAttributeType(parts.declared++));
            } else if (atSchemaElement("attribute")) {
                for (const auto &a : x_.attributes())
                    if (a.ns == Ns::None && a.local == "type")
                        parts.references.emplace_back(std::string(trimmed(a.value)), x_.tokenOffset());
                x_.skipElement();
            } else if (atSchemaElement("ElementType")) {
                // A chapter: its child rows are kept as they are, not shown.
                for (const auto &a : x_.attributes())
                    if (a.ns == Ns::None && a.local == "name")
                        schema_.chapters.emplace_back(trimmed(a.value));
                DeclaredChapter chapter;
                chapter.schema = "\t\t" + copyElement() + "\r\n";
                parts.chapters.push_back(std::move(chapter));
            } else {
                x_.skipElement(); // s:extends, anything else
            }
        }
    }

    void resolveReferences(SchemaParts &parts)
    {
        for (const auto &[name, offset] : parts.references) {
            const auto it = parts.globals.find(name);
            if (it == parts.globals.end())
                badSchema(offset, QStringLiteral("s:attribute 參照的 '%1' 未宣告").arg(qs(name)));
            ColumnDef d = it->second;
            d.docIndex = parts.declared++;
            parts.rowDefs.push_back(d);
        }
    }

    // Column order is rs:number; columns without one follow in document order.
    static void orderByNumber(std::vector<ColumnDef> &defs)
    {
        std::stable_sort(defs.begin(), defs.end(), [](const ColumnDef &a, const ColumnDef &b) {
            if (a.hasNumber != b.hasNumber)
                return a.hasNumber;
            if (a.hasNumber && a.number != b.number)
                return a.number < b.number;
            return a.docIndex < b.docIndex;
        });
    }

    void settleColumns(std::vector<ColumnDef> &defs)
    {
        bool fileUsesNullable = false, fileUsesWrite = false;
        for (const ColumnDef &d : defs) {
            fileUsesNullable |= d.nullable >= 0;
            fileUsesWrite |= d.write || d.writeUnknown;
        }
        int outputs = 0, hidden = 0;
        for (ColumnDef &d : defs) {
            if (d.xmlName.empty())
                badSchema(d.offset, QStringLiteral("有一個 s:AttributeType 沒有名稱"));
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
            d.hiddenStore = d.hidden ? hidden++ : -1;
        }
    }

    void indexColumnNames()
    {
        for (size_t i = 0; i < schema_.defs.size(); ++i)
            schema_.byName.emplace_back(schema_.defs[i].xmlName, int(i));
        std::sort(schema_.byName.begin(), schema_.byName.end());
        for (size_t i = 1; i < schema_.byName.size(); ++i)
            if (schema_.byName[i].first == schema_.byName[i - 1].first)
                badSchema(schema_.defs[size_t(schema_.byName[i].second)].offset,
                          QStringLiteral("屬性名稱 '%1' 宣告了兩次").arg(qs(schema_.byName[i].first)));
    }

    // The fields, the chapters' marker fields after them, and the declaration kept for a save.
    void createFields(std::vector<DeclaredChapter> chapters)
    {
        declared_ = std::make_shared<Declared>();
        declared_->columns.reserve(schema_.defs.size());
        for (ColumnDef &d : schema_.defs) {
            declared_->columns.push_back(declaredColumn(d));
            d.declared = &declared_->columns.back();
            if (d.output < 0) {
                declared_->hidden.columns.emplace_back(StorageKind::Text);
                continue;
            }
            result_.columns.push_back(d.info);
            result_.rows.columns.emplace_back(storageFor(d.info.type));
        }
        for (size_t k = 0; k < chapters.size(); ++k) {
            ColumnInfo marker;
            marker.name = qs(schema_.chapters[k]);
            marker.readOnly = true;
            chapters[k].output = int(result_.columns.size());
            result_.columns.push_back(marker);
            result_.rows.columns.emplace_back(StorageKind::Text);
        }
        declared_->chapters = std::move(chapters);
        base_.resize(schema_.defs.size());
        change_.resize(schema_.defs.size());
    }

    static DeclaredColumn declaredColumn(const ColumnDef &d)
    {
        DeclaredColumn c;
        c.xmlName = d.xmlName;
        c.typeAttributes = d.typeAttributes;
        c.datatypeAttributes = d.datatypeAttributes;
        c.hasDatatype = d.hasDatatype;
        c.loadedType = d.info.type;
        c.output = d.output;
        c.hiddenStore = d.hiddenStore;
        c.integer = d.conversion == Conversion::Integer;
        c.minValue = d.minValue;
        c.maxValue = d.maxValue;
        c.decimal = d.conversion == Conversion::Decimal;
        c.precision = int(std::clamp<long long>(d.precision, 0, INT32_MAX));
        c.scale = int(std::clamp<long long>(d.scale, 0, INT32_MAX));
        c.unknownScale = d.unknownScale;
        c.unsigned64 = d.unsigned64;
        c.realLimit = d.realLimit;
        return c;
    }

    ColumnDef readAttributeType(size_t docIndex)
    {
        ColumnDef d;
        d.docIndex = docIndex;
        d.offset = x_.tokenOffset();
        for (const auto &a : x_.attributes()) {
            applyAttribute(d, a);
            keepDeclared(d.typeAttributes, a);
        }
        d.xmlName = std::string(trimmed(d.xmlName));
        while (x_.next() == XmlPullParser::StartElement) {
            x_.checkUniqueAttributes();
            if (atSchemaElement("datatype") && !d.hasDatatype) {
                d.hasDatatype = true;
                for (const auto &a : x_.attributes()) {
                    if (a.ns != Ns::None)
                        applyAttribute(d, a);
                    keepDeclared(d.datatypeAttributes, a);
                }
            }
            x_.skipElement();
        }
        return d;
    }

    // ---- copying elements a save writes back ----

    static const char *prefixOf(Ns ns)
    {
        switch (ns) {
        case Ns::Schema: return "s:";
        case Ns::DataType: return "dt:";
        case Ns::Rowset: return "rs:";
        case Ns::Row: return "z:";
        default: return "";
        }
    }

    static void appendEscaped(std::string &out, std::string_view v)
    {
        for (const char c : v) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += "&#" + std::to_string(int(c)) + ";";
                else
                    out += c;
            }
        }
    }

    void appendStartTag(std::string &out) const
    {
        out += '<';
        out += prefixOf(x_.ns());
        out += x_.localName();
        for (const auto &a : x_.attributes()) {
            if (a.ns == Ns::Other)
                continue; // its namespace is not declared in the file written
            out += ' ';
            out += prefixOf(a.ns);
            out += a.local;
            out += "='";
            appendEscaped(out, a.value);
            out += '\'';
        }
    }

    // The current element and everything inside it, in this program's prefixes (the
    // file may have used others). Elements of other vocabularies are left out.
    std::string copyElement()
    {
        std::string out;
        std::vector<std::string> open;
        bool tagOpen = false;
        auto enter = [&] {
            x_.checkUniqueAttributes();
            if (tagOpen)
                out += '>';
            appendStartTag(out);
            open.push_back(std::string(prefixOf(x_.ns())) + std::string(x_.localName()));
            tagOpen = true;
        };
        enter();
        while (!open.empty()) {
            if (x_.next() == XmlPullParser::StartElement) {
                if (x_.ns() == Ns::Other)
                    x_.skipElement();
                else
                    enter();
                continue;
            }
            out += tagOpen ? "/>" : "</" + open.back() + ">";
            tagOpen = false;
            open.pop_back();
        }
        return out;
    }

    // ---- data ----

    struct Slot {
        std::string_view value;
        std::string own;
        size_t offset = 0;
        uint64_t generation = 0;
    };

    // Rows are elements named after the row type in the row namespace; ADO's own examples
    // also show them without a prefix.
    bool isRow() const
    {
        return x_.localName() == schema_.rowName && (x_.ns() == Ns::Row || x_.ns() == Ns::None);
    }

    [[noreturn]] void undeclared(size_t offset, const QString &what) const
    {
        throw DatabaseError(QStringLiteral("'%1' 含有結構描述未宣告的資料 (%2)：%3")
                                .arg(source_, where(offset), what));
    }

    [[noreturn]] void notARow() const
    {
        undeclared(x_.tokenOffset(), QStringLiteral("<%1> 不是宣告的資料列型別 '%2' 的資料列")
                                         .arg(qs(currentQName()), qs(schema_.rowName)));
    }

    void expectRow() const
    {
        if (!isRow())
            notARow();
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
    // outlive the parser's next step. Attributes that are no declared column are passed
    // over and counted, as the platform's own reader ignores them (rs:forcenull on the
    // changed row of an update aside). Returns the names rs:forcenull lists.
    std::string collect(std::vector<Slot> &target, uint64_t generation, bool copy, bool mayForceNull = false)
    {
        std::string forceNull;
        guess_ = 0;
        for (const auto &a : x_.attributes()) {
            if (a.ns != Ns::None) {
                if (mayForceNull && a.ns == Ns::Rowset && a.local == "forcenull") {
                    forceNull = std::string(a.value);
                    continue;
                }
                ++result_.notes.valuesLeftOut;
                continue;
            }
            const int d = lookup(a.local);
            if (d < 0) {
                ++result_.notes.valuesLeftOut;
                continue;
            }
            Slot &s = target[size_t(d)];
            if (s.generation == generation)
                throw XmlError{a.valueOffset, QStringLiteral("屬性 '%1' 重複出現").arg(qs(a.local))};
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

    [[noreturn]] void refuse(const ColumnDef &d, std::string_view value, size_t offset, const QString &why) const
    {
        throw DatabaseError(QStringLiteral("'%1' 中的資料型別不符 (%2)：欄位 '%4' 的值 '%3' %5")
                                .arg(source_, where(offset), shown(value), d.info.name, why));
    }

    [[noreturn]] void mismatch(const ColumnDef &d, std::string_view value, size_t offset) const
    {
        const QString type = d.dtType.empty() ? QStringLiteral("string") : qs(d.dtType);
        refuse(d, value, offset, QStringLiteral("不是有效的 %1 值").arg(type));
    }

    [[noreturn]] void outOfRange(const ColumnDef &d, std::string_view value, size_t offset, const QString &range) const
    {
        refuse(d, value, offset, QStringLiteral("超出 %1 的範圍 (%2)").arg(qs(d.dtType), range));
    }

    void check(ValueCheck result, const ColumnDef &d, std::string_view value, size_t offset) const
    {
        switch (result) {
        case ValueCheck::Ok:
            return;
        case ValueCheck::Invalid:
            mismatch(d, value, offset);
        case ValueCheck::OutOfRange:
            outOfRange(d, value, offset, d.conversion == Conversion::DateTime ? QStringLiteral("西元 1 至 9999 年")
                                                                               : QStringLiteral("雙精度浮點數"));
        case ValueCheck::TooPrecise:
            refuse(d, value, offset, QStringLiteral("比時間能存的毫秒更精細"));
        case ValueCheck::ZoneOnDateOrTime:
            refuse(d, value, offset, QStringLiteral("帶有時區, 單獨的日期或時間無法依時區換算"));
        }
    }

    void storeInteger(const ColumnDef &d, ColumnStore &col, std::string_view v, size_t offset)
    {
        int64_t i = 0;
        const ValueCheck r = parseInteger(v, i);
        if (r == ValueCheck::Invalid)
            mismatch(d, v, offset);
        if (r == ValueCheck::OutOfRange || i < d.minValue || i > d.maxValue)
            outOfRange(d, v, offset, QStringLiteral("%1 至 %2").arg(d.minValue).arg(d.maxValue));
        col.appendInt(i);
    }

    void storeReal(const ColumnDef &d, ColumnStore &col, std::string_view v, size_t offset)
    {
        double r = 0;
        check(parseReal(v, r), d, v, offset);
        if (d.realLimit > 0 && std::isfinite(r) && std::fabs(r) > d.realLimit)
            outOfRange(d, v, offset, QStringLiteral("單精度浮點數"));
        col.appendReal(r);
    }

    void storeMoney(const ColumnDef &d, ColumnStore &col, std::string_view v, size_t offset)
    {
        int64_t scaled = 0;
        switch (exact::parseMoney(v, scaled)) {
        case exact::MoneyResult::Ok:
            col.appendMoney(scaled);
            return;
        case exact::MoneyResult::NotANumber:
            mismatch(d, v, offset);
        case exact::MoneyResult::TooManyDecimals:
            refuse(d, v, offset, QStringLiteral("超過貨幣能存的四位小數"));
        case exact::MoneyResult::OutOfRange:
            outOfRange(d, v, offset, QStringLiteral("-922337203685477.5808 至 922337203685477.5807"));
        }
    }

    void storeDecimal(const ColumnDef &d, ColumnStore &col, std::string_view v, size_t offset)
    {
        const std::string_view t = trimmed(v);
        exact::Decimal number;
        if (!exact::parseDecimal(t, number))
            mismatch(d, v, offset);
        if (d.unknownScale) {
            const long long digits = number.integerDigits() + number.fractionDigits();
            if (d.precision > 0 && digits > d.precision)
                outOfRange(d, v, offset, QStringLiteral("%1 位數").arg(d.precision));
            col.appendText(t);
            return;
        }
        const int precision = int(std::clamp<long long>(d.precision, 0, INT32_MAX));
        const int scale = int(std::clamp<long long>(d.scale, 0, INT32_MAX));
        switch (exact::fitsNumeric(number, precision, scale)) {
        case exact::FitResult::Ok:
            break;
        case exact::FitResult::TooManyDecimals:
            refuse(d, v, offset, QStringLiteral("小數超過欄位的 %1 位小數").arg(scale));
        case exact::FitResult::TooManyDigits:
            outOfRange(d, v, offset, QStringLiteral("有效位數 %1, 小數位數 %2").arg(precision).arg(scale));
        }
        if (d.unsigned64 && !fitsUnsigned64(number))
            outOfRange(d, v, offset, QStringLiteral("0 至 %1").arg(qs(kMaxUi8)));
        col.appendText(t);
    }

    void store(const ColumnDef &d, ColumnStore &col, const Slot &s)
    {
        const std::string_view v = s.value;
        switch (d.conversion) {
        case Conversion::Integer:
            storeInteger(d, col, v, s.offset);
            break;
        case Conversion::Boolean: {
            int64_t b;
            if (!parseBoolean(v, b))
                mismatch(d, v, s.offset);
            col.appendInt(b);
            break;
        }
        case Conversion::Real:
            storeReal(d, col, v, s.offset);
            break;
        case Conversion::Money:
            storeMoney(d, col, v, s.offset);
            break;
        case Conversion::Decimal:
            storeDecimal(d, col, v, s.offset);
            break;
        case Conversion::DateTime: {
            int64_t ms = 0;
            bool zoned = false;
            check(parseDateTime(v, ms, &zoned), d, v, s.offset);
            if (zoned)
                d.declared->zoned[uint32_t(col.size())] = {ms, std::string(trimmed(v))};
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
        case Conversion::HexBytes: case Conversion::Base64Bytes:
            if (!(d.conversion == Conversion::HexBytes ? parseHexBytes(v, bytes_) : parseBase64Bytes(v, bytes_)))
                mismatch(d, v, s.offset);
            col.appendText(bytes_);
            break;
        case Conversion::Text:
            col.appendText(decodeTextEscapes(v, bytes_) ? std::string_view(bytes_) : v);
            break;
        }
    }

    // The column names rs:forcenull lists, each a declared column.
    std::vector<std::string_view> forcedNulls(const std::string &forceNull, size_t offset)
    {
        std::vector<std::string_view> nulled;
        std::string_view rest = forceNull;
        while (!rest.empty()) {
            const size_t sp = rest.find_first_of(" \t\r\n");
            const std::string_view name = rest.substr(0, sp);
            if (!name.empty()) {
                if (lookup(name) < 0)
                    undeclared(offset, QStringLiteral("rs:forcenull 指名的 '%1' 不是已宣告的欄位").arg(qs(name)));
                nulled.push_back(name);
            }
            if (sp == std::string_view::npos)
                break;
            rest.remove_prefix(sp + 1);
        }
        return nulled;
    }

    // Appends one row: the changed values over the base ones (the base alone for a plain
    // row), NULL where neither has the column.
    void append(uint64_t baseGeneration, uint64_t changeGeneration, const std::vector<std::string_view> &nulled)
    {
        if (result_.rows.columns.empty()) {
            ++result_.rows.physicalRows;
            return;
        }
        for (size_t i = 0; i < schema_.defs.size(); ++i) {
            const ColumnDef &d = schema_.defs[i];
            ColumnStore &col = d.output < 0 ? declared_->hidden.columns[size_t(d.hiddenStore)]
                                            : result_.rows.columns[size_t(d.output)];
            const Slot *s = nullptr;
            if (changeGeneration && change_[i].generation == changeGeneration)
                s = &change_[i];
            else if (baseGeneration && base_[i].generation == baseGeneration)
                s = &base_[i];
            if (s && !nulled.empty() && std::find(nulled.begin(), nulled.end(), d.xmlName) != nulled.end())
                s = nullptr;
            if (s && d.output < 0)
                col.appendText(s->value); // kept as written
            else if (s)
                store(d, col, *s);
            else
                col.appendNull();
        }
        for (const DeclaredChapter &chapter : declared_->chapters)
            result_.rows.columns[size_t(chapter.output)].appendText(kChapterMarker);
    }

    // Inside a row only the child rows of a declared chapter may appear. They are not
    // fields here: they are kept as they are (into `nested` when given), for a save.
    void readRowContent(std::string *nested)
    {
        while (x_.next() == XmlPullParser::StartElement) {
            const bool chapter = x_.ns() == Ns::None &&
                                 std::find(schema_.chapters.begin(), schema_.chapters.end(), x_.localName()) !=
                                     schema_.chapters.end();
            if (!chapter)
                undeclared(x_.tokenOffset(), QStringLiteral("資料列中的 <%1> 不是已宣告的子資料集")
                                                 .arg(qs(currentQName())));
            if (!nested) {
                x_.skipElement();
                continue;
            }
            *nested += copyElement();
            ++result_.notes.nestedRows;
        }
    }
    void skipRowContent() { readRowContent(nullptr); }

    void plainRow()
    {
        const uint64_t g = ++generation_;
        collect(base_, g, false);
        const size_t row = result_.rows.rowCount();
        append(g, 0, {});
        if (declared_->chapters.empty()) {
            skipRowContent();
            return;
        }
        declared_->nested.resize(row + 1);
        readRowContent(&declared_->nested[row]);
    }

    // A deleted row is gone, but it must still be a row of the declared columns.
    void deletedRow()
    {
        collect(deleted_, ++generation_, false);
        skipRowContent();
    }

    void readData()
    {
        deleted_.resize(schema_.defs.size());
        while (x_.next() == XmlPullParser::StartElement) {
            if (isRow()) {
                plainRow();
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "update") {
                readUpdate();
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "insert") {
                while (x_.next() == XmlPullParser::StartElement) {
                    expectRow();
                    plainRow();
                }
            } else if (x_.ns() == Ns::Rowset && x_.localName() == "delete") {
                while (x_.next() == XmlPullParser::StartElement) {
                    expectRow();
                    deletedRow();
                }
            } else {
                notARow();
            }
        }
    }

    // rs:update: one rs:original holding the original row, then the changed values
    // (often only the changed columns). The row read is the original with the changes
    // applied.
    void readUpdate()
    {
        uint64_t original = 0, changed = 0;
        std::string forceNull;
        size_t forceNullOffset = 0;
        while (x_.next() == XmlPullParser::StartElement) {
            if (x_.ns() == Ns::Rowset && x_.localName() == "original" && !original && !changed) {
                while (x_.next() == XmlPullParser::StartElement) {
                    expectRow();
                    if (original)
                        undeclared(x_.tokenOffset(), QStringLiteral("rs:original 含有一筆以上的資料列"));
                    original = ++generation_;
                    collect(base_, original, true);
                    skipRowContent();
                }
            } else if (isRow() && !changed) {
                changed = ++generation_;
                forceNullOffset = x_.tokenOffset();
                forceNull = collect(change_, changed, true, true);
                skipRowContent();
            } else {
                undeclared(x_.tokenOffset(), QStringLiteral("<%1> 不應出現在 rs:update 中").arg(qs(currentQName())));
            }
        }
        const auto nulled = forcedNulls(forceNull, forceNullOffset);
        if (original || changed)
            append(original, changed, nulled);
    }

    std::string_view doc_;
    QString source_;
    XmlPullParser x_;
    Schema schema_;
    Rowset result_;
    std::vector<Slot> base_;
    std::vector<Slot> change_;
    std::vector<Slot> deleted_;
    std::shared_ptr<Declared> declared_;
    uint64_t generation_ = 0;
    size_t guess_ = 0;
    std::string bytes_;
};

// ---- document preparation -----------------------------------------------------------------

// UTF-16 text as UTF-8. A lone surrogate or an odd last byte is refused, as malformed
// UTF-8 is, with the line and column where the text breaks.
std::string_view fromUtf16(std::string_view bytes, bool bigEndian, const QString &source, std::string &storage)
{
    storage.clear();
    storage.reserve(bytes.size() * 3 / 2);
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        return char16_t((hi << 8) | lo);
    };
    auto refuse = [&](const QString &why) {
        int line, column;
        lineAndColumn(storage, storage.size(), line, column);
        throw DatabaseError(QStringLiteral("'%1' 不是格式正確的 XML (第 %2 行，第 %3 欄)：%4")
                                .arg(source, QString::number(line), QString::number(column), why));
    };
    for (size_t i = 0; i < units; ++i) {
        const char16_t u = unitAt(i);
        uint32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (uint32_t(unitAt(i + 1)) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            refuse(QStringLiteral("單獨的 UTF-16 代理字元 (U+%1)：文字不是有效的 UTF-16")
                       .arg(QString::number(uint(u), 16).toUpper()));
        }
        appendUtf8(storage, cp);
    }
    if (bytes.size() % 2)
        refuse(QStringLiteral("檔案在 UTF-16 字元中間結束"));
    return storage;
}

// The document as UTF-8 without a byte order mark. `storage` holds converted text.
std::string_view prepare(const QByteArray &xml, const QString &source, std::string &storage)
{
    std::string_view doc(xml.constData(), size_t(xml.size()));
    auto convert = [&](QStringDecoder &decoder, std::string_view bytes) {
        const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (decoder.hasError())
            throw DatabaseError(QStringLiteral("'%1' 不是 XML 文件：文字無法解碼").arg(source));
        storage = text.toStdString();
        return std::string_view(storage);
    };
    // A byte order mark says which encoding the text is in, whatever a declaration names.
    bool marked = true;
    if (doc.size() >= 3 && doc.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.remove_prefix(3);
    } else if (doc.size() >= 2 && (doc.substr(0, 2) == "\xFF\xFE" || doc.substr(0, 2) == "\xFE\xFF")) {
        doc = fromUtf16(doc.substr(2), doc[0] == '\xFE', source, storage);
    } else if (doc.size() >= 2 && (doc.substr(0, 2) == std::string_view("<\0", 2) ||
                                   doc.substr(0, 2) == std::string_view("\0<", 2))) {
        doc = fromUtf16(doc, doc[0] == '\0', source, storage); // UTF-16 without a byte order mark
    } else {
        marked = false;
    }
    const size_t first = doc.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        throw DatabaseError(QStringLiteral("檔案 '%1' 是空的").arg(source));
    if (doc[first] != '<')
        throw DatabaseError(QStringLiteral("'%1' 不是 XML 文件").arg(source));

    // An XML declaration naming another encoding than UTF-8.
    if (doc.substr(0, 5) == "<?xml" && !marked) {
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
                        throw DatabaseError(QStringLiteral("'%1' 使用的編碼 '%2' 無法讀取")
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
        throw DatabaseError(QStringLiteral("檔案 '%1' 是空的").arg(sourceName));
    std::string storage;
    const std::string_view doc = prepare(xml, sourceName, storage);
    try {
        const size_t bad = findInvalidCharacter(doc);
        if (bad != std::string_view::npos)
            throw XmlError{bad, QStringLiteral("XML 不允許的字元 (或不是 UTF-8)")};
        return Reader(doc, sourceName).read();
    } catch (const XmlError &e) {
        int line, column;
        lineAndColumn(doc, e.offset, line, column);
        throw DatabaseError(QStringLiteral("'%1' 不是格式正確的 XML (第 %2 行，第 %3 欄)：%4")
                                .arg(sourceName, QString::number(line), QString::number(column), e.message));
    }
}

Rowset load(const QString &fileName)
{
    const QFileInfo fi(fileName);
    if (!fi.exists())
        throw DatabaseError(QStringLiteral("檔案 '%1' 不存在").arg(fileName));
    if (fi.isDir())
        throw DatabaseError(QStringLiteral("'%1' 是資料夾, 不是檔案").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("無法開啟檔案 '%1'：%2").arg(fileName, file.errorString()));
    const qint64 size = file.size();
    if (size <= 0)
        throw DatabaseError(QStringLiteral("檔案 '%1' 是空的").arg(fileName));
    // Mapped rather than read: the values are copied into the column stores anyway.
    if (uchar *mapped = file.map(0, size)) {
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size));
        return fromXml(bytes, fileName);
    }
    return fromXml(file.readAll(), fileName);
}

} // namespace data::rowsetxml
