#pragma once
// The command query used by maintenance and network commands: SQL lines sent as one
// batch joined by CR LF, opened for rows or executed.
#include "Dataset.h"
#include <QStringList>

namespace data {

class CommandQuery : public Dataset {
    Q_OBJECT
public:
    explicit CommandQuery(QObject *parent = nullptr);
    QStringList &SQL() { return sql_; }
    const QStringList &SQL() const { return sql_; }
    QString batchText() const { return sql_.join(QStringLiteral("\r\n")); }
    void Open() override;
    long long ExecSQL(); // rows affected, -1 when unknown

private:
    QStringList sql_;
};

// A plain command object: runs its text and drops any rows.
class Command {
public:
    void setConnection(Connection *connection) { connection_ = connection; }
    Connection *connection() const { return connection_; }
    QString CommandText() const { return text_; }
    void setCommandText(const QString &text) { text_ = text; }
    int CommandTimeout() const { return timeout_; }
    void setCommandTimeout(int seconds) { timeout_ = seconds; }
    long long Execute();

private:
    Connection *connection_ = nullptr;
    QString text_;
    int timeout_ = 30;
};

} // namespace data
