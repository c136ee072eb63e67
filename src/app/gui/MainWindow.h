#pragma once
// The program's one window: six pages, the main menu, the status bar and the connection
// everything works on. Handlers stay thin; the table list and the SQL page keep their
// behaviour in their own classes (TableList.h, SqlPageRunner.h).
#include "components/wSeek.h"
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "exchange/XmlDocument.h"
#include "platform/UiServices.h"
#include "profiles/ADOConnectionINI.h"
#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QTreeWidget;

namespace components { class TwDBGrid; class TwDSelect; }
namespace network { class DiscoveryBackend; }

namespace gui {

class FillWatch;
class CommandWatch;
class SqlPageRunner;
class TableList;
class TableListBox;

// Thrown to end a command quietly once it has told the user why (a validation message).
struct SilentAbort {};

class Tfm_ADO_Schema : public QMainWindow {
    Q_OBJECT
public:
    explicit Tfm_ADO_Schema(QWidget *parent = nullptr);
    ~Tfm_ADO_Schema() override;

    // Runs one command: any error it does not catch itself ends it and is shown in an
    // error box (stop icon, the error's own text); a SilentAbort ends it quietly.
    void runCommand(const std::function<void()> &command);

    // Status bar panel text (0 source, 1 database, 2 state, 3 hint, 4 rowset description).
    QString panelText(int index) const;
    void setPanelText(int index, const QString &text);
    int panelWidth(int index) const;
    // Menu items by name ("nADOConnect", "nsiColumns", ...); nullptr for an unknown name.
    QAction *menuItem(const QString &name) const;
    QMenu *menuOf(const QString &name) const;
    const QStringList &menuItemNames() const { return menuOrder_; }

    // Brings a page to front from code: the page-hint handlers do not run.
    void showPage(int index);

    // --- controls ------------------------------------------------------------------------
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr,
            *TabSheet4 = nullptr, *TabSheet5 = nullptr, *TabSheet6 = nullptr;
    QPushButton *btnADOConnection = nullptr;
    QPushButton *btnGetTableName = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    TableListBox *lbxTableName = nullptr;
    QListWidget *lbxFieldName = nullptr;
    QListWidget *lbxIndexFile = nullptr;
    QCheckBox *cbxOpenDataSet = nullptr;
    components::TwDBGrid *DBGrid1 = nullptr; // Schema grid, page 2
    components::TwDBGrid *DBGrid2 = nullptr; // XML grid, page 4
    QTextEdit *redSQLText = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *btnRun = nullptr;
    QWidget *Panel2 = nullptr;
    QPushButton *btnSelectAll = nullptr, *btnClearAll = nullptr;
    QLineEdit *edBoardCastMSG = nullptr;
    QGroupBox *gbxNet = nullptr;
    QTreeWidget *tvNet = nullptr;
    QAction *nADOConnect = nullptr, *nADODisconnect = nullptr, *nADOVersion = nullptr,
            *Close1 = nullptr, *nSaveToXML = nullptr;

    // --- components ----------------------------------------------------------------------
    data::Connection ADOConnection1;
    profiles::TADOConnectionINI ADOConnectionINI1; // the connection profiles
    data::Dataset ADODataSet1;  // the Schema dataset
    data::Dataset ADODXML;      // the XML dataset
    data::CommandQuery adotqCommand;
    data::Command ADOCommand;
    components::TwDSelect *wDSelect1 = nullptr; // the record picker, with its stored settings
    platform::FileDialogRequest SaveDialog1;
    platform::FileDialogRequest OpenDialog1;
    components::TwSeek wSeek1;  // seeks in ADODXML, started by F10 in DBGrid2
    exchange::XmlDocument XMLD; // the file last parsed by "載入XML檔案"

    // --- private state (public for the handlers of later features and for tests) --------
    QString FDatabaseName;
    QString FSchemaIniFile;
    QString FSchemaKey;
    bool FXMLFromTable = false;
    std::unique_ptr<QStringList> FScriptLines;
    quint8 FNetTreeMode = 0;

    // Precondition of the schema commands and the SQL page: returns when connected,
    // otherwise tells the user, shows page 0 and ends the command (SilentAbort).
    void CheckConnected();

    TableList &tableList() { return *tableList_; }

    // --- handlers ------------------------------------------------------------------------
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void nADOConnectClick();
    void nADODisconnectClick();
    void nADOVersionClick();
    void Close1Click();
    void ADOConnection1AfterConnect();
    void ADOConnection1AfterDisconnect();
    void DataSource1StateChange();
    void ADODXMLAfterClose();
    // Grid display settings (column visibility of DBGrid1, labels of DBGrid2).
    void N12Click();
    void DBGrid1DblClick();
    void ADODXMLAfterOpen();
    void N10Click();
    void DBGrid2DblClick();
    void PageControl1Changing();
    void PageControl1Change();
    void btnGetTableNameClick();
    void lbxTableNameDblClick();
    void lbxTableNameClick();
    void btnRunClick();

