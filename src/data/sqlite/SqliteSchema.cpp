// The OLE DB schema rowsets of the SQLite provider, read from SQLite's catalogue pragmas.
// Restriction values are only ever bound as parameters or compared here, so any table
// name (quotes, brackets, CJK) works.
#include "data/core/DatabaseError.h"
#include "data/core/SchemaLayouts.h"
#include "data/sqlite/SqliteSession.h"
#include <algorithm>
#include <sqlite3.h>

namespace data {

namespace {

constexpr int kFlagWrite = 0x4, kFlagWriteUnknown = 0x8, kFlagFixedLength = 0x10,
              kFlagNullable = 0x20, kFlagMayBeNull = 0x40, kFlagLong = 0x80, kFlagRowId = 0x100;

bool restricted(const std::vector<QVariant> &r, size_t i)
{
    return i < r.size() && r[i].isValid() && !r[i].isNull();
}

QVariant restriction(const std::vector<QVariant> &r, size_t i)
{
    return restricted(r, i) ? r[i] : QVariant();
}

QVariant orNull(const QString &text)
{
    return text.isNull() ? QVariant() : QVariant(text);
}

bool isFixedLengthType(int dbType)
{
    switch (dbType) {
    case DBTYPE_I2: case DBTYPE_I4: case DBTYPE_I8: case DBTYPE_R8: case DBTYPE_CY:
    case DBTYPE_BOOL: case DBTYPE_NUMERIC: case DBTYPE_DBDATE: case DBTYPE_DBTIME:
    case DBTYPE_DBTIMESTAMP: case DBTYPE_UI2:
        return true;
    default:
        return false;
    }
}

QVariant numericPrecision(int dbType, const SqliteDeclaredType &dt)
{
    switch (dbType) {
    case DBTYPE_I2: return 5;
    case DBTYPE_I4: return 10;
    case DBTYPE_I8: return 19;
    case DBTYPE_R8: return 15;
    case DBTYPE_CY: return 19;
    case DBTYPE_NUMERIC: return dt.hasPrecision ? QVariant(dt.precision) : QVariant();
    default: return QVariant();
    }
}

} // namespace

std::unique_ptr<ResultSet> SqliteSession::openSchema(const QString &rowset,
                                                     const std::vector<QVariant> &restrictions)
{
    static const SchemaReader<SqliteSession> kReaders[] = {
        {"TABLES", &SqliteSession::schemaTables},
        {"COLUMNS", &SqliteSession::schemaColumns},
        {"INDEXES", &SqliteSession::schemaIndexes},
        {"PRIMARY_KEYS", &SqliteSession::schemaPrimaryKeys},
        {"PROVIDER_TYPES", &SqliteSession::schemaProviderTypes},
        {"STATISTICS", &SqliteSession::schemaStatistics},
    };
    if (const auto *reader = findSchemaReader(rowset, kReaders))
        return (this->*reader->read)(restrictions);
    throw DatabaseError(QStringLiteral("SQLite 資料來源不提供結構描述資料列集 %1。")
                            .arg(rowset));
}

std::vector<SqliteSession::TableEntry> SqliteSession::listTables(const QVariant &catalog,
                                                                 const QVariant &table)
{
    std::vector<TableEntry> out;
    if (catalog.isValid() && !catalog.isNull() && catalog.toString() != database_)
        return out;
    const bool oneTable = table.isValid() && !table.isNull();
    const QString wanted = table.toString();
    for (const auto &row : rows("SELECT name, type, wr FROM pragma_table_list WHERE schema = 'main'", {})) {
        TableEntry e;
        e.name = row[0].toString();
        if (oneTable && e.name != wanted)
            continue;
        const QString type = row[1].toString();
        if (e.name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) || type == QLatin1String("shadow"))
            e.type = QStringLiteral("SYSTEM TABLE");
        else if (type == QLatin1String("view"))
            e.type = QStringLiteral("VIEW");
        else
            e.type = QStringLiteral("TABLE");
        e.withoutRowid = row[2].toLongLong() != 0;
        out.push_back(e);
    }
    std::sort(out.begin(), out.end(), [](const TableEntry &a, const TableEntry &b) { return a.name < b.name; });
    return out;
}

