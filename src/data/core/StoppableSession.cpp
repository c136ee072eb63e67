#include "data/core/StoppableSession.h"
#include "data/core/CommandWait.h"
#include "data/core/DatabaseError.h"
#include "data/core/ScopedFlag.h"
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace data {

namespace {

// SQLSTATEs that say the session is gone: class 08 (connection exception) and the
// server ending the session, as PostgreSQL does for an administrator's shutdown or
// terminate (57P01) and after a crash of another server process (57P02). The driver
// may report these from a request it could not send and still call the link alive.
bool sessionGone(const QString &sqlState)
{
    static const QLatin1String kGoneStates[] = {QLatin1String("08"), QLatin1String("57P01"), QLatin1String("57P02")};
    for (const QLatin1String &state : kGoneStates)
        if (sqlState.startsWith(state))
            return true;
    return false;
}

// One call on its worker thread, as the waiting side sees it.
class WorkerCall final : public RunningCall {
public:
    explicit WorkerCall(ProviderSession &session) : session_(session) {}

    bool finished() const override
    {
        std::lock_guard lock(mutex_);
        return done_;
    }
    // Reaches the session only while the work runs: a stop pressed as the call returned
    // must not stay behind for the next one.
    void stop() override
    {
        std::lock_guard lock(mutex_);
        if (!returned_)
            session_.requestStop();
    }
    void whenFinished(std::function<void()> wake) override
    {
        // Under the lock, so that once this returns an earlier wake is not running any
        // more and the waiting side may drop what it captured.
        std::lock_guard lock(mutex_);
        if (done_) {
            if (wake)
                wake();
            return;
        }
        wake_ = std::move(wake);
    }

    // On the worker, as soon as the work has returned or thrown.
    void workReturned()
    {
        std::lock_guard lock(mutex_);
        returned_ = true;
    }
    // On the worker, last: the caller may go on.
    void finish()
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        if (wake_)
            wake_();
        finishedCondition_.notify_all();
    }
    bool waitFor(std::chrono::milliseconds patience)
    {
        std::unique_lock lock(mutex_);
        return finishedCondition_.wait_for(lock, patience, [this] { return done_; });
    }
    void waitUntilFinished()
    {
        std::unique_lock lock(mutex_);
        finishedCondition_.wait(lock, [this] { return done_; });
    }

private:
    ProviderSession &session_;
    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::function<void()> wake_;
    bool returned_ = false;
    bool done_ = false;
};

// A transaction request as the wait sees it: a stop reaches the database only when the
// request may be stopped, and it ends the wait at once either way (the caller then
// gives the request a moment before giving it up). Used on the waiting thread only.
class GivingUpCall final : public RunningCall {
public:
    GivingUpCall(RunningCall &call, bool forwardStop) : call_(call), forwardStop_(forwardStop) {}
    bool finished() const override { return givenUp_ || call_.finished(); }
    void stop() override
    {
        if (forwardStop_)
            call_.stop();
        givenUp_ = true;
        if (wake_)
            wake_();
    }
    void whenFinished(std::function<void()> wake) override
    {
        wake_ = wake;
        call_.whenFinished(std::move(wake));
    }

private:
    RunningCall &call_;
    bool forwardStop_;
    bool givenUp_ = false;
    std::function<void()> wake_;
};

// How long a stopped transaction request may still take before it is given up.
constexpr std::chrono::milliseconds kGiveUpGrace{500};

} // namespace

// The session's worker thread, started with its first long call and kept for the next
// ones (starting a thread per call costs more than many statements take).
class StoppableSession::Worker {
public:
    Worker() : thread_([this] { loop(); }) {}
    ~Worker()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        jobArrived_.notify_one();
        thread_.join();
    }
    void post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex_);
            job_ = std::move(job);
        }
        jobArrived_.notify_one();
    }

private:
    void loop()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                jobArrived_.wait(lock, [this] { return quit_ || job_; });
                if (!job_)
                    return;
                job = std::move(job_);
                job_ = nullptr;
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable jobArrived_;
    std::function<void()> job_;
    bool quit_ = false;
    std::thread thread_; // last: starts once the rest exists
};

StoppableSession::StoppableSession(ProviderSession &inner) : inner_(inner) {}

StoppableSession::~StoppableSession() = default;

bool StoppableSession::run(const std::function<void()> &work, bool mayStop)
{
    refuseWhenLostOrBusy();
    const ScopedFlag busy(busy_);

    inner_.clearStop(); // a request belongs to the call it was made for
    if (!mayStop || !wait_) {
        try {
            work();
        } catch (...) {
            rethrowNoticingLoss(std::current_exception());
        }
        return false;
    }
    WorkerCall call(inner_);
    std::exception_ptr failure; // written before finish(), read after it was seen
    if (!worker_)
        worker_ = std::make_unique<Worker>();
    worker_->post([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        call.workReturned();
        call.finish(); // the last use of this frame by the worker
    });
    if (!call.waitFor(wait_->patience())) {
        try {
            wait_->wait(call);
        } catch (...) {
            call.whenFinished({}); // whatever the wait captured is going away
            call.stop();           // the window cannot wait any more: end the call first
            call.waitUntilFinished();
            inner_.clearStop();
            throw;
        }
    }
    call.waitUntilFinished(); // wait() returns once finished; be sure
    const bool stopCameDuringCall = inner_.stopRequested();
    inner_.clearStop();
    if (failure)
        rethrowNoticingLoss(failure);
    return stopCameDuringCall;
}

