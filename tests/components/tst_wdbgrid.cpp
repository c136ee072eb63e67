// The data-entry grid over a real SQLite table, in an active window, driven as a person
// drives it: keys through the focused window to whatever has the focus (the grid or its
// in-place editor), presses at the position of a cell, a title or an indicator.
#include "components/ImeSwitch.h"
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QAbstractButton>
#include <functional>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

using namespace components;

namespace {

// people: id | name | city | qty | flag | note
enum Col { cId, cName, cCity, cQty, cFlag, cNote, cCount };

void execSql(sqlite3 *db, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const QString text = QString::fromUtf8(err ? err : "?");
        sqlite3_free(err);
        QFAIL(qPrintable(text));
    }
}

// The grid in a window of its own, beside another widget the focus can go to.
struct Grid {
    QTemporaryDir dir;
    data::Connection conn;
    data::Dataset ds;
    QWidget window;
    TwDBGrid grid;
    QLineEdit other;
    QStringList log;

    explicit Grid(int rows = 3)
    {
        const QString file = dir.path() + QStringLiteral("/grid.db");
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        execSql(db, "CREATE TABLE people (id INTEGER PRIMARY KEY, name NVARCHAR(20), city NVARCHAR(20),"
                    " qty INTEGER, flag CHAR(1), note NVARCHAR(20)); BEGIN;");
        for (int i = 1; i <= rows; ++i) {
            const QByteArray sql = QStringLiteral("INSERT INTO people VALUES (%1, 'name%1', 'city%1', %1, '%2', 'note%1')")
                                       .arg(i).arg(i % 2 ? QStringLiteral("Y") : QStringLiteral("N")).toUtf8();
            execSql(db, sql.constData());
        }
        execSql(db, "COMMIT;");
        sqlite3_close(db);
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        conn.Open();
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From people"));
        auto *layout = new QHBoxLayout(&window);
        layout->addWidget(&grid, 1);
        layout->addWidget(&other);
        window.resize(900, 400);
        grid.setDataSet(&ds);
        ds.Open();
        ds.Fields(cId)->setReadOnly(true);
        ds.Fields(cFlag)->setTag(10);
        grid.LayoutChanged();
        grid.OnEnterDown = [this](QObject *) { log << QStringLiteral("EnterDown"); };
        grid.OnBeforePost = [this](QObject *) { log << QStringLiteral("BeforePost"); };
    }
    // Shows the window, waits until it is active and puts the focus in the grid. Use in
    // QVERIFY before the first key.
    bool show()
    {
        if (!drive::showActive(&window))
            return false;
        grid.setFocus();
        return drive::focused() == &grid;
    }
    // Keys go where a person's go: to the focused widget of the active window.
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) { drive::press(Qt::Key(k), m); }
    void type(const QString &text) { drive::type(text); }
    void click(int row, int col, Qt::MouseButton b = Qt::LeftButton) { drive::clickCell(&grid, row, col, b); }
    bool editorHasFocus() const { return grid.EditorMode() && drive::focused() == grid.InplaceEditor(); }
    QString stored(int id, const char *column)
    {
        data::Dataset check;
        check.setConnection(&conn);
        check.setCommandText(QStringLiteral("Select %1 From people Where id = %2").arg(QLatin1String(column)).arg(id));
        check.Open();
        return check.IsEmpty() ? QStringLiteral("<none>") : check.Fields(0)->AsString();
    }
};

class CountingIme : public ImeSwitch {
public:
    bool keyboardLayoutIsIme() const override { return true; }
    void sendToggle(QWidget *) override { ++toggles; }
    int toggles = 0;
};

} // namespace

class TestWDBGrid : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void modelReadsDatasetLazily();
    void enterOnLastColumnOfLastRecordAppends();
    void enterWalksColumnsAndStopsWhenNothingIsWritable();
    void requiredFieldStopsEnter();
    void downWhileEditingFiresNotificationsInOrder_data();
    void downWhileEditingFiresNotificationsInOrder();
    void leftRightAtEdges_data();
    void leftRightAtEdges();
    void insertStateLeftWalkOverHiddenColumn();
    void homeEndByState();
    void checkFieldToggles_data();
    void checkFieldToggles();
    void checkColumnDisablesEditing();
    void ctrlEndWithLimit_data();
    void ctrlEndWithLimit();
    void scrollToBottomLimited();
    void wheel();
    void pressOnOtherRow_data();
    void pressOnOtherRow();
    void leavingFromTheOpenEditor_data();
    void leavingFromTheOpenEditor();
    void charCase_data();
    void charCase();
    void escapeCancels();
    void imeStepOnColumnWithoutImeName();
    void badTextKeepsEditorOpen();
    void baseGridKeys();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void keysWithEditorOpen_data();
    void keysWithEditorOpen();
    void columnAfterClosingEditor_data();
    void columnAfterClosingEditor();
    void typedTextSurvivesDatasetMove_data();
    void typedTextSurvivesDatasetMove();
    void badTextStopsDatasetMove();
    void pressOnTitleOrIndicator_data();
    void pressOnTitleOrIndicator();
    void columnWidthsFollowDisplayWidths();
};

