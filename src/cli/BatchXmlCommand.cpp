// batch-xml: the window's batch export of tables to XML files with its timing log
// "XML轉檔所需時間.Txt", through the same function. Ctrl+C stops it after the table
// being read or written; the log then holds the tables done.
#include "Command.h"
#include "Console.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include "OutputFiles.h"
#include "TableArguments.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "exchange/TableBatchExport.h"

namespace cli {

namespace {

void exportBatch(Invocation &call)
{
    const QString folder = folderOption(call.parser);
    const QList<data::ListedTable> tables = chosenTables(call);
    data::Dataset dataset;
    dataset.setConnection(&call.connection());
    exchange::BatchExportSteps steps;
    steps.beforeTable = [](int number, int total, const QString &table) {
        showProgress(QStringLiteral("XML轉檔中：[%1] 第 %2 / %3 個表格 (按 Ctrl+C 於此表格後停止)").arg(table).arg(number).arg(total));
        return !stopRequested();
    };
    steps.written = [&](int index) { printLine(exchange::batchXmlPath(folder, tables.at(index).label)); };
    const exchange::BatchExportResult result = exchange::exportTablesToXml(dataset, folder, tables, steps);
    if (result.stopped || stopRequested())
        throw Stopped{QStringLiteral("XML轉檔已停止：已轉出 %1 個表格，尚有 %2 個表格未轉出")
                          .arg(result.written)
                          .arg(tables.size() - result.written)};
    printMessage(QStringLiteral("XML轉檔完成：共 %1 個表格").arg(result.written));
}

} // namespace

Command batchXmlCommand()
{
    return {QStringLiteral("batch-xml"),
            QStringLiteral("(--all | TABLE…) [--dir DIR]"),
            QStringLiteral("批次將表格轉成 XML 檔，並寫出轉檔時間記錄 \"XML轉檔所需時間.Txt\""),
            {{QStringLiteral("all"), QStringLiteral("轉出所有表格及檢視表")},
             kDirOption},
            exportBatch};
}

} // namespace cli
