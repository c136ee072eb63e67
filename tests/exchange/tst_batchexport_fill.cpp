// The batch export reads each table through a dataset that fills in the background: a
// table bigger than the first slice is written whole, and a stop during the wait for its
// rows ends the batch before that table, writing no file for it and the log of the
// tables done.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/rowsetxml/RowsetXml.h"
#include "exchange/TableBatchExport.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace data;

namespace {

constexpr int kRows = 500;

class StopAfter final : public Dataset::FillWait {
public:
    explicit StopAfter(int slices) : left_(slices) {}
    bool progress(const Dataset &) override { return --left_ > 0; }

private:
    int left_;
};

} // namespace

class TestBatchExportFill : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;

private slots:
    void initTestCase()
    {
        dbFile = dir.filePath(QStringLiteral("batch.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dbFile.toUtf8().constData(), &db), SQLITE_OK);
        const QByteArray sql = "CREATE TABLE 小表 (n INTEGER); INSERT INTO 小表 VALUES (1), (2);"
                               "CREATE TABLE 大表 (n INTEGER, t TEXT);"
                               "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 500) "
                               "INSERT INTO 大表 SELECT x, 'row ' || x FROM c;";
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        Dataset::setFillBudgets({10, {}}, {25, {}});
    }
    void cleanupTestCase()
    {
        Dataset::setFillWaitFactory(nullptr);
        Dataset::setFillBudgets({2000, std::chrono::milliseconds(50)}, {0, std::chrono::milliseconds(20)});
    }

    void bigTableWrittenWholeOrStopped_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("waits for every row") << false;
        QTest::newRow("stopped during the wait") << true;
    }
    void bigTableWrittenWholeOrStopped()
    {
        QFETCH(bool, stop);
        Dataset::setFillWaitFactory([stop](const Dataset &) -> std::unique_ptr<Dataset::FillWait> {
            return std::make_unique<StopAfter>(stop ? 2 : 1000000);
        });
        QTemporaryDir out;
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        Dataset ds;
        ds.setConnection(&conn);
        const auto result = exchange::exportTablesToXml(
            ds, out.path(), {QStringLiteral("小表"), QStringLiteral("大表")}, exchange::BatchExportSteps());
        const QString big = exchange::batchXmlPath(out.path(), QStringLiteral("大表"));
        QCOMPARE(result.stopped, stop);
        QCOMPARE(result.written, stop ? 1 : 2);
        QCOMPARE(int(rowsetxml::load(exchange::batchXmlPath(out.path(), QStringLiteral("小表"))).rows.rowCount()), 2);
        if (stop)
            QVERIFY(!QFile::exists(big));
        else
            QCOMPARE(int(rowsetxml::load(big).rows.rowCount()), kRows);
        QVERIFY(QFile::exists(out.filePath(exchange::kBatchLogFileName)));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), stop ? 2 : 3); // no temp files left
    }
};

QTEST_GUILESS_MAIN(TestBatchExportFill)
#include "tst_batchexport_fill.moc"
