// Stopping a long command on SQLite, PostgreSQL (ODBC) and SQL Server through FreeTDS
// (the scripted TDS peer, which answers the attention the cancel sends): a statement, the
// open of a dataset whose rows are slow to come, and the post of an edit each end with
// CommandStopped once the wait asks to stop; the stopped post changes nothing and keeps
// the edit; the connection answers the next statement. Short calls never reach the wait.
#include "data/core/CommandWait.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/PgServer.h"
#include "support/SlowSqlite.h"
#include "support/SqlServerPeerSetup.h"
#include "support/SqliteScript.h"
#include "support/TdsPeer.h"
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

using namespace data;

namespace {

// Asks to stop as soon as the program would show the wait, then waits for the end. The
// patience leaves room for the quick steps before a stop on a busy machine.
class StopWhenWaiting final : public CommandWait {
public:
    int waits = 0;
    std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(150); }
    void wait(RunningCall &call) override
    {
        ++waits;
        call.stop();
        while (!call.finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::unique_ptr<InlineWait> waitHere() override
    {
        struct StopAtOnce final : InlineWait {
            bool stopRequested() override { return true; }
        };
        ++waits;
        return std::make_unique<StopAtOnce>();
    }
};

// What each provider runs; every long text runs far longer than any test.
struct Workload {
    QString statement; // executed
    QString slowRows;  // opened in a dataset: its first row never comes in time
    QString table;     // id (key) and v, one row (1, 'a'); an update of it is slow
    QString quickRow;  // one row, at once
};

const Workload sqliteWork{
    QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c"),
    QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                   "SELECT x FROM c WHERE x % 1000000000000 = 0"),
    QStringLiteral("t"),
    QStringLiteral("SELECT 42"),
};

const Workload postgresWork{
    QStringLiteral("SELECT pg_sleep(3600)"),
    QStringLiteral("SELECT 1 AS x FROM pg_sleep(3600)"),
    QStringLiteral("t"),
    QStringLiteral("SELECT 42"),
};

const Workload tdsWork{
    QStringLiteral("WAITFOR DELAY '01:00:00'"),
    QStringLiteral("Select * From 慢表"),
    QStringLiteral("t"),
    QStringLiteral("Select 42"),
};

tds::Column tdsColumn(const QString &name, tds::ColumnType type, bool nullable = true)
{
    tds::Column c;
    c.name = name;
    c.type = type;
    c.size = 20;
    c.nullable = nullable;
    return c;
}

// Slice budgets for one test; the usual ones come back afterwards.
class FillBudgets {
public:
    FillBudgets(FetchBudget first, FetchBudget later)
        : first_(Dataset::firstSliceBudget()), later_(Dataset::sliceBudget())
    {
        Dataset::setFillBudgets(first, later);
    }
    ~FillBudgets() { Dataset::setFillBudgets(first_, later_); }

private:
    FetchBudget first_, later_;
};

// Another wait on the connection for one test.
class OtherWait {
public:
    OtherWait(Connection &conn, CommandWait &other, CommandWait &usual) : conn_(conn), usual_(usual)
    {
        conn_.setCommandWait(&other);
    }
    ~OtherWait() { conn_.setCommandWait(&usual_); }

private:
    Connection &conn_;
    CommandWait &usual_;
};

void expectStopped(const std::function<void()> &command)
{
    try {
        command();
    } catch (const CommandStopped &e) {
        QCOMPARE(e.message(), QStringLiteral("命令已停止。"));
        return;
    } catch (const DatabaseError &e) {
        QFAIL(qPrintable(QStringLiteral("not reported as stopped: ") + e.message()));
    }
    QFAIL("the command was not stopped");
}

} // namespace

