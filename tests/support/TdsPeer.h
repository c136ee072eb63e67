#pragma once
// A scripted TDS 7.4 server on 127.0.0.1 standing in for SQL Server in tests: the real
// client stack (unixODBC + FreeTDS) talks to it over TCP. It logs clients in (SQL
// logins; with enableTls() over TLS, with setWindowsAccount() also NTLM), records every batch, RPC and transaction request in order, and answers
// each from the test's script. A request nobody scripted gets an error naming it, so a
// test never passes by silence.
#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tds {

class TlsServerContext;

// Column types as they travel in COLMETADATA.
enum class ColumnType {
    Int,       // INTN(4)
    BigInt,    // INTN(8)
    Bit,       // BITN
    Decimal,   // DECIMALN(precision, scale)
    Float,     // FLTN(8)
    DateTime,  // DATETIMN(8)
    NVarChar,  // NVARCHAR(size) with the server collation
    VarChar,   // BIGVARCHR(size); Chinese_Taiwan_Stroke_CI_AS (code page 950)
    VarBinary, // BIGVARBIN(size)
    Money,     // MONEYN(8); values as decimal text
};

struct Column {
    QString name;
    ColumnType type = ColumnType::Int;
    int size = 50;      // characters (NVarChar, VarChar) or bytes (VarBinary)
    int precision = 18; // Decimal
    int scale = 2;      // Decimal
    bool nullable = true;
    bool writable = true;
    bool identity = false; // COLMETADATA's fIdentity: the server numbers the column
};

struct ResultSet {
    QList<Column> columns;
    QList<QVariantList> rows; // an invalid QVariant is NULL; Decimal as text or number
};

struct Reply {
    QList<ResultSet> resultSets;
    long long rowCount = -1; // a row count (DONE_COUNT) after the result sets; -1: none
    bool isError = false;
    int number = 0, severity = 0, state = 0;
    QString message;
    QString newDatabase;         // ENVCHANGE database (and INFO 5701) before the end;
                                 // with an error, the change comes before the error
    bool waitForAttention = false; // answer only once the client cancels

    static Reply rows(const QList<Column> &columns, const QList<QVariantList> &rows);
    static Reply count(long long n);
    static Reply done();
    static Reply error(int number, int severity, int state, const QString &message);
    static Reply hang(); // waits for the client's attention, then acknowledges it
    // Sends the columns and rows, then stops part-way through the result (no end) until
    // the client's attention, which it acknowledges.
    static Reply rowsThenHang(const QList<Column> &columns, const QList<QVariantList> &rows);
};

struct Request {
    enum Kind { Batch, Rpc, Transaction };
    Kind kind = Batch;
    // Batch: the SQL text. RPC: for sp_executesql/sp_prepexec the statement, otherwise
    // the procedure's name. Transaction: "BEGIN TRANSACTION", "COMMIT", "ROLLBACK".
    QString text;
    QString database;        // the session's current database when it arrived
    QString procedure;       // RPC: procedure name ("sp_executesql", "sp_tables", ...)
    QString parameterDecl;   // sp_executesql/sp_prepexec: "@P1 int,@P2 nvarchar(4)"
    QStringList paramNames;  // RPC parameters (the statement and declaration left out)
    QVariantList params;     // their values: qlonglong, bool, double, QString (decimal
                             // as text), QDateTime, QByteArray, invalid for NULL
    QVariant param(const QString &name) const; // by name, case-insensitive, "@" optional
    QString describe() const; // one line for failure messages
};

// The values of the string literals of a batch as SQL Server reads them: N'...' as
// written, a plain '...' through the server's code page (950 here), where a character
// outside it becomes "?".
QStringList literalsAsServerReads(const QString &sql);

class TdsPeer {
public:
    TdsPeer();
    ~TdsPeer();
    TdsPeer(const TdsPeer &) = delete;
    TdsPeer &operator=(const TdsPeer &) = delete;

    // Listens on the given address (127.0.0.1 by default): a free port, or the one given
    // (a server restarted in place).
    bool start(const QString &address = QStringLiteral("127.0.0.1"), int port = 0);
    QString address() const { return address_; }
    void stop();  // closes every connection and joins the threads
    int port() const { return port_; }

