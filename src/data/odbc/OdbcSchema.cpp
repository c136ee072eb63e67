// OLE DB schema rowsets from the ODBC catalog functions. Restrictions go to the driver as
// the functions' arguments (escaped where the argument is a search pattern), never as SQL
// text; the rows come back in the OLE DB layout.
#include "data/core/DatabaseError.h"
#include "data/odbc/OdbcSession.h"
#include "data/core/SchemaLayouts.h"
#include <algorithm>
#include <optional>

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

struct IndexRow {
    std::vector<std::pair<QString, QVariant>> values;
    bool unique = false;
    int type = 1;
    QString catalog, schema, name;
    qint64 ordinal = 0;
};

} // namespace

std::unique_ptr<ResultSet> OdbcSession::openSchema(const QString &rowset, const std::vector<QVariant> &restrictions)
{
    const QString name = rowset.trimmed().toUpper();
    if (name == QLatin1String("TABLES"))
        return schemaTables(restrictions);
    if (name == QLatin1String("COLUMNS"))
        return schemaColumns(restrictions);
    if (name == QLatin1String("INDEXES"))
        return schemaIndexes(restrictions);
    if (name == QLatin1String("PRIMARY_KEYS"))
        return schemaPrimaryKeys(restrictions);
    if (name == QLatin1String("CATALOGS"))
        return schemaCatalogs(restrictions);
    if (name == QLatin1String("STATISTICS"))
        return schemaStatistics(restrictions);
    if (name == QLatin1String("PROCEDURES"))
        return schemaProcedures(restrictions);
    if (name == QLatin1String("PROCEDURE_PARAMETERS"))
        return schemaProcedureParameters(restrictions);
    if (name == QLatin1String("TABLE_PRIVILEGES"))
        return schemaTablePrivileges(restrictions);
    if (name == QLatin1String("COLUMN_PRIVILEGES"))
        return schemaColumnPrivileges(restrictions);
    if (name == QLatin1String("PROVIDER_TYPES"))
        return schemaProviderTypes(restrictions);
    if (name == QLatin1String("SCHEMATA") || name == QLatin1String("TABLE_CONSTRAINTS") ||
        name == QLatin1String("KEY_COLUMN_USAGE") || name == QLatin1String("CHECK_CONSTRAINTS") ||
        name == QLatin1String("VIEWS"))
        return schemaFromInformationSchema(name, restrictions);
    throw DatabaseError(QStringLiteral("ODBC 資料來源不提供結構描述資料列集 %1。")
                            .arg(rowset));
}

