// Column visibility per schema rowset and column captions per table, kept in the
// display-settings file and applied to real datasets shown in real grids. The dialogs are
// shown, made active and worked by clicks and keys through the focused window.
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "platform/IniFile.h"
#include "schema/GridDisplaySettings.h"
#include "schema/ReFieldDisplayLabel.h"
#include "schema/ReSchemaVisible.h"
#include "support/FileBytes.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace schema;

namespace {

struct Db {
    QTemporaryDir dir;
    data::Connection conn;
    QString ini;

    Db()
    {
        const QString file = dir.path() + QStringLiteral("/db.sqlite");
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE siColumns (id INTEGER PRIMARY KEY, name TEXT, city TEXT, qty INTEGER);"
                     "INSERT INTO siColumns VALUES (1, 'a', 'b', 3), (2, 'c', 'd', 4);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        conn.Open();
        ini = dir.path() + QStringLiteral("/ADO_OpenSchema.Ini");
    }
    void open(data::Dataset &ds)
    {
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From siColumns"));
        ds.Open();
    }
    // `ds` opened on the table and shown by `grid`, as the window's XML page does.
    void openInGrid(data::Dataset &ds, components::TwDBGrid &grid)
    {
        grid.setDataSet(&ds);
        open(ds);
    }
    void writeIni(const QByteArray &text) { testsupport::writeAll(ini, text); }
    QByteArray iniText() { return testsupport::readAll(ini); }
};

struct RunnerScope {
    explicit RunnerScope(DialogRunner r) { setDialogRunner(std::move(r)); }
    ~RunnerScope() { setDialogRunner(nullptr); }
};

} // namespace

class TestGridDisplaySettings : public QObject {
    Q_OBJECT
private slots:
    void visibilityValues_data();
    void visibilityValues();
    void hiddenColumnsSurviveRestart();
    void labelsAppliedOnOpen();
    void tableNamedLikeRowsetSection();
    void labelDialog();
    void labelDialogOnlyAfterTableListOpen();
    void storingWithoutDataset();
    void readOnlyFileFailsOnFirstWrite();
    void unreadableFileReadsAsEmpty_data();
    void unreadableFileReadsAsEmpty();
};

void TestGridDisplaySettings::visibilityValues_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("shown");
    QTest::newRow("false") << QByteArray("false") << true;
    QTest::newRow("empty") << QByteArray("") << true;
    QTest::newRow("2") << QByteArray("2") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("blanks 0") << QByteArray("  0  ") << false;
    QTest::newRow("0x0") << QByteArray("0x0") << false;
    QTest::newRow("0x10") << QByteArray("0x10") << true;
}

void TestGridDisplaySettings::visibilityValues()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, shown);
    Db db;
    db.writeIni("[SICOLUMNS]\nCITY.visible=" + value + "\nqty.Visible=0\n");
    data::Dataset ds;
    db.open(ds);
    ApplySchemaVisibility(&ds, db.ini, QStringLiteral("siColumns"));
    QCOMPARE(ds.FieldByName(QStringLiteral("city"))->Visible(), shown);
    QCOMPARE(ds.FieldByName(QStringLiteral("qty"))->Visible(), false);
    QCOMPARE(ds.FieldByName(QStringLiteral("name"))->Visible(), true); // no key
}

