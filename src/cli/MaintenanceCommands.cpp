// The SQL Server maintenance commands: the same batches as the window's submenu, built
// by src/maintenance and sent through a command query on the connection. Where the
// window names the database by the catalogs grid's current row, these take --database
// (the connection's current database by default); where it asks whether to go on after
// a failed table, the rebuild goes on and ends with exit status 1.
#include "Command.h"
#include "Console.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include "TableArguments.h"
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/Field.h"
#include "maintenance/BackupFolder.h"
#include "maintenance/MaintenanceMessages.h"
#include "maintenance/MaintenanceStatements.h"
#include "maintenance/TableScript.h"
#include "platform/CommonUtils.h"
#include <QFileInfo>

namespace cli {

namespace {

const QCommandLineOption kDatabase{QStringLiteral("database"), QStringLiteral("資料庫名稱 (預設為連接的目前資料庫)"),
                                   QStringLiteral("NAME")};

// Runs the lines as one command; the server's refusal is printed with its own text.
bool executed(data::CommandQuery &query, const QStringList &lines, data::StatementScope scope)
{
    query.Close();
    query.SQL() = lines;
    query.setScope(scope);
    try {
        query.ExecSQL();
        return true;
    } catch (const data::CommandStopped &e) {
        throw Stopped{e.message()};
    } catch (const data::DatabaseError &e) {
        printMessage(e.message());
        return false;
    }
}

QString databaseOption(Invocation &call)
{
    refuseArguments(call.parser);
    const QString name = call.parser.value(QStringLiteral("database"));
    return name.isEmpty() ? call.connection().DefaultDatabase() : name;
}

void reindex(Invocation &call)
{
    const QList<data::ListedTable> tables = chosenTables(call);
    data::CommandQuery query;
    query.setConnection(&call.connection());
    bool failed = false;
    for (const data::ListedTable &t : tables) {
        throwIfStopped();
        showProgress(maintenance::reindexProgress(t.label));
        failed |= !executed(query, {maintenance::reindexStatement(t.table)}, data::StatementScope::OneStatement);
    }
    if (failed)
        throw WorkFailure{QStringLiteral("索引檔重整部份失敗!!")};
    printMessage(QStringLiteral("索引檔重整完成!!"));
}

void shrink(Invocation &call)
{
    const QString database = databaseOption(call);
    data::CommandQuery query;
    query.setConnection(&call.connection());
    int failures = 0;
    showProgress(maintenance::shrinkDataProgress(database));
    if (!executed(query, maintenance::shrinkDataBatch(database), data::StatementScope::Batch))
        failures += maintenance::kDataShrinkFailed;
    // The log batch works on the current database: never on another one.
    showProgress(maintenance::shrinkLogProgress(database));
    const bool inDatabase = call.connection().DefaultDatabase().compare(database, Qt::CaseInsensitive) == 0;
    if (!inDatabase || !executed(query, maintenance::shrinkLogBatch(), data::StatementScope::Batch))
        failures += maintenance::kLogShrinkFailed;
    const QString message = maintenance::shrinkResultMessage(failures);
    if (failures)
        throw WorkFailure{message};
    printMessage(message);
}

QString backupFolderOf(data::CommandQuery &query, const QString &database)
{
    query.Close();
    query.SQL() = maintenance::fileListBatch(database);
    query.setScope(data::StatementScope::Batch);
    query.Open();
    if (query.IsEmpty())
        throw WorkFailure{QStringLiteral("資料庫 %1 沒有資料檔 (sysfiles)").arg(database)};
    const QString folder = maintenance::backupFolder(query.FieldByName(QStringLiteral("filename"))->AsString());
    query.Close();
    return folder;
}

void backup(Invocation &call)
{
    const QString database = databaseOption(call);
    data::CommandQuery query;
    query.setConnection(&call.connection());
    const QString folder = backupFolderOf(query, database);
    showProgress(maintenance::backupProgress(database));
    const auto targets = maintenance::backupTargets(database, folder, DateStamp(QDateTime::currentDateTime()));
    const QDateTime start = QDateTime::currentDateTime();
    if (!executed(query, maintenance::backupBatch(database, targets), data::StatementScope::Batch))
        throw WorkFailure{QStringLiteral("備份失敗!!")};
    printLine(targets.dataFile);
    printLine(targets.logFile);
    printMessage(maintenance::backupSuccessMessage(
        folder, maintenance::regionalDateTime(start), maintenance::regionalDateTime(QDateTime::currentDateTime())));
}

void script(Invocation &call)
{
    const QStringList names = call.parser.positionalArguments();
    if (names.size() != 1)
        throw UsageError{QStringLiteral("請指定一個表格")};
    const data::ListedTable table = resolveTables(call.connection(), names).first();
    const QString out = call.parser.isSet(QStringLiteral("out"))
                            ? call.parser.value(QStringLiteral("out"))
                            : maintenance::scriptFileName(table.label);
    data::CommandQuery query;
    query.setConnection(&call.connection());
    query.SQL() = QStringList{maintenance::columnsStatement(table.table)};
    query.setScope(data::StatementScope::OneStatement);
    query.Open();
    const QStringList lines = maintenance::tableScript(table, maintenance::scriptColumnsOf(query));
    query.Close();
    maintenance::saveScriptFile(QFileInfo(out).absoluteFilePath(), lines);
    printLine(QFileInfo(out).absoluteFilePath());
}

} // namespace

std::vector<Command> maintenanceCommands()
{
    return {
        {QStringLiteral("backup"), QStringLiteral("[--database NAME]"),
         QStringLiteral("SQL Server：備份資料庫及其交易記錄 (與視窗的 [備份資料庫] 相同)"), {kDatabase}, backup},
        {QStringLiteral("reindex"), QStringLiteral("(--all | TABLE…)"),
         QStringLiteral("SQL Server：重整表格的索引檔"),
         {{QStringLiteral("all"), QStringLiteral("重整所有表格")}}, reindex},
        {QStringLiteral("shrink"), QStringLiteral("[--database NAME]"),
         QStringLiteral("SQL Server：壓縮資料庫的資料檔及交易記錄檔"), {kDatabase}, shrink},
        {QStringLiteral("script"), QStringLiteral("TABLE [--out FILE]"),
         QStringLiteral("SQL Server：產生表格的 CREATE TABLE 指令檔 (預設檔名 Create_表格.sql)"),
         {{QStringLiteral("out"), QStringLiteral("寫入的指令檔"), QStringLiteral("FILE")}}, script},
    };
}

} // namespace cli
