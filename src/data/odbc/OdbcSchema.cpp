// OLE DB schema rowsets from the ODBC catalog functions. Restrictions go to the driver as
// the functions' arguments (escaped where the argument is a search pattern), never as SQL
// text; the rows come back in the OLE DB layout.
#include "data/core/DatabaseError.h"
#include "data/odbc/OdbcSession.h"
#include "data/core/SchemaLayouts.h"
#include "data/core/TableName.h"
#include <algorithm>
#include <optional>
#include <span>

namespace data {

using odbc::fromWide;
using odbc::Handle;
using odbc::succeeded;
using odbc::wide;

namespace {

bool given(const std::vector<QVariant> &r, size_t i)
{
    return i < r.size() && r[i].isValid() && !r[i].isNull();
}

QString textAt(const std::vector<QVariant> &r, size_t i)
{
    return given(r, i) ? r[i].toString() : QString();
}

// An argument for a catalog function: a null pointer when absent.
struct Arg {
    std::optional<QString> text;
    SQLWCHAR *ptr() const { return text ? wide(*text) : nullptr; }
    SQLSMALLINT len() const { return text ? SQL_NTS : 0; }
};

// Drivers that read their escape only in front of "_" and "%" and pass a doubled one
// on as two characters of the server's LIKE, where it stays a backslash: a schema such
// as CORP\alice, escaped by the book, would match nothing.
bool readsEscapeOnlyBeforeWildcards(const QString &driver)
{
    static const char *const drivers[] = {"libtdsodbc", "psqlodbc"}; // FreeTDS, PostgreSQL's
    for (const char *prefix : drivers)
        if (driver.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

QVariant orNull(const QVariant &v)
{
    return v.isValid() ? v : QVariant();
}

std::optional<qint64> number(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

QVariant numberOrNull(const QVariant &v)
{
    const auto n = number(v);
    return n ? QVariant(*n) : QVariant();
}

// ODBC SQL type code (with the type's name, for the cases the code alone does not
// settle) to the OLE DB DBTYPE.
int dbTypeOfSql(int sqlType, const QString &typeName)
{
    const QString name = typeName.trimmed().toLower();
    if (name == QLatin1String("bool") || name == QLatin1String("boolean"))
        return DBTYPE_BOOL;
    switch (sqlType) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR: return DBTYPE_STR;
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR: return DBTYPE_WSTR;
    case SQL_DECIMAL: case SQL_NUMERIC:
        return name.contains(QLatin1String("money")) ? DBTYPE_CY : DBTYPE_NUMERIC;
    case SQL_SMALLINT: return DBTYPE_I2;
    case SQL_INTEGER: return DBTYPE_I4;
    case SQL_BIGINT: return DBTYPE_I8;
    case SQL_TINYINT: return DBTYPE_UI1;
    case SQL_BIT: return DBTYPE_BOOL;
    case SQL_REAL: return DBTYPE_R4;
    case SQL_FLOAT: case SQL_DOUBLE: return DBTYPE_R8;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: return DBTYPE_BYTES;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return DBTYPE_DBTIMESTAMP;
    case SQL_TYPE_DATE: case SQL_DATE: return DBTYPE_DBDATE;
    case SQL_TYPE_TIME: case SQL_TIME: return DBTYPE_DBTIME;
    case SQL_GUID: return DBTYPE_GUID;
    case -150: return DBTYPE_VARIANT; // SQL Server sql_variant
    default: return DBTYPE_WSTR;
    }
}

bool isCharacter(int dbType)
{
    return dbType == DBTYPE_STR || dbType == DBTYPE_WSTR || dbType == DBTYPE_BYTES;
}

bool isNumeric(int dbType)
{
    switch (dbType) {
    case DBTYPE_I2: case DBTYPE_I4: case DBTYPE_I8: case DBTYPE_UI1: case DBTYPE_R4: case DBTYPE_R8:
    case DBTYPE_CY: case DBTYPE_NUMERIC: case DBTYPE_DECIMAL:
        return true;
    default:
        return false;
    }
}

bool isDateTime(int dbType)
{
    return dbType == DBTYPE_DBTIMESTAMP || dbType == DBTYPE_DBDATE || dbType == DBTYPE_DBTIME ||
           dbType == DBTYPE_DATE;
}

// DBCOLUMNFLAGS
constexpr qint64 kFlagWrite = 0x4, kFlagFixed = 0x10, kFlagNullable = 0x20, kFlagMaybeNull = 0x40,
                 kFlagLong = 0x80, kFlagMayDefer = 0x2, kFlagRowVer = 0x200;


bool yes(const QVariant &v)
{
    return v.toString().trimmed().compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
}

QVariant flag(const QVariant &v) // ODBC smallint flag to a Boolean, NULL staying NULL
{
    const auto n = number(v);
    return n ? QVariant(*n != 0) : QVariant();
}

// How a rowset column's value is taken from a row of a catalog function's result.
enum class From {
    Value,    // the text, NULL staying NULL
    Text,     // the text, NULL as empty text
    Number,   // an integer; NULL or anything else as NULL
    Yes,      // "YES" as true
    Flag,     // an ODBC smallint flag as a Boolean, NULL staying NULL
    Nullable, // an ODBC nullability code: true unless SQL_NO_NULLS (NULL: true)
    Given,    // whether there is a value at all
    Catalog,  // not from the row: the catalog the caller settled for it
};

struct Pick {
    const char *column;
    size_t at;
    From from;
};

using NamedValues = std::vector<std::pair<QString, QVariant>>;

QVariant pickedValue(const std::vector<QVariant> &row, const Pick &pick, const QVariant &catalog)
{
    const QVariant v = pick.at < row.size() ? row[pick.at] : QVariant();
    switch (pick.from) {
    case From::Value: return orNull(v);
    case From::Text: return v.toString();
    case From::Number: return numberOrNull(v);
    case From::Yes: return yes(v);
    case From::Flag: return flag(v);
    case From::Nullable: return number(v).value_or(1) != SQL_NO_NULLS;
    case From::Given: return v.isValid();
    case From::Catalog: return catalog;
    }
    return QVariant();
}

// The values of one rowset row, column by column as the picks say.
NamedValues picked(const std::vector<QVariant> &row, std::span<const Pick> picks,
                   const QVariant &catalog = QVariant())
{
    NamedValues values;
    values.reserve(picks.size());
    for (const Pick &pick : picks)
        values.emplace_back(QLatin1String(pick.column), pickedValue(row, pick, catalog));
    return values;
}

// The row's catalog; a source without catalogs names the current database instead of
// none (current is empty for a source with catalogs).
QVariant catalogOrCurrent(const QVariant &rowCatalog, const QString &current)
{
    QVariant catalog = orNull(rowCatalog);
    if ((catalog.isNull() || catalog.toString().isEmpty()) && !current.isEmpty())
        catalog = current;
    return catalog;
}

// The row's catalog, or the current database when the driver names none.
QVariant catalogOrDefault(const QVariant &rowCatalog, OdbcSession &session)
{
    return rowCatalog.toString().isEmpty() ? QVariant(session.defaultDatabase()) : rowCatalog;
}

// The arguments of a per-table catalog function for one table.
struct TableArgs {
    Arg cat, sch, tab;
};

TableArgs tableArgs(const QString &catalog, const QString &schema, const QString &name)
{
    TableArgs a;
    if (!catalog.isEmpty())
        a.cat.text = catalog;
    if (!schema.isEmpty())
        a.sch.text = schema;
    a.tab.text = name;
    return a;
}

// Whether a row's value passes restriction r[i], applied here (none: every row does).
bool sameName(const QVariant &rowValue, const std::vector<QVariant> &r, size_t i, Qt::CaseSensitivity cs)
{
    return !given(r, i) || rowValue.toString().compare(textAt(r, i), cs) == 0;
}

struct IndexRow {
    NamedValues values;
    bool unique = false;
    int type = 1;
    QString catalog, schema, name;
    qint64 ordinal = 0;
};

// OLE DB order: unique indexes first, then type, catalog, schema, name, key position.
bool indexOrder(const IndexRow &a, const IndexRow &b)
{
    if (a.unique != b.unique)
        return a.unique;
    if (a.type != b.type)
        return a.type < b.type;
    if (a.catalog != b.catalog)
        return a.catalog < b.catalog;
    if (a.schema != b.schema)
        return a.schema < b.schema;
    if (a.name != b.name)
        return a.name < b.name;
    return a.ordinal < b.ordinal;
}

// How the source orders NULLs (SQL_NULL_COLLATION), in OLE DB terms.
qint64 oleDbNullCollation(SQLUINTEGER odbc)
{
    switch (odbc & 0xFFFF) {
    case SQL_NC_END: return 1;
    case SQL_NC_HIGH: return 2;
    case SQL_NC_START: return 8;
    default: return 4; // NC_LOW
    }
}

} // namespace

std::unique_ptr<ResultSet> OdbcSession::openSchema(const QString &rowset, const std::vector<QVariant> &restrictions)
{
    static const SchemaReader<OdbcSession> kCatalogRowsets[] = {
        {"TABLES", &OdbcSession::schemaTables},
        {"COLUMNS", &OdbcSession::schemaColumns},
        {"INDEXES", &OdbcSession::schemaIndexes},
        {"PRIMARY_KEYS", &OdbcSession::schemaPrimaryKeys},
        {"CATALOGS", &OdbcSession::schemaCatalogs},
        {"STATISTICS", &OdbcSession::schemaStatistics},
        {"PROCEDURES", &OdbcSession::schemaProcedures},
        {"PROCEDURE_PARAMETERS", &OdbcSession::schemaProcedureParameters},
        {"TABLE_PRIVILEGES", &OdbcSession::schemaTablePrivileges},
        {"COLUMN_PRIVILEGES", &OdbcSession::schemaColumnPrivileges},
        {"PROVIDER_TYPES", &OdbcSession::schemaProviderTypes},
    };
    static const char *const kInformationSchemaRowsets[] = {"SCHEMATA", "TABLE_CONSTRAINTS", "KEY_COLUMN_USAGE",
                                                            "CHECK_CONSTRAINTS", "VIEWS"};
    if (const auto *reader = findSchemaReader(rowset, kCatalogRowsets))
        return (this->*reader->read)(restrictions);
    const QString name = rowset.trimmed().toUpper();
    for (const char *view : kInformationSchemaRowsets)
        if (name == QLatin1String(view))
            return schemaFromInformationSchema(name, restrictions);
    throw DatabaseError(QStringLiteral("ODBC 資料來源不提供結構描述資料列集 %1。")
                            .arg(rowset));
}

std::optional<QString> OdbcSession::patternAt(const std::vector<QVariant> &r, size_t i) const
{
    if (!given(r, i))
        return std::nullopt;
    return patternArgument(textAt(r, i));
}

QString OdbcSession::patternArgument(const QString &value) const
{
    if (escapeChar_.isEmpty())
        return value;
    const bool escapeItself = !readsEscapeOnlyBeforeWildcards(driverName_);
    QString out;
    out.reserve(value.size() + 4);
    for (const QChar ch : value) {
        if (ch == QLatin1Char('%') || ch == QLatin1Char('_') || (escapeItself && QString(ch) == escapeChar_))
            out += escapeChar_;
        out += ch;
    }
    return out;
}

bool OdbcSession::supportsCatalogs() const
{
    if (catalogSupport_ < 0) {
        const QString yn = infoText(SQL_CATALOG_NAME);
        const_cast<OdbcSession *>(this)->catalogSupport_ =
            yn.compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0 ? 1 : 0;
    }
    return catalogSupport_ == 1;
}

bool OdbcSession::catalogMatches(const QVariant &rowCatalog, const std::vector<QVariant> &r) const
{
    if (!given(r, 0) || !rowCatalog.isValid() || rowCatalog.toString().isEmpty())
        return true;
    return rowCatalog.toString().compare(textAt(r, 0), Qt::CaseInsensitive) == 0;
}

Qt::CaseSensitivity OdbcSession::nameCase() const
{
    return dialect() == Dialect::SqlServer ? Qt::CaseInsensitive : Qt::CaseSensitive;
}

std::vector<OdbcSession::CatalogRow> OdbcSession::catalogRows(Handle &st, SQLRETURN rc, const QString &what)
{
    st.check(rc, what);
    std::vector<CatalogRow> rows;
    SQLSMALLINT count = 0;
    st.check(SQLNumResultCols(st, &count), what);
    if (count <= 0)
        return rows;
    std::u16string buf;
    for (;;) {
        const SQLRETURN f = SQLFetch(st);
        if (f == SQL_NO_DATA)
            break;
        st.check(f, what);
        CatalogRow row;
        row.values.resize(size_t(count));
        for (SQLSMALLINT c = 1; c <= count; ++c) {
            QString value;
            bool isNull = false;
            SQLWCHAR piece[1024];
            for (;;) {
                SQLLEN ind = 0;
                const SQLRETURN g = SQLGetData(st, SQLUSMALLINT(c), SQL_C_WCHAR, piece, SQLLEN(sizeof piece), &ind);
                if (g == SQL_NO_DATA)
                    break;
                st.check(g, what);
                if (ind == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const qsizetype room = qsizetype(sizeof piece / sizeof *piece) - 1;
                const bool partial = ind == SQL_NO_TOTAL || ind / 2 > room;
                value += fromWide(piece, partial ? room : ind / 2);
                if (!partial || g == SQL_SUCCESS)
                    break;
            }
            if (!isNull)
                row.values[size_t(c - 1)] = value;
        }
        rows.push_back(std::move(row));
    }
    SQLCloseCursor(st);
    return rows;
}

std::vector<OdbcSession::TableRef> OdbcSession::tablesFor(const QVariant &catalog, const QVariant &schema,
                                                          const QVariant &table)
{
    Handle st = newStatement(0);
    Arg cat, sch, tab;
    if (catalog.isValid() && !catalog.isNull())
        cat.text = patternArgument(catalog.toString());
    if (schema.isValid() && !schema.isNull())
        sch.text = patternArgument(schema.toString());
    if (table.isValid() && !table.isNull())
        tab.text = patternArgument(table.toString());
    const QString types = QStringLiteral("TABLE");
    const auto rows = catalogRows(st,
                                  SQLTablesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len(),
                                             wide(types), SQL_NTS),
                                  QStringLiteral("SQLTables"));
    std::vector<TableRef> out;
    for (const auto &row : rows)
        out.push_back({row.at(0).toString(), row.at(1).toString(), row.at(2).toString()});
    return out;
}

std::optional<std::vector<OdbcSession::TableRef>> OdbcSession::restrictedTables(const std::vector<QVariant> &r,
                                                                             size_t tableIndex)
{
    QVariant catalogArg;
    if (given(r, 0)) {
        if (supportsCatalogs())
            catalogArg = textAt(r, 0);
        else if (textAt(r, 0) != defaultDatabase())
            return std::nullopt;
    }
    // The per-table functions need one table: without a table restriction, every table.
    if (given(r, tableIndex))
        return std::vector<TableRef>{{catalogArg.toString(), textAt(r, 1), textAt(r, tableIndex)}};
    return tablesFor(catalogArg, given(r, 1) ? r[1] : QVariant(), QVariant());
}

// ---- TABLES -------------------------------------------------------------------------

namespace {

constexpr Pick kTablesColumns[] = {
    {"TABLE_CATALOG", 0, From::Catalog},
    {"TABLE_SCHEMA", 1, From::Value},
    {"TABLE_NAME", 2, From::Text},
    {"DESCRIPTION", 4, From::Value},
};

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaTables(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("TABLES"));
    Arg cat, sch, tab, type;
    if (given(r, 0)) {
        if (supportsCatalogs())
            cat.text = patternArgument(textAt(r, 0));
        else if (textAt(r, 0) != defaultDatabase())
            return builder.finish();
    }
    sch.text = patternAt(r, 1);
    tab.text = patternAt(r, 2);
    if (given(r, 3))
        type.text = textAt(r, 3);
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLTablesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len(),
                                             type.ptr(), type.len()),
                                  QStringLiteral("SQLTables"));
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r))
            continue;
        const QString tableType = row.at(3).toString().trimmed().toUpper();
        if (given(r, 3) && tableType.compare(textAt(r, 3).trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        NamedValues values = picked(row.values, kTablesColumns, catalogOrCurrent(row.at(0), current));
        values.emplace_back(QStringLiteral("TABLE_TYPE"), tableType);
        builder.addRow(values);
    }
    return builder.finish();
}

