#include "data/core/SessionOpening.h"
#include "data/core/CommandWait.h"
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace data {

namespace {

thread_local const std::atomic<bool> *givenUpHere = nullptr;

// One login on its own thread, shared by that thread and the waiting side.
class LoginAttempt final : public RunningCall {
public:
    bool finished() const override
    {
        std::lock_guard lock(mutex_);
        return done_ || givenUp_;
    }
    // Giving up ends the wait at once; the login itself cannot be interrupted.
    void stop() override
    {
        std::lock_guard lock(mutex_);
        givenUp_ = true;
        if (auto wake = std::exchange(wake_, nullptr))
            wake();
    }
    void whenFinished(std::function<void()> wake) override
    {
        std::lock_guard lock(mutex_);
        wake_ = nullptr; // never left behind for a wait that is gone
        if (done_ || givenUp_) {
            if (wake)
                wake();
            return;
        }
        wake_ = std::move(wake);
    }

    // On the login's thread.
    void run(ProviderFactory open, const ConnectionString &cs)
    {
        givenUpHere = &givenUp_;
        std::unique_ptr<ProviderSession> session;
        std::exception_ptr failure;
        try {
            session = open(cs);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        if (!givenUp_) {
            session_ = std::move(session);
            failure_ = failure;
        }
        done_ = true;
        if (wake_)
            wake_();
        doneCondition_.notify_all();
    } // a session nobody waits for any more is closed here, on this thread

    bool waitQuietly(std::chrono::milliseconds patience)
    {
        std::unique_lock lock(mutex_);
        return doneCondition_.wait_for(lock, patience, [this] { return done_; });
    }
    std::unique_ptr<ProviderSession> result()
    {
        std::lock_guard lock(mutex_);
        if (failure_)
            std::rethrow_exception(failure_);
        if (!done_ || !session_)
            throw LoginStopped();
        return std::move(session_);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable doneCondition_;
    std::function<void()> wake_;
    std::unique_ptr<ProviderSession> session_;
    std::exception_ptr failure_;
    bool done_ = false;
    std::atomic<bool> givenUp_{false};
};

} // namespace

bool openingAbandoned()
{
    return givenUpHere && givenUpHere->load();
}

std::unique_ptr<ProviderSession> openSessionWaiting(ProviderFactory open, const ConnectionString &cs,
                                                    CommandWait *wait)
{
    if (!wait)
        return open(cs);
    auto attempt = std::make_shared<LoginAttempt>();
    std::thread([attempt, open, cs] { attempt->run(open, cs); }).detach();
    if (!attempt->waitQuietly(wait->patience())) {
        try {
            wait->wait(*attempt);
        } catch (...) {
            attempt->stop(); // the window cannot wait any more: give the login up
            throw;
        }
    }
    return attempt->result();
}

} // namespace data