void StoppableSession::refuseWhenLostOrBusy() const
{
    if (lost_)
        throw ConnectionLost(*lost_);
    if (busy_)
        throw DatabaseError(QStringLiteral("連線正在執行另一個命令，請等它結束或停止它。"));
}

void StoppableSession::rethrowNoticingLoss(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const CommandStopped &) {
        throw;
    } catch (const ConnectionLost &) {
        throw;
    } catch (const DatabaseError &e) {
        if (!sessionGone(e.sqlState()) && !inner_.connectionDead())
            throw;
        markLost(e);
        throw ConnectionLost(e);
    }
}

void StoppableSession::markLost(const DatabaseError &cause)
{
    lost_ = cause;
    if (onLost_)
        onLost_();
}

void StoppableSession::runTransactionStep(std::function<void()> work, bool mayStop, const QString &givenUpText)
{
    refuseWhenLostOrBusy();
    const ScopedFlag busy(busy_);
    inner_.clearStop();
    if (!wait_) {
        try {
            work();
        } catch (...) {
            rethrowNoticingLoss(std::current_exception());
        }
        return;
    }
    // Shared with the worker: a request given up outlives this frame.
    auto call = std::make_shared<WorkerCall>(inner_);
    auto failure = std::make_shared<std::exception_ptr>();
    if (!worker_)
        worker_ = std::make_unique<Worker>();
    worker_->post([call, failure, work] {
        try {
            work();
        } catch (...) {
            *failure = std::current_exception();
        }
        call->workReturned();
        call->finish();
    });
    auto giveUpUnlessDone = [&] {
        if (call->waitFor(kGiveUpGrace))
            return;
        abandoned_ = true;
        const DatabaseError cause(givenUpText);
        markLost(cause);
        throw ConnectionLost(cause);
    };
    if (!call->waitFor(wait_->patience())) {
        GivingUpCall shown(*call, mayStop);
        try {
            wait_->wait(shown);
        } catch (...) {
            call->whenFinished({});
            shown.stop();
            giveUpUnlessDone();
            throw;
        }
        call->whenFinished({});
        giveUpUnlessDone();
    }
    call->waitUntilFinished();
    inner_.clearStop();
    if (*failure)
        rethrowNoticingLoss(*failure);
}

void StoppableSession::runReading(const std::function<void()> &work)
{
    // What a read brought is of no use once the person asked to stop it: ending it as
    // stopped also drops a statement the database was told to interrupt.
    if (run(work, true))
        throw CommandStopped();
}

std::unique_ptr<ResultSet> StoppableSession::query(const QString &sql, const Params &params, int timeoutSeconds,
                                                   StatementScope scope)
{
    std::unique_ptr<ResultSet> result;
    run([&] { result = inner_.query(sql, params, timeoutSeconds, scope); }, true);
    return result;
}

std::unique_ptr<ResultSet> StoppableSession::openQuery(const QString &sql, const Params &params, int timeoutSeconds,
                                                       StatementScope scope, const FetchBudget &first)
{
    std::unique_ptr<ResultSet> result;
    runReading([&] { result = inner_.openQuery(sql, params, timeoutSeconds, scope, first); });
    if (result && result->pending)
        result->pending->runBlockingStepsThrough(this);
    return result;
}

long long StoppableSession::execute(const QString &sql, const Params &params, int timeoutSeconds,
                                    StatementScope scope)
{
    long long affected = -1;
    run([&] { affected = inner_.execute(sql, params, timeoutSeconds, scope); }, true);
    return affected;
}

std::unique_ptr<ResultSet> StoppableSession::openSchema(const QString &rowset,
                                                        const std::vector<QVariant> &restrictions)
{
    std::unique_ptr<ResultSet> result;
    runReading([&] { result = inner_.openSchema(rowset, restrictions); });
    return result;
}

std::optional<QString> StoppableSession::defaultSchema()
{
    std::optional<QString> schema;
    runReading([&] { schema = inner_.defaultSchema(); });
    return schema;
}

QStringList StoppableSession::primaryKey(const QString &table)
{
    QStringList keys;
    runReading([&] { keys = inner_.primaryKey(table); });
    return keys;
}

std::unique_ptr<InlineWait> StoppableSession::waitHere()
{
    return wait_ ? wait_->waitHere() : nullptr;
}

std::chrono::milliseconds StoppableSession::patience() const
{
    return wait_ ? wait_->patience() : kQuietWait;
}

void StoppableSession::beginTransaction()
{
    runTransactionStep([this] { inner_.beginTransaction(); }, true,
                       QStringLiteral("已停止等候資料庫開始交易；這筆變更沒有存入。"));
}

void StoppableSession::commit()
{
    runTransactionStep([this] { inner_.commit(); }, true,
                       QStringLiteral("已停止等候資料庫完成交易；這筆變更是否已存入無法確定，請重新連接後查看。"));
}

void StoppableSession::rollback()
{
    runTransactionStep([this] { inner_.rollback(); }, false,
                       QStringLiteral("已停止等候資料庫復原交易；未完成的變更不會存入。"));
}

} // namespace data