// ---- COLUMNS ------------------------------------------------------------------------

namespace {

constexpr Pick kColumnsColumns[] = {
    {"TABLE_CATALOG", 0, From::Catalog},
    {"TABLE_SCHEMA", 1, From::Value},
    {"TABLE_NAME", 2, From::Text},
    {"COLUMN_NAME", 3, From::Value},
    {"ORDINAL_POSITION", 16, From::Number},
    {"IS_NULLABLE", 10, From::Nullable},
    {"DESCRIPTION", 11, From::Value},
};

// The stored default text; SQL Server's comes wrapped in one pair of parentheses.
QVariant columnDefault(const QVariant &stored, bool sqlServer)
{
    QVariant def = orNull(stored);
    if (sqlServer && def.isValid()) {
        const QString t = def.toString();
        if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')')))
            def = t.mid(1, t.size() - 2);
    }
    return def;
}

qint64 columnFlags(int sqlType, int dbType, bool nullable, bool rowVersion)
{
    const bool isLong = sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR || sqlType == SQL_LONGVARBINARY;
    const bool fixedChar = sqlType == SQL_CHAR || sqlType == SQL_WCHAR || sqlType == SQL_BINARY;
    qint64 flags = 0;
    if (isLong)
        flags |= kFlagLong | kFlagMayDefer;
    if (fixedChar || (!isCharacter(dbType) && !isLong))
        flags |= kFlagFixed;
    if (nullable)
        flags |= kFlagNullable | kFlagMaybeNull;
    flags |= rowVersion ? kFlagRowVer : kFlagWrite;
    return flags;
}

