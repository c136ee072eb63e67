#pragma once
// A throw-away PostgreSQL server for tests: a fresh cluster in a temporary folder,
// listening on 127.0.0.1 on a free port, with one empty database. It runs as the
// "postgres" user when the tests run as root (PostgreSQL refuses root). The server is
// stopped and its folder removed when the object dies; a small watchdog process does the
// same if the test process dies without cleaning up.
//
// Typical use, one server shared by every test of the process:
//
//     void initTestCase() {
//         REQUIRE_PG_SERVER(pg);          // skips (or fails under CI=true) without PostgreSQL
//         pg->exec("CREATE TABLE t (id int primary key)");
//         session = data::openOdbcSession(data::ConnectionString(pg->adoConnectionString()));
//     }
//     void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }
#include <QString>
#include <QStringList>
#include <memory>

namespace testsupport {

class PgServer {
public:
    // Starts a server and creates `database` in it. Check isRunning() / errorText().
    explicit PgServer(const QString &database = QStringLiteral("adotest"));
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // The server shared by the tests of this process, started on first use. nullptr when
    // it could not start (see sharedError()).
    static PgServer *shared();
    static QString sharedError();
    // Stops the shared server now (it is stopped at process exit otherwise).
    static void shutdownShared();

    // Whether the PostgreSQL server programs are installed here.
    static bool binariesAvailable();
    static QString binDir();
    // CI=true: a missing server is a failure, not a reason to skip.
    static bool requiredByEnvironment();

    bool isRunning() const { return running_; }
    QString errorText() const { return error_; }
    int port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString database() const { return database_; }
    QString user() const { return QStringLiteral("tester"); }
    QString folder() const { return dir_; }

    // "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=n;DATABASE=db;UID=tester"
    QString odbcConnectionString(const QString &database = QString()) const;
    // "Provider=MSDASQL.1;Extended Properties=\"<odbc string>\""
    QString adoConnectionString(const QString &database = QString()) const;

    // Runs SQL through psql (stops at the first error). Returns true on success; the
    // error text (psql's stderr) goes to *error. Results go to *output as unaligned,
    // tuples-only text ("a|b" lines).
    bool exec(const QString &sql, QString *error = nullptr, QString *output = nullptr,
              const QString &database = QString()) const;
    // One value of a query ("" on error).
    QString scalar(const QString &sql, const QString &database = QString()) const;
    bool createDatabase(const QString &name, QString *error = nullptr) const;

    void stop();
    // The server going away and coming back on the same port, its data kept.
    bool stopKeepingData();
    bool startAgain();

private:
    bool start();
    bool pgCtlStart(QString *out);
    bool runAsOwner(const QString &program, const QStringList &args, QString *output,
                    int timeoutMs) const;
    void startWatchdog();

    QString database_;
    QString dir_;
    int port_ = 0;
    bool running_ = false;
    bool asPostgresUser_ = false;
    long long watchdogPid_ = 0;
    QString error_;
};

} // namespace testsupport

// Declares `var` as the shared server; without one, skips the test function (QSKIP) or,
// when the environment requires the server (CI=true), fails it.
#define REQUIRE_PG_SERVER(var)                                                              \
    testsupport::PgServer *var = testsupport::PgServer::shared();                           \
    if (!var) {                                                                             \
        if (testsupport::PgServer::requiredByEnvironment() ||                               \
            testsupport::PgServer::binariesAvailable())                                     \
            QFAIL(qPrintable(testsupport::PgServer::sharedError()));                        \
        QSKIP(qPrintable(testsupport::PgServer::sharedError()));                            \
    }
