// The grid's exports driven by its hot keys over a real SQLite table: the text file's
// exact bytes, the workbook as xlrd reads it, the XML file and its load, the export
// target rules, the states in which nothing is exported, the sheet's row limit, the
// spreadsheet application question and the record that stays current.
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "data/rowsetxml/RowsetXml.h"
#include "exchange/XlrdWorkbook.h"
#include "platform/Big5Codec.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace components;

namespace {

void execSql(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    const QString text = QString::fromUtf8(err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Orders: the last column is a memo, so it is never exported.
const char *kOrders =
    "CREATE TABLE 訂單 (編號 INTEGER PRIMARY KEY, 客戶 NVARCHAR(20), 代碼 VARCHAR(10), 數量 INTEGER,"
    " 單價 REAL, 日期 DATE, 時間 DATETIME, 備註 MEMO);"
    "INSERT INTO 訂單 VALUES (1, '王小明', '00123', 5, 12.5, '2024-01-05', '2024-01-05 13:45:10', 'memo');"
    "INSERT INTO 訂單 VALUES (2, 'O''Brien; \"x\"', '1e5', -3, 0.25, NULL, '2024-02-29 00:00:00', NULL);"
    "INSERT INTO 訂單 VALUES (3, '笑 😀 ok', '', NULL, NULL, '2023-12-31', NULL, 'x');";

struct GridFixture {
    QTemporaryDir dir;
    QString dbFile;
    data::Connection conn;
    data::Dataset ds;
    TwDBGrid grid;

    explicit GridFixture(const QString &query = QStringLiteral("Select * From 訂單 Order By 編號"),
                         const char *script = kOrders)
    {
        dbFile = dir.filePath(QStringLiteral("orders.db"));
        execSql(dbFile, QString::fromUtf8(script));
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        conn.Open();
        ds.setConnection(&conn);
        ds.setCommandText(query);
        grid.resize(900, 300);
        grid.setDataSet(&ds);
        ds.Open();
    }
    bool show()
    {
        if (!drive::showActive(&grid))
            return false;
        grid.setFocus();
        return drive::focused() == &grid;
    }
    QString out(const QString &name) const { return dir.filePath(name); }
};

// Messages of a successful export.
QString doneMessage(const QString &file, const QString &folder)
{
    return QStringLiteral("已產生  \"%1\" 檔案至 \"%2\" 目錄下!!").arg(file, folder);
}

} // namespace

class TestGridExport : public QObject {
    Q_OBJECT
    QTemporaryDir emptyBin;
    QByteArray savedPath;

private slots:
    // No spreadsheet application is found unless a test puts one on the PATH.
    void initTestCase()
    {
        savedPath = qgetenv("PATH");
        qputenv("PATH", emptyBin.path().toUtf8());
    }
    void cleanupTestCase() { qputenv("PATH", savedPath); }
    void textFileHoldsEveryColumnButBlobs();
    void lastColumnNotBlobEndsLinesWithoutTab();
    void unrepresentableCharactersAreCounted();
    void exportTargets_data();
    void exportTargets();
    void nothingExportedOutsideBrowse_data();
    void nothingExportedOutsideBrowse();
    void emptyDatasetWritesOnlyXml();
    void loadFromXml();
    void loadCancelledLeavesDatasetClosed();
    void currentRecordKept();
    void workbookContent();
    void booleanCellsAreLogicalValues();
    void secondColumnAlwaysText();
    void sheetRowLimit_data();
    void sheetRowLimit();
    void spreadsheetApplication_data();
    void spreadsheetApplication();
    void writeFailureShowsTheFileError();
};

void TestGridExport::textFileHoldsEveryColumnButBlobs()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    f.grid.Columns(3)->setVisible(false); // 數量: hidden, still in the text file
    f.grid.setCaption(f.out(QStringLiteral("訂單")));
    QVERIFY(f.show());
    drive::press(Qt::Key_P, Qt::ControlModifier);

    const QByteArray expected = platform::big5Encode(QStringLiteral(
        "編號\t客戶\t代碼\t數量\t單價\t日期\t時間\t\r\n"
        "1\t王小明\t00123\t5\t12.5\t2024/01/05\t2024/01/05 13:45:10\t\r\n"
        "2\tO'Brien; \"x\"\t1e5\t-3\t0.25\t\t2024/02/29\t\r\n"
        "3\t笑 ? ok\t\t\t\t2023/12/31\t\t\r\n"));
    QCOMPARE(readFile(f.out(QStringLiteral("訂單.Txt"))), expected);
    QCOMPARE(ui.beeps(), 1);
    QCOMPARE(ui.messageTexts(),
             QStringList{doneMessage(QStringLiteral("訂單.Txt"), f.dir.path()) +
                         QStringLiteral("\n\r其中 1 項文字含有 Big5 (code page 950) 無法表示的字元，已以 \"?\" 代替寫入!!")});
    QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::None);
    QCOMPARE(f.grid.ExportDir(), f.dir.path());
    QCOMPARE(f.grid.ExportName(), QStringLiteral("訂單"));
}

