#include "CommandWatch.h"
#include "BatchStop.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <functional>

namespace gui {

QString commandRunningText()
{
    return QStringLiteral("命令執行中… (Esc 停止)");
}

QString commandStoppingText()
{
    return QStringLiteral("正在停止命令…");
}

QString awaitingRowsText()
{
    return QStringLiteral("等待資料庫傳回其餘的資料… (按 Esc 或 [停止] 停止讀取)");
}

namespace {

void showNow(QLabel *panel, const QString &text)
{
    if (panel) {
        panel->setText(text);
        panel->repaint();
    }
}

// Panel 3 while a command waits: the text given (none: the panel keeps its own), the
// command's stop button, "正在停止命令…" once the person asks; the earlier text again at
// the end. `requested` runs on each ask.
class ShownStop {
public:
    ShownStop(QLabel *panel, const QString &text, std::function<void()> requested = {})
        : panel_(panel), before_(panel->text()),
          stop_(panel, QStringLiteral("btnStopCommand"), QStringLiteral("停止執行中的命令 (Esc)"))
    {
        if (!text.isEmpty())
            showNow(panel_, text);
        QObject::connect(&stop_, &BatchStop::stopRequested, &stop_, [this, requested] {
            if (requested)
                requested();
            showNow(panel_, commandStoppingText());
        });
    }
    ~ShownStop() { showNow(panel_, before_); }
    ShownStop(const ShownStop &) = delete;
    ShownStop &operator=(const ShownStop &) = delete;

    bool requested() const { return stop_.requested(); }

private:
    QPointer<QLabel> panel_;
    QString before_;
    BatchStop stop_;
};

// Runs the loop until the call has finished. The wake is removed on every way out (an
// event handler may throw through exec()), so it can never reach a loop that is gone.
void runUntilFinished(data::RunningCall &call, QEventLoop &loop, QEventLoop::ProcessEventsFlags flags)
{
    struct Unhook {
        data::RunningCall &call;
        ~Unhook() { call.whenFinished({}); }
    } unhook{call};
    call.whenFinished([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec(flags);
    // exec() also returns at once while the program quits: the call is then stopped and
    // the caller waits for its end.
    if (!call.finished())
        call.stop();
}

// The wait shown while work on this thread checks in.
class InlineWatch final : public data::InlineWait {
public:
    explicit InlineWatch(QLabel *panel) : shown_(panel, awaitingRowsText()) {}

    bool stopRequested() override
    {
        if (!sincePaint_.isValid() || sincePaint_.elapsed() >= 20) {
            QCoreApplication::processEvents();
            sincePaint_.start();
        }
        return shown_.requested();
    }

private:
    ShownStop shown_;
    QElapsedTimer sincePaint_;
};

} // namespace

std::unique_ptr<data::InlineWait> CommandWatch::waitHere()
{
    if (!panel_)
        return nullptr;
    return std::make_unique<InlineWatch>(panel_);
}

void CommandWatch::wait(data::RunningCall &call)
{
    QEventLoop loop;
    if (!panel_) { // nothing to show the stop in: wait as before, painting
        runUntilFinished(call, loop, QEventLoop::ExcludeUserInputEvents);
        return;
    }
    // A command that says what it does in the panel (a table being exported, an index
    // being rebuilt) keeps saying it.
    const ShownStop shown(panel_, panel_->text().isEmpty() ? commandRunningText() : QString(),
                          [&call] { call.stop(); });
    runUntilFinished(call, loop, QEventLoop::AllEvents);
}

} // namespace gui
