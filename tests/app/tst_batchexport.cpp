// Batch export of the selected tables to XML files from the main window, on a real
// SQLite file: the files, the timing log in code page 950, the selection as the to-do
// list after a full run, a failure and a stop, names that need quoting, and the select-all
// and clear commands. Tables are selected by clicks in the list as a person makes them.
#include "app/XmlPageFixture.h"
#include "app/gui/TableList.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/ScriptedUi.h"
#include "support/TimeLocale.h"
#include "support/SlowSqlite.h"
#include "support/SqliteScript.h"
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace xmlpagetest;

namespace {

// The list shows the tables, then the views, each sorted by name.
const char *kFixtureSql =
    "CREATE TABLE victim (id integer); INSERT INTO victim VALUES (1), (2), (3);"
    "CREATE TABLE 地區 (代碼 TEXT, 名稱 TEXT); INSERT INTO 地區 VALUES ('N', '北區'), ('S', '南區');"
    "CREATE TABLE gone (x integer);"
    "CREATE VIEW 壞掉的檢視 AS SELECT x FROM gone;"
    "DROP TABLE gone;"
    "CREATE TABLE 客戶 (編號 INTEGER PRIMARY KEY, 名稱 TEXT);"
    "INSERT INTO 客戶 VALUES (1, '甲'), (2, '乙'), (3, '丙');"
    "CREATE TABLE \"a b\" (n TEXT); INSERT INTO \"a b\" VALUES ('a b');"
    "CREATE TABLE \"it's\" (n TEXT); INSERT INTO \"it's\" VALUES ('it''s');"
    "CREATE TABLE \"q\"\"uote\" (n TEXT); INSERT INTO \"q\"\"uote\" VALUES ('q\"uote');"
    "CREATE TABLE \"t;DELETE FROM victim\" (n TEXT); INSERT INTO \"t;DELETE FROM victim\" VALUES ('t;DELETE FROM victim');"
    "CREATE TABLE \"x/../../up\" (n TEXT); INSERT INTO \"x/../../up\" VALUES ('x/../../up');"
    "CREATE VIEW 好的檢視 AS SELECT 名稱 FROM 客戶;"
    "CREATE TABLE 產品 (代碼 TEXT, 品名 TEXT); INSERT INTO 產品 VALUES ('P1', '螺絲');";

const QString kLogName = QStringLiteral("XML轉檔所需時間.Txt");
// The workstation's short date and long time (Taiwan): 2024/3/9 下午11:59:58.
[[maybe_unused]] const bool kTaiwanTime = testsupport::useTimeLocale("zh_TW.UTF-8");
const QString kTime = QStringLiteral("\\d{4}/\\d{1,2}/\\d{1,2} (上午|下午)\\d{1,2}:\\d{2}:\\d{2}");

QString timeRange() { return kTime + QStringLiteral(" 至 ") + kTime; }

// The log's lines, decoded from code page 950; every line ends with CR LF.
QStringList logLines(const QString &file, bool *crlf = nullptr)
{
    const QByteArray bytes = readAll(file);
    QStringDecoder big5("Big5");
    const QString text = big5.decode(bytes);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (crlf)
        *crlf = !bytes.isEmpty() && bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestBatchExport : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    QString out; // the chosen folder
    std::unique_ptr<Tfm_ADO_Schema> w;

    void trigger(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }
    QString outFile(const QString &name) const { return QDir(out).filePath(name); }
    QStringList filesWritten() const
    {
        QStringList files = QDir(out).entryList(QDir::Files);
        files.sort();
        return files;
    }
    // The first table clicked alone, the others added with Ctrl.
    void selectTables(const QStringList &tables)
    {
        for (int i = 0; i < tables.size(); ++i)
            clickTable(*w, tables.at(i), i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        QCOMPARE(selectedTables(*w), tables);
    }
    // Runs the batch into the output folder (the dialog's file name is never written).
    void runBatch()
    {
        ui.queueSaveFile(outFile(QStringLiteral("chosen.xml")));
        trigger("XML2");
    }
    // The rows of a written file, first column only.
    QStringList firstColumn(const QString &table) const
    {
        data::Dataset rows;
        rows.LoadFromFile(outFile(table + QStringLiteral(".xml")));
        QStringList values;
        for (int row = 0; row < rows.RecordCount(); ++row)
            values << rows.valueAt(row, 0).toString();
        return values;
    }
    void expectNoMessages()
    {
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("batch.db"));
        const QString error = makeSqlite(dbFile, QString::fromUtf8(kFixtureSql));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        out = dir.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        w = openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QVERIFY(w);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->lbxTableName->count() > 5);
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    // Three tables: three files, a four-line log, no selection left; the XML page shows
    // the third table under its caption; the page in front does not change.
    void threeTables()
    {
        selectTables({QStringLiteral("地區"), QStringLiteral("客戶"), QStringLiteral("產品")});
        clickTable(*w, QStringLiteral("地區"), Qt::ControlModifier); // current entry, deselected
        clickTable(*w, QStringLiteral("地區"), Qt::ControlModifier); // and selected again
        w->showPage(0);
        runBatch();
        expectNoMessages();
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(ui.fileDialogs().first().request.defaultName, QStringLiteral("地區.xml"));
        QCOMPARE(ui.fileDialogs().first().request.filter, QStringLiteral("XML|*.xml"));
        QCOMPARE(filesWritten(), QStringList({kLogName, QStringLiteral("地區.xml"), QStringLiteral("客戶.xml"),
                                              QStringLiteral("產品.xml")}));
        QCOMPARE(firstColumn(QStringLiteral("地區")), QStringList({QStringLiteral("N"), QStringLiteral("S")}));
        QCOMPARE(firstColumn(QStringLiteral("客戶")).size(), 3);
        QCOMPARE(firstColumn(QStringLiteral("產品")), QStringList{QStringLiteral("P1")});

        bool crlf = false;
        const QStringList log = logLines(outFile(kLogName), &crlf);
        QVERIFY(crlf);
        QCOMPARE(log.size(), 4);
        const QStringList tables = {QStringLiteral("地區"), QStringLiteral("客戶"), QStringLiteral("產品")};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(QRegularExpression(QStringLiteral("^\\[%1\\]%2$").arg(tables[i], timeRange())).match(log[i]).hasMatch(),
                     qPrintable(log[i]));
        QVERIFY2(QRegularExpression(QStringLiteral("^總所需時間：%1$").arg(timeRange())).match(log[3]).hasMatch(),
                 qPrintable(log[3]));
        // Code page 950 bytes, not UTF-8.
        QVERIFY(readAll(outFile(kLogName)).contains(QByteArray("\xc1\x60\xa9\xd2\xbb\xdd\xae\xc9\xb6\xa1")));

        QVERIFY(selectedTables(*w).isEmpty());
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("產品"));
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("品名"))->AsString(), QStringLiteral("螺絲"));
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(w->panelText(3), QStringLiteral("XML轉檔完成：共 3 個表格"));
    }

    // A current entry but nothing selected: only the total line.
    void noSelectedTable()
    {
        clickTable(*w, QStringLiteral("客戶"));
        clickTable(*w, QStringLiteral("客戶"), Qt::ControlModifier);
        QVERIFY(selectedTables(*w).isEmpty());
        runBatch();
        expectNoMessages();
        QCOMPARE(filesWritten(), QStringList{kLogName});
        const QStringList log = logLines(outFile(kLogName));
        QCOMPARE(log.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^總所需時間：%1$").arg(timeRange())).match(log[0]).hasMatch(),
                 qPrintable(log[0]));
    }

    void emptyListRefuses()
    {
        w->nADODisconnect->trigger(); // empties the list
        QCOMPARE(w->lbxTableName->count(), 0);
        trigger("XML2");
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("沒有XML資料檔可產生, 請在[自定表格名稱]指定轉出表格 .........")});
        QVERIFY(ui.fileDialogs().isEmpty());
        QVERIFY(filesWritten().isEmpty());
    }

    void cancelledDialogWritesNothing()
    {
        selectTables({QStringLiteral("地區"), QStringLiteral("客戶")});
        ui.queueSaveFile(QString());
        trigger("XML2");
        expectNoMessages();
        QVERIFY(filesWritten().isEmpty());
        QVERIFY(QDir(QStringLiteral("/")).entryList({kLogName}).isEmpty());
        QCOMPARE(selectedTables(*w), QStringList({QStringLiteral("地區"), QStringLiteral("客戶")}));
        QVERIFY(!w->ADODXML.Active());
    }

    void aTableFails_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("third");
        QTest::addColumn<QString>("error"); // a part of the error text
        QTest::newRow("cannot be opened") << QStringLiteral("產品") << QStringLiteral("壞掉的檢視")
                                          << QStringLiteral("好的檢視") << QStringLiteral("no such table: main.gone");
        QTest::newRow("name is no file name")
            << QStringLiteral("victim") << QStringLiteral("x/../../up") << QStringLiteral("地區")
            << QStringLiteral("表格名稱 \"x/../../up\" 含有不能用於檔名的字元，無法存成XML檔!!");
    }

    // The second of three fails: the first file stays, no log, the second and third
    // stay selected, the database's error is shown.
    void aTableFails()
    {
        QFETCH(QString, first);
        QFETCH(QString, failing);
        QFETCH(QString, third);
        QFETCH(QString, error);
        selectTables({first, failing, third});
        runBatch();
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.lastMessage().text.contains(error), qPrintable(ui.lastMessage().text));
        QCOMPARE(filesWritten(), QStringList{first + QStringLiteral(".xml")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("up.xml"))));
        QCOMPARE(selectedTables(*w), QStringList({failing, third}));
        QCOMPARE(w->panelText(3), QString());

        // Running again without the failing table continues with what is left.
        clickTable(*w, failing, Qt::ControlModifier);
        runBatch();
        QStringList expected = {kLogName, first + QStringLiteral(".xml"), third + QStringLiteral(".xml")};
        expected.sort();
        QCOMPARE(filesWritten(), expected);
        QCOMPARE(logLines(outFile(kLogName)).size(), 2);
        QVERIFY(selectedTables(*w).isEmpty());
    }

    // Names with blanks, quotes and a semicolon are quoted, read as one statement and
    // written under their own name; the victim table keeps its rows.
    void namesThatNeedQuoting()
    {
        const QStringList tables = {QStringLiteral("a b"), QStringLiteral("it's"), QStringLiteral("q\"uote"),
                                    QStringLiteral("t;DELETE FROM victim")};
        selectTables(tables);
        runBatch();
        expectNoMessages();
        for (const QString &t : tables)
            QCOMPARE(firstColumn(t), QStringList{t});
        QCOMPARE(logLines(outFile(kLogName)).size(), 5);
        QCOMPARE(logLines(outFile(kLogName)).at(1).left(6), QStringLiteral("[it's]"));
        w->cbxOpenDataSet->setChecked(true);
        clickTable(*w, QStringLiteral("victim"));
        QCOMPARE(w->ADODXML.RecordCount(), 3);
    }

    void stop_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Esc") << false;
        QTest::newRow("stop button") << true;
    }

    // Esc or the stop button while the second table is read: it is still written, the
    // third is not and stays selected; panel 3 named each table before it was read.
    void stop()
    {
        QFETCH(bool, byButton);
        const QStringList tables = {QStringLiteral("地區"), QStringLiteral("客戶"), QStringLiteral("產品")};
        selectTables(tables);
        QStringList progress;
        connect(&w->ADODXML, &data::Dataset::afterOpen, this, [&] {
            progress << w->panelText(3);
            if (progress.size() != 2)
                return;
            if (byButton) {
                auto *button = w->findChild<QToolButton *>(QStringLiteral("btnStopBatch"));
                QVERIFY(button && button->isVisible());
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                drive::press(Qt::Key_Escape);
            }
        });
        runBatch();
        expectNoMessages();
        QCOMPARE(progress,
                 QStringList({QStringLiteral("XML轉檔中：[地區] 第 1 / 3 個表格 (按 Esc 或 [停止] 於此表格後停止)"),
                              QStringLiteral("XML轉檔中：[客戶] 第 2 / 3 個表格 (按 Esc 或 [停止] 於此表格後停止)")}));
        QCOMPARE(filesWritten(), QStringList({kLogName, QStringLiteral("地區.xml"), QStringLiteral("客戶.xml")}));
        QCOMPARE(logLines(outFile(kLogName)).size(), 3);
        QCOMPARE(selectedTables(*w), QStringList{QStringLiteral("產品")});
        QCOMPARE(w->panelText(3), QStringLiteral("XML轉檔已停止：已轉出 2 個表格，尚有 1 個表格仍選取"));
        QVERIFY(!w->findChild<QToolButton *>(QStringLiteral("btnStopBatch")));

        // Running again continues with the third.
        runBatch();
        QCOMPARE(filesWritten().size(), 4);
        QVERIFY(selectedTables(*w).isEmpty());
    }

    // Esc while the server still computes a table's rows (a view over a huge join): the
    // select is stopped on the database and the batch ends there, as a stopped batch.
    void stopWhileATableIsComputed()
    {
        const QString made = testsupport::sqliteScriptError(
            dbFile, (QByteArray(testsupport::kSlowSqliteBigTable) + "CREATE VIEW 慢檢視 AS " +
                     testsupport::kSlowSqliteCount + ";").constData());
        QVERIFY2(made.isEmpty(), qPrintable(made));
        struct DropAfter {
            QString file;
            ~DropAfter() { testsupport::sqliteScriptError(file, "DROP VIEW 慢檢視; DROP TABLE big;"); }
        } dropAfter{dbFile};
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const QStringList tables = {QStringLiteral("地區"), QStringLiteral("產品"), QStringLiteral("慢檢視")};
        selectTables(tables);
        QTimer watcher;
        watcher.setInterval(10);
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *button = w->findChild<QToolButton *>(QStringLiteral("btnStopCommand"));
            if (!button || !button->isVisible())
                return;
            watcher.stop();
            drive::press(Qt::Key_Escape);
        });
        watcher.start();
        runBatch();
        expectNoMessages();
        QCOMPARE(filesWritten(), QStringList({kLogName, QStringLiteral("地區.xml"), QStringLiteral("產品.xml")}));
        QCOMPARE(logLines(outFile(kLogName)).size(), 3);
        QCOMPARE(selectedTables(*w), QStringList{QStringLiteral("慢檢視")});
        QCOMPARE(w->panelText(3), QStringLiteral("XML轉檔已停止：已轉出 2 個表格，尚有 1 個表格仍選取"));
    }

    // Other keys and clicks wait out the batch: a click on the table button while a table
    // is read does not run it.
    void otherInputIsIgnoredDuringTheBatch()
    {
        selectTables({QStringLiteral("地區"), QStringLiteral("客戶")});
        int clicked = 0;
        connect(w->btnGetTableName, &QPushButton::clicked, this, [&clicked] { ++clicked; });
        connect(&w->ADODXML, &data::Dataset::afterOpen, this, [&] {
            QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        });
        runBatch();
        QCOMPARE(clicked, 0);
        QCOMPARE(filesWritten().size(), 3);
    }

    // "自定表格全選" then "清除自定表格選項": nothing selected, the first entry current.
    void selectAllThenClear()
    {
        clickTable(*w, QStringLiteral("客戶"));
        trigger("N8");
        QCOMPARE(selectedTables(*w).size(), w->lbxTableName->count());
        QCOMPARE(w->lbxTableName->currentRow(), 0);
        clickTable(*w, QStringLiteral("產品"), Qt::ControlModifier);
        trigger("N14");
        QVERIFY(selectedTables(*w).isEmpty());
        QCOMPARE(w->lbxTableName->currentRow(), 0);
        QCOMPARE(w->tableList().currentTable(), w->lbxTableName->item(0)->text());
        expectNoMessages();
    }

    void selectAllOnEmptyListDoesNothing()
    {
        w->nADODisconnect->trigger();
        trigger("N8");
        trigger("N14");
        QCOMPARE(w->lbxTableName->count(), 0);
        QCOMPARE(w->lbxTableName->currentRow(), -1);
        expectNoMessages();
    }
};

QTEST_MAIN(TestBatchExport)
#include "tst_batchexport.moc"
