// Integrated logins (Integrated Security=SSPI) through the real FreeTDS driver and a real
// MIT KDC on loopback: the user's ticket from kinit reaches the server as a Kerberos token
// the peer accepts with its service key, and a user without a usable ticket is told so.
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "support/EnvironmentValue.h"
#include "support/KerberosKdc.h"
#include "support/ResultHelpers.h"
#include "support/SqlServerPeerSetup.h"
#include "support/TdsPeer.h"
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

using namespace data;
using namespace tds;
using testsupport::KerberosKdc;
using testsupport::EnvironmentValue;
using testsupport::errorOf;

namespace {

const QString kUserPassword = QStringLiteral("Winter-2026 中");

} // namespace

class TstSqlServerKerberos : public QObject {
    Q_OBJECT

    std::unique_ptr<KerberosKdc> kdc;
    TdsPeer peer;
    TdsPeer unregistered; // a server whose service principal the realm does not know
    TdsPeer staleKeys;    // known to the realm, but its keytab lacks the current key

    QString integrated(const QString &source, const QString &setting = QStringLiteral("Integrated Security=SSPI")) const
    {
        return QStringLiteral("Provider=SQLOLEDB.1;%1;Persist Security Info=False;Initial Catalog=Sales;Data Source=%2")
            .arg(setting, source);
    }

private slots:
    void initTestCase()
    {
        if (!KerberosKdc::binariesAvailable())
            QSKIP("the MIT Kerberos KDC (krb5-kdc, krb5-admin-server, krb5-user) is not installed");
        kdc = std::make_unique<KerberosKdc>(QStringList{QStringLiteral("PEER.TEST"), QStringLiteral("OTHER.TEST")});
        QVERIFY2(kdc->isRunning(), qPrintable(kdc->errorText()));
        QVERIFY(peer.start());
        QVERIFY(unregistered.start());
        QVERIFY(staleKeys.start());
        peer.setDatabases({QStringLiteral("master"), QStringLiteral("Sales")});
        QVERIFY2(kdc->addUser(QStringLiteral("alice"), kUserPassword), qPrintable(kdc->errorText()));
        QVERIFY2(kdc->addUser(QStringLiteral("bob@OTHER.TEST"), kUserPassword), qPrintable(kdc->errorText()));
        // The name the client library asks a ticket for: the service at the host and port.
        // A host name without a dot stays as written when it has no longer canonical name.
        for (const char *host : {"127.0.0.1", "localhost"})
            QVERIFY2(kdc->addService(QStringLiteral("MSSQLSvc/%1:%2").arg(QLatin1String(host)).arg(peer.port())),
                     qPrintable(kdc->errorText()));
        peer.setKerberosKeytab(kdc->keytab());
        QVERIFY2(kdc->addService(QStringLiteral("MSSQLSvc/127.0.0.1:%1").arg(staleKeys.port())), qPrintable(kdc->errorText()));
        staleKeys.setKerberosKeytab(kdc->keytab() + QStringLiteral(".before-the-key-changed"));
        peer.onQuery(QStringLiteral("select 1 as n"), Reply::rows({{QStringLiteral("n"), ColumnType::Int}}, {{1}}));
    }
    void cleanupTestCase()
    {
        peer.stop();
        unregistered.stop();
        staleKeys.stop();
        kdc.reset();
    }

