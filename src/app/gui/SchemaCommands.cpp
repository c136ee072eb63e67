// The schema menu: the command table, the runner of one row, and the window operations
// the commands share (list checks, showing the rowset, saving it as XML, the enabling of
// "檢核").
#include "SchemaCommands.h"
#include "components/wDBGrid.h"
#include "MainWindow.h"
#include "TableList.h"
#include "TableListBox.h"
#include "platform/CommonUtils.h"
#include "data/core/Dataset.h"
#include <QAction>
#include <QHeaderView>
#include <QListWidget>
#include <QTabWidget>
#include <stdexcept>

#if __has_include("schema/GridDisplaySettings.h")
#include "schema/GridDisplaySettings.h"
#define ADO_HAVE_SCHEMA_SETTINGS 1
#endif

namespace gui {

namespace {

using S = RestrictionSource;
constexpr ListCheck kNone = ListCheck::None;
constexpr ListCheck kTable = ListCheck::Table;
constexpr ListCheck kField = ListCheck::Field;
constexpr ListCheck kIndex = ListCheck::Index;
constexpr int kSchemaPage = 2;
constexpr int kIndexPage = 1;

// Settings sections: where a row's Key and Name differ (the table and view commands and
// the two table-constraints commands), the Name names the section. The Name is what the
// Schema grid's caption holds, so storing ("儲存顯示設定", which finds the section through
// the caption) and applying here meet in the same section; and each of the seven commands
// keeps its own choice of columns, e.g. views may hide other columns than all tables.
// FSchemaKey still receives the Key, as the record of the last command that set one.
//
// Status of "檢核": the other commands describe their rowset in panel 4; CHECK_CONSTRAINTS
// is described as "檢核限制" (check constraints).
const SchemaCommand kCommands[] = {
    {"nsiCatalogs", "資料庫集", {kNone, kNone}, "CATALOGS", 1, 1, {},
     "siCatalogs", "siCatalogs", "資料庫集", kSchemaPage, true, false},
    {"nsiColumnPrivileges", "欄位使用者權限", {kTable, kField}, "COLUMN_PRIVILEGES", 13, 6,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Table}, {4, S::Field}}},
     "siColumnPrivileges", "siColumnPrivileges", "欄位使用者權限", kSchemaPage, true, false},
    {"nsiColumns", "欄位集", {kTable, kNone}, "COLUMNS", 4, 4,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Table}}},
     "siColumns", "siColumns", "欄位集", kSchemaPage, true, false},
    {"nsiIndexes", "索引檔集", {kTable, kIndex}, "INDEXES", 12, 5,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Index}, {5, S::Table}}},
     "siIndexes", "siIndexes", "索引檔集", kIndexPage, false, false},
    // Reads the current field without checking for one (see the runner).
    {"nsiKeyColumnUsage", "鍵值欄位資料", {kTable, kNone}, "KEY_COLUMN_USAGE", 8, 7,
     {{{1, S::Database}, {4, S::Database}, {5, S::TableSchema}, {6, S::Table}, {7, S::Field}}},
     "siKeyColumnUsage", "siKeyColumnUsage", "鍵值欄位資料", kSchemaPage, true, false},
    {"nsiSchemata", "資料庫概要", {kNone, kNone}, "SCHEMATA", 17, 3,
     {{{1, S::Database}}},
     "siSchemata", "siSchemata", "資料庫概要", kSchemaPage, true, false},
    {"nsiPrimaryKeys", "主鍵值欄位資料", {kTable, kNone}, "PRIMARY_KEYS", 28, 3,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Table}}},
     "siPrimaryKeys", "siPrimaryKeys", "主鍵值欄位資料", kSchemaPage, true, false},
    {"nsiProcedureParameters", "預儲程序參數", {kNone, kNone}, "PROCEDURE_PARAMETERS", 26, 4,
     {{{1, S::Database}}},
     "siProcedureParameters", "siProcedureParameters", "預儲程序參數", kSchemaPage, true, false},
    {"nsiProcedures", "預儲程序", {kNone, kNone}, "PROCEDURES", 16, 4,
     {{{1, S::Database}}},
     "siProcedures", "siProcedures", "預儲程序", kSchemaPage, true, false},
    {"nsiProviderTypes", "欄位型別資料", {kNone, kNone}, "PROVIDER_TYPES", 22, 2, {},
     "siProviderTypes", "siProviderTypes", "欄位型別資料", kSchemaPage, true, false},
    {"nsiStatistics", "自定表格現有筆數", {kNone, kNone}, "STATISTICS", 19, 3,
     {{{1, S::Database}}},
     "siStatistics", "siStatistics", "自定表格現有筆數", kSchemaPage, true, false},
    // Hidden and disabled in the menu.
    {"nsiSQLLanguages", "資料庫使用語言", {kNone, kNone}, "SQL_LANGUAGES", 18, kNoRestrictions, {},
     "siSQLLanguages", "siSQLLanguages", "使用語言", kSchemaPage, true, false},
    {"nsiTableConstraints_Total", "全部", {kNone, kNone}, "TABLE_CONSTRAINTS", 10, 7,
     {{{4, S::Database}}},
     "siTableConstraints", "siTableConstraints_Total", "表格限制_全部", kSchemaPage, true, true},
    {"nsiTableConstraints_OnlyOneTable", "指定表格", {kTable, kNone}, "TABLE_CONSTRAINTS", 10, 7,
     {{{4, S::Database}, {5, S::TableSchema}, {6, S::Table}}},
     "siTableConstraints", "siTableConstraints_OnlyOneTable", "表格限制_指定表格", kSchemaPage, true, true},
    {"nsiTablePrivileges", "表格使用者權限", {kTable, kNone}, "TABLE_PRIVILEGES", 14, 5,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Table}}},
     "siTablePrivileges", "siTablePrivileges", "表格使用者權限", kSchemaPage, true, false},
    {"nsiTables_Ttotal", "全部", {kNone, kNone}, "TABLES", 20, 4,
     {{{1, S::Database}}},
     "siTables_Totol", "siTables_Total", "全部表格", kSchemaPage, true, false},
    {"nsiTables_Table", "自定表格", {kNone, kNone}, "TABLES", 20, 4,
     {{{1, S::Database}, {4, S::Literal, "TABLE"}}},
     "siTables_SelfDefine", "siTables_Table", "自定表格", kSchemaPage, true, false},
    {"nsiTables_View", "預視表格", {kNone, kNone}, "TABLES", 20, 4,
     {{{1, S::Database}, {4, S::Literal, "VIEW"}}},
     "siTables_View", "siTables_View", "預視表格", kSchemaPage, true, false},
    {"nsiTables_SystemTable", "系統表格", {kNone, kNone}, "TABLES", 20, 4,
     {{{1, S::Database}, {4, S::Literal, "SYSTEM TABLE"}}},
     "siTables_System", "siTables_System_Table", "系統表格", kSchemaPage, true, false},
    // Hidden and disabled in the menu.
    {"nsiTranslations", "資料庫現有交易狀況", {kNone, kNone}, "TRANSLATIONS", 21, 3,
     {{{1, S::Literal, "master"}, {2, S::Literal, "dbo"}}},
     nullptr, "siTranslations", "資料庫現有交易狀況", kSchemaPage, false, false},
    {"nsiViews_Total", "Total", {kNone, kNone}, "VIEWS", 23, 3,
     {{{1, S::Database}, {2, S::Literal, "dbo"}}},
     "siViews", "siViews_Total", "預視表格_全部", kSchemaPage, true, false},
    {"nsiViews_Table", "Table", {kTable, kNone}, "VIEWS", 23, 3,
     {{{1, S::Database}, {2, S::TableSchema}, {3, S::Table}}},
     "siViews", "siView_Table", "預視表格資訊", kSchemaPage, true, false},
    {"nsiCheckConstraints", "檢核", {kNone, kNone}, "CHECK_CONSTRAINTS", 5, 4, {},
     nullptr, "siCheckConstraints", "檢核限制", kSchemaPage, false, false},
};

