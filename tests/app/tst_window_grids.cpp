// The two data grids of the main window (offscreen, on a fresh copy of the demo SQLite
// database): their options, row heights and column widths, editing through the XML grid
// as a person types into it, and the display settings stored from the menu and applied
// again by the schema commands and the table list. The window is active and keys go to
// its focused widget; the visibility and label dialogs are shown and worked by clicks and
// keys from a dialog runner in place of their modal loop.
#include "app/gui/MainWindow.h"
#include "app/gui/TableList.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "platform/IniFile.h"
#include "schema/GridDisplaySettings.h"
#include "schema/ReFieldDisplayLabel.h"
#include "schema/ReSchemaVisible.h"
#include "support/DemoDatabase.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include "support/SqliteScript.h"
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
using testsupport::sqliteValue;

namespace {

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
        QVERIFY(drive::showActive(w.get()));
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
        dbFile = dir.filePath(QStringLiteral("demo.db"));
        iniFile = dir.filePath(QStringLiteral("ADO_OpenSchema.Ini"));
        const QString failure = testsupport::demoDatabaseError(dbFile);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
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
        drive::clickCell(w->DBGrid1, 0, 1);
        QCOMPARE(drive::focused(), w->DBGrid1);
        drive::type(QStringLiteral("x"));
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
        const QString code = w->ADODXML.FieldByName(QStringLiteral("地區代碼"))->AsString();
        drive::clickCell(grid, 0, 1);
        drive::type(QStringLiteral("Zone9"));
        QVERIFY(grid->EditorMode());
        QCOMPARE(drive::focused(), grid->InplaceEditor());
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        drive::press(Qt::Key_Down); // leaving the row posts it
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QCOMPARE(sqliteValue(dbFile, QStringLiteral("select 地區名稱 from 地區 where 地區代碼 = '%1'").arg(code)),
                 QStringLiteral("Zone9"));
    }

    // The new user's path: tick the box, click 客戶, go to the XML page, click a cell,
    // type, press Shift, Enter, Down. Nothing crashes, Enter goes to the next column and
    // leaving the record stores what was typed.
    void typingInTheCustomerGrid()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(QStringLiteral("客戶"));
        w->showPage(4);
        TwDBGrid *grid = w->DBGrid2;
        const int contact = w->ADODXML.FieldByName(QStringLiteral("聯絡人"))->Index();
        const int phone = w->ADODXML.FieldByName(QStringLiteral("電話"))->Index();
        const QString id = w->ADODXML.Fields(0)->AsString();
        drive::clickCell(grid, 0, contact);
        drive::type(QStringLiteral("Ab"));
        drive::press(Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(drive::focused(), grid->InplaceEditor());
        QCOMPARE(grid->InplaceEditor()->text(), QStringLiteral("Ab"));
        drive::press(Qt::Key_Return);
        QCOMPARE(grid->SelectedIndex(), phone);
        QCOMPARE(drive::focused(), grid);
        drive::press(Qt::Key_Down);
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
        QCOMPARE(w->ADODXML.RecNo(), 2);
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('|')));
        QCOMPARE(sqliteValue(dbFile, QStringLiteral("select 聯絡人 from 客戶 where 客戶編號 = %1").arg(id)),
                 QStringLiteral("Ab"));
    }

    // The XML grid sizes its columns from the fields (a two-character code is narrow, the
    // long address is held to the bound); the Schema grid keeps its 110 pixels.
    void xmlGridColumnWidths()
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(QStringLiteral("客戶"));
        QHeaderView *header = w->DBGrid2->horizontalHeader();
        const int digit = w->DBGrid2->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        auto width = [&](const char *field) {
            return header->sectionSize(w->ADODXML.FieldByName(QString::fromUtf8(field))->Index());
        };
        const int bound = 40 * digit + 8;
        QCOMPARE(width("地址"), bound);    // 80 characters
        QCOMPARE(width("客戶名稱"), bound); // 40 characters
        QCOMPARE(width("電話"), 20 * digit + 8);
        QCOMPARE(width("地區代碼"), header->fontMetrics().horizontalAdvance(QStringLiteral("地區代碼")) + 8);
        QVERIFY(width("地區代碼") < width("電話"));
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
            QVERIFY(drive::showActive(dlg));
            QCOMPARE(dlg->CheckListBox1->count(), fields);
            for (int entry : {1, 3}) {
                drive::clickCell(dlg->CheckListBox1, entry, 0);
                drive::press(Qt::Key_Space);
                QCOMPARE(dlg->CheckListBox1->item(entry)->checkState(), Qt::Unchecked);
            }
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
            QVERIFY(drive::showActive(dlg));
            QCOMPARE(dlg->lbFields->count(), 2);
            drive::clickCell(dlg->lbFields, 0, 0);
            QCOMPARE(dlg->edDisplayLabel->text(), QStringLiteral("地區代碼"));
            QTest::mouseClick(dlg->edDisplayLabel, Qt::LeftButton);
            QCOMPARE(drive::focused(), dlg->edDisplayLabel);
            drive::press(Qt::Key_A, Qt::ControlModifier);
            drive::type(QStringLiteral("代碼"));
            drive::press(Qt::Key_Return);
            QVERIFY(dlg->isVisible()); // Enter renames the entry; it does not close the dialog
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
