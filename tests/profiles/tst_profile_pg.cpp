// A profile for an ODBC source (PostgreSQL through psqlODBC) written by the store, read
// back by a fresh store and connection, and connected to a real server.
#include "data/core/Connection.h"
#include "data/core/ConnectionString.h"
#include "profiles/ADOConnectionINI.h"
#include "support/FailAlone.h"
#include "support/PgServer.h"
#include <QTemporaryDir>
#include <QtTest>

class TestProfilePg : public QObject {
    Q_OBJECT
private:
    testsupport::PgServer *pg = nullptr;

    // `conn` written as the default profile "pg" in `folder`, then read back by a fresh
    // store into `fresh`. The default profile name the reader found.
    static QString storeAndReload(data::Connection &conn, const QString &folder, data::Connection &fresh)
    {
        profiles::TADOConnectionINI store;
        store.setInitialDir(folder);
        store.setADOConnection(&conn);
        store.setDefaultADOConnection(QStringLiteral("pg"));
        store.WriteProfile();
        profiles::TADOConnectionINI reader;
        reader.setInitialDir(folder);
        reader.setADOConnection(&fresh);
        reader.LoadProfile();
        return reader.DefaultADOConnection();
    }

    // The connection opens and lists the table the test made.
    static void expectTheTestTable(data::Connection &fresh)
    {
        fresh.Open();
        QStringList tables;
        fresh.GetTableNames(tables);
        QVERIFY2(tables.contains(QStringLiteral("profile_t")), qPrintable(tables.join(',')));
        fresh.Close();
    }

private slots:
    void initTestCase()
    {
        testsupport::failAlone([&] {
            REQUIRE_PG_SERVER(server);
            pg = server;
            QVERIFY(pg->exec(QStringLiteral("CREATE TABLE profile_t (id int primary key)")));
        });
    }
    void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }

    void roundTripAndConnect()
    {
        testsupport::failAlone([&] {
            QTemporaryDir dir;
            data::Connection conn;
            // The ODBC pairs as their own properties.
            conn.setConnectionString(QStringLiteral("Provider=MSDASQL.1;DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2;"
                                                    "DATABASE=%3;User ID=%4;Password=unused")
                                         .arg(pg->host())
                                         .arg(pg->port())
                                         .arg(pg->database(), pg->user()));
            data::Connection fresh;
            QCOMPARE(storeAndReload(conn, dir.path(), fresh), QStringLiteral("pg"));
            QCOMPARE(fresh.Provider(), QStringLiteral("MSDASQL.1"));
            QCOMPARE(data::ConnectionString(fresh.ConnectionString()).value(QStringLiteral("Password")), QStringLiteral("unused"));
            expectTheTestTable(fresh);
        });
    }

    // The whole ODBC string in one property, its ";" inside, and a password with ";"
    // and blanks: the profile gives both back whole, and the connection opens.
    void extendedPropertiesRoundTripAndConnect()
    {
        testsupport::failAlone([&] {
            QTemporaryDir dir;
            const QString odbc = QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=%1;PORT=%2;DATABASE=%3")
                                     .arg(pg->host())
                                     .arg(pg->port())
                                     .arg(pg->database());
            const QString password = QStringLiteral(" p;w=d ");
            data::ConnectionString cs;
            cs.set(QStringLiteral("Provider"), QStringLiteral("MSDASQL.1"));
            cs.set(QStringLiteral("Extended Properties"), odbc);
            cs.set(QStringLiteral("User ID"), pg->user());
            cs.set(QStringLiteral("Password"), password);
            data::Connection conn;
            conn.setConnectionString(cs.toString());
            data::Connection fresh;
            QCOMPARE(storeAndReload(conn, dir.path(), fresh), QStringLiteral("pg"));
            const data::ConnectionString back(fresh.ConnectionString());
            QCOMPARE(back.value(QStringLiteral("Extended Properties")), odbc);
            QCOMPARE(back.value(QStringLiteral("Password")), password);
            QCOMPARE(back.value(QStringLiteral("User ID")), pg->user());
            expectTheTestTable(fresh);
        });
    }
};

QTEST_GUILESS_MAIN(TestProfilePg)
#include "tst_profile_pg.moc"
