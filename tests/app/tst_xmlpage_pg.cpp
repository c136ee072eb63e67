// The XML page and the batch export on PostgreSQL through the ODBC provider: tables with
// Chinese names, names that need quoting, numbers, times, Booleans, long text and bytes
// written by the batch and read back without a connection; a view that fails on the
// server stops the batch there; the save dialog after a select proposes the list entry.
#include "app/XmlPageFixture.h"
#include "app/gui/TableList.h"
#include "components/wDBGrid.h"
#include "data/core/Field.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>

using namespace xmlpagetest;

namespace {

const char *kFixtureSql =
    "CREATE TABLE victim (id integer); INSERT INTO victim VALUES (1), (2), (3);"
    "CREATE TABLE 地區 (代碼 char(2), 名稱 varchar(10)); INSERT INTO 地區 VALUES ('N', '北區'), ('S', '南區');"
    "CREATE TABLE 訂單 (編號 integer PRIMARY KEY, 金額 numeric(12,2), 下單 timestamp, 已付 boolean, 備註 text, 圖 bytea);"
    "INSERT INTO 訂單 VALUES (1, 1234.50, '2024-03-09 14:05:06', true, E'第一行\\r\\n第二行', '\\xdeadbeef'),"
    "  (2, NULL, NULL, false, NULL, NULL);"
    "CREATE TABLE \"a b\" (n text); INSERT INTO \"a b\" VALUES ('a b');"
    "CREATE TABLE \"it's\" (n text); INSERT INTO \"it's\" VALUES ('it''s');"
    "CREATE TABLE \"q\"\"uote\" (n text); INSERT INTO \"q\"\"uote\" VALUES ('q\"uote');"
    "CREATE TABLE \"t;DELETE FROM victim\" (n text); INSERT INTO \"t;DELETE FROM victim\" VALUES ('t;DELETE FROM victim');"
    "CREATE VIEW 壞掉的檢視 AS SELECT 1 / (SELECT count(*) - 3 FROM victim) AS x;"
    "CREATE VIEW 好的檢視 AS SELECT 名稱 FROM 地區;"
    "CREATE VIEW 乙檢視 AS SELECT 代碼 FROM 地區;";

const QString kLogName = QStringLiteral("XML轉檔所需時間.Txt");

QStringList logLines(const QString &file)
{
    QStringDecoder big5("Big5");
    QStringList lines = QString(big5.decode(readAll(file))).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestXmlPagePg : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    testsupport::PgServer *pg = nullptr;
    QTemporaryDir dir;
    QString out;
    std::unique_ptr<Tfm_ADO_Schema> w;

    void trigger(const char *item) { w->menuItem(QString::fromLatin1(item))->trigger(); }
    QString outFile(const QString &name) const { return QDir(out).filePath(name); }
    QStringList filesWritten() const
    {
        QStringList files = QDir(out).entryList(QDir::Files);
        files.sort();
        return files;
    }
    void selectTables(const QStringList &tables)
    {
        for (int i = 0; i < tables.size(); ++i)
            clickTable(*w, tables.at(i), i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }
    void runBatch()
    {
        ui.queueSaveFile(outFile(QStringLiteral("any.xml")));
        trigger("XML2");
    }
    void expectNoMessages()
    {
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        QString error;
        QVERIFY2(pg->exec(QString::fromUtf8(kFixtureSql), &error), qPrintable(error));
        QVERIFY(dir.isValid());
    }

    void cleanupTestCase()
    {
        testsupport::PgServer::shutdownShared();
    }

    void init()
    {
        out = dir.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        w = openWindow(pg->adoConnectionString());
        QVERIFY(w);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        QVERIFY(w->lbxTableName->count() >= 10);
        ui.clearRecords();
    }

    void cleanup()
    {
        w.reset();
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    // Every kind of value survives the batch and reads back without a connection.
    void batchWritesTheServersRows()
    {
        const QStringList tables = {QStringLiteral("a b"), QStringLiteral("it's"), QStringLiteral("q\"uote"),
                                    QStringLiteral("t;DELETE FROM victim"), QStringLiteral("地區"),
                                    QStringLiteral("訂單")};
        selectTables(tables);
        QCOMPARE(selectedTables(*w).size(), tables.size());
        runBatch();
        expectNoMessages();
        QStringList expected = {kLogName};
        for (const QString &t : tables)
            expected << t + QStringLiteral(".xml");
        expected.sort();
        QCOMPARE(filesWritten(), expected);
        QCOMPARE(logLines(outFile(kLogName)).size(), tables.size() + 1);
        QVERIFY(logLines(outFile(kLogName)).last().startsWith(QStringLiteral("總所需時間：")));
        QVERIFY(selectedTables(*w).isEmpty());
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM victim")), QStringLiteral("3"));

        for (const QString &t : tables.mid(0, 4)) {
            data::Dataset rows;
            rows.LoadFromFile(outFile(t + QStringLiteral(".xml")));
            QCOMPARE(rows.RecordCount(), 1);
            QCOMPARE(rows.valueAt(0, 0).toString(), t);
        }
        data::Dataset orders;
        orders.LoadFromFile(outFile(QStringLiteral("訂單.xml")));
        QCOMPARE(orders.FieldNames(), QStringList({QStringLiteral("編號"), QStringLiteral("金額"), QStringLiteral("下單"),
                                                   QStringLiteral("已付"), QStringLiteral("備註"), QStringLiteral("圖")}));
        QCOMPARE(orders.RecordCount(), 2);
        QCOMPARE(orders.Fields(1)->AsString(), QStringLiteral("1234.50")); // numeric(12,2) keeps its scale
        QCOMPARE(orders.valueAt(0, 2).toDateTime(), QDateTime(QDate(2024, 3, 9), QTime(14, 5, 6)));
        QCOMPARE(orders.valueAt(0, 3).toBool(), true);
        QCOMPARE(orders.valueAt(0, 4).toString(), QStringLiteral("第一行\r\n第二行"));
        QCOMPARE(orders.valueAt(0, 5).toByteArray(), QByteArray::fromHex("deadbeef"));
        for (int f = 1; f < 6; ++f)
            QVERIFY2(f == 3 || orders.valueAt(1, f).isNull(), qPrintable(orders.Fields(f)->FieldName()));
        QCOMPARE(orders.valueAt(1, 3).toBool(), false);
        // The window shows the last table.
        QCOMPARE(w->DBGrid2->Caption(), QStringLiteral("訂單"));
        QCOMPARE(w->ADODXML.RecordCount(), 2);
    }

    // The server refuses the middle table (a division by zero in the view): the table
    // before it is written, no log, the failing table and the one after stay selected.
    void theServerRefusesTheSecond()
    {
        const int failingRow = rowOf(*w, QStringLiteral("壞掉的檢視"));
        QVERIFY(failingRow > 0 && failingRow + 1 < w->lbxTableName->count());
        const QString first = w->lbxTableName->item(failingRow - 1)->text();
        const QString third = w->lbxTableName->item(failingRow + 1)->text();
        selectTables({first, QStringLiteral("壞掉的檢視"), third});
        runBatch();
        QCOMPARE(ui.messages().size(), 1);
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.lastMessage().text.contains(QStringLiteral("division by zero")), qPrintable(ui.lastMessage().text));
        QCOMPARE(filesWritten(), QStringList{first + QStringLiteral(".xml")});
        QCOMPARE(selectedTables(*w), QStringList({QStringLiteral("壞掉的檢視"), third}));
    }

    // After a select on the SQL page the dialog offers the list's current entry; the file
    // holds the query's rows and loads in a window that never connects.
    void saveAfterSelectAndLoadOffline()
    {
        clickTable(*w, QStringLiteral("地區"));
        w->showPage(3);
        w->redSQLText->setPlainText(QStringLiteral("select 編號, 金額, 備註 from 訂單 order by 編號"));
        QTest::mouseClick(w->btnRun, Qt::LeftButton);
        QVERIFY(w->ADODXML.Active());
        const QString file = outFile(QStringLiteral("saved.xml"));
        ui.queueSaveFile(file);
        trigger("nSaveDataToXML");
        expectNoMessages();
        QCOMPARE(ui.fileDialogs().first().request.defaultName, QStringLiteral("地區.xml"));

        auto offline = openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + dir.filePath(QStringLiteral("none.db")));
        QVERIFY(offline);
        ui.queueOpenFile(file);
        offline->menuItem(QStringLiteral("nLoadDataFromXML"))->trigger();
        expectNoMessages();
        QVERIFY(!offline->ADOConnection1.Connected());
        QCOMPARE(offline->PageControl1->currentIndex(), 4);
        QCOMPARE(offline->DBGrid2->Caption(), QString());
        data::Dataset &rows = offline->ADODXML;
        QCOMPARE(rows.FieldNames(), QStringList({QStringLiteral("編號"), QStringLiteral("金額"), QStringLiteral("備註")}));
        QCOMPARE(rows.RecordCount(), 2);
        QCOMPARE(rows.valueAt(0, 2).toString(), QStringLiteral("第一行\r\n第二行"));
        QVERIFY(rows.valueAt(1, 1).isNull());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.db"))));
    }
};

QTEST_MAIN(TestXmlPagePg)
#include "tst_xmlpage_pg.moc"