std::unique_ptr<ResultSet> SqliteSession::schemaTables(const std::vector<QVariant> &r)
{
    auto tables = listTables(restriction(r, 0), restriction(r, 2));
    std::stable_sort(tables.begin(), tables.end(),
                     [](const TableEntry &a, const TableEntry &b) { return a.type < b.type; });
    SchemaRowsetBuilder b(QStringLiteral("TABLES"));
    for (const auto &t : tables)
        b.addRow({{QStringLiteral("TABLE_CATALOG"), database_},
                  {QStringLiteral("TABLE_NAME"), t.name},
                  {QStringLiteral("TABLE_TYPE"), t.type}});
    return b.finishFiltered(r);
}

namespace {

using NamedValues = std::vector<std::pair<QString, QVariant>>;
// A row of pragma_table_xinfo: cid, name, type, notnull, dflt_value, pk, hidden.
using XinfoRow = std::vector<QVariant>;

// What every COLUMNS row of one table shares.
struct ColumnsOfTable {
    QString catalog;
    QString table;
    bool view = false;
    bool withoutRowid = false;
    int keyCount = 0; // columns of the primary key
};

int keyColumnCount(const std::vector<XinfoRow> &info)
{
    int keyCount = 0;
    for (const auto &c : info)
        if (c[5].toLongLong() > 0)
            ++keyCount;
    return keyCount;
}

// DBCOLUMNFLAGS; hidden 2 and 3 are generated columns.
int sqliteColumnFlags(bool view, qint64 hidden, int dbType, const SqliteDeclaredType &dt, bool nullable, bool rowid)
{
    int flags = 0;
    if (view)
        flags |= kFlagWriteUnknown;
    else if (hidden != 2 && hidden != 3)
        flags |= kFlagWrite;
    if (isFixedLengthType(dbType) || dt.fixedLength)
        flags |= kFlagFixedLength;
    if (nullable)
        flags |= kFlagNullable | kFlagMayBeNull;
    if (dt.isLong)
        flags |= kFlagLong;
    if (rowid)
        flags |= kFlagRowId;
    return flags;
}

// The length, precision and scale columns that apply to the column's type.
void addColumnSizes(NamedValues &values, int dbType, const SqliteDeclaredType &dt)
{
    QVariant maxLength, octetLength, scale, datetimePrecision;
    if (dbType == DBTYPE_WSTR) {
        maxLength = dt.size;
        octetLength = dt.size * 2;
    } else if (dbType == DBTYPE_BYTES) {
        maxLength = dt.size;
        octetLength = dt.size;
    }
    if (dbType == DBTYPE_NUMERIC && dt.hasPrecision)
        scale = dt.scale;
    if (dbType == DBTYPE_DBTIMESTAMP || dbType == DBTYPE_DBTIME)
        datetimePrecision = 3;
    else if (dbType == DBTYPE_DBDATE)
        datetimePrecision = 0;
    values.insert(values.end(), {{QStringLiteral("CHARACTER_MAXIMUM_LENGTH"), maxLength},
                                 {QStringLiteral("CHARACTER_OCTET_LENGTH"), octetLength},
                                 {QStringLiteral("NUMERIC_PRECISION"), numericPrecision(dbType, dt)},
                                 {QStringLiteral("NUMERIC_SCALE"), scale},
                                 {QStringLiteral("DATETIME_PRECISION"), datetimePrecision}});
}

// The collating sequence SQLite reports for a table's column; NULL when it reports none.
QVariant columnCollation(sqlite3 *db, const QString &table, const QString &column)
{
    const char *declaredOut = nullptr, *collSeq = nullptr;
    int notNull = 0, pk = 0, autoInc = 0;
    if (sqlite3_table_column_metadata(db, "main", table.toUtf8().constData(), column.toUtf8().constData(),
                                      &declaredOut, &collSeq, &notNull, &pk, &autoInc) == SQLITE_OK &&
        collSeq)
        return QString::fromUtf8(collSeq);
    return QVariant();
}

NamedValues columnsRow(sqlite3 *db, const ColumnsOfTable &t, const XinfoRow &c, int ordinal)
{
    const qint64 hidden = c[6].toLongLong();
    const QString column = c[1].toString();
    const QString declared = c[2].toString();
    const SqliteDeclaredType dt = sqliteDeclaredType(declared);
    const bool rowid = c[5].toLongLong() > 0 && t.keyCount == 1 && !t.withoutRowid &&
                       declared.trimmed().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
    ColumnInfo ci;
    ci.type = rowid ? ftAutoInc : dt.type;
    ci.size = dt.size;
    const int dbType = dt.type == ftUnknown ? int(DBTYPE_VARIANT) : dbTypeOf(ci);
    const bool nullable = c[3].toLongLong() == 0 && !rowid;
    // Views have no column metadata; only text columns name a collation.
    QVariant collation = t.view ? QVariant() : columnCollation(db, t.table, column);
    if (dbType != DBTYPE_WSTR)
        collation = QVariant();
    const QVariant dflt = c[4];
    NamedValues values = {{QStringLiteral("TABLE_CATALOG"), t.catalog},
                          {QStringLiteral("TABLE_NAME"), t.table},
                          {QStringLiteral("COLUMN_NAME"), column},
                          {QStringLiteral("ORDINAL_POSITION"), ordinal},
                          {QStringLiteral("COLUMN_HASDEFAULT"), dflt.isValid()},
                          {QStringLiteral("COLUMN_DEFAULT"), dflt.isValid() ? QVariant(dflt.toString()) : QVariant()},
                          {QStringLiteral("COLUMN_FLAGS"), sqliteColumnFlags(t.view, hidden, dbType, dt, nullable, rowid)},
                          {QStringLiteral("IS_NULLABLE"), nullable},
                          {QStringLiteral("DATA_TYPE"), dbType},
                          {QStringLiteral("COLLATION_NAME"), collation}};
    addColumnSizes(values, dbType, dt);
    return values;
}

} // namespace

