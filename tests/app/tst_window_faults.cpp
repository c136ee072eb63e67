// Faults met through the real window: a login the server never answers, stopped with
// Esc; a link that dies while an edit is posted (the edit keeps its typed values, one
// press of the connect button connects again); a post waiting for a SQLite file another
// program holds locked, stopped with Esc or told when the wait runs out; a PostgreSQL
// server that ends the session under any command; a SQL Server link that dies while a
// table's rows arrive.
#include "app/gui/CommandWatch.h"
#include "app/gui/FillWatch.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/MainWindowUnderTest.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include "support/SqliteLockHolder.h"
#include "support/SqlServerPeerSetup.h"
#include "support/SqliteScript.h"
#include "support/TdsPeer.h"
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

using testsupport::ScriptedUiScope;
using testsupport::stopButton;
using testsupport::whileRunning;

namespace {

constexpr int kXmlPage = 4;
const char *const kTable = "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1, 'a');";

} // namespace

class TestWindowFaults : public QObject {
    Q_OBJECT
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    void showWindow(const QString &connectionString)
    {
        w = testsupport::showMainWindow(connectionString);
        QVERIFY(w);
        ui.clearRecords();
    }

    void clickTableT()
    {
        const auto found = w->lbxTableName->findItems(QStringLiteral("t"), Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    }

    // Connects and opens table t on the XML page.
    void openTheTable()
    {
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QVERIFY(w->ADOConnection1.Connected());
        w->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        clickTableT();
        QVERIFY(w->ADODXML.Active());
        w->showPage(kXmlPage);
        ui.clearRecords();
    }

    // Connects, opens table t on the XML page and types "b" into its v cell.
    void editTheRow()
    {
        openTheTable();
        drive::clickCell(w->DBGrid2, 0, 1);
        drive::type(QStringLiteral("b"));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        ui.clearRecords();
    }

    void verifyEditKept()
    {
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("v"))->AsString(), QStringLiteral("b"));
    }

    void typeAndRun(const QString &text) { QVERIFY(testsupport::typeAndRunOnSqlPage(*w, text)); }

    QString storedValue() const
    {
        return testsupport::sqliteValue(dbFile, QStringLiteral("SELECT v FROM t WHERE id = 1"));
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("faults.db"));
        QFile::remove(dbFile);
        const QString failure = testsupport::sqliteScriptError(dbFile, kTable);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }

    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    // The server takes the connection and never answers: the window keeps painting
    // with the stop in panel 3, Esc gives the login up, the connection stays offline,
    // and the button connects once the server answers.
    void stalledLoginStoppedWithEsc()
    {
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.setStallLogin(true);
        showWindow(peer.connectionString(QStringLiteral("master"), QStringLiteral("sa"), QStringLiteral("x")) +
                   QStringLiteral(";Connect Timeout=60"));
        QString panelWhileWaiting;
        QTimer watcher;
        QElapsedTimer clock;
        whileRunning(watcher, *w, [&] {
            panelWhileWaiting = w->panelText(3);
            drive::press(Qt::Key_Escape);
        });
        clock.start();
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(panelWhileWaiting, gui::commandRunningText());
        QCOMPARE(ui.messageTexts(), QStringList({QStringLiteral("已停止連接資料庫。")}));
        QVERIFY(!w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));
        QCOMPARE(w->btnADOConnection->text(), QStringLiteral("資料庫連接    "));

        peer.setStallLogin(false);
        ui.clearRecords();
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QVERIFY(w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫連線中]"));
    }

    // The database file is replaced by another program while a row is edited: the post
    // says the link is gone, once; panel 2 turns offline; the typed value stays; one
    // press of the button connects again and the next post stores the value.
    void lostLinkKeepsTheEdit()
    {
        showWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        editTheRow();
        const QString fresh = dbFile + QStringLiteral(".new");
        QVERIFY(testsupport::sqliteScriptError(fresh, kTable).isEmpty());
        QVERIFY(std::rename(fresh.toUtf8().constData(), dbFile.toUtf8().constData()) == 0);

        drive::press(Qt::Key_Down); // posts
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.messageTexts().first().startsWith(QStringLiteral("與資料庫的連線已中斷")), qPrintable(ui.messageTexts().first()));
        QVERIFY(!w->ADOConnection1.Connected());
        QTRY_COMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));
        QCOMPARE(w->btnADOConnection->text(), QStringLiteral("資料庫連接    "));
        verifyEditKept();
        QCOMPARE(storedValue(), QStringLiteral("a"));

        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton); // one press
        QVERIFY(w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫連線中]"));
        verifyEditKept();
        drive::clickCell(w->DBGrid2, 0, 1);
        drive::press(Qt::Key_Down);
        QCOMPARE(ui.messages().size(), 1); // told once
        QVERIFY(w->ADODXML.State() != data::dsEdit);
        QCOMPARE(storedValue(), QStringLiteral("b"));
    }

    // A post waiting for a file another program holds locked: Esc ends the wait at once
    // and keeps the edit; left alone, the wait ends after Connect Timeout with a message
    // naming the lock beside SQLite's text. Once the lock is gone the post goes through.
    void lockedPost_data()
    {
        // Esc's row waits far longer than its bound unless Esc ends the wait, so a busy
        // machine cannot blur the two.
        QTest::addColumn<bool>("pressEsc");
        QTest::addColumn<int>("connectTimeout");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("Esc") << true << 60 << 15000;
        QTest::newRow("wait runs out") << false << 2 << 10000;
    }
    void lockedPost()
    {
        QFETCH(bool, pressEsc);
        QFETCH(int, connectTimeout);
        QFETCH(int, boundMs);
        showWindow(QStringLiteral("Provider=SQLite.1;Connect Timeout=%1;Data Source=").arg(connectTimeout) + dbFile);
        editTheRow();
        QElapsedTimer clock;
        {
            testsupport::SqliteLockHolder holder(dbFile, true);
            QVERIFY(holder.held());
            QTimer watcher;
            bool sawStop = false;
            whileRunning(watcher, *w, [&] {
                sawStop = true;
                if (pressEsc)
                    drive::press(Qt::Key_Escape);
            });
            clock.start();
            drive::press(Qt::Key_Down); // posts
            QVERIFY(sawStop);
        }
        QVERIFY2(clock.elapsed() < boundMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(ui.messages().size(), 1);
        const QString said = ui.messageTexts().first();
        if (pressEsc) {
            QCOMPARE(said, QStringLiteral("命令已停止。"));
        } else {
            QVERIFY2(said.contains(QStringLiteral("被另一個程式鎖定")) && said.contains(QStringLiteral("database is locked")),
                     qPrintable(said));
        }
        verifyEditKept();
        QVERIFY(w->ADOConnection1.Connected());

        drive::press(Qt::Key_Down);
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(storedValue(), QStringLiteral("b"));
    }

    // The link to SQL Server dies while the rows of a clicked table arrive in the
    // background: the rows that came stay, the person is told once that the link is
    // gone, panel 2 turns offline, and the next click after one press of the connect
    // button opens the table again.
    void linkDiesDuringTheFill()
    {
        tds::TdsPeer peer;
        QVERIFY(testsupport::startWithSaLogin(peer));
        const auto name = testsupport::tdsColumn(QStringLiteral("TABLE_NAME"), tds::ColumnType::NVarChar);
        auto text = [](const char *column) { return testsupport::tdsColumn(QString::fromLatin1(column), tds::ColumnType::NVarChar); };
        peer.onProcedure(QStringLiteral("sp_tables"),
                         tds::Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), name, text("TABLE_TYPE"), text("REMARKS")},
                                          {{"shop", "dbo", "t", "TABLE", QVariant()}}));
        QList<QVariantList> rows;
        for (int i = 0; i < 5000; ++i)
            rows << QVariantList{QString::number(i)};
        const QRegularExpression select(QStringLiteral("(?i)^select \\* from"));
        peer.onQuery(select, tds::Reply::rowsThenHang({text("v")}, rows));
        showWindow(testsupport::saConnectionString(peer, QStringLiteral("shop")));
        w->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        clickTableT();
        QVERIFY(w->ADODXML.Fetching());
        ui.clearRecords();

        peer.dropConnections();
        QTRY_VERIFY(!w->ADODXML.Fetching());
        QVERIFY2(ui.messages().size() == 1 && ui.messageTexts().first().startsWith(QStringLiteral("與資料庫的連線已中斷")),
                 qPrintable(ui.messageTexts().join('|')));
        QCOMPARE(w->panelText(3), gui::fillStoppedText(w->ADODXML.RecordCount()));
        QVERIFY(w->ADODXML.RecordCount() > 0);
        QVERIFY(!w->ADOConnection1.Connected());
        QTRY_COMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));

        ui.clearRecords();
        peer.onQuery(select, tds::Reply::rows({text("v")}, {{"1"}}));
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton); // one press
        QVERIFY(w->ADOConnection1.Connected());
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        clickTableT();
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QTRY_VERIFY(!w->ADODXML.Fetching());
        QCOMPARE(w->ADODXML.RecordCount(), 1);
    }

    // The server ends the session under the window (an administrator's
    // pg_terminate_backend; a server shut down does the same): whichever command comes
    // next says once that the link is gone, panel 2 turns offline, a typed edit stays;
    // one press of the connect button connects again and the command goes through.
    void serverEndedTheSession_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *command : {"post", "select", "update", "table click", "batch export"})
            QTest::newRow(command) << QString::fromLatin1(command);
    }
    void serverEndedTheSession()
    {
        QFETCH(QString, command);
        REQUIRE_PG_SERVER(pg);
        QString error;
        QVERIFY2(pg->exec(QStringLiteral("DROP TABLE IF EXISTS t; CREATE TABLE t (id int PRIMARY KEY, v varchar(20));"
                                         "INSERT INTO t VALUES (1, 'a')"), &error), qPrintable(error));
        const QString out = dir.filePath(QStringLiteral("batch"));
        QVERIFY(QDir(out).removeRecursively() && QDir().mkpath(out));
        const std::map<QString, std::function<void()>> commands = {
            {QStringLiteral("post"), [&] { drive::clickCell(w->DBGrid2, 0, 1); drive::press(Qt::Key_Down); }},
            {QStringLiteral("select"), [&] { typeAndRun(QStringLiteral("select * from t")); }},
            {QStringLiteral("update"), [&] { typeAndRun(QStringLiteral("update t set v = 'c' where id = 1")); }},
            {QStringLiteral("table click"), [&] { clickTableT(); }},
            {QStringLiteral("batch export"), [&] {
                 if (w->lbxTableName->selectedItems().isEmpty()) // a fetched list has none
                     clickTableT();
                 ui.queueSaveFile(QDir(out).filePath(QStringLiteral("any.xml")));
                 w->menuItem(QStringLiteral("XML2"))->trigger();
             }},
        };
        showWindow(pg->adoConnectionString());
        if (command == QLatin1String("post"))
            editTheRow();
        else
            openTheTable();
        const QString others = QStringLiteral("FROM pg_stat_activity WHERE datname = '%1' AND pid <> pg_backend_pid()")
                                   .arg(pg->database());
        QVERIFY(pg->exec(QStringLiteral("SELECT pg_terminate_backend(pid) ") + others));
        QTRY_COMPARE(pg->scalar(QStringLiteral("SELECT count(*) ") + others), QStringLiteral("0"));

        commands.at(command)();
        QVERIFY2(ui.messages().size() == 1 && ui.messageTexts().first().startsWith(QStringLiteral("與資料庫的連線已中斷")),
                 qPrintable(ui.messageTexts().join('|')));
        QVERIFY(!w->ADOConnection1.Connected());
        QTRY_COMPARE(w->panelText(2), QStringLiteral("[資料庫離線中]"));
        if (command == QLatin1String("post"))
            verifyEditKept();

        ui.clearRecords();
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton); // one press
        QVERIFY(w->ADOConnection1.Connected());
        QCOMPARE(w->panelText(2), QStringLiteral("[資料庫連線中]"));
        if (w->lbxTableName->count() == 0) // emptied with the connection
            QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        commands.at(command)();
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        if (command == QLatin1String("post") || command == QLatin1String("update"))
            QCOMPARE(pg->scalar(QStringLiteral("SELECT v FROM t WHERE id = 1")), command == QLatin1String("post") ? "b" : "c");
        else if (command == QLatin1String("batch export"))
            QVERIFY(QFile::exists(QDir(out).filePath(QStringLiteral("t.xml"))));
        else
            QVERIFY(w->ADODXML.Active());
    }
};

QTEST_MAIN(TestWindowFaults)
#include "tst_window_faults.moc"