void TestGridDisplaySettings::hiddenColumnsSurviveRestart()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    {
        data::Dataset ds;
        components::TwDBGrid grid;
        db.openInGrid(ds, grid);
        ds.Fields(1)->setVisible(false); // hidden before the dialog opens
        grid.LayoutChanged();
        int runs = 0;
        RunnerScope scope([&](QDialog *d) -> int {
        // QCOMPARE returns from the inner lambda only.
        [&] {
            ++runs;
            auto *dlg = qobject_cast<Tfm_ReSchemaVisible *>(d);
            QVERIFY(dlg);
            QListWidget *list = dlg->CheckListBox1;
            QVERIFY(drive::showActive(dlg));
            QCOMPARE(list->count(), 4);
            QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
            QCOMPARE(list->item(0)->checkState(), Qt::Checked);
            for (int entry : {1, 2, 3}) { // a click on the entry, Space ticks or unticks it
                drive::clickCell(list, entry, 0);
                drive::press(Qt::Key_Space);
            }
            QCOMPARE(list->item(1)->checkState(), Qt::Checked);
            QCOMPARE(list->item(2)->checkState(), Qt::Unchecked);
            }();
        return 0;
        });
        DBGrid1DblClick(&grid);
        QCOMPARE(runs, 1);
        QVERIFY(!grid.isColumnHidden(1));
        QVERIFY(grid.isColumnHidden(2));
        QVERIFY(grid.isColumnHidden(3));
        N12Click(&grid, db.ini, QStringLiteral("siColumns"));
        QVERIFY(ui.messages().isEmpty());
    }
    const platform::IniFile ini(db.ini);
    QCOMPARE(ini.ReadSection(QStringLiteral("siColumns")),
             (QStringList{"id.Visible", "name.Visible", "city.Visible", "qty.Visible"}));
    QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), QStringLiteral("city.Visible"), QString()), QStringLiteral("0"));
    QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), QStringLiteral("name.Visible"), QString()), QStringLiteral("1"));
    // A new run: a fresh dataset and grid, the same file.
    data::Dataset ds;
    components::TwDBGrid grid;
    db.openInGrid(ds, grid);
    ApplySchemaVisibility(&ds, db.ini, QStringLiteral("siColumns"));
    grid.LayoutChanged();
    QVERIFY(!grid.isColumnHidden(0));
    QVERIFY(!grid.isColumnHidden(1));
    QVERIFY(grid.isColumnHidden(2));
    QVERIFY(grid.isColumnHidden(3));
}

void TestGridDisplaySettings::labelsAppliedOnOpen()
{
    Db db;
    db.writeIni("[other]\nname.DisplayLabel=x\n[siColumns]\n[empty]\n");
    {
        platform::IniFile ini(db.ini); // Big5 text goes in through the INI layer
        ini.WriteString(QStringLiteral("SICOLUMNS"), QStringLiteral("NAME.displaylabel"), QStringLiteral("  姓名  "));
        ini.WriteString(QStringLiteral("siColumns"), QStringLiteral("city.DisplayLabel"), QStringLiteral("城市"));
    }
    data::Dataset ds;
    db.open(ds);
    ADODXMLAfterOpen(&ds, db.ini, QString()); // no current table
    QCOMPARE(ds.Fields(1)->DisplayLabel(), QStringLiteral("name"));
    ADODXMLAfterOpen(&ds, db.ini, QStringLiteral("empty")); // a section without keys
    QCOMPARE(ds.Fields(1)->DisplayLabel(), QStringLiteral("name"));
    ds.Fields(3)->setDisplayLabel(QStringLiteral("old"));
    ADODXMLAfterOpen(&ds, db.ini, QStringLiteral("siColumns"));
    QCOMPARE(ds.Fields(1)->DisplayLabel(), QStringLiteral("姓名")); // blanks trimmed
    QCOMPARE(ds.Fields(2)->DisplayLabel(), QStringLiteral("城市"));
    QCOMPARE(ds.Fields(3)->DisplayLabel(), QStringLiteral("qty")); // no key: its name
}

void TestGridDisplaySettings::tableNamedLikeRowsetSection()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    data::Dataset ds;
    components::TwDBGrid grid;
    db.openInGrid(ds, grid);
    ds.Fields(2)->setVisible(false);
    ds.Fields(1)->setDisplayLabel(QStringLiteral("姓名"));
    N12Click(&grid, db.ini, QStringLiteral("siColumns"));
    N10Click(&grid, db.ini, QStringLiteral("siColumns"));
    const platform::IniFile ini(db.ini);
    QCOMPARE(ini.ReadSections(), QStringList{QStringLiteral("siColumns")});
    QCOMPARE(ini.ReadSection(QStringLiteral("siColumns")).size(), 8);
    data::Dataset again;
    db.open(again);
    ApplySchemaVisibility(&again, db.ini, QStringLiteral("siColumns"));
    ADODXMLAfterOpen(&again, db.ini, QStringLiteral("siColumns"));
    QCOMPARE(again.Fields(2)->Visible(), false);
    QCOMPARE(again.Fields(1)->Visible(), true);
    QCOMPARE(again.Fields(1)->DisplayLabel(), QStringLiteral("姓名"));
    QCOMPARE(again.Fields(2)->DisplayLabel(), QStringLiteral("city"));
}