void TestGridExport::lastColumnNotBlobEndsLinesWithoutTab()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select 備註, 編號, 客戶 From 訂單 Order By 編號"));
    QVERIFY(f.grid.ExportToText(f.out(QStringLiteral("short"))));
    QCOMPARE(readFile(f.out(QStringLiteral("short.Txt"))),
             platform::big5Encode(QStringLiteral("編號\t客戶\r\n1\t王小明\r\n2\tO'Brien; \"x\"\r\n3\t笑 ? ok\r\n")));
}

void TestGridExport::unrepresentableCharactersAreCounted()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select 客戶 From 訂單 Order By 編號"));
    QVERIFY(f.grid.ExportToText(f.out(QStringLiteral("plain"))));
    QCOMPARE(ui.lastMessage().text.count(QStringLiteral("其中 1 項")), 1);
    // Without such characters the message is the plain one.
    GridFixture g(QStringLiteral("Select 客戶 From 訂單 Where 編號 < 3 Order By 編號"));
    ui.clearRecords();
    QVERIFY(g.grid.ExportToText(g.out(QStringLiteral("plain"))));
    QCOMPARE(ui.messageTexts(), QStringList{doneMessage(QStringLiteral("plain.Txt"), g.dir.path())});
}

void TestGridExport::exportTargets_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("folder"); // "<exe>" the executable's folder, "<tmp>" the test's
    QTest::addColumn<QString>("name");
    QTest::newRow("empty caption") << "" << "<exe>" << "Temp";
    QTest::newRow("blank caption") << "   " << "<exe>" << "Temp";
    QTest::newRow("caption with a folder") << "<tmp>/out dir/Orders" << "<tmp>/out dir" << "Orders";
    QTest::newRow("extension stays in front") << "<tmp>/Orders.XML" << "<tmp>" << "Orders.XML";
    QTest::newRow("quotes, semicolon and blanks") << "<tmp>/ a 'b'; \"c\" " << "<tmp>" << " a 'b'; \"c\" ";
    QTest::newRow("folder with a blank name") << "<tmp>/ " << "<tmp>" << "Temp";
}

void TestGridExport::exportTargets()
{
    QFETCH(QString, caption);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select * From 訂單 Where 編號 < 3"));
    QDir(f.dir.path()).mkdir(QStringLiteral("out dir"));
    const QString exe = QCoreApplication::applicationDirPath();
    auto expand = [&](QString s) {
        return s.replace(QStringLiteral("<tmp>"), f.dir.path()).replace(QStringLiteral("<exe>"), exe);
    };
    f.grid.setCaption(expand(caption));
    folder = expand(folder);
    QVERIFY(f.show());
    const struct {
        Qt::Key key;
        const char *extension;
    } exports[] = {{Qt::Key_P, ".Txt"}, {Qt::Key_E, ".xls"}, {Qt::Key_X, ".xml"}};
    for (const auto &e : exports) {
        const QString file = name + QLatin1String(e.extension);
        const QString path = QDir(folder).filePath(file);
        QFile::remove(path);
        ui.clearRecords();
        drive::press(e.key, Qt::ControlModifier);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QCOMPARE(ui.messageTexts(), QStringList{doneMessage(file, folder)});
        QCOMPARE(f.grid.ExportDir(), folder);
        QCOMPARE(f.grid.ExportName(), name);
        if (folder == exe)
            QFile::remove(path);
    }
}

void TestGridExport::nothingExportedOutsideBrowse_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("edit") << "edit";
    QTest::newRow("insert") << "insert";
}

void TestGridExport::nothingExportedOutsideBrowse()
{
    QFETCH(QString, state);
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    f.grid.setCaption(f.out(QStringLiteral("x")));
    QVERIFY(f.show());
    if (state == QLatin1String("edit")) {
        // A changed field the grid has not posted yet; its editor stays closed.
        f.ds.FieldByName(QStringLiteral("客戶"))->setAsString(QStringLiteral("Z"));
        QCOMPARE(f.ds.State(), data::dsEdit);
    } else {
        drive::press(Qt::Key_Insert);
        QCOMPARE(f.ds.State(), data::dsInsert);
    }
    QVERIFY(!f.grid.EditorMode());
    drive::press(Qt::Key_P, Qt::ControlModifier);
    drive::press(Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(ui.messages().size(), 0);
    QCOMPARE(ui.beeps(), 0);
    drive::press(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(ui.beeps(), 1);
    QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("請先確認資料來源及是否在瀏覽中!!")});
    QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("x.*")}, QDir::Files), QStringList());
    QCOMPARE(f.ds.State(), state == QLatin1String("edit") ? data::dsEdit : data::dsInsert);
}