    void loginWithTheUsersTicket_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("setting");
        QTest::newRow("Integrated Security=SSPI") << "127.0.0.1,%1" << "Integrated Security=SSPI";
        QTest::newRow("Trusted_Connection=yes") << "127.0.0.1,%1" << "Trusted_Connection=yes";
        QTest::newRow("(local),port") << "(local),%1" << "Integrated Security=SSPI";
        QTest::newRow("localhost,port") << "localhost,%1" << "Integrated Security=SSPI";
    }
    void loginWithTheUsersTicket()
    {
        QFETCH(QString, source);
        QFETCH(QString, setting);
        const QString cache = kdc->credentialCache(QStringLiteral("alice"));
        QVERIFY2(kdc->kinit(QStringLiteral("alice"), kUserPassword, QString(), cache), qPrintable(kdc->errorText()));
        const EnvironmentValue ticket("KRB5CCNAME", cache.toUtf8());
        const QStringList before = peer.kerberosLogins();
        peer.clearReceived();

        QVERIFY(testsupport::connectsAndSelectsOne(peer, integrated(source.arg(peer.port()), setting)));

        QCOMPARE(peer.kerberosLogins(), before + QStringList{QStringLiteral("alice@PEER.TEST")});
        QCOMPARE(peer.receivedStatements().last().text, QStringLiteral("select 1 as n"));
        QCOMPARE(peer.receivedStatements().last().database, QStringLiteral("Sales"));
    }

    // No login packet reaches the server: the user learns at once how to get a ticket.
    void noUsableTicket_data()
    {
        QTest::addColumn<QString>("ticket");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QString>("reason"); // the realm's own words on the detail line
        QTest::newRow("no ticket") << "none" << true << "No Kerberos credentials available";
        QTest::newRow("expired ticket") << "expired" << true << "expired";
        QTest::newRow("ticket of another realm") << "other realm" << true << "krbtgt/PEER.TEST@OTHER.TEST not found";
        QTest::newRow("service the realm does not know") << "alice" << false << "not found in Kerberos database";
    }
    void noUsableTicket()
    {
        QFETCH(QString, ticket);
        QFETCH(bool, registered);
        QFETCH(QString, reason);
        TdsPeer &server = registered ? peer : unregistered;
        const QString cache = kdc->credentialCache(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
        const QString user = ticket == QLatin1String("other realm") ? QStringLiteral("bob@OTHER.TEST") : QStringLiteral("alice");
        if (ticket != QLatin1String("none"))
            QVERIFY2(kdc->kinit(user, kUserPassword, ticket == QLatin1String("expired") ? QStringLiteral("1s") : QString(), cache),
                     qPrintable(kdc->errorText()));
        if (ticket == QLatin1String("expired"))
            QThread::msleep(2500);
        const EnvironmentValue tickets("KRB5CCNAME", cache.toUtf8());
        const int packetsBefore = server.loginPackets();
        const QStringList loginsBefore = server.kerberosLogins();
        QElapsedTimer clock;
        clock.start();

        Connection c;
        c.setProvider(QStringLiteral("SQLOLEDB.1"));
        c.setConnectionString(integrated(QStringLiteral("127.0.0.1,%1").arg(server.port())));
        const DatabaseError e = errorOf([&] { c.Open(); });

        QVERIFY(!c.Connected());
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(e.message().contains(QStringLiteral("沒有有效的 Kerberos 票證")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("kinit")), qPrintable(e.message()));
        QVERIFY2(e.message().section(QStringLiteral("\n\r"), 1).contains(reason, Qt::CaseInsensitive), qPrintable(e.message()));
        QCOMPARE(server.loginPackets(), packetsBefore);
        QCOMPARE(server.kerberosLogins(), loginsBefore);
    }

    // The ticket is fine but the server cannot accept it: its refusal, not "wrong password".
    void serverRefusesTheTicket()
    {
        const QString cache = kdc->credentialCache(QStringLiteral("refused"));
        QVERIFY2(kdc->kinit(QStringLiteral("alice"), kUserPassword, QString(), cache), qPrintable(kdc->errorText()));
        const EnvironmentValue ticket("KRB5CCNAME", cache.toUtf8());
        Connection c;
        c.setProvider(QStringLiteral("SQLOLEDB.1"));
        c.setConnectionString(integrated(QStringLiteral("127.0.0.1,%1").arg(staleKeys.port())));
        const DatabaseError e = errorOf([&] { c.Open(); });

        QVERIFY(!c.Connected());
        const QString sentence = QStringLiteral("以 Windows 整合驗證（Integrated Security=SSPI）登入 SQL Server「127.0.0.1,%1」失敗：")
                                     .arg(staleKeys.port());
        QVERIFY2(e.message().startsWith(sentence), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("MSSQLSvc/127.0.0.1:%1").arg(staleKeys.port())), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QLatin1String("\n\r[FreeTDS][SQL Server]Login failed. The login is from an untrusted domain")), qPrintable(e.message()));
        QCOMPARE(e.nativeCode(), 18452);
        QCOMPARE(staleKeys.loginPackets(), 1);
        QCOMPARE(staleKeys.kerberosLogins(), QStringList());
    }
};

QTEST_MAIN(TstSqlServerKerberos)
#include "tst_sqlserver_kerberos.moc"
