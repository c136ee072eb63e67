// A table click on a table bigger than the first slice, through the real window: the
// XML grid shows the first rows at once, the scroll bar grows as the rest arrives, the
// window answers keys meanwhile, panel 3 counts the rows, and Esc or the panel's stop
// button ends the fill keeping what arrived. Small slices stand in for a big table.
#include "app/gui/FillWatch.h"
#include "app/gui/MainWindow.h"
#include "app/gui/TableList.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "data/rowsetxml/RowsetXml.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QCheckBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <sqlite3.h>

using components::TwDBGrid;
using testsupport::ScriptedUiScope;

namespace {

constexpr int kRows = 20000;
constexpr int kFirst = 40;

// Counts the paints of a grid's cells while its dataset fills, and the rows the model
// had at the last paint.
class CellPaints : public QObject {
public:
    CellPaints(TwDBGrid *grid, const data::Dataset &dataset) : grid_(grid), dataset_(dataset)
    {
        grid_->viewport()->installEventFilter(this);
    }
    int duringFill = 0;
    int rowsAtLastPaint = -1;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            rowsAtLastPaint = grid_->model()->rowCount();
            if (dataset_.Fetching())
                ++duringFill;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TwDBGrid *grid_;
    const data::Dataset &dataset_;
};

} // namespace

class TestWindowFill : public QObject {
    Q_OBJECT
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    QString panel3() const { return w->panelText(3); }

    // Ticks "open on click", lists the tables and clicks one (大表 unless told).
    void clickBigTable(const QString &name = QStringLiteral("大表"))
    {
        w->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const auto found = w->lbxTableName->findItems(name, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        QVERIFY(w->ADODXML.Active());
    }

    void clickTab(int index)
    {
        QTabBar *bar = w->PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCOMPARE(w->PageControl1->currentIndex(), index);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("big.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dbFile.toUtf8().constData(), &db), SQLITE_OK);
        const QByteArray sql = QByteArray("CREATE TABLE 大表 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(20));"
                                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
                               QByteArray::number(kRows) + ") INSERT INTO 大表 SELECT i, '名稱' || i FROM n;"
                               // a view whose rows past the 100th cannot be produced
                               "CREATE VIEW 壞檢視 AS SELECT 編號, CASE WHEN 編號 > 100 THEN json('{bad') END AS j FROM 大表;";
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        data::Dataset::setFillBudgets({kFirst, {}}, {50, {}});
    }

    void init()
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
        ui.clearRecords();
    }

    void cleanup() { w.reset(); }

    void firstRowsAtOnceThenTheScrollBarGrows()
    {
        QString hint; // panel 3 as the table opens (the list's own hint by then)
        connect(&w->ADODXML, &data::Dataset::beforeOpen, this, [&] { hint = panel3(); });
        clickBigTable();
        TwDBGrid *grid = w->DBGrid2;
        QVERIFY(w->ADODXML.Fetching());
        QCOMPARE(grid->model()->rowCount(), kFirst);
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("名稱1"));
        QCOMPARE(panel3(), gui::fillProgressText(kFirst));
        w->showPage(4);
        const int firstMaximum = grid->verticalScrollBar()->maximum();
        QTRY_VERIFY_WITH_TIMEOUT(grid->verticalScrollBar()->maximum() > firstMaximum, 60000);

        // The window answers keys while rows arrive: the cursor moves, rows keep coming.
        drive::clickCell(grid, 0, 1);
        QCOMPARE(drive::focused(), grid);
        QVERIFY(w->ADODXML.Fetching());
        drive::press(Qt::Key_Down);
        drive::press(Qt::Key_Down);
        QCOMPARE(w->ADODXML.RecNo(), 3);

        QTRY_VERIFY_WITH_TIMEOUT(!w->ADODXML.Fetching(), 120000);
        QCOMPARE(grid->model()->rowCount(), kRows);
        QCOMPARE(w->ADODXML.RecNo(), 3); // arrivals never moved the current row
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(panel3(), hint); // the earlier text again
        QTRY_VERIFY(w->statusBar()->findChild<QToolButton *>(QStringLiteral("btnStopFill")) == nullptr);
        QVERIFY(ui.messages().isEmpty());
    }

    // Rows that arrive below the shown ones only grow the scroll bar: the cells on screen
    // are not painted again for every slice of the fill.
    void arrivalsOutOfSightLeaveTheShownCellsAlone()
    {
        clickBigTable();
        clickTab(4);
        CellPaints paints(w->DBGrid2, w->ADODXML);
        QTRY_VERIFY(paints.rowsAtLastPaint >= kFirst); // the first rows are on screen
        const int shownBefore = paints.duringFill;
        const int firstMaximum = w->DBGrid2->verticalScrollBar()->maximum();
        int slices = 0;
        connect(&w->ADODXML, &data::Dataset::rowsArrived, this, [&] { ++slices; });
        QTRY_VERIFY_WITH_TIMEOUT(!w->ADODXML.Fetching(), 120000);
        QVERIFY(slices >= 20);
        const int repaints = paints.duringFill - shownBefore;
        QVERIFY2(repaints * 4 < slices, qPrintable(QStringLiteral("%1 repaints for %2 slices").arg(repaints).arg(slices)));
        QVERIFY(w->DBGrid2->verticalScrollBar()->maximum() > firstMaximum);
        QCOMPARE(w->DBGrid2->model()->rowCount(), kRows);
    }

    void escStopsTheFillKeepingTheRows()
    {
        clickBigTable();
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, 1);
        QVERIFY(w->ADODXML.Fetching());
        drive::press(Qt::Key_Escape);
        QVERIFY(!w->ADODXML.Fetching());
        QVERIFY(w->ADODXML.FillStopped());
        const int kept = w->ADODXML.RecordCount();
        QVERIFY(kept >= kFirst && kept < kRows);
        QCOMPARE(w->DBGrid2->model()->rowCount(), kept);
        QCOMPARE(panel3(), gui::fillStoppedText(kept));
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
    }

