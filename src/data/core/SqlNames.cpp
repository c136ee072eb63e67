#include "data/core/SqlNames.h"
#include "data/core/ProviderSession.h"
#include "data/core/TableName.h"

namespace data {

QString quoteIdentifierWith(const QString &quote, const QString &name)
{
    const QString trimmed = quote.trimmed();
    if (trimmed == QLatin1String("[")) {
        QString inner = name;
        inner.replace(QLatin1String("]"), QLatin1String("]]"));
        return QLatin1Char('[') + inner + QLatin1Char(']');
    }
    const QString mark = trimmed.isEmpty() ? QStringLiteral("\"") : trimmed;
    QString inner = name;
    inner.replace(mark, mark + mark);
    return mark + inner + mark;
}

QString quoteStringLiteral(const QString &value, bool national)
{
    QString inner = value;
    inner.replace(QLatin1String("'"), QLatin1String("''"));
    return (national ? QStringLiteral("N'") : QStringLiteral("'")) + inner + QLatin1Char('\'');
}

QString selectAllFrom(const ProviderSession &session, const QString &table)
{
    return QStringLiteral("Select * From ") + session.quoteIdentifier(table);
}

QString selectAllFrom(const ProviderSession &session, const TableName &table)
{
    return QStringLiteral("Select * From ") + qualifiedTableName(session, table);
}

QString ProviderSession::quoteIdentifier(const QString &name) const
{
    return quoteIdentifierWith(QStringLiteral("\""), name);
}

QString ProviderSession::quoteString(const QString &value) const
{
    return quoteStringLiteral(value);
}

} // namespace data