// The length, precision and scale columns that apply to the column's type.
void addColumnSizes(NamedValues &values, int dbType, const std::vector<QVariant> &row)
{
    const auto at = [&](size_t i) { return i < row.size() ? row[i] : QVariant(); };
    const auto columnSize = number(at(6));
    const auto digits = number(at(8));
    QVariant maxLength, octetLength, precision, scale, datetimePrecision;
    if (isCharacter(dbType)) {
        maxLength = columnSize ? QVariant(*columnSize) : QVariant();
        octetLength = numberOrNull(at(15));
    }
    if (isNumeric(dbType) && columnSize)
        precision = *columnSize;
    if ((dbType == DBTYPE_NUMERIC || dbType == DBTYPE_DECIMAL) && digits)
        scale = *digits;
    if (isDateTime(dbType) && digits)
        datetimePrecision = *digits;
    values.insert(values.end(), {{QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), maxLength},
                                 {QStringLiteral("CHARACTER_OCTET_LENGTH"), octetLength},
                                 {QStringLiteral("NUMERIC_PRECISION"), precision},
                                 {QStringLiteral("NUMERIC_SCALE"), scale},
                                 {QStringLiteral("DATETIME_PRECISION"), datetimePrecision}});
}

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaColumns(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("COLUMNS"));
    Arg cat, sch, tab, col;
    if (given(r, 0)) {
        if (supportsCatalogs())
            cat.text = textAt(r, 0); // an ordinary argument: taken literally
        else if (textAt(r, 0) != defaultDatabase())
            return builder.finish();
    }
    sch.text = patternAt(r, 1);
    tab.text = patternAt(r, 2);
    // The column restriction is applied here: some drivers number the columns of the
    // restricted result instead of giving each its place in the table.
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLColumnsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len(),
                                              col.ptr(), col.len()),
                                  QStringLiteral("SQLColumns"));
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();
    for (const auto &row : rows) {
        if (catalogMatches(row.at(0), r) && sameName(row.at(3), r, 3, nameCase()))
            builder.addRow(columnsRow(row, current));
    }
    return builder.finish();
}