QString OdbcSession::patternArgument(const QString &value) const
{
    if (escapeChar_.isEmpty())
        return value;
    QString out;
    out.reserve(value.size() + 4);
    for (const QChar ch : value) {
        if (ch == QLatin1Char('%') || ch == QLatin1Char('_') || QString(ch) == escapeChar_)
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
    if (given(r, 1))
        sch.text = patternArgument(textAt(r, 1));
    if (given(r, 2))
        tab.text = patternArgument(textAt(r, 2));
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
        QVariant catalog = orNull(row.at(0));
        if ((catalog.isNull() || catalog.toString().isEmpty()) && !current.isEmpty())
            catalog = current;
        builder.addRow({{QStringLiteral("TABLE_CATALOG"), catalog},
                        {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                        {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                        {QStringLiteral("TABLE_TYPE"), tableType},
                        {QStringLiteral("DESCRIPTION"), orNull(row.at(4))}});
    }
    return builder.finish();
}

// ---- COLUMNS ------------------------------------------------------------------------

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
    if (given(r, 1))
        sch.text = patternArgument(textAt(r, 1));
    if (given(r, 2))
        tab.text = patternArgument(textAt(r, 2));
    // The column restriction is applied here: some drivers number the columns of the
    // restricted result instead of giving each its place in the table.
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLColumnsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len(),
                                              col.ptr(), col.len()),
                                  QStringLiteral("SQLColumns"));
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r))
            continue;
        if (given(r, 3) && row.at(3).toString().compare(textAt(r, 3), nameCase()) != 0)
            continue;
        const int sqlType = int(number(row.at(4)).value_or(0));
        const QString typeName = row.at(5).toString();
        const QString lowerName = typeName.toLower();
        int dbType = dbTypeOfSql(sqlType, typeName);
        const bool rowVersion = dialect() == Dialect::SqlServer && dbType == DBTYPE_BYTES &&
                                (lowerName == QLatin1String("timestamp") || lowerName == QLatin1String("rowversion"));
        const auto columnSize = number(row.at(6));
        const auto digits = number(row.at(8));
        const auto nullableCode = number(row.at(10));
        const bool nullable = nullableCode.value_or(1) != SQL_NO_NULLS;
        QVariant def = orNull(row.at(12));
        if (dialect() == Dialect::SqlServer && def.isValid()) {
            // The stored default text comes wrapped in one pair of parentheses.
            const QString t = def.toString();
            if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')')))
                def = t.mid(1, t.size() - 2);
        }
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

        QVariant catalog = orNull(row.at(0));
        if ((catalog.isNull() || catalog.toString().isEmpty()) && !current.isEmpty())
            catalog = current;
        QVariant maxLength, octetLength, precision, scale, datetimePrecision;
        if (isCharacter(dbType)) {
            maxLength = columnSize ? QVariant(*columnSize) : QVariant();
            octetLength = numberOrNull(row.at(15));
        }
        if (isNumeric(dbType) && columnSize)
            precision = *columnSize;
        if ((dbType == DBTYPE_NUMERIC || dbType == DBTYPE_DECIMAL) && digits)
            scale = *digits;
        if (isDateTime(dbType) && digits)
            datetimePrecision = *digits;
        builder.addRow({{QStringLiteral("TABLE_CATALOG"), catalog},
                        {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                        {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                        {QStringLiteral("COLUMN_NAME"), orNull(row.at(3))},
                        {QStringLiteral("ORDINAL_POSITION"), numberOrNull(row.at(16))},
                        {QStringLiteral("COLUMN_HASDEFAULT"), def.isValid()},
                        {QStringLiteral("COLUMN_DEFAULT"), def},
                        {QStringLiteral("COLUMN_FLAGS"), flags},
                        {QStringLiteral("IS_NULLABLE"), nullable},
                        {QStringLiteral("DATA_TYPE"), qint64(dbType)},
                        {QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), maxLength},
                        {QStringLiteral("CHARACTER_OCTET_LENGTH"), octetLength},
                        {QStringLiteral("NUMERIC_PRECISION"), precision},
                        {QStringLiteral("NUMERIC_SCALE"), scale},
                        {QStringLiteral("DATETIME_PRECISION"), datetimePrecision},
                        {QStringLiteral("DESCRIPTION"), orNull(row.at(11))}});
    }
    return builder.finish();
}

// ---- INDEXES ------------------------------------------------------------------------