    // Faults. A stalled login reads the client's PRELOGIN and never answers; a stalled
    // transaction request ("BEGIN TRANSACTION", "COMMIT", "ROLLBACK") is recorded and
    // never answered, not even an attention. Both hold until the client goes or the
    // connections are dropped. Dropping closes every client connection, as a server
    // that died would, and keeps listening.
    void setStallLogin(bool stall) { stallLogin_ = stall; }
    void setStallTransaction(const QString &request) { std::lock_guard g(mutex_); stalledTransaction_ = request; }
    void dropConnections();

    void setPassword(const QString &user, const QString &password);
    // A server with a certificate: encryption offered in PRELOGIN and required (every
    // session runs in TLS, as with "Force Encryption"). Makes a self-signed certificate.
    bool enableTls();
    // A Windows account logging in with NTLM (DOMAIN\user); its NTLMv2 response is
    // checked against the password.
    void setWindowsAccount(const QString &domain, const QString &user, const QString &password);
    // Integrated logins: the client's Kerberos token is accepted with the service keys in
    // this keytab (MSSQLSvc/<host>:<port>), as a server in a realm does.
    void setKerberosKeytab(const QString &keytab) { std::lock_guard g(mutex_); kerberosKeytab_ = keytab; }
    // With a list, a login naming any other database is refused as the server does
    // (4060, then 18456).
    void setDatabases(const QStringList &names) { std::lock_guard g(mutex_); databases_ = names; }
    void setDefaultDatabase(const QString &name) { std::lock_guard g(mutex_); database_ = name; }
    // What SELECT SCHEMA_NAME() answers (the login's default schema); "dbo" unless set.
    void setDefaultSchema(const QString &name) { std::lock_guard g(mutex_); schema_ = name; }
    // "Provider=SQLOLEDB.1;Data Source=127.0.0.1,<port>;Initial Catalog=...;..."
    QString connectionString(const QString &database, const QString &user,
                             const QString &password) const;

    // Script: the most recently added matching rule answers. Exact text matches with
    // surrounding blanks ignored; a regular expression matches anywhere in the text.
    void onQuery(const QString &exactText, const Reply &reply);
    void onQuery(const QRegularExpression &pattern, const Reply &reply);
    void onQuery(const QRegularExpression &pattern, std::function<Reply(const Request &)> answer);
    // RPCs to named procedures (sp_tables, sp_columns, ...), by name without case.
    void onProcedure(const QString &name, const Reply &reply);
    void clearScript(); // keeps the login conversation's generic answers

    QList<Request> received() const;
    // Requests other than the client library's own session set-up.
    QList<Request> receivedStatements() const;
    void clearReceived();
    int attentions() const { return attentions_.load(); }
    int logins() const { return logins_.load(); }
    QStringList failedLogins() const;
    int loginPackets() const { return loginPackets_.load(); } // LOGIN7 messages, plain or in TLS
    int encryptedLogins() const { return encryptedLogins_.load(); }
    int windowsLogins() const { return windowsLogins_.load(); } // NTLM logins accepted
    // The client principals of the Kerberos logins accepted ("alice@PEER.TEST").
    QStringList kerberosLogins() const { std::lock_guard g(mutex_); return kerberosLogins_; }

private:
    struct Rule {
        std::function<bool(const Request &)> matches;
        std::function<Reply(const Request &)> answer;
    };
    void acceptLoop();
    void serve(int fd);
    Reply answerFor(const Request &request);
    void addBuiltInRules();

    int listenFd_ = -1;
    QString address_ = QStringLiteral("127.0.0.1");
    std::shared_ptr<TlsServerContext> tls_;
    QStringList databases_;
    QString windowsDomain_, windowsUser_, windowsPassword_;
    QString kerberosKeytab_;
    QStringList kerberosLogins_;
    std::atomic<int> loginPackets_{0};
    std::atomic<int> encryptedLogins_{0};
    std::atomic<int> windowsLogins_{0};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::thread> sessions_;
    std::vector<int> sessionFds_;
    std::vector<Rule> rules_;
    QList<Request> received_;
    QStringList failedLogins_;
    QString database_ = QStringLiteral("master");
    QString schema_ = QStringLiteral("dbo");
    QString user_;
    QString password_;
    bool checkPassword_ = false;
    std::atomic<int> attentions_{0};
    std::atomic<int> logins_{0};
    std::atomic<bool> stallLogin_{false};
    QString stalledTransaction_;

    friend class Session;
};

} // namespace tds
