// Faults of the database under the connection, on real components where they can run
// (SQLite files held by a second process, a PostgreSQL server stopped and started again)
// and through the scripted TDS peer for SQL Server: a login that never ends, a link
// that dies, a transaction request that stalls, a locked file. Each case checks the
// message, a generous bound on the wait and the connection's state afterwards.
#include "data/core/CommandWait.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "data/odbc/OdbcSession.h"
#include "support/PgServer.h"
#include "support/SqliteLockHolder.h"
#include "support/SqliteScript.h"
#include "support/TdsPeer.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

namespace {

// Waits as the window would, and stops the call `after` into the wait (never when
// negative).
class StopAfter final : public data::CommandWait {
public:
    explicit StopAfter(int afterMs) : afterMs_(afterMs) {}
    void wait(data::RunningCall &call) override
    {
        ++waits;
        QElapsedTimer shown;
        shown.start();
        bool stopped = false;
        while (!call.finished()) {
            if (!stopped && afterMs_ >= 0 && shown.elapsed() >= afterMs_) {
                call.stop();
                stopped = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    int waits = 0;

private:
    int afterMs_;
};

const QString kLostText = QStringLiteral("與資料庫的連線已中斷");

struct Caught {
    QString message;
    QString kind; // "lost", "stopped", "error", "" for none
    qint64 ms = 0;
};

Caught attempt(const std::function<void()> &work)
{
    Caught c;
    QElapsedTimer t;
    t.start();
    try {
        work();
    } catch (const data::ConnectionLost &e) {
        c = {e.message(), QStringLiteral("lost"), 0};
    } catch (const data::CommandStopped &e) {
        c = {e.message(), QStringLiteral("stopped"), 0};
    } catch (const data::DatabaseError &e) {
        c = {e.message(), QStringLiteral("error"), 0};
    }
    c.ms = t.elapsed();
    // The measured waits, for the record.
    qInfo("%s(%s): %lld ms, %s", QTest::currentTestFunction(), QTest::currentDataTag(), c.ms,
          qPrintable(c.message.left(60).replace(QLatin1Char('\n'), QLatin1Char('|'))));
    return c;
}

} // namespace

class TestConnectionFaults : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString sqliteFile(const QString &name)
    {
        const QString file = dir.filePath(name);
        QFile::remove(file);
        const QString failure = testsupport::sqliteScriptError(
            file, "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1, 'a');");
        return failure.isEmpty() ? file : QString();
    }

private slots:
    // The provider's default Connect Timeout reaches the driver's login timeout when
    // the profile names none; a profile's own value wins.
    void loginTimeoutDefaultsToTheProviders_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<int>("expected");
        QTest::newRow("none in the profile") << QString() << 15;
        QTest::newRow("profile's own") << QStringLiteral(";Connect Timeout=4") << 4;
    }
    void loginTimeoutDefaultsToTheProviders()
    {
        QFETCH(QString, extra);
        QFETCH(int, expected);
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        auto session = data::openSqlServerSession(
            data::ConnectionString(peer.connectionString(QStringLiteral("master"), QStringLiteral("sa"), QStringLiteral("x")) + extra));
        auto *odbc = dynamic_cast<data::OdbcSession *>(session.get());
        QVERIFY(odbc);
        SQLUINTEGER seconds = 0;
        QVERIFY(SQL_SUCCEEDED(SQLGetConnectAttr(odbc->connectionHandle(), SQL_ATTR_LOGIN_TIMEOUT, &seconds, 0, nullptr)));
        QCOMPARE(int(seconds), expected);
    }

    // A server that takes the connection and never answers the login: the attempt
    // ends within its timeout, or at once when stopped; either way the connection
    // stays closed and the next login, once the server answers, goes through.
    void stalledLogin_data()
    {
        QTest::addColumn<int>("stopAfterMs");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("timeout (2 s)") << -1 << QStringLiteral("error") << 10000;
        QTest::newRow("stopped") << 300 << QStringLiteral("stopped") << 2500;
    }
    void stalledLogin()
    {
        QFETCH(int, stopAfterMs);
        QFETCH(QString, kind);
        QFETCH(int, boundMs);
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.setStallLogin(true);
        StopAfter wait(stopAfterMs);
        data::Connection connection;
        connection.setCommandWait(&wait);
        connection.setConnectionString(peer.connectionString(QStringLiteral("master"), QStringLiteral("sa"), QStringLiteral("x")) +
                                       QStringLiteral(";Connect Timeout=2"));
        const Caught caught = attempt([&] { connection.Open(); });
        QCOMPARE(caught.kind, kind);
        QVERIFY2(caught.ms < boundMs, qPrintable(QString::number(caught.ms)));
        QCOMPARE(wait.waits, 1);
        QVERIFY(!connection.Connected());
        if (kind == QLatin1String("stopped"))
            QCOMPARE(caught.message, QStringLiteral("已停止連接資料庫。"));

        peer.setStallLogin(false);
        connection.Open();
        QVERIFY(connection.Connected());
    }

