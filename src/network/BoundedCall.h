#pragma once
// Runs a blocking call (a name lookup that may wait on a dead resolver) on a thread of its
// own and waits for it at most timeoutMs. When the call is late the caller goes on with
// the fallback; the thread finishes in the background and its result is dropped.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace network {

template <typename T>
T boundedCall(std::function<T()> call, int timeoutMs, T fallback)
{
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<T> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, call = std::move(call)] {
        T value = call();
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(value);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return shared->result.has_value(); }))
        return fallback;
    return std::move(*shared->result);
}

} // namespace network
