// A result bigger than its first slice: Open shows the first rows, the rest arrives from
// the timer, and every operation either works on the rows so far or waits for all of
// them, as Dataset.h states. Small slices stand in for a big table.
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/rowsetxml/RowsetXml.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>
#include <sqlite3.h>
#include "support/SqliteScript.h"

using namespace data;

namespace {

constexpr int kRows = 300;
const FetchBudget kFirst{10, std::chrono::milliseconds(0)};
const FetchBudget kSlice{25, std::chrono::milliseconds(0)};

// Counts the waits and stops the fill after `stopAfter` slices (never when negative).
struct ScriptedWaits {
    int made = 0;
    int slices = 0;
    int stopAfter = -1;
};

class ScriptedWait final : public Dataset::FillWait {
public:
    explicit ScriptedWait(ScriptedWaits &script) : script_(script) { ++script_.made; }
    bool progress(const Dataset &) override
    {
        ++script_.slices;
        return script_.stopAfter < 0 || script_.slices < script_.stopAfter;
    }

private:
    ScriptedWaits &script_;
};

} // namespace

class TestDatasetFill : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;
    Connection conn;
    ScriptedWaits waits;

    void exec(const char *sql)
    {
        const QString error = testsupport::sqliteScriptError(dbFile, sql);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // Opens `sql` (all rows of 大表 by default): the first slice only.
    void open(Dataset &ds, const QString &sql = QStringLiteral("SELECT * FROM 大表 ORDER BY 編號"))
    {
        ds.setConnection(&conn);
        ds.setCommandText(sql);
        ds.Open();
    }

    static void waitForFill(const Dataset &ds) { QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 60000); }

