// tables: the connection's tables and views, one per line as the window lists them,
// with their fields and indexes on indented lines when asked for.
#include "Command.h"
#include "Console.h"
#include "TableArguments.h"
#include "data/core/Connection.h"

namespace cli {

namespace {

void printNames(const QString &title, const QStringList &names)
{
    printLine(QStringLiteral("  %1 (%2)：%3").arg(title).arg(names.size()).arg(names.join(QStringLiteral(", "))));
}

void listTables(Invocation &call)
{
    refuseArguments(call.parser);
    data::Connection &connection = call.connection();
    const bool fields = call.parser.isSet(QStringLiteral("fields"));
    const bool indexes = call.parser.isSet(QStringLiteral("indexes"));
    for (const data::ListedTable &t : listedTables(connection)) {
        printLine(t.label);
        QStringList names;
        if (fields) {
            connection.GetFieldNames(t.table, names);
            printNames(QStringLiteral("欄位"), names);
        }
        if (indexes) {
            connection.GetIndexNames(t.table, names);
            printNames(QStringLiteral("索引"), names);
        }
    }
}

} // namespace

Command tablesCommand()
{
    return {QStringLiteral("tables"),
            QStringLiteral("[--fields] [--indexes]"),
            QStringLiteral("列出資料表及檢視表，每行一個 (與視窗的表格清單相同)"),
            {{QStringLiteral("fields"), QStringLiteral("每個表格下列出其欄位")},
             {QStringLiteral("indexes"), QStringLiteral("每個表格下列出其索引")}},
            listTables};
}

} // namespace cli