std::unique_ptr<ResultSet> SqliteSession::schemaColumns(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder b(QStringLiteral("COLUMNS"));
    for (const auto &t : listTables(restriction(r, 0), restriction(r, 2))) {
        const auto info = rows("SELECT cid, name, type, \"notnull\", dflt_value, pk, hidden "
                               "FROM pragma_table_xinfo(?1, 'main')",
                               {t.name});
        const ColumnsOfTable table{database_, t.name, t.type == QLatin1String("VIEW"), t.withoutRowid,
                                   keyColumnCount(info)};
        int ordinal = 0;
        for (const auto &c : info) {
            if (c[6].toLongLong() == 1)
                continue; // hidden columns of virtual tables
            b.addRow(columnsRow(db_, table, c, ++ordinal));
        }
    }
    return b.finishFiltered(r);
}

std::unique_ptr<ResultSet> SqliteSession::schemaIndexes(const std::vector<QVariant> &r)
{
    struct IndexRow {
        QString table, index, column;
        bool primary, unique, integrated;
        int ordinal, collation;
    };
    std::vector<IndexRow> all;
    for (const auto &t : listTables(restriction(r, 0), restriction(r, 4))) {
        if (t.type == QLatin1String("VIEW"))
            continue;
        for (const auto &ix : rows("SELECT name, \"unique\", origin FROM pragma_index_list(?1, 'main')", {t.name})) {
            const QString index = ix[0].toString();
            if (restricted(r, 2) && r[2].toString() != index)
                continue;
            const bool primary = ix[2].toString() == QLatin1String("pk");
            for (const auto &col : rows("SELECT seqno, name, \"desc\" FROM pragma_index_xinfo(?1, 'main') "
                                        "WHERE key = 1 ORDER BY seqno",
                                        {index})) {
                IndexRow row;
                row.table = t.name;
                row.index = index;
                row.column = col[1].toString(); // null for an expression
                row.primary = primary;
                row.unique = ix[1].toLongLong() != 0;
                row.integrated = primary && t.withoutRowid; // the table is stored in this index
                row.ordinal = int(col[0].toLongLong()) + 1;
                row.collation = col[2].toLongLong() ? 2 : 1;
                all.push_back(row);
            }
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const IndexRow &a, const IndexRow &b) {
        if (a.unique != b.unique)
            return a.unique; // VARIANT_TRUE (-1) sorts first
        if (a.index != b.index)
            return a.index < b.index;
        return a.ordinal < b.ordinal;
    });
    SchemaRowsetBuilder b(QStringLiteral("INDEXES"));
    for (const auto &row : all)
        b.addRow({{QStringLiteral("TABLE_CATALOG"), database_},
                  {QStringLiteral("TABLE_NAME"), row.table},
                  {QStringLiteral("INDEX_CATALOG"), database_},
                  {QStringLiteral("INDEX_NAME"), row.index},
                  {QStringLiteral("PRIMARY_KEY"), row.primary},
                  {QStringLiteral("UNIQUE"), row.unique},
                  {QStringLiteral("CLUSTERED"), row.integrated},
                  {QStringLiteral("TYPE"), 1}, // B-tree
                  {QStringLiteral("NULLS"), 0}, // NULLs allowed, even in unique indexes
                  {QStringLiteral("SORT_BOOKMARKS"), false},
                  {QStringLiteral("AUTO_UPDATE"), true},
                  {QStringLiteral("NULL_COLLATION"), 4}, // NULLs sort low
                  {QStringLiteral("ORDINAL_POSITION"), row.ordinal},
                  {QStringLiteral("COLUMN_NAME"), orNull(row.column)},
                  {QStringLiteral("COLLATION"), row.collation},
                  {QStringLiteral("INTEGRATED"), row.integrated}});
    return b.finishFiltered(r);
}