std::vector<std::pair<QString, QVariant>> OdbcSession::columnsRow(const CatalogRow &row, const QString &current) const
{
    const int sqlType = int(number(row.at(4)).value_or(0));
    const QString typeName = row.at(5).toString();
    const QString lowerName = typeName.toLower();
    const int dbType = dbTypeOfSql(sqlType, typeName);
    const bool sqlServer = dialect() == Dialect::SqlServer;
    const bool rowVersion = sqlServer && dbType == DBTYPE_BYTES &&
                            (lowerName == QLatin1String("timestamp") || lowerName == QLatin1String("rowversion"));
    const bool nullable = number(row.at(10)).value_or(1) != SQL_NO_NULLS;
    const QVariant def = columnDefault(row.at(12), sqlServer);
    NamedValues values = picked(row.values, kColumnsColumns, catalogOrCurrent(row.at(0), current));
    values.insert(values.end(), {{QStringLiteral("COLUMN_HASDEFAULT"), def.isValid()},
                                 {QStringLiteral("COLUMN_DEFAULT"), def},
                                 {QStringLiteral("COLUMN_FLAGS"), columnFlags(sqlType, dbType, nullable, rowVersion)},
                                 {QStringLiteral("DATA_TYPE"), qint64(dbType)}});
    addColumnSizes(values, dbType, row.values);
    return values;
}

// ---- INDEXES ------------------------------------------------------------------------

namespace {

constexpr Pick kIndexesColumns[] = {
    {"TABLE_CATALOG", 0, From::Catalog},
    {"TABLE_SCHEMA", 1, From::Value},
    {"TABLE_NAME", 2, From::Text},
    {"INDEX_CATALOG", 0, From::Catalog},
    {"INDEX_SCHEMA", 1, From::Value},
    {"INDEX_NAME", 5, From::Text},
    {"ORDINAL_POSITION", 7, From::Number},
    {"COLUMN_NAME", 8, From::Value},
    {"CARDINALITY", 10, From::Number},
    {"PAGES", 11, From::Number},
    {"FILTER_CONDITION", 12, From::Value},
};

QVariant indexCollation(const QVariant &ascDesc)
{
    const QString order = ascDesc.toString().trimmed().toUpper();
    return order == QLatin1String("D") ? QVariant(qint64(2))
           : order == QLatin1String("A") ? QVariant(qint64(1))
                                          : QVariant();
}

// One key column of one index, with what OLE DB sorts the rowset by.
IndexRow indexRow(const std::vector<QVariant> &row, const QVariant &catalog, int type, bool clustered,
                  bool primaryKey, qint64 nullCollation)
{
    const auto at = [&](size_t i) { return i < row.size() ? row[i] : QVariant(); };
    const bool unique = number(at(3)).value_or(1) == 0;
    IndexRow ir;
    ir.unique = unique;
    ir.type = type;
    ir.catalog = catalog.toString();
    ir.schema = at(1).toString();
    ir.name = at(5).toString();
    ir.ordinal = number(at(7)).value_or(0);
    ir.values = picked(row, kIndexesColumns, catalog);
    ir.values.insert(ir.values.end(), {{QStringLiteral("PRIMARY_KEY"), primaryKey},
                                       {QStringLiteral("UNIQUE"), unique},
                                       {QStringLiteral("CLUSTERED"), clustered},
                                       {QStringLiteral("TYPE"), qint64(type)},
                                       {QStringLiteral("SORT_BOOKMARKS"), false},
                                       {QStringLiteral("AUTO_UPDATE"), true},
                                       {QStringLiteral("NULL_COLLATION"), nullCollation},
                                       {QStringLiteral("COLLATION"), indexCollation(at(9))},
                                       {QStringLiteral("INTEGRATED"), clustered}});
    return ir;
}

} // namespace

// What listing the indexes of several tables carries from one table to the next.
struct OdbcSession::IndexListing {
    const std::vector<QVariant> &restrictions;
    qint64 nullCollation;
    QString current; // catalogOrCurrent
    std::vector<IndexRow> rows;
};

std::unique_ptr<ResultSet> OdbcSession::schemaIndexes(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("INDEXES"));
    const auto restricted = restrictedTables(r, 4);
    if (!restricted)
        return builder.finish();
    IndexListing listing{r, oleDbNullCollation(infoInt(SQL_NULL_COLLATION)),
                         supportsCatalogs() ? QString() : defaultDatabase(), {}};
    for (const TableRef &t : *restricted)
        listIndexes(t, listing);
    std::vector<IndexRow> &out = listing.rows;
    std::stable_sort(out.begin(), out.end(), indexOrder);
    for (const auto &ir : out)
        builder.addRow(ir.values);
    return builder.finish();
}

