// Batch export of the selected tables to XML files with a timing log, and the two
// commands that select or clear every table of the list to prepare it. The selection is
// the batch's to-do list: each table is deselected once its file is written.
#include "BatchStop.h"
#include "MainWindow.h"
#include "TableList.h"
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "exchange/TableBatchExport.h"
#include "platform/PlainFileName.h"
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace gui {

namespace {

QString progressText(int number, int total, const QString &table)
{
    return QStringLiteral("XML轉檔中：[%1] 第 %2 / %3 個表格 (按 Esc 或 [停止] 於此表格後停止)")
        .arg(table)
        .arg(number)
        .arg(total);
}

QString outcomeText(const exchange::BatchExportResult &result, int total)
{
    if (result.stopped)
        return QStringLiteral("XML轉檔已停止：已轉出 %1 個表格，尚有 %2 個表格仍選取")
            .arg(result.written)
            .arg(total - result.written);
    return QStringLiteral("XML轉檔完成：共 %1 個表格").arg(result.written);
}

} // namespace

void Tfm_ADO_Schema::bindBatchExportCommands()
{
    bind(menuItem(QStringLiteral("XML2")), &Tfm_ADO_Schema::XML2Click);
    bind(menuItem(QStringLiteral("N8")), &Tfm_ADO_Schema::N8Click);
    bind(menuItem(QStringLiteral("N14")), &Tfm_ADO_Schema::N14Click);
}

void Tfm_ADO_Schema::XML2Click()
{
    if (!tableList_->hasCurrentTable()) {
        ShowProgramMessage(this, QStringLiteral("沒有XML資料檔可產生, 請在[自定表格名稱]指定轉出表格 ........."));
        return;
    }
    platform::FileDialogRequest request = SaveDialog1;
    request.filter = QStringLiteral("XML|*.xml");
    request.defaultName = platform::plainFileName(tableList_->currentTable()) + QStringLiteral(".xml");
    // The dialog only chooses the folder; a cancelled one ends the command.
    const QString chosen = platform::ui().chooseSaveFile(this, request);
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(QFileInfo(chosen).absolutePath());

    const QList<TableList::SelectedTable> selected = tableList_->selectedTables();
    QList<data::ListedTable> tables;
    for (const TableList::SelectedTable &t : selected)
        tables.append({t.table, t.name});

    BatchStop stop(panels_.at(3));
    exchange::BatchExportSteps steps;
    steps.beforeTable = [&stop](int number, int total, const QString &table) {
        return !stop.showProgress(progressText(number, total, table));
    };
    steps.opening = [this](const QString &table) { DBGrid2->setCaption(table); };
    steps.written = [this, &selected](int index) { tableList_->deselect(selected.at(index)); };
    exchange::BatchExportResult result;
    try {
        result = exchange::exportTablesToXml(ADODXML, folder, tables, steps);
    } catch (...) {
        setPanelText(3, QString());
        throw;
    }
    setPanelText(3, outcomeText(result, int(tables.size())));
}

void Tfm_ADO_Schema::N8Click()
{
    tableList_->selectAll();
}

void Tfm_ADO_Schema::N14Click()
{
    tableList_->clearSelection();
}

} // namespace gui