    // Schema menu (SchemaCommands.cpp): each handler runs its row of the command table.
    void nsiCatalogsClick();
    void nsiColumnPrivilegesClick();
    void nsiColumnsClick();
    void nsiIndexesClick();
    void nsiKeyColumnUsageClick();
    void nsiSchemataClick();
    void nsiPrimaryKeysClick();
    void nsiProcedureParametersClick();
    void nsiProceduresClick();
    void nsiProviderTypesClick();
    void nsiStatisticsClick();
    void nsiSQLLanguagesClick();
    void nsiTableConstraints_TotalClick();
    void nsiTableConstraints_OnlyOneTableClick();
    void nsiTablePrivilegesClick();
    void nsiTables_TtotalClick();
    void nsiTables_TableClick();
    void nsiTables_ViewClick();
    void nsiTables_SystemTableClick();
    void nsiTranslationsClick();
    void nsiViews_TotalClick();
    void nsiViews_TableClick();
    void nsiCheckConstraintsClick();
    void nSaveToXMLClick();
    void ADODataSet1AfterClose();

    // MS SQL Server submenu (MaintenanceCommands.cpp).
    void nReindexTableClick();
    void nShrinkDatabaseClick();
    void BackupDatabaseClick();
    void nCreateTableClick();

    // XML page (XmlPageCommands.cpp) and batch export of tables (BatchExportCommands.cpp).
    void nSaveDataToXMLClick();
    void nLoadDataFromXMLClick();
    void nCloseXMLDataSetClick();
    void Excel1Click();
    void LoadFromFile1Click();
    void DBGrid2KeyDown(int &key, Qt::KeyboardModifiers shift);
    void XML2Click();
    void N8Click();
    void N14Click();

    // Each shows its message and returns false when the list has no current entry.
    bool CheckTableSelected();
    bool CheckFieldSelected();
    bool CheckIndexSelected();
    // Shows the rowset just opened in DBGrid1: 110-pixel columns, caption, panel 4.
    void ShowSchemaRowset(const QString &name, const QString &status, bool toSchemaPage);
    void SetCheckConstraintsEnabled(bool value);
    // Runs the schema command of a menu item ("nsiColumns").
    void runSchemaCommand(const char *item);

    // Network page (NetworkCommands.cpp).
    void nGetNetNameClick();
    void nGetLogMSSQLUsersClick();
    void nBoardCastClick();
    void btnSelectAllClick();
    void btnClearAllClick();
    void nNetSaveToExcelClick();
    // The network the page asks (not owned); nullptr: the system's own discovery.
    void setNetDiscovery(network::DiscoveryBackend *discovery);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createPages();
    void createTableNamesPage();
    void createIndexPage();
    void createGridPages(); // the Schema and XML pages
    void createSqlPage();
    void createNetworkPage();
    void createStatusBar();
    void createRecordPicker(); // RecordPickerSetup.cpp
    void buildMainMenu();          // MainMenu.cpp
    void bindHandlers();
    // Connection profiles (ProfileCommands.cpp).
    void bindProfileCommands();
    void ProfileStart();
    void ProfileTail();
    void TellProfileProblem(); // ProfileCommands.cpp
    void UpdateProviderMenus();
    void nReDefineADOConnectionStringClick();
    void nGetADOSelectedClick();
    void bindSchemaCommands();     // SchemaCommands.cpp
    void bindGridSettings();       // GridSettingsHandlers.cpp
    void bindMaintenanceCommands(); // MaintenanceCommands.cpp
    void bindXmlPageCommands();    // XmlPageCommands.cpp
    void bindBatchExportCommands(); // BatchExportCommands.cpp
    void bindNetworkCommands();    // NetworkCommands.cpp
    network::DiscoveryBackend &netDiscovery() const;
    void bind(QAction *action, void (Tfm_ADO_Schema::*handler)());

    QList<QLabel *> panels_;
    QHash<QString, QAction *> menuItems_;
    QHash<QString, QMenu *> menus_;
    QStringList menuOrder_;
    std::unique_ptr<TableList> tableList_;
    std::unique_ptr<SqlPageRunner> sqlRunner_;
    std::unique_ptr<FillWatch> fillWatch_; // the XML dataset's background fill in panel 3
    std::unique_ptr<CommandWatch> commandWatch_; // long calls on ADOConnection1, stoppable
    bool pageChangeFromCode_ = false;
    network::DiscoveryBackend *netDiscovery_ = nullptr;
};

} // namespace gui

using gui::Tfm_ADO_Schema;
