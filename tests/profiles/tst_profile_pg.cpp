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
            profiles::TADOConnectionINI store;
            store.setInitialDir(dir.path());
            store.setADOConnection(&conn);
            store.setDefaultADOConnection(QStringLiteral("pg"));
            store.WriteProfile();

            data::Connection fresh;
            profiles::TADOConnectionINI reader;
            reader.setInitialDir(dir.path());
            reader.setADOConnection(&fresh);
            reader.LoadProfile();
            QCOMPARE(reader.DefaultADOConnection(), QStringLiteral("pg"));
            QCOMPARE(fresh.Provider(), QStringLiteral("MSDASQL.1"));
            QCOMPARE(data::ConnectionString(fresh.ConnectionString()).value(QStringLiteral("Password")), QStringLiteral("unused"));
            fresh.Open();
            QStringList tables;
            fresh.GetTableNames(tables);
            QVERIFY2(tables.contains(QStringLiteral("profile_t")), qPrintable(tables.join(',')));
            fresh.Close();
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
            profiles::TADOConnectionINI store;
            store.setInitialDir(dir.path());
            store.setADOConnection(&conn);
            store.setDefaultADOConnection(QStringLiteral("pg"));
            store.WriteProfile();

            data::Connection fresh;
            profiles::TADOConnectionINI reader;
            reader.setInitialDir(dir.path());
            reader.setADOConnection(&fresh);
            reader.LoadProfile();
            const data::ConnectionString back(fresh.ConnectionString());
            QCOMPARE(back.value(QStringLiteral("Extended Properties")), odbc);
            QCOMPARE(back.value(QStringLiteral("Password")), password);
            QCOMPARE(back.value(QStringLiteral("User ID")), pg->user());
            fresh.Open();
            QStringList tables;
            fresh.GetTableNames(tables);
            QVERIFY2(tables.contains(QStringLiteral("profile_t")), qPrintable(tables.join(',')));
            fresh.Close();
        });
    }
};

QTEST_GUILESS_MAIN(TestProfilePg)
#include "tst_profile_pg.moc"
