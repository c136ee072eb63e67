// The MS SQL Server submenu of the real window against the scripted TDS peer (unixODBC +
// FreeTDS, the path a real server takes): the exact batches each command sends, scripted
// failures per statement, the messages, panel 3 (painted before every statement, checked
// on what the window system holds while the statement runs), the database left current
// and the script file on disk.
#include "platform/CommonUtils.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "maintenance/MaintenanceMessages.h"
#include "support/GuiDriver.h"
#include "support/MainWindowUnderTest.h"
#include "support/ScriptedUi.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <QToolButton>
#include <QTimer>
#include <memory>
#include <mutex>

using tds::Column;
using tds::ColumnType;
using tds::Reply;

namespace {

const QString kCatalogsNotOpen = QStringLiteral("[資料庫相關資訊]->資料庫集 是否已開啟!!");
const QString kCrLf = QStringLiteral("\r\n");

Column text(const char *name, int size = 128)
{
    return Column{QString::fromUtf8(name), ColumnType::NVarChar, size};
}

Column integer(const char *name)
{
    return Column{QString::fromUtf8(name), ColumnType::Int};
}

Reply serverError(const QString &message)
{
    return Reply::error(2501, 16, 1, message);
}

// Hostile table names with the text SQL Server must receive for each: the bracketed name
// inside the rebuild's literal, and sp_columns' exact pattern.
struct HostileTable {
    const char *row;
    QString name;
    QString reindexArgument; // N'[dbo].[...]' as sent
    QString columnsPattern;  // N'...' as sent
    QString scriptHead;      // first line of the script
};

const QList<HostileTable> &hostileTables()
{
    static const QList<HostileTable> tables = {
        {"blank", "a b", "N'[dbo].[a b]'", "N'a b'", "CREATE TABLE [a b]"},
        {"quote", "O'Brien", "N'[dbo].[O''Brien]'", "N'O''Brien'", "CREATE TABLE [O'Brien]"},
        {"semicolon", "t;DELETE FROM victim", "N'[dbo].[t;DELETE FROM victim]'", "N't;DELETE FROM victim'",
         "CREATE TABLE [t;DELETE FROM victim]"},
        {"bracket", "a]b", "N'[dbo].[a]]b]'", "N'a]b'", "CREATE TABLE [a]]b]"},
        {"underscore", "a_b", "N'[dbo].[a_b]'", "N'a[_]b'", "CREATE TABLE a_b"},
        {"everything", "it's ]_%; DROP TABLE victim --", "N'[dbo].[it''s ]]_%; DROP TABLE victim --]'",
         "N'it''s ][_][%]; DROP TABLE victim --'", "CREATE TABLE [it's ]]_%; DROP TABLE victim --]"},
        {"variable", "@v", "N'[dbo].[@v]'", "N'@v'", "CREATE TABLE [@v]"},
        {"temporary", "#t", "N'[dbo].[#t]'", "N'#t'", "CREATE TABLE [#t]"},
        {"outside code page 950", "客戶 资料", "N'[dbo].[客戶 资料]'", "N'客戶 资料'", "CREATE TABLE [客戶 资料]"},
    };
    return tables;
}

// sp_tables rows for the table list: name and type.
Reply tableList(const QList<std::pair<QString, QString>> &tables)
{
    QList<QVariantList> rows;
    for (const auto &[name, type] : tables)
        rows << QVariantList{"shop", "dbo", name, type, QVariant()};
    return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("TABLE_TYPE", 32),
                        text("REMARKS", 254)},
                       rows);
}

// sp_tables @table_qualifier='%': one row per database.
Reply catalogList(const QStringList &databases)
{
    QList<QVariantList> rows;
    for (const QString &name : databases)
        rows << QVariantList{name, QVariant(), QVariant(), QVariant(), QVariant()};
    return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("TABLE_TYPE", 32),
                        text("REMARKS", 254)},
                       rows);
}

// sysfiles: the file name column is nchar(260), padded with blanks.
Reply sysfiles(const QString &database, const QString &firstFile)
{
    Reply r = Reply::rows({Column{QStringLiteral("fileid"), ColumnType::Int}, text("name"), text("filename", 260)},
                          {{1, database, firstFile.leftJustified(260)},
                           {2, database + QStringLiteral("_log"), QStringLiteral("L:\\Logs\\x_log.ldf").leftJustified(260)}});
    r.newDatabase = database;
    return r;
}

