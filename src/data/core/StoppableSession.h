#pragma once
// The session a Connection hands out: the same calls as the provider's own session, but
// the ones that may run long (statements, schema rowsets, key lookups) run on a worker
// thread while the installed CommandWait keeps the window alive and offers a stop.
// Without a CommandWait every call runs on the caller's thread, as the provider's would.
//
// A result left pending waits for each further block of rows the same way.
//
// Only one call runs at a time: a call made while another one waits (from an event the
// wait let through) fails with DatabaseError instead of reaching the provider.
//
// A call that fails because the link to the database is gone (SQLSTATE class 08, the
// server ending the session, or the provider says so) marks the session lost: it
// throws ConnectionLost, every later call fails the same way without reaching the
// provider, and the owner is told (onLost) so that it closes the session and opens a
// new one.
#include "data/core/DatabaseError.h"
#include "data/core/ProviderSession.h"
#include <functional>
#include <memory>
#include <optional>

namespace data {

class CommandWait;

class StoppableSession final : public ProviderSession, private BlockingStep {
public:
    explicit StoppableSession(ProviderSession &inner);
    ~StoppableSession() override;

    void setCommandWait(CommandWait *wait) { wait_ = wait; }

    QString defaultDatabase() override { return inner_.defaultDatabase(); }
    QString serverVersion() override { return inner_.serverVersion(); }
    std::optional<QString> defaultSchema() override;
    std::unique_ptr<ResultSet> query(const QString &sql, const Params &params = {}, int timeoutSeconds = 0,
                                     StatementScope scope = StatementScope::Batch) override;
    std::unique_ptr<ResultSet> openQuery(const QString &sql, const Params &params, int timeoutSeconds,
                                         StatementScope scope, const FetchBudget &first) override;
    long long execute(const QString &sql, const Params &params = {}, int timeoutSeconds = 0,
                      StatementScope scope = StatementScope::Batch) override;
    std::unique_ptr<ResultSet> openSchema(const QString &rowset,
                                          const std::vector<QVariant> &restrictions) override;
    QStringList primaryKey(const QString &table) override;
    // The transaction's requests wait like every long call. A stop reaches the database
    // for begin and commit (SQLite's wait for a lock); a rollback is never interrupted.
    // When a stopped request still has no answer a moment later (a server that stalls
    // a transaction request cannot be interrupted), the session is given up: it counts
    // as lost, and the request ends on the worker when the server answers or the
    // driver's own timeout closes the link (abandoned()).
    void beginTransaction() override;
    void commit() override;
    void rollback() override;
    QString quoteIdentifier(const QString &name) const override { return inner_.quoteIdentifier(name); }
    QString quoteString(const QString &value) const override { return inner_.quoteString(value); }
    QVariant lastInsertId(const QString &table) override { return inner_.lastInsertId(table); }

    bool lost() const { return lost_.has_value(); }
    // A request was given up and may still run on the worker: whoever destroys this
    // session must not wait for it on the window's thread.
    bool abandoned() const { return abandoned_; }
    void setOnLost(std::function<void()> onLost) { onLost_ = std::move(onLost); }

protected:
    void interruptRunningCall() override { inner_.requestStop(); }

private:
    // Runs work as one call of the inner session (see the top of this file); true when a
    // stop was asked for while the call ran and it ended normally all the same.
    bool run(const std::function<void()> &work, bool mayStop);
    // The same for a call that only reads: a stop asked for during it ends it as stopped
    // even when the database finished first (or cannot be interrupted, as ODBC catalog
    // functions).
    void runReading(const std::function<void()> &work);
    // A pending result's wait for more rows, as a reading call of its own.
    void run(const std::function<void()> &step) override { runReading(step); }
    std::unique_ptr<InlineWait> waitHere() override;
    std::chrono::milliseconds patience() const override;
    // One transaction request on the worker (see beginTransaction); givenUpText tells
    // what a request given up means for the user's change.
    void runTransactionStep(std::function<void()> work, bool mayStop, const QString &givenUpText);
    void refuseWhenLostOrBusy() const;
    // Rethrows a call's failure, as ConnectionLost when it shows the link is gone.
    [[noreturn]] void rethrowNoticingLoss(std::exception_ptr failure);
    void markLost(const DatabaseError &cause);

    class Worker;
    ProviderSession &inner_;
    std::unique_ptr<Worker> worker_;
    CommandWait *wait_ = nullptr;
    bool busy_ = false;
    bool abandoned_ = false;
    std::optional<DatabaseError> lost_; // why the session is lost
    std::function<void()> onLost_;
};

} // namespace data