std::unique_ptr<ResultSet> OdbcSession::schemaIndexes(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("INDEXES"));
    const auto restricted = restrictedTables(r, 4);
    if (!restricted)
        return builder.finish();
    const std::vector<TableRef> &tables = *restricted;

    // How the source orders NULLs, in OLE DB terms.
    int nullCollation = 4; // NC_LOW
    switch (infoInt(SQL_NULL_COLLATION) & 0xFFFF) {
    case SQL_NC_END: nullCollation = 1; break;
    case SQL_NC_HIGH: nullCollation = 2; break;
    case SQL_NC_LOW: nullCollation = 4; break;
    case SQL_NC_START: nullCollation = 8; break;
    }
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();

    std::vector<IndexRow> out;
    for (const TableRef &t : tables) {
        Arg cat, sch, tab;
        if (!t.catalog.isEmpty() && supportsCatalogs())
            cat.text = t.catalog;
        if (!t.schema.isEmpty())
            sch.text = t.schema;
        tab.text = t.name;

        QStringList pkNames;
        {
            Handle st = newStatement(0);
            const auto pk = catalogRows(st, SQLPrimaryKeysW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(),
                                                           tab.ptr(), tab.len()),
                                        QStringLiteral("SQLPrimaryKeys"));
            for (const auto &row : pk)
                if (!row.at(5).toString().isEmpty() && !pkNames.contains(row.at(5).toString()))
                    pkNames << row.at(5).toString();
        }
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
            const bool unique = number(row.at(3)).value_or(1) == 0;
            const bool clustered = odbcType == SQL_INDEX_CLUSTERED;
            const QString ascDesc = row.at(9).toString().trimmed().toUpper();
            QVariant catalog = orNull(row.at(0));
            if ((catalog.isNull() || catalog.toString().isEmpty()) && !current.isEmpty())
                catalog = current;
            IndexRow ir;
            ir.unique = unique;
            ir.type = type;
            ir.catalog = catalog.toString();
            ir.schema = row.at(1).toString();
            ir.name = indexName;
            ir.ordinal = number(row.at(7)).value_or(0);
            ir.values = {{QStringLiteral("TABLE_CATALOG"), catalog},
                         {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                         {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                         {QStringLiteral("INDEX_CATALOG"), catalog},
                         {QStringLiteral("INDEX_SCHEMA"), orNull(row.at(1))},
                         {QStringLiteral("INDEX_NAME"), indexName},
                         {QStringLiteral("PRIMARY_KEY"), pkNames.contains(indexName)},
                         {QStringLiteral("UNIQUE"), unique},
                         {QStringLiteral("CLUSTERED"), clustered},
                         {QStringLiteral("TYPE"), qint64(type)},
                         {QStringLiteral("SORT_BOOKMARKS"), false},
                         {QStringLiteral("AUTO_UPDATE"), true},
                         {QStringLiteral("NULL_COLLATION"), qint64(nullCollation)},
                         {QStringLiteral("ORDINAL_POSITION"), numberOrNull(row.at(7))},
                         {QStringLiteral("COLUMN_NAME"), orNull(row.at(8))},
                         {QStringLiteral("COLLATION"), ascDesc == QLatin1String("D") ? QVariant(qint64(2))
                                                       : ascDesc == QLatin1String("A") ? QVariant(qint64(1))
                                                                                        : QVariant()},
                         {QStringLiteral("CARDINALITY"), numberOrNull(row.at(10))},
                         {QStringLiteral("PAGES"), numberOrNull(row.at(11))},
                         {QStringLiteral("FILTER_CONDITION"), orNull(row.at(12))},
                         {QStringLiteral("INTEGRATED"), clustered}};
            out.push_back(std::move(ir));
        }
    }
    // OLE DB order: unique indexes first, then type, catalog, schema, name, key position.
    std::stable_sort(out.begin(), out.end(), [](const IndexRow &a, const IndexRow &b) {
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
    });
    for (const auto &ir : out)
        builder.addRow(ir.values);
    return builder.finish();
}

// ---- PRIMARY_KEYS -------------------------------------------------------------------

