// How "SQLOLEDB.1" reaches servers as they are deployed, through the real FreeTDS driver:
// named instances found through a browser stand-in, every address form, TLS negotiated
// inside PRELOGIN, NTLM logins of Windows accounts, integrated logins without a Kerberos
// ticket, and what each kind of failed login tells the user.
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "support/EnvironmentValue.h"
#include "support/ResultHelpers.h"
#include "support/SqlBrowserResponder.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QElapsedTimer>
#include <QtTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace data;
using namespace tds;
using testsupport::EnvironmentValue;
using testsupport::errorOf;

namespace {

// A loopback TCP port that takes connections into its backlog and never answers.
class SilentListener {
public:
    SilentListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port nobody listens on.
int closedPort()
{
    SilentListener l;
    return l.port();
}

} // namespace

class TstSqlServerLogins : public QObject {
    Q_OBJECT

    TdsPeer peer;

    DatabaseError failedOpen(const QString &connectionString)
    {
        Connection c;
        c.setProvider(QStringLiteral("SQLOLEDB.1"));
        c.setConnectionString(connectionString);
        const DatabaseError e = errorOf([&] { c.Open(); });
        if (c.Connected())
            return DatabaseError(QStringLiteral("<connected>"));
        return e;
    }

    void openAndQuery(TdsPeer &server, const QString &connectionString)
    {
        QVERIFY(testsupport::connectsAndSelectsOne(server, connectionString));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(testsupport::startWithSaLogin(peer));
        peer.setDatabases({QStringLiteral("master"), QStringLiteral("Sales")});
    }
    void cleanupTestCase() { peer.stop(); }

    void addressForms_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("host,port") << "127.0.0.1,%1";
        QTest::newRow("tcp:host,port") << "tcp:127.0.0.1,%1";
        QTest::newRow("(local),port") << "(local),%1";
        QTest::newRow(".,port") << ".,%1";
        QTest::newRow("localhost,port") << "localhost,%1";
    }
    void addressForms()
    {
        QFETCH(QString, source);
        openAndQuery(peer, QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=Sales;User ID=sa;Password=secret")
                               .arg(source.arg(peer.port())));
    }

    void namedInstanceAsksTheBrowser()
    {
        SqlBrowserResponder browser;
        QVERIFY(browser.start());
        TdsPeer instance;
        QVERIFY(instance.start(browser.address()));
        instance.setPassword(QStringLiteral("sa"), QStringLiteral("secret"));
        browser.addInstance(QStringLiteral("MSSQLSERVER"), 1433);
        browser.addInstance(QStringLiteral("SQLEXPRESS"), instance.port());
        openAndQuery(instance, QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1\\SQLEXPRESS;User ID=sa;Password=secret")
                                   .arg(browser.address()));
        QCOMPARE(browser.requestedInstances(), QStringList({"SQLEXPRESS"}));
        QCOMPARE(instance.logins(), 1);
    }

