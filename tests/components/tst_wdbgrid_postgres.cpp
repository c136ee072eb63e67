// A post the database refuses keeps what the user typed in the grid's row and shows the
// server's error; nothing is lost silently. The grid is an active window and keys go to
// its focused widget, as a person's do.
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/PgServer.h"
#include "support/PgTables.h"
#include "support/ScriptedUi.h"
#include <QLineEdit>
#include <QtTest>

using namespace components;

namespace {

// A dataset on `select` in a grid that is an active window with the focus, as a person
// meets it.
struct ShownGrid {
    data::Dataset ds;
    TwDBGrid grid;

    bool open(data::Connection &conn, const QString &select)
    {
        ds.setConnection(&conn);
        ds.setCommandText(select);
        grid.resize(500, 300);
        grid.setDataSet(&ds);
        ds.Open();
        if (!drive::showActive(&grid))
            return false;
        grid.setFocus();
        return true;
    }
};

} // namespace

class TestWDBGridPostgres : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    data::Connection conn;

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        const QString failure = testsupport::createTables(conn, *pg, QStringLiteral(
            "CREATE TABLE 庫存 (編號 integer PRIMARY KEY, 品名 varchar(20) NOT NULL,"
            " 數量 integer CHECK (數量 >= 0));"
            "INSERT INTO 庫存 VALUES (1, '筆', 10), (2, '紙', 20), (3, '墨', 30);"
            "CREATE TABLE 訂單 (編號 serial PRIMARY KEY, 品名 varchar(20), 數量 integer DEFAULT 1);"
            "INSERT INTO 訂單 (品名) VALUES ('筆');"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    void cleanupTestCase() { testsupport::closeAndStopShared(conn); }

    void refusedPostKeepsTypedValues_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("check constraint, Down") << "check";
        QTest::newRow("row changed underneath, click on another row") << "changed";
        QTest::newRow("duplicate key on a new row, Enter past the last column") << "duplicate";
    }

    void refusedPostKeepsTypedValues()
    {
        QFETCH(QString, how);
        testsupport::ScriptedUiScope ui;
        ShownGrid shown;
        QVERIFY(shown.open(conn, QStringLiteral("Select * From 庫存 Order By 編號")));
        data::Dataset &ds = shown.ds;
        TwDBGrid &grid = shown.grid;
        const int qty = ds.FieldByName(QStringLiteral("數量"))->Index();
        const int id = ds.FieldByName(QStringLiteral("編號"))->Index();
        QString typed;
        int recNo = 2;
        ds.setRecNo(2);
        if (how == QLatin1String("check")) {
            grid.setSelectedIndex(qty);
            typed = QStringLiteral("-5");
            drive::type(typed);
            drive::press(Qt::Key_Down);
        } else if (how == QLatin1String("changed")) {
            QVERIFY(pg->exec(QStringLiteral("UPDATE 庫存 SET 數量 = 21 WHERE 編號 = 2")));
            grid.setSelectedIndex(qty);
            typed = QStringLiteral("25");
            drive::type(typed);
            drive::clickCell(&grid, 0, qty);
        } else {
            ds.Last();
            grid.setSelectedIndex(qty);
            drive::press(Qt::Key_Return); // appends
            QCOMPARE(ds.State(), data::dsInsert);
            QCOMPARE(grid.SelectedIndex(), id);
            drive::type(QStringLiteral("1"));
            drive::press(Qt::Key_Return);
            // Text from an input method arrives as a key event carrying the character.
            drive::type(QStringLiteral("紙"));
            QCOMPARE(grid.InplaceEditor()->text(), QStringLiteral("紙"));
            drive::press(Qt::Key_Return);
            typed = QStringLiteral("7");
            drive::type(typed);
            drive::press(Qt::Key_Return); // past the last column: posts
            recNo = 4;
        }
        // The server's error is shown once, as an error.
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
        QVERIFY(!ui.lastMessage().text.isEmpty());
        // The row keeps what was typed and stays in its edit state on the same record.
        QVERIFY(ds.State() == data::dsEdit || ds.State() == data::dsInsert);
        QCOMPARE(ds.Fields(qty)->AsString(), typed);
        QCOMPARE(grid.model()->index(ds.currentRow(), qty).data().toString(), typed);
        QCOMPARE(ds.RecNo(), recNo);
        QCOMPARE(grid.currentIndex().row(), recNo - 1);
        if (how == QLatin1String("duplicate")) {
            QCOMPARE(ds.Fields(id)->AsString(), QStringLiteral("1"));
            QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM 庫存")), QStringLiteral("3"));
        } else {
            QCOMPARE(pg->scalar(QStringLiteral("SELECT 數量 FROM 庫存 WHERE 編號 = 2")),
                     how == QLatin1String("changed") ? QStringLiteral("21") : QStringLiteral("20"));
        }
        // Once corrected, the same row posts.
        if (how == QLatin1String("duplicate")) {
            ds.Fields(id)->setAsString(QStringLiteral("4"));
        } else if (how == QLatin1String("check")) {
            ds.Fields(qty)->setAsString(QStringLiteral("5"));
        } else {
            drive::press(Qt::Key_Escape);
            QCOMPARE(ds.State(), data::dsBrowse);
            return;
        }
        drive::press(Qt::Key_Up);
        QCOMPARE(ds.State(), data::dsBrowse);
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY(pg->exec(QStringLiteral("DELETE FROM 庫存 WHERE 編號 = 4; UPDATE 庫存 SET 數量 = 20 WHERE 編號 = 2")));
    }

    // A row appended to a table the server numbers keeps an empty number here (the driver
    // cannot tell it). Changing or deleting that row before the table is opened again is
    // refused with a message that says so, not as a change by someone else; nothing is
    // written, and the row the server stored stays as typed.
    void unnumberedNewRowIsRefusedClearly_data()
    {
        QTest::addColumn<bool>("remove"); // Ctrl+Delete; otherwise an edit posted by Up
        QTest::newRow("edit") << false;
        QTest::newRow("delete") << true;
    }
    void unnumberedNewRowIsRefusedClearly()
    {
        QFETCH(bool, remove);
        QVERIFY(pg->exec(QStringLiteral("DELETE FROM 訂單 WHERE 品名 <> '筆'")));
        testsupport::ScriptedUiScope ui;
        ShownGrid shown;
        QVERIFY(shown.open(conn, QStringLiteral("Select * From 訂單")));
        data::Dataset &ds = shown.ds;
        TwDBGrid &grid = shown.grid;
        const int name = ds.FieldByName(QStringLiteral("品名"))->Index();
        drive::clickCell(&grid, 0, name);
        drive::press(Qt::Key_Down); // past the last record: appends
        QCOMPARE(ds.State(), data::dsInsert);
        grid.setSelectedIndex(name);
        drive::type(QStringLiteral("紙"));
        drive::press(Qt::Key_Up); // posts
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM 訂單 WHERE 品名 = '紙'")), QStringLiteral("1"));
        if (remove) {
            ui.answerYes();
            drive::clickCell(&grid, 1, name);
            drive::press(Qt::Key_Delete, Qt::ControlModifier);
        } else {
            drive::clickCell(&grid, 1, name);
            drive::type(QStringLiteral("墨"));
            drive::press(Qt::Key_Up);
        }
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.lastMessage().text.contains(QStringLiteral("重新開啟")), qPrintable(ui.lastMessage().text));
        QCOMPARE(pg->scalar(QStringLiteral("SELECT string_agg(品名, ',' ORDER BY 編號) FROM 訂單")), QStringLiteral("筆,紙"));
        drive::press(Qt::Key_Escape);
    }
};

QTEST_MAIN(TestWDBGridPostgres)
#include "tst_wdbgrid_postgres.moc"
