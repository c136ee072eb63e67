#include "ConsoleStop.h"
#include "Console.h"
#include "Failures.h"
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace cli {

namespace {

// The first stop signal that came; 0 while none has. A cron job's or a service
// manager's SIGTERM and a closed terminal's SIGHUP stop as Ctrl+C does, so they too
// leave no half-written file and a terminal with its echo on.
std::atomic<int> stopSignal{0};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onStopSignal(int signal)
{
    int none = 0;
    stopSignal.compare_exchange_strong(none, signal);
    std::signal(signal, SIG_DFL); // the same signal again ends the program at once
}

constexpr std::chrono::milliseconds kPollInterval{20};

class ConsoleInlineWait final : public data::InlineWait {
public:
    bool stopRequested() override { return cli::stopRequested(); }
};

class ConsoleFillWait final : public data::Dataset::FillWait {
public:
    bool progress(const data::Dataset &dataset) override
    {
        showProgress(QStringLiteral("讀取資料中：已讀 %1 筆 (按 Ctrl+C 停止)").arg(dataset.FetchedCount()));
        return !stopRequested();
    }
};

} // namespace

void installStopHandler()
{
    for (const int signal : kStopSignals)
        std::signal(signal, onStopSignal);
}

bool stopRequested()
{
    return stopSignal.load() != 0;
}

int stoppedExitStatus()
{
    const int signal = stopSignal.load();
    return 128 + (signal != 0 ? signal : SIGINT);
}

void throwIfStopped()
{
    if (stopRequested())
        throw Stopped{QStringLiteral("已停止。")};
}

void ConsoleWait::wait(data::RunningCall &call)
{
    bool told = false;
    while (!call.finished()) {
        if (stopRequested() && !told) {
            call.stop();
            told = true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

std::unique_ptr<data::InlineWait> ConsoleWait::waitHere()
{
    return std::make_unique<ConsoleInlineWait>();
}

void installFillWait()
{
    data::Dataset::setFillWaitFactory(
        [](const data::Dataset &) -> std::unique_ptr<data::Dataset::FillWait> { return std::make_unique<ConsoleFillWait>(); });
}

} // namespace cli