QStringList OdbcSession::primaryKeyNames(const TableRef &t)
{
    auto [cat, sch, tab] = tableArgs(supportsCatalogs() ? t.catalog : QString(), t.schema, t.name);
    Handle st = newStatement(0);
    const auto pk = catalogRows(st, SQLPrimaryKeysW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(),
                                                   tab.ptr(), tab.len()),
                                QStringLiteral("SQLPrimaryKeys"));
    QStringList names;
    for (const auto &row : pk)
        if (!row.at(5).toString().isEmpty() && !names.contains(row.at(5).toString()))
            names << row.at(5).toString();
    return names;
}

void OdbcSession::listIndexes(const TableRef &t, IndexListing &listing)
{
    const std::vector<QVariant> &r = listing.restrictions;
    const QStringList pkNames = primaryKeyNames(t);
    auto [cat, sch, tab] = tableArgs(supportsCatalogs() ? t.catalog : QString(), t.schema, t.name);
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLStatisticsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(),
                                                 tab.len(), SQL_INDEX_ALL, SQL_QUICK),
                                  QStringLiteral("SQLStatistics"));
    for (const auto &row : rows) {
        const int odbcType = int(number(row.at(6)).value_or(SQL_TABLE_STAT));
        const QString indexName = row.at(5).toString();
        if (odbcType == SQL_TABLE_STAT || indexName.isEmpty() || !catalogMatches(row.at(0), r))
            continue;
        if (given(r, 2) && indexName != textAt(r, 2))
            continue;
        const int type = odbcType == SQL_INDEX_HASHED ? 2 : 1;
        if (given(r, 3) && number(r[3]).value_or(-1) != type)
            continue;
        listing.rows.push_back(indexRow(row.values, catalogOrCurrent(row.at(0), listing.current), type,
                                        odbcType == SQL_INDEX_CLUSTERED, pkNames.contains(indexName),
                                        listing.nullCollation));
    }
}

// ---- PRIMARY_KEYS -------------------------------------------------------------------

namespace {

constexpr Pick kPrimaryKeysColumns[] = {
    {"TABLE_CATALOG", 0, From::Catalog},
    {"TABLE_SCHEMA", 1, From::Value},
    {"TABLE_NAME", 2, From::Text},
    {"COLUMN_NAME", 3, From::Value},
    {"ORDINAL", 4, From::Number},
    {"PK_NAME", 5, From::Value},
};

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaPrimaryKeys(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("PRIMARY_KEYS"));
    const auto restricted = restrictedTables(r, 2);
    if (!restricted)
        return builder.finish();
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();
    for (const TableRef &t : *restricted) {
        auto [cat, sch, tab] = tableArgs(supportsCatalogs() ? t.catalog : QString(), t.schema, t.name);
        Handle st = newStatement(0);
        const auto rows = catalogRows(st, SQLPrimaryKeysW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(),
                                                         tab.ptr(), tab.len()),
                                      QStringLiteral("SQLPrimaryKeys"));
        for (const auto &row : rows)
            if (catalogMatches(row.at(0), r))
                builder.addRow(picked(row.values, kPrimaryKeysColumns, catalogOrCurrent(row.at(0), current)));
    }
    return builder.finish();
}

// ---- primary key of one table -------------------------------------------------------

namespace {

// Splits "schema.table" where either part may be quoted with "", [] or ``.
QStringList splitQualifiedName(const QString &name)
{
    QStringList parts;
    QString current;
    QChar close;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar ch = name.at(i);
        if (!close.isNull()) {
            if (ch == close) {
                if (i + 1 < name.size() && name.at(i + 1) == close) {
                    current += ch;
                    ++i;
                } else {
                    close = QChar();
                }
            } else {
                current += ch;
            }
        } else if (ch == QLatin1Char('"') || ch == QLatin1Char('`')) {
            close = ch;
        } else if (ch == QLatin1Char('[')) {
            close = QLatin1Char(']');
        } else if (ch == QLatin1Char('.')) {
            parts << current;
            current.clear();
        } else {
            current += ch;
        }
    }
    parts << current;
    return parts;
}

} // namespace

QStringList OdbcSession::primaryKey(const QString &table)
{
    QStringList parts = splitQualifiedName(table.trimmed());
    Arg cat, sch, tab;
    tab.text = parts.takeLast();
    if (!parts.isEmpty() && !parts.last().isEmpty())
        sch.text = parts.takeLast();
    if (!parts.isEmpty() && !parts.last().isEmpty() && supportsCatalogs())
        cat.text = parts.takeLast();
    Handle st = newStatement(0);
    auto rows = catalogRows(st, SQLPrimaryKeysW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len()),
                            QStringLiteral("SQLPrimaryKeys"));
    std::stable_sort(rows.begin(), rows.end(), [](const CatalogRow &a, const CatalogRow &b) {
        return number(a.at(4)).value_or(0) < number(b.at(4)).value_or(0);
    });
    QStringList keys;
    QString firstTableSchema;
    for (const auto &row : rows) {
        // Without a schema the driver may report same-named tables of several schemas;
        // keep the first one's key.
        const QString owner = row.at(0).toString() + QLatin1Char('.') + row.at(1).toString();
        if (firstTableSchema.isNull())
            firstTableSchema = owner;
        if (owner == firstTableSchema)
            keys << row.at(3).toString();
    }
    return keys;
}

} // namespace data

// ---- rowsets beyond the four listings --------------------------------------------------

