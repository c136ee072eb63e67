// export: tables to files, as the grid exports them; query: a statement's result to a
// file, or the rows it affected.
#include "Command.h"
#include "Console.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include "OutputFiles.h"
#include "TableArguments.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SqlNames.h"
#include "exchange/ExportTarget.h"
#include "platform/PlainFileName.h"
#include <QFileInfo>
#include <QHash>

namespace cli {

namespace {

const QCommandLineOption kFormat{QStringLiteral("format"), QStringLiteral("檔案格式：xml (預設)、txt、xls"),
                                 QStringLiteral("FORMAT")};

// {dir}/{table as a plain file name}{extension}, as the grid names its files.
QString exportPath(const QString &folder, const data::ListedTable &table, exchange::ExportFormat format)
{
    const exchange::ExportTarget target = exchange::exportTargetFor(
        folder + QLatin1Char('/') + platform::plainFileName(table.label), folder);
    return target.filePath(exchange::extensionOf(format));
}

struct TableFile {
    data::ListedTable table;
    QString path;
};

// One file per table. Names the file name cannot tell apart ("a/b" and "a_b", long
// names cut to the same length) would overwrite each other's file: refused before any
// file is written. A table named twice is exported once.
QList<TableFile> tableFiles(const QList<data::ListedTable> &tables, const QString &folder, exchange::ExportFormat format)
{
    QList<TableFile> files;
    QHash<QString, QString> tableOfPath;
    for (const data::ListedTable &t : tables) {
        const QString path = exportPath(folder, t, format);
        const QString earlier = tableOfPath.value(path, t.label);
        if (earlier != t.label)
            throw WorkFailure{QStringLiteral("表格 \"%1\" 與 \"%2\" 會寫入同一個檔案 %3，未匯出任何檔案：請分開匯出")
                                  .arg(earlier, t.label, path)};
        if (!tableOfPath.contains(path))
            files.append({t, path});
        tableOfPath.insert(path, t.label);
    }
    return files;
}

void exportTables(Invocation &call)
{
    const QStringList names = call.parser.positionalArguments();
    if (names.isEmpty())
        throw UsageError{QStringLiteral("請指定要匯出的表格")};
    const exchange::ExportFormat format = formatOption(call.parser);
    const QString folder = folderOption(call.parser);
    data::Connection &connection = call.connection();
    const QList<TableFile> files = tableFiles(resolveTables(connection, names), folder, format);
    data::Dataset dataset;
    dataset.setConnection(&connection);
    for (qsizetype i = 0; i < files.size(); ++i) {
        throwIfStopped();
        showProgress(QStringLiteral("匯出中：[%1] 第 %2 / %3 個表格").arg(files.at(i).table.label).arg(i + 1).arg(files.size()));
        dataset.Close();
        dataset.setCommandText(data::selectAllFrom(connection.session(), files.at(i).table.table),
                               data::StatementScope::OneStatement);
        dataset.Open();
        writeDataset(format, files.at(i).path, dataset);
    }
}

void runQuery(Invocation &call)
{
    const QStringList statement = call.parser.positionalArguments();
    if (statement.size() != 1)
        throw UsageError{QStringLiteral("請以一個引數指定 SQL 命令 (含空白時請加引號)")};
    const exchange::ExportFormat format = formatOption(call.parser);
    const QString out = call.parser.value(QStringLiteral("out"));
    data::Dataset dataset;
    dataset.setConnection(&call.connection());
    dataset.setCommandText(statement.first()); // typed SQL: a batch, as on the SQL page
    const std::optional<long long> affected = dataset.OpenOrExecute();
    if (affected) {
        printLine(*affected < 0 ? QStringLiteral("命令已執行") : QStringLiteral("%1 筆資料受影響").arg(*affected));
        return;
    }
    if (out.isEmpty())
        throw UsageError{QStringLiteral("查詢傳回了資料列：請以 --out 指定寫入的檔案")};
    writeDataset(format, QFileInfo(out).absoluteFilePath(), dataset);
}

} // namespace

Command exportCommand()
{
    return {QStringLiteral("export"),
            QStringLiteral("TABLE… [--format xml|txt|xls] [--dir DIR]"),
            QStringLiteral("將表格匯出成檔案 (與視窗表格匯出的檔案相同)，每個表格一個檔案，檔名列於標準輸出"),
            {kFormat, kDirOption},
            exportTables};
}

Command queryCommand()
{
    return {QStringLiteral("query"),
            QStringLiteral("SQL [--format xml|txt|xls] --out FILE"),
            QStringLiteral("執行 SQL 命令：傳回資料列時寫入檔案，否則列出受影響的筆數"),
            {kFormat, {QStringLiteral("out"), QStringLiteral("結果寫入的檔案"), QStringLiteral("FILE")}},
            runQuery};
}

} // namespace cli