struct ScriptColumnRow {
    QString name, type;
    int length;
    int nullable;
};

// sp_columns: the columns the script reads, in the procedure's layout.
Reply columnRows(const QString &table, const QList<ScriptColumnRow> &columns)
{
    QList<QVariantList> rows;
    for (const ScriptColumnRow &c : columns)
        rows << QVariantList{"shop", "dbo", table, c.name, 4, c.type, c.length, c.length, 0, 10, c.nullable};
    return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("COLUMN_NAME"),
                        integer("DATA_TYPE"), text("TYPE_NAME"), integer("PRECISION"), integer("LENGTH"),
                        integer("SCALE"), integer("RADIX"), integer("NULLABLE")},
                       rows);
}

QString reindexBatch(const QString &argument)
{
    return QStringLiteral("DBCC DBReindex (") + argument + QStringLiteral(",'', 0) WITH NO_INFOMSGS");
}

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

// Panel 3 as painted into the window's backing store, grabbed through the screen: what
// the user sees, not what the label would paint if asked now. Safe to call from the
// peer's thread while the window's thread waits for the server's answer.
struct StatusBarCamera {
    QScreen *screen = nullptr;
    WId window = 0;
    QRect panel; // window coordinates

    QImage shot() const
    {
        return screen->grabWindow(window, panel.x(), panel.y(), panel.width(), panel.height()).toImage();
    }
};

} // namespace

