#pragma once
#include <QString>
#include <stdexcept>

namespace data {

// Every failure of the data layer. what() carries the driver's or server's own text
// (UTF-8), so the window can show it as it stands.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString &message, const QString &sqlState = QString(),
                           int nativeCode = 0)
        : std::runtime_error(message.toStdString()), message_(message),
          sqlState_(sqlState), nativeCode_(nativeCode) {}
    const QString &message() const { return message_; }
    const QString &sqlState() const { return sqlState_; }
    int nativeCode() const { return nativeCode_; }

private:
    QString message_;
    QString sqlState_;
    int nativeCode_;
};

// A command the user stopped before it ended (ProviderSession::requestStop). The session
// is usable afterwards; a change the command had not committed is not applied.
class CommandStopped : public DatabaseError {
public:
    CommandStopped() : CommandStopped(QStringLiteral("命令已停止。")) {}

protected:
    explicit CommandStopped(const QString &message) : DatabaseError(message, QStringLiteral("HY008")) {}
};

// A login the user stopped: the attempt is abandoned (it ends on its own thread within
// its connect timeout) and the connection stays closed.
class LoginStopped : public CommandStopped {
public:
    LoginStopped() : CommandStopped(QStringLiteral("已停止連接資料庫。")) {}
};

// The session's link to the database is gone: the server closed it or vanished, the
// network dropped it, a stalled request was given up, or the database file was moved
// away. The connection closes the session and connects again on the next use. The text
// says so in Chinese, with the driver's own words on the lines after it.
class ConnectionLost : public DatabaseError {
public:
    explicit ConnectionLost(const DatabaseError &cause)
        : ConnectionLost(QStringLiteral("與資料庫的連線已中斷，已改為離線；下一個命令或按 [資料庫連接] 會重新連接。"), cause)
    {
    }
    ConnectionLost(const QString &what, const DatabaseError &cause)
        : DatabaseError(what + QLatin1Char('\n') + cause.message(), cause.sqlState(), cause.nativeCode())
    {
    }
};

} // namespace data
