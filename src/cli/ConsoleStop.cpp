#include "ConsoleStop.h"
#include "Console.h"
#include "Failures.h"
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace cli {

namespace {

std::atomic<bool> stopFlag{false};

extern "C" void onInterrupt(int)
{
    stopFlag.store(true);
    std::signal(SIGINT, SIG_DFL); // the next Ctrl+C ends the program
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
    std::signal(SIGINT, onInterrupt);
}

bool stopRequested()
{
    return stopFlag.load();
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