namespace data {

bool OdbcSession::catalogArgument(const std::vector<QVariant> &r, size_t index, std::optional<QString> &arg)
{
    if (!given(r, index))
        return true;
    if (supportsCatalogs()) {
        arg = textAt(r, index);
        return true;
    }
    return textAt(r, index) == defaultDatabase();
}


std::unique_ptr<ResultSet> OdbcSession::schemaCatalogs(const std::vector<QVariant> &r)
{
    static constexpr Pick kColumns[] = {{"CATALOG_NAME", 0, From::Text}, {"DESCRIPTION", 4, From::Value}};
    SchemaRowsetBuilder builder(QStringLiteral("CATALOGS"));
    if (!supportsCatalogs()) {
        // A source without catalogs has exactly one database: the current one.
        if (!given(r, 0) || textAt(r, 0) == defaultDatabase())
            builder.addRow(std::vector<QVariant>{defaultDatabase(), QVariant()});
        return builder.finish();
    }
    Handle st = newStatement(0);
    const QString all = QStringLiteral(SQL_ALL_CATALOGS), none;
    const auto rows = catalogRows(st,
                                  SQLTablesW(st, wide(all), SQL_NTS, wide(none), SQL_NTS, wide(none), SQL_NTS,
                                             nullptr, 0),
                                  QStringLiteral("SQLTables"));
    for (const auto &row : rows)
        if (sameName(row.at(0), r, 0, nameCase()))
            builder.addRow(picked(row.values, kColumns));
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaStatistics(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("STATISTICS"));
    for (const TableRef &t : tablesFor(given(r, 0) && supportsCatalogs() ? r[0] : QVariant(),
                                       given(r, 1) ? r[1] : QVariant(), given(r, 2) ? r[2] : QVariant())) {
        if (given(r, 0) && !supportsCatalogs() && textAt(r, 0) != defaultDatabase())
            break;
        const QVariant cardinality = tableCardinality(t);
        builder.addRow({{QStringLiteral("TABLE_CATALOG"), t.catalog.isEmpty() ? QVariant(defaultDatabase()) : QVariant(t.catalog)},
                        {QStringLiteral("TABLE_SCHEMA"), t.schema.isEmpty() ? QVariant() : QVariant(t.schema)},
                        {QStringLiteral("TABLE_NAME"), t.name},
                        {QStringLiteral("CARDINALITY"), cardinality}});
    }
    return builder.finish();
}

QVariant OdbcSession::tableCardinality(const TableRef &t)
{
    auto [cat, sch, tab] = tableArgs(t.catalog, t.schema, t.name);
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLStatisticsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(),
                                                 tab.len(), SQL_INDEX_ALL, SQL_ENSURE),
                                  QStringLiteral("SQLStatistics"));
    QVariant cardinality;
    for (const auto &row : rows)
        if (number(row.at(6)).value_or(-1) == SQL_TABLE_STAT)
            cardinality = numberOrNull(row.at(10));
    if (!cardinality.isValid()) {
        // Drivers without a table-statistics row: count the rows.
        auto count = query(QStringLiteral("SELECT COUNT(*) FROM ") + qualifiedTableName(*this, {t.schema, t.name}), {}, 0,
                           StatementScope::OneStatement);
        if (!count->columns.empty() && count->rows.rowCount() == 1)
            cardinality = count->rows.columns[0].value(0, ftLargeint);
    }
    return cardinality;
}

std::unique_ptr<ResultSet> OdbcSession::schemaProcedures(const std::vector<QVariant> &r)
{
    static constexpr Pick kColumns[] = {
        {"PROCEDURE_CATALOG", 0, From::Catalog},
        {"PROCEDURE_SCHEMA", 1, From::Value},
        {"PROCEDURE_NAME", 2, From::Text},
        {"DESCRIPTION", 6, From::Value},
    };
    SchemaRowsetBuilder builder(QStringLiteral("PROCEDURES"));
    Arg cat, sch, proc;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    sch.text = patternAt(r, 1);
    proc.text = patternAt(r, 2);
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLProceduresW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), proc.ptr(), proc.len()),
                                  QStringLiteral("SQLProcedures"));
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r))
            continue;
        const qint64 odbcType = number(row.at(7)).value_or(0);
        const qint64 type = odbcType == SQL_PT_PROCEDURE ? 2 : odbcType == SQL_PT_FUNCTION ? 3 : 1;
        if (given(r, 3) && number(r[3]).value_or(-1) != type)
            continue;
        NamedValues values = picked(row.values, kColumns, catalogOrDefault(row.at(0), *this));
        values.emplace_back(QStringLiteral("PROCEDURE_TYPE"), type);
        builder.addRow(values);
    }
    return builder.finish();
}

