// OLE DB-style connection strings turned into ODBC ones: "SQLOLEDB.1" through the FreeTDS
// driver and "MSDASQL.1" passing an ODBC string through; and a SQL Server session to a
// port nobody listens on failing with FreeTDS's own message.
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "support/LoopbackPorts.h"
#include <QFileInfo>
#include <QtTest>
#include <arpa/inet.h>

using namespace data;
using testsupport::closedPort;

namespace {

const QString kTail = QStringLiteral(";TDS_Version=7.4;ClientCharset=UTF-8");

} // namespace

class TestOdbcConnStrings : public QObject {
    Q_OBJECT

private slots:
    void freeTds_data()
    {
        QTest::addColumn<QString>("ado");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("odbc");
        const QString freetds = QStringLiteral("FreeTDS");
        QTest::newRow("host")
            << "Provider=SQLOLEDB.1;Data Source=dbhost;Initial Catalog=Sales;User ID=sa;Password=secret" << freetds
            << "DRIVER={FreeTDS};SERVER=dbhost;PORT=1433;DATABASE=Sales;UID=sa;PWD=secret" + kTail;
        QTest::newRow("host,port") << "Provider=SQLOLEDB.1;Data Source=10.1.2.3,1500;User ID=sa;Password=" << freetds
                                   << "DRIVER={FreeTDS};SERVER=10.1.2.3;PORT=1500;UID=sa;PWD=" + kTail;
        QTest::newRow("tcp prefix") << "Provider=SQLOLEDB.1;Data Source=tcp:dbhost, 1501" << freetds
                                    << "DRIVER={FreeTDS};SERVER=dbhost;PORT=1501" + kTail;
        QTest::newRow("host\\instance") << "Provider=SQLOLEDB.1;Data Source=dbhost\\SQLEXPRESS;Initial Catalog=pubs"
                                        << freetds << "DRIVER={FreeTDS};SERVER=dbhost\\SQLEXPRESS;DATABASE=pubs" + kTail;
        QTest::newRow("(local)") << "Provider=SQLOLEDB.1;Data Source=(local)" << freetds
                                 << "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=1433" + kTail;
        QTest::newRow("dot") << "Provider=SQLOLEDB.1;Data Source=." << freetds
                             << "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=1433" + kTail;
        QTest::newRow("(local)\\instance") << "Provider=SQLOLEDB.1;Data Source=(local)\\INST1" << freetds
                                           << "DRIVER={FreeTDS};SERVER=127.0.0.1\\INST1" + kTail;
        QTest::newRow("quoting") << "Provider=SQLOLEDB.1;Data Source=h;User ID=o'neil;Password=\"se;cr}e{t\"" << freetds
                                 << "DRIVER={FreeTDS};SERVER=h;PORT=1433;UID=o'neil;PWD={se;cr}}e{t}" + kTail;
        QTest::newRow("integrated security")
            << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=master;Data Source=h"
            << freetds << "DRIVER={FreeTDS};SERVER=h;PORT=1433;DATABASE=master;Trusted_Connection=Yes" + kTail;
        QTest::newRow("application and workstation")
            << "Provider=SQLOLEDB.1;Data Source=h;User ID=u;Password=p;Application Name=管理工具;Workstation ID=PC-01;Connect Timeout=5"
            << freetds << "DRIVER={FreeTDS};SERVER=h;PORT=1433;UID=u;PWD=p;APP=管理工具;WSID=PC-01;Timeout=5" + kTail;
        QTest::newRow("localhost,port") << "Provider=SQLOLEDB.1;Data Source=localhost,1500" << freetds
                                        << "DRIVER={FreeTDS};SERVER=localhost;PORT=1500" + kTail;
        QTest::newRow("instance with a port asks no browser")
            << "Provider=SQLOLEDB.1;Data Source=dbhost\\SQL2012,1600" << freetds
            << "DRIVER={FreeTDS};SERVER=dbhost;PORT=1600" + kTail;
        QTest::newRow("windows account")
            << "Provider=SQLOLEDB.1;Data Source=h;User ID=CORP\\alice;Password=p" << freetds
            << "DRIVER={FreeTDS};SERVER=h;PORT=1433;UID=CORP\\alice;PWD=p" + kTail;
        QTest::newRow("trusted connection")
            << "Provider=SQLOLEDB.1;Data Source=h;Trusted_Connection=yes;User ID=u;Password=p" << freetds
            << "DRIVER={FreeTDS};SERVER=h;PORT=1433;Trusted_Connection=Yes" + kTail;
        // Encryption asked for is required: no plain-text login when the server cannot encrypt.
        for (const char *encrypt : {"Use Encryption for Data=True", "Encrypt=yes", "Encrypt=true", "Encrypt=Mandatory",
                                    "Encrypt=strict"})
            QTest::newRow(encrypt) << QStringLiteral("Provider=SQLOLEDB.1;Data Source=h;%1").arg(QLatin1String(encrypt))
                                   << freetds << "DRIVER={FreeTDS};SERVER=h;PORT=1433;Encryption=require" + kTail;
        // This FreeTDS has no certificate setting in the string: it accepts the certificate
        // unless its configuration names a CA, which is what trusting it asks for.
        QTest::newRow("trust server certificate")
            << "Provider=SQLOLEDB.1;Data Source=h;Encrypt=yes;Trust Server Certificate=True" << freetds
            << "DRIVER={FreeTDS};SERVER=h;PORT=1433;Encryption=require" + kTail;
        for (const char *plain : {"Use Encryption for Data=False", "Encrypt=no", "Encrypt=optional"})
            QTest::newRow(plain) << QStringLiteral("Provider=SQLOLEDB.1;Data Source=h;%1").arg(QLatin1String(plain))
                                 << freetds << "DRIVER={FreeTDS};SERVER=h;PORT=1433" + kTail;
        QTest::newRow("driver library path")
            << "Provider=SQLOLEDB.1;Data Source=h" << "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"
            << "DRIVER={/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so};SERVER=h;PORT=1433" + kTail;
    }