void TestGridExport::emptyDatasetWritesOnlyXml()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select * From 訂單 Where 1 = 0"));
    f.grid.setCaption(f.out(QStringLiteral("none")));
    QVERIFY(f.show());
    drive::press(Qt::Key_P, Qt::ControlModifier);
    drive::press(Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(ui.messages().size(), 0);
    drive::press(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("none.*")}, QDir::Files), QStringList{QStringLiteral("none.xml")});
    const data::rowsetxml::Rowset saved = data::rowsetxml::load(f.out(QStringLiteral("none.xml")));
    QCOMPARE(saved.columns.size(), size_t(8));
    QCOMPARE(saved.rows.rowCount(), size_t(0));
    QCOMPARE(ui.messageTexts(), QStringList{doneMessage(QStringLiteral("none.xml"), f.dir.path())});
}

void TestGridExport::loadFromXml()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    f.grid.setCaption(f.out(QStringLiteral("saved")));
    QVERIFY(f.show());
    drive::press(Qt::Key_X, Qt::ControlModifier);
    f.ds.Close(); // the link is inactive: Ctrl+L still loads
    ui.queueOpenFile(f.out(QStringLiteral("saved.xml")));
    drive::press(Qt::Key_L, Qt::ControlModifier);
    QVERIFY(f.ds.Active());
    QCOMPARE(f.ds.RecordCount(), 3);
    QCOMPARE(f.grid.model()->rowCount(), 3);
    QCOMPARE(f.ds.FieldByName(QStringLiteral("客戶"))->AsString(), QStringLiteral("王小明"));
    QCOMPARE(ui.fileDialogs().size(), 1);
    QCOMPARE(ui.fileDialogs()[0].request.filter, QStringLiteral("XML 檔案|*.xml"));
    QCOMPARE(ui.fileDialogs()[0].owner, &f.grid);
}

void TestGridExport::loadCancelledLeavesDatasetClosed()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    QVERIFY(f.show());
    ui.queueOpenFile(QString());
    drive::press(Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!f.ds.Active());
    QCOMPARE(f.grid.ColumnCount(), 0);
    QCOMPARE(f.grid.model()->rowCount(), 0);
    QCOMPARE(ui.fileDialogs().size(), 1);
    QCOMPARE(ui.messages().size(), 0);
    // Without a dataset there is nothing to load into.
    TwDBGrid bare;
    QVERIFY(!bare.LoadFromXML());
    QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("本資料集不支援 XML !!")});
    QCOMPARE(ui.beeps(), 1);
}

void TestGridExport::currentRecordKept()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    f.grid.setCaption(f.out(QStringLiteral("kept")));
    QVERIFY(f.show());
    drive::clickCell(&f.grid, 1, 2);
    QCOMPARE(f.ds.RecNo(), 2);
    for (Qt::Key key : {Qt::Key_P, Qt::Key_E, Qt::Key_X}) {
        drive::press(key, Qt::ControlModifier);
        QCOMPARE(f.ds.RecNo(), 2);
        QCOMPARE(f.grid.currentIndex().row(), 1);
        QCOMPARE(f.grid.CurrentColumn(), 2);
        QCOMPARE(f.ds.State(), data::dsBrowse);
    }
    QCOMPARE(ui.messages().size(), 3);
    // The next key still works on that record.
    drive::press(Qt::Key_Down);
    QCOMPARE(f.ds.RecNo(), 3);
}

