#include "PasswordSource.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include <QFile>
#include <cstdio>
#include <string>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

const QString kPassword = QStringLiteral("Password");
constexpr int kStopPollMs = 50;
// Far beyond any password; a device such as /dev/zero would otherwise be read until
// memory runs out.
constexpr qint64 kMaxPasswordBytes = 4096;

QString firstLineOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkFailure{QStringLiteral("無法讀取密碼檔 %1：%2").arg(path, file.errorString())};
    QByteArray line = file.readLine(kMaxPasswordBytes + 2); // room for the line's end
    if (line.size() > kMaxPasswordBytes && !line.endsWith('\n'))
        throw WorkFailure{QStringLiteral("密碼檔 %1 的第一行超過 %2 位元組，不是密碼").arg(path).arg(kMaxPasswordBytes)};
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// Reads standard input up to its line's end; false at its end or on Ctrl+C. A blocking
// read would outlive the first Ctrl+C, and the second one would end the program with
// the terminal's echo still off.
bool readLineUntilStopped(std::string &line)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (!stopRequested()) {
        if (::poll(&input, 1, kStopPollMs) <= 0)
            continue;
        char ch = 0;
        if (::read(STDIN_FILENO, &ch, 1) != 1)
            return false;
        if (ch == '\n')
            return true;
        line.push_back(ch);
    }
    return false;
}

// Reads one line from the terminal with its echo turned off.
QString promptedPassword()
{
    std::fputs(QStringLiteral("密碼：").toUtf8().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= tcflag_t(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool complete = readLineUntilStopped(line);
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved); // echo back on, also after Ctrl+C
    std::fputc('\n', stderr);
    if (!complete && stopRequested())
        throw Stopped{QStringLiteral("已停止輸入密碼。")};
    return QString::fromStdString(line);
}

bool namesUser(const data::ConnectionString &cs)
{
    return !cs.value(QStringLiteral("User ID")).isEmpty() || !cs.value(QStringLiteral("UID")).isEmpty();
}

} // namespace

void supplyPassword(data::ConnectionString &cs, const QString &passwordFile)
{
    if (!passwordFile.isEmpty())
        cs.set(kPassword, firstLineOf(passwordFile));
    else if (!cs.contains(kPassword) && namesUser(cs) && ::isatty(STDIN_FILENO) == 1)
        cs.set(kPassword, promptedPassword());
}

} // namespace cli