void TestWDBGrid::defaults()
{
    TwDBGrid g;
    QCOMPARE(g.MaxRowCanMoveLast(), -1);
    QCOMPARE(g.CharCase(), ecNormal);
    QCOMPARE(g.DrawMemo(), gedmYes);
    QCOMPARE(g.DrawGraphic(), gedgAdjust);
    QCOMPARE(g.NativeClick(), TdbeNativeClick(0));
    QCOMPARE(g.RowSizingAllowed(), false);
    QCOMPARE(g.GridLineWidth(), 1);
    QCOMPARE(g.Options(), kDefaultGridOptions);
    g.setMaxRowCanMoveLast(-7);
    QCOMPARE(g.MaxRowCanMoveLast(), -1);
    g.setDefaultRowHeight(24);
    QCOMPARE(g.DefaultRowHeight(), 24);
    g.setDefaultRowHeight(0);
    QCOMPARE(g.DefaultRowHeight(), 24);
}

void TestWDBGrid::modelReadsDatasetLazily()
{
    testsupport::ScriptedUiScope ui;
    Grid t(5);
    QVERIFY(t.show());
    QAbstractItemModel *m = t.grid.model();
    QCOMPARE(m->rowCount(), 5);
    QCOMPARE(m->columnCount(), int(cCount));
    QCOMPARE(m->index(4, cName).data().toString(), QStringLiteral("name5"));
    QCOMPARE(m->headerData(cName, Qt::Horizontal).toString(), QStringLiteral("name"));
    t.ds.Fields(cName)->setDisplayLabel(QStringLiteral("姓名"));
    t.ds.Fields(cNote)->setVisible(false);
    t.grid.LayoutChanged();
    QCOMPARE(m->headerData(cName, Qt::Horizontal).toString(), QStringLiteral("姓名"));
    QVERIFY(t.grid.isColumnHidden(cNote));
    // The view's current cell is the dataset's cursor.
    t.ds.setRecNo(4);
    QCOMPARE(t.grid.currentIndex().row(), 3);
    t.key(Qt::Key_Down);
    QCOMPARE(t.ds.RecNo(), 5);
    QCOMPARE(t.grid.currentIndex().row(), 4);
    QCOMPARE(m->headerData(4, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    QCOMPARE(m->headerData(3, Qt::Vertical).toString(), QString());
}

void TestWDBGrid::enterOnLastColumnOfLastRecordAppends()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.ds.Last();
    t.grid.setSelectedIndex(cNote);
    t.key(Qt::Key_Return);
    QCOMPARE(t.ds.State(), data::dsInsert);
    QCOMPARE(t.ds.RecordCount(), 3);
    QCOMPARE(t.grid.model()->rowCount(), 4);
    // id is read-only: the first editable column is name.
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QCOMPARE(t.grid.currentIndex().row(), 3);
    QVERIFY(t.log.isEmpty()); // browse state: no notifications
    // Typing into the new row and Enter on through the columns posts it.
    t.type(QStringLiteral("New"));
    for (int i = cName; i < cCount; ++i)
        t.key(Qt::Key_Return);
    QCOMPARE(t.ds.RecordCount(), 4);
    QCOMPARE(t.stored(4, "name"), QStringLiteral("New"));
    QVERIFY(ui.messages().isEmpty());
}

void TestWDBGrid::enterWalksColumnsAndStopsWhenNothingIsWritable()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(cName);
    t.ds.Fields(cCity)->setReadOnly(true);
    t.ds.Fields(cQty)->setVisible(false);
    t.grid.LayoutChanged();
    t.key(Qt::Key_Return);
    QCOMPARE(t.grid.SelectedIndex(), int(cFlag)); // city read-only, qty hidden
    QCOMPARE(t.ds.RecNo(), 1);

    // No column writable: the search ends after one pass on the current column.
    for (int i = 0; i < t.grid.ColumnCount(); ++i)
        t.grid.Columns(i)->setReadOnly(true);
    t.grid.setSelectedIndex(cCity);
    t.key(Qt::Key_Return);
    QCOMPARE(t.grid.SelectedIndex(), int(cCity));
    QCOMPARE(t.ds.RecNo(), 1);
    QCOMPARE(t.ds.RecordCount(), 3);
    t.grid.setSelectedIndex(cNote);
    t.key(Qt::Key_Return); // past the last column: next record, same column
    QCOMPARE(t.ds.RecNo(), 2);
    QCOMPARE(t.grid.SelectedIndex(), int(cNote));
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecordCount(), 3);
}

void TestWDBGrid::requiredFieldStopsEnter()
{
    testsupport::ScriptedUiScope ui;
    Grid t(2);
    QVERIFY(t.show());
    t.ds.Fields(cName)->setRequired(true);
    t.ds.Fields(cName)->setDisplayLabel(QStringLiteral("姓名"));
    t.ds.Last();
    t.grid.setSelectedIndex(cNote);
    t.key(Qt::Key_Return); // appends
    QCOMPARE(t.ds.State(), data::dsInsert);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    t.key(Qt::Key_Return);
    QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("姓名不得空白")});
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QCOMPARE(t.ds.State(), data::dsInsert);
    QVERIFY(t.log.isEmpty()); // aborted before OnEnterDown
    t.type(QStringLiteral("Ann"));
    t.key(Qt::Key_Return);
    QCOMPARE(t.grid.SelectedIndex(), int(cCity));
    QCOMPARE(t.log, QStringList{QStringLiteral("EnterDown")});
    QCOMPARE(ui.messages().size(), 1);

    // Down with the required field emptied in the editor: the message, and no move.
    t.key(Qt::Key_Escape);
    t.ds.First();
    t.grid.setSelectedIndex(cName);
    t.key(Qt::Key_F2);
    t.key(Qt::Key_Backspace);
    QCOMPARE(t.ds.State(), data::dsEdit);
    t.log.clear();
    t.key(Qt::Key_Down);
    QCOMPARE(ui.messages().size(), 2);
    QCOMPARE(ui.lastMessage().text, QStringLiteral("姓名不得空白"));
    QCOMPARE(t.ds.RecNo(), 1);
    QCOMPARE(t.ds.State(), data::dsEdit);
    QVERIFY(t.log.isEmpty());
    QCOMPARE(t.stored(1, "name"), QStringLiteral("name1"));
}

