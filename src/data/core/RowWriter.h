#pragma once
// Writes one changed row of a single-table result back to its table.
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include "data/core/TableName.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

class ProviderSession;

class RowWriter {
public:
    virtual ~RowWriter() = default;
    // Each throws DatabaseError and leaves the database as it was when the statement
    // fails or would touch anything but exactly one row.
    virtual void update(const RowStore &store, size_t row, const std::vector<QVariant> &values,
                        const std::vector<bool> &modified) = 0;
    // Returns the row as stored (an auto-increment key filled in where known).
    virtual std::vector<QVariant> insert(const std::vector<QVariant> &values,
                                         const std::vector<bool> &modified) = 0;
    virtual void remove(const RowStore &store, size_t row) = 0;
};

// Statements identify the row by its primary key plus the original values of the
// changed columns; without a key, by all original values.
std::unique_ptr<RowWriter> makeDatabaseRowWriter(ProviderSession &session, const QString &table,
                                                 const std::vector<ColumnInfo> &columns,
                                                 const QStringList &keyColumns, int timeoutSeconds);
// The same for a table of a schema: statements name it [schema].[name].
std::unique_ptr<RowWriter> makeDatabaseRowWriter(ProviderSession &session, const TableName &table,
                                                 const std::vector<ColumnInfo> &columns,
                                                 const QStringList &keyColumns, int timeoutSeconds);

// "Select * From T" (any case, optional ";") names the single table T; empty otherwise.
QString singleTableOf(const QString &commandText);
// The same, also for "Select * From S.T" with either part quoted (the table list's own
// statements): the schema and the name, each unquoted; an empty name otherwise.
TableName singleTableNameOf(const QString &commandText);

} // namespace data