namespace {

constexpr Pick kProcedureParametersColumns[] = {
    {"PROCEDURE_CATALOG", 0, From::Catalog},
    {"PROCEDURE_SCHEMA", 1, From::Value},
    {"PROCEDURE_NAME", 2, From::Text},
    {"PARAMETER_NAME", 3, From::Value},
    {"ORDINAL_POSITION", 17, From::Number},
    {"PARAMETER_HASDEFAULT", 13, From::Given},
    {"PARAMETER_DEFAULT", 13, From::Value},
    {"IS_NULLABLE", 11, From::Nullable},
    {"DESCRIPTION", 12, From::Value},
    {"TYPE_NAME", 6, From::Value},
    {"LOCAL_TYPE_NAME", 6, From::Value},
};

// SQL_PARAM_* to OLE DB's DBPARAMTYPE.
QVariant parameterType(qint64 kind)
{
    return kind == SQL_PARAM_INPUT ? QVariant(1) : kind == SQL_PARAM_INPUT_OUTPUT ? QVariant(2)
           : kind == SQL_PARAM_OUTPUT ? QVariant(3) : kind == SQL_RETURN_VALUE ? QVariant(4)
                                                                               : QVariant();
}

// The type and size columns of a SQLProcedureColumns row.
void addParameterType(NamedValues &values, const std::vector<QVariant> &row)
{
    const auto at = [&](size_t i) { return i < row.size() ? row[i] : QVariant(); };
    const int dbType = dbTypeOfSql(int(number(at(5)).value_or(0)), at(6).toString());
    const QVariant size = numberOrNull(at(7));
    values.insert(values.end(), {
        {QStringLiteral("DATA_TYPE"), dbType},
        {QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), isCharacter(dbType) ? size : QVariant()},
        {QStringLiteral("CHARACTER_OCTET_LENGTH"), isCharacter(dbType) ? numberOrNull(at(16)) : QVariant()},
        {QStringLiteral("NUMERIC_PRECISION"), isNumeric(dbType) ? size : QVariant()},
        {QStringLiteral("NUMERIC_SCALE"), dbType == DBTYPE_NUMERIC ? numberOrNull(at(9)) : QVariant()}});
}

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaProcedureParameters(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("PROCEDURE_PARAMETERS"));
    Arg cat, sch, proc, col;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    sch.text = patternAt(r, 1);
    proc.text = patternAt(r, 2);
    col.text = patternAt(r, 3);
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLProcedureColumnsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), proc.ptr(),
                                                       proc.len(), col.ptr(), col.len()),
                                  QStringLiteral("SQLProcedureColumns"));
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r))
            continue;
        const qint64 kind = number(row.at(4)).value_or(0);
        if (kind == SQL_RESULT_COL)
            continue;
        NamedValues values = picked(row.values, kProcedureParametersColumns, catalogOrDefault(row.at(0), *this));
        values.emplace_back(QStringLiteral("PARAMETER_TYPE"), parameterType(kind));
        addParameterType(values, row.values);
        builder.addRow(values);
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaTablePrivileges(const std::vector<QVariant> &r)
{
    static constexpr Pick kColumns[] = {
        {"GRANTOR", 3, From::Value},
        {"GRANTEE", 4, From::Text},
        {"TABLE_CATALOG", 0, From::Catalog},
        {"TABLE_SCHEMA", 1, From::Value},
        {"TABLE_NAME", 2, From::Text},
        {"PRIVILEGE_TYPE", 5, From::Text},
        {"IS_GRANTABLE", 6, From::Yes},
    };
    // Restrictions: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, GRANTOR, GRANTEE.
    SchemaRowsetBuilder builder(QStringLiteral("TABLE_PRIVILEGES"));
    Arg cat, sch, tab;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    sch.text = patternAt(r, 1);
    tab.text = given(r, 2) ? patternArgument(textAt(r, 2)) : QStringLiteral("%");
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLTablePrivilegesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len()),
                                  QStringLiteral("SQLTablePrivileges"));
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r) || !sameName(row.at(3), r, 3, nameCase()) ||
            !sameName(row.at(4), r, 4, nameCase()) ||
            row.at(5).toString().isEmpty()) // a privilege the driver could not name
            continue;
        builder.addRow(picked(row.values, kColumns, catalogOrDefault(row.at(0), *this)));
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaColumnPrivileges(const std::vector<QVariant> &r)
{
    static constexpr Pick kColumns[] = {
        {"GRANTOR", 4, From::Value},
        {"GRANTEE", 5, From::Text},
        {"TABLE_CATALOG", 0, From::Catalog},
        {"TABLE_SCHEMA", 1, From::Value},
        {"TABLE_NAME", 2, From::Text},
        {"COLUMN_NAME", 3, From::Text},
        {"PRIVILEGE_TYPE", 6, From::Text},
        {"IS_GRANTABLE", 7, From::Yes},
    };
    // Restrictions: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, GRANTOR, GRANTEE.
    // SQLColumnPrivileges needs a table: without one, every table is asked in turn.
    SchemaRowsetBuilder builder(QStringLiteral("COLUMN_PRIVILEGES"));
    if (given(r, 0) && !supportsCatalogs() && textAt(r, 0) != defaultDatabase())
        return builder.finish();
    for (const TableRef &t : tablesFor(given(r, 0) && supportsCatalogs() ? r[0] : QVariant(),
                                       given(r, 1) ? r[1] : QVariant(), given(r, 2) ? r[2] : QVariant())) {
        Handle st = newStatement(0);
        auto [cat, sch, tab] = tableArgs(t.catalog, t.schema, t.name);
        Arg col;
        col.text = patternAt(r, 3);
        std::vector<CatalogRow> rows;
        try {
            rows = catalogRows(st,
                               SQLColumnPrivilegesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(),
                                                    tab.len(), col.ptr(), col.len()),
                               QStringLiteral("SQLColumnPrivileges"));
        } catch (const DatabaseError &) {
            // Some drivers fail here (the PostgreSQL one on current servers): the
            // source's INFORMATION_SCHEMA answers instead.
            return schemaFromInformationSchema(QStringLiteral("COLUMN_PRIVILEGES"), r);
        }
        for (const auto &row : rows)
            if (sameName(row.at(4), r, 4, nameCase()) && sameName(row.at(5), r, 5, nameCase()))
                builder.addRow(picked(row.values, kColumns, catalogOrDefault(row.at(0), *this)));
    }
    return builder.finish();
}

// ---- PROVIDER_TYPES -----------------------------------------------------------------