private slots:
    void initTestCase()
    {
        Dataset::setFillBudgets(kFirst, kSlice);
        Dataset::setFillWaitFactory([this](const Dataset &) { return std::make_unique<ScriptedWait>(waits); });
    }
    void cleanupTestCase()
    {
        Dataset::setFillWaitFactory(nullptr);
        Dataset::setFillBudgets({2000, std::chrono::milliseconds(50)}, {0, std::chrono::milliseconds(20)});
    }

    void init()
    {
        waits = ScriptedWaits();
        conn.Close();
        dbFile = dir.filePath(QStringLiteral("fill.db"));
        QFile::remove(dbFile);
        // 編號 1..300, 名稱 "名稱1".., 晚值 NULL until 編號 200 (an expression column, typed
        // by its first value), 內容 text except one binary value near the end.
        exec("CREATE TABLE 大表 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(20), 內容 TEXT);"
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
             "INSERT INTO 大表 SELECT i, '名稱' || i, 'text ' || i FROM n;"
             "UPDATE 大表 SET 內容 = x'00FF01' WHERE 編號 = 290;");
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    }

    void openShowsFirstSliceThenFillsInOrder()
    {
        Dataset ds;
        QSignalSpy arrived(&ds, &Dataset::rowsArrived);
        QSignalSpy ended(&ds, &Dataset::fillEnded);
        QSignalSpy reset(&ds, &Dataset::dataReset);
        open(ds, QStringLiteral("SELECT 編號, 名稱 FROM 大表 ORDER BY 編號"));
        QCOMPARE(reset.count(), 1); // opened; the fill itself never resets (no kind changes)
        QVERIFY(ds.Fetching());
        QCOMPARE(ds.RecordCount(), 10);
        QCOMPARE(ds.RecNo(), 1);
        QCOMPARE(ds.valueAt(9, 1).toString(), QStringLiteral("名稱10"));
        QCOMPARE(conn.fillingDataset(), &ds);
        waitForFill(ds);
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!ds.FillStopped());
        QCOMPARE(conn.fillingDataset(), nullptr);
        // The slices announced every new row once, in order, and the cursor stayed.
        int next = 10;
        for (const QList<QVariant> &signal : arrived) {
            QCOMPARE(signal.at(0).toInt(), next);
            next = signal.at(1).toInt() + 1;
        }
        QCOMPARE(next, kRows);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(ds.RecNo(), 1);
        for (int row = 0; row < kRows; ++row)
            QCOMPARE(ds.valueAt(row, 0).toLongLong(), row + 1);
        QCOMPARE(waits.made, 0); // nobody waited
    }

    // The column kinds a whole fetch decides, decided at the end of the fill.
    void sliceBoundariesGiveTheWholeFetchResult_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("slice");
        QTest::newRow("one row a slice") << 1 << 1;
        QTest::newRow("ten then seven") << 10 << 7;
        QTest::newRow("all at once") << 0 << 0;
    }
    void sliceBoundariesGiveTheWholeFetchResult()
    {
        QFETCH(int, first);
        QFETCH(int, slice);
        Dataset::setFillBudgets({size_t(first), {}}, {size_t(slice), {}});
        const QString sql = QStringLiteral("SELECT 編號, CASE WHEN 編號 > 200 THEN 編號 * 2 END AS 晚值, 內容, NULL AS 空 "
                                           "FROM 大表 ORDER BY 編號");
        Dataset ds;
        QSignalSpy reset(&ds, &Dataset::dataReset);
        open(ds, sql);
        waitForFill(ds);
        Dataset::setFillBudgets(kFirst, kSlice);

        const auto whole = conn.session().query(sql);
        QCOMPARE(ds.RecordCount(), int(whole->rows.rowCount()));
        QCOMPARE(ds.FieldCount(), int(whole->columns.size()));
        for (int c = 0; c < ds.FieldCount(); ++c) {
            QCOMPARE(ds.Fields(c)->DataType(), whole->columns[size_t(c)].type);
            for (int row = 0; row < ds.RecordCount(); ++row)
                QCOMPARE(ds.valueAt(row, c), whole->rows.columns[size_t(c)].value(size_t(row), whole->columns[size_t(c)].type));
        }
        QCOMPARE(ds.FieldByName(QStringLiteral("晚值"))->DataType(), ftLargeint);
        QCOMPARE(ds.FieldByName(QStringLiteral("內容"))->DataType(), ftBlob);
        QCOMPARE(ds.FieldByName(QStringLiteral("空"))->DataType(), ftWideString);
        QCOMPARE(ds.valueAt(0, 1), QVariant());
        QCOMPARE(ds.valueAt(249, 1).toLongLong(), 500);
        if (first > 0)
            QVERIFY(reset.count() >= 2); // opened, then retyped when the kinds settled
    }

    // ---- works on the rows so far ----

    void navigationAndLocateAmongArrivedRowsDoNotWait()
    {
        Dataset ds;
        open(ds);
        ds.Next();
        ds.MoveBy(5);
        QCOMPARE(ds.RecNo(), 7);
        QVERIFY(ds.Locate(QStringLiteral("名稱"), QStringLiteral("名稱4"), 0));
        QCOMPARE(ds.RecNo(), 4);
        QVERIFY(ds.Fetching());
        QCOMPARE(waits.made, 0);
        waitForFill(ds);
        QCOMPARE(ds.RecNo(), 4); // rows arriving never move the cursor
    }

    // Walking with Next reaches the end of the result, not the end of what has arrived:
    // a loop over the rows and the grid's Down at the last row (which appends at Eof)
    // depend on it.
    void nextPastTheArrivedRowsFetchesMore()
    {
        Dataset ds;
        open(ds);
        int seen = 0;
        for (ds.First(); !ds.Eof(); ds.Next())
            ++seen;
        QCOMPARE(seen, kRows);
        QCOMPARE(ds.RecNo(), kRows);
        QCOMPARE(waits.made, 0); // no wait shown: only the slices needed
    }

    void moveByAndRecNoFetchTheRowsTheyNeed_data()
    {
        QTest::addColumn<int>("distance");
        QTest::addColumn<int>("recNo");
        QTest::addColumn<bool>("fetching");
        QTest::newRow("within the next slice") << 20 << 21 << true;
        QTest::newRow("past the end") << 100000 << kRows << false;
        QTest::newRow("largest distance") << INT_MAX << kRows << false;
    }
    void moveByAndRecNoFetchTheRowsTheyNeed()
    {
        QFETCH(int, distance);
        QFETCH(int, recNo);
        QFETCH(bool, fetching);
        Dataset ds;
        open(ds);
        ds.MoveBy(distance);
        QCOMPARE(ds.RecNo(), recNo);
        QCOMPARE(ds.Fetching(), fetching);
        QCOMPARE(ds.Eof(), !fetching);
        Dataset other;
        open(other, QStringLiteral("SELECT 編號 FROM 大表 WHERE 編號 > 0 ORDER BY 編號"));
        other.setRecNo(recNo);
        QCOMPARE(other.Fields(0)->Value().toLongLong(), recNo);
    }

    void commandQueryReadsItsRowsWhole()
    {
        CommandQuery q;
        q.setConnection(&conn);
        q.SQL() << QStringLiteral("SELECT 編號 FROM 大表");
        q.Open();
        QVERIFY(!q.Fetching());
        QCOMPARE(q.RecordCount(), kRows);
        QCOMPARE(conn.fillingDataset(), nullptr);
    }

    void stopKeepsArrivedRowsAndCompletes()
    {
        Dataset ds;
        open(ds);
        QSignalSpy ended(&ds, &Dataset::fillEnded);
        ds.StopFill();
        QVERIFY(!ds.Fetching());
        QVERIFY(ds.FillStopped());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ds.RecordCount(), 10);
        QCOMPARE(conn.fillingDataset(), nullptr);
        ds.Last();
        QCOMPARE(ds.RecNo(), 10);
        ds.RequireAllRows(); // complete now: nothing to wait for
        QTest::qWait(0);
        QCOMPARE(ds.RecordCount(), 10);
        QCOMPARE(conn.session().query(QStringLiteral("SELECT count(*) FROM 大表"))->rows.columns[0].intAt(0), kRows);
    }

    // A value the database cannot produce past the first slice (malformed JSON from row
    // 101 on): the fill ends there, keeps the rows before it, says why and counts as cut
    // short; a wait for all rows reports the error instead of going on with a part.
    void failureMidResultKeepsTheRowsBefore()
    {
        const QString sql = QStringLiteral("SELECT 編號, CASE WHEN 編號 > 100 THEN json('{bad') ELSE '{}' END AS j "
                                           "FROM 大表 ORDER BY 編號");
        Dataset ds;
        QSignalSpy failed(&ds, &Dataset::fillFailed);
        open(ds, sql);
        waitForFill(ds);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toString(), QStringLiteral("malformed JSON"));
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 100);
        QCOMPARE(conn.fillingDataset(), nullptr);

        Dataset waiting;
        open(waiting, sql);
        try {
            waiting.RequireAllRows();
            QFAIL("no error");
        } catch (const FetchStopped &) {
            QFAIL("reported as stopped");
        } catch (const DatabaseError &e) {
            QCOMPARE(e.message(), QStringLiteral("malformed JSON"));
        }
        QVERIFY(!waiting.Fetching());
        QCOMPARE(waiting.RecordCount(), 100);
    }

    // ---- waits for all rows ----

    void lastWaitsForTheLastRow()
    {
        Dataset ds;
        open(ds);
        ds.Last();
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecNo(), kRows);
        QCOMPARE(ds.Fields(0)->Value().toLongLong(), kRows);
        QCOMPARE(waits.made, 1);
        QVERIFY(waits.slices > 0);
    }

    void locateBeyondArrivedRowsWaits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("recNo");
        QTest::newRow("in the last rows") << QStringLiteral("名稱299") << true << 299;
        QTest::newRow("nowhere") << QStringLiteral("名稱0") << false << 1;
    }
    void locateBeyondArrivedRowsWaits()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(int, recNo);
        Dataset ds;
        open(ds);
        QCOMPARE(ds.Locate(QStringLiteral("名稱"), name, 0), found);
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ds.RecNo(), recNo);
    }

    void sortWaitsAndOrdersEveryRow()
    {
        Dataset ds;
        open(ds);
        ds.setSort(QStringLiteral("編號 DESC"));
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ds.valueAt(0, 0).toLongLong(), kRows);
        QCOMPARE(ds.valueAt(kRows - 1, 0).toLongLong(), 1);
        QCOMPARE(ds.Fields(0)->Value().toLongLong(), 1); // the current row stayed
    }

    void saveToFileWritesEveryRow()
    {
        Dataset ds;
        open(ds);
        const QString file = dir.filePath(QStringLiteral("all.xml"));
        ds.SaveToFile(file);
        QVERIFY(!ds.Fetching());
        QCOMPARE(int(rowsetxml::load(file).rows.rowCount()), kRows);
    }

    void stoppedWaitAbandonsTheExport()
    {
        waits.stopAfter = 2;
        Dataset ds;
        open(ds);
        const QString file = dir.filePath(QStringLiteral("cut.xml"));
        QVERIFY_THROWS_EXCEPTION(FetchStopped, ds.SaveToFile(file));
        QVERIFY(!QFile::exists(file));
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 10 + 2 * 25);
        // Others that waited go on with the rows kept.
        ds.Last();
        QCOMPARE(ds.RecNo(), 60);
    }

    void appendWaitsSoTheNewRowComesLast()
    {
        Dataset ds;
        open(ds, QStringLiteral("SELECT 編號, 名稱 FROM 大表 ORDER BY 編號"));
        ds.Append();
        QVERIFY(!ds.Fetching());
        ds.FieldByName(QStringLiteral("名稱"))->setValue(QStringLiteral("新的"));
        ds.Post();
        QCOMPARE(ds.RecordCount(), kRows + 1);
        QCOMPARE(ds.valueAt(kRows, 1).toString(), QStringLiteral("新的"));
    }

    void postDuringTheFillWaitsThenWrites()
    {
        Dataset ds;
        open(ds);
        ds.Next();
        ds.FieldByName(QStringLiteral("名稱"))->setValue(QStringLiteral("改過"));
        QVERIFY(ds.Fetching());
        ds.Post();
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ds.RecNo(), 2);
        QCOMPARE(conn.session().query(QStringLiteral("SELECT 名稱 FROM 大表 WHERE 編號 = 2"))->rows.columns[0].value(0, ftWideString).toString(),
                 QStringLiteral("改過"));
    }

    void anotherCommandOnTheConnectionFinishesTheFillFirst()
    {
        Dataset ds;
        open(ds);
        const long long changed = conn.session().execute(QStringLiteral("DELETE FROM 大表 WHERE 編號 > 100"));
        QCOMPARE(changed, 200LL);
        // The rows were all read before the delete ran.
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(ds.valueAt(kRows - 1, 0).toLongLong(), kRows);
    }

    void secondDatasetOnTheConnectionWaitsForTheFirst()
    {
        Dataset first, second;
        open(first);
        open(second, QStringLiteral("SELECT 編號 FROM 大表 WHERE 編號 > 290"));
        QVERIFY(!first.Fetching());
        QCOMPARE(first.RecordCount(), kRows);
        QCOMPARE(second.RecordCount(), 10);
    }

    void closeDuringTheFillDropsTheRest()
    {
        Dataset ds;
        open(ds);
        QSignalSpy arrived(&ds, &Dataset::rowsArrived);
        ds.Close();
        QVERIFY(!ds.Fetching());
        QVERIFY(!ds.FillStopped());
        QCOMPARE(conn.fillingDataset(), nullptr);
        QTest::qWait(0);
        QCOMPARE(arrived.count(), 0);
        // The statement is gone: the table can change and the dataset opens afresh.
        conn.session().execute(QStringLiteral("DELETE FROM 大表 WHERE 編號 > 5"));
        open(ds);
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), 5);
    }

    void closingTheConnectionStopsTheFill()
    {
        Dataset ds;
        open(ds);
        conn.Close();
        QVERIFY(!conn.Connected());
        QVERIFY(ds.Active());
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 10);
        QCOMPARE(ds.valueAt(9, 0).toLongLong(), 10);
    }

    void destroyingTheConnectionStopsTheFill()
    {
        auto other = std::make_unique<Connection>();
        other->setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        Dataset ds;
        ds.setConnection(other.get());
        ds.setCommandText(QStringLiteral("SELECT 編號 FROM 大表"));
        ds.Open();
        QVERIFY(ds.Fetching());
        other.reset();
        QVERIFY(!ds.Fetching());
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 10);
        QTest::qWait(0); // no slice runs on the closed session
        QCOMPARE(ds.RecordCount(), 10);
        ds.setConnection(nullptr);
    }

    void destroyingTheDatasetFreesTheConnection()
    {
        {
            Dataset ds;
            open(ds);
            QVERIFY(ds.Fetching());
        }
        QCOMPARE(conn.fillingDataset(), nullptr);
        QCOMPARE(conn.session().execute(QStringLiteral("DELETE FROM 大表")), qint64(kRows));
    }

    // A batch whose result is followed by more statements runs them now: nothing stays
    // pending, and the statement after the select has run.
    void resultFollowedByMoreStatementsIsFetchedWhole()
    {
        Dataset ds;
        open(ds, QStringLiteral("SELECT * FROM 大表; DELETE FROM 大表 WHERE 編號 = 1"));
        QVERIFY(!ds.Fetching());
        QCOMPARE(ds.RecordCount(), kRows);
        QCOMPARE(conn.session().query(QStringLiteral("SELECT count(*) FROM 大表"))->rows.columns[0].intAt(0), kRows - 1);
    }

    void readOnlyResultsFillAlike()
    {
        Dataset ds;
        open(ds, QStringLiteral("SELECT 編號 * 10 AS 十倍 FROM 大表 ORDER BY 編號"));
        QVERIFY(ds.Fetching());
        QVERIFY(!ds.CanModify());
        waitForFill(ds);
        QCOMPARE(ds.valueAt(kRows - 1, 0).toLongLong(), kRows * 10);
    }
};

QTEST_GUILESS_MAIN(TestDatasetFill)
#include "tst_dataset_fill.moc"