std::unique_ptr<ResultSet> SqliteSession::schemaPrimaryKeys(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder b(QStringLiteral("PRIMARY_KEYS"));
    for (const auto &t : listTables(restriction(r, 0), restriction(r, 2))) {
        if (t.type == QLatin1String("VIEW"))
            continue;
        QVariant pkName;
        for (const auto &ix : rows("SELECT name FROM pragma_index_list(?1, 'main') WHERE origin = 'pk'", {t.name}))
            pkName = ix[0];
        for (const auto &c : rows("SELECT name, pk FROM pragma_table_xinfo(?1, 'main') WHERE pk > 0 ORDER BY pk",
                                  {t.name}))
            b.addRow({{QStringLiteral("TABLE_CATALOG"), database_},
                      {QStringLiteral("TABLE_NAME"), t.name},
                      {QStringLiteral("COLUMN_NAME"), c[0]},
                      {QStringLiteral("ORDINAL"), c[1]},
                      {QStringLiteral("PK_NAME"), pkName}});
    }
    return b.finishFiltered(r);
}

namespace {

// The declared type names this provider maps, one row each; the first of each DATA_TYPE
// is its best match.
struct TypeRow {
    const char *name;
    int dbType;
    qint64 size;
    const char *prefix, *suffix, *params;
    bool caseSensitive, fixedPrecScale, autoUnique, isLong, fixedLength;
};
constexpr qint64 kMaxLength = 1000000000; // SQLite's default string and blob limit
const TypeRow kTypes[] = {
    {"INTEGER", DBTYPE_I4, 10, nullptr, nullptr, nullptr, false, false, true, false, true},
    {"INT", DBTYPE_I4, 10, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"SMALLINT", DBTYPE_I4, 10, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"REAL", DBTYPE_R8, 15, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"FLOAT", DBTYPE_R8, 15, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"DOUBLE", DBTYPE_R8, 15, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"MONEY", DBTYPE_CY, 19, nullptr, nullptr, nullptr, false, true, false, false, true},
    {"CURRENCY", DBTYPE_CY, 19, nullptr, nullptr, nullptr, false, true, false, false, true},
    {"BOOLEAN", DBTYPE_BOOL, 1, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"BIGINT", DBTYPE_I8, 19, nullptr, nullptr, nullptr, false, false, false, false, true},
    {"BLOB", DBTYPE_BYTES, kMaxLength, "X'", "'", nullptr, false, false, false, true, false},
    {"TEXT", DBTYPE_WSTR, kMaxLength, "'", "'", nullptr, true, false, false, false, false},
    {"NVARCHAR", DBTYPE_WSTR, kMaxLength, "'", "'", "max length", true, false, false, false, false},
    {"VARCHAR", DBTYPE_WSTR, kMaxLength, "'", "'", "max length", true, false, false, false, false},
    {"NCHAR", DBTYPE_WSTR, kMaxLength, "'", "'", "length", true, false, false, false, true},
    {"CHAR", DBTYPE_WSTR, kMaxLength, "'", "'", "length", true, false, false, false, true},
    {"CLOB", DBTYPE_WSTR, kMaxLength, "'", "'", nullptr, true, false, false, true, false},
    {"NTEXT", DBTYPE_WSTR, kMaxLength, "'", "'", nullptr, true, false, false, true, false},
    {"NUMERIC", DBTYPE_NUMERIC, 38, nullptr, nullptr, "precision,scale", false, true, false, false, true},
    {"DECIMAL", DBTYPE_NUMERIC, 38, nullptr, nullptr, "precision,scale", false, true, false, false, true},
    {"DATE", DBTYPE_DBDATE, 10, "'", "'", nullptr, false, false, false, false, true},
    {"TIME", DBTYPE_DBTIME, 12, "'", "'", nullptr, false, false, false, false, true},
    {"DATETIME", DBTYPE_DBTIMESTAMP, 23, "'", "'", nullptr, false, false, false, false, true},
    {"TIMESTAMP", DBTYPE_DBTIMESTAMP, 23, "'", "'", nullptr, false, false, false, false, true},
};
// One PROVIDER_TYPES row.
NamedValues providerTypeRow(const TypeRow &t, bool best)
{
    const bool numeric = t.dbType != DBTYPE_WSTR && t.dbType != DBTYPE_BYTES &&
                         t.dbType != DBTYPE_BOOL && t.dbType != DBTYPE_DBDATE &&
                         t.dbType != DBTYPE_DBTIME && t.dbType != DBTYPE_DBTIMESTAMP;
    const auto text = [](const char *s) { return s ? QVariant(QString::fromLatin1(s)) : QVariant(); };
    return {{QStringLiteral("TYPE_NAME"), QString::fromLatin1(t.name)},
            {QStringLiteral("DATA_TYPE"), t.dbType},
            {QStringLiteral("COLUMN_SIZE"), t.size},
            {QStringLiteral("LITERAL_PREFIX"), text(t.prefix)},
            {QStringLiteral("LITERAL_SUFFIX"), text(t.suffix)},
            {QStringLiteral("CREATE_PARAMS"), text(t.params)},
            {QStringLiteral("IS_NULLABLE"), true},
            {QStringLiteral("CASE_SENSITIVE"), t.caseSensitive},
            {QStringLiteral("SEARCHABLE"), 4},
            {QStringLiteral("UNSIGNED_ATTRIBUTE"), numeric ? QVariant(false) : QVariant()},
            {QStringLiteral("FIXED_PREC_SCALE"), t.fixedPrecScale},
            {QStringLiteral("AUTO_UNIQUE_VALUE"), t.autoUnique},
            {QStringLiteral("LOCAL_TYPE_NAME"), QString::fromLatin1(t.name)},
            {QStringLiteral("MINIMUM_SCALE"), t.dbType == DBTYPE_NUMERIC ? QVariant(0) : QVariant()},
            {QStringLiteral("MAXIMUM_SCALE"), t.dbType == DBTYPE_NUMERIC ? QVariant(38) : QVariant()},
            {QStringLiteral("IS_LONG"), t.isLong},
            {QStringLiteral("BEST_MATCH"), best},
            {QStringLiteral("IS_FIXEDLENGTH"), t.fixedLength}};
}

} // namespace

