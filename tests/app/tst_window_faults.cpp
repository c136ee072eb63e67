// Faults met through the real window: a login the server never answers, stopped with
// Esc; a link that dies while an edit is posted (the edit keeps its typed values, one
// press of the connect button connects again); a post waiting for a SQLite file another
// program holds locked, stopped with Esc or told when the wait runs out.
#include "app/gui/CommandWatch.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/MainWindowUnderTest.h"
#include "support/ScriptedUi.h"
#include "support/SqliteLockHolder.h"
#include "support/SqliteScript.h"
#include "support/TdsPeer.h"
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
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

    // Connects, opens table t on the XML page and types "b" into its v cell.
    void editTheRow()
    {
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QVERIFY(w->ADOConnection1.Connected());
        w->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const auto found = w->lbxTableName->findItems(QStringLiteral("t"), Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        QVERIFY(w->ADODXML.Active());
        w->showPage(kXmlPage);
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
};

QTEST_MAIN(TestWindowFaults)
#include "tst_window_faults.moc"
