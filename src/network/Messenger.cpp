#include "Messenger.h"
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace network {

QString BroadcastCommand::commandLine() const
{
    return QStringLiteral("Net Send ") + target + QStringLiteral(" '") + text + QLatin1Char('\'');
}

QString messengerProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("smbclient"));
}

bool startMessenger(const BroadcastCommand &command)
{
    const QString program = messengerProgram();
    if (program.isEmpty())
        return false;
    // The text goes in through a file: the started process has it open before
    // startDetached returns, so the file can go at once and nobody waits on a pipe.
    QTemporaryFile input;
    if (!input.open() || input.write(command.text.toUtf8()) < 0 || !input.flush())
        return false;
    QProcess messenger;
    messenger.setProgram(program);
    messenger.setArguments({QStringLiteral("-M"), command.target});
    messenger.setStandardInputFile(input.fileName());
    messenger.setStandardOutputFile(QProcess::nullDevice());
    messenger.setStandardErrorFile(QProcess::nullDevice());
    return messenger.startDetached();
}

} // namespace network
