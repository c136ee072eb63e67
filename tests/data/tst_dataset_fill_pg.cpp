// The background fill through ODBC against a real PostgreSQL server: the first block of
// rows opens the dataset, later blocks arrive from the timer, and the connection carries
// one result at a time: another command, a post or a second dataset waits for the rest,
// a stop or a close frees the statement. Small slices stand in for a big table.
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "support/PgServer.h"
#include <QSignalSpy>
#include <QtTest>

using namespace data;

namespace {

constexpr int kRows = 3000;

} // namespace

class TestDatasetFillPg : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    Connection conn;

    void open(Dataset &ds, const QString &sql = QStringLiteral("SELECT 編號, 名稱 FROM 大表 ORDER BY 編號"))
    {
        ds.setConnection(&conn);
        ds.setCommandText(sql);
        ds.Open();
    }
    static void waitForFill(const Dataset &ds) { QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 60000); }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        conn.setConnectionString(pg->adoConnectionString());
        Dataset::setFillBudgets({10, {}}, {10, {}});
    }
    void cleanupTestCase()
    {
        Dataset::setFillBudgets({2000, std::chrono::milliseconds(50)}, {0, std::chrono::milliseconds(20)});
        conn.Close();
        testsupport::PgServer::shutdownShared();
    }
    void init()
    {
        QString err;
        QVERIFY2(pg->exec(QStringLiteral("DROP TABLE IF EXISTS 大表;"
                                         "CREATE TABLE 大表 (編號 integer PRIMARY KEY, 名稱 varchar(20));"
                                         "INSERT INTO 大表 SELECT i, '名稱' || i FROM generate_series(1, %1) i;")
                              .arg(kRows),
                          &err),
                 qPrintable(err));
    }

    void firstBlockThenTheRestInOrder()
    {
        Dataset ds;
        QSignalSpy arrived(&ds, &Dataset::rowsArrived);
        open(ds);
        QVERIFY(ds.Fetching());
        const int first = ds.RecordCount();
        QVERIFY2(first > 0 && first < kRows, qPrintable(QString::number(first)));
        QCOMPARE(ds.valueAt(0, 1).toString(), QStringLiteral("名稱1"));
        waitForFill(ds);
        QCOMPARE(ds.RecordCount(), kRows);
        QVERIFY(arrived.count() >= 1);
        QCOMPARE(arrived.first().at(0).toInt(), first);
        QCOMPARE(arrived.last().at(1).toInt(), kRows - 1);
        for (int row = 0; row < kRows; ++row)
            QCOMPARE(ds.valueAt(row, 0).toLongLong(), row + 1);
    }

    void anotherCommandWaitsForTheRest()
    {
        Dataset ds;
        open(ds);
        QVERIFY(ds.Fetching());
        QCOMPARE(conn.session().execute(QStringLiteral("DELETE FROM 大表 WHERE 編號 > 10")), qint64(kRows - 10));
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM 大表")), QStringLiteral("10"));
    }

    void postDuringTheFillWaitsThenWrites()
    {
        Dataset ds;
        open(ds);
        ds.FieldByName(QStringLiteral("名稱"))->setValue(QStringLiteral("改過"));
        ds.Post();
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(pg->scalar(QStringLiteral("SELECT 名稱 FROM 大表 WHERE 編號 = 1")), QStringLiteral("改過"));
    }

    void stopAndCloseFreeTheStatement_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("stop") << false;
        QTest::newRow("close") << true;
    }
    void stopAndCloseFreeTheStatement()
    {
        QFETCH(bool, close);
        Dataset ds;
        open(ds);
        const int first = ds.RecordCount();
        if (close)
            ds.Close();
        else
            ds.StopFill();
        QVERIFY(!ds.Fetching());
        QCOMPARE(conn.fillingDataset(), nullptr);
        if (!close) {
            QVERIFY(ds.FillStopped());
            QCOMPARE(ds.RecordCount(), first);
        }
        Dataset other;
        open(other, QStringLiteral("SELECT count(*) AS n FROM 大表"));
        QCOMPARE(other.Fields(0)->Value().toLongLong(), kRows);
    }

    void lastAndSortWaitForEveryRow()
    {
        Dataset ds;
        open(ds);
        ds.Last();
        QCOMPARE(ds.RecNo(), kRows);
        QCOMPARE(ds.Fields(0)->Value().toLongLong(), kRows);
        Dataset sorted;
        open(sorted);
        sorted.setSort(QStringLiteral("編號 DESC"));
        QCOMPARE(sorted.valueAt(0, 0).toLongLong(), kRows);
    }
};

QTEST_GUILESS_MAIN(TestDatasetFillPg)
#include "tst_dataset_fill_pg.moc"