    // The client library asks 16 times, a second apart, before it gives up.
    void instanceNotFound_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("unknown instance") << false;
        QTest::newRow("silent browser") << true;
    }
    void instanceNotFound()
    {
        QFETCH(bool, silent);
        SqlBrowserResponder browser;
        QVERIFY(browser.start());
        browser.addInstance(QStringLiteral("SQL2012"), closedPort());
        browser.setSilent(silent);
        QElapsedTimer clock;
        clock.start();
        const DatabaseError e = failedOpen(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1\\SQLEXPRESS;User ID=sa;Password=secret").arg(browser.address()));
        QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(e.message().startsWith(QStringLiteral("找不到 SQL Server 執行個體「%1\\SQLEXPRESS」").arg(browser.address())),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("Unable to connect")), qPrintable(e.message()));
        QVERIFY(!browser.requestedInstances().isEmpty());
    }

    void encryptedLogin_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("data-link property") << "Use Encryption for Data=True";
        QTest::newRow("Encrypt=yes") << "Encrypt=yes";
        QTest::newRow("Encrypt=strict") << "Encrypt=strict";
        QTest::newRow("not asked: the server requires it") << "Use Encryption for Data=False";
    }
    void encryptedLogin()
    {
        QFETCH(QString, setting);
        TdsPeer secure;
        QVERIFY(secure.enableTls());
        QVERIFY(secure.start());
        secure.setPassword(QStringLiteral("sa"), QStringLiteral("secret"));
        openAndQuery(secure, secure.connectionString(QStringLiteral("Sales"), QStringLiteral("sa"), QStringLiteral("secret")) +
                                 QLatin1Char(';') + setting);
        QCOMPARE(secure.loginPackets(), 1);
        QCOMPARE(secure.encryptedLogins(), 1);
        QCOMPARE(secure.logins(), 1);
        QCOMPARE(secure.receivedStatements().last().text, QStringLiteral("select 1 as n"));
    }

    void windowsAccount_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right password") << "CORP\\alice" << "Pa$$w0rd 中" << true;
        QTest::newRow("wrong password") << "CORP\\alice" << "guess" << false;
        QTest::newRow("other domain") << "LAB\\alice" << "Pa$$w0rd 中" << false;
    }
    void windowsAccount()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        TdsPeer domainServer;
        QVERIFY(domainServer.start());
        domainServer.setWindowsAccount(QStringLiteral("CORP"), QStringLiteral("alice"), QStringLiteral("Pa$$w0rd 中"));
        const QString cs = domainServer.connectionString(QStringLiteral("Sales"), user, password);
        if (accepted) {
            openAndQuery(domainServer, cs);
            QCOMPARE(domainServer.windowsLogins(), 1);
            return;
        }
        const DatabaseError e = failedOpen(cs);
        QVERIFY2(e.message().startsWith(QStringLiteral("Windows 帳號「%1」登入 SQL Server").arg(user)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("Login failed for user '%1'.").arg(user)), qPrintable(e.message()));
        QCOMPARE(e.nativeCode(), 18456);
        QCOMPARE(domainServer.windowsLogins(), 0);
        QCOMPARE(domainServer.failedLogins(), QStringList({user}));
    }

    void integratedWithoutKerberosTicket()
    {
        const EnvironmentValue cache("KRB5CCNAME", "FILE:/nonexistent/adoschema-no-ticket");
        const int before = peer.loginPackets();
        QElapsedTimer clock;
        clock.start();
        const DatabaseError e = failedOpen(
            QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Sales;"
                           "Data Source=127.0.0.1,%1")
                .arg(peer.port()));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(e.message().contains(QStringLiteral("沒有有效的 Kerberos 票證")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("kinit")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("\n\r")), qPrintable(e.message())); // the system's own text follows
        QCOMPARE(peer.loginPackets(), before);                                              // nothing reached the server
    }

    // Each failure: one Chinese sentence first, the driver's or server's text after it.
    void loginFailures_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("serverText");
        const QString base = QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Connect Timeout=2;");
        QTest::newRow("wrong password (18456)")
            << base.arg(peer.port()) + "Initial Catalog=Sales;User ID=sa;Password=wrong"
            << QStringLiteral("帳號「sa」登入 SQL Server「127.0.0.1,%1」失敗：帳號或密碼錯誤。").arg(peer.port())
            << "Login failed for user 'sa'.";
        QTest::newRow("unknown database (4060)")
            << base.arg(peer.port()) + "Initial Catalog=Nowhere;User ID=sa;Password=secret"
            << QStringLiteral("無法開啟資料庫「Nowhere」：伺服器上沒有這個資料庫，或這個帳號沒有使用它的權限。")
            << "Cannot open database \"Nowhere\" requested by the login.";
        const int closed = closedPort();
        QTest::newRow("server unreachable")
            << base.arg(closed) + "User ID=sa;Password=secret"
            << QStringLiteral("無法連線到 SQL Server「127.0.0.1,%1」：").arg(closed) << "Unable to connect";
        QTest::newRow("TLS refused")
            << base.arg(peer.port()) + "User ID=sa;Password=secret;Use Encryption for Data=True"
            << QStringLiteral("無法與 SQL Server「127.0.0.1,%1」建立加密連線：").arg(peer.port()) << "connection failed";
    }
    void loginFailures()
    {
        QFETCH(QString, connectionString);
        QFETCH(QString, sentence);
        QFETCH(QString, serverText);
        const int packetsBefore = peer.loginPackets();
        const DatabaseError e = failedOpen(connectionString);
        QVERIFY2(e.message().startsWith(sentence), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("\n\r")) && e.message().contains(serverText), qPrintable(e.message()));
        if (connectionString.contains(QLatin1String("Encryption")))
            QCOMPARE(peer.loginPackets(), packetsBefore); // no plain-text login after encryption was asked
    }

    void loginTimeout()
    {
        SilentListener stalled;
        QElapsedTimer clock;
        clock.start();
        const DatabaseError e = failedOpen(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Connect Timeout=2;User ID=sa;Password=secret").arg(stalled.port()));
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(e.message().startsWith(QStringLiteral("登入 SQL Server「127.0.0.1,%1」逾時：伺服器在 2 秒內沒有完成登入").arg(stalled.port())),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("\n\r")), qPrintable(e.message()));
    }
};

QTEST_MAIN(TstSqlServerLogins)
#include "tst_sqlserver_logins.moc"
