#pragma once
// Runs a blocking call (a name lookup that may wait on a dead resolver, an SMB round
// trip to a host that never answers) on a thread of its own, so that the caller's wait
// is bounded and can be cut short. A call the caller stops waiting for finishes in the
// background and its result is dropped; such calls are bounded by their own timeouts,
// and the program waits for them (a few seconds at most) before it exits.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace network {

// Asked every few milliseconds while a call is out; false gives the call up (the person
// stopped). A window paints and looks at its stop here.
using KeepWaiting = std::function<bool()>;

// Background calls still running; the count is awaited at exit.
void callStarted();
void callEnded();

template <typename T> class PendingCall {
public:
    explicit PendingCall(std::function<T()> call) : shared_(std::make_shared<Shared>())
    {
        callStarted();
        std::thread([shared = shared_, call = std::move(call)] {
            T value = call();
            {
                std::lock_guard lock(shared->mutex);
                shared->result = std::move(value);
            }
            shared->done.notify_all();
            callEnded();
        }).detach();
    }

    // The result, or nullopt when the deadline passes or keepWaiting says no first.
    std::optional<T> wait(std::chrono::steady_clock::time_point deadline, const KeepWaiting &keepWaiting = {})
    {
        constexpr auto kStep = std::chrono::milliseconds(20);
        std::unique_lock lock(shared_->mutex);
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            const auto until = keepWaiting ? std::min(deadline, now + kStep) : deadline;
            if (shared_->done.wait_until(lock, until, [&] { return shared_->result.has_value(); }))
                return shared_->result;
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            lock.unlock();
            const bool goOn = keepWaiting();
            lock.lock();
            if (!goOn)
                return std::nullopt;
        }
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<T> result;
    };
    std::shared_ptr<Shared> shared_;
};

template <typename T> T boundedCall(std::function<T()> call, int timeoutMs, T fallback)
{
    PendingCall<T> pending(std::move(call));
    return pending.wait(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)).value_or(fallback);
}

} // namespace network
