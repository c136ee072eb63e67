// A long command stopped through the real window: a select typed on the SQL page and the
// post of an edited cell keep the window painting while they run, panel 3 shows the stop
// button, Esc or the button stops the command on the database, the person is told, other
// input meanwhile is dropped, and the connection runs the next command.
#include "app/gui/CommandWatch.h"
#include "app/gui/FillWatch.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/MainWindowUnderTest.h"
#include "support/ScriptedUi.h"
#include "support/SlowSqlite.h"
#include "support/SqliteScript.h"
#include <QCheckBox>
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
#include <memory>

using testsupport::ScriptedUiScope;
using testsupport::stopButton;
using testsupport::whileRunning;

namespace {

constexpr int kSqlPage = 3;
constexpr int kXmlPage = 4;
const QString kLongSelect = QString::fromLatin1(testsupport::kSlowSqliteCount);

} // namespace

class TestWindowStop : public QObject {
    Q_OBJECT
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    void typeAndRun(const QString &text) { QVERIFY(testsupport::typeAndRunOnSqlPage(*w, text)); }

    QString storedValue() const
    {
        return testsupport::sqliteValue(dbFile, QStringLiteral("SELECT v FROM t WHERE id = 1"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("stop.db"));
        const QString failure = testsupport::sqliteScriptError(
            dbFile, (QByteArray(testsupport::kSlowSqliteBigTable) + testsupport::kSlowSqliteUpdateTable).constData());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void init()
    {
        w = testsupport::showMainWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QVERIFY(w);
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        QVERIFY(w->ADOConnection1.Connected());
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    void sqlPageSelectStops_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Esc") << false;
        QTest::newRow("stop button") << true;
    }

    void sqlPageSelectStops()
    {
        QFETCH(bool, byButton);
        QString panelWhileRunning;
        int pageAfterClick = -1;
        QTimer watcher;
        whileRunning(watcher, *w, [&] {
            panelWhileRunning = w->panelText(3);
            // Other input waits: a click on the first page's tab changes nothing.
            QTabBar *bar = w->PageControl1->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
            pageAfterClick = w->PageControl1->currentIndex();
            if (byButton)
                QTest::mouseClick(stopButton(*w), Qt::LeftButton);
            else
                drive::press(Qt::Key_Escape);
        });
        typeAndRun(kLongSelect);

        QCOMPARE(panelWhileRunning, gui::commandRunningText());
        QCOMPARE(pageAfterClick, kSqlPage);
        QCOMPARE(ui.messageTexts(), QStringList({QStringLiteral("命令已停止。")}));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::None);
        QCOMPARE(w->panelText(3), QStringLiteral("命令已停止。"));
        QVERIFY(!w->ADODXML.Active());
        QTRY_VERIFY(stopButton(*w) == nullptr);

        // The connection runs the next select, which opens as usual.
        ui.clearRecords();
        typeAndRun(QStringLiteral("select 41 + 1 as n"));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.Fields(0)->AsInteger(), 42);
        QCOMPARE(w->PageControl1->currentIndex(), kXmlPage);
    }

    // A select that takes a while but is left alone: the stop button shows meanwhile,
    // the rows open as usual, and panel 3 and its buttons are as they were.
    void slowSelectLeftAloneOpens()
    {
        const QString before = w->panelText(3);
        bool sawStop = false;
        QTimer watcher;
        whileRunning(watcher, *w, [&] { sawStop = true; });
        // 50 million pairs: well past the quiet wait, about a second.
        typeAndRun(QStringLiteral("select count(*) as n from big a, big b, (select x from big limit 50) c"));
        QVERIFY(sawStop);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.Fields(0)->AsInteger(), 50000000);
        QCOMPARE(w->panelText(3), before);
        QTRY_VERIFY(stopButton(*w) == nullptr);
    }

    // Rows that stop coming part-way through the background fill: the window keeps
    // painting while SQLite looks for the next row, the stop button shows, Esc ends the
    // fill with the rows that came.
    void stalledFillStopsKeepingTheRows()
    {
        QString panelWhileWaiting;
        QTimer watcher;
        whileRunning(watcher, *w, [&] {
            panelWhileWaiting = w->panelText(3);
            drive::press(Qt::Key_Escape);
        });
        typeAndRun(QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c) "
                                  "select x from c where x <= 3000 or x % 1000000000000 = 0"));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QVERIFY(w->ADODXML.Active());
        QTRY_VERIFY_WITH_TIMEOUT(!w->ADODXML.Fetching(), 30000);
        QCOMPARE(panelWhileWaiting, gui::awaitingRowsText());
        QVERIFY(w->ADODXML.FillStopped());
        QCOMPARE(w->ADODXML.RecordCount(), 3000);
        QCOMPARE(w->DBGrid2->model()->rowCount(), 3000);
        QCOMPARE(w->panelText(3), gui::fillStoppedText(3000));
        QTRY_VERIFY(stopButton(*w) == nullptr);
    }

    // The edit is kept when its post is stopped, and the database keeps the old value;
    // Esc afterwards cancels the edit as usual.
    void stoppedPostKeepsTheEdit()
    {
        w->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const auto found = w->lbxTableName->findItems(QStringLiteral("t"), Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        QVERIFY(w->ADODXML.Active());
        w->showPage(kXmlPage);
        components::TwDBGrid *grid = w->DBGrid2;
        drive::clickCell(grid, 0, 1);
        drive::type(QStringLiteral("b"));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);

        QTimer watcher;
        bool sawStop = false;
        whileRunning(watcher, *w, [&] {
            sawStop = true;
            drive::press(Qt::Key_Escape);
        });
        drive::press(Qt::Key_Down); // posts
        QVERIFY(sawStop);
        QCOMPARE(ui.messageTexts(), QStringList({QStringLiteral("命令已停止。")}));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("v"))->AsString(), QStringLiteral("b"));
        QCOMPARE(storedValue(), QStringLiteral("a"));

        drive::press(Qt::Key_Escape); // the grid's own Esc: cancels the edit
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("v"))->AsString(), QStringLiteral("a"));
        QVERIFY(w->ADOConnection1.Connected());
    }
};

QTEST_MAIN(TestWindowStop)
#include "tst_window_stop.moc"