void TestGridExport::workbookContent()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    f.grid.Columns(3)->setVisible(false); // 數量: not in the workbook
    f.grid.setCaption(f.out(QStringLiteral("訂單")));
    QVERIFY(f.show());
    const QDateTime before = QDateTime::currentDateTime();
    drive::press(Qt::Key_E, Qt::ControlModifier);
    READ_XLS(book, f.out(QStringLiteral("訂單.xls")));
    QCOMPARE(ui.messageTexts(), QStringList{doneMessage(QStringLiteral("訂單.xls"), f.dir.path())});
    QCOMPARE(book.rows, 5);
    QCOMPARE(book.columns, 6);
    auto check = [&](int r, int c, const char *type, const QVariant &value, const char *format) {
        const testsupport::XlrdCell cell = book.cell(r, c);
        QCOMPARE(cell.type, QString::fromLatin1(type));
        QCOMPARE(cell.value, value);
        QCOMPARE(cell.format, QString::fromLatin1(format));
    };
    check(0, 0, "text", QStringLiteral("產生日期時間："), "General");
    const QString stamp = book.cell(0, 1).value.toString();
    QVERIFY2(stamp == before.toString(QStringLiteral("yyyy/MM/dd HH:mm")) ||
                 stamp == QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")),
             qPrintable(stamp));
    QCOMPARE(book.cell(0, 1).format, QStringLiteral("@"));
    const QStringList titles{"編號", "客戶", "代碼", "單價", "日期", "時間"};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(book.cell(1, c).value.toString(), titles[c]);
    check(2, 0, "number", 1.0, "General");
    check(2, 1, "text", QStringLiteral("王小明"), "@");
    check(2, 2, "text", QStringLiteral("00123"), "@");
    check(3, 2, "text", QStringLiteral("1e5"), "@");
    check(2, 3, "number", 12.5, "General");
    check(2, 4, "date", 45296.0, "yyyy/mm/dd");
    check(2, 5, "date", 45296.0 + (13 * 3600 + 45 * 60 + 10) / 86400.0, "yyyy/mm/dd hh:mm:ss");
    check(3, 5, "date", 45351.0, "yyyy/mm/dd"); // midnight shows as a date
    check(4, 1, "text", QStringLiteral("笑 😀 ok"), "@");
    QCOMPARE(book.cell(4, 2).type, QString()); // empty text: empty cell
    QCOMPARE(book.cell(4, 3).type, QString()); // NULL
    // Widths: widest cell of each column plus one character, CJK counting two.
    const int widths[] = {14, 16, 5, 4, 10, 19};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(book.columnInfo.value(c).width, (widths[c] + 1) * 256);
    QCOMPARE(book.columnInfo.value(1).format, QStringLiteral("@"));
    QCOMPARE(book.columnInfo.value(2).format, QStringLiteral("@"));
    QCOMPARE(book.columnInfo.value(3).format, QStringLiteral("General"));
}

// A Boolean field's cells are logical values; "True" typed in a text field stays text.
void TestGridExport::booleanCellsAreLogicalValues()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select 名稱, 備註, 有效 From 旗標 Order By rowid"),
                  "CREATE TABLE 旗標 (名稱 NVARCHAR(10), 備註 NVARCHAR(10), 有效 BOOLEAN);"
                  "INSERT INTO 旗標 VALUES ('甲', 'True', 1), ('乙', 'False', 0), ('丙', NULL, NULL);");
    QCOMPARE(f.ds.FieldByName(QStringLiteral("有效"))->DataType(), data::ftBoolean);
    f.grid.setCaption(f.out(QStringLiteral("flags")));
    QVERIFY(f.show());
    drive::press(Qt::Key_E, Qt::ControlModifier);
    READ_XLS(book, f.out(QStringLiteral("flags.xls")));
    const struct {
        int row, column;
        const char *type;
        QVariant value;
        const char *format;
    } cells[] = {{2, 2, "boolean", 1, "General"}, {3, 2, "boolean", 0, "General"},
                 {2, 1, "text", QStringLiteral("True"), "@"}, {3, 1, "text", QStringLiteral("False"), "@"}};
    for (const auto &c : cells) {
        const testsupport::XlrdCell cell = book.cell(c.row, c.column);
        QCOMPARE(cell.type, QString::fromLatin1(c.type));
        QCOMPARE(cell.value, c.value);
        QCOMPARE(cell.format, QString::fromLatin1(c.format));
    }
    QCOMPARE(book.cell(4, 2).type, QString()); // NULL: no cell
}

// Column B carries the time's text format, whatever its field is.
void TestGridExport::secondColumnAlwaysText()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f(QStringLiteral("Select 代碼, 數量 From 訂單 Order By 編號"));
    QVERIFY(f.grid.ExportToSpreadsheet(f.out(QStringLiteral("b"))));
    READ_XLS(book, f.out(QStringLiteral("b.xls")));
    QCOMPARE(book.cell(2, 1).type, QStringLiteral("text"));
    QCOMPARE(book.cell(2, 1).value, QVariant(QStringLiteral("5")));
    QCOMPARE(book.cell(3, 1).value, QVariant(QStringLiteral("-3")));
    QCOMPARE(book.cell(2, 1).format, QStringLiteral("@"));
}

