#include "TableBatchExport.h"
#include "BatchExportLog.h"
#include "ExportError.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SqlNames.h"
#include "platform/PlainFileName.h"
#include <QDir>
#include <QHash>

namespace exchange {

namespace {

// A name holding the folder separator (or NUL) would put its file somewhere else.
void checkFileName(const QString &table)
{
    if (table.contains(QLatin1Char('/')) || table.contains(QDir::separator()) || table.contains(QChar(0)))
        throw ExportError(QStringLiteral("表格名稱 \"%1\" 含有不能用於檔名的字元，無法存成XML檔!!").arg(table));
}

// Two tables whose names become the same file name ("a\b" and "a_b", two long names
// alike in their first 200 bytes) would leave only the second one's rows: refused before
// any file is written.
void checkDistinctFiles(const QString &folder, const QList<data::ListedTable> &tables)
{
    QHash<QString, QString> tableOfFile;
    for (const data::ListedTable &t : tables) {
        const QString path = batchXmlPath(folder, t.label);
        const auto earlier = tableOfFile.constFind(path);
        if (earlier != tableOfFile.cend() && *earlier != t.label)
            throw ExportError(QStringLiteral("表格 \"%1\" 與 \"%2\" 會存成同一個檔案 %3，未轉出任何表格!!")
                                  .arg(*earlier, t.label, path));
        tableOfFile.insert(path, t.label);
    }
}

} // namespace

QString batchXmlPath(const QString &folder, const QString &table)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + platform::plainFileName(table) + QStringLiteral(".xml"));
}

BatchExportResult exportTablesToXml(data::Dataset &dataset, const QString &folder, const QStringList &tables,
                                    const BatchExportSteps &steps)
{
    QList<data::ListedTable> listed;
    for (const QString &table : tables)
        listed.append({data::TableName{QString(), table}, table});
    return exportTablesToXml(dataset, folder, listed, steps);
}

BatchExportResult exportTablesToXml(data::Dataset &dataset, const QString &folder,
                                    const QList<data::ListedTable> &tables, const BatchExportSteps &steps)
{
    if (!dataset.connection())
        throw ExportError(QStringLiteral("XML資料集沒有資料庫連接，無法轉出表格!!"));
    checkDistinctFiles(folder, tables);
    BatchExportResult result;
    QStringList log;
    const QDateTime batchStart = steps.now();
    const int total = int(tables.size());
    for (int i = 0; i < total; ++i) {
        const QString &table = tables.at(i).label;
        if (steps.beforeTable && !steps.beforeTable(i + 1, total, table)) {
            result.stopped = true;
            break;
        }
        checkFileName(table);
        dataset.Close();
        if (steps.opening)
            steps.opening(table);
        dataset.setCommandText(data::selectAllFrom(dataset.connection()->session(), tables.at(i).table),
                               data::StatementScope::OneStatement);
        const QDateTime start = steps.now();
        try {
            dataset.Open();
            dataset.SaveToFile(batchXmlPath(folder, table), data::pfXML);
        } catch (const data::FetchStopped &) {
            result.stopped = true; // stopped while the table's rows arrived: no file for it
            break;
        } catch (const data::CommandStopped &) {
            result.stopped = true; // stopped while the server ran the table's select
            break;
        }
        log << tableLogLine(table, start, steps.now());
        ++result.written;
        if (steps.written)
            steps.written(i);
    }
    log << totalLogLine(batchStart, steps.now());
    writeLogLines(QDir::toNativeSeparators(folder + QLatin1Char('/') + kBatchLogFileName), log);
    return result;
}

} // namespace exchange
