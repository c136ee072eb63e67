#include "TableArguments.h"
#include "Command.h"
#include "Failures.h"
#include "data/core/Connection.h"

namespace cli {

namespace {

const data::ListedTable *findTable(const std::vector<data::ListedTable> &tables, const QString &name)
{
    for (const data::ListedTable &t : tables)
        if (t.label == name)
            return &t;
    const data::ListedTable *byName = nullptr;
    for (const data::ListedTable &t : tables) {
        if (t.table.name != name)
            continue;
        if (byName)
            throw WorkFailure{QStringLiteral("表格名稱 \"%1\" 不只一個，請寫成 結構描述.名稱").arg(name)};
        byName = &t;
    }
    return byName;
}

} // namespace

std::vector<data::ListedTable> listedTables(data::Connection &connection)
{
    std::vector<data::ListedTable> tables;
    connection.GetTables(tables);
    return tables;
}

QList<data::ListedTable> resolveTables(data::Connection &connection, const QStringList &names)
{
    const std::vector<data::ListedTable> tables = listedTables(connection);
    QList<data::ListedTable> found;
    QStringList missing;
    for (const QString &name : names) {
        if (const data::ListedTable *t = findTable(tables, name))
            found.append(*t);
        else
            missing << QLatin1Char('"') + name + QLatin1Char('"');
    }
    if (!missing.isEmpty())
        throw WorkFailure{QStringLiteral("找不到表格：%1").arg(missing.join(QStringLiteral("、")))};
    return found;
}

QList<data::ListedTable> chosenTables(Invocation &call)
{
    const QStringList names = call.parser.positionalArguments();
    const bool all = call.parser.isSet(QStringLiteral("all"));
    if (all == !names.isEmpty())
        throw UsageError{QStringLiteral("請指定 --all 或表格名稱 (擇一)")};
    if (!all)
        return resolveTables(call.connection(), names);
    const std::vector<data::ListedTable> listed = listedTables(call.connection());
    return QList<data::ListedTable>(listed.begin(), listed.end());
}

} // namespace cli