void TestWDBGrid::downWhileEditingFiresNotificationsInOrder_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("middle column") << int(cName)
                                   << QStringList{"EnterDown", "EnterDown", "BeforePost"};
    QTest::newRow("last column") << int(cNote)
                                 << QStringList{"EnterDown", "BeforePost", "EnterDown", "BeforePost"};
}

void TestWDBGrid::downWhileEditingFiresNotificationsInOrder()
{
    QFETCH(int, column);
    QFETCH(QStringList, events);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(column);
    t.type(QStringLiteral("Zed"));
    QVERIFY(t.grid.EditorMode());
    QCOMPARE(t.ds.State(), data::dsEdit);
    QVERIFY(t.log.isEmpty());
    t.key(Qt::Key_Down);
    QCOMPARE(t.log, events);
    QVERIFY(!t.grid.EditorMode());
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecNo(), 2);
    QCOMPARE(t.grid.SelectedIndex(), column); // the simulated Enter did not move
    QCOMPARE(t.stored(1, column == cName ? "name" : "note"), QStringLiteral("Zed"));
    QVERIFY(ui.messages().isEmpty());
}

void TestWDBGrid::leftRightAtEdges_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("left on first data column") << int(cId) << int(Qt::Key_Left) << int(cId);
    QTest::newRow("right on last data column") << int(cNote) << int(Qt::Key_Right) << int(cNote);
    QTest::newRow("left skips read-only id") << int(cName) << int(Qt::Key_Left) << int(cName);
    QTest::newRow("right") << int(cName) << int(Qt::Key_Right) << int(cCity);
    QTest::newRow("shift+tab skips read-only id") << int(cName) << int(Qt::Key_Backtab) << int(cName);
}

void TestWDBGrid::leftRightAtEdges()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    int seen = 0;
    t.grid.OnKeyDown = [&](QObject *, int &k, Qt::KeyboardModifiers) {
        if (k != Qt::Key_Shift) // the modifier's own key-down reaches the base grid
            ++seen;
    };
    t.grid.setSelectedIndex(start);
    t.key(key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(t.grid.SelectedIndex(), expected);
    QCOMPARE(seen, 0); // swallowed: the base grid never saw it
    QCOMPARE(t.ds.RecNo(), 1);
}

void TestWDBGrid::insertStateLeftWalkOverHiddenColumn()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.ds.Fields(cCity)->setVisible(false);   // hidden, writable
    t.ds.Fields(cName)->setReadOnly(true);   // visible, read-only
    t.grid.LayoutChanged();
    // Browse: the walk skips the hidden and the read-only column and stays put.
    t.grid.setSelectedIndex(cQty);
    t.key(Qt::Key_Left);
    QCOMPARE(t.grid.SelectedIndex(), int(cQty));
    // Insert: only hidden columns are passed over, so it stops on read-only name.
    t.key(Qt::Key_Insert);
    QCOMPARE(t.ds.State(), data::dsInsert);
    t.grid.setSelectedIndex(cQty);
    t.key(Qt::Key_Left);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QCOMPARE(t.log, QStringList{QStringLiteral("EnterDown")});
    // Shift+Tab in insert state also skips hidden columns only.
    t.grid.setSelectedIndex(cQty);
    t.key(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
}

void TestWDBGrid::homeEndByState()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(cCity);
    t.key(Qt::Key_End);
    QCOMPARE(t.grid.SelectedIndex(), int(cNote));
    t.key(Qt::Key_Home);
    QCOMPARE(t.grid.SelectedIndex(), int(cName)); // id is read-only
    t.key(Qt::Key_Insert);
    QCOMPARE(t.ds.State(), data::dsInsert);
    t.grid.setSelectedIndex(cCity);
    t.key(Qt::Key_Home);
    QCOMPARE(t.grid.SelectedIndex(), int(cCity));
    t.key(Qt::Key_End);
    QCOMPARE(t.grid.SelectedIndex(), int(cCity));
    QVERIFY(t.log.isEmpty()); // Home and End notify nobody
}

void TestWDBGrid::checkFieldToggles_data()
{
    QTest::addColumn<bool>("bySpace");
    QTest::addColumn<bool>("columnReadOnly");
    QTest::addColumn<bool>("rowSelect");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("expected");
    QTest::newRow("space Y") << true << false << false << "Y" << "N";
    QTest::newRow("space N") << true << false << false << "N" << "Y";
    QTest::newRow("space other") << true << false << false << "X" << "Y";
    QTest::newRow("space read-only column") << true << true << false << "Y" << "N";
    QTest::newRow("click") << false << false << false << "N" << "Y";
    QTest::newRow("click other") << false << false << false << "" << "Y";
    QTest::newRow("click read-only column") << false << true << false << "N" << "N";
    QTest::newRow("click with row select") << false << false << true << "N" << "N";
}

