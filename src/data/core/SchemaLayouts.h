#pragma once
// Column layouts of the OLE DB schema rowsets, so every provider answers OpenSchema with
// the same column names, order and types.
#include "data/core/ColumnInfo.h"
#include "data/core/ProviderSession.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

struct SchemaLayout {
    QString rowset;                   // "TABLES"
    std::vector<ColumnInfo> columns;  // OLE DB order, names and types
    QStringList restrictionColumns;   // in restriction order
};

// nullptr for a rowset name this layer does not know. Names compare without case.
const SchemaLayout *findSchemaLayout(const QString &rowset);
QStringList knownSchemaRowsets();

// Builds a rowset of the given layout row by row.
class SchemaRowsetBuilder {
public:
    explicit SchemaRowsetBuilder(const QString &rowset); // throws for an unknown rowset
    int columnIndex(const QString &name) const;           // -1 when absent
    // Values by column name; columns not named are NULL.
    void addRow(const std::vector<std::pair<QString, QVariant>> &values);
    // Values in layout order (shorter lists are padded with NULL).
    void addRow(const std::vector<QVariant> &values);
    // Keeps only rows matching every given restriction (exact text match); providers that
    // restrict on the server need not call it.
    std::unique_ptr<ResultSet> finish();
    std::unique_ptr<ResultSet> finishFiltered(const std::vector<QVariant> &restrictions);

private:
    const SchemaLayout *layout_;
    std::unique_ptr<ResultSet> result_;
};

// A provider's schema rowsets, one row each: the rowset's name and the session's reader.
template <class Session>
struct SchemaReader {
    const char *rowset;
    std::unique_ptr<ResultSet> (Session::*read)(const std::vector<QVariant> &restrictions);
};

// The reader for rowset as OpenSchema names it (any case, blanks around); nullptr when
// the provider has none.
template <class Session, size_t N>
const SchemaReader<Session> *findSchemaReader(const QString &rowset, const SchemaReader<Session> (&readers)[N])
{
    const QString name = rowset.trimmed().toUpper();
    for (const SchemaReader<Session> &reader : readers)
        if (name == QLatin1String(reader.rowset))
            return &reader;
    return nullptr;
}

// DBTYPE codes used in DATA_TYPE columns.
enum DbType {
    DBTYPE_EMPTY = 0, DBTYPE_I2 = 2, DBTYPE_I4 = 3, DBTYPE_R4 = 4, DBTYPE_R8 = 5,
    DBTYPE_CY = 6, DBTYPE_DATE = 7, DBTYPE_BSTR = 8, DBTYPE_BOOL = 11, DBTYPE_VARIANT = 12,
    DBTYPE_DECIMAL = 14, DBTYPE_I1 = 16, DBTYPE_UI1 = 17, DBTYPE_UI2 = 18, DBTYPE_UI4 = 19,
    DBTYPE_I8 = 20, DBTYPE_UI8 = 21, DBTYPE_GUID = 72, DBTYPE_BYTES = 128, DBTYPE_STR = 129,
    DBTYPE_WSTR = 130, DBTYPE_NUMERIC = 131, DBTYPE_DBDATE = 133, DBTYPE_DBTIME = 134,
    DBTYPE_DBTIMESTAMP = 135
};
int dbTypeOf(const ColumnInfo &column);

} // namespace data