class TestCommandStop : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    tds::TdsPeer peer;
    Connection conn;
    StopWhenWaiting wait;
    // For the steps around the one a test stops, which may also take a while on a busy
    // machine. It counts the calls that were long enough to show the wait.
    struct JustWait final : CommandWait {
        int waits = 0;
        std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(2000); }
        void wait(RunningCall &call) override
        {
            ++waits;
            while (!call.finished())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } justWait;

    // Connects conn to the provider with its table (1, 'a'); nullptr when PostgreSQL is
    // missing (the test has been skipped or failed).
    const Workload *connect(const QString &provider)
    {
        conn.Close();
        if (provider == QLatin1String("sqlite")) {
            const QString file = dir.filePath(QStringLiteral("stop.db"));
            QFile::remove(file);
            const QString failure = testsupport::sqliteScriptError(
                file, (QByteArray(testsupport::kSlowSqliteBigTable) + testsupport::kSlowSqliteUpdateTable).constData());
            if (!failure.isEmpty())
                qWarning() << failure;
            conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
            openWithoutStopping();
            return &sqliteWork;
        }
        if (provider == QLatin1String("postgres")) {
            testsupport::PgServer *pg = testsupport::PgServer::shared();
            if (!pg)
                return nullptr;
            pg->exec(QStringLiteral(
                "DROP TABLE IF EXISTS t; CREATE TABLE t (id int PRIMARY KEY, v text); INSERT INTO t VALUES (1, 'a');"
                "CREATE OR REPLACE FUNCTION slow() RETURNS trigger AS $$ BEGIN PERFORM pg_sleep(3600); RETURN NEW; END $$ "
                "LANGUAGE plpgsql;"
                "CREATE TRIGGER slow BEFORE UPDATE ON t FOR EACH ROW EXECUTE FUNCTION slow();"));
            conn.setConnectionString(pg->adoConnectionString());
            openWithoutStopping();
            return &postgresWork;
        }
        peer.clearScript();
        peer.onQuery(tdsWork.statement, tds::Reply::hang());
        peer.onQuery(tdsWork.slowRows, tds::Reply::hang());
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE ")), tds::Reply::hang());
        peer.onQuery(QStringLiteral("Select * From [t]"),
                     tds::Reply::rows({tdsColumn(QStringLiteral("id"), tds::ColumnType::Int, false),
                                       tdsColumn(QStringLiteral("v"), tds::ColumnType::NVarChar)},
                                      {{1, QStringLiteral("a")}}));
        peer.onProcedure(QStringLiteral("sp_pkeys"),
                         tds::Reply::rows({tdsColumn(QStringLiteral("TABLE_QUALIFIER"), tds::ColumnType::NVarChar),
                                           tdsColumn(QStringLiteral("TABLE_OWNER"), tds::ColumnType::NVarChar),
                                           tdsColumn(QStringLiteral("TABLE_NAME"), tds::ColumnType::NVarChar),
                                           tdsColumn(QStringLiteral("COLUMN_NAME"), tds::ColumnType::NVarChar),
                                           tdsColumn(QStringLiteral("KEY_SEQ"), tds::ColumnType::Int),
                                           tdsColumn(QStringLiteral("PK_NAME"), tds::ColumnType::NVarChar)},
                                          {{"Sales", "dbo", "t", "id", 1, "PK_t"}}));
        peer.onQuery(tdsWork.quickRow, tds::Reply::rows({tdsColumn(QStringLiteral("n"), tds::ColumnType::Int)}, {{42}}));
        conn.setConnectionString(testsupport::saConnectionString(peer, QStringLiteral("Sales")));
        openWithoutStopping();
        peer.clearReceived();
        return &tdsWork;
    }

    // A login waits like any long call; it is not what these tests stop.
    void openWithoutStopping()
    {
        const OtherWait other(conn, justWait, wait);
        conn.Open();
    }

    // The connection works after the stop, and a quick call does not show the wait.
    void expectUsable(const Workload &work)
    {
        const OtherWait other(conn, justWait, wait);
        const int waitsBefore = justWait.waits;
        auto one = conn.session().query(work.quickRow);
        QCOMPARE(one->rows.columns.at(0).value(0, one->columns.at(0).type).toLongLong(), 42LL);
        QCOMPARE(justWait.waits, waitsBefore);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(testsupport::startWithSaLogin(peer));
        conn.setCommandWait(&wait);
    }
    void cleanupTestCase()
    {
        conn.Close();
        peer.stop();
        testsupport::PgServer::shutdownShared();
    }

    void stops_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("kind");
        for (const char *provider : {"sqlite", "postgres", "tds"})
            for (const char *kind : {"statement", "fetch", "post"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(provider), QLatin1String(kind))))
                    << QString::fromLatin1(provider) << QString::fromLatin1(kind);
    }

    void stops()
    {
        QFETCH(QString, provider);
        QFETCH(QString, kind);
        if (provider == QLatin1String("postgres")) {
            REQUIRE_PG_SERVER(pg);
        }
        const Workload *work = connect(provider);
        QVERIFY(work);
        const int attentionsBefore = peer.attentions();
        wait.waits = 0;

        if (kind == QLatin1String("statement")) {
            expectStopped([&] { conn.session().execute(work->statement); });
        } else if (kind == QLatin1String("fetch")) {
            Dataset ds;
            ds.setConnection(&conn);
            ds.setCommandText(work->slowRows);
            expectStopped([&] { ds.Open(); });
            QVERIFY(!ds.Active());
        } else {
            Dataset ds;
            ds.setConnection(&conn);
            ds.setCommandText(QStringLiteral("Select * From ") + conn.session().quoteIdentifier(work->table));
            {
                const OtherWait other(conn, justWait, wait);
                ds.Open();
                ds.FetchAll();
            }
            ds.Edit();
            ds.FieldByName(QStringLiteral("v"))->setAsString(QStringLiteral("b"));
            expectStopped([&] { ds.Post(); });
            // The edit stays for the person to change or cancel.
            QCOMPARE(ds.State(), dsEdit);
            QCOMPARE(ds.FieldByName(QStringLiteral("v"))->AsString(), QStringLiteral("b"));
            ds.Cancel();
            QCOMPARE(ds.FieldByName(QStringLiteral("v"))->AsString(), QStringLiteral("a"));
            if (provider == QLatin1String("tds")) {
                QStringList transactions;
                for (const tds::Request &r : peer.received())
                    if (r.kind == tds::Request::Transaction)
                        transactions << r.text;
                QCOMPARE(transactions.last(), QStringLiteral("ROLLBACK"));
            } else {
                const OtherWait other(conn, justWait, wait);
                auto stored = conn.session().query(QStringLiteral("SELECT v FROM t WHERE id = 1"));
                QCOMPARE(stored->rows.columns.at(0).value(0, stored->columns.at(0).type).toString(),
                         QStringLiteral("a"));
            }
        }
        QCOMPARE(wait.waits, 1);
        if (provider == QLatin1String("tds"))
            QCOMPARE(peer.attentions(), attentionsBefore + 1);
        expectUsable(*work);
    }

    // A server that stops sending part-way through a big result: the background fill
    // waits for it through the connection's wait, whose stop cancels the statement (an
    // attention), keeps the rows that came, ends the fill as stopped and frees the
    // connection. The window stays with the rows meanwhile (the fill runs from its timer).
    void stalledFillStops()
    {
        connect(QStringLiteral("tds"));
        // Rows come in blocks of 256 (a block waits for all its rows): two whole blocks,
        // then a part of one that never fills up.
        constexpr int kSent = 600;
        QList<QVariantList> rows;
        for (int i = 1; i <= kSent; ++i)
            rows.append(QVariantList{i});
        peer.onQuery(QStringLiteral("Select * From 停滯表"),
                     tds::Reply::rowsThenHang({tdsColumn(QStringLiteral("id"), tds::ColumnType::Int, false)}, rows));
        const FillBudgets budgets({10, {}}, {10, {}});
        const int attentionsBefore = peer.attentions();
        wait.waits = 0;
        QString failure;
        Dataset ds;
        QObject::connect(&ds, &Dataset::fillFailed, [&](const QString &message) { failure = message; });
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 停滯表"));
        ds.Open();
        QVERIFY(ds.Fetching());
        QCOMPARE(wait.waits, 0); // the first rows were there at once
        QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 30000);
        QCOMPARE(wait.waits, 1);
        QVERIFY(ds.FillStopped());
        QVERIFY(ds.RecordCount() >= 512 && ds.RecordCount() <= kSent); // all whole blocks
        QCOMPARE(ds.valueAt(511, 0).toInt(), 512);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(peer.attentions(), attentionsBefore + 1);
        expectUsable(tdsWork);
    }

    // A stop pressed just as a call returns is not kept for later: the fill of its result
    // and the next command run as usual.
    void stopAfterTheEndIsForgotten()
    {
        connect(QStringLiteral("sqlite"));
        struct LateStop final : CommandWait {
            int waits = 0;
            std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(0); }
            void wait(RunningCall &call) override
            {
                ++waits;
                while (!call.finished())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                call.stop();
            }
        } late;
        const OtherWait lateWait(conn, late, wait);
        const FillBudgets budgets({10, {}}, {10, {}});
        QString failure;
        Dataset ds;
        QObject::connect(&ds, &Dataset::fillFailed, [&](const QString &message) { failure = message; });
        ds.setConnection(&conn);
        // The first row waits for a count of a million pairs: long enough to be waited for.
        ds.setCommandText(QStringLiteral("SELECT x FROM big WHERE (SELECT count(*) FROM big a, big b) > 0"));
        ds.Open();
        QCOMPARE(late.waits, 1);
        QVERIFY(ds.Fetching());
        QVERIFY(ds.FetchAll());
        QCOMPARE(ds.RecordCount(), 1000);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        auto one = conn.session().query(sqliteWork.quickRow);
        QCOMPARE(one->rows.columns.at(0).value(0, one->columns.at(0).type).toLongLong(), 42LL);
    }

    // A wait that gives up (the window's event handling threw) stops the call before the
    // exception goes on; the connection works afterwards.
    void waitThatThrowsStopsTheCall()
    {
        connect(QStringLiteral("sqlite"));
        struct Throws final : CommandWait {
            std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(20); }
            void wait(RunningCall &) override { throw std::runtime_error("the window went away"); }
        } throws;
        {
            const OtherWait throwingWait(conn, throws, wait);
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, conn.session().execute(sqliteWork.statement));
        }
        expectUsable(sqliteWork);
    }

    // The same on SQLite, whose rows are stepped on the window's thread: rows that stop
    // coming part-way are waited for there, and the stop interrupts the step.
    void stalledSqliteFillStops()
    {
        connect(QStringLiteral("sqlite"));
        const FillBudgets budgets({5, {}}, {0, std::chrono::milliseconds(20)});
        wait.waits = 0;
        QString failure;
        Dataset ds;
        QObject::connect(&ds, &Dataset::fillFailed, [&](const QString &message) { failure = message; });
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                         "SELECT x FROM c WHERE x <= 7 OR x % 1000000000000 = 0"));
        ds.Open();
        QVERIFY(ds.Fetching());
        QCOMPARE(wait.waits, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 30000);
        QCOMPARE(wait.waits, 1);
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 7);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        expectUsable(sqliteWork);
    }

    // The fill's own stop pressed while a slice waits for SQLite's next row (its button
    // sits under the wait's): the slice's source is not pulled away under it; the fill
    // ends once the slice returns.
    void fillStopDuringTheSliceWaitsForIt()
    {
        connect(QStringLiteral("sqlite"));
        const FillBudgets budgets({5, {}}, {0, std::chrono::milliseconds(20)});
        Dataset ds;
        struct FillStopThenStop final : CommandWait {
            Dataset *dataset = nullptr;
            int checks = 0;
            std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(20); }
            void wait(RunningCall &call) override
            {
                while (!call.finished())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::unique_ptr<InlineWait> waitHere() override
            {
                struct Checks final : InlineWait {
                    FillStopThenStop &owner;
                    explicit Checks(FillStopThenStop &o) : owner(o) {}
                    bool stopRequested() override
                    {
                        if (++owner.checks == 1)
                            owner.dataset->StopFill(); // the fill's button
                        return owner.checks > 1;     // then the wait's
                    }
                };
                return std::make_unique<Checks>(*this);
            }
        } both;
        both.dataset = &ds;
        const OtherWait otherWait(conn, both, wait);
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                         "SELECT x FROM c WHERE x <= 7 OR x % 1000000000000 = 0"));
        ds.Open();
        QTRY_VERIFY_WITH_TIMEOUT(!ds.Fetching(), 30000);
        QVERIFY(both.checks >= 2);
        QVERIFY(ds.FillStopped());
        QCOMPARE(ds.RecordCount(), 7);
        expectUsable(sqliteWork);
    }

    // A stopped script keeps what its finished statements did and runs none after.
    void stoppedScriptKeepsWhatFinished()
    {
        connect(QStringLiteral("sqlite"));
        {
            const OtherWait other(conn, justWait, wait);
            conn.session().execute(QStringLiteral("CREATE TABLE after (x)"));
        }
        expectStopped([&] {
            conn.session().execute(QStringLiteral("INSERT INTO after VALUES (1); ") + sqliteWork.statement +
                                   QStringLiteral("; INSERT INTO after VALUES (2)"));
        });
        const OtherWait other(conn, justWait, wait);
        auto rows = conn.session().query(QStringLiteral("SELECT group_concat(x) FROM after"));
        // Each statement is whole: the first ran before the stop, the last never.
        QCOMPARE(rows->rows.columns.at(0).value(0, rows->columns.at(0).type).toString(), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestCommandStop)
#include "tst_command_stop.moc"