void TestWDBGrid::checkFieldToggles()
{
    QFETCH(bool, bySpace);
    QFETCH(bool, columnReadOnly);
    QFETCH(bool, rowSelect);
    QFETCH(QString, initial);
    QFETCH(QString, expected);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.ds.setRecNo(2);
    t.ds.Fields(cFlag)->setAsString(initial);
    t.ds.Post();
    if (rowSelect)
        t.grid.setOptions(t.grid.Options() | dgRowSelect);
    t.grid.Columns(cFlag)->setReadOnly(columnReadOnly);
    if (bySpace) {
        t.grid.setSelectedIndex(cFlag);
        t.key(Qt::Key_Space);
    } else {
        t.click(1, cFlag);
    }
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecNo(), 2);
    QCOMPARE(t.stored(2, "flag"), expected);
    QVERIFY(!t.grid.EditorMode());
    QVERIFY(ui.messages().isEmpty());
}

void TestWDBGrid::checkColumnDisablesEditing()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    QVERIFY(t.grid.Options() & dgEditing);
    t.grid.setSelectedIndex(cFlag);
    QVERIFY(!(t.grid.Options() & dgEditing));
    QCOMPARE(t.grid.Columns(cFlag)->Check(), QStringLiteral("Y"));
    t.type(QStringLiteral("q")); // cannot be typed into
    QVERIFY(!t.grid.EditorMode());
    QCOMPARE(t.ds.State(), data::dsBrowse);
    t.key(Qt::Key_Right);
    QVERIFY(t.grid.Options() & dgEditing);
    QCOMPARE(t.grid.Options(), kDefaultGridOptions);
}

void TestWDBGrid::ctrlEndWithLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("sequenced");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<int>("column");
    QTest::newRow("limit 100, 5000 unsequenced") << 100 << 5000 << false << 2 << int(cName);
    QTest::newRow("limit 100, 5000 sequenced") << 100 << 5000 << true << 5000 << int(cName);
    QTest::newRow("limit 100, 50 records") << 100 << 50 << false << 50 << int(cName);
    QTest::newRow("no limit") << -1 << 50 << false << 1 << int(cNote);
}

void TestWDBGrid::ctrlEndWithLimit()
{
    QFETCH(int, limit);
    QFETCH(int, rows);
    QFETCH(bool, sequenced);
    QFETCH(int, recNo);
    QFETCH(int, column);
    testsupport::ScriptedUiScope ui;
    Grid t(rows);
    QVERIFY(t.show());
    t.ds.setSequenced(sequenced);
    t.grid.setMaxRowCanMoveLast(limit);
    t.grid.setSelectedIndex(cName);
    t.key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(t.ds.RecNo(), recNo);
    QCOMPARE(t.grid.SelectedIndex(), column);
    QCOMPARE(t.grid.currentIndex().row(), recNo - 1);
    QCOMPARE(t.ds.State(), data::dsBrowse);
}

void TestWDBGrid::scrollToBottomLimited()
{
    testsupport::ScriptedUiScope ui;
    Grid t(2000);
    QVERIFY(t.show());
    t.ds.setSequenced(false);
    QScrollBar *sb = t.grid.verticalScrollBar();
    QVERIFY(sb->maximum() > sb->pageStep());
    sb->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(sb->value(), sb->maximum()); // no limit
    sb->setValue(0);
    t.grid.setMaxRowCanMoveLast(100);
    sb->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(sb->value(), sb->pageStep()); // a page down instead
}

void TestWDBGrid::wheel()
{
    testsupport::ScriptedUiScope ui;
    auto turn = [](TwDBGrid &g, int delta) {
        QWheelEvent ev(QPointF(20, 20), g.viewport()->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, delta),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(g.viewport(), &ev);
        return ev.isAccepted();
    };
    TwDBGrid empty;
    empty.resize(300, 200);
    empty.show();
    QVERIFY(!empty.DoMouseWheel(-120));
    QVERIFY(!turn(empty, -120));

    Grid t(5);
    QVERIFY(t.show());
    QVERIFY(turn(t.grid, -120));
    QVERIFY(turn(t.grid, -120));
    QCOMPARE(t.ds.RecNo(), 3);
    QVERIFY(turn(t.grid, 120));
    QCOMPARE(t.ds.RecNo(), 2);
    QVERIFY(turn(t.grid, 0));
    QCOMPARE(t.ds.RecNo(), 2);
    t.ds.Close();
    QVERIFY(!turn(t.grid, -120));
}

void TestWDBGrid::pressOnOtherRow_data()
{
    QTest::addColumn<bool>("inserting");
    QTest::newRow("insert is cancelled") << true;
    QTest::newRow("edit is posted") << false;
}

void TestWDBGrid::pressOnOtherRow()
{
    QFETCH(bool, inserting);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(cCity);
    if (inserting) {
        t.ds.Last();
        t.key(Qt::Key_Down); // appends at the end
        QCOMPARE(t.ds.State(), data::dsInsert);
    } else {
        t.ds.setRecNo(2);
    }
    t.type(QStringLiteral("Typed"));
    QCOMPARE(t.ds.State(), inserting ? data::dsInsert : data::dsEdit);
    t.log.clear();
    t.click(0, cName);
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecordCount(), 3);
    QCOMPARE(t.ds.RecNo(), 1);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QVERIFY(ui.questions().isEmpty());
    if (inserting) {
        QVERIFY(t.log.isEmpty());
        QCOMPARE(t.stored(4, "city"), QStringLiteral("<none>"));
    } else {
        QCOMPARE(t.log, (QStringList{"EnterDown", "BeforePost"}));
        QCOMPARE(t.stored(2, "city"), QStringLiteral("Typed"));
    }
}

