#include "CommandWatch.h"
#include "BatchStop.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>

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

void CommandWatch::show(const QString &text)
{
    if (panel_) {
        panel_->setText(text);
        panel_->repaint();
    }
}

namespace {

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

} // namespace

// The wait shown while work on this thread checks in.
class InlineWatch final : public data::InlineWait {
public:
    InlineWatch(CommandWatch &watch, QLabel *panel)
        : watch_(watch), before_(panel->text()),
          stop_(panel, QStringLiteral("btnStopCommand"), QStringLiteral("停止執行中的命令 (Esc)"))
    {
        watch_.show(awaitingRowsText());
        QObject::connect(&stop_, &BatchStop::stopRequested, &stop_,
                         [this] { watch_.show(commandStoppingText()); });
    }
    ~InlineWatch() override { watch_.show(before_); }

    bool stopRequested() override
    {
        if (!sincePaint_.isValid() || sincePaint_.elapsed() >= 20) {
            QCoreApplication::processEvents();
            sincePaint_.start();
        }
        return stop_.requested();
    }

private:
    CommandWatch &watch_;
    QString before_;
    BatchStop stop_;
    QElapsedTimer sincePaint_;
};

std::unique_ptr<data::InlineWait> CommandWatch::waitHere()
{
    if (!panel_)
        return nullptr;
    return std::make_unique<InlineWatch>(*this, panel_);
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
    const QString before = panel_->text();
    struct Restore {
        CommandWatch &watch;
        QString text;
        ~Restore() { watch.show(text); }
    } restore{*this, before};
    if (before.isEmpty())
        show(commandRunningText());
    BatchStop stop(panel_, QStringLiteral("btnStopCommand"), QStringLiteral("停止執行中的命令 (Esc)"));
    QObject::connect(&stop, &BatchStop::stopRequested, &loop, [this, &call] {
        call.stop();
        show(commandStoppingText());
    });
    runUntilFinished(call, loop, QEventLoop::AllEvents);
}

} // namespace gui