void TestGridDisplaySettings::labelDialog()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    data::Dataset ds;
    components::TwDBGrid grid;
    db.openInGrid(ds, grid);
    RunnerScope scope([&](QDialog *d) -> int {
        // QCOMPARE returns from the inner lambda only.
        [&] {
        auto *dlg = qobject_cast<Tfm_ReFieldDisplayLabel *>(d);
        QVERIFY(dlg);
        QVERIFY(drive::showActive(dlg));
        QCOMPARE(dlg->lbFields->count(), 4);
        // Typing into the label box and pressing Enter: the current entry takes the text.
        auto relabel = [&](const QString &text) {
            QTest::mouseClick(dlg->edDisplayLabel, Qt::LeftButton);
            QCOMPARE(drive::focused(), dlg->edDisplayLabel);
            drive::press(Qt::Key_A, Qt::ControlModifier);
            drive::press(Qt::Key_Delete);
            drive::type(text);
            drive::press(Qt::Key_Return);
        };
        // Enter with no entry current does nothing.
        QCOMPARE(dlg->lbFields->currentRow(), -1);
        relabel(QStringLiteral("ignored"));
        QCOMPARE(ds.Fields(0)->DisplayLabel(), QStringLiteral("id"));
        QCOMPARE(dlg->lbFields->item(0)->text(), QStringLiteral("id"));
        drive::clickCell(dlg->lbFields, 1, 0);
        QCOMPARE(dlg->edDisplayLabel->text(), QStringLiteral("name"));
        relabel(QStringLiteral("姓名"));
        QCOMPARE(dlg->lbFields->item(1)->text(), QStringLiteral("姓名"));
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("姓名"));
        drive::clickCell(dlg->lbFields, 2, 0);
        relabel(QStringLiteral("城市"));
        QCOMPARE(ds.Fields(2)->DisplayLabel(), QStringLiteral("城市"));
        relabel(QString()); // an empty label shows the name again
        QCOMPARE(dlg->lbFields->item(2)->text(), QString());
        QVERIFY(dlg->isVisible());
        }();
        return 0;
    });
    DBGrid2DblClick(&grid, true);
    QCOMPARE(ds.Fields(1)->DisplayLabel(), QStringLiteral("姓名"));
    QCOMPARE(ds.Fields(2)->DisplayLabel(), QStringLiteral("city"));
    N10Click(&grid, db.ini, QStringLiteral("siColumns"));
    const platform::IniFile ini(db.ini);
    QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), QStringLiteral("city.DisplayLabel"), QString()),
             QStringLiteral("city"));
    QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), QStringLiteral("name.DisplayLabel"), QString()),
             QStringLiteral("姓名"));
}

void TestGridDisplaySettings::labelDialogOnlyAfterTableListOpen()
{
    Db db;
    data::Dataset ds;
    components::TwDBGrid grid;
    db.openInGrid(ds, grid);
    int runs = 0;
    RunnerScope scope([&](QDialog *) { ++runs; return 0; });
    DBGrid2DblClick(&grid, false);
    QCOMPARE(runs, 0);
    DBGrid2DblClick(&grid, true);
    QCOMPARE(runs, 1);
    ds.Close();
    DBGrid1DblClick(&grid); // the visibility dialog needs an open dataset
    QCOMPARE(runs, 1);
}

void TestGridDisplaySettings::storingWithoutDataset()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    data::Dataset ds;
    components::TwDBGrid grid;
    grid.setDataSet(&ds);
    N12Click(&grid, db.ini, QStringLiteral("siColumns"));
    N10Click(&grid, db.ini, QStringLiteral("T"));
    QCOMPARE(ui.messageTexts(), (QStringList{"請先開啟Schema資料集!!", "請先開啟XML資料集!!"}));
    QVERIFY(!QFile::exists(db.ini));
    db.open(ds);
    try {
        N10Click(&grid, db.ini, QString());
        QFAIL("storing without a current table should fail");
    } catch (const data::DatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("清單索引超出範圍 (-1)"));
    }
    QVERIFY(!QFile::exists(db.ini));
}