void TestWDBGrid::charCase_data()
{
    QTest::addColumn<int>("charCase");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("upper text") << int(ecUpperCase) << int(cName) << "ab1c" << "AB1C";
    QTest::newRow("lower text") << int(ecLowerCase) << int(cName) << "AbC" << "abc";
    QTest::newRow("normal text") << int(ecNormal) << int(cName) << "aB" << "aB";
    QTest::newRow("upper numeric") << int(ecUpperCase) << int(cQty) << "a" << "a";
}

void TestWDBGrid::charCase()
{
    QFETCH(int, charCase);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    testsupport::ScriptedUiScope ui;
    Grid t(2);
    QVERIFY(t.show());
    t.grid.setCharCase(TEditCharCase(charCase));
    t.grid.setSelectedIndex(column);
    t.type(typed);
    QVERIFY(t.grid.EditorMode());
    QCOMPARE(t.grid.InplaceEditor()->text(), shown);
    if (column == cName) {
        t.key(Qt::Key_Down);
        QCOMPARE(t.stored(1, "name"), shown);
    }
}

void TestWDBGrid::escapeCancels()
{
    testsupport::ScriptedUiScope ui;
    Grid t(2);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(cName);
    t.type(QStringLiteral("Gone"));
    t.key(Qt::Key_Escape);
    QVERIFY(!t.grid.EditorMode());
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.Fields(cName)->AsString(), QStringLiteral("name1"));
    QCOMPARE(t.stored(1, "name"), QStringLiteral("name1"));
}

void TestWDBGrid::imeStepOnColumnWithoutImeName()
{
    testsupport::ScriptedUiScope ui;
    CountingIme ime;
    setImeSwitch(&ime);
    Grid t(2);
    QVERIFY(t.show());
    t.grid.Columns(cCity)->setImeName(QStringLiteral("Chinese (Traditional) - Phonetic"));
    t.grid.setSelectedIndex(cName);
    t.key(Qt::Key_Right); // to city: it has an input method
    QCOMPARE(ime.toggles, 0);
    t.key(Qt::Key_Right); // to qty: none
    QCOMPARE(ime.toggles, 1);
    t.key(Qt::Key_Home); // Home runs no input-method step
    QCOMPARE(ime.toggles, 1);
    t.click(1, cQty);
    QCOMPARE(ime.toggles, 2);
    setImeSwitch(nullptr);
    t.key(Qt::Key_Right);
    QCOMPARE(ime.toggles, 2);
}

void TestWDBGrid::badTextKeepsEditorOpen()
{
    testsupport::ScriptedUiScope ui;
    Grid t(2);
    QVERIFY(t.show());
    t.grid.setSelectedIndex(cQty);
    t.type(QStringLiteral("12x"));
    t.key(Qt::Key_Return);
    QCOMPARE(ui.messages().size(), 1);
    QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
    QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
    QVERIFY(t.grid.EditorMode());
    QCOMPARE(t.grid.InplaceEditor()->text(), QStringLiteral("12x"));
    QCOMPARE(t.grid.SelectedIndex(), int(cQty));
    QCOMPARE(t.stored(1, "qty"), QStringLiteral("1"));
}

void TestWDBGrid::baseGridKeys()
{
    testsupport::ScriptedUiScope ui;
    Grid t(2);
    QVERIFY(t.show());
    // Tab past the last column goes to the next record's first visible column.
    t.grid.setSelectedIndex(cNote);
    t.key(Qt::Key_Tab);
    QCOMPARE(t.ds.RecNo(), 2);
    QCOMPARE(t.grid.SelectedIndex(), int(cId));
    // Down on the last record appends; the new record starts on its first writable field.
    t.grid.setSelectedIndex(cQty);
    t.key(Qt::Key_Down);
    QCOMPARE(t.ds.State(), data::dsInsert);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    // Down again on the untouched new record stays; Up drops it.
    t.key(Qt::Key_Down);
    QCOMPARE(t.ds.State(), data::dsInsert);
    t.key(Qt::Key_Up);
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecordCount(), 2);
    QCOMPARE(t.ds.RecNo(), 2);
    // Leaving the grid drops an untouched new record as well.
    t.key(Qt::Key_Insert);
    QCOMPARE(t.ds.State(), data::dsInsert);
    QTest::mouseClick(&t.other, Qt::LeftButton);
    QCOMPARE(drive::focused(), &t.other);
    QCOMPARE(t.ds.State(), data::dsBrowse);
    QCOMPARE(t.ds.RecordCount(), 2);
    // F2 opens the editor on the cell; Esc closes it.
    t.grid.setFocus();
    t.grid.setSelectedIndex(cCity);
    t.key(Qt::Key_F2);
    QVERIFY(t.grid.EditorMode());
    QCOMPARE(t.grid.InplaceEditor()->text(), QStringLiteral("city2"));
    t.key(Qt::Key_Escape);
    QVERIFY(!t.grid.EditorMode());
    QVERIFY(ui.messages().isEmpty());
}

// Leaving the grid from its open editor drops a new record nobody typed into, as leaving
// the grid itself does; a record with typed text stays, text and all.
void TestWDBGrid::leavingFromTheOpenEditor_data()
{
    QTest::addColumn<bool>("appendAtEnd"); // Down on the last record; otherwise Insert
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("state");
    QTest::newRow("inserted, editor untouched") << false << "" << int(data::dsBrowse);
    QTest::newRow("appended, editor untouched") << true << "" << int(data::dsBrowse);
    QTest::newRow("inserted, text typed") << false << "Zoe" << int(data::dsInsert);
    QTest::newRow("appended, text typed") << true << "Zoe" << int(data::dsInsert);
}

