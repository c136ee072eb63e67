#include "PasswordSource.h"
#include "Failures.h"
#include <QFile>
#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

const QString kPassword = QStringLiteral("Password");

QString firstLineOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw WorkFailure{QStringLiteral("無法讀取密碼檔 %1：%2").arg(path, file.errorString())};
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
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
    for (int ch = std::getchar(); ch != EOF && ch != '\n'; ch = std::getchar())
        line.push_back(char(ch));
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
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
