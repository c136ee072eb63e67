#include "data/core/TableName.h"
#include "data/core/ProviderSession.h"

namespace data {

QString listedTableName(const TableName &table, const std::optional<QString> &defaultSchema)
{
    if (table.schema.isEmpty() || !defaultSchema || table.schema == *defaultSchema)
        return table.name;
    return table.schema + QLatin1Char('.') + table.name;
}

QString qualifiedTableName(const ProviderSession &session, const TableName &table)
{
    const QString name = session.quoteIdentifier(table.name);
    if (table.schema.isEmpty())
        return name;
    return session.quoteIdentifier(table.schema) + QLatin1Char('.') + name;
}

} // namespace data