void TestWDBGrid::leavingFromTheOpenEditor()
{
    QFETCH(bool, appendAtEnd);
    QFETCH(QString, typed);
    QFETCH(int, state);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    for (int presses = appendAtEnd ? 3 : 0; presses > 0; --presses)
        t.key(Qt::Key_Down); // past the last record: a new one
    if (!appendAtEnd)
        t.key(Qt::Key_Insert);
    QCOMPARE(t.ds.State(), data::dsInsert);
    t.grid.setSelectedIndex(cName);
    if (typed.isEmpty())
        t.key(Qt::Key_F2);
    else
        t.type(typed);
    QVERIFY(t.editorHasFocus());
    QTest::mouseClick(&t.other, Qt::LeftButton);
    QCOMPARE(drive::focused(), &t.other);
    QCOMPARE(int(t.ds.State()), state);
    QCOMPARE(t.ds.RecordCount(), 3);
    if (!typed.isEmpty())
        QCOMPARE(t.grid.InplaceEditor()->text(), typed);
    else
        QVERIFY(!t.grid.EditorMode());
    QVERIFY(ui.messages().isEmpty());
}

void TestWDBGrid::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("yes") << true << 2;
    QTest::newRow("no") << false << 3;
}

void TestWDBGrid::deleteAsksFirst()
{
    QFETCH(bool, answer);
    QFETCH(int, remaining);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.ds.setRecNo(2);
    answer ? ui.answerYes() : ui.answerNo();
    t.key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(ui.questions().size(), 1);
    QCOMPARE(ui.questions()[0].title, QStringLiteral("程式執行確認"));
    QCOMPARE(ui.questions()[0].text, QStringLiteral("是否刪除此筆資料?"));
    QCOMPARE(t.ds.RecordCount(), remaining);
    QCOMPARE(t.stored(2, "name"), answer ? QStringLiteral("<none>") : QStringLiteral("name2"));
}

// Every key, in every state, reaches the grid's key-down handling (the owner's key-down
// included) and leaves the typed text alone unless it says otherwise.
void TestWDBGrid::keysWithEditorOpen_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QString>("hook");
    QTest::addColumn<bool>("editorOpen");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("stored");
    const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier, none = 0;
    const int edit = data::dsEdit;
    QTest::newRow("Shift") << int(Qt::Key_Shift) << shift << false << "" << true << edit << "name1";
    QTest::newRow("Ctrl") << int(Qt::Key_Control) << ctrl << false << "" << true << edit << "name1";
    QTest::newRow("Alt") << int(Qt::Key_Alt) << alt << false << "" << true << edit << "name1";
    QTest::newRow("CapsLock") << int(Qt::Key_CapsLock) << none << false << "" << true << edit << "name1";
    QTest::newRow("F5") << int(Qt::Key_F5) << none << false << "" << true << edit << "name1";
    QTest::newRow("F10") << int(Qt::Key_F10) << none << false << "" << true << edit << "name1";
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << ctrl << false << "" << true << edit << "name1";
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << shift << false << "" << true << edit << "name1";
    QTest::newRow("Ctrl+Esc") << int(Qt::Key_Escape) << ctrl << false << "" << true << edit << "name1";
    QTest::newRow("Ctrl+E") << int(Qt::Key_E) << ctrl << false << "spreadsheet people" << true << edit << "name1";
    QTest::newRow("Ctrl+L") << int(Qt::Key_L) << ctrl << false << "load" << true << edit << "name1";
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ctrl << false << "text people" << true << edit << "name1";
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << false << "xml people" << true << edit << "name1";
    QTest::newRow("Ctrl+Delete, answered No") << int(Qt::Key_Delete) << ctrl << true << "" << true << edit << "name1";
    QTest::newRow("Insert posts, then inserts") << int(Qt::Key_Insert) << none << false << "" << false
                                                << int(data::dsInsert) << "Ab";
}

void TestWDBGrid::keysWithEditorOpen()
{
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(bool, asks);
    QFETCH(QString, hook);
    QFETCH(bool, editorOpen);
    QFETCH(int, state);
    QFETCH(QString, stored);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    QGuiApplication::clipboard()->clear();
    t.grid.setCaption(QStringLiteral("people"));
    QStringList hooks;
    t.grid.ExportSpreadsheet = [&](TwDBGrid *, const QString &c) { hooks << QStringLiteral("spreadsheet ") + c; };
    t.grid.LoadXml = [&](TwDBGrid *) { hooks << QStringLiteral("load"); };
    t.grid.ExportText = [&](TwDBGrid *, const QString &c) { hooks << QStringLiteral("text ") + c; };
    t.grid.ExportXml = [&](TwDBGrid *, const QString &c) { hooks << QStringLiteral("xml ") + c; };
    QList<int> keyDowns;
    t.grid.OnKeyDown = [&](QObject *, int &k, Qt::KeyboardModifiers) { keyDowns << k; };
    t.click(0, cName);
    t.type(QStringLiteral("Ab"));
    QVERIFY(t.editorHasFocus());
    QCOMPARE(t.grid.InplaceEditor()->text(), QStringLiteral("Ab"));
    keyDowns.clear();
    if (asks)
        ui.answerNo();

    t.key(key, Qt::KeyboardModifiers(mods));
    // A person holds the modifiers down first: each is a key-down of its own.
    QList<int> expectedKeyDowns;
    for (auto [mod, modKey] : {std::pair{Qt::ShiftModifier, Qt::Key_Shift}, {Qt::ControlModifier, Qt::Key_Control},
                               {Qt::AltModifier, Qt::Key_Alt}})
        if (mods & mod)
            expectedKeyDowns << modKey;
    expectedKeyDowns << key;
    QCOMPARE(keyDowns, expectedKeyDowns);
    QCOMPARE(hooks, hook.isEmpty() ? QStringList() : QStringList{hook});
    QCOMPARE(ui.questions().size(), asks ? 1 : 0);
    QCOMPARE(t.grid.EditorMode(), editorOpen);
    if (editorOpen) {
        QVERIFY(t.editorHasFocus());
        QCOMPARE(t.grid.InplaceEditor()->text(), QStringLiteral("Ab"));
    } else {
        QCOMPARE(drive::focused(), &t.grid);
    }
    QCOMPARE(int(t.ds.State()), state);
    QCOMPARE(t.stored(1, "name"), stored);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QVERIFY(ui.messages().isEmpty());
}

