// Schema rowsets of an ODBC source beyond the four listings, against a real PostgreSQL:
// catalog functions for procedures, privileges, types and statistics, INFORMATION_SCHEMA
// for constraints, key columns, check constraints, views and schemata.
#include <QtTest>
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "support/PgServer.h"

using namespace data;

namespace {

int col(const ResultSet &rs, const char *name)
{
    for (size_t i = 0; i < rs.columns.size(); ++i)
        if (rs.columns[i].name == QLatin1String(name))
            return int(i);
    return -1;
}

QStringList values(const ResultSet &rs, const char *name)
{
    QStringList out;
    const int c = col(rs, name);
    for (size_t row = 0; row < rs.rows.rowCount(); ++row)
        out << rs.rows.columns[size_t(c)].value(row, rs.columns[size_t(c)].type).toString();
    return out;
}

std::vector<QVariant> restrict(std::initializer_list<QVariant> list)
{
    return std::vector<QVariant>(list);
}

} // namespace

class TestOdbcRowsets : public QObject {
    Q_OBJECT
    std::unique_ptr<ProviderSession> session;
    QString db;

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(pg);
        QString err;
        QVERIFY2(pg->exec(QStringLiteral(
                     "CREATE TABLE 訂單 (編號 int PRIMARY KEY, 數量 int CONSTRAINT 數量檢核 CHECK (數量 > 0),"
                     " 客戶 varchar(20) UNIQUE);"
                     "CREATE TABLE \"a'b\" (x int PRIMARY KEY);"
                     "CREATE VIEW 大訂單 AS SELECT * FROM 訂單 WHERE 數量 > 100;"
                     "CREATE FUNCTION 加倍(n integer) RETURNS integer AS 'SELECT n * 2' LANGUAGE sql;"
                     "CREATE ROLE reader; GRANT SELECT ON 訂單 TO reader; GRANT UPDATE (數量) ON 訂單 TO reader;"
                     "INSERT INTO 訂單 VALUES (1, 5, '甲'), (2, 7, '乙'); ANALYZE 訂單;"),
                 &err),
                 qPrintable(err));
        session = openOdbcSession(ConnectionString(pg->adoConnectionString()));
        db = session->defaultDatabase();
    }
    void cleanupTestCase()
    {
        session.reset();
        testsupport::PgServer::shutdownShared();
    }

    void constraintsAndKeys()
    {
        auto tc = session->openSchema(QStringLiteral("TABLE_CONSTRAINTS"),
                                      restrict({QVariant(), QVariant(), QVariant(), db, QVariant(), QStringLiteral("訂單")}));
        QCOMPARE(tc->columns.size(), size_t(10));
        const QStringList types = values(*tc, "CONSTRAINT_TYPE");
        QVERIFY(types.contains(QStringLiteral("PRIMARY KEY")));
        QVERIFY(types.contains(QStringLiteral("UNIQUE")));
        QVERIFY(types.contains(QStringLiteral("CHECK")));
        QVERIFY(!values(*tc, "TABLE_NAME").contains(QStringLiteral("a'b")));

        auto kcu = session->openSchema(QStringLiteral("KEY_COLUMN_USAGE"),
                                       restrict({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                                                 QStringLiteral("a'b")}));
        QCOMPARE(values(*kcu, "COLUMN_NAME"), QStringList{QStringLiteral("x")});

        auto cc = session->openSchema(QStringLiteral("CHECK_CONSTRAINTS"),
                                      restrict({QVariant(), QVariant(), QStringLiteral("數量檢核")}));
        QCOMPARE(cc->rows.rowCount(), size_t(1));
        QVERIFY(values(*cc, "CHECK_CLAUSE").first().contains(QStringLiteral("數量")));
    }

    void viewsSchemataCatalogs()
    {
        auto views = session->openSchema(QStringLiteral("VIEWS"), restrict({db, QVariant(), QStringLiteral("大訂單")}));
        QCOMPARE(values(*views, "TABLE_NAME"), QStringList{QStringLiteral("大訂單")});
        QVERIFY(values(*views, "VIEW_DEFINITION").first().contains(QStringLiteral("100")));
        auto schemata = session->openSchema(QStringLiteral("SCHEMATA"), restrict({db, QStringLiteral("public")}));
        QCOMPARE(schemata->rows.rowCount(), size_t(1));
        auto catalogs = session->openSchema(QStringLiteral("CATALOGS"), restrict({QVariant()}));
        QVERIFY(values(*catalogs, "CATALOG_NAME").contains(db));
        auto other = session->openSchema(QStringLiteral("CATALOGS"), restrict({QStringLiteral("nothing")}));
        QCOMPARE(other->rows.rowCount(), size_t(0));
    }

    void proceduresAndParameters()
    {
        auto procs = session->openSchema(QStringLiteral("PROCEDURES"), restrict({db, QVariant(), QStringLiteral("加倍"), QVariant()}));
        QCOMPARE(values(*procs, "PROCEDURE_NAME"), QStringList{QStringLiteral("加倍")});
        auto params = session->openSchema(QStringLiteral("PROCEDURE_PARAMETERS"),
                                          restrict({db, QVariant(), QStringLiteral("加倍"), QVariant()}));
        QVERIFY(params->rows.rowCount() >= 1);
        QVERIFY(values(*params, "DATA_TYPE").contains(QStringLiteral("3"))); // DBTYPE_I4
    }

    void privilegesTypesStatistics()
    {
        // (the PostgreSQL driver reports the owner's grants only)
        auto tp = session->openSchema(QStringLiteral("TABLE_PRIVILEGES"),
                                      restrict({db, QVariant(), QStringLiteral("訂單"), QVariant(), QStringLiteral("tester")}));
        QVERIFY(values(*tp, "PRIVILEGE_TYPE").contains(QStringLiteral("SELECT")));
        for (const QString &grantee : values(*tp, "GRANTEE"))
            QCOMPARE(grantee, QStringLiteral("tester"));
        QCOMPARE(tp->columns.front().name, QStringLiteral("GRANTOR"));
        auto cp = session->openSchema(QStringLiteral("COLUMN_PRIVILEGES"),
                                      restrict({db, QVariant(), QStringLiteral("訂單"), QStringLiteral("數量"),
                                                QVariant(), QStringLiteral("reader")}));
        QVERIFY(values(*cp, "PRIVILEGE_TYPE").contains(QStringLiteral("UPDATE")));
        auto types = session->openSchema(QStringLiteral("PROVIDER_TYPES"), restrict({QVariant(), QVariant()}));
        QVERIFY(values(*types, "TYPE_NAME").contains(QStringLiteral("int4")));
        auto ints = session->openSchema(QStringLiteral("PROVIDER_TYPES"), restrict({3, true}));
        QCOMPARE(ints->rows.rowCount(), size_t(1));
        auto stats = session->openSchema(QStringLiteral("STATISTICS"), restrict({db, QVariant(), QStringLiteral("訂單")}));
        QCOMPARE(values(*stats, "TABLE_NAME"), QStringList{QStringLiteral("訂單")});
        QCOMPARE(values(*stats, "CARDINALITY"), QStringList{QStringLiteral("2")});
    }

    void unsupportedRowsetNamesItself()
    {
        for (const QString &name : {QStringLiteral("SQL_LANGUAGES"), QStringLiteral("TRANSLATIONS")}) {
            try {
                session->openSchema(name, {});
                QFAIL("should fail");
            } catch (const DatabaseError &e) {
                QVERIFY2(e.message().contains(name), qPrintable(e.message()));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOdbcRowsets)
#include "tst_odbc_rowsets.moc"
