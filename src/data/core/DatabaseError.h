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
    CommandStopped() : DatabaseError(QStringLiteral("命令已停止。"), QStringLiteral("HY008")) {}
};

} // namespace data
