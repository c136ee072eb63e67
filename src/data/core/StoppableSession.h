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
#include "data/core/ProviderSession.h"
#include <functional>
#include <memory>

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
    // Transactions end on the caller's thread and are never stopped: the rollback after
    // a stopped change must run, and a commit is not cut in half.
    void beginTransaction() override;
    void commit() override;
    void rollback() override;
    QString quoteIdentifier(const QString &name) const override { return inner_.quoteIdentifier(name); }
    QString quoteString(const QString &value) const override { return inner_.quoteString(value); }
    QVariant lastInsertId() override { return inner_.lastInsertId(); }

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

    class Worker;
    ProviderSession &inner_;
    std::unique_ptr<Worker> worker_;
    CommandWait *wait_ = nullptr;
    bool busy_ = false;
};

} // namespace data
