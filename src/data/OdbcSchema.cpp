// OLE DB schema rowsets from the ODBC catalog functions. Restrictions go to the driver as
// the functions' arguments (escaped where the argument is a search pattern), never as SQL
// text; the rows come back in the OLE DB layout.
#include "DatabaseError.h"
#include "OdbcSession.h"
#include "SchemaLayouts.h"
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
    throw DatabaseError(QStringLiteral("Object or provider is not capable of performing requested operation. "
                                       "The ODBC provider does not supply the schema rowset %1.")
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
    QVariant catalogArg;
    if (given(r, 0)) {
        if (supportsCatalogs())
            catalogArg = textAt(r, 0);
        else if (textAt(r, 0) != defaultDatabase())
            return builder.finish();
    }
    // SQLStatistics needs one table: without a table restriction, ask for every table.
    std::vector<TableRef> tables;
    if (given(r, 4))
        tables.push_back({catalogArg.toString(), textAt(r, 1), textAt(r, 4)});
    else
        tables = tablesFor(catalogArg, given(r, 1) ? r[1] : QVariant(), QVariant());

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
    QVariant catalogArg;
    if (given(r, 0)) {
        if (supportsCatalogs())
            catalogArg = textAt(r, 0);
        else if (textAt(r, 0) != defaultDatabase())
            return builder.finish();
    }
    std::vector<TableRef> tables;
    if (given(r, 2))
        tables.push_back({catalogArg.toString(), textAt(r, 1), textAt(r, 2)});
    else
        tables = tablesFor(catalogArg, given(r, 1) ? r[1] : QVariant(), QVariant());
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
