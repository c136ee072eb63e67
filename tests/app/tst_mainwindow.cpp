// The main window driven through its real widgets (offscreen), on a fresh copy of the
// demo database: connection commands, status bar, page hints, the table list, the SQL
// page and the error box of uncaught errors.
#include "platform/CommonUtils.h"
#include "components/wDBGrid.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableList.h"
#include "app/gui/TableListBox.h"
#include "data/core/DatabaseError.h"
#include "support/DemoDatabase.h"
#include "support/GuiDriver.h"
#include "support/ListTexts.h"
#include "support/ScriptedUi.h"
#include "support/SqliteScript.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <memory>
#include <set>
#include <sqlite3.h>

using testsupport::ScriptedUiScope;
using testsupport::asSet;
using testsupport::itemsOf;
using testsupport::sqliteColumn;

namespace {

const QString kOnline = QStringLiteral("[資料庫連線中]");
const QString kOffline = QStringLiteral("[資料庫離線中]");
const QString kConnectCaption = QStringLiteral("資料庫連接    ");
const QString kDisconnectCaption = QStringLiteral("資料庫離線    ");
const QString kTableHint = QStringLiteral("自定表格名稱內滑鼠左鍵連按二次, 可取得表格欄位, 索引檔");
const QString kNotConnected = QStringLiteral("資料庫未連接!!");
const QString kNothingRun = QStringLiteral("沒有指令執行!!");

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    QString connectionString() const { return QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile; }
    void clickItem(QListWidget *list, int row)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    void doubleClickItem(QListWidget *list, int row)
    {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    int rowOf(const QString &table) const
    {
        const auto found = w->lbxTableName->findItems(table, Qt::MatchExactly);
        return found.isEmpty() ? -1 : w->lbxTableName->row(found.first());
    }
    void clickTab(int index)
    {
        QTabBar *bar = w->PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void fetchTables()
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->lbxTableName->count() > 0);
    }
    QStringList messages() const { return ui.messageTexts(); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("demo.db"));
        // One more table whose name needs quoting in SQL: it cannot be opened by a click.
        const QString failure =
            testsupport::demoDatabaseError(dbFile, "\nCREATE TABLE \"order items\" (id INTEGER);\n");
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void init()
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(connectionString());
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    // ---- the window ------------------------------------------------------------------