const QString kNoTable = QStringLiteral("表格未指定 ......");
const QString kNoEntry = QStringLiteral("欄位未指定 ......");

bool hasCurrentEntry(const QListWidget *list)
{
    return list->count() > 0 && list->currentRow() >= 0;
}

// The current entry's text; reading a list without one fails the way reading entry -1
// of a list does.
QString currentEntry(const QListWidget *list)
{
    if (!hasCurrentEntry(list))
        throw std::runtime_error("清單索引超出範圍 (-1)");
    return list->currentItem()->text();
}

// The table the list's current entry stands for (its schema and name, not its text).
data::TableName currentTableOf(const QListWidget *list, const TableList &tables)
{
    currentEntry(list);
    return tables.currentTableName();
}

} // namespace

QString SchemaCommand::settingsSection() const
{
    return QString::fromUtf8(name);
}

std::span<const SchemaCommand> schemaCommands()
{
    return kCommands;
}

const SchemaCommand *findSchemaCommand(const QString &item)
{
    for (const SchemaCommand &c : kCommands)
        if (item == QLatin1String(c.item))
            return &c;
    return nullptr;
}

std::optional<std::vector<QVariant>>
buildRestrictions(const SchemaCommand &command,
                  const std::function<QString(RestrictionSource)> &valueOf)
{
    if (command.restrictionLength == kNoRestrictions)
        return std::nullopt;
    std::vector<QVariant> list(size_t(command.restrictionLength));
    for (const RestrictionFill &fill : command.fills) {
        if (fill.source == RestrictionSource::None)
            continue;
        const QString value = fill.source == RestrictionSource::Literal ? QString::fromUtf8(fill.literal)
                                                                       : valueOf(fill.source);
        // A table of a source without schemas restricts no schema.
        if (fill.source == RestrictionSource::TableSchema && value.isEmpty())
            continue;
        list.at(size_t(fill.position - 1)) = value;
    }
    return list;
}