std::unique_ptr<ResultSet> SqliteSession::schemaProviderTypes(const std::vector<QVariant> &r)
{
    std::vector<const TypeRow *> sorted;
    for (const auto &t : kTypes)
        sorted.push_back(&t);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TypeRow *a, const TypeRow *b) { return a->dbType < b->dbType; });
    SchemaRowsetBuilder b(QStringLiteral("PROVIDER_TYPES"));
    int lastType = -1;
    for (const TypeRow *t : sorted) {
        const bool best = t->dbType != lastType;
        lastType = t->dbType;
        // Restrictions: DATA_TYPE as a number, BEST_MATCH as a Boolean.
        if (restricted(r, 0) && r[0].toLongLong() != t->dbType)
            continue;
        if (restricted(r, 1) && r[1].toBool() != best)
            continue;
        b.addRow(providerTypeRow(*t, best));
    }
    return b.finish();
}

std::unique_ptr<ResultSet> SqliteSession::schemaStatistics(const std::vector<QVariant> &r)
{
    SchemaRowsetBuilder b(QStringLiteral("STATISTICS"));
    for (const auto &t : listTables(restriction(r, 0), restriction(r, 2))) {
        if (t.type == QLatin1String("VIEW"))
            continue;
        qint64 count = 0;
        try {
            const auto result = rows(("SELECT count(*) FROM main." + quoteIdentifier(t.name)).toUtf8().constData(), {});
            count = result.empty() ? 0 : result.front()[0].toLongLong();
        } catch (const CommandStopped &) {
            throw;
        } catch (const DatabaseError &) {
            continue; // a virtual table whose module is not loaded here
        }
        b.addRow({{QStringLiteral("TABLE_CATALOG"), database_},
                  {QStringLiteral("TABLE_NAME"), t.name},
                  {QStringLiteral("CARDINALITY"), count}});
    }
    return b.finishFiltered(r);
}

QStringList SqliteSession::primaryKey(const QString &table)
{
    QStringList keys;
    for (const auto &row : rows("SELECT name FROM pragma_table_xinfo(?1) WHERE pk > 0 ORDER BY pk", {table}))
        keys << row[0].toString();
    return keys;
}

} // namespace data