    void windowAtStart()
    {
        const auto v = GetVersionParts();
        QCOMPARE(w->windowTitle(), QStringLiteral("fm_ADO_Schema：Version:%1.%2 Release:%3 Build:%4")
                                       .arg(v[0], v[1], v[2], v[3]));
        const QStringList pages{"表格名稱及欄位名稱", "索引檔", "Schema資料集", "SQL語法", "XML資料集", "網路"};
        QCOMPARE(w->PageControl1->count(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(w->PageControl1->tabText(i), pages[i]);
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        const QStringList panels{"來源：", "資料庫：", kOffline, "", ""};
        const int widths[] = {150, 180, 105, 450, 50};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(w->panelText(i), panels[i]);
            QCOMPARE(w->panelWidth(i), widths[i]);
        }
        QCOMPARE(w->btnADOConnection->text(), kConnectCaption);
        QCOMPARE(w->btnGetTableName->text(), QStringLiteral("取得自定表格　"));
        QVERIFY(!w->cbxOpenDataSet->isChecked());
        QCOMPARE(w->cbxOpenDataSet->text(), QStringLiteral("點選自定表格名稱時是否開啟"));
        QCOMPARE(w->lbxTableName->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w->lbxFieldName->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(w->FSchemaIniFile.endsWith(QStringLiteral("ADO_OpenSchema.Ini")));
        QCOMPARE(w->SaveDialog1.filter, QStringLiteral("XML|*.xml"));
        QVERIFY(w->SaveDialog1.confirmOverwrite);
        QCOMPARE(w->SaveDialog1.initialDir, QCoreApplication::applicationDirPath());
        QVERIFY(w->FScriptLines);
        QVERIFY(!w->ADOConnection1.Connected());
        QVERIFY(w->nSaveToXML->isEnabled());
    }

    void formShowLayout()
    {
        const int width = w->width();
        const int listWidth = RoundToInt((width - 60) / 2.0);
        QCOMPARE(w->lbxTableName->width(), listWidth);
        QCOMPARE(w->lbxFieldName->width(), listWidth);
        QCOMPARE(w->lbxFieldName->x(), listWidth + 30);
        QCOMPARE(w->Label2->x(), listWidth + 30);
        QCOMPARE(w->btnRun->x(), listWidth);
        QCOMPARE(w->lbxTableName->height(),
                 w->TabSheet1->height() - (w->Label1->y() + w->Label1->height() + 10));
    }

    void mainMenu()
    {
        const QStringList expected{
            "nFile", "nReDefineADOConnectionString", "nGetADOSelected", "nADODisconnect",
            "nADOConnect", "nSaveToXML", "nADOVersion", "Close1",
            "nSchema", "nsiCatalogs", "nsiColumnPrivileges", "nsiColumns", "nsiIndexes",
            "nsiKeyColumnUsage", "nsiSchemata", "nsiPrimaryKeys", "nsiProcedureParameters",
            "nsiProcedures", "nsiProviderTypes", "nsiStatistics", "nsiSQLLanguages",
            "nsiTableConstraints", "nsiTableConstraints_Total", "nsiTableConstraints_OnlyOneTable",
            "nsiTablePrivileges", "nsiTables", "nsiTables_Ttotal", "nsiTables_Table", "nsiTables_View",
            "nsiTables_SystemTable", "nsiTranslations", "nsiView", "nsiViews_Total", "nsiViews_Table",
            "nsiCheckConstraints", "N12",
            "nTools1", "nXML", "nSaveDataToXML", "nLoadDataFromXML", "nCloseXMLDataSet", "XML2", "N8",
            "N14", "Excel1", "nMSSQLServer", "nReindexTable", "nShrinkDatabase", "BackupDatabase",
            "nCreateTable", "N10", "XML1", "LoadFromFile1", "N13", "nGetNetName",
            "nGetLogMSSQLUsers", "nBoardCast", "nNetSaveToExcel"};
        QCOMPARE(w->menuItemNames(), expected);

        // Menu bar and the File menu as the user sees them, separators included ("-").
        QStringList bar;
        for (QAction *a : w->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{"檔案", "資料庫相關資訊", "工具", "XML", "網路"}));
        auto shown = [this](const QString &menu) {
            QStringList out;
            for (QAction *a : w->menuOf(menu)->actions())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text());
            return out;
        };
        QCOMPARE(shown("nFile"), (QStringList{"重新設定資料庫連接參數", "取得資料庫參數設定檔", "資料庫離線",
                                              "資料庫連接", "-", "將Schema資料集存成XML", "-", "ADO 版本",
                                              "-", "結束"}));
        QCOMPARE(shown("nXML"), (QStringList{"XML資料集存成XML", "由XML取得資料集", "關閉XML資料集", "-",
                                             "自定表格批次存成XML", "-", "自定表格全選", "清除自定表格選項"}));
        QCOMPARE(shown("nTools1"), (QStringList{"XML", "-", "XML資料集存Excel格式檔", "-", "MS SQL Server",
                                                "-", "存資料集欄位顯示名稱至Ini"}));
        QCOMPARE(shown("nMSSQLServer"), (QStringList{"索引檔重整", "壓縮資料庫", "備份資料庫", "-", "建立表格"}));
        QCOMPARE(shown("N13"), (QStringList{"取得網路上的芳鄰", "取得連上MS SQL 主機", "廣播", "-",
                                            "網路資訊存成Excel"}));
        const QStringList schema = shown("nSchema");
        QCOMPARE(schema.mid(schema.size() - 3), (QStringList{"檢核", "-", "儲存顯示設定"}));
        QCOMPARE(w->menuItem("nsiTables_SystemTable")->text(), QStringLiteral("系統表格"));
        QCOMPARE(w->menuItem("nsiTableConstraints_OnlyOneTable")->text(), QStringLiteral("指定表格"));
        for (const char *hidden : {"nsiSQLLanguages", "nsiTranslations", "nsiView"}) {
            QVERIFY2(!w->menuItem(hidden)->isVisible(), hidden);
            QVERIFY2(!w->menuItem(hidden)->isEnabled(), hidden);
        }
        QVERIFY(w->menuItem("nsiCheckConstraints")->isEnabled());
        for (const QString &name : expected)
            QVERIFY2(!w->menuItem(name)->text().contains('&') && w->menuItem(name)->shortcut().isEmpty(),
                     qPrintable(name));
    }