// ---- the window's side ------------------------------------------------------------------

bool Tfm_ADO_Schema::CheckTableSelected()
{
    if (hasCurrentEntry(lbxTableName))
        return true;
    ShowProgramMessage(this, kNoTable);
    return false;
}

bool Tfm_ADO_Schema::CheckFieldSelected()
{
    if (hasCurrentEntry(lbxFieldName))
        return true;
    ShowProgramMessage(this, kNoEntry);
    return false;
}

bool Tfm_ADO_Schema::CheckIndexSelected()
{
    if (hasCurrentEntry(lbxIndexFile))
        return true;
    ShowProgramMessage(this, kNoEntry);
    return false;
}

void Tfm_ADO_Schema::runSchemaCommand(const char *item)
{
    const SchemaCommand *command = findSchemaCommand(QString::fromLatin1(item));
    if (!command)
        throw std::logic_error(std::string("no schema command for ") + item);
    const SchemaCommand &c = *command;

    for (ListCheck check : c.checks) {
        const bool ok = check == ListCheck::Table   ? CheckTableSelected()
                        : check == ListCheck::Field ? CheckFieldSelected()
                        : check == ListCheck::Index ? CheckIndexSelected()
                                                    : true;
        if (!ok)
            return;
    }
    CheckConnected();
    if (c.key)
        FSchemaKey = QString::fromUtf8(c.key);

    const auto restrictions = buildRestrictions(c, [this](RestrictionSource source) {
        switch (source) {
        case RestrictionSource::Database: return FDatabaseName;
        case RestrictionSource::Table: return currentTableOf(lbxTableName, *tableList_).name;
        case RestrictionSource::TableSchema: return currentTableOf(lbxTableName, *tableList_).schema;
        case RestrictionSource::Field: return currentEntry(lbxFieldName);
        case RestrictionSource::Index: return currentEntry(lbxIndexFile);
        default: return QString();
        }
    });
    ADOConnection1.OpenSchema(QString::fromLatin1(c.rowset),
                              restrictions ? &*restrictions : nullptr, ADODataSet1);

    const bool toSchemaPage = c.page == kSchemaPage;
    ShowSchemaRowset(QString::fromUtf8(c.name), QString::fromUtf8(c.status), toSchemaPage);
    if (!toSchemaPage && PageControl1->currentIndex() != c.page)
        showPage(c.page);
    if (c.enablesCheckConstraints)
        SetCheckConstraintsEnabled(true);
    if (c.apply) {
#ifdef ADO_HAVE_SCHEMA_SETTINGS
        schema::ApplySchemaVisibility(&ADODataSet1, FSchemaIniFile, c.settingsSection());
        DBGrid1->LayoutChanged(); // visible flags are plain field values: show them now
#endif
    }
}

void Tfm_ADO_Schema::ShowSchemaRowset(const QString &name, const QString &status,
                                      bool toSchemaPage)
{
    if (!ADODataSet1.Active())
        ADODataSet1.Open();
    if (toSchemaPage && PageControl1->currentIndex() != kSchemaPage)
        showPage(kSchemaPage);
    for (int column = 0; column < DBGrid1->model()->columnCount(); ++column)
        DBGrid1->horizontalHeader()->resizeSection(column, 110);
    DBGrid1->setCaption(name);
    setPanelText(4, status);
}

void Tfm_ADO_Schema::nSaveToXMLClick()
{
    if (!ADODataSet1.Active() || ADODataSet1.State() != data::dsBrowse) {
        ShowProgramMessage(this, QStringLiteral("請先開啟Schema資料集!!"));
        return;
    }
    // No folder: the file goes to the process's current folder.
    const QString fileName = DBGrid1->Caption() + QStringLiteral(".XML");
    ADODataSet1.SaveToFile(fileName, data::pfXML);
    ShowProgramMessage(this, QStringLiteral("存檔成功!!\n\r檔案名稱：") + fileName);
}

void Tfm_ADO_Schema::ADODataSet1AfterClose()
{
    SetCheckConstraintsEnabled(false);
}

