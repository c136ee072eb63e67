// Column visibility per schema rowset and column captions per table, kept in the
// display-settings file and applied to real datasets shown in real grids.
#include "components/wDBGrid.h"
#include "data/Connection.h"
#include "data/Dataset.h"
#include "data/Field.h"
#include "platform/IniFile.h"
#include "schema/GridDisplaySettings.h"
#include "schema/ReFieldDisplayLabel.h"
#include "schema/ReSchemaVisible.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <unistd.h>

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
    void writeIni(const QByteArray &text)
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray iniText()
    {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
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
        grid.setDataSet(&ds);
        db.open(ds);
        ds.Fields(1)->setVisible(false); // hidden before the dialog opens
        grid.LayoutChanged();
        int runs = 0;
        RunnerScope scope([&](QDialog *d) -> int {
        // QCOMPARE returns from the inner lambda only.
        [&] {
            ++runs;
            auto *dlg = qobject_cast<Tfm_ReSchemaVisible *>(d);
            QListWidget *list = dlg->CheckListBox1;
            dlg->FormShow();
            QCOMPARE(list->count(), 4);
            QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
            QCOMPARE(list->item(0)->checkState(), Qt::Checked);
            list->item(1)->setCheckState(Qt::Checked);
            list->item(2)->setCheckState(Qt::Unchecked);
            list->item(3)->setCheckState(Qt::Unchecked);
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
    grid.setDataSet(&ds);
    db.open(ds);
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
    grid.setDataSet(&ds);
    db.open(ds);
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
    grid.setDataSet(&ds);
    db.open(ds);
    RunnerScope scope([&](QDialog *d) -> int {
        // QCOMPARE returns from the inner lambda only.
        [&] {
        auto *dlg = qobject_cast<Tfm_ReFieldDisplayLabel *>(d);
        dlg->FormShow();
        QCOMPARE(dlg->lbFields->count(), 4);
        // Enter with no entry current does nothing.
        dlg->edDisplayLabel->setText(QStringLiteral("ignored"));
        QTest::keyClick(dlg->edDisplayLabel, Qt::Key_Return);
        QCOMPARE(ds.Fields(0)->DisplayLabel(), QStringLiteral("id"));
        dlg->lbFields->setCurrentRow(1);
        QCOMPARE(dlg->edDisplayLabel->text(), QStringLiteral("name"));
        dlg->edDisplayLabel->setText(QStringLiteral("姓名"));
        QTest::keyClick(dlg->edDisplayLabel, Qt::Key_Return);
        QCOMPARE(dlg->lbFields->item(1)->text(), QStringLiteral("姓名"));
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("姓名"));
        dlg->lbFields->setCurrentRow(2);
        dlg->edDisplayLabel->setText(QStringLiteral("城市"));
        dlg->edDisplayLabelKeyDown(13);
        dlg->edDisplayLabel->setText(QString()); // an empty label shows the name again
        dlg->edDisplayLabelKeyDown(13);
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
    grid.setDataSet(&ds);
    db.open(ds);
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
    QVERIFY_THROWS_EXCEPTION(std::exception, N10Click(&grid, db.ini, QString()));
    QVERIFY(!QFile::exists(db.ini));
}

void TestGridDisplaySettings::readOnlyFileFailsOnFirstWrite()
{
    testsupport::ScriptedUiScope ui;
    Db db;
    {
        data::Dataset ds;
        components::TwDBGrid grid;
        grid.setDataSet(&ds);
        db.open(ds);
        const QString missing = db.dir.path() + QStringLiteral("/no/such/folder/ADO_OpenSchema.Ini");
        QVERIFY_THROWS_EXCEPTION(platform::IniWriteError, N10Click(&grid, missing, QStringLiteral("T")));
        QVERIFY(!QFile::exists(missing));
    }
    if (geteuid() == 0)
        QSKIP("root writes to read-only files");
    db.writeIni("[siColumns]\nid.Visible=1\n");
    QFile::setPermissions(db.ini, QFile::ReadOwner);
    data::Dataset ds;
    components::TwDBGrid grid;
    grid.setDataSet(&ds);
    db.open(ds);
    ds.Fields(0)->setVisible(false);
    try {
        N12Click(&grid, db.ini, QStringLiteral("siColumns"));
        QFAIL("the write should fail");
    } catch (const platform::IniWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(db.ini));
    }
    QCOMPARE(db.iniText(), QByteArray("[siColumns]\nid.Visible=1\n"));
}

void TestGridDisplaySettings::unreadableFileReadsAsEmpty()
{
    Db db;
    db.writeIni(QByteArray("\x00\xff\xfe garbage [[[ ==== \n\x01\x02", 24));
    data::Dataset ds;
    db.open(ds);
    ApplySchemaVisibility(&ds, db.ini, QStringLiteral("siColumns"));
    ADODXMLAfterOpen(&ds, db.ini, QStringLiteral("siColumns"));
    for (int i = 0; i < ds.FieldCount(); ++i) {
        QVERIFY(ds.Fields(i)->Visible());
        QCOMPARE(ds.Fields(i)->DisplayLabel(), ds.Fields(i)->FieldName());
    }
    QFile::remove(db.ini);
    QFile::copy(QStringLiteral("/"), db.ini); // still missing
    ApplySchemaVisibility(&ds, db.ini, QStringLiteral("siColumns"));
    QVERIFY(ds.Fields(0)->Visible());
}

QTEST_MAIN(TestGridDisplaySettings)
#include "tst_griddisplaysettings.moc"
