// The two data grids of the main window (offscreen, on a fresh copy of the demo SQLite
// database): their options and row heights, editing through the XML grid, and the display
// settings stored from the menu and applied again by the schema commands and the table
// list. The visibility and label dialogs are worked by a dialog runner, never shown.
#include "app/gui/MainWindow.h"
#include "app/gui/TableList.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/Field.h"
#include "platform/IniFile.h"
#include "schema/GridDisplaySettings.h"
#include "schema/ReFieldDisplayLabel.h"
#include "schema/ReSchemaVisible.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <memory>
#include <sqlite3.h>

using components::TwDBGrid;
using testsupport::ScriptedUiScope;

namespace {

QString sqliteValue(const QString &file, const QString &sql)
{
    QString out;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// Installs a dialog runner for one scope; counts the dialogs it was given.
struct RunnerScope {
    int runs = 0;
    explicit RunnerScope(std::function<void(QDialog *)> work)
    {
        schema::setDialogRunner([this, work](QDialog *d) {
            ++runs;
            work(d);
            return 0;
        });
    }
    ~RunnerScope() { schema::setDialogRunner(nullptr); }
};

} // namespace

class TestWindowGrids : public QObject {
    Q_OBJECT

private:
    ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    QString iniFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    void makeWindow()
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        w->FSchemaIniFile = iniFile;
        w->resize(1000, 700);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        ui.clearRecords();
    }
    int rowOf(const QString &table) const
    {
        const auto found = w->lbxTableName->findItems(table, Qt::MatchExactly);
        return found.isEmpty() ? -1 : w->lbxTableName->row(found.first());
    }
    void clickTable(const QString &table)
    {
        const int row = rowOf(table);
        QVERIFY2(row >= 0, qPrintable(table));
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        QCOMPARE(w->tableList().currentTable(), table);
    }
    void fetchTables()
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->lbxTableName->count() > 0);
    }
    void doubleClick(TwDBGrid *grid)
    {
        const QPoint at = grid->visualRect(grid->model()->index(0, 0)).center();
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    QString title(TwDBGrid *grid, int column) const
    {
        return grid->model()->headerData(column, Qt::Horizontal).toString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile script(qEnvironmentVariable("ADO_TEST_SOURCE_DIR") + QStringLiteral("/demo/demo.sql"));
        QVERIFY2(script.open(QIODevice::ReadOnly), qPrintable(script.fileName()));
        dbFile = dir.filePath(QStringLiteral("demo.db"));
        iniFile = dir.filePath(QStringLiteral("ADO_OpenSchema.Ini"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dbFile.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        const int rc = sqlite3_exec(db, script.readAll().constData(), nullptr, nullptr, &error);
        const QString text = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        QVERIFY2(rc == SQLITE_OK, qPrintable(text));
    }

    void init()
    {
        QFile::remove(iniFile);
        makeWindow();
    }

    void cleanup()
    {
        w.reset();
    }

    void gridsOfTheSchemaAndXmlPages()
    {
        QCOMPARE(w->DBGrid1->parentWidget(), w->TabSheet3);
        QCOMPARE(w->DBGrid2->parentWidget(), w->TabSheet5);
        QCOMPARE(w->DBGrid1->DataSet(), &w->ADODataSet1);
        QCOMPARE(w->DBGrid2->DataSet(), &w->ADODXML);
        QCOMPARE(w->DBGrid1->DefaultRowHeight(), 24);
        QCOMPARE(w->DBGrid2->DefaultRowHeight(), 20);
        using namespace components;
        QCOMPARE(w->DBGrid1->Options(),
                 TDBGridOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                                dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit));
        QCOMPARE(w->DBGrid2->Options(), kDefaultGridOptions);

        // Typing into the Schema grid starts no edit.
        w->nADOConnect->trigger();
        fetchTables();
        clickTable(QStringLiteral("地區"));
        w->menuItem(QStringLiteral("nsiColumns"))->trigger();
        QVERIFY(w->ADODataSet1.Active());
        QCOMPARE(w->PageControl1->currentIndex(), 2);
        QCOMPARE(w->DBGrid1->model()->columnCount(), w->ADODataSet1.FieldCount());
        for (int i = 0; i < w->ADODataSet1.FieldCount(); ++i)
            QCOMPARE(w->DBGrid1->horizontalHeader()->sectionSize(i), 110);
        QCOMPARE(w->DBGrid1->verticalHeader()->sectionSize(0), 24);
        w->DBGrid1->setFocus();
        QTest::keyClicks(w->DBGrid1, QStringLiteral("x"));
        QCOMPARE(w->ADODataSet1.State(), data::dsBrowse);
        QVERIFY(!w->DBGrid1->EditorMode());
        QVERIFY(ui.messages().isEmpty());
    }

    void editInXmlGridIsPosted()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(QStringLiteral("地區"));
        QVERIFY(w->ADODXML.Active());
        w->showPage(4);
        TwDBGrid *grid = w->DBGrid2;
        QCOMPARE(grid->verticalHeader()->sectionSize(0), 20);
        grid->setFocus();
        w->ADODXML.First();
        const QString code = w->ADODXML.FieldByName(QStringLiteral("地區代碼"))->AsString();
        grid->setSelectedIndex(1);
        QTest::keyClicks(grid, QStringLiteral("Zone9"));
        QVERIFY(grid->EditorMode());
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QTest::keyClick(grid, Qt::Key_Down); // leaving the row posts it
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QCOMPARE(sqliteValue(dbFile, QStringLiteral("select 地區名稱 from 地區 where 地區代碼 = '%1'").arg(code)),
                 QStringLiteral("Zone9"));
    }

    void storedVisibilityAppliedByLaterCommand()
    {
        fetchTables();
        clickTable(QStringLiteral("訂單"));
        // Without a rowset there is nothing to store.
        w->menuItem(QStringLiteral("N12"))->trigger();
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("請先開啟Schema資料集!!")});
        QVERIFY(!QFile::exists(iniFile));
        ui.clearRecords();

        w->menuItem(QStringLiteral("nsiColumns"))->trigger();
        QCOMPARE(w->DBGrid1->Caption(), QStringLiteral("siColumns"));
        const int fields = w->ADODataSet1.FieldCount();
        QVERIFY(fields > 3);
        const QString hidden1 = w->ADODataSet1.Fields(1)->FieldName();
        const QString hidden2 = w->ADODataSet1.Fields(3)->FieldName();
        RunnerScope runner([&](QDialog *d) {
            auto *dlg = qobject_cast<schema::Tfm_ReSchemaVisible *>(d);
            QVERIFY(dlg);
            dlg->FormShow();
            QCOMPARE(dlg->CheckListBox1->count(), fields);
            dlg->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
            dlg->CheckListBox1->item(3)->setCheckState(Qt::Unchecked);
        });
        doubleClick(w->DBGrid1);
        QCOMPARE(runner.runs, 1);
        QVERIFY(w->DBGrid1->isColumnHidden(1));
        QVERIFY(w->DBGrid1->isColumnHidden(3));
        w->menuItem(QStringLiteral("N12"))->trigger();
        QVERIFY(ui.messages().isEmpty());
        {
            const platform::IniFile ini(iniFile);
            QCOMPARE(ini.ReadSection(QStringLiteral("siColumns")).size(), fields);
            QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), hidden1 + QStringLiteral(".Visible"), {}),
                     QStringLiteral("0"));
            QCOMPARE(ini.ReadString(QStringLiteral("siColumns"), hidden2 + QStringLiteral(".Visible"), {}),
                     QStringLiteral("0"));
            QCOMPARE(ini.ReadString(QStringLiteral("siColumns"),
                                    w->ADODataSet1.Fields(0)->FieldName() + QStringLiteral(".Visible"), {}),
                     QStringLiteral("1"));
        }

        // A new run of the program: the same command hides the same two columns.
        makeWindow();
        fetchTables();
        clickTable(QStringLiteral("訂單"));
        w->menuItem(QStringLiteral("nsiColumns"))->trigger();
        QVERIFY(w->ADODataSet1.Active());
        for (int i = 0; i < fields; ++i)
            QCOMPARE(w->DBGrid1->isColumnHidden(i), i == 1 || i == 3);
        QVERIFY(!w->ADODataSet1.Fields(1)->Visible());
        QVERIFY(ui.messages().isEmpty());
    }

    void storedLabelsAppliedWhenTableOpensAgain()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(QStringLiteral("地區"));
        QVERIFY(w->FXMLFromTable);
        RunnerScope runner([&](QDialog *d) {
            auto *dlg = qobject_cast<schema::Tfm_ReFieldDisplayLabel *>(d);
            QVERIFY(dlg);
            dlg->FormShow();
            QCOMPARE(dlg->lbFields->count(), 2);
            dlg->lbFields->setCurrentRow(0);
            dlg->edDisplayLabel->setText(QStringLiteral("代碼"));
            QTest::keyClick(dlg->edDisplayLabel, Qt::Key_Return);
        });
        doubleClick(w->DBGrid2);
        QCOMPARE(runner.runs, 1);
        QCOMPARE(title(w->DBGrid2, 0), QStringLiteral("代碼"));
        w->menuItem(QStringLiteral("N10"))->trigger();
        QVERIFY(ui.messages().isEmpty());
        {
            const platform::IniFile ini(iniFile);
            QCOMPARE(ini.ReadString(QStringLiteral("地區"), QStringLiteral("地區代碼.DisplayLabel"), {}),
                     QStringLiteral("代碼"));
            QCOMPARE(ini.ReadString(QStringLiteral("地區"), QStringLiteral("地區名稱.DisplayLabel"), {}),
                     QStringLiteral("地區名稱"));
        }

        // Another table shows its own names; opening 地區 again brings the label back,
        // also in a new run of the program.
        clickTable(QStringLiteral("訂單"));
        QCOMPARE(title(w->DBGrid2, 0), w->ADODXML.Fields(0)->FieldName());
        clickTable(QStringLiteral("地區"));
        QCOMPARE(title(w->DBGrid2, 0), QStringLiteral("代碼"));
        makeWindow();
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(QStringLiteral("地區"));
        QCOMPARE(w->ADODXML.Fields(0)->DisplayLabel(), QStringLiteral("代碼"));
        QCOMPARE(title(w->DBGrid2, 0), QStringLiteral("代碼"));
        QCOMPARE(title(w->DBGrid2, 1), QStringLiteral("地區名稱"));

        // Rows from the SQL page: the label dialog does not open on a double click.
        w->redSQLText->setPlainText(QStringLiteral("select * from 地區"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QVERIFY(w->ADODXML.Active());
        QVERIFY(!w->FXMLFromTable);
        doubleClick(w->DBGrid2);
        QCOMPARE(runner.runs, 1);
        QVERIFY(ui.messages().isEmpty());
    }

    void storingLabelsWithoutDataset()
    {
        w->menuItem(QStringLiteral("N10"))->trigger();
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("請先開啟XML資料集!!")});
        QVERIFY(!QFile::exists(iniFile));
        // Double clicks on empty grids open nothing.
        RunnerScope runner([](QDialog *) {});
        QTest::mouseDClick(w->DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseDClick(w->DBGrid2->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(runner.runs, 0);
    }
};

QTEST_MAIN(TestWindowGrids)
#include "tst_window_grids.moc"