    // The link dies under an open connection: the next command fails once, saying so
    // with the driver's text; the connection reads as closed (and closes); the command
    // after that connects again.
    void lostLink_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("SQL Server dropped the link") << QStringLiteral("tds drop");
        QTest::newRow("SQL Server restarted on its port") << QStringLiteral("tds restart");
        QTest::newRow("PostgreSQL restarted") << QStringLiteral("pg restart");
        QTest::newRow("SQLite file replaced") << QStringLiteral("sqlite replaced");
    }
    void lostLink()
    {
        QFETCH(QString, fault);
        tds::TdsPeer peer;
        std::unique_ptr<testsupport::PgServer> pg;
        QString connectionString;
        // Each change writes a new value: SQLite skips a write that changes nothing.
        auto change = [](const char *value) { return QStringLiteral("UPDATE t SET v = '%1' WHERE id = 1").arg(QLatin1String(value)); };
        std::function<void()> breakIt, mendIt = [] {};
        if (fault.startsWith(QLatin1String("tds"))) {
            QVERIFY(peer.start());
            peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE t")), tds::Reply::count(1));
            connectionString = peer.connectionString(QStringLiteral("master"), QStringLiteral("sa"), QStringLiteral("x"));
            if (fault == QLatin1String("tds drop")) {
                breakIt = [&] { peer.dropConnections(); };
            } else {
                breakIt = [&] { peer.stop(); };
                mendIt = [&] { QVERIFY(peer.start(peer.address(), peer.port())); };
            }
        } else if (fault.startsWith(QLatin1String("pg"))) {
            if (!testsupport::PgServer::binariesAvailable())
                QSKIP("PostgreSQL is not installed");
            pg = std::make_unique<testsupport::PgServer>();
            QVERIFY2(pg->isRunning(), qPrintable(pg->errorText()));
            QVERIFY(pg->exec(QStringLiteral("CREATE TABLE t (id int primary key, v text); INSERT INTO t VALUES (1, 'a')")));
            connectionString = pg->adoConnectionString();
            breakIt = [&] { QVERIFY(pg->stopKeepingData()); };
            mendIt = [&] { QVERIFY2(pg->startAgain(), qPrintable(pg->errorText())); };
        } else {
            const QString file = sqliteFile(QStringLiteral("moved.db"));
            QVERIFY(!file.isEmpty());
            connectionString = QStringLiteral("Provider=SQLite.1;Data Source=") + file;
            breakIt = [&, file] {
                // Another program writes a new file and renames it over the old one.
                const QString fresh = file + QStringLiteral(".new");
                QVERIFY(testsupport::sqliteScriptError(
                            fresh, "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT); INSERT INTO t VALUES (1, 'a');")
                            .isEmpty());
                QVERIFY(::rename(fresh.toUtf8().constData(), file.toUtf8().constData()) == 0);
            };
        }
        data::Connection connection;
        int connects = 0, disconnects = 0;
        connect(&connection, &data::Connection::AfterConnect, this, [&] { ++connects; });
        connect(&connection, &data::Connection::AfterDisconnect, this, [&] { ++disconnects; });
        connection.setConnectionString(connectionString);
        QCOMPARE(connection.session().execute(change("b")), 1LL);
        breakIt();

        const Caught caught = attempt([&] { connection.session().execute(change("c")); });
        QCOMPARE(caught.kind, QStringLiteral("lost"));
        QVERIFY2(caught.message.startsWith(kLostText) && caught.message.count('\n') >= 1, qPrintable(caught.message));
        QVERIFY2(caught.ms < 20000, qPrintable(QString::number(caught.ms)));
        QVERIFY(!connection.Connected());
        QTRY_COMPARE(disconnects, 1); // closed once the failing command has unwound
        QCOMPARE(connects, 1);

        mendIt();
        QCOMPARE(connection.session().execute(change("d")), 1LL); // the next command connects again
        QVERIFY(connection.Connected());
        QCOMPARE(connects, 2);
        QCOMPARE(disconnects, 1);
    }