    void adoVersion()
    {
        w->nADOVersion->trigger();
        QCOMPARE(messages(), QStringList{QStringLiteral("ADO 版本：") + w->ADOConnection1.Version()});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
    }

    // ---- connection commands ---------------------------------------------------------

    void connectAndDisconnect_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("menu 資料庫連接") << false;
        QTest::newRow("button on page 0") << true;
    }
    void connectAndDisconnect()
    {
        QFETCH(bool, byButton);
        auto toggle = [&] {
            if (byButton)
                QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
            else
                w->nADOConnect->trigger();
        };
        toggle();
        QVERIFY(w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOnline);
        QCOMPARE(w->btnADOConnection->text(), kDisconnectCaption);
        QCOMPARE(w->FDatabaseName, w->ADOConnection1.DefaultDatabase());
        QCOMPARE(w->FDatabaseName, QStringLiteral("demo")); // the SQLite file's base name
        // The same command closes an open connection.
        toggle();
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOffline);
        QCOMPARE(w->btnADOConnection->text(), kConnectCaption);
        QCOMPARE(w->FDatabaseName, QStringLiteral("demo")); // kept after closing
        QVERIFY(messages().isEmpty());
    }

    void disconnectCommand()
    {
        w->nADODisconnect->trigger(); // offline: nothing happens, nothing is shown
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOffline);
        w->nADOConnect->trigger();
        QVERIFY(w->ADOConnection1.Connected());
        w->nADODisconnect->trigger();
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOffline);
        QCOMPARE(w->btnADOConnection->text(), kConnectCaption);
        QVERIFY(messages().isEmpty());
    }

    void listsEmptiedOnClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << "button";
        QTest::newRow("menu 資料庫連接") << "connect";
        QTest::newRow("menu 資料庫離線") << "disconnect";
        QTest::newRow("closing the window") << "close";
    }
    void listsEmptiedOnClose()
    {
        QFETCH(QString, how);
        fetchTables();
        const int row = rowOf(QStringLiteral("客戶"));
        QVERIFY(row >= 0);
        doubleClickItem(w->lbxTableName, row);
        QVERIFY(w->lbxFieldName->count() > 0);
        QVERIFY(w->lbxIndexFile->count() > 0);
        if (how == "button")
            QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        else if (how == "connect")
            w->nADOConnect->trigger();
        else if (how == "disconnect")
            w->nADODisconnect->trigger();
        else
            w->close();
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOffline);
        for (QListWidget *list : {static_cast<QListWidget *>(w->lbxTableName), w->lbxFieldName, w->lbxIndexFile}) {
            QCOMPARE(list->count(), 0);
            QCOMPARE(list->currentRow(), -1);
        }
        QVERIFY(!w->tableList().hasCurrentTable());
    }

    // ---- errors ----------------------------------------------------------------------

    void failingConnectShowsError()
    {
        const QString bad = QStringLiteral("Provider=SQLite.1;Data Source=") +
                            dir.filePath(QStringLiteral("no/such/folder/x.db"));
        QString expected;
        try {
            data::Connection probe;
            probe.setConnectionString(bad);
            probe.Open();
        } catch (const data::DatabaseError &e) {
            expected = e.message();
        }
        QVERIFY(!expected.isEmpty());
        w->ADOConnection1.setConnectionString(bad);
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QCOMPARE(ui.lastMessage().text, expected);
        QCOMPARE(w->panelText(2), kOffline);
        QCOMPARE(w->btnADOConnection->text(), kConnectCaption);
        // Fetching the table list fails the same way and leaves the list as it was.
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 2);
        QCOMPARE(w->lbxTableName->count(), 0);
        // The window stays usable.
        w->ADOConnection1.setConnectionString(connectionString());
        w->nADOConnect->trigger();
        QCOMPARE(w->panelText(2), kOnline);
    }

    void failingSelectShowsError()
    {
        w->nADOConnect->trigger();
        w->showPage(3);
        w->redSQLText->setPlainText(QStringLiteral("select * from 不存在的表格"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY(ui.lastMessage().text.contains(QStringLiteral("不存在的表格")));
        QVERIFY(!w->ADODXML.Active());
        QCOMPARE(w->PageControl1->currentIndex(), 3);
        // A good select still works afterwards.
        w->redSQLText->setPlainText(QStringLiteral("select * from 地區"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY(w->ADODXML.Active());
    }

    // The click quotes the name for the database (more names: tst_hostile_names).
    void tableNeedingQuotesOpensByClick()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickItem(w->lbxTableName, rowOf(QStringLiteral("地區")));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("地區"));
        clickItem(w->lbxTableName, rowOf(QStringLiteral("order items")));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(messages().join('\n')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.FieldNames(), QStringList{QStringLiteral("id")});
        QVERIFY(w->FXMLFromTable);
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("order items"));
    }

    // ---- page hints and CheckConnected ---------------------------------------------

    void pageHints()
    {
        clickTab(1);
        clickTab(0);
        QCOMPARE(w->panelText(3), QString()); // empty table list
        clickTab(2);
        QCOMPARE(w->panelText(3), QStringLiteral("在資料集內滑鼠左鍵連按二次, 可設定欄位是否顯示"));
        clickTab(3);
        QCOMPARE(w->panelText(3), QString());
        clickTab(4);
        QCOMPARE(w->panelText(3), QStringLiteral("在資料集內滑鼠左鍵連按二次, 可設定欄位顯示名稱"));
        clickTab(5);
        QCOMPARE(w->panelText(3), QString());
        clickTab(0);
        fetchTables();
        QCOMPARE(w->panelText(3), kTableHint);
        clickTab(1);
        QCOMPARE(w->panelText(3), QString());
        clickTab(0);
        QCOMPARE(w->panelText(3), kTableHint);
        // Switching from code does not touch the hint.
        w->showPage(2);
        QCOMPARE(w->panelText(3), kTableHint);
    }

    void checkConnectedFromAnotherPage()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        clickTab(2);
        clickTab(3);
        w->redSQLText->setPlainText(QStringLiteral("select * from 地區"));
        w->setPanelText(3, QStringLiteral("x"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QCOMPARE(messages(), QStringList{kNotConnected});
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::None);
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(w->panelText(3), QString());
        QVERIFY(w->btnGetTableName->hasFocus());
        QVERIFY(!w->ADOConnection1.Connected());
        QVERIFY(!w->ADODXML.Active());
        QCOMPARE(w->redSQLText->toPlainText(), QStringLiteral("select * from 地區"));
    }

    void checkConnectedClosesSchemaDataset()
    {
        w->nADOConnect->trigger();
        w->ADOConnection1.OpenSchema(QStringLiteral("TABLES"), nullptr, w->ADODataSet1);
        QVERIFY(w->ADODataSet1.Active());
        QVERIFY(w->nSaveToXML->isEnabled());
        w->redSQLText->setPlainText(QStringLiteral("delete from 地區"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QVERIFY(!w->ADODataSet1.Active());
        // DataSource1StateChange: closed Schema dataset, nothing to save.
        QVERIFY(!w->nSaveToXML->isEnabled());
        w->ADOConnection1.OpenSchema(QStringLiteral("TABLES"), nullptr, w->ADODataSet1);
        QVERIFY(w->nSaveToXML->isEnabled());
        QCOMPARE(w->DBGrid1->model()->rowCount(), w->ADODataSet1.RecordCount());
    }

    // ---- the table list --------------------------------------------------------------

    void fetchingTablesWhileOfflineConnects()
    {
        QVERIFY(!w->ADOConnection1.Connected());
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), kOnline);
        QCOMPARE(w->btnADOConnection->text(), kDisconnectCaption);
        QCOMPARE(w->panelText(3), kTableHint);
        QVERIFY(w->lbxTableName->count() > 0);
        // Untouched: the first entry is current, nothing is selected.
        QCOMPARE(w->lbxTableName->currentRow(), 0);
        QVERIFY(w->lbxTableName->selectedItems().isEmpty());
        QCOMPARE(w->lbxFieldName->count(), 0);
        QVERIFY(messages().isEmpty());
    }

    void demoListsMatchTheDatabase()
    {
        fetchTables();
        const QStringList tables = itemsOf(w->lbxTableName);
        QCOMPARE(asSet(tables), asSet(sqliteColumn(dbFile, QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"))));
        QVERIFY(tables.contains(QStringLiteral("訂單總額"))); // the view is listed too
        for (int row = 0; row < tables.size(); ++row) {
            const QString table = tables[row];
            w->lbxTableName->scrollToItem(w->lbxTableName->item(row));
            doubleClickItem(w->lbxTableName, row);
            QCOMPARE(w->tableList().currentTable(), table);
            QCOMPARE(itemsOf(w->lbxFieldName),
                     sqliteColumn(dbFile, QStringLiteral("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(table)));
            QCOMPARE(asSet(itemsOf(w->lbxIndexFile)),
                     asSet(sqliteColumn(dbFile, QStringLiteral("SELECT name FROM pragma_index_list('%1')").arg(table))));
            QCOMPARE(w->lbxFieldName->currentRow(), 0);
            QCOMPARE(w->lbxIndexFile->currentRow(), w->lbxIndexFile->count() > 0 ? 0 : -1);
        }
        // No page was brought to front.
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QVERIFY(messages().isEmpty());
    }

    void doubleClickTableWithoutIndexes()
    {
        fetchTables();
        doubleClickItem(w->lbxTableName, rowOf(QStringLiteral("客戶")));
        QVERIFY(w->lbxIndexFile->count() > 0);
        doubleClickItem(w->lbxTableName, rowOf(QStringLiteral("地區")));
        QCOMPARE(itemsOf(w->lbxFieldName), (QStringList{"地區代碼", "地區名稱"}));
        QCOMPARE(w->lbxIndexFile->count(), 0);
        QCOMPARE(w->lbxIndexFile->currentRow(), -1);
        QCOMPARE(w->tableList().indexTableName(), QStringLiteral("地區"));
    }

    void doubleClickOnEmptyListDoesNothing()
    {
        QTest::mouseDClick(w->lbxTableName->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(w->lbxFieldName->count(), 0);
        QVERIFY(!w->ADOConnection1.Connected());
        QVERIFY(messages().isEmpty());
    }

    void currentTableIsNotTheFieldListsTable()
    {
        fetchTables();
        const int a = rowOf(QStringLiteral("客戶"));
        const int b = rowOf(QStringLiteral("訂單"));
        doubleClickItem(w->lbxTableName, a);
        const QStringList fieldsOfA = itemsOf(w->lbxFieldName);
        const QStringList indexesOfA = itemsOf(w->lbxIndexFile);
        clickItem(w->lbxTableName, b);
        QCOMPARE(w->tableList().currentTable(), QStringLiteral("訂單"));
        QCOMPARE(itemsOf(w->lbxFieldName), fieldsOfA);
        QCOMPARE(itemsOf(w->lbxIndexFile), indexesOfA);
        QCOMPARE(w->tableList().indexTableName(), QStringLiteral("客戶"));
        // Box unticked: clicks move the current entry only.
        QVERIFY(!w->ADODXML.Active());
    }

    void currentEntryIsDistinctFromSelection()
    {
        fetchTables();
        clickItem(w->lbxTableName, 0);
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          w->lbxTableName->visualItemRect(w->lbxTableName->item(2)).center());
        QCOMPARE(w->lbxTableName->selectedItems().size(), 2);
        // Ctrl+click on a selected entry deselects it but makes it current.
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          w->lbxTableName->visualItemRect(w->lbxTableName->item(2)).center());
        QCOMPARE(w->lbxTableName->currentRow(), 2);
        QVERIFY(!w->lbxTableName->item(2)->isSelected());
        QCOMPARE(w->tableList().currentTable(), w->lbxTableName->item(2)->text());
    }

    void openOnClickFollowsKeyboardMoves()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        const QStringList tables = itemsOf(w->lbxTableName);
        const int first = rowOf(QStringLiteral("地區"));
        QVERIFY(first >= 0 && first + 2 < tables.size());
        clickItem(w->lbxTableName, first);
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.CommandText(), QStringLiteral("Select * From \"地區\""));
        QCOMPARE(w->DBGrid2->Caption(), tables[first]);
        QVERIFY(w->FXMLFromTable);
        QCOMPARE(w->DBGrid2->model()->rowCount(), w->ADODXML.RecordCount());
        QCOMPARE(drive::focused(), static_cast<QWidget *>(w->lbxTableName));
        for (int row = first + 1; row < first + 3; ++row) {
            drive::press(Qt::Key_Down);
            QCOMPARE(w->ADODXML.CommandText(), QStringLiteral("Select * From \"") + tables[row] + QLatin1Char('"'));
            QCOMPARE(w->DBGrid2->Caption(), tables[row]);
            QVERIFY(w->ADODXML.Active());
        }
        QCOMPARE(w->PageControl1->currentIndex(), 0); // the XML page stays behind
        // A double click both opens the rows and fills the lists.
        const int orders = rowOf(QStringLiteral("訂單"));
        doubleClickItem(w->lbxTableName, orders);
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("訂單"));
        QVERIFY(w->lbxFieldName->count() > 0);
        QVERIFY(messages().isEmpty());
    }

    void keyboardMovesWithBoxUnticked()
    {
        fetchTables();
        clickItem(w->lbxTableName, 0);
        QCOMPARE(drive::focused(), static_cast<QWidget *>(w->lbxTableName));
        drive::press(Qt::Key_Down);
        QCOMPARE(w->lbxTableName->currentRow(), 1);
        QVERIFY(!w->ADODXML.Active());
        QVERIFY(!w->FXMLFromTable);
    }

    // ---- the SQL page ------------------------------------------------------------------

    void sqlPage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outcome"); // refused, executed, opened
        QTest::addColumn<int>("regionRowsAfter");
        QTest::newRow("insert-select runs as insert")
            << "insert into 地區 select * from 地區 where 地區代碼 = '01'" << "executed" << 13;
        QTest::newRow("update") << "update 地區 set 地區名稱 = 'x' where 地區代碼 = '02'" << "executed" << 12;
        QTest::newRow("leading blanks, upper case select") << "  SELECT * FROM 地區" << "opened" << 12;
        QTest::newRow("select on two lines") << "select *\nfrom 地區" << "opened" << 12;
        QTest::newRow("select only in a comment") << "/* select */ values (1)" << "opened" << 12;
        QTest::newRow("delete") << "delete from 地區" << "refused" << 12;
        QTest::newRow("exec") << "exec sp_who" << "refused" << 12;
        QTest::newRow("empty") << "" << "refused" << 12;
    }
    void sqlPage()
    {
        QFETCH(QString, text);
        QFETCH(QString, outcome);
        QFETCH(int, regionRowsAfter);
        // Work on a copy so the data-driven rows do not see each other's changes.
        QTemporaryDir own;
        const QString copy = own.filePath(QStringLiteral("demo.db"));
        QVERIFY(QFile::copy(dbFile, copy));
        w->ADOConnection1.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + copy);
        w->nADOConnect->trigger();
        w->FXMLFromTable = true;
        w->showPage(3);
        w->redSQLText->setPlainText(text);
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        if (outcome == "refused") {
            QCOMPARE(messages(), QStringList{kNothingRun});
            QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        } else {
            QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        }
        QCOMPARE(w->ADODXML.Active(), outcome == "opened");
        QCOMPARE(w->PageControl1->currentIndex(), outcome == "opened" ? 4 : 3);
        QCOMPARE(w->FXMLFromTable, outcome != "opened" ? true : false);
        if (outcome == "opened")
            QCOMPARE(w->DBGrid2->model()->rowCount(), w->ADODXML.RecordCount());
        QCOMPARE(w->redSQLText->toPlainText(), text);
        w->nADODisconnect->trigger();
        QCOMPARE(sqliteColumn(copy, QStringLiteral("SELECT count(*) FROM 地區")),
                 QStringList{QString::number(regionRowsAfter)});
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
