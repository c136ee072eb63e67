// The main menu, built from one table: every item with its caption, its parent, and
// whether it is shown and usable. Commands are attached to items by name afterwards.
#include "MainWindow.h"
#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace gui {

namespace {

struct MenuEntry {
    const char *name;    // nullptr for a separator
    const char *caption;
    const char *parent;  // nullptr for the menu bar
    bool visible = true;
    bool enabled = true;
};

constexpr bool kHidden = false;
constexpr bool kDisabled = false;

// In menu order. An entry that later entries name as their parent becomes a submenu.
const MenuEntry kMainMenu[] = {
    {"nFile", "檔案", nullptr},
    {"nReDefineADOConnectionString", "重新設定資料庫連接參數", "nFile"},
    {"nGetADOSelected", "取得資料庫參數設定檔", "nFile"},
    {"nADODisconnect", "資料庫離線", "nFile"},
    {"nADOConnect", "資料庫連接", "nFile"},
    {nullptr, nullptr, "nFile"},
    {"nSaveToXML", "將Schema資料集存成XML", "nFile"},
    {nullptr, nullptr, "nFile"},
    {"nADOVersion", "ADO 版本", "nFile"},
    {nullptr, nullptr, "nFile"},
    {"Close1", "結束", "nFile"},

    {"nSchema", "資料庫相關資訊", nullptr},
    {"nsiCatalogs", "資料庫集", "nSchema"},
    {"nsiColumnPrivileges", "欄位使用者權限", "nSchema"},
    {"nsiColumns", "欄位集", "nSchema"},
    {"nsiIndexes", "索引檔集", "nSchema"},
    {"nsiKeyColumnUsage", "鍵值欄位資料", "nSchema"},
    {"nsiSchemata", "資料庫概要", "nSchema"},
    {"nsiPrimaryKeys", "主鍵值欄位資料", "nSchema"},
    {"nsiProcedureParameters", "預儲程序參數", "nSchema"},
    {"nsiProcedures", "預儲程序", "nSchema"},
    {"nsiProviderTypes", "欄位型別資料", "nSchema"},
    {"nsiStatistics", "自定表格現有筆數", "nSchema"},
    {"nsiSQLLanguages", "資料庫使用語言", "nSchema", kHidden, kDisabled},
    {"nsiTableConstraints", "表格限制", "nSchema"},
    {"nsiTableConstraints_Total", "全部", "nsiTableConstraints"},
    {"nsiTableConstraints_OnlyOneTable", "指定表格", "nsiTableConstraints"},
    {"nsiTablePrivileges", "表格使用者權限", "nSchema"},
    {"nsiTables", "表格", "nSchema"},
    {"nsiTables_Ttotal", "全部", "nsiTables"},
    {"nsiTables_Table", "自定表格", "nsiTables"},
    {"nsiTables_View", "預視表格", "nsiTables"},
    {"nsiTables_SystemTable", "系統表格", "nsiTables"},
    {"nsiTranslations", "資料庫現有交易狀況", "nSchema", kHidden, kDisabled},
    {"nsiView", "預視表格資訊", "nSchema", kHidden, kDisabled},
    {"nsiViews_Total", "Total", "nsiView"},
    {"nsiViews_Table", "Table", "nsiView"},
    {"nsiCheckConstraints", "檢核", "nSchema"},
    {nullptr, nullptr, "nSchema"},
    {"N12", "儲存顯示設定", "nSchema"},

    {"nTools1", "工具", nullptr},
    {"nXML", "XML", "nTools1"},
    {"nSaveDataToXML", "XML資料集存成XML", "nXML"},
    {"nLoadDataFromXML", "由XML取得資料集", "nXML"},
    {"nCloseXMLDataSet", "關閉XML資料集", "nXML"},
    {nullptr, nullptr, "nXML"},
    {"XML2", "自定表格批次存成XML", "nXML"},
    {nullptr, nullptr, "nXML"},
    {"N8", "自定表格全選", "nXML"},
    {"N14", "清除自定表格選項", "nXML"},
    {nullptr, nullptr, "nTools1"},
    {"Excel1", "XML資料集存Excel格式檔", "nTools1"},
    {nullptr, nullptr, "nTools1"},
    {"nMSSQLServer", "MS SQL Server", "nTools1"},
    {"nReindexTable", "索引檔重整", "nMSSQLServer"},
    {"nShrinkDatabase", "壓縮資料庫", "nMSSQLServer"},
    {"BackupDatabase", "備份資料庫", "nMSSQLServer"},
    {nullptr, nullptr, "nMSSQLServer"},
    {"nCreateTable", "建立表格", "nMSSQLServer"},
    {nullptr, nullptr, "nTools1"},
    {"N10", "存資料集欄位顯示名稱至Ini", "nTools1"},

    {"XML1", "XML", nullptr},
    {"LoadFromFile1", "載入XML檔案", "XML1"},

    {"N13", "網路", nullptr},
    {"nGetNetName", "取得網路上的芳鄰", "N13"},
    {"nGetLogMSSQLUsers", "取得連上MS SQL 主機", "N13"},
    {"nBoardCast", "廣播", "N13"},
    {nullptr, nullptr, "N13"},
    {"nNetSaveToExcel", "網路資訊存成Excel", "N13"},
};

bool isParent(const char *name)
{
    for (const MenuEntry &e : kMainMenu)
        if (e.parent && qstrcmp(e.parent, name) == 0)
            return true;
    return false;
}

} // namespace

void Tfm_ADO_Schema::buildMainMenu()
{
    QMenuBar *bar = menuBar();
    for (const MenuEntry &e : kMainMenu) {
        QMenu *parentMenu = e.parent ? menus_.value(QString::fromUtf8(e.parent)) : nullptr;
        if (!e.name) {
            parentMenu->addSeparator();
            continue;
        }
        const QString name = QString::fromUtf8(e.name);
        // Captions are shown as written: no "&" mnemonics, no automatic accelerators.
        const QString caption = QString::fromUtf8(e.caption);
        QAction *action = nullptr;
        if (isParent(e.name)) {
            QMenu *menu = new QMenu(caption, this);
            menu->setObjectName(name);
            menus_.insert(name, menu);
            action = parentMenu ? parentMenu->addMenu(menu) : bar->addMenu(menu);
        } else {
            action = new QAction(caption, this);
            parentMenu->addAction(action);
        }
        action->setObjectName(name);
        action->setIconVisibleInMenu(false);
        action->setVisible(e.visible);
        action->setEnabled(e.enabled);
        menuItems_.insert(name, action);
        menuOrder_ << name;
    }
    nADOConnect = menuItems_.value(QStringLiteral("nADOConnect"));
    nADODisconnect = menuItems_.value(QStringLiteral("nADODisconnect"));
    nADOVersion = menuItems_.value(QStringLiteral("nADOVersion"));
    Close1 = menuItems_.value(QStringLiteral("Close1"));
    nSaveToXML = menuItems_.value(QStringLiteral("nSaveToXML"));
}

QAction *Tfm_ADO_Schema::menuItem(const QString &name) const
{
    return menuItems_.value(name);
}

QMenu *Tfm_ADO_Schema::menuOf(const QString &name) const
{
    return menus_.value(name);
}

} // namespace gui
