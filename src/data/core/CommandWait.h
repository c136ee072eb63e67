#pragma once
// How the program waits for a database call that takes long. The call runs on a worker
// thread; the caller's thread waits quietly for a moment (most calls end in it, and then
// nothing else happens meanwhile). After that the installed CommandWait takes over: the
// window shows the command running, keeps painting and lets the person stop it.
#include "data/core/ProviderSession.h"
#include <chrono>
#include <functional>
#include <memory>

namespace data {

// The call a CommandWait waits for.
class RunningCall {
public:
    virtual ~RunningCall() = default;
    virtual bool finished() const = 0;
    // Asks the database to stop the call; it then ends with CommandStopped (or ends
    // normally when it was about to anyway). Any number of times.
    virtual void stop() = 0;
    // wake runs once the call has finished, on the worker thread (at once when it has
    // finished already). Replaces an earlier one; an empty function removes it.
    virtual void whenFinished(std::function<void()> wake) = 0;
};

// How long a call runs quietly before its wait is shown, unless a CommandWait says.
inline constexpr std::chrono::milliseconds kQuietWait{150};

class CommandWait {
public:
    virtual ~CommandWait() = default;
    // How long the caller's thread waits before wait() is called.
    virtual std::chrono::milliseconds patience() const { return kQuietWait; }
    // Returns once call.finished(); on the thread that made the call.
    virtual void wait(RunningCall &call) = 0;
    // The same wait for work that stays on this thread and checks in now and then
    // (InlineWait); nullptr: not shown, never stopped.
    virtual std::unique_ptr<InlineWait> waitHere() { return nullptr; }
};

} // namespace data