std::unique_ptr<ResultSet> OdbcSession::schemaPrimaryKeys(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("PRIMARY_KEYS"));
    const auto restricted = restrictedTables(r, 2);
    if (!restricted)
        return builder.finish();
    const std::vector<TableRef> &tables = *restricted;
    const QString current = supportsCatalogs() ? QString() : defaultDatabase();
    for (const TableRef &t : tables) {
        Arg cat, sch, tab;
        if (!t.catalog.isEmpty() && supportsCatalogs())
            cat.text = t.catalog;
        if (!t.schema.isEmpty())
            sch.text = t.schema;
        tab.text = t.name;
        Handle st = newStatement(0);
        const auto rows = catalogRows(st, SQLPrimaryKeysW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(),
                                                         tab.ptr(), tab.len()),
                                      QStringLiteral("SQLPrimaryKeys"));
        for (const auto &row : rows) {
            if (!catalogMatches(row.at(0), r))
                continue;
            QVariant catalog = orNull(row.at(0));
            if ((catalog.isNull() || catalog.toString().isEmpty()) && !current.isEmpty())
                catalog = current;
            builder.addRow({{QStringLiteral("TABLE_CATALOG"), catalog},
                            {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                            {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                            {QStringLiteral("COLUMN_NAME"), orNull(row.at(3))},
                            {QStringLiteral("ORDINAL"), numberOrNull(row.at(4))},
                            {QStringLiteral("PK_NAME"), orNull(row.at(5))}});
        }
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

namespace {

bool yes(const QVariant &v)
{
    return v.toString().trimmed().compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
}

QVariant flag(const QVariant &v) // ODBC smallint flag to a Boolean, NULL staying NULL
{
    const auto n = number(v);
    return n ? QVariant(*n != 0) : QVariant();
}

} // namespace

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
    for (const auto &row : rows) {
        if (given(r, 0) && row.at(0).toString().compare(textAt(r, 0), nameCase()) != 0)
            continue;
        builder.addRow({{QStringLiteral("CATALOG_NAME"), row.at(0).toString()},
                        {QStringLiteral("DESCRIPTION"), orNull(row.at(4))}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaStatistics(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("STATISTICS"));
    for (const TableRef &t : tablesFor(given(r, 0) && supportsCatalogs() ? r[0] : QVariant(),
                                       given(r, 1) ? r[1] : QVariant(), given(r, 2) ? r[2] : QVariant())) {
        if (given(r, 0) && !supportsCatalogs() && textAt(r, 0) != defaultDatabase())
            break;
        Handle st = newStatement(0);
        Arg cat, sch;
        if (!t.catalog.isEmpty())
            cat.text = t.catalog;
        if (!t.schema.isEmpty())
            sch.text = t.schema;
        const auto rows = catalogRows(st,
                                      SQLStatisticsW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), wide(t.name),
                                                     SQL_NTS, SQL_INDEX_ALL, SQL_ENSURE),
                                      QStringLiteral("SQLStatistics"));
        QVariant cardinality;
        for (const auto &row : rows)
            if (number(row.at(6)).value_or(-1) == SQL_TABLE_STAT)
                cardinality = numberOrNull(row.at(10));
        if (!cardinality.isValid()) {
            // Drivers without a table-statistics row: count the rows.
            const QString name = (t.schema.isEmpty() ? QString() : quoteIdentifier(t.schema) + QLatin1Char('.')) +
                                 quoteIdentifier(t.name);
            auto count = query(QStringLiteral("SELECT COUNT(*) FROM ") + name, {}, 0, StatementScope::OneStatement);
            if (!count->columns.empty() && count->rows.rowCount() == 1)
                cardinality = count->rows.columns[0].value(0, ftLargeint);
        }
        builder.addRow({{QStringLiteral("TABLE_CATALOG"), t.catalog.isEmpty() ? QVariant(defaultDatabase()) : QVariant(t.catalog)},
                        {QStringLiteral("TABLE_SCHEMA"), t.schema.isEmpty() ? QVariant() : QVariant(t.schema)},
                        {QStringLiteral("TABLE_NAME"), t.name},
                        {QStringLiteral("CARDINALITY"), cardinality}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaProcedures(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("PROCEDURES"));
    Arg cat, sch, proc;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    if (given(r, 1))
        sch.text = patternArgument(textAt(r, 1));
    if (given(r, 2))
        proc.text = patternArgument(textAt(r, 2));
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
        builder.addRow({{QStringLiteral("PROCEDURE_CATALOG"), row.at(0).toString().isEmpty() ? QVariant(defaultDatabase()) : row.at(0)},
                        {QStringLiteral("PROCEDURE_SCHEMA"), orNull(row.at(1))},
                        {QStringLiteral("PROCEDURE_NAME"), row.at(2).toString()},
                        {QStringLiteral("PROCEDURE_TYPE"), type},
                        {QStringLiteral("DESCRIPTION"), orNull(row.at(6))}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaProcedureParameters(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder builder(QStringLiteral("PROCEDURE_PARAMETERS"));
    Arg cat, sch, proc, col;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    if (given(r, 1))
        sch.text = patternArgument(textAt(r, 1));
    if (given(r, 2))
        proc.text = patternArgument(textAt(r, 2));
    if (given(r, 3))
        col.text = patternArgument(textAt(r, 3));
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
        const QVariant paramType = kind == SQL_PARAM_INPUT ? QVariant(1) : kind == SQL_PARAM_INPUT_OUTPUT ? QVariant(2)
                                   : kind == SQL_PARAM_OUTPUT ? QVariant(3) : kind == SQL_RETURN_VALUE ? QVariant(4)
                                                                                                       : QVariant();
        const int dbType = dbTypeOfSql(int(number(row.at(5)).value_or(0)), row.at(6).toString());
        const QVariant size = numberOrNull(row.at(7));
        builder.addRow({{QStringLiteral("PROCEDURE_CATALOG"), row.at(0).toString().isEmpty() ? QVariant(defaultDatabase()) : row.at(0)},
                        {QStringLiteral("PROCEDURE_SCHEMA"), orNull(row.at(1))},
                        {QStringLiteral("PROCEDURE_NAME"), row.at(2).toString()},
                        {QStringLiteral("PARAMETER_NAME"), orNull(row.at(3))},
                        {QStringLiteral("ORDINAL_POSITION"), numberOrNull(row.at(17))},
                        {QStringLiteral("PARAMETER_TYPE"), paramType},
                        {QStringLiteral("PARAMETER_HASDEFAULT"), row.at(13).isValid()},
                        {QStringLiteral("PARAMETER_DEFAULT"), orNull(row.at(13))},
                        {QStringLiteral("IS_NULLABLE"), number(row.at(11)).value_or(1) != SQL_NO_NULLS},
                        {QStringLiteral("DATA_TYPE"), dbType},
                        {QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), isCharacter(dbType) ? size : QVariant()},
                        {QStringLiteral("CHARACTER_OCTET_LENGTH"), isCharacter(dbType) ? numberOrNull(row.at(16)) : QVariant()},
                        {QStringLiteral("NUMERIC_PRECISION"), isNumeric(dbType) ? size : QVariant()},
                        {QStringLiteral("NUMERIC_SCALE"), dbType == DBTYPE_NUMERIC ? numberOrNull(row.at(9)) : QVariant()},
                        {QStringLiteral("DESCRIPTION"), orNull(row.at(12))},
                        {QStringLiteral("TYPE_NAME"), orNull(row.at(6))},
                        {QStringLiteral("LOCAL_TYPE_NAME"), orNull(row.at(6))}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaTablePrivileges(const std::vector<QVariant> &r)
{
    // Restrictions: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, GRANTOR, GRANTEE.
    SchemaRowsetBuilder builder(QStringLiteral("TABLE_PRIVILEGES"));
    Arg cat, sch, tab;
    if (!catalogArgument(r, 0, cat.text))
        return builder.finish();
    if (given(r, 1))
        sch.text = patternArgument(textAt(r, 1));
    tab.text = given(r, 2) ? patternArgument(textAt(r, 2)) : QStringLiteral("%");
    Handle st = newStatement(0);
    const auto rows = catalogRows(st,
                                  SQLTablePrivilegesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), tab.ptr(), tab.len()),
                                  QStringLiteral("SQLTablePrivileges"));
    for (const auto &row : rows) {
        if (!catalogMatches(row.at(0), r) ||
            (given(r, 3) && row.at(3).toString().compare(textAt(r, 3), nameCase()) != 0) ||
            (given(r, 4) && row.at(4).toString().compare(textAt(r, 4), nameCase()) != 0) ||
            row.at(5).toString().isEmpty()) // a privilege the driver could not name
            continue;
        builder.addRow({{QStringLiteral("GRANTOR"), orNull(row.at(3))},
                        {QStringLiteral("GRANTEE"), row.at(4).toString()},
                        {QStringLiteral("TABLE_CATALOG"), row.at(0).toString().isEmpty() ? QVariant(defaultDatabase()) : row.at(0)},
                        {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                        {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                        {QStringLiteral("PRIVILEGE_TYPE"), row.at(5).toString()},
                        {QStringLiteral("IS_GRANTABLE"), yes(row.at(6))}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaColumnPrivileges(const std::vector<QVariant> &r)
{
    // Restrictions: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, GRANTOR, GRANTEE.
    // SQLColumnPrivileges needs a table: without one, every table is asked in turn.
    SchemaRowsetBuilder builder(QStringLiteral("COLUMN_PRIVILEGES"));
    if (given(r, 0) && !supportsCatalogs() && textAt(r, 0) != defaultDatabase())
        return builder.finish();
    for (const TableRef &t : tablesFor(given(r, 0) && supportsCatalogs() ? r[0] : QVariant(),
                                       given(r, 1) ? r[1] : QVariant(), given(r, 2) ? r[2] : QVariant())) {
        Handle st = newStatement(0);
        Arg cat, sch, col;
        if (!t.catalog.isEmpty())
            cat.text = t.catalog;
        if (!t.schema.isEmpty())
            sch.text = t.schema;
        if (given(r, 3))
            col.text = patternArgument(textAt(r, 3));
        std::vector<CatalogRow> rows;
        try {
            rows = catalogRows(st,
                               SQLColumnPrivilegesW(st, cat.ptr(), cat.len(), sch.ptr(), sch.len(), wide(t.name),
                                                    SQL_NTS, col.ptr(), col.len()),
                               QStringLiteral("SQLColumnPrivileges"));
        } catch (const DatabaseError &) {
            // Some drivers fail here (the PostgreSQL one on current servers): the
            // source's INFORMATION_SCHEMA answers instead.
            return schemaFromInformationSchema(QStringLiteral("COLUMN_PRIVILEGES"), r);
        }
        for (const auto &row : rows) {
            if ((given(r, 4) && row.at(4).toString().compare(textAt(r, 4), nameCase()) != 0) ||
                (given(r, 5) && row.at(5).toString().compare(textAt(r, 5), nameCase()) != 0))
                continue;
            builder.addRow({{QStringLiteral("GRANTOR"), orNull(row.at(4))},
                            {QStringLiteral("GRANTEE"), row.at(5).toString()},
                            {QStringLiteral("TABLE_CATALOG"), row.at(0).toString().isEmpty() ? QVariant(defaultDatabase()) : row.at(0)},
                            {QStringLiteral("TABLE_SCHEMA"), orNull(row.at(1))},
                            {QStringLiteral("TABLE_NAME"), row.at(2).toString()},
                            {QStringLiteral("COLUMN_NAME"), row.at(3).toString()},
                            {QStringLiteral("PRIVILEGE_TYPE"), row.at(6).toString()},
                            {QStringLiteral("IS_GRANTABLE"), yes(row.at(7))}});
        }
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaProviderTypes(const std::vector<QVariant> &r)
{
    // Restrictions: DATA_TYPE, BEST_MATCH.
    SchemaRowsetBuilder builder(QStringLiteral("PROVIDER_TYPES"));
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
    std::vector<int> seen;
    for (const auto &row : rows) {
        const int sqlType = int(number(row.at(1)).value_or(0));
        const int dbType = dbTypeOfSql(sqlType, row.at(0).toString());
        const bool best = std::find(seen.begin(), seen.end(), dbType) == seen.end();
        if (best)
            seen.push_back(dbType);
        if (given(r, 0) && number(r[0]).value_or(-1) != dbType)
            continue;
        if (given(r, 1) && r[1].toBool() != best)
            continue;
        const bool isLong = sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR || sqlType == SQL_LONGVARBINARY;
        const bool fixedWidth = !isCharacter(dbType) ||
                                sqlType == SQL_CHAR || sqlType == SQL_WCHAR || sqlType == SQL_BINARY;
        const auto searchable = number(row.at(8));
        builder.addRow({{QStringLiteral("TYPE_NAME"), row.at(0).toString()},
                        {QStringLiteral("DATA_TYPE"), dbType},
                        {QStringLiteral("COLUMN_SIZE"), numberOrNull(row.at(2))},
                        {QStringLiteral("LITERAL_PREFIX"), orNull(row.at(3))},
                        {QStringLiteral("LITERAL_SUFFIX"), orNull(row.at(4))},
                        {QStringLiteral("CREATE_PARAMS"), orNull(row.at(5))},
                        {QStringLiteral("IS_NULLABLE"), number(row.at(6)).value_or(1) != SQL_NO_NULLS},
                        {QStringLiteral("CASE_SENSITIVE"), flag(row.at(7))},
                        {QStringLiteral("SEARCHABLE"), searchable ? QVariant(*searchable + 1) : QVariant()},
                        {QStringLiteral("UNSIGNED_ATTRIBUTE"), flag(row.at(9))},
                        {QStringLiteral("FIXED_PREC_SCALE"), flag(row.at(10))},
                        {QStringLiteral("AUTO_UNIQUE_VALUE"), flag(row.at(11))},
                        {QStringLiteral("LOCAL_TYPE_NAME"), orNull(row.at(12))},
                        {QStringLiteral("MINIMUM_SCALE"), numberOrNull(row.at(13))},
                        {QStringLiteral("MAXIMUM_SCALE"), numberOrNull(row.at(14))},
                        {QStringLiteral("IS_LONG"), isLong},
                        {QStringLiteral("BEST_MATCH"), best},
                        {QStringLiteral("IS_FIXEDLENGTH"), fixedWidth && !isLong}});
    }
    return builder.finish();
}

std::unique_ptr<ResultSet> OdbcSession::schemaFromInformationSchema(const QString &rowset,
                                                                    const std::vector<QVariant> &r)
{
    // Each rowset's columns come from the INFORMATION_SCHEMA view of the same name, and
    // its restriction columns carry the same names there; restriction values are bound
    // as parameters.
    struct Source {
        const char *rowset;
        const char *view;
        const char *columns;
    };
    static const Source sources[] = {
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
    const Source *source = nullptr;
    for (const Source &s : sources)
        if (rowset.compare(QLatin1String(s.rowset), Qt::CaseInsensitive) == 0)
            source = &s;
    SchemaRowsetBuilder builder(rowset);
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
    std::unique_ptr<ResultSet> result;
    try {
        result = query(sql, params);
    } catch (const CommandStopped &) {
        throw;
    } catch (const DatabaseError &e) {
        throw DatabaseError(QStringLiteral("資料來源無法提供結構描述資料列集 %1：%2")
                                .arg(rowset.toUpper(), e.message()),
                            e.sqlState(), e.nativeCode());
    }
    for (size_t row = 0; row < result->rows.rowCount(); ++row) {
        std::vector<std::pair<QString, QVariant>> values;
        for (size_t c = 0; c < result->columns.size(); ++c) {
            const QString name = result->columns[c].name.toUpper();
            QVariant v = result->rows.columns[c].value(row, result->columns[c].type);
            if (name == QLatin1String("IS_DEFERRABLE") || name == QLatin1String("INITIALLY_DEFERRED") ||
                name == QLatin1String("IS_UPDATABLE") || name == QLatin1String("IS_GRANTABLE"))
                v = v.isValid() ? QVariant(yes(v)) : QVariant();
            else if (name == QLatin1String("CHECK_OPTION"))
                v = v.isValid() ? QVariant(v.toString().trimmed().toUpper() != QLatin1String("NONE")) : QVariant();
            values.emplace_back(name, v);
        }
        builder.addRow(values);
    }
    return builder.finish();
}

} // namespace data