    // A transaction request the server never answers: the wait shows it, a stop gives
    // it up at once (and the session with it: its transaction's fate is the server's),
    // and without a stop the driver's timeout ends it. The next command connects again.
    void stalledTransactionRequest_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("stopAfterMs");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("begin, stopped") << QStringLiteral("BEGIN TRANSACTION") << 300 << QStringLiteral("開始交易") << 3000;
        QTest::newRow("commit, stopped") << QStringLiteral("COMMIT") << 300 << QStringLiteral("無法確定") << 3000;
        QTest::newRow("commit, timeout (2 s)") << QStringLiteral("COMMIT") << -1 << QStringLiteral("Timeout") << 12000;
    }
    void stalledTransactionRequest()
    {
        QFETCH(QString, request);
        QFETCH(int, stopAfterMs);
        QFETCH(QString, says);
        QFETCH(int, boundMs);
        tds::TdsPeer peer;
        QVERIFY(peer.start());
        peer.onQuery(QRegularExpression(QStringLiteral("^UPDATE t")), tds::Reply::count(1));
        StopAfter wait(stopAfterMs);
        data::Connection connection;
        connection.setCommandWait(&wait);
        connection.setConnectionString(peer.connectionString(QStringLiteral("master"), QStringLiteral("sa"), QStringLiteral("x")) +
                                       QStringLiteral(";Connect Timeout=2"));
        connection.Open();
        peer.setStallTransaction(request);
        const Caught caught = attempt([&] {
            data::ProviderSession &session = connection.session();
            session.beginTransaction();
            session.execute(QStringLiteral("UPDATE t SET v = 'b' WHERE id = 1"));
            session.commit();
        });
        QCOMPARE(caught.kind, QStringLiteral("lost"));
        QVERIFY2(caught.message.contains(says), qPrintable(caught.message));
        QVERIFY2(caught.ms < boundMs, qPrintable(QString::number(caught.ms)));
        QCOMPARE(wait.waits, 1);
        QVERIFY(!connection.Connected());

        peer.setStallTransaction(QString());
        QCOMPARE(connection.session().execute(QStringLiteral("UPDATE t SET v = 'c' WHERE id = 1")), 1LL);
    }

    // A SQLite file another program holds locked: the wait for the lock is part of the
    // stoppable wait (a stop ends it at once), and a wait that runs out names the lock
    // in Chinese beside SQLite's own text. The file is usable once the lock goes.
    void lockedSqliteFile_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("stopAfterMs");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("change, stopped") << QStringLiteral("change") << 500 << QStringLiteral("stopped") << 4000;
        QTest::newRow("change, wait ran out") << QStringLiteral("change") << -1 << QStringLiteral("error") << 8000;
        QTest::newRow("open, stopped") << QStringLiteral("open") << 500 << QStringLiteral("stopped") << 4000;
        QTest::newRow("open, wait ran out") << QStringLiteral("open") << -1 << QStringLiteral("error") << 8000;
        QTest::newRow("commit, stopped") << QStringLiteral("commit") << 500 << QStringLiteral("stopped") << 4000;
    }
    void lockedSqliteFile()
    {
        QFETCH(QString, step);
        QFETCH(int, stopAfterMs);
        QFETCH(QString, kind);
        QFETCH(int, boundMs);
        const QString file = sqliteFile(QStringLiteral("locked.db"));
        QVERIFY(!file.isEmpty());
        StopAfter wait(stopAfterMs);
        data::Connection connection;
        connection.setCommandWait(&wait);
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Connect Timeout=2;Data Source=") + file);
        if (step != QLatin1String("open"))
            connection.Open();
        if (step == QLatin1String("commit")) {
            connection.session().beginTransaction();
            connection.session().execute(QStringLiteral("UPDATE t SET v = 'b'"));
        }
        Caught caught;
        {
            testsupport::SqliteLockHolder holder(file, step != QLatin1String("commit"));
            QVERIFY(holder.held());
            caught = attempt([&] {
                if (step == QLatin1String("open"))
                    connection.Open();
                else if (step == QLatin1String("change"))
                    connection.session().execute(QStringLiteral("UPDATE t SET v = 'b'"));
                else
                    connection.session().commit();
            });
        }
        QCOMPARE(caught.kind, kind);
        QVERIFY2(caught.ms < boundMs, qPrintable(QString::number(caught.ms)));
        if (kind == QLatin1String("error")) {
            QVERIFY2(caught.message.contains(QStringLiteral("被另一個程式鎖定")), qPrintable(caught.message));
            QVERIFY2(caught.message.contains(QStringLiteral("database is locked")), qPrintable(caught.message));
        } else {
            QVERIFY2(caught.ms >= stopAfterMs, "the stop came before the wait was shown");
        }
        if (step == QLatin1String("commit"))
            connection.session().rollback();
        QCOMPARE(connection.session().execute(QStringLiteral("UPDATE t SET v = 'c'")), 1LL);
        QVERIFY(connection.Connected());
    }
};

QTEST_MAIN(TestConnectionFaults)
#include "tst_connection_faults.moc"
