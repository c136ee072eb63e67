#include "CommandWatch.h"
#include "BatchStop.h"
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

void CommandWatch::show(const QString &text)
{
    if (panel_) {
        panel_->setText(text);
        panel_->repaint();
    }
}

void CommandWatch::wait(data::RunningCall &call)
{
    if (!panel_) { // nothing to show the stop in: wait as before
        QEventLoop loop;
        call.whenFinished([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        call.whenFinished({});
        return;
    }
    // A command that says what it does in the panel (a table being exported, an index
    // being rebuilt) keeps saying it.
    const QString before = panel_->text();
    if (before.isEmpty())
        show(commandRunningText());
    BatchStop stop(panel_, QStringLiteral("btnStopCommand"), QStringLiteral("停止執行中的命令 (Esc)"));
    QEventLoop loop;
    QObject::connect(&stop, &BatchStop::stopRequested, &loop, [this, &call] {
        call.stop();
        show(commandStoppingText());
    });
    call.whenFinished([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
    call.whenFinished({}); // no wake may reach the loop once it is gone
    show(before);
}

} // namespace gui