void TestGridDisplaySettings::readOnlyFileFailsOnFirstWrite()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    {
        data::Dataset ds;
        components::TwDBGrid grid;
        db.openInGrid(ds, grid);
        const QString missing = db.dir.path() + QStringLiteral("/no/such/folder/ADO_OpenSchema.Ini");
        try {
            N10Click(&grid, missing, QStringLiteral("T"));
            QFAIL("the write should fail");
        } catch (const platform::IniWriteError &e) {
            QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(missing));
        }
        QVERIFY(!QFile::exists(missing));
    }
    // A file without write bits is refused to everybody, a superuser included.
    db.writeIni("[siColumns]\nid.Visible=1\n");
    QFile::setPermissions(db.ini, QFile::ReadOwner);
    data::Dataset ds;
    components::TwDBGrid grid;
    db.openInGrid(ds, grid);
    ds.Fields(0)->setVisible(false);
    try {
        N12Click(&grid, db.ini, QStringLiteral("siColumns"));
        QFAIL("the write should fail");
    } catch (const platform::IniWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(db.ini));
    }
    QCOMPARE(db.iniText(), QByteArray("[siColumns]\nid.Visible=1\n"));
}

// A settings file that is missing, a folder or garbage reads as empty: every field is
// shown again, no label is applied. The last row proves the same dataset does take
// settings from a readable file.
void TestGridDisplaySettings::unreadableFileReadsAsEmpty_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("cityShown");
    QTest::addColumn<QString>("nameLabel");
    QTest::newRow("garbage") << 0 << true << "old";
    QTest::newRow("missing") << 1 << true << "old";
    QTest::newRow("a folder in its place") << 2 << true << "old";
    QTest::newRow("readable") << 3 << false << "姓名";
}

void TestGridDisplaySettings::unreadableFileReadsAsEmpty()
{
    QFETCH(int, kind);
    QFETCH(bool, cityShown);
    QFETCH(QString, nameLabel);
    Db db;
    switch (kind) {
    case 0: db.writeIni(QByteArray("\x00\xff\xfe garbage [[[ ==== \n\x01\x02", 24)); break;
    case 1: break;
    case 2: QVERIFY(QDir().mkpath(db.ini)); break;
    case 3: {
        platform::IniFile ini(db.ini);
        ini.WriteString(QStringLiteral("siColumns"), QStringLiteral("city.Visible"), QStringLiteral("0"));
        ini.WriteString(QStringLiteral("siColumns"), QStringLiteral("name.DisplayLabel"), QStringLiteral("姓名"));
        break;
    }
    }
    QCOMPARE(QFileInfo(db.ini).isDir(), kind == 2);
    data::Dataset ds;
    db.open(ds);
    // What the previous rowset or table left: a hidden column and a label.
    ds.FieldByName(QStringLiteral("city"))->setVisible(false);
    ds.FieldByName(QStringLiteral("qty"))->setVisible(false);
    ds.FieldByName(QStringLiteral("name"))->setDisplayLabel(QStringLiteral("old"));
    ApplySchemaVisibility(&ds, db.ini, QStringLiteral("siColumns"));
    ADODXMLAfterOpen(&ds, db.ini, QStringLiteral("siColumns"));
    QCOMPARE(ds.FieldByName(QStringLiteral("city"))->Visible(), cityShown);
    QCOMPARE(ds.FieldByName(QStringLiteral("qty"))->Visible(), true); // every field is read
    QCOMPARE(ds.FieldByName(QStringLiteral("id"))->Visible(), true);
    QCOMPARE(ds.FieldByName(QStringLiteral("name"))->DisplayLabel(), nameLabel);
    QCOMPARE(ds.FieldByName(QStringLiteral("city"))->DisplayLabel(), QStringLiteral("city"));
}

QTEST_MAIN(TestGridDisplaySettings)
#include "tst_griddisplaysettings.moc"
