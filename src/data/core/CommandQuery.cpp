#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"

namespace data {

CommandQuery::CommandQuery(QObject *parent) : Dataset(parent)
{
    setFillsInBackground(false);
}

void CommandQuery::Open()
{
    setCommandText(batchText(), scope_);
    Dataset::Open();
}

long long CommandQuery::ExecSQL()
{
    if (!connection())
        throw DatabaseError(QStringLiteral("沒有指定資料庫連線或連線字串"));
    return connection()->session().execute(batchText(), {}, CommandTimeout(), scope_);
}

long long Command::Execute()
{
    if (!connection_)
        throw DatabaseError(QStringLiteral("沒有指定資料庫連線或連線字串"));
    return connection_->session().execute(text_, {}, timeout_, scope_);
}

} // namespace data