namespace {
constexpr int kWheelDown = -1;
}

// Closing the editor moves exactly as the key says, and the focus stays in the grid.
void TestWDBGrid::columnAfterClosingEditor_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("stored");
    const int edit = data::dsEdit, browse = data::dsBrowse;
    QTest::newRow("Enter") << int(cName) << int(Qt::Key_Return) << int(cCity) << 1 << edit
                           << QStringList{"EnterDown"} << "name1";
    QTest::newRow("Down") << int(cName) << int(Qt::Key_Down) << int(cName) << 2 << browse
                          << QStringList{"EnterDown", "EnterDown", "BeforePost"} << "Ab";
    QTest::newRow("Esc") << int(cName) << int(Qt::Key_Escape) << int(cName) << 1 << browse << QStringList() << "name1";
    QTest::newRow("Tab") << int(cName) << int(Qt::Key_Tab) << int(cCity) << 1 << edit << QStringList() << "name1";
    QTest::newRow("F2") << int(cName) << int(Qt::Key_F2) << int(cName) << 1 << edit << QStringList() << "name1";
    QTest::newRow("wheel") << int(cName) << kWheelDown << int(cName) << 2 << browse << QStringList() << "Ab";
    QTest::newRow("Enter on the last column") << int(cNote) << int(Qt::Key_Return) << int(cName) << 2 << browse
                                              << QStringList{"EnterDown", "BeforePost"} << "Ab";
}

void TestWDBGrid::columnAfterClosingEditor()
{
    QFETCH(int, start);
    QFETCH(int, action);
    QFETCH(int, column);
    QFETCH(int, recNo);
    QFETCH(int, state);
    QFETCH(QStringList, events);
    QFETCH(QString, stored);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.click(0, start);
    t.type(QStringLiteral("Ab"));
    QVERIFY(t.editorHasFocus());
    if (action == kWheelDown) {
        const QPoint at = drive::cellCentre(&t.grid, 1, cCity);
        QWheelEvent turn(at, t.grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(t.grid.viewport(), &turn);
    } else {
        t.key(action);
    }
    QVERIFY(!t.grid.EditorMode());
    QCOMPARE(drive::focused(), &t.grid);
    QCOMPARE(t.grid.SelectedIndex(), column);
    QCOMPARE(t.ds.RecNo(), recNo);
    QCOMPARE(int(t.ds.State()), state);
    QCOMPARE(t.log, events);
    QCOMPARE(t.stored(1, start == cName ? "name" : "note"), stored);
    QVERIFY(ui.messages().isEmpty());
}

// Code that moves the dataset while a cell is being edited: the text typed so far is
// taken into the field first, so the move posts it.
void TestWDBGrid::typedTextSurvivesDatasetMove_data()
{
    QTest::addColumn<int>("move");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<int>("state");
    QTest::newRow("Next") << 0 << 2 << int(data::dsBrowse);
    QTest::newRow("First") << 1 << 1 << int(data::dsBrowse);
    QTest::newRow("Last") << 2 << 3 << int(data::dsBrowse);
    QTest::newRow("RecNo") << 3 << 3 << int(data::dsBrowse);
    QTest::newRow("MoveBy") << 4 << 2 << int(data::dsBrowse);
    QTest::newRow("Append") << 5 << 4 << int(data::dsInsert);
}

void TestWDBGrid::typedTextSurvivesDatasetMove()
{
    QFETCH(int, move);
    QFETCH(int, recNo);
    QFETCH(int, state);
    const std::function<void(data::Dataset &)> moves[] = {
        [](data::Dataset &ds) { ds.Next(); },     [](data::Dataset &ds) { ds.First(); },
        [](data::Dataset &ds) { ds.Last(); },     [](data::Dataset &ds) { ds.setRecNo(3); },
        [](data::Dataset &ds) { ds.MoveBy(1); },  [](data::Dataset &ds) { ds.Append(); },
    };
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.click(0, cName);
    t.type(QStringLiteral("Ab"));
    QVERIFY(t.editorHasFocus());
    moves[move](t.ds);
    QCOMPARE(t.stored(1, "name"), QStringLiteral("Ab"));
    QCOMPARE(t.ds.RecNo(), recNo);
    QCOMPARE(int(t.ds.State()), state);
    if (t.grid.EditorMode()) // the record stayed current: the editor shows what was posted
        QVERIFY(t.editorHasFocus() && t.grid.InplaceEditor()->text() == QStringLiteral("Ab"));
    else
        QCOMPARE(drive::focused(), &t.grid);
    QVERIFY(ui.messages().isEmpty());
}

// Text the field refuses stops the move, as a failed post does; nothing is dropped.
void TestWDBGrid::badTextStopsDatasetMove()
{
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    t.click(0, cQty);
    t.type(QStringLiteral("12x"));
    try {
        t.ds.Next();
        QFAIL("the move should fail");
    } catch (const data::DatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("'12x' 不是欄位 'qty' 可接受的整數值"));
    }
    QCOMPARE(t.ds.RecNo(), 1);
    QCOMPARE(t.ds.State(), data::dsEdit);
    QVERIFY(t.editorHasFocus());
    QCOMPARE(t.grid.InplaceEditor()->text(), QStringLiteral("12x"));
    QCOMPARE(t.stored(1, "qty"), QStringLiteral("1"));
}