void Tfm_ADO_Schema::SetCheckConstraintsEnabled(bool value)
{
    menuItem(QStringLiteral("nsiCheckConstraints"))->setEnabled(value);
}

// Each handler names its row of the table.
#define SCHEMA_HANDLER(item) \
    void Tfm_ADO_Schema::item##Click() { runSchemaCommand(#item); }
SCHEMA_HANDLER(nsiCatalogs)
SCHEMA_HANDLER(nsiColumnPrivileges)
SCHEMA_HANDLER(nsiColumns)
SCHEMA_HANDLER(nsiIndexes)
SCHEMA_HANDLER(nsiKeyColumnUsage)
SCHEMA_HANDLER(nsiSchemata)
SCHEMA_HANDLER(nsiPrimaryKeys)
SCHEMA_HANDLER(nsiProcedureParameters)
SCHEMA_HANDLER(nsiProcedures)
SCHEMA_HANDLER(nsiProviderTypes)
SCHEMA_HANDLER(nsiStatistics)
SCHEMA_HANDLER(nsiSQLLanguages)
SCHEMA_HANDLER(nsiTableConstraints_Total)
SCHEMA_HANDLER(nsiTableConstraints_OnlyOneTable)
SCHEMA_HANDLER(nsiTablePrivileges)
SCHEMA_HANDLER(nsiTables_Ttotal)
SCHEMA_HANDLER(nsiTables_Table)
SCHEMA_HANDLER(nsiTables_View)
SCHEMA_HANDLER(nsiTables_SystemTable)
SCHEMA_HANDLER(nsiTranslations)
SCHEMA_HANDLER(nsiViews_Total)
SCHEMA_HANDLER(nsiViews_Table)
SCHEMA_HANDLER(nsiCheckConstraints)
#undef SCHEMA_HANDLER

void Tfm_ADO_Schema::bindSchemaCommands()
{
    const std::pair<const char *, void (Tfm_ADO_Schema::*)()> handlers[] = {
        {"nsiCatalogs", &Tfm_ADO_Schema::nsiCatalogsClick},
        {"nsiColumnPrivileges", &Tfm_ADO_Schema::nsiColumnPrivilegesClick},
        {"nsiColumns", &Tfm_ADO_Schema::nsiColumnsClick},
        {"nsiIndexes", &Tfm_ADO_Schema::nsiIndexesClick},
        {"nsiKeyColumnUsage", &Tfm_ADO_Schema::nsiKeyColumnUsageClick},
        {"nsiSchemata", &Tfm_ADO_Schema::nsiSchemataClick},
        {"nsiPrimaryKeys", &Tfm_ADO_Schema::nsiPrimaryKeysClick},
        {"nsiProcedureParameters", &Tfm_ADO_Schema::nsiProcedureParametersClick},
        {"nsiProcedures", &Tfm_ADO_Schema::nsiProceduresClick},
        {"nsiProviderTypes", &Tfm_ADO_Schema::nsiProviderTypesClick},
        {"nsiStatistics", &Tfm_ADO_Schema::nsiStatisticsClick},
        {"nsiSQLLanguages", &Tfm_ADO_Schema::nsiSQLLanguagesClick},
        {"nsiTableConstraints_Total", &Tfm_ADO_Schema::nsiTableConstraints_TotalClick},
        {"nsiTableConstraints_OnlyOneTable", &Tfm_ADO_Schema::nsiTableConstraints_OnlyOneTableClick},
        {"nsiTablePrivileges", &Tfm_ADO_Schema::nsiTablePrivilegesClick},
        {"nsiTables_Ttotal", &Tfm_ADO_Schema::nsiTables_TtotalClick},
        {"nsiTables_Table", &Tfm_ADO_Schema::nsiTables_TableClick},
        {"nsiTables_View", &Tfm_ADO_Schema::nsiTables_ViewClick},
        {"nsiTables_SystemTable", &Tfm_ADO_Schema::nsiTables_SystemTableClick},
        {"nsiTranslations", &Tfm_ADO_Schema::nsiTranslationsClick},
        {"nsiViews_Total", &Tfm_ADO_Schema::nsiViews_TotalClick},
        {"nsiViews_Table", &Tfm_ADO_Schema::nsiViews_TableClick},
        {"nsiCheckConstraints", &Tfm_ADO_Schema::nsiCheckConstraintsClick},
    };
    for (const auto &[item, handler] : handlers)
        bind(menuItem(QString::fromLatin1(item)), handler);
    bind(nSaveToXML, &Tfm_ADO_Schema::nSaveToXMLClick);
    connect(&ADODataSet1, &data::Dataset::afterClose, this, &Tfm_ADO_Schema::ADODataSet1AfterClose);
}

} // namespace gui
