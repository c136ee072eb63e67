#pragma once
// One open session of a database client. Each provider (embedded SQLite, ODBC sources,
// SQL Server through FreeTDS) implements it; everything above talks only to this.
// Everything runs on the GUI thread.
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace data {

class ConnectionString;

// A fetched result: the column descriptions and all rows.
struct ResultSet {
    std::vector<ColumnInfo> columns;
    RowStore rows;
    long long rowsAffected = -1; // for statements without rows
};

using Params = std::vector<QVariant>; // invalid QVariant = NULL

// How much of a text one call may run. Text the user typed (the SQL page, a command
// query's SQL lines) is a batch. A command the program builds from a name (SqlNames.h)
// is one statement: text past its first statement, other than blanks and comments, fails
// with DatabaseError before anything runs, so a name that escaped its quoting can never
// start a second statement.
enum class StatementScope { Batch, OneStatement };

class ProviderSession {
public:
    virtual ~ProviderSession() = default;

    virtual QString defaultDatabase() = 0;
    virtual QString serverVersion() = 0;

    // Runs one batch and fetches the first result set completely. A batch without rows
    // gives an empty column list and rowsAffected. timeoutSeconds 0 = no limit.
    virtual std::unique_ptr<ResultSet> query(const QString &sql, const Params &params = {},
                                             int timeoutSeconds = 0,
                                             StatementScope scope = StatementScope::Batch) = 0;
    // Runs the text and drops any rows; returns the rows affected (-1 if unknown).
    virtual long long execute(const QString &sql, const Params &params = {},
                              int timeoutSeconds = 0,
                              StatementScope scope = StatementScope::Batch) = 0;

    // An OLE DB schema rowset ("TABLES", "COLUMNS", ...) with OLE DB's own column layout
    // (SchemaLayouts.h). restrictions are positional; an invalid QVariant means "any".
    virtual std::unique_ptr<ResultSet> openSchema(const QString &rowset,
                                                  const std::vector<QVariant> &restrictions) = 0;

    // Names of the primary-key columns of a table, in key order; empty without a key.
    virtual QStringList primaryKey(const QString &table) = 0;

    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // The name as this database reads one identifier, whatever characters it holds:
    // "..." with inner " doubled (SQLite, PostgreSQL and ODBC sources; the driver's own
    // quote character where it reports another one), [...] with inner ] doubled (SQL
    // Server). Every name the program puts into SQL goes through here (SqlNames.h).
    virtual QString quoteIdentifier(const QString &name) const;
    // The value as a string literal: '...' with inner ' doubled (N'...' on SQL Server, so
    // characters outside the server's code page survive). Prefer bound parameters where
    // the statement takes them.
    virtual QString quoteString(const QString &value) const;
    // The value the database gave an auto-increment column of the last insert, if any.
    virtual QVariant lastInsertId() { return QVariant(); }
};

// Opens a session for a parsed connection string; throws DatabaseError.
using ProviderFactory = std::unique_ptr<ProviderSession> (*)(const ConnectionString &);

} // namespace data