namespace {
enum PressTarget { kTitle, kOwnIndicator, kOtherIndicator, kCorner };
}

// A press on a title, on the indicator column or on the corner is a press on the grid:
// the record being edited is posted (or the new one dropped) unless the press is on its
// own row.
void TestWDBGrid::pressOnTitleOrIndicator_data()
{
    QTest::addColumn<bool>("inserting");
    QTest::addColumn<int>("target");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("editorOpen");
    const QStringList posted{"EnterDown", "BeforePost"};
    const int browse = data::dsBrowse;
    QTest::newRow("edit, title") << false << int(kTitle) << posted << browse << 1 << false;
    QTest::newRow("edit, corner") << false << int(kCorner) << posted << browse << 1 << false;
    QTest::newRow("edit, indicator of another record") << false << int(kOtherIndicator) << posted << browse << 3
                                                       << false;
    QTest::newRow("edit, indicator of its own record") << false << int(kOwnIndicator) << QStringList{"EnterDown"}
                                                       << int(data::dsEdit) << 1 << true;
    QTest::newRow("insert, title") << true << int(kTitle) << QStringList() << browse << 3 << false;
    QTest::newRow("insert, indicator of another record") << true << int(kOtherIndicator) << QStringList() << browse
                                                         << 3 << false;
}

void TestWDBGrid::pressOnTitleOrIndicator()
{
    QFETCH(bool, inserting);
    QFETCH(int, target);
    QFETCH(QStringList, events);
    QFETCH(int, state);
    QFETCH(int, recNo);
    QFETCH(bool, editorOpen);
    testsupport::ScriptedUiScope ui;
    Grid t(3);
    QVERIFY(t.show());
    if (inserting) {
        t.click(2, cName);
        t.key(Qt::Key_Down); // appends after the last record
        QCOMPARE(t.ds.State(), data::dsInsert);
    } else {
        t.click(0, cName);
    }
    t.type(QStringLiteral("Ab"));
    QVERIFY(t.editorHasFocus());
    t.log.clear();
    switch (target) {
    case kTitle: drive::clickHeader(t.grid.horizontalHeader(), cCity); break;
    case kOwnIndicator: drive::clickHeader(t.grid.verticalHeader(), t.ds.currentRow()); break;
    case kOtherIndicator: drive::clickHeader(t.grid.verticalHeader(), 2); break;
    case kCorner: {
        auto *corner = t.grid.findChild<QAbstractButton *>();
        QVERIFY(corner && corner->isVisible());
        QTest::mouseClick(corner, Qt::LeftButton);
        break;
    }
    }
    QCOMPARE(t.log, events);
    QCOMPARE(int(t.ds.State()), state);
    QCOMPARE(t.ds.RecNo(), recNo);
    QCOMPARE(t.ds.RecordCount(), 3);
    QCOMPARE(t.grid.SelectedIndex(), int(cName));
    QCOMPARE(t.grid.EditorMode(), editorOpen);
    if (editorOpen)
        QVERIFY(t.editorHasFocus());
    QCOMPARE(t.stored(1, "name"), !inserting && state == data::dsBrowse ? QStringLiteral("Ab") : QStringLiteral("name1"));
    QCOMPARE(t.stored(4, "name"), QStringLiteral("<none>"));
    QVERIFY(ui.messages().isEmpty());
}

// Columns are as wide as their fields' display widths in the grid's font (at least their
// titles), within bounds.
void TestWDBGrid::columnWidthsFollowDisplayWidths()
{
    testsupport::ScriptedUiScope ui;
    Grid t(1);
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open((t.dir.path() + QStringLiteral("/grid.db")).toUtf8().constData(), &db), SQLITE_OK);
    execSql(db, "CREATE TABLE widths (c CHAR(1), code CHAR(2), title NVARCHAR(30), address NVARCHAR(500));");
    sqlite3_close(db);
    t.ds.Close();
    t.ds.setCommandText(QStringLiteral("Select * From widths"));
    t.ds.Open();
    QVERIFY(t.show());
    QCOMPARE(t.grid.model()->columnCount(), 4);
    const int digit = t.grid.fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int margin = 8;
    QHeaderView *header = t.grid.horizontalHeader();
    const int codeTitle = header->fontMetrics().horizontalAdvance(QStringLiteral("code"));
    QCOMPARE(header->sectionSize(0), std::max(3 * digit, header->fontMetrics().horizontalAdvance(QStringLiteral("c"))) + margin);
    QCOMPARE(header->sectionSize(1), std::max(3 * digit, codeTitle) + margin);
    QCOMPARE(header->sectionSize(2), 30 * digit + margin);
    QCOMPARE(header->sectionSize(3), 40 * digit + margin); // bounded
    QVERIFY(header->sectionSize(1) < header->sectionSize(2));
}

QTEST_MAIN(TestWDBGrid)
#include "tst_wdbgrid.moc"
