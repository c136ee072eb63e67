#pragma once
// The command query used by maintenance and network commands: SQL lines sent as one
// batch joined by CR LF, opened for rows or executed. Its rows are read whole at Open
// (its callers walk them at once), never in the background.
#include "data/core/Dataset.h"
#include <QStringList>

namespace data {

class CommandQuery : public Dataset {
    Q_OBJECT
public:
    explicit CommandQuery(QObject *parent = nullptr);
    QStringList &SQL() { return sql_; }
    const QStringList &SQL() const { return sql_; }
    QString batchText() const { return sql_.join(QStringLiteral("\r\n")); }
    // OneStatement when the lines are one command built from names (SqlNames.h).
    StatementScope Scope() const { return scope_; }
    void setScope(StatementScope scope) { scope_ = scope; }
    void Open() override;
    long long ExecSQL(); // rows affected, -1 when unknown

private:
    QStringList sql_;
    StatementScope scope_ = StatementScope::Batch;
};

// A plain command object: runs its text and drops any rows.
class Command {
public:
    void setConnection(Connection *connection) { connection_ = connection; }
    Connection *connection() const { return connection_; }
    QString CommandText() const { return text_; }
    // OneStatement for a command built from names (SqlNames.h); typed text is a batch.
    void setCommandText(const QString &text, StatementScope scope = StatementScope::Batch)
    {
        text_ = text;
        scope_ = scope;
    }
    int CommandTimeout() const { return timeout_; }
    void setCommandTimeout(int seconds) { timeout_ = seconds; }
    long long Execute();

private:
    Connection *connection_ = nullptr;
    QString text_;
    StatementScope scope_ = StatementScope::Batch;
    int timeout_ = 30;
};

} // namespace data