    void freeTds()
    {
        QFETCH(QString, ado);
        QFETCH(QString, driver);
        QFETCH(QString, odbc);
        QCOMPARE(freeTdsOdbcString(ConnectionString(ado), driver), odbc);
    }

    void passThrough_data()
    {
        QTest::addColumn<QString>("ado");
        QTest::addColumn<QString>("odbc");
        QTest::newRow("extended properties")
            << "Provider=MSDASQL.1;Extended Properties=\"DRIVER={PostgreSQL Unicode};SERVER=h;PORT=5;DATABASE=d;UID=u\""
            << "DRIVER={PostgreSQL Unicode};SERVER=h;PORT=5;DATABASE=d;UID=u";
        QTest::newRow("extended properties with user")
            << "Provider=MSDASQL.1;Password=pw;User ID=me;Extended Properties=\"DSN=Sales;\""
            << "DSN=Sales;UID=me;PWD=pw";
        // a profile read back joins values unquoted: the ODBC pairs arrive split
        QTest::newRow("extended properties split by a profile")
            << "Provider=MSDASQL.1;Extended Properties=DRIVER={PostgreSQL Unicode};SERVER=h;PORT=5;DATABASE=d;Locale Identifier=1028"
            << "DRIVER={PostgreSQL Unicode};SERVER=h;PORT=5;DATABASE=d";
        QTest::newRow("extended properties keep their own user")
            << "Provider=MSDASQL.1;User ID=other;Extended Properties=\"DSN=Sales;UID=me\"" << "DSN=Sales;UID=me";
        QTest::newRow("data source is the DSN")
            << "Provider=MSDASQL.1;Persist Security Info=False;Data Source=Sales;User ID=u;Password=p;Initial Catalog=x"
            << "DSN=Sales;UID=u;PWD=p";
        QTest::newRow("ODBC pairs passed through")
            << "Provider=MSDASQL.1;DRIVER={SQLite3};Database=/tmp/a b.db;Timeout=2000;Persist Security Info=False"
            << "DRIVER={SQLite3};Database=/tmp/a b.db;Timeout=2000";
        QTest::newRow("value with semicolon") << "Provider=MSDASQL.1;DSN=x;Opt=\"a;b\"" << "DSN=x;Opt={a;b}";
    }

    void passThrough()
    {
        QFETCH(QString, ado);
        QFETCH(QString, odbc);
        QCOMPARE(odbcPassThroughString(ConnectionString(ado)), odbc);
    }

    void findsFreeTds()
    {
        const QString driver = findFreeTdsDriver();
        if (driver.isEmpty())
            QSKIP("the FreeTDS ODBC driver (tdsodbc) is not installed");
        // The name registered with unixODBC, or a library that exists.
        QVERIFY2(driver == QLatin1String("FreeTDS") || QFileInfo::exists(driver), qPrintable(driver));
    }

    // Nothing listens on the port: the session fails at once with FreeTDS's message.
    void sqlServerClosedPort()
    {
        if (findFreeTdsDriver().isEmpty())
            QSKIP("the FreeTDS ODBC driver (tdsodbc) is not installed");
        const ProviderInfo *provider = findProvider(QStringLiteral("SQLOLEDB.1"));
        QVERIFY(provider);
        const ConnectionString cs(QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Initial Catalog=master;"
                                                 "User ID=sa;Password=x;Connect Timeout=5")
                                      .arg(closedPort()));
        QString message;
        try {
            provider->open(cs);
        } catch (const DatabaseError &e) {
            message = e.message();
        }
        QVERIFY2(message.contains(QLatin1String("[FreeTDS][SQL Server]Unable to connect")), qPrintable(message));
    }
};

QTEST_MAIN(TestOdbcConnStrings)
#include "tst_odbc_connstrings.moc"
