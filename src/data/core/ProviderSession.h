#pragma once
// One open session of a database client. Each provider (embedded SQLite, ODBC sources,
// SQL Server through FreeTDS) implements it; everything above talks only to this.
// One thread at a time calls a session (a long call may run on a worker thread while the
// window waits, see StoppableSession.h); only requestStop() comes from another thread.
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace data {

class ConnectionString;

// How much one slice of a fetch may take: it ends after `rows` rows or once `time` has
// passed, whichever comes first; zero means no limit of that kind. The clock is read
// every few hundred rows, so a slice may run a little over its time.
struct FetchBudget {
    size_t rows = 0;
    std::chrono::milliseconds time{0};
    bool unlimited() const { return rows == 0 && time.count() == 0; }
};

// A wait kept on the waiting thread itself (see BlockingStep::waitHere).
class InlineWait {
public:
    virtual ~InlineWait() = default; // the wait is no longer shown
    // Called again and again while the work goes on; lets the window paint now and then.
    // True once the person asked to stop.
    virtual bool stopRequested() = 0;
};

// How a pending fetch waits for rows that take long, the way the session's long calls
// wait, so that a result whose rows stop coming part-way can be waited out and stopped
// (StoppableSession gives it to the result).
class BlockingStep {
public:
    virtual ~BlockingStep() = default;
    // Runs step (the wait for the server's next block of rows) on the worker thread.
    virtual void run(const std::function<void()> &step) = 0;
    // For work that must stay on this thread because it writes the rows in place (SQLite
    // stepping into the dataset's store): shows the wait now; nullptr when nothing can be
    // shown.
    virtual std::unique_ptr<InlineWait> waitHere() = 0;
    // How long a step runs quietly before the wait is shown.
    virtual std::chrono::milliseconds patience() const = 0;
};

// The rest of a result whose first rows are already in. Each call appends rows to the
// same store and column list the first rows went into (the caller may have moved them;
// it passes them again). Columns whose values did not fit their declared kind are
// settled when the result ends, so a column's type and storage may change on the last
// call. Destroying the source drops the rows not yet fetched and frees the statement.
//
// One connection carries one active result (SQL Server through FreeTDS has no second
// active statement): while a source is pending, no other call may run on its session.
// Connection::session() enforces this: before it hands the session to anyone it asks
// the dataset holding the source to fetch it to its end (or to stop it).
class PendingRows {
public:
    virtual ~PendingRows() = default;
    // Returns true when the result has ended; later calls append nothing. Throws
    // DatabaseError when the database fails mid-result (the rows so far stay).
    virtual bool fetchMore(std::vector<ColumnInfo> &columns, RowStore &rows,
                           const FetchBudget &budget) = 0;
    // From now on each wait for the server's rows goes through steps (which outlives the
    // source). Sources whose rows come without such waits ignore it.
    virtual void runBlockingStepsThrough(BlockingStep *steps) { (void)steps; }
};

// A fetched result: the column descriptions and the rows. `pending` is set only by
// openQuery when rows are left to fetch.
struct ResultSet {
    std::vector<ColumnInfo> columns;
    RowStore rows;
    long long rowsAffected = -1; // for statements without rows
    std::unique_ptr<PendingRows> pending;
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
    // The schema a plain table name means for this login (SQL Server's SCHEMA_NAME(),
    // PostgreSQL's current_schema()); nullopt where the source has none or cannot say.
    virtual std::optional<QString> defaultSchema() { return std::nullopt; }

    // Runs one batch and fetches the first result set completely. A batch without rows
    // gives an empty column list and rowsAffected. timeoutSeconds 0 = no limit.
    // Providers read it as openQuery without a budget.
    virtual std::unique_ptr<ResultSet> query(const QString &sql, const Params &params = {},
                                             int timeoutSeconds = 0,
                                             StatementScope scope = StatementScope::Batch)
    {
        return openQuery(sql, params, timeoutSeconds, scope, FetchBudget{});
    }
    // The same, but fetches only the first rows within `first` and leaves the rest in
    // ResultSet::pending. Only a result that is the last thing its batch runs stays
    // pending (the statements after it must run now); providers that cannot resume a
    // fetch give the whole result, without pending. An unlimited budget reads the whole
    // result, as query does.
    virtual std::unique_ptr<ResultSet> openQuery(const QString &sql, const Params &params,
                                                 int timeoutSeconds, StatementScope scope,
                                                 const FetchBudget &first) = 0;
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
    // The value the database gave an auto-increment column of the last insert into
    // `table` (as SQL names it, quoted), if it can tell.
    virtual QVariant lastInsertId(const QString &table) { Q_UNUSED(table); return QVariant(); }

    // Stopping a call. The caller clears the request before a call it may want to stop;
    // requestStop() may then come from any thread, before or while the call runs: the
    // provider tells the database (SQLite's interrupt, ODBC's SQLCancel, which FreeTDS
    // sends as an attention), the call throws CommandStopped and the session stays
    // usable. The request holds until cleared, so one that arrives between two steps of
    // a call (two statements of a script, two blocks of rows) still ends it.
    void clearStop() { stop_.store(false); }
    void requestStop()
    {
        stop_.store(true);
        interruptRunningCall();
    }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }

    // Asked after a call failed: true when the session can no longer reach its database
    // (the server closed the link, the database file was moved away), so only a new
    // session helps.
    virtual bool connectionDead() { return false; }

protected:
    // Tells the database to end what this session runs now; any thread.
    virtual void interruptRunningCall() {}

private:
    std::atomic<bool> stop_{false};
};

// Opens a session for a parsed connection string; throws DatabaseError.
using ProviderFactory = std::unique_ptr<ProviderSession> (*)(const ConnectionString &);

} // namespace data
