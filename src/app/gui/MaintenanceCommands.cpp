// The MS SQL Server submenu: index rebuild, file shrink, backup and table script. The
// statements come from src/maintenance; here they are sent through the window's command
// query on the shared connection, with the progress text painted into panel 3 before each
// one (the window does not repaint while a statement runs).
#include "MainWindow.h"
#include "TableList.h"
#include "TableListBox.h"
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "data/core/DatabaseError.h"
#include "data/core/Field.h"
#include "maintenance/BackupFolder.h"
#include "maintenance/MaintenanceMessages.h"
#include "maintenance/MaintenanceStatements.h"
#include "maintenance/TableScript.h"
#include <QAction>
#include <QPushButton>
#include <QStatusBar>
#include <stdexcept>

namespace gui {

namespace {

constexpr int kHintPanel = 3;
const QString kCatalogsNotOpen = QStringLiteral("[資料庫相關資訊]->資料庫集 是否已開啟!!");

// The text in panel 3, painted now.
void showProgress(Tfm_ADO_Schema &w, const QString &text)
{
    w.setPanelText(kHintPanel, text);
    w.statusBar()->repaint();
}

void setStatements(data::CommandQuery &query, const QStringList &lines, data::StatementScope scope)
{
    query.Close();
    query.SQL() = lines;
    query.setScope(scope);
}

// Runs the query; false when the server refused it. A stop ends the whole command.
bool execSucceeded(data::CommandQuery &query)
{
    try {
        query.ExecSQL();
        return true;
    } catch (const data::CommandStopped &) {
        throw;
    } catch (const data::DatabaseError &) {
        return false;
    }
}

// Closes the command query however the command ends.
struct ClosesQuery {
    data::CommandQuery &query;
    ~ClosesQuery() { query.Close(); }
};

// {db} of the shrink and the backup: the first field of the current row of the Schema
// grid, which must be showing the catalogs rowset ("資料庫集").
QString selectedCatalog(Tfm_ADO_Schema &w)
{
    const data::Dataset &rowset = w.ADODataSet1;
    const bool showsCatalogs = rowset.Active() && rowset.State() == data::dsBrowse && !rowset.IsEmpty() &&
                               w.DBGrid1->ColumnCount() > 0 &&
                               w.DBGrid1->Columns(0)->FieldName() == QLatin1String("CATALOG_NAME");
    if (!showsCatalogs) {
        ShowProgramMessage(&w, kCatalogsNotOpen);
        throw SilentAbort{};
    }
    return rowset.Fields(0)->AsString();
}

// The folder of the database's first file, as the server names it; any failure of the
// lookup ends the command with its error.
QString backupFolderOf(data::CommandQuery &query, const QString &database)
{
    ClosesQuery closes{query};
    setStatements(query, maintenance::fileListBatch(database), data::StatementScope::Batch);
    query.Open();
    if (query.IsEmpty())
        throw std::runtime_error(
            QStringLiteral("資料庫 %1 沒有資料檔 (sysfiles)").arg(database).toStdString());
    return maintenance::backupFolder(query.FieldByName(QStringLiteral("filename"))->AsString());
}

} // namespace

void Tfm_ADO_Schema::nReindexTableClick()
{
    if (lbxTableName->count() == 0) {
        ShowProgramMessage(this, QStringLiteral("請檢查 \"使用者定義之資料表\" 是否已開啟!!"));
        showPage(0);
        btnGetTableName->setFocus();
        return;
    }
    bool stopped = false;
    // Every listed table, selected or not.
    for (const data::ListedTable &table : tableList_->listedTables()) {
        if (stopped)
            break;
        showProgress(*this, maintenance::reindexProgress(table.label));
        setStatements(adotqCommand, {maintenance::reindexStatement(table.table)}, data::StatementScope::OneStatement);
        if (!execSucceeded(adotqCommand))
            stopped = !platform::ui().askYesNo(this, QStringLiteral("你確定嗎??"), QStringLiteral("是否繼續？"));
    }
    if (stopped) {
        // Panel 3 keeps naming the table where the run stopped.
        ShowProgramMessage(this, QStringLiteral("索引檔重整部份失敗!!"));
        return;
    }
    ShowProgramMessage(this, QStringLiteral("索引檔重整完成!!"));
    setPanelText(kHintPanel, QString());
}

void Tfm_ADO_Schema::nShrinkDatabaseClick()
{
    const QString database = selectedCatalog(*this);
    int failures = 0;
    showProgress(*this, maintenance::shrinkDataProgress(database));
    setStatements(adotqCommand, maintenance::shrinkDataBatch(database), data::StatementScope::Batch);
    if (!execSucceeded(adotqCommand))
        failures += maintenance::kDataShrinkFailed;

    showProgress(*this, maintenance::shrinkLogProgress(database));
    // The log batch names no database: it works on the one the data batch made current.
    // If that batch could not even switch to it, the log of another database would be
    // shrunk, so the log counts as failed without being sent.
    const bool inDatabase = ADOConnection1.DefaultDatabase().compare(database, Qt::CaseInsensitive) == 0;
    setStatements(adotqCommand, maintenance::shrinkLogBatch(), data::StatementScope::Batch);
    if (!inDatabase || !execSucceeded(adotqCommand))
        failures += maintenance::kLogShrinkFailed;

    ShowProgramMessage(this, maintenance::shrinkResultMessage(failures));
    showProgress(*this, QString());
}

void Tfm_ADO_Schema::BackupDatabaseClick()
{
    const QString database = selectedCatalog(*this);
    const QString folder = backupFolderOf(adotqCommand, database);
    showProgress(*this, maintenance::backupProgress(database));
    const auto targets = maintenance::backupTargets(database, folder, DateStamp(QDateTime::currentDateTime()));
    setStatements(adotqCommand, maintenance::backupBatch(database, targets), data::StatementScope::Batch);
    const QDateTime start = QDateTime::currentDateTime();
    if (execSucceeded(adotqCommand))
        ShowProgramMessage(this, maintenance::backupSuccessMessage(folder, maintenance::regionalDateTime(start),
                                                                   maintenance::regionalDateTime(QDateTime::currentDateTime())));
    else
        ShowProgramMessage(this, QStringLiteral("備份失敗!!"));
    showProgress(*this, QString());
}

void Tfm_ADO_Schema::nCreateTableClick()
{
    if (lbxTableName->count() == 0) {
        ShowProgramMessage(this, QStringLiteral("使用者自定表格 沒有打開!!"));
        return;
    }
    if (lbxTableName->currentRow() < 0)
        return;
    const data::ListedTable table{tableList_->currentTableName(), tableList_->currentTable()};
    FScriptLines->clear();
    ClosesQuery closes{adotqCommand};
    setStatements(adotqCommand, {maintenance::columnsStatement(table.table)}, data::StatementScope::OneStatement);
    adotqCommand.Open();
    *FScriptLines = maintenance::tableScript(table, maintenance::scriptColumnsOf(adotqCommand));

    SaveDialog1.filter = QStringLiteral("SQL|*.sql");
    SaveDialog1.defaultName = maintenance::scriptFileName(table.label);
    const QString path = platform::ui().chooseSaveFile(this, SaveDialog1);
    if (!path.isEmpty())
        maintenance::saveScriptFile(path, *FScriptLines);
}

void Tfm_ADO_Schema::bindMaintenanceCommands()
{
    bind(menuItem(QStringLiteral("nReindexTable")), &Tfm_ADO_Schema::nReindexTableClick);
    bind(menuItem(QStringLiteral("nShrinkDatabase")), &Tfm_ADO_Schema::nShrinkDatabaseClick);
    bind(menuItem(QStringLiteral("BackupDatabase")), &Tfm_ADO_Schema::BackupDatabaseClick);
    bind(menuItem(QStringLiteral("nCreateTable")), &Tfm_ADO_Schema::nCreateTableClick);
}

} // namespace gui