    void stopButtonInPanelThree()
    {
        clickBigTable();
        auto *button = w->statusBar()->findChild<QToolButton *>(QStringLiteral("btnStopFill"));
        QVERIFY(button);
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!w->ADODXML.Fetching());
        QCOMPARE(panel3(), gui::fillStoppedText(w->ADODXML.RecordCount()));
        QTRY_VERIFY(w->statusBar()->findChild<QToolButton *>(QStringLiteral("btnStopFill")) == nullptr);
    }

    // Saving needs every row: the save waits with the count in panel 3 and writes them
    // all; Esc during that wait stops the fill, writes nothing and says so.
    void saveWaitsForEveryRow_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("waits to the end") << false;
        QTest::newRow("Esc stops the wait") << true;
    }
    void saveWaitsForEveryRow()
    {
        QFETCH(bool, escape);
        clickBigTable();
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, 1);
        const QString file = dir.filePath(QStringLiteral("大表.xml"));
        QFile::remove(file);
        ui.queueSaveFile(file);
        QStringList seen; // panel 3 during the wait
        QTimer watcher;
        watcher.setInterval(0);
        connect(&watcher, &QTimer::timeout, this, [&] {
            if (!panel3().startsWith(QStringLiteral("等待資料讀取完成：已讀入 ")))
                return;
            seen << panel3();
            if (escape && seen.size() == 2)
                drive::press(Qt::Key_Escape);
        });
        watcher.start();
        QVERIFY(w->ADODXML.Fetching());
        w->menuItem(QStringLiteral("nSaveDataToXML"))->trigger();
        watcher.stop();
        QVERIFY(!w->ADODXML.Fetching());
        QVERIFY(seen.size() >= 2);
        const int kept = w->ADODXML.RecordCount();
        if (escape) {
            QVERIFY(w->ADODXML.FillStopped());
            QVERIFY(kept < kRows);
            QCOMPARE(seen.last(), gui::fillWaitText(kept));
            QVERIFY(!QFile::exists(file));
            QCOMPARE(ui.messageTexts(), QStringList({QStringLiteral("已停止讀取資料。")}));
            QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::None); // asked for: not an error
            QCOMPARE(panel3(), gui::fillStoppedText(kept));
        } else {
            QVERIFY(!w->ADODXML.FillStopped());
            QCOMPARE(kept, kRows);
            QCOMPARE(int(data::rowsetxml::load(file).rows.rowCount()), kRows);
            QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
            QVERIFY(!panel3().startsWith(QStringLiteral("等待資料讀取完成")));
        }
    }

    void failureDuringTheFillIsShown()
    {
        clickBigTable(QStringLiteral("壞檢視"));
        QVERIFY(w->ADODXML.Fetching());
        QTRY_VERIFY_WITH_TIMEOUT(!w->ADODXML.Fetching(), 60000);
        QCOMPARE(ui.messageTexts(), QStringList({QStringLiteral("malformed JSON")}));
        QCOMPARE(ui.messages().first().icon, platform::MessageIcon::Stop);
        QCOMPARE(w->ADODXML.RecordCount(), 100);
        QCOMPARE(w->DBGrid2->model()->rowCount(), 100);
        QCOMPARE(panel3(), gui::fillStoppedText(100));
    }

    // A select on the SQL page fills the same way; an update typed while it fills runs
    // once the rest of the rows are in (the connection carries one result at a time).
    void sqlPageSelectThenUpdateWhileFilling()
    {
        w->nADOConnect->trigger();
        QTabBar *bar = w->PageControl1->tabBar();
        auto run = [&](const QString &text) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(3).center());
            QTest::mouseClick(w->redSQLText->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
            QCOMPARE(drive::focused(), static_cast<QWidget *>(w->redSQLText));
            drive::press(Qt::Key_A, Qt::ControlModifier);
            drive::type(text);
            QTest::mouseClick(w->btnRun, Qt::LeftButton);
        };
        run(QStringLiteral("select * from 大表 where 編號 > 0"));
        QVERIFY(w->ADODXML.Active());
        QVERIFY(w->ADODXML.Fetching());
        QCOMPARE(w->DBGrid2->model()->rowCount(), kFirst);
        run(QStringLiteral("update 大表 set 名稱 = 'changed' where 編號 = 1"));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QVERIFY(!w->ADODXML.Fetching());
        QVERIFY(!w->ADODXML.FillStopped());
        QCOMPARE(w->DBGrid2->model()->rowCount(), kRows);
        data::Dataset check;
        check.setConnection(&w->ADOConnection1);
        check.setCommandText(QStringLiteral("select 名稱 from 大表 where 編號 = 1"));
        check.Open();
        QCOMPARE(check.Fields(0)->AsString(), QStringLiteral("changed"));
        // Restore the table for the other tests.
        w->ADOConnection1.session().execute(QStringLiteral("update 大表 set 名稱 = '名稱1' where 編號 = 1"));
    }

    void disconnectStopsTheFill()
    {
        clickBigTable();
        QVERIFY(w->ADODXML.Fetching());
        w->nADODisconnect->trigger();
        QVERIFY(!w->ADODXML.Fetching());
        QVERIFY(!w->ADOConnection1.Connected());
        QVERIFY(ui.messages().isEmpty());
    }
};

QTEST_MAIN(TestWindowFill)
#include "tst_window_fill.moc"
