#include "BoundedCall.h"
#include "Discovery.h"

namespace network {

namespace {

// Calls given up by their callers run on until their own timeouts end them; the
// program's exit waits for them, so that none is still inside a library being torn down.
class RunningCalls {
public:
    ~RunningCalls()
    {
        std::unique_lock lock(mutex_);
        idle_.wait_for(lock, std::chrono::milliseconds(3 * kNetworkTimeoutMs), [this] { return count_ == 0; });
    }
    void started()
    {
        std::lock_guard lock(mutex_);
        ++count_;
    }
    void ended()
    {
        std::lock_guard lock(mutex_);
        if (--count_ == 0)
            idle_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int count_ = 0;
};

RunningCalls &runningCalls()
{
    static RunningCalls calls;
    return calls;
}

} // namespace

void callStarted()
{
    runningCalls().started();
}

void callEnded()
{
    runningCalls().ended();
}

} // namespace network
