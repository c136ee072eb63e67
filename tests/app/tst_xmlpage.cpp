// The XML page of the main window on a real SQLite file: saving the XML dataset, loading
// files in the rowset format (one written by the original tool among them), closing it,
// the workbook export, the seek dialog on F10, and "載入XML檔案" on good and hostile
// files. The window is shown and active; menu commands are triggered as the menu does,
// dialogs answered by ScriptedUi, keys and clicks sent as a person sends them.
#include "app/XmlPageFixture.h"
#include "app/gui/TableList.h"
#include "components/SeekDialog.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "data/rowsetxml/RowsetXml.h"
#include "exchange/SpreadsheetApp.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <functional>

using namespace xmlpagetest;
using components::TfmSeek;

namespace {

const char *kFixtureSql =
    "CREATE TABLE 客戶 (編號 INTEGER PRIMARY KEY, 名稱 TEXT, 城市 TEXT, 額度 REAL);"
    "INSERT INTO 客戶 VALUES (1, '甲公司', '台北', 1000.5), (2, '乙商行', NULL, 20), (3, '乙太網路', '高雄', NULL);"
    "CREATE TABLE 產品 (代碼 TEXT PRIMARY KEY, 品名 TEXT);"
    "INSERT INTO 產品 VALUES ('P1', '螺絲'), ('P2', '螺帽');";

// Orders to type into, and columns whose names a name list or trimming would get wrong.
const char *kTypedSql =
    "CREATE TABLE 訂單 (編號 INTEGER PRIMARY KEY, 品名 TEXT, 數量 INTEGER);"
    "INSERT INTO 訂單 VALUES (1, '螺絲', 5), (2, '螺帽', 7);"
    "CREATE TABLE 產品 (代碼 TEXT PRIMARY KEY, 品名 TEXT);"
    "INSERT INTO 產品 VALUES ('P1', '螺絲');"
    "CREATE TABLE odd (\"a;b\" TEXT, a TEXT, \" \" TEXT, \" 前後 \" TEXT, d DATE);"
    "INSERT INTO odd VALUES ('m', 'p', 's1', 'f1', '2024-03-09'), ('p', 'm', 's2', 'f2', '2023-11-20'),"
    " ('n', 'n', 's3', 'f3', '2022-01-05');";

// One value read straight from an SQLite file.
QString sqliteValue(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    QString value = QStringLiteral("<error>");
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(st);
        value = rc != SQLITE_ROW ? QStringLiteral("<none>")
                : sqlite3_column_type(st, 0) == SQLITE_NULL
                    ? QStringLiteral("<NULL>")
                    : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

// A file as the original tool writes it: Chinese names, an alias (c3), NULLs left out,
// currency, date-times, Booleans, long text with a line break and binary values.
const QByteArray kOriginalFile =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\r\n"
    "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
    "\txmlns:rs='urn:schemas-microsoft-com:rowset'\r\n"
    "\txmlns:z='#RowsetSchema'>\r\n"
    "<s:Schema id='RowsetSchema'>\r\n"
    "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\r\n"
    "\t\t<s:AttributeType name='編號' rs:number='1' rs:basetable='訂單' rs:basecolumn='編號' rs:keycolumn='true'>\r\n"
    "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true' rs:maybenull='false'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='客戶名稱' rs:number='2' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='string' rs:dbtype='str' dt:maxLength='30'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='c3' rs:name='單價 (NT$)' rs:number='3' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='number' rs:dbtype='currency' dt:maxLength='8' rs:precision='19' rs:fixedlength='true'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='下單時間' rs:number='4' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16' rs:scale='3' rs:precision='23' rs:fixedlength='true'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='已付款' rs:number='5' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='boolean' dt:maxLength='2' rs:fixedlength='true'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='備註' rs:number='6' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='string' dt:maxLength='1073741823' rs:long='true'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:AttributeType name='圖檔' rs:number='7' rs:nullable='true' rs:write='true'>\r\n"
    "\t\t\t<s:datatype dt:type='bin.hex' dt:maxLength='4'/>\r\n"
    "\t\t</s:AttributeType>\r\n"
    "\t\t<s:extends type='rs:rowbase'/>\r\n"
    "\t</s:ElementType>\r\n"
    "</s:Schema>\r\n"
    "<rs:data>\r\n"
    "\t<z:row 編號='1' 客戶名稱='甲公司 &amp; 子公司' c3='12.3456' 下單時間='2024-03-09T14:05:06' 已付款='True'\r\n"
    "\t\t 備註='第一行&#x0d;&#x0a;第二行' 圖檔='DEADbeef'/>\r\n"
    "\t<z:row 編號='2' 客戶名稱='' 已付款='False'/>\r\n"
    "</rs:data>\r\n"
    "</xml>\r\n";

// Runs `steps` on the seek dialog once it is shown and active, inside its modal loop;
// closes a dialog the steps leave open. Counts the dialogs seen.
class SeekDialogWatch : public QObject {
public:
    explicit SeekDialogWatch(std::function<void(TfmSeek *)> steps) : steps_(std::move(steps))
    {
        poll_.setInterval(10);
        connect(&poll_, &QTimer::timeout, this, [this] { look(); });
        poll_.start();
    }
    int seen = 0;
    QString title;

private:
    void look()
    {
        auto *dialog = qobject_cast<TfmSeek *>(QApplication::activeModalWidget());
        if (busy_ || !dialog || !dialog->isVisible())
            return;
        busy_ = true;
        ++seen;
        title = dialog->windowTitle();
        QPointer<TfmSeek> guard(dialog);
        if (drive::showActive(dialog))
            steps_(dialog);
        if (guard && guard->isVisible())
            guard->done(QDialog::Rejected);
        busy_ = false;
    }
    std::function<void(TfmSeek *)> steps_;
    QTimer poll_;
    bool busy_ = false;
};

// Every field, type and value of a dataset, one line per row.
QString dumpDataset(const data::Dataset &ds)
{
    QStringList lines;
    QStringList head;
    for (int f = 0; f < ds.FieldCount(); ++f)
        head << ds.Fields(f)->FieldName() + QLatin1Char(':') + QString::number(ds.Fields(f)->DataType());
    lines << head.join(QLatin1Char(','));
    for (int r = 0; r < ds.RecordCount(); ++r) {
        QStringList values;
        for (int f = 0; f < ds.FieldCount(); ++f) {
            const QVariant v = ds.valueAt(r, f);
            values << (v.isNull() ? QStringLiteral("<NULL>")
                                  : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                        : v.toString());
        }
        lines << values.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestXmlPage : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<Tfm_ADO_Schema> w;

    QString path(const QString &name) const { return dir.filePath(name); }
    void trigger(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }
    void fetchTables()
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->lbxTableName->count() > 0);
    }
    // With "點選自定表格名稱時是否開啟" ticked, a click opens the table's rows.
    void openTableByClick(const QString &table)
    {
        fetchTables();
        w->cbxOpenDataSet->setChecked(true);
        clickTable(*w, table);
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), table);
        QVERIFY(w->FXMLFromTable);
    }
    void expectNoMessages()
    {
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
    }

    // The window reopened on a fresh copy of the typed-edits file, the first order on the
    // XML page and `typed` typed into its `column`; the file's path (empty on failure).
    QString typeIntoFirstOrder(const QString &column, const QString &typed)
    {
        const QString file = reopenOnTypedFile();
        if (file.isEmpty())
            return file;
        openTableByClick(QStringLiteral("訂單"));
        w->showPage(4);
        drive::clickCell(w->DBGrid2, 0, w->ADODXML.FieldByName(column)->Index());
        drive::type(typed);
        return file;
    }
    void expectOneStopNaming(const QString &typed)
    {
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.messages().first().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.messages().first().text.contains(typed), qPrintable(ui.messages().first().text));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = path(QStringLiteral("xmlpage.db"));
        const QString error = makeSqlite(dbFile, QString::fromUtf8(kFixtureSql));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(writeAll(path(QStringLiteral("original.xml")), kOriginalFile));
    }

    void init()
    {
        w = openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QVERIFY(w);
        ui.clearRecords();
    }

    // The window on a fresh copy of the typed-edits file.
    QString reopenOnTypedFile()
    {
        const QString file = path(QStringLiteral("typed.db"));
        const QString error = makeSqlite(file, QString::fromUtf8(kTypedSql));
        if (!error.isEmpty())
            return QString();
        w = openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        return w ? file : QString();
    }

    void cleanup()
    {
        w.reset();
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    // Nothing on the XML page: the message, page 0 in front, the focus on the table
    // button; no dialog.
    void saveWithNothingOpen()
    {
        w->showPage(3);
        trigger("nSaveDataToXML");
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("請檢查 \"使用者定義之資料表\" 是否已開啟!!")});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(drive::focused(), static_cast<QWidget *>(w->btnGetTableName));
        QVERIFY(ui.fileDialogs().isEmpty());
    }

    // After a select on the SQL page the dialog proposes the table list's current entry,
    // not the query; the file holds the query's rows.
    void saveAfterSqlSelectProposesTheListEntry()
    {
        fetchTables();
        clickTable(*w, QStringLiteral("產品"));
        w->showPage(3);
        w->redSQLText->setFocus();
        w->redSQLText->setPlainText(QStringLiteral("select 名稱, 城市 from 客戶 where 編號 >= 2"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->PageControl1->currentIndex(), 4);

        const QString target = path(QStringLiteral("query.xml"));
        ui.queueSaveFile(target);
        trigger("nSaveDataToXML");
        expectNoMessages();
        QCOMPARE(ui.fileDialogs().size(), 1);
        const platform::FileDialogRequest &asked = ui.fileDialogs().first().request;
        QVERIFY(ui.fileDialogs().first().save);
        QCOMPARE(asked.defaultName, QStringLiteral("產品.xml"));
        QCOMPARE(asked.filter, QStringLiteral("XML|*.xml"));
        QVERIFY(asked.confirmOverwrite);
        QCOMPARE(QDir::cleanPath(asked.initialDir), QDir::cleanPath(QCoreApplication::applicationDirPath()));

        data::Dataset saved;
        saved.LoadFromFile(target);
        QCOMPARE(dumpDataset(saved), dumpDataset(w->ADODXML));
        QCOMPARE(saved.RecordCount(), 2);
        QCOMPARE(saved.valueAt(0, 0).toString(), QStringLiteral("乙商行"));
        QVERIFY(saved.valueAt(0, 1).isNull());
        QCOMPARE(saved.valueAt(1, 1).toString(), QStringLiteral("高雄"));
    }

    void saveCancelledWritesNothing()
    {
        openTableByClick(QStringLiteral("客戶"));
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        ui.queueSaveFile(QString());
        trigger("nSaveDataToXML");
        expectNoMessages();
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    }

    // A file loaded before any table list was fetched has no list entry to be named
    // after: a message, no dialog, no file.
    void saveWithoutCurrentEntry()
    {
        ui.queueOpenFile(path(QStringLiteral("original.xml")));
        trigger("nLoadDataFromXML");
        QVERIFY(w->ADODXML.Active());
        ui.clearRecords();
        trigger("nSaveDataToXML");
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("[自定表格名稱] 沒有目前的表格, 無法決定XML檔名, 請先取得自定表格!!")});
        QVERIFY(ui.fileDialogs().isEmpty());
        QVERIFY(w->ADODXML.Active());
    }

    // The original tool's file loads without a connection, every value as written; the
    // caption is empty, so the workbook export is named "Temp"; saved again, our file
    // reads back with the same fields, types and rows.
    void loadWithoutConnection()
    {
        w->showPage(1);
        ui.queueOpenFile(path(QStringLiteral("original.xml")));
        trigger("nLoadDataFromXML");
        expectNoMessages();
        QCOMPARE(ui.fileDialogs().first().request.filter, QStringLiteral("XML|*.xml"));
        QVERIFY(!ui.fileDialogs().first().save);
        QVERIFY(!w->ADOConnection1.Connected());
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->PageControl1->currentIndex(), 4);
        QCOMPARE(w->DBGrid2->Caption(), QString());
        QVERIFY(!w->FXMLFromTable);

        data::Dataset &ds = w->ADODXML;
        QCOMPARE(ds.FieldNames(), QStringList({QStringLiteral("編號"), QStringLiteral("客戶名稱"),
                                               QStringLiteral("單價 (NT$)"), QStringLiteral("下單時間"),
                                               QStringLiteral("已付款"), QStringLiteral("備註"), QStringLiteral("圖檔")}));
        QCOMPARE(ds.Fields(2)->DataType(), data::ftCurrency);
        QCOMPARE(ds.RecordCount(), 2);
        QCOMPARE(ds.valueAt(0, 1).toString(), QStringLiteral("甲公司 & 子公司"));
        QCOMPARE(ds.valueAt(0, 2).toDouble(), 12.3456);
        QCOMPARE(ds.valueAt(0, 3).toDateTime(), QDateTime(QDate(2024, 3, 9), QTime(14, 5, 6)));
        QCOMPARE(ds.valueAt(0, 4).toBool(), true);
        QCOMPARE(ds.valueAt(0, 5).toString(), QStringLiteral("第一行\r\n第二行"));
        QCOMPARE(ds.valueAt(0, 6).toByteArray(), QByteArray::fromHex("deadbeef"));
        QCOMPARE(ds.valueAt(1, 1).toString(), QString()); // '' is an empty text, not NULL
        QVERIFY(!ds.valueAt(1, 1).isNull());
        for (int f : {2, 3, 5, 6})
            QVERIFY2(ds.valueAt(1, f).isNull(), qPrintable(ds.Fields(f)->FieldName()));
        QCOMPARE(ds.valueAt(1, 4).toBool(), false);
        // The grid shows the rows.
        QCOMPARE(w->DBGrid2->model()->rowCount(), 2);
        QCOMPARE(w->DBGrid2->model()->index(0, 1).data().toString(), QStringLiteral("甲公司 & 子公司"));

        // The workbook export takes the empty caption: "Temp.xls" in the program's folder.
        const QString workbook = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Temp.xls"));
        QFile::remove(workbook);
        if (exchange::findSpreadsheetApp().found())
            ui.answerNo();
        ui.clearRecords();
        trigger("Excel1");
        QVERIFY(QFile::exists(workbook));
        QCOMPARE(ui.messages().size(), 1);
        QVERIFY2(ui.lastMessage().text.startsWith(QStringLiteral("已產生  \"Temp.xls\" 檔案至")),
                 qPrintable(ui.lastMessage().text));
        QFile::remove(workbook);

        // Ours reads back as the original did.
        fetchTables();
        const QString ours = path(QStringLiteral("ours.xml"));
        ui.queueSaveFile(ours);
        trigger("nSaveDataToXML");
        data::Dataset again;
        again.LoadFromFile(ours);
        QCOMPARE(dumpDataset(again), dumpDataset(ds));
        const data::rowsetxml::Rowset raw = data::rowsetxml::load(ours);
        QCOMPARE(raw.columns.at(2).name, QStringLiteral("單價 (NT$)"));
    }

    void excelWithNothingOpen()
    {
        trigger("Excel1");
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("請先開啟 XML 資料集")});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
    }

    // The workbook export of a table's rows is named after the grid caption.
    void excelNamedAfterTheCaption()
    {
        openTableByClick(QStringLiteral("產品"));
        const QString workbook = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("產品.xls"));
        QFile::remove(workbook);
        if (exchange::findSpreadsheetApp().found())
            ui.answerNo();
        trigger("Excel1");
        QVERIFY(QFile::exists(workbook));
        QFile::remove(workbook);
    }

    void loadFailureLeavesTheDatasetClosed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // a part of the error text
        QTest::newRow("not well-formed") << QByteArray("<xml><s:Schema></xml>") << QStringLiteral("不是格式正確的 XML");
        QTest::newRow("truncated") << kOriginalFile.left(kOriginalFile.size() / 2) << QStringLiteral("檔案提早結束");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("是空的");
        QTest::newRow("foreign XML") << QByteArray("<html><body>hello</body></html>") << QStringLiteral("不是資料集 XML 檔");
        QTest::newRow("missing file") << QByteArray("-") << QStringLiteral("不存在");
    }

    void loadFailureLeavesTheDatasetClosed()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        openTableByClick(QStringLiteral("客戶"));
        const QString file = path(QStringLiteral("bad.xml"));
        QFile::remove(file);
        if (content != "-")
            QVERIFY(writeAll(file, content));
        ui.clearRecords();
        ui.queueOpenFile(file);
        trigger("nLoadDataFromXML");
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        // One message in the window's language, naming the file and what is wrong with it.
        QVERIFY2(ui.lastMessage().text.contains(expected) && ui.lastMessage().text.contains(file),
                 qPrintable(ui.lastMessage().text));
        QVERIFY(!w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), QString());
        QVERIFY(!w->FXMLFromTable);
        QCOMPARE(w->DBGrid2->model()->rowCount(), 0);
    }

    void loadCancelledChangesNothing()
    {
        openTableByClick(QStringLiteral("客戶"));
        ui.queueOpenFile(QString());
        trigger("nLoadDataFromXML");
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("客戶"));
        expectNoMessages();
    }

    void closeTwice()
    {
        openTableByClick(QStringLiteral("客戶"));
        int closes = 0;
        connect(&w->ADODXML, &data::Dataset::afterClose, this, [&closes] { ++closes; });
        trigger("nCloseXMLDataSet");
        QVERIFY(!w->ADODXML.Active());
        QCOMPARE(w->DBGrid2->Caption(), QString());
        QVERIFY(!w->FXMLFromTable);
        trigger("nCloseXMLDataSet");
        QCOMPARE(closes, 1);
        expectNoMessages();
    }

    void f10_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("closed, F10") << false << int(Qt::NoModifier) << 0;
        QTest::newRow("closed, Shift+F10") << false << int(Qt::ShiftModifier) << 0;
        QTest::newRow("closed, Ctrl+F10") << false << int(Qt::ControlModifier) << 0;
        QTest::newRow("open, F10") << true << int(Qt::NoModifier) << 1;
        QTest::newRow("open, Shift+F10") << true << int(Qt::ShiftModifier) << 1;
        QTest::newRow("open, Ctrl+F10") << true << int(Qt::ControlModifier) << 1;
    }

    // F10 in the XML grid, whatever the shift keys, seeks in the selected column: typed
    // "乙" finds the first name starting with it.
    void f10()
    {
        QFETCH(bool, open);
        QFETCH(int, modifiers);
        QFETCH(int, dialogs);
        openTableByClick(QStringLiteral("客戶"));
        w->showPage(4);
        const int nameColumn = w->ADODXML.FieldByName(QStringLiteral("名稱"))->Index();
        drive::clickCell(w->DBGrid2, 0, nameColumn);
        QCOMPARE(w->DBGrid2->SelectedIndex(), nameColumn);
        if (!open) {
            w->ADODXML.Close();
            QCOMPARE(drive::focused(), static_cast<QWidget *>(w->DBGrid2));
        }
        SeekDialogWatch watch([](TfmSeek *) {
            drive::type(QStringLiteral("乙"));
            drive::press(Qt::Key_Return);
        });
        drive::press(Qt::Key_F10, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(watch.seen, dialogs);
        expectNoMessages();
        if (!open)
            return;
        QCOMPARE(watch.title, QStringLiteral("查詢"));
        QCOMPARE(w->wSeek1.SeekField(), QStringLiteral("名稱"));
        QVERIFY(w->wSeek1.Found());
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("乙商行"));
        QCOMPARE(w->ADODXML.State(), data::dsBrowse);
    }

    // Typed text is never dropped when the XML dataset is closed or replaced: a click on
    // another table (open-on-click ticked) or "關閉XML資料集" posts what the open editor
    // holds first; text the field refuses stops the close with the field's error, and the
    // edit, its text and the table stay.
    void typedTextSurvivesClosing_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byMenu"); // otherwise a click on another table
        QTest::addColumn<QString>("stored");
        QTest::newRow("text, another table clicked") << "品名" << "新品" << false << "新品";
        QTest::newRow("text, closed by the menu") << "品名" << "新品" << true << "新品";
        QTest::newRow("number, another table clicked") << "數量" << "42" << false << "42";
        QTest::newRow("letters for a number, another table clicked") << "數量" << "x1" << false << "5";
        QTest::newRow("letters for a number, closed by the menu") << "數量" << "x1" << true << "5";
    }
    void typedTextSurvivesClosing()
    {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(bool, byMenu);
        QFETCH(QString, stored);
        const QString file = typeIntoFirstOrder(column, typed);
        QVERIFY(!file.isEmpty());
        QVERIFY(w->DBGrid2->EditorMode());
        if (byMenu) {
            trigger("nCloseXMLDataSet");
        } else {
            w->showPage(0);
            clickTable(*w, QStringLiteral("產品"));
        }
        QCOMPARE(sqliteValue(file, QStringLiteral("Select %1 From 訂單 Where 編號 = 1").arg(column)), stored);
        const bool refused = stored != typed;
        if (!refused) {
            expectNoMessages();
            QCOMPARE(w->ADODXML.Active(), !byMenu);
            QCOMPARE(w->DBGrid2->Caption(), byMenu ? QString() : QStringLiteral("產品"));
            return;
        }
        expectOneStopNaming(typed);
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("訂單"));
        QVERIFY(w->DBGrid2->EditorMode());
        QCOMPARE(w->DBGrid2->InplaceEditor()->text(), typed);
    }

    // Closing the window with a row typed into the XML grid and not yet left posts it
    // first, whether the editor still holds the text or Enter already stored it in the
    // row; text the field refuses keeps the window open with the field's error, the edit
    // and its text kept.
    void typedTextSurvivesClosingTheWindow_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("entered"); // Enter pressed after typing: the editor is closed
        QTest::addColumn<QString>("stored");
        QTest::newRow("number in the editor") << "數量" << "42" << false << "42";
        QTest::newRow("text entered") << "品名" << "新品" << true << "新品";
        QTest::newRow("letters for a number in the editor") << "數量" << "x1" << false << "5";
    }
    void typedTextSurvivesClosingTheWindow()
    {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(bool, entered);
        QFETCH(QString, stored);
        const QString file = typeIntoFirstOrder(column, typed);
        QVERIFY(!file.isEmpty());
        if (entered)
            drive::press(Qt::Key_Return);
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        w->close();
        QCOMPARE(sqliteValue(file, QStringLiteral("Select %1 From 訂單 Where 編號 = 1").arg(column)), stored);
        if (stored == typed) {
            expectNoMessages();
            QVERIFY(!w->isVisible());
            return;
        }
        expectOneStopNaming(typed);
        QVERIFY(w->isVisible());
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QCOMPARE(w->DBGrid2->InplaceEditor()->text(), typed);
    }

    // F10 on a column whose name holds ";" or blanks seeks in that very column, with an
    // edit for it ("a;b" read as a list would search "a", which finds record 1).
    void f10OnAnyColumnName_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("foundIn"); // value of "a" in the record found
        QTest::newRow("a;b") << "a;b" << "p" << "m";
        QTest::newRow("blank") << " " << "s3" << "n";
        QTest::newRow("blanks around") << " 前後 " << "f2" << "m";
        QTest::newRow("date typed short") << "d" << "2023/11/20" << "m";
        QTest::newRow("date, one-digit month and day") << "d" << "2022/1/5" << "n";
    }
    void f10OnAnyColumnName()
    {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, foundIn);
        QVERIFY(!reopenOnTypedFile().isEmpty());
        openTableByClick(QStringLiteral("odd"));
        w->showPage(4);
        int index = -1;
        for (int i = 0; i < w->ADODXML.FieldCount(); ++i)
            if (w->ADODXML.Fields(i)->FieldName() == column)
                index = i;
        QVERIFY(index >= 0);
        drive::clickCell(w->DBGrid2, 0, index);
        QStringList labels;
        SeekDialogWatch watch([&](TfmSeek *dialog) {
            for (int i = 1; i <= dialog->count(); ++i)
                labels << dialog->label(i)->text();
            drive::type(typed);
            drive::press(Qt::Key_Return);
        });
        drive::press(Qt::Key_F10);
        QCOMPARE(watch.seen, 1);
        QCOMPARE(labels, QStringList{column});
        expectNoMessages(); // an unanswered "not found" question would fail here too
        QVERIFY(w->wSeek1.Found());
        QCOMPARE(w->ADODXML.FieldByName(QStringLiteral("a"))->AsString(), foundIn);
    }

    void loadFromFile1_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error"); // empty: loads, nothing shown
        QTest::newRow("rowset file") << kOriginalFile << QString();
        QTest::newRow("mismatched tag")
            << QByteArray("<a>\n  <b></a>")
            << QStringLiteral("XML 檔案格式錯誤：Opening and ending tag mismatch.\n\r第 2 行，第 10 欄");
        QTest::newRow("truncated")
            << QByteArray("<a><b>text")
            << QStringLiteral("XML 檔案格式錯誤：Premature end of document.\n\r第 1 行，第 11 欄");
        QTest::newRow("empty") << QByteArray()
                               << QStringLiteral("XML 檔案格式錯誤：Premature end of document.\n\r第 1 行，第 1 欄");
        QByteArray laughs = "<?xml version='1.0'?>\n<!DOCTYPE l [\n<!ENTITY l0 'lol'>\n";
        for (int i = 1; i <= 9; ++i)
            laughs += "<!ENTITY l" + QByteArray::number(i) + " '" +
                      QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "'>\n";
        laughs += "]>\n<l>&l9;</l>";
        QTest::newRow("billion laughs")
            << laughs << QStringLiteral("XML 檔案的實體展開超過上限 (4096 個字元)，不予載入!!");
    }

    void loadFromFile1()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString file = path(QStringLiteral("document.xml"));
        QVERIFY(writeAll(file, content));
        ui.queueOpenFile(file);
        trigger("LoadFromFile1");
        QCOMPARE(ui.fileDialogs().size(), 1);
        QCOMPARE(ui.fileDialogs().first().request.filter, QStringLiteral("XML|*.xml"));
        if (error.isEmpty()) {
            expectNoMessages();
            QVERIFY(w->XMLD.isLoaded());
            QCOMPARE(w->XMLD.rootName(), QStringLiteral("xml"));
            QCOMPARE(w->XMLD.elementCount(), 21);
        } else {
            QCOMPARE(ui.messageTexts(), QStringList{error});
            QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
            QVERIFY(!w->XMLD.isLoaded());
        }
        QVERIFY(!w->ADODXML.Active()); // the XML page is not touched
    }
};

QTEST_MAIN(TestXmlPage)
#include "tst_xmlpage.moc"
