#pragma once
// The embedded SQLite provider ("SQLite.1"): one database file opened in-process.
#include "data/core/ColumnInfo.h"
#include "data/core/ProviderSession.h"
#include <QString>
#include <QStringList>
#include <chrono>

struct sqlite3;
struct sqlite3_stmt;

namespace data {

class ConnectionString;
class SqliteRowSource;

// What a column's declared type ("NVARCHAR(30)", "DECIMAL(10,2)", "INTEGER") means for
// the fields above: type, size, precision and scale. An empty declared type has no type
// of its own (type ftUnknown): such columns take the kind of their first value.
struct SqliteDeclaredType {
    TFieldType type = ftUnknown;
    int size = 0;
    int precision = 0;
    int scale = 0;
    bool fixedLength = false;
    bool isLong = false;
    bool hasPrecision = false;
};
SqliteDeclaredType sqliteDeclaredType(const QString &declared);

class SqliteSession : public ProviderSession {
public:
    // Data Source: the database file, which must exist unless Mode asks for creation
    // ("Mode=Create" or "Mode=ReadWrite|Create"); ":memory:" for a private in-memory
    // database. Mode=Read opens the file read-only. The busy timeout follows
    // Connect Timeout (seconds, default 15).
    explicit SqliteSession(const ConnectionString &cs);
    ~SqliteSession() override;

    // The database file's base name without extension ("sales" for /data/sales.db), which
    // is what users call the database; "main" for an in-memory database.
    QString defaultDatabase() override;
    QString serverVersion() override;

    std::unique_ptr<ResultSet> openQuery(const QString &sql, const Params &params, int timeoutSeconds,
                                         StatementScope scope, const FetchBudget &first) override;
    long long execute(const QString &sql, const Params &params = {},
                      int timeoutSeconds = 0,
                      StatementScope scope = StatementScope::Batch) override;

    std::unique_ptr<ResultSet> openSchema(const QString &rowset,
                                          const std::vector<QVariant> &restrictions) override;
    QStringList primaryKey(const QString &table) override;

    // A transaction begun inside another one (say, after a typed BEGIN) becomes a
    // savepoint, so rolling it back never undoes the outer work.
    void beginTransaction() override;
    void commit() override;
    void rollback() override;

    QVariant lastInsertId(const QString &table) override;
    // The database file was deleted or replaced under the open session.
    bool connectionDead() override;

    sqlite3 *handle() const { return db_; }

protected:
    void interruptRunningCall() override; // sqlite3_interrupt

private:
    friend int sqliteProgress(void *);
    friend int sqliteBusy(void *, int);
    friend class SqliteRowSource;

    [[noreturn]] void fail(int rc) const;
    [[noreturn]] void failInterrupted() const;
    // Runs the batch; fills result with the first statement that yields columns when
    // result is given. Returns the rows changed by INSERT/UPDATE/DELETE statements, or
    // -1 when none ran. With OneStatement, text past the first statement fails before
    // that statement runs. With `first`, a result that ends the batch fetches only that
    // much and leaves the rest in result->pending.
    long long run(const QString &sql, const Params &params, int timeoutSeconds, ResultSet *result,
                  StatementScope scope, const FetchBudget *first);
    // Whether [tail, end) holds nothing SQLite would run: blanks, comments, semicolons.
    bool nothingRunsIn(const char *tail, const char *end) const;
    // Fills the column descriptions of a statement's result and one empty store each.
    void describe(sqlite3_stmt *st, ResultSet &result);
    void guardAgainstSelfJoin(sqlite3_stmt *st, std::vector<ColumnInfo> &columns);

    std::unique_ptr<ResultSet> schemaTables(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaColumns(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaIndexes(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaPrimaryKeys(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaProviderTypes(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaStatistics(const std::vector<QVariant> &r);

    struct TableEntry {
        QString name;
        QString type; // "TABLE", "VIEW", "SYSTEM TABLE"
        bool withoutRowid = false;
    };
    // Tables and views of the main database, sorted by name, restricted by a catalog
    // and a table name (invalid = any) compared exactly.
    std::vector<TableEntry> listTables(const QVariant &catalog, const QVariant &table);
    // Rows of a helper query over the catalogue, all values as QVariant (small results).
    // sql is one statement; anything after it fails instead of being skipped.
    std::vector<std::vector<QVariant>> rows(const char *sql, const Params &params);

    sqlite3 *db_ = nullptr;
    QString file_;
    QString database_;
    QStringList savepoints_;
    bool deadlineSet_ = false;
    bool timedOut_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::milliseconds busyTimeout_{15000};     // Connect Timeout
    std::chrono::steady_clock::time_point busySince_; // the current wait for a lock
    mutable bool moved_ = false;
};

} // namespace data