namespace {

constexpr Pick kProviderTypesColumns[] = {
    {"TYPE_NAME", 0, From::Text},
    {"COLUMN_SIZE", 2, From::Number},
    {"LITERAL_PREFIX", 3, From::Value},
    {"LITERAL_SUFFIX", 4, From::Value},
    {"CREATE_PARAMS", 5, From::Value},
    {"IS_NULLABLE", 6, From::Nullable},
    {"CASE_SENSITIVE", 7, From::Flag},
    {"UNSIGNED_ATTRIBUTE", 9, From::Flag},
    {"FIXED_PREC_SCALE", 10, From::Flag},
    {"AUTO_UNIQUE_VALUE", 11, From::Flag},
    {"LOCAL_TYPE_NAME", 12, From::Value},
    {"MINIMUM_SCALE", 13, From::Number},
    {"MAXIMUM_SCALE", 14, From::Number},
};

// The columns of a type-information row that say more than its values.
NamedValues providerTypeRow(const std::vector<QVariant> &row, int sqlType, int dbType, bool best)
{
    const auto at = [&](size_t i) { return i < row.size() ? row[i] : QVariant(); };
    const bool isLong = sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR || sqlType == SQL_LONGVARBINARY;
    const bool fixedWidth = !isCharacter(dbType) ||
                            sqlType == SQL_CHAR || sqlType == SQL_WCHAR || sqlType == SQL_BINARY;
    const auto searchable = number(at(8));
    NamedValues values = picked(row, kProviderTypesColumns);
    values.insert(values.end(), {{QStringLiteral("DATA_TYPE"), dbType},
                                 {QStringLiteral("SEARCHABLE"), searchable ? QVariant(*searchable + 1) : QVariant()},
                                 {QStringLiteral("IS_LONG"), isLong},
                                 {QStringLiteral("BEST_MATCH"), best},
                                 {QStringLiteral("IS_FIXEDLENGTH"), fixedWidth && !isLong}});
    return values;
}

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaProviderTypes(const std::vector<QVariant> &r)
{
    // Restrictions: DATA_TYPE, BEST_MATCH.
    SchemaRowsetBuilder builder(QStringLiteral("PROVIDER_TYPES"));
    std::vector<int> seen;
    for (const auto &row : typeInfoRows()) {
        const int sqlType = int(number(row.at(1)).value_or(0));
        const int dbType = dbTypeOfSql(sqlType, row.at(0).toString());
        const bool best = std::find(seen.begin(), seen.end(), dbType) == seen.end();
        if (best)
            seen.push_back(dbType);
        if (given(r, 0) && number(r[0]).value_or(-1) != dbType)
            continue;
        if (given(r, 1) && r[1].toBool() != best)
            continue;
        builder.addRow(providerTypeRow(row.values, sqlType, dbType, best));
    }
    return builder.finish();
}

std::vector<OdbcSession::CatalogRow> OdbcSession::typeInfoRows()
{
    std::vector<CatalogRow> rows;
    if (dialect() == Dialect::SqlServer) {
        // FreeTDS's SQLGetTypeInfoW jumps to the driver manager's own entry and fails
        // with an invalid handle; the server's catalog procedure gives the same columns.
        const auto types = query(QStringLiteral("{call sp_datatype_info(0, 3)}"));
        for (size_t row = 0; row < types->rows.rowCount(); ++row) {
            CatalogRow r;
            for (size_t c = 0; c < types->columns.size(); ++c)
                r.values.push_back(types->rows.columns[c].value(row, types->columns[c].type));
            rows.push_back(std::move(r));
        }
    } else {
        Handle st = newStatement(0);
        rows = catalogRows(st, SQLGetTypeInfoW(st, SQL_ALL_TYPES), QStringLiteral("SQLGetTypeInfo"));
    }
    return rows;
}

// ---- from INFORMATION_SCHEMA --------------------------------------------------------

namespace {

// Each rowset's columns come from the INFORMATION_SCHEMA view of the same name, and its
// restriction columns carry the same names there.
struct InformationSchemaSource {
    const char *rowset;
    const char *view;
    const char *columns;
};

constexpr InformationSchemaSource kInformationSchemaSources[] = {
    {"SCHEMATA", "SCHEMATA",
     "CATALOG_NAME, SCHEMA_NAME, SCHEMA_OWNER, DEFAULT_CHARACTER_SET_CATALOG, "
     "DEFAULT_CHARACTER_SET_SCHEMA, DEFAULT_CHARACTER_SET_NAME"},
    {"TABLE_CONSTRAINTS", "TABLE_CONSTRAINTS",
     "CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_CATALOG, TABLE_SCHEMA, "
     "TABLE_NAME, CONSTRAINT_TYPE, IS_DEFERRABLE, INITIALLY_DEFERRED"},
    {"KEY_COLUMN_USAGE", "KEY_COLUMN_USAGE",
     "CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_CATALOG, TABLE_SCHEMA, "
     "TABLE_NAME, COLUMN_NAME, ORDINAL_POSITION"},
    {"CHECK_CONSTRAINTS", "CHECK_CONSTRAINTS",
     "CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME, CHECK_CLAUSE"},
    {"VIEWS", "VIEWS", "TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION, IS_UPDATABLE"},
    {"COLUMN_PRIVILEGES", "COLUMN_PRIVILEGES",
     "GRANTOR, GRANTEE, TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, PRIVILEGE_TYPE, IS_GRANTABLE"},
};

const InformationSchemaSource *informationSchemaSource(const QString &rowset)
{
    const InformationSchemaSource *source = nullptr;
    for (const InformationSchemaSource &s : kInformationSchemaSources)
        if (rowset.compare(QLatin1String(s.rowset), Qt::CaseInsensitive) == 0)
            source = &s;
    return source;
}

// The view's YES/NO columns as Booleans, CHECK_OPTION as whether there is one.
QVariant informationSchemaValue(const QString &column, const QVariant &v)
{
    if (column == QLatin1String("IS_DEFERRABLE") || column == QLatin1String("INITIALLY_DEFERRED") ||
        column == QLatin1String("IS_UPDATABLE") || column == QLatin1String("IS_GRANTABLE"))
        return v.isValid() ? QVariant(yes(v)) : QVariant();
    if (column == QLatin1String("CHECK_OPTION"))
        return v.isValid() ? QVariant(v.toString().trimmed().toUpper() != QLatin1String("NONE")) : QVariant();
    return v;
}

} // namespace

std::unique_ptr<ResultSet> OdbcSession::schemaFromInformationSchema(const QString &rowset,
                                                                    const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(rowset);
    const std::unique_ptr<ResultSet> result = queryInformationSchema(rowset, r);
    for (size_t row = 0; row < result->rows.rowCount(); ++row) {
        NamedValues values;
        for (size_t c = 0; c < result->columns.size(); ++c) {
            const QString name = result->columns[c].name.toUpper();
            values.emplace_back(name, informationSchemaValue(
                                          name, result->rows.columns[c].value(row, result->columns[c].type)));
        }
        builder.addRow(values);
    }
    return builder.finish();
}

// Restriction values are bound as parameters.
std::unique_ptr<ResultSet> OdbcSession::queryInformationSchema(const QString &rowset, const std::vector<QVariant> &r)
{
    const InformationSchemaSource *source = informationSchemaSource(rowset);
    const SchemaLayout *layout = findSchemaLayout(rowset);
    QString sql = QStringLiteral("SELECT %1 FROM INFORMATION_SCHEMA.%2")
                      .arg(QLatin1String(source->columns), QLatin1String(source->view));
    Params params;
    QStringList conditions;
    for (size_t i = 0; i < size_t(layout->restrictionColumns.size()); ++i) {
        if (!given(r, i))
            continue;
        conditions << layout->restrictionColumns[qsizetype(i)] + QStringLiteral(" = ?");
        params.push_back(textAt(r, i));
    }
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + layout->restrictionColumns.join(QStringLiteral(", "));
    try {
        return query(sql, params);
    } catch (const CommandStopped &) {
        throw;
    } catch (const DatabaseError &e) {
        throw DatabaseError(QStringLiteral("資料來源無法提供結構描述資料列集 %1：%2")
                                .arg(rowset.toUpper(), e.message()),
                            e.sqlState(), e.nativeCode());
    }
}

} // namespace data