void TestGridExport::sheetRowLimit_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("fits");
    QTest::newRow("65,534 records fill the sheet") << 65534 << true;
    QTest::newRow("65,535 records do not fit") << 65535 << false;
}

void TestGridExport::sheetRowLimit()
{
    QFETCH(int, records);
    QFETCH(bool, fits);
    testsupport::ScriptedUiScope ui;
    const QString script = QStringLiteral(
        "CREATE TABLE 大 (n INTEGER);"
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) INSERT INTO 大 SELECT x FROM c;")
                               .arg(records);
    const QByteArray scriptUtf8 = script.toUtf8();
    GridFixture f(QStringLiteral("Select n From 大"), scriptUtf8.constData());
    const QString file = f.out(QStringLiteral("big.xls"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older workbook") > 0);
    old.close();
    // Opened with its first rows only: the export reads the rest before it counts.
    QCOMPARE(f.grid.ExportToSpreadsheet(f.out(QStringLiteral("big"))), fits);
    QCOMPARE(f.ds.RecordCount(), records);
    if (!fits) {
        QCOMPARE(readFile(file), QByteArray("an older workbook"));
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral(
                                         "共 65537 列，超過 Excel 97-2003 工作表的上限 65536 列，未產生檔案；請改用文字檔匯出 (Ctrl+P)!!")});
        QCOMPARE(ui.beeps(), 0);
        return;
    }
    READ_XLS(book, file);
    QCOMPARE(book.rows, 65536);
    QCOMPARE(book.cell(65535, 0).value, QVariant(65534.0));
}

void TestGridExport::spreadsheetApplication_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("starts");
    QTest::newRow("none installed: no question") << false << false << true;
    QTest::newRow("installed, No") << true << false << true;
    QTest::newRow("installed, Yes") << true << true << true;
    QTest::newRow("installed, Yes, fails to start") << true << true << false;
}

void TestGridExport::spreadsheetApplication()
{
    QFETCH(bool, installed);
    QFETCH(bool, answer);
    QFETCH(bool, starts);
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    const QString bin = f.out(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString program = bin + QStringLiteral("/localc");
    if (installed) {
        QFile exe(program);
        QVERIFY(exe.open(QIODevice::WriteOnly));
        exe.write("#!/bin/sh\nexit 0\n");
        exe.close();
        exe.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ui.queueAnswers({answer});
    }
    ui.setLaunchResult(starts);
    qputenv("PATH", bin.toUtf8());
    const bool saved = f.grid.ExportToSpreadsheet(f.out(QStringLiteral("app")));
    qputenv("PATH", emptyBin.path().toUtf8());
    QVERIFY(saved);
    const QString file = f.out(QStringLiteral("app.xls"));
    QVERIFY(QFile::exists(file));
    QCOMPARE(ui.questions().size(), installed ? 1 : 0);
    if (installed) {
        QCOMPARE(ui.questions()[0].title, QStringLiteral("程式執行確認"));
        QCOMPARE(ui.questions()[0].text, QStringLiteral("是否進入 Excel 編修模式？"));
    }
    const bool launched = installed && answer;
    QCOMPARE(ui.launches().size(), launched ? 1 : 0);
    if (launched) {
        QCOMPARE(ui.launches()[0].program, program);
        QCOMPARE(ui.launches()[0].arguments, QStringList{file});
    }
    QStringList messages{doneMessage(QStringLiteral("app.xls"), f.dir.path())};
    if (launched && !starts)
        messages << QStringLiteral("無法啟動Excel!!");
    QCOMPARE(ui.messageTexts(), messages);
}

void TestGridExport::writeFailureShowsTheFileError()
{
    testsupport::ScriptedUiScope ui;
    GridFixture f;
    const QString missing = f.out(QStringLiteral("no such folder"));
    f.grid.setCaption(missing + QStringLiteral("/out"));
    QVERIFY(f.show());
    drive::press(Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(ui.messages().size(), 1);
    QVERIFY2(ui.lastMessage().text.startsWith(QStringLiteral("無法寫入檔案 ") + missing + QStringLiteral("/out.xls：")),
             qPrintable(ui.lastMessage().text));
    // The text export's file error reaches the grid's error report.
    drive::press(Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(ui.messages().size(), 2);
    QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
    QVERIFY2(ui.lastMessage().text.startsWith(QStringLiteral("無法寫入檔案 ") + missing + QStringLiteral("/out.Txt：")),
             qPrintable(ui.lastMessage().text));
    QCOMPARE(ui.beeps(), 0);
    QVERIFY(!QDir(missing).exists());
}

QTEST_MAIN(TestGridExport)
#include "tst_gridexport.moc"