class TestMaintenanceCommands : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    std::unique_ptr<tds::TdsPeer> peer;
    std::unique_ptr<Tfm_ADO_Schema> w;

    // The window on the peer's "shop" database, shown and active, its table list fetched
    // by the button as a person does it.
    bool openWindow(const QList<std::pair<QString, QString>> &tables)
    {
        peer->onProcedure(QStringLiteral("sp_tables"), tableList(tables));
        w = testsupport::showMainWindow(testsupport::saConnectionString(*peer, QStringLiteral("shop")),
                                        dir.filePath(QStringLiteral("ADO_OpenSchema.Ini")), QSize(1100, 700));
        if (!w)
            return false;
        if (!tables.isEmpty())
            QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        ui.clearRecords();
        peer->clearReceived();
        return w->lbxTableName->count() == tables.size();
    }
    bool openWindow(const QStringList &tables)
    {
        QList<std::pair<QString, QString>> typed;
        for (const QString &t : tables)
            typed << std::pair{t, QStringLiteral("TABLE")};
        return openWindow(typed);
    }

    void run(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }

    void clickTable(const QString &name, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const auto found = w->lbxTableName->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        w->lbxTableName->scrollToItem(found.first());
        QTest::mouseClick(w->lbxTableName->viewport(), Qt::LeftButton, mods,
                          w->lbxTableName->visualItemRect(found.first()).center());
    }

    // "資料庫集" on the Schema page, then a click on the database's row.
    void chooseDatabase(const QStringList &databases, int row)
    {
        peer->onProcedure(QStringLiteral("sp_tables"), catalogList(databases));
        run("nsiCatalogs");
        QCOMPARE(w->PageControl1->currentIndex(), 2);
        QCOMPARE(w->DBGrid1->Columns(0)->FieldName(), QStringLiteral("CATALOG_NAME"));
        drive::clickCell(w->DBGrid1, row, 1);
        QCOMPARE(w->ADODataSet1.Fields(0)->AsString(), databases.at(row));
        ui.clearRecords();
        peer->clearReceived();
    }

    QStringList batches() const
    {
        QStringList out;
        for (const tds::Request &r : peer->receivedStatements())
            out << (r.kind == tds::Request::Batch ? r.text : r.describe());
        return out;
    }

    StatusBarCamera camera() const
    {
        QLabel *panel3 = w->statusBar()->findChildren<QLabel *>().at(3);
        return {w->screen(), w->winId(), QRect(panel3->mapTo(w.get(), QPoint(0, 0)), panel3->size())};
    }

    // Panel 3 painted with `text` and grabbed, for comparison with a shot taken earlier.
    QImage panelShowing(const StatusBarCamera &cam, const QString &text)
    {
        w->setPanelText(3, text);
        w->statusBar()->repaint();
        return cam.shot();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void init()
    {
        ui.clearRecords();
        peer = std::make_unique<tds::TdsPeer>();
        QVERIFY(testsupport::startWithSaLogin(*peer));
    }

    void cleanup()
    {
        w.reset();
        peer->stop();
        peer.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    // ---- index rebuild ---------------------------------------------------------------

    void reindexWithoutTableList()
    {
        QVERIFY(openWindow(QStringList()));
        w->showPage(3);
        run("nReindexTable");
        QCOMPARE(ui.messageTexts(), QStringList{"請檢查 \"使用者定義之資料表\" 是否已開啟!!"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(drive::focused(), w->btnGetTableName);
        QCOMPARE(batches(), QStringList());
    }

    void reindexSecondTableFails_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("panel3");
        const QString first = reindexBatch("N'[dbo].[客戶]'"), second = reindexBatch("N'[dbo].[訂單]'"),
                      third = reindexBatch("N'[dbo].[產品]'");
        QTest::newRow("Yes: the third is rebuilt") << true << QStringList{first, second, third}
                                                   << "索引檔重整完成!!" << "";
        QTest::newRow("No: the third is skipped") << false << QStringList{first, second}
                                                  << "索引檔重整部份失敗!!" << "訂單 索引檔重整中 ......";
    }
    void reindexSecondTableFails()
    {
        QFETCH(bool, goOn);
        QFETCH(QStringList, sent);
        QFETCH(QString, message);
        QFETCH(QString, panel3);
        peer->onQuery(QRegularExpression(QStringLiteral("^DBCC DBReindex")), Reply::done());
        peer->onQuery(reindexBatch("N'[dbo].[訂單]'"), serverError(QStringLiteral("Could not find object '訂單'.")));
        QVERIFY(openWindow(QStringList{"客戶", "訂單", "產品"}));
        goOn ? ui.answerYes() : ui.answerNo();
        run("nReindexTable");
        QCOMPARE(batches(), sent);
        QCOMPARE(ui.questions().size(), 1);
        QCOMPARE(ui.questions().at(0).title, QStringLiteral("你確定嗎??"));
        QCOMPARE(ui.questions().at(0).text, QStringLiteral("是否繼續？"));
        QCOMPARE(ui.messageTexts(), QStringList{message});
        QCOMPARE(w->panelText(3), panel3);
    }

    // Esc while the second rebuild runs: the server gets the attention, the run ends there
    // without the question, and panel 3 kept naming the table while it waited.
    void reindexStoppedOnTheServer()
    {
        peer->onQuery(QRegularExpression(QStringLiteral("^DBCC DBReindex")), Reply::done());
        peer->onQuery(reindexBatch("N'[dbo].[訂單]'"), Reply::hang());
        QVERIFY(openWindow(QStringList{"客戶", "訂單", "產品"}));
        const int attentions = peer->attentions();
        QString panelWhileWaiting;
        QTimer watcher;
        testsupport::whileRunning(watcher, *w, [&] {
            panelWhileWaiting = w->panelText(3);
            drive::press(Qt::Key_Escape);
        });
        run("nReindexTable");
        QCOMPARE(batches(), (QStringList{reindexBatch("N'[dbo].[客戶]'"), reindexBatch("N'[dbo].[訂單]'")}));
        QCOMPARE(peer->attentions(), attentions + 1);
        QCOMPARE(panelWhileWaiting, QStringLiteral("訂單 索引檔重整中 ......"));
        QVERIFY(ui.questions().isEmpty());
        QCOMPARE(ui.messageTexts(), QStringList{"命令已停止。"});
        QCOMPARE(w->panelText(3), QStringLiteral("命令已停止。"));
    }

    // Every listed entry, selected or not, hostile names and a view among them: the view's
    // statement fails and the question is asked for it alone.
    void reindexEveryListedNameQuoted()
    {
        QList<std::pair<QString, QString>> listed;
        QStringList sent;
        for (const HostileTable &t : hostileTables()) {
            listed << std::pair{t.name, QStringLiteral("TABLE")};
            sent << reindexBatch(t.reindexArgument);
        }
        listed.insert(2, std::pair{QStringLiteral("v_客戶"), QStringLiteral("VIEW")});
        sent.insert(2, reindexBatch("N'[dbo].[v_客戶]'"));
        peer->onQuery(QRegularExpression(QStringLiteral("^DBCC DBReindex")), Reply::done());
        peer->onQuery(reindexBatch("N'[dbo].[v_客戶]'"),
                      serverError(QStringLiteral("'v_客戶' is not a table.")));
        QVERIFY(openWindow(listed));
        clickTable(QStringLiteral("a b"));
        clickTable(QStringLiteral("a_b"), Qt::ControlModifier);
        QCOMPARE(w->lbxTableName->selectedItems().size(), 2);
        ui.answerYes();
        run("nReindexTable");
        QCOMPARE(batches(), sent);
        QCOMPARE(ui.questions().size(), 1);
        QCOMPARE(ui.messageTexts(), QStringList{"索引檔重整完成!!"});
        QCOMPARE(w->panelText(3), QString());
    }

    // While each rebuild runs, the window system already shows its table in panel 3.
    void reindexProgressShownWhileStatementRuns()
    {
        QVERIFY(openWindow(QStringList{"客戶", "訂單", "a b"}));
        const StatusBarCamera cam = camera();
        std::mutex m;
        QList<QImage> shots;
        peer->onQuery(QRegularExpression(QStringLiteral("^DBCC DBReindex")), [&](const tds::Request &) {
            const QImage shot = cam.shot();
            std::lock_guard g(m);
            shots << shot;
            return Reply::done();
        });
        const QImage empty = panelShowing(cam, QString());
        run("nReindexTable");
        QCOMPARE(ui.messageTexts(), QStringList{"索引檔重整完成!!"});
        QCOMPARE(shots.size(), 3);
        const QStringList names{"客戶", "訂單", "a b"};
        for (int i = 0; i < 3; ++i) {
            const QImage expected = panelShowing(cam, names[i] + QStringLiteral(" 索引檔重整中 ......"));
            QVERIFY(expected != empty);
            QVERIFY2(shots[i] == expected, qPrintable(names[i]));
        }
    }

    // ---- shrink ------------------------------------------------------------------------

    void shrinkOutcomes_data()
    {
        QTest::addColumn<bool>("dataFails");
        QTest::addColumn<bool>("logFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("0: both shrunk") << false << false << "Data \n\rLog\n\r壓縮成功!!";
        QTest::newRow("1: data fails") << true << false << "Data 壓縮失敗!!\n\rLog 壓縮成功!!";
        QTest::newRow("2: log fails") << false << true << "Data 壓縮成功!!\n\rLog 壓縮失敗!!";
        QTest::newRow("3: both fail") << true << true << "Data \n\rLog\n\r壓縮失敗!!";
    }
    void shrinkOutcomes()
    {
        QFETCH(bool, dataFails);
        QFETCH(bool, logFails);
        QFETCH(QString, message);
        const QString database = QStringLiteral("O'Brien]x;_1");
        const QString dataBatch = QStringLiteral("Use [O'Brien]]x;_1]") + kCrLf + QStringLiteral("DBCC SHRINKFILE (1, 2)");
        // The "Use" takes effect whether or not the shrink after it fails.
        Reply data = dataFails ? serverError(QStringLiteral("Could not locate file 1.")) : Reply::done();
        data.newDatabase = database;
        peer->onQuery(dataBatch, data);
        peer->onQuery(QStringLiteral("DBCC SHRINKFILE (2, 2)"),
                      logFails ? serverError(QStringLiteral("Could not locate file 2.")) : Reply::done());
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"master", database, "shop"}, 1);
        run("nShrinkDatabase");
        QCOMPARE(batches(), QStringList({dataBatch, "DBCC SHRINKFILE (2, 2)"}));
        QCOMPARE(peer->receivedStatements().at(1).database, database);
        QCOMPARE(ui.messageTexts(), QStringList{message});
        QCOMPARE(w->panelText(3), QString());
        QCOMPARE(w->ADOConnection1.DefaultDatabase(), database);
    }

    // A database the server no longer has: the "Use" fails, so the log statement, which
    // would shrink the log of the database still current, is not sent at all.
    void shrinkOfVanishedDatabaseLeavesOthersAlone()
    {
        const QString dataBatch = QStringLiteral("Use [gone]") + kCrLf + QStringLiteral("DBCC SHRINKFILE (1, 2)");
        peer->onQuery(dataBatch, Reply::error(911, 16, 1, QStringLiteral("Database 'gone' does not exist.")));
        peer->onQuery(QStringLiteral("DBCC SHRINKFILE (2, 2)"), Reply::done());
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"gone", "shop"}, 0);
        run("nShrinkDatabase");
        QCOMPARE(batches(), QStringList{dataBatch});
        QCOMPARE(ui.messageTexts(), QStringList{"Data \n\rLog\n\r壓縮失敗!!"});
        QCOMPARE(w->ADOConnection1.DefaultDatabase(), QStringLiteral("shop"));
    }

    void shrinkProgressShownWhileStatementsRun()
    {
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"master", "shop"}, 1);
        const StatusBarCamera cam = camera();
        std::mutex m;
        QList<QImage> shots;
        auto shoot = [&](Reply reply) {
            return [&, reply](const tds::Request &) {
                const QImage shot = cam.shot();
                std::lock_guard g(m);
                shots << shot;
                return reply;
            };
        };
        Reply data = Reply::done();
        data.newDatabase = QStringLiteral("shop");
        peer->onQuery(QRegularExpression(QStringLiteral("^Use \\[shop\\]\r\nDBCC SHRINKFILE \\(1, 2\\)$")), shoot(data));
        peer->onQuery(QRegularExpression(QStringLiteral("^DBCC SHRINKFILE \\(2, 2\\)$")), shoot(Reply::done()));
        run("nShrinkDatabase");
        QCOMPARE(ui.messageTexts(), QStringList{"Data \n\rLog\n\r壓縮成功!!"});
        QCOMPARE(shots.size(), 2);
        QVERIFY(shots[0] == panelShowing(cam, QStringLiteral("shop Data壓縮中，請稍待 .........")));
        QVERIFY(shots[1] == panelShowing(cam, QStringLiteral("shop Log壓縮中，請稍待 .........")));
        QVERIFY(shots[0] != shots[1]);
    }

    // ---- preconditions of shrink and backup -------------------------------------------

    void catalogsRowsetRequired_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("schemaCommand"); // empty: the Schema dataset stays closed
        QTest::newRow("shrink, Schema page closed") << "nShrinkDatabase" << "";
        QTest::newRow("backup, Schema page closed") << "BackupDatabase" << "";
        QTest::newRow("shrink, all tables shown") << "nShrinkDatabase" << "nsiTables_Ttotal";
        QTest::newRow("backup, all tables shown") << "BackupDatabase" << "nsiTables_Ttotal";
    }
    void catalogsRowsetRequired()
    {
        QFETCH(QString, command);
        QFETCH(QString, schemaCommand);
        QVERIFY(openWindow(QStringList{"客戶", "訂單"}));
        if (!schemaCommand.isEmpty()) {
            run(qPrintable(schemaCommand));
            QVERIFY(w->ADODataSet1.Active());
            QCOMPARE(w->DBGrid1->Columns(0)->FieldName(), QStringLiteral("TABLE_CATALOG"));
            ui.clearRecords();
            peer->clearReceived();
        }
        w->setPanelText(3, QStringLiteral("提示"));
        run(qPrintable(command));
        QCOMPARE(ui.messageTexts(), QStringList{kCatalogsNotOpen});
        QCOMPARE(batches(), QStringList());
        QCOMPARE(w->panelText(3), QStringLiteral("提示"));
    }

    // ---- backup ------------------------------------------------------------------------

    void backupFolderFromFirstFile_data()
    {
        QTest::addColumn<QString>("firstFile");
        QTest::addColumn<QString>("folder");
        QTest::newRow("Data folder") << "E:\\MSSQL\\Data\\shop.mdf" << "E:\\MSSQL\\";
        QTest::newRow("no data") << "E:\\SQLDB\\shop.mdf" << "E:\\SQLDB\\";
        QTest::newRow("data inside a name") << "D:\\MyDatabase\\Files\\shop.mdf" << "D:\\M\\";
        QTest::newRow("drive root") << "C:\\shop.mdf" << "C:\\\\";
        QTest::newRow("server on Linux") << "/var/opt/mssql/data/shop.mdf" << "/var/opt/mssql/";
    }
    void backupFolderFromFirstFile()
    {
        QFETCH(QString, firstFile);
        QFETCH(QString, folder);
        const QString lookup = QStringLiteral("Use [shop]") + kCrLf + QStringLiteral("Select * From sysfiles ");
        peer->onQuery(lookup, sysfiles(QStringLiteral("shop"), firstFile));
        Reply done = Reply::done();
        done.newDatabase = QStringLiteral("master");
        peer->onQuery(QRegularExpression(QStringLiteral("^Use master\r\n")), done);
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"master", "shop"}, 1);
        const QString stamp = today();
        run("BackupDatabase");
        const QStringList lines = {
            "Use master",
            "if Exists (Select * From sysdevices Where name = N'shop_AllData')",
            "  Exec sp_dropdevice N'shop_AllData'",
            "if Exists (Select * From sysdevices Where name = N'shop_Log')",
            "  Exec sp_dropdevice N'shop_Log'",
            "EXEC sp_addumpdevice 'disk', N'shop_AllData', N'" + folder + "shop_db_" + stamp + ".bak'",
            "EXEC sp_addumpdevice 'disk', N'shop_Log', N'" + folder + "shop_log_" + stamp + ".trn'",
            "BACKUP DATABASE [shop] TO [shop_AllData]",
            "BACKUP LOG [shop] TO [shop_Log]",
        };
        QCOMPARE(batches(), QStringList({lookup, lines.join(kCrLf)}));
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.lastMessage().text.startsWith(QStringLiteral("資料備份成功，備份位置 ") + folder + QStringLiteral("\n\r起始時間：")),
                 qPrintable(ui.lastMessage().text));
        QCOMPARE(w->ADOConnection1.DefaultDatabase(), QStringLiteral("master"));
        QVERIFY(!w->adotqCommand.Active());
    }

    void backupOfHostileDatabaseName()
    {
        const QString database = QStringLiteral("O'Brien]x;_1 %");
        const QString lookup = QStringLiteral("Use [O'Brien]]x;_1 %]") + kCrLf + QStringLiteral("Select * From sysfiles ");
        peer->onQuery(lookup, sysfiles(database, QStringLiteral("E:\\MSSQL\\Data\\o.mdf")));
        peer->onQuery(QRegularExpression(QStringLiteral("^Use master\r\n")), Reply::done());
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"master", database}, 1);
        const QString stamp = today();
        run("BackupDatabase");
        const QStringList lines = {
            "Use master",
            "if Exists (Select * From sysdevices Where name = N'O''Brien]x;_1 %_AllData')",
            "  Exec sp_dropdevice N'O''Brien]x;_1 %_AllData'",
            "if Exists (Select * From sysdevices Where name = N'O''Brien]x;_1 %_Log')",
            "  Exec sp_dropdevice N'O''Brien]x;_1 %_Log'",
            "EXEC sp_addumpdevice 'disk', N'O''Brien]x;_1 %_AllData', N'E:\\MSSQL\\O''Brien]x;_1 %_db_" + stamp + ".bak'",
            "EXEC sp_addumpdevice 'disk', N'O''Brien]x;_1 %_Log', N'E:\\MSSQL\\O''Brien]x;_1 %_log_" + stamp + ".trn'",
            "BACKUP DATABASE [O'Brien]]x;_1 %] TO [O'Brien]]x;_1 %_AllData]",
            "BACKUP LOG [O'Brien]]x;_1 %] TO [O'Brien]]x;_1 %_Log]",
        };
        QCOMPARE(batches(), QStringList({lookup, lines.join(kCrLf)}));
    }

    // The message names the folder and both times in the workstation's format; while the
    // backup runs, panel 3 shows the database being backed up.
    void backupSuccessMessageTimes()
    {
        peer->onQuery(QStringLiteral("Use [shop]") + kCrLf + QStringLiteral("Select * From sysfiles "),
                      sysfiles(QStringLiteral("shop"), QStringLiteral("E:\\MSSQL\\Data\\shop.mdf")));
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"shop"}, 0);
        const StatusBarCamera cam = camera();
        QImage shot;
        peer->onQuery(QRegularExpression(QStringLiteral("^Use master\r\n")), [&](const tds::Request &) {
            shot = cam.shot();
            return Reply::done();
        });
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        run("BackupDatabase");
        const QDateTime after = QDateTime::currentDateTime().addMSecs(1000);
        QCOMPARE(w->panelText(3), QString());
        QVERIFY(shot == panelShowing(cam, QStringLiteral("shop 資料庫備份中，請稍待 ......")));
        QStringList seconds; // every time text the run could have shown
        for (QDateTime t = before; t <= after; t = t.addSecs(1))
            seconds << maintenance::regionalDateTime(t);
        const QString head = QStringLiteral("資料備份成功，備份位置 E:\\MSSQL\\\n\r起始時間：");
        const QString message = ui.lastMessage().text;
        QVERIFY2(message.startsWith(head), qPrintable(message));
        const QStringList times = message.mid(head.size()).split(QStringLiteral("\n\r終止時間："));
        QCOMPARE(times.size(), 2);
        QVERIFY2(seconds.contains(times[0]), qPrintable(times[0]));
        QVERIFY2(seconds.contains(times[1]), qPrintable(times[1]));
        QVERIFY(seconds.indexOf(times[0]) <= seconds.indexOf(times[1]));
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
    }

    void backupBatchFails()
    {
        peer->onQuery(QStringLiteral("Use [shop]") + kCrLf + QStringLiteral("Select * From sysfiles "),
                      sysfiles(QStringLiteral("shop"), QStringLiteral("E:\\MSSQL\\Data\\shop.mdf")));
        peer->onQuery(QRegularExpression(QStringLiteral("^Use master\r\n")),
                      serverError(QStringLiteral("Cannot open backup device 'shop_AllData'.")));
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"shop"}, 0);
        run("BackupDatabase");
        QCOMPARE(batches().size(), 2);
        QCOMPARE(ui.messageTexts(), QStringList{"備份失敗!!"});
        QCOMPARE(w->panelText(3), QString());
    }

    // The folder lookup is not caught: its error ends the command before any hint text.
    void backupFolderLookupFails()
    {
        const QString lookup = QStringLiteral("Use [shop]") + kCrLf + QStringLiteral("Select * From sysfiles ");
        peer->onQuery(lookup, Reply::error(208, 16, 1, QStringLiteral("Invalid object name 'sysfiles'.")));
        QVERIFY(openWindow(QStringList{"客戶"}));
        chooseDatabase({"shop"}, 0);
        run("BackupDatabase");
        QCOMPARE(batches(), QStringList{lookup});
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.lastMessage().text.contains(QStringLiteral("Invalid object name 'sysfiles'.")),
                 qPrintable(ui.lastMessage().text));
        QCOMPARE(w->panelText(3), QString());
        QVERIFY(!w->adotqCommand.Active());
    }

    // ---- table script ------------------------------------------------------------------

    void scriptSaved_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("two columns") << "T" << "EXEC sp_columns @table_name = N'T', @table_owner = N'dbo'"
                                     << QByteArray("CREATE TABLE T\r\n(\r\n      id int 4 NOT NULL ,\r\n"
                                                   "      name varchar 20 NULL \r\n)\r\n");
        // 客 AB C8, 戶 A4 E1, 編 BD 73, 號 B8 B9 in code page 950.
        QTest::newRow("one column, Chinese") << "客戶" << "EXEC sp_columns @table_name = N'客戶', @table_owner = N'dbo'"
                                             << QByteArray("CREATE TABLE \xAB\xC8\xA4\xE1\r\n(\r\n"
                                                           "      \xBD\x73\xB8\xB9 int 4 NOT NULL \r\n)\r\n");
    }
    void scriptSaved()
    {
        QFETCH(QString, table);
        QFETCH(QString, statement);
        QFETCH(QByteArray, file);
        peer->onQuery(QStringLiteral("EXEC sp_columns @table_name = N'T', @table_owner = N'dbo'"),
                      columnRows(QStringLiteral("T"), {{"id", "int", 4, 0}, {"name", "varchar", 20, 1}}));
        peer->onQuery(QStringLiteral("EXEC sp_columns @table_name = N'客戶', @table_owner = N'dbo'"),
                      columnRows(QStringLiteral("客戶"), {{"編號", "int", 4, 0}}));
        QVERIFY(openWindow(QStringList{"T", "客戶"}));
        clickTable(table);
        const QString path = dir.filePath(QStringLiteral("script-") + QString::number(file.size()) + QStringLiteral(".sql"));
        ui.queueSaveFile(path);
        run("nCreateTable");
        QCOMPARE(batches(), QStringList{statement});
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(ui.fileDialogs().at(0).request.filter, QStringLiteral("SQL|*.sql"));
        QCOMPARE(ui.fileDialogs().at(0).request.defaultName, QStringLiteral("Create_") + table + QStringLiteral(".sql"));
        QVERIFY(ui.fileDialogs().at(0).request.confirmOverwrite);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file);
        QVERIFY(ui.messages().isEmpty());
        QVERIFY(!w->adotqCommand.Active());
    }

    void scriptCancelled()
    {
        peer->onQuery(QStringLiteral("EXEC sp_columns @table_name = N'T', @table_owner = N'dbo'"),
                      columnRows(QStringLiteral("T"), {{"id", "int", 4, 0}, {"name", "varchar", 20, 1}}));
        QVERIFY(openWindow(QStringList{"T"}));
        clickTable(QStringLiteral("T"));
        QTemporaryDir empty;
        w->SaveDialog1.initialDir = empty.path();
        ui.queueSaveFile(QString());
        run("nCreateTable");
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(QDir(empty.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QVERIFY(!w->adotqCommand.Active());
        QCOMPARE(*w->FScriptLines, QStringList({"CREATE TABLE T", "(", "      id int 4 NOT NULL ,",
                                                 "      name varchar 20 NULL ", ")"}));
        QVERIFY(ui.messages().isEmpty());
    }

    void scriptOfHostileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("head");
        for (const HostileTable &t : hostileTables())
            QTest::newRow(t.row) << t.name << t.columnsPattern << t.scriptHead;
    }
    void scriptOfHostileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(QString, head);
        QStringList names;
        for (const HostileTable &t : hostileTables())
            names << t.name;
        names << QStringLiteral("axb");
        const QString statement = QStringLiteral("EXEC sp_columns @table_name = ") + pattern +
                                  QStringLiteral(", @table_owner = N'dbo'");
        peer->onQuery(statement, columnRows(name, {{"n", "varchar", 10, 1}}));
        QVERIFY(openWindow(names));
        clickTable(name);
        ui.queueSaveFile(QString());
        run("nCreateTable");
        QCOMPARE(batches(), QStringList{statement});
        QCOMPARE(*w->FScriptLines, QStringList({head, "(", "      n varchar 10 NULL ", ")"}));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
    }

    void scriptPreconditions()
    {
        QVERIFY(openWindow(QStringList()));
        run("nCreateTable");
        QCOMPARE(ui.messageTexts(), QStringList{"使用者自定表格 沒有打開!!"});
        w.reset();
        ui.clearRecords();
        // Listed, but no entry current: nothing at all.
        QVERIFY(openWindow(QStringList{"T"}));
        w->lbxTableName->setCurrentItem(nullptr); // the focus mark on no entry
        QCOMPARE(w->lbxTableName->currentRow(), -1);
        run("nCreateTable");
        QVERIFY(ui.messages().isEmpty());
        QVERIFY(ui.fileDialogs().isEmpty());
        QCOMPARE(batches(), QStringList());
    }

    void scriptColumnsFail()
    {
        peer->onQuery(QStringLiteral("EXEC sp_columns @table_name = N'T', @table_owner = N'dbo'"),
                      serverError(QStringLiteral("Permission denied on sp_columns.")));
        QVERIFY(openWindow(QStringList{"T"}));
        clickTable(QStringLiteral("T"));
        run("nCreateTable");
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.lastMessage().text.contains(QStringLiteral("Permission denied on sp_columns.")),
                 qPrintable(ui.lastMessage().text));
        QVERIFY(ui.fileDialogs().isEmpty());
        QVERIFY(!w->adotqCommand.Active());
    }
};

QTEST_MAIN(TestMaintenanceCommands)
#include "tst_maintenance_commands.moc"
