// The ODBC provider ("MSDASQL.1") against a real PostgreSQL server through psqlODBC:
// connecting and its errors, column types and values (Chinese text included), block
// fetching and long values, parameters, batches, transactions, timeouts and the schema
// rowsets built from the ODBC catalog functions.
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/odbc/OdbcSession.h"
#include "data/core/Providers.h"
#include "data/core/SchemaLayouts.h"
#include "support/LoopbackPorts.h"
#include "support/PgServer.h"
#include <QtTest>
#include <arpa/inet.h>

#include "support/ResultHelpers.h"

using namespace data;
using namespace testsupport;

namespace {

const ColumnInfo *info(const ResultSet &rs, const QString &name)
{
    const int c = columnIndex(rs, name);
    return c < 0 ? nullptr : &rs.columns[size_t(c)];
}

QVariant none()
{
    return QVariant();
}

} // namespace

class TestOdbcSession : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    std::unique_ptr<ProviderSession> session;

    void sql(const QString &text)
    {
        QString error;
        QVERIFY2(pg->exec(text, &error), qPrintable(error));
    }

    std::unique_ptr<ResultSet> schema(const QString &rowset, const std::vector<QVariant> &restrictions)
    {
        return session->openSchema(rowset, restrictions);
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        sql(QStringLiteral(
            "CREATE TABLE types_t (id serial PRIMARY KEY, i int NOT NULL, b bigint, s smallint,"
            " n numeric(12,2), d double precision, r real, f boolean, dt date, ts timestamp, tm time,"
            " tx text, vc varchar(20), ch char(3), bt bytea, u uuid);"
            "INSERT INTO types_t (i, b, s, n, d, r, f, dt, ts, tm, tx, vc, ch, bt, u) VALUES"
            " (1, 9000000000, 7, 1234.56, 1.5, 2.25, true, '2024-02-29', '2024-02-29 13:14:15.678',"
            "  '10:11:12', '中文字 text', '測試abc', 'ab', '\\x00ff10', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'),"
            " (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
            "CREATE TABLE \"a'b\" (k1 int, k2 varchar(10), v text DEFAULT 'x', PRIMARY KEY (k2, k1));"
            "CREATE UNIQUE INDEX \"ix_a'b_v\" ON \"a'b\" (v DESC);"
            "CREATE INDEX ix_plain ON \"a'b\" (k1);"
            "CREATE TABLE \"客戶資料\" (\"編號\" int PRIMARY KEY, \"名稱\" varchar(20) NOT NULL);"
            "CREATE TABLE x_y (id int); CREATE TABLE xzy (id int);"
            "CREATE VIEW v_types AS SELECT id, vc FROM types_t;"
            "CREATE TABLE tx_t (id int);"
            "CREATE TABLE params_t (id int, txt varchar(100), data bytea, amount numeric(10,3));"));
        session = openOdbcSession(ConnectionString(pg->adoConnectionString()));
        QVERIFY(session);
    }

    void cleanupTestCase()
    {
        session.reset();
        testsupport::PgServer::shutdownShared();
    }

    // ---- connection -----------------------------------------------------------------

    void connectsThroughMsdasql()
    {
        QCOMPARE(session->defaultDatabase(), pg->database());
        QVERIFY2(session->serverVersion().startsWith(QLatin1String("PostgreSQL")), qPrintable(session->serverVersion()));
        QCOMPARE(session->quoteIdentifier(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));

        // The registry's factory for the provider name is this one.
        const ProviderInfo *provider = findProvider(QStringLiteral("MSDASQL"));
        QVERIFY(provider);
        auto viaRegistry = provider->open(ConnectionString(pg->adoConnectionString()));
        QCOMPARE(viaRegistry->defaultDatabase(), pg->database());

        // The ODBC string may also come as plain pairs next to the provider.
        auto plain = openOdbcSession(ConnectionString(QStringLiteral("Provider=MSDASQL.1;") + pg->odbcConnectionString()));
        QCOMPARE(plain->query(QStringLiteral("SELECT current_database()"))->rows.columns[0].value(0, ftWideMemo).toString(),
                 pg->database());
    }

    void connectionErrors_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown driver")
            << QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={No Such Driver};SERVER=127.0.0.1\"")
            << QStringLiteral("No Such Driver");
        QTest::newRow("unknown DSN") << QStringLiteral("Provider=MSDASQL.1;Data Source=no_such_dsn")
                                     << QStringLiteral("Data source name not found");
        QTest::newRow("nothing listening")
            << QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=%1;DATABASE=x;UID=tester\"")
                   .arg(closedPort())
            << QStringLiteral("Connection refused");
        QTest::newRow("no such database") << QStringLiteral("<bad database>")
                                          << QStringLiteral("database \"no_such_db\" does not exist");
    }

    void connectionErrors()
    {
        QFETCH(QString, connection);
        QFETCH(QString, expected);
        if (connection == QLatin1String("<bad database>"))
            connection = pg->adoConnectionString(QStringLiteral("no_such_db"));
        const DatabaseError e = errorOf([&] { openOdbcSession(ConnectionString(connection)); });
        QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
        QVERIFY2(!e.sqlState().isEmpty(), "the SQLSTATE of the driver's record");
    }

    // ---- results ----------------------------------------------------------------------

    void columnTypes_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("nullable");
        QTest::newRow("serial") << "id" << int(ftAutoInc) << 0 << 0 << 0 << false;
        QTest::newRow("int not null") << "i" << int(ftInteger) << 0 << 0 << 0 << false;
        QTest::newRow("bigint") << "b" << int(ftLargeint) << 0 << 0 << 0 << true;
        QTest::newRow("smallint") << "s" << int(ftSmallint) << 0 << 0 << 0 << true;
        QTest::newRow("numeric(12,2)") << "n" << int(ftBCD) << 2 << 12 << 2 << true;
        QTest::newRow("double") << "d" << int(ftFloat) << 0 << -1 << 0 << true;
        QTest::newRow("real") << "r" << int(ftFloat) << 0 << -1 << 0 << true;
        QTest::newRow("boolean") << "f" << int(ftBoolean) << 0 << 0 << 0 << true;
        QTest::newRow("date") << "dt" << int(ftDate) << 0 << 0 << 0 << true;
        QTest::newRow("timestamp") << "ts" << int(ftDateTime) << 0 << 0 << 0 << true;
        QTest::newRow("time") << "tm" << int(ftTime) << 0 << 0 << 0 << true;
        QTest::newRow("text") << "tx" << int(ftWideMemo) << 0 << 0 << 0 << true;
        QTest::newRow("varchar(20)") << "vc" << int(ftWideString) << 20 << 0 << 0 << true;
        QTest::newRow("char(3)") << "ch" << int(ftWideString) << 3 << 0 << 0 << true;
        QTest::newRow("bytea") << "bt" << int(ftBlob) << 0 << 0 << 0 << true;
        QTest::newRow("uuid") << "u" << int(ftGuid) << 38 << 0 << 0 << true;
    }

    void columnTypes()
    {
        QFETCH(QString, column);
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(int, precision);
        QFETCH(int, scale);
        QFETCH(bool, nullable);
        auto rs = session->query(QStringLiteral("SELECT * FROM types_t ORDER BY id"));
        const ColumnInfo *c = info(*rs, column);
        QVERIFY(c);
        QCOMPARE(fieldTypeName(c->type), fieldTypeName(TFieldType(type)));
        QCOMPARE(c->size, size);
        if (precision >= 0)
            QCOMPARE(c->precision, precision);
        QCOMPARE(c->scale, scale);
        QCOMPARE(c->nullable, nullable);
        QCOMPARE(c->isLong, type == ftWideMemo || type == ftBlob);
        QCOMPARE(c->fixedLength && c->type == ftWideString, column == QLatin1String("ch"));
        // Where each value comes from, so edits can go back.
        QCOMPARE(c->baseTable, QStringLiteral("types_t"));
        QCOMPARE(c->baseColumn, column);
        QVERIFY(!c->readOnly);
        QCOMPARE(c->autoIncrement, column == QLatin1String("id"));
    }

    void values()
    {
        auto rs = session->query(QStringLiteral("SELECT * FROM types_t ORDER BY id"));
        QCOMPARE(rs->rows.rowCount(), size_t(2));
        QCOMPARE(cell(*rs, 0, "id"), QVariant(qint64(1)));
        QCOMPARE(cell(*rs, 0, "i"), QVariant(qint64(1)));
        QCOMPARE(cell(*rs, 0, "b"), QVariant(qint64(9000000000)));
        QCOMPARE(cell(*rs, 0, "s"), QVariant(qint64(7)));
        QCOMPARE(cell(*rs, 0, "n"), QVariant(QStringLiteral("1234.56"))); // exact decimal text
        QCOMPARE(cell(*rs, 0, "d"), QVariant(1.5));
        QCOMPARE(cell(*rs, 0, "r"), QVariant(2.25));
        QCOMPARE(cell(*rs, 0, "f"), QVariant(true));
        QCOMPARE(cell(*rs, 0, "dt"), QVariant(QDate(2024, 2, 29)));
        QCOMPARE(cell(*rs, 0, "ts").toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 14, 15, 678), Qt::UTC));
        QCOMPARE(cell(*rs, 0, "tm"), QVariant(QTime(10, 11, 12)));
        QCOMPARE(cell(*rs, 0, "tx"), QVariant(QStringLiteral("中文字 text")));
        QCOMPARE(cell(*rs, 0, "vc"), QVariant(QStringLiteral("測試abc")));
        QCOMPARE(cell(*rs, 0, "ch"), QVariant(QStringLiteral("ab "))); // blank-padded
        QCOMPARE(cell(*rs, 0, "bt"), QVariant(QByteArray("\x00\xff\x10", 3)));
        QCOMPARE(cell(*rs, 0, "u"), QVariant(QStringLiteral("{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}")));
        // The second row is NULL everywhere but its key and the required column.
        for (size_t c = 2; c < rs->columns.size(); ++c)
            QVERIFY2(!cell(*rs, 1, int(c)).isValid(), qPrintable(rs->columns[c].name));
        // An expression has no base column and cannot be written.
        auto expr = session->query(QStringLiteral("SELECT i + 1 AS plus, vc FROM types_t"));
        QVERIFY(info(*expr, "plus")->baseTable.isEmpty());
        QVERIFY(info(*expr, "plus")->readOnly);
        QCOMPARE(info(*expr, "vc")->baseTable, QStringLiteral("types_t"));
    }

    // Rows come in blocks; every block boundary must keep rows and NULLs in place.
    void manyRowsInBlocks()
    {
        auto rs = session->query(QStringLiteral(
            "SELECT g AS n, ('行' || g)::varchar(20) AS label, CASE WHEN g % 7 = 0 THEN NULL ELSE g * 0.5 END AS half"
            " FROM generate_series(1, 1000) g ORDER BY g"));
        QCOMPARE(rs->rows.rowCount(), size_t(1000));
        QCOMPARE(fieldTypeName(info(*rs, "label")->type), fieldTypeName(ftWideString));
        for (int g = 1; g <= 1000; ++g) {
            const size_t r = size_t(g - 1);
            QCOMPARE(cell(*rs, r, "n").toLongLong(), qint64(g));
            QCOMPARE(cell(*rs, r, "label").toString(), QStringLiteral("行%1").arg(g));
            if (g % 7 == 0)
                QVERIFY(!cell(*rs, r, "half").isValid());
            else
                QCOMPARE(cell(*rs, r, "half").toString().toDouble(), g * 0.5);
        }
    }

    // Values longer than the driver's declared size, and long data read in pieces.
    void longValues()
    {
        const QString pi = QStringLiteral("3.14159265358979323846264338327950288419716939937510");
        auto rs = session->query(QStringLiteral("SELECT repeat('字', 100000) AS big, repeat('x', 600)::varchar AS over, "
                                                "%1::numeric AS pi, decode(repeat('00ff', 40000), 'hex') AS blob")
                                     .arg(pi));
        QCOMPARE(cell(*rs, 0, "big").toString(), QString(100000, QChar(0x5B57)));
        QCOMPARE(cell(*rs, 0, "over").toString(), QString(600, QLatin1Char('x')));
        QCOMPARE(cell(*rs, 0, "pi").toString(), pi);
        QCOMPARE(cell(*rs, 0, "blob").toByteArray(), QByteArray::fromHex(QByteArray("00ff").repeated(40000)));

        // The same overflow when every column is bound and rows come in blocks.
        auto block = session->query(QStringLiteral(
            "SELECT g, repeat('y', 250 + g)::varchar AS grow FROM generate_series(1, 300) g ORDER BY g"));
        QCOMPARE(block->rows.rowCount(), size_t(300));
        for (int g = 1; g <= 300; ++g)
            QCOMPARE(cell(*block, size_t(g - 1), "grow").toString().size(), qsizetype(250 + g));
    }

    void parameters_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("bigint") << "SELECT CAST(? AS bigint)" << QVariant(qint64(-9000000000)) << QVariant(qint64(-9000000000));
        QTest::newRow("int") << "SELECT CAST(? AS int)" << QVariant(42) << QVariant(qint64(42));
        QTest::newRow("double") << "SELECT CAST(? AS double precision)" << QVariant(2.5) << QVariant(2.5);
        QTest::newRow("bool") << "SELECT CAST(? AS boolean)" << QVariant(true) << QVariant(true);
        QTest::newRow("chinese") << "SELECT CAST(? AS varchar(50))" << QVariant(QStringLiteral("中文測試 ok"))
                                 << QVariant(QStringLiteral("中文測試 ok"));
        QTest::newRow("quote") << "SELECT CAST(? AS varchar(50))" << QVariant(QStringLiteral("a'b;\"c"))
                               << QVariant(QStringLiteral("a'b;\"c"));
        QTest::newRow("long text") << "SELECT CAST(? AS text)" << QVariant(QString(9000, QChar(0x4E2D)))
                                   << QVariant(QString(9000, QChar(0x4E2D)));
        QTest::newRow("null") << "SELECT CAST(? AS int)" << QVariant() << QVariant();
        QTest::newRow("bytea") << "SELECT CAST(? AS bytea)" << QVariant(QByteArray("\x00\x01\xff", 3))
                               << QVariant(QByteArray("\x00\x01\xff", 3));
        QTest::newRow("date") << "SELECT CAST(? AS date)" << QVariant(QDate(1999, 12, 31)) << QVariant(QDate(1999, 12, 31));
        QTest::newRow("time") << "SELECT CAST(? AS time)" << QVariant(QTime(23, 59, 58)) << QVariant(QTime(23, 59, 58));
        QTest::newRow("timestamp") << "SELECT CAST(? AS timestamp)"
                                   << QVariant(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5, 600)))
                                   << QVariant(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5, 600), Qt::UTC));
    }

    void parameters()
    {
        QFETCH(QString, sql);
        QFETCH(QVariant, value);
        QFETCH(QVariant, expected);
        auto rs = session->query(sql, {value});
        QCOMPARE(rs->rows.rowCount(), size_t(1));
        const QVariant got = cell(*rs, 0, 0);
        if (expected.typeId() == QMetaType::QDateTime)
            QCOMPARE(got.toDateTime(), expected.toDateTime());
        else
            QCOMPARE(got, expected);
    }

    void parametersIntoTable()
    {
        const QByteArray bytes("\x00\x7f\x80\xff", 4);
        QCOMPARE(session->execute(QStringLiteral("INSERT INTO params_t VALUES (?, ?, ?, ?), (?, ?, ?, ?)"),
                                  {1, QStringLiteral("中文 a'b"), bytes, 12.125, 2, QVariant(), QVariant(), QVariant()}),
                 2LL);
        auto rs = session->query(QStringLiteral("SELECT * FROM params_t WHERE txt = ? OR id = ? ORDER BY id"),
                                 {QStringLiteral("中文 a'b"), 2});
        QCOMPARE(rs->rows.rowCount(), size_t(2));
        QCOMPARE(cell(*rs, 0, "txt").toString(), QStringLiteral("中文 a'b"));
        QCOMPARE(cell(*rs, 0, "data").toByteArray(), bytes);
        QCOMPARE(cell(*rs, 0, "amount").toString(), QStringLiteral("12.125"));
        QVERIFY(!cell(*rs, 1, "txt").isValid());
        QVERIFY(!cell(*rs, 1, "data").isValid());
    }

    void batches()
    {
        // Statements without rows first: the result is the first one with columns, and the
        // rows the others changed are counted.
        auto rs = session->query(QStringLiteral("UPDATE types_t SET s = s; SELECT count(*) AS c FROM types_t"));
        QCOMPARE(rs->columns.size(), size_t(1));
        QCOMPARE(cell(*rs, 0, "c"), QVariant(qint64(2)));
        QCOMPARE(rs->rowsAffected, 2LL);

        auto none = session->query(QStringLiteral("UPDATE types_t SET s = s WHERE id = 1"));
        QVERIFY(none->columns.empty());
        QCOMPARE(none->rowsAffected, 1LL);
        QCOMPARE(session->execute(QStringLiteral("UPDATE types_t SET s = s WHERE false")), 0LL);
        QCOMPARE(session->execute(QStringLiteral("SELECT 1")), -1LL);
    }

    // A command built from a name runs as one statement: the driver would send the whole
    // text to the server, so the session refuses a second statement before sending.
    void oneStatementScope_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("runs");
        QTest::newRow("one") << "DELETE FROM victim_t WHERE id = 1" << true;
        QTest::newRow("trailing semicolon") << "DELETE FROM victim_t WHERE id = 1; -- done" << true;
        QTest::newRow("semicolon in a quoted name") << "DELETE FROM \"t;DELETE FROM victim_t\"" << true;
        QTest::newRow("second statement") << "DELETE FROM victim_t WHERE id = 1;DELETE FROM victim_t" << false;
        QTest::newRow("name closed early") << "DELETE FROM \"t\";DELETE FROM victim_t;--\"" << false;
    }
    void oneStatementScope()
    {
        QFETCH(QString, sql);
        QFETCH(bool, runs);
        this->sql(QStringLiteral("DROP TABLE IF EXISTS victim_t; CREATE TABLE victim_t (id int);"
                                 "INSERT INTO victim_t VALUES (1), (2), (3);"
                                 "DROP TABLE IF EXISTS \"t;DELETE FROM victim_t\"; CREATE TABLE \"t;DELETE FROM victim_t\" (id int);"));
        const DatabaseError e = errorOf([&] { session->execute(sql, {}, 0, StatementScope::OneStatement); });
        QCOMPARE(e.message(), runs ? QStringLiteral("<no error>") : QStringLiteral("命令只能含一個 SQL 陳述式：") + sql);
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM victim_t")), QString::number(runs && sql.contains("id = 1") ? 2 : 3));
        this->sql(QStringLiteral("DROP TABLE victim_t; DROP TABLE \"t;DELETE FROM victim_t\""));
    }

    // Names quoted with the driver's quote character; values as plain literals.
    void quoting()
    {
        QCOMPARE(session->quoteIdentifier(QStringLiteral("t;DELETE FROM victim")), QStringLiteral("\"t;DELETE FROM victim\""));
        QCOMPARE(session->quoteIdentifier(QStringLiteral("a]b")), QStringLiteral("\"a]b\""));
        QCOMPARE(session->quoteString(QStringLiteral("it's 客戶")), QStringLiteral("'it''s 客戶'"));
        // Both read back as the one name and the one value.
        sql(QStringLiteral("CREATE TABLE \"it's \"\"q\"\" 客戶\" (v text); INSERT INTO \"it's \"\"q\"\" 客戶\" VALUES ('x')"));
        const QString name = QStringLiteral("it's \"q\" 客戶");
        auto rs = session->query(QStringLiteral("SELECT v, ") + session->quoteString(name) + QStringLiteral(" AS n FROM ") +
                                     session->quoteIdentifier(name),
                                 {}, 0, StatementScope::OneStatement);
        QCOMPARE(cell(*rs, 0, "v").toString(), QStringLiteral("x"));
        QCOMPARE(cell(*rs, 0, "n").toString(), name);
        sql(QStringLiteral("DROP TABLE \"it's \"\"q\"\" 客戶\""));
    }

    void sqlErrors()
    {
        const DatabaseError syntax = errorOf([&] { session->query(QStringLiteral("SELEC 1")); });
        QVERIFY2(syntax.message().contains(QLatin1String("syntax error at or near \"SELEC\"")), qPrintable(syntax.message()));
        QCOMPARE(syntax.sqlState(), QStringLiteral("42601"));
        const DatabaseError missing = errorOf([&] { session->execute(QStringLiteral("DELETE FROM no_such_table")); });
        QVERIFY2(missing.message().contains(QLatin1String("no_such_table")), qPrintable(missing.message()));
        // The session is still usable.
        QCOMPARE(session->query(QStringLiteral("SELECT 5 AS five"))->rows.rowCount(), size_t(1));
    }

    void transactions()
    {
        session->beginTransaction();
        session->execute(QStringLiteral("INSERT INTO tx_t VALUES (1)"));
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM tx_t")), QStringLiteral("0")); // not visible outside
        session->rollback();
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) AS c FROM tx_t")), 0, "c"), QVariant(qint64(0)));

        session->beginTransaction();
        session->execute(QStringLiteral("INSERT INTO tx_t VALUES (2)"));
        QVERIFY(!errorOf([&] { session->beginTransaction(); }).message().contains(QLatin1String("<no error>")));
        session->commit();
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM tx_t")), QStringLiteral("1"));
        QVERIFY(!errorOf([&] { session->commit(); }).message().contains(QLatin1String("<no error>")));

        // Back in autocommit: each statement stands on its own.
        session->execute(QStringLiteral("INSERT INTO tx_t VALUES (3)"));
        QCOMPARE(pg->scalar(QStringLiteral("SELECT count(*) FROM tx_t")), QStringLiteral("2"));
    }

    void timeout()
    {
        const DatabaseError e = errorOf([&] { session->query(QStringLiteral("SELECT pg_sleep(10)"), {}, 1); });
        QVERIFY2(e.message().contains(QLatin1String("statement timeout")), qPrintable(e.message()));
        QCOMPARE(e.sqlState(), QStringLiteral("57014"));
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT 7 AS seven")), 0, "seven"), QVariant(qint64(7)));
    }

    // ---- schema rowsets -----------------------------------------------------------------

    void schemaTables_data()
    {
        QTest::addColumn<QVariantList>("restrictions");
        QTest::addColumn<QStringList>("names");
        const QVariant db = QStringLiteral("<db>");
        QTest::newRow("quote in name") << QVariantList{db, none(), QStringLiteral("a'b")} << QStringList{"a'b"};
        QTest::newRow("chinese name") << QVariantList{none(), none(), QStringLiteral("客戶資料")} << QStringList{"客戶資料"};
        QTest::newRow("underscore is literal") << QVariantList{none(), none(), QStringLiteral("x_y")} << QStringList{"x_y"};
        QTest::newRow("percent is literal") << QVariantList{none(), none(), QStringLiteral("%")} << QStringList{};
        QTest::newRow("views") << QVariantList{none(), QStringLiteral("public"), none(), QStringLiteral("VIEW")}
                               << QStringList{"v_types"};
        QTest::newRow("tables of schema")
            << QVariantList{db, QStringLiteral("public"), none(), QStringLiteral("TABLE")}
            << QStringList{"a'b", "params_t", "tx_t", "types_t", "x_y", "xzy", "客戶資料"};
        QTest::newRow("other catalog") << QVariantList{QStringLiteral("no_such_db"), none(), QStringLiteral("a'b")}
                                       << QStringList{};
        QTest::newRow("missing") << QVariantList{none(), none(), QStringLiteral("nosuch")} << QStringList{};
    }

    void schemaTables()
    {
        QFETCH(QVariantList, restrictions);
        QFETCH(QStringList, names);
        std::vector<QVariant> r;
        for (const QVariant &v : restrictions)
            r.push_back(v == QVariant(QStringLiteral("<db>")) ? QVariant(session->defaultDatabase()) : v);
        auto rs = schema(QStringLiteral("TABLES"), r);
        QCOMPARE(rs->columns.size(), findSchemaLayout(QStringLiteral("TABLES"))->columns.size());
        QStringList got = columnTexts(*rs, "TABLE_NAME");
        got.sort();
        names.sort();
        QCOMPARE(got, names);
        for (size_t row = 0; row < rs->rows.rowCount(); ++row) {
            QCOMPARE(cell(*rs, row, "TABLE_CATALOG").toString(), pg->database());
            QCOMPARE(cell(*rs, row, "TABLE_SCHEMA").toString(), QStringLiteral("public"));
            QCOMPARE(cell(*rs, row, "TABLE_TYPE").toString(),
                     cell(*rs, row, "TABLE_NAME").toString() == QLatin1String("v_types") ? QStringLiteral("VIEW")
                                                                                          : QStringLiteral("TABLE"));
        }
    }

    void schemaColumns()
    {
        auto rs = schema(QStringLiteral("COLUMNS"), {session->defaultDatabase(), none(), QStringLiteral("a'b")});
        QCOMPARE(columnTexts(*rs, "COLUMN_NAME"), (QStringList{"k1", "k2", "v"}));
        QCOMPARE(columnTexts(*rs, "TABLE_NAME"), (QStringList{"a'b", "a'b", "a'b"}));
        QCOMPARE(columnTexts(*rs, "ORDINAL_POSITION"), (QStringList{"1", "2", "3"}));
        QCOMPARE(columnTexts(*rs, "DATA_TYPE"), (QStringList{"3", "130", "130"}));
        QCOMPARE(cell(*rs, 0, "IS_NULLABLE"), QVariant(false));
        QCOMPARE(cell(*rs, 2, "IS_NULLABLE"), QVariant(true));
        QCOMPARE(cell(*rs, 1, "CHARACTER_MAXIMUM_LENGTH"), QVariant(qint64(10)));
        QVERIFY(!cell(*rs, 0, "CHARACTER_MAXIMUM_LENGTH").isValid());
        QCOMPARE(cell(*rs, 0, "COLUMN_HASDEFAULT"), QVariant(false));
        QCOMPARE(cell(*rs, 2, "COLUMN_HASDEFAULT"), QVariant(true));
        QVERIFY2(cell(*rs, 2, "COLUMN_DEFAULT").toString().contains(QLatin1String("'x'")),
                 qPrintable(cell(*rs, 2, "COLUMN_DEFAULT").toString()));
        const qint64 nullableFlags = 0x20 | 0x40;
        QCOMPARE(cell(*rs, 0, "COLUMN_FLAGS").toLongLong() & nullableFlags, 0LL);
        QCOMPARE(cell(*rs, 2, "COLUMN_FLAGS").toLongLong() & nullableFlags, nullableFlags);
        QCOMPARE(cell(*rs, 2, "COLUMN_FLAGS").toLongLong() & 0x80, 0x80LL); // text is long data

        // A Chinese table and column as restriction values.
        auto chinese = schema(QStringLiteral("COLUMNS"), {none(), none(), QStringLiteral("客戶資料"), QStringLiteral("名稱")});
        QCOMPARE(columnTexts(*chinese, "COLUMN_NAME"), QStringList{QStringLiteral("名稱")});
        QCOMPARE(cell(*chinese, 0, "ORDINAL_POSITION"), QVariant(qint64(2)));
        QCOMPARE(cell(*chinese, 0, "IS_NULLABLE"), QVariant(false));

        // DBTYPE codes, precision and scale of the other kinds.
        auto types = schema(QStringLiteral("COLUMNS"), {none(), none(), QStringLiteral("types_t")});
        QHash<QString, size_t> row;
        for (size_t i = 0; i < types->rows.rowCount(); ++i)
            row.insert(cell(*types, i, "COLUMN_NAME").toString(), i);
        const QList<QPair<QString, int>> codes = {{"i", 3},   {"b", 20},  {"s", 2},   {"n", 131},  {"d", 5},
                                                  {"r", 4},   {"f", 11},  {"dt", 133}, {"ts", 135}, {"tm", 134},
                                                  {"tx", 130}, {"vc", 130}, {"ch", 130}, {"bt", 128}, {"u", 72}};
        for (const auto &[name, code] : codes)
            QCOMPARE(cell(*types, row.value(name), "DATA_TYPE").toInt(), code);
        QCOMPARE(cell(*types, row.value("n"), "NUMERIC_PRECISION"), QVariant(qint64(12)));
        QCOMPARE(cell(*types, row.value("n"), "NUMERIC_SCALE"), QVariant(qint64(2)));
        QVERIFY(!cell(*types, row.value("vc"), "NUMERIC_PRECISION").isValid());
    }

    void schemaIndexes()
    {
        // The table name is the fifth restriction.
        auto rs = schema(QStringLiteral("INDEXES"), {session->defaultDatabase(), none(), none(), none(), QStringLiteral("a'b")});
        QCOMPARE(rs->columns.size(), findSchemaLayout(QStringLiteral("INDEXES"))->columns.size());
        QStringList rows;
        for (size_t i = 0; i < rs->rows.rowCount(); ++i)
            rows << QStringLiteral("%1 %2 %3 pk=%4 unique=%5 collation=%6")
                        .arg(cell(*rs, i, "INDEX_NAME").toString(), cell(*rs, i, "ORDINAL_POSITION").toString(),
                             cell(*rs, i, "COLUMN_NAME").toString(), cell(*rs, i, "PRIMARY_KEY").toString(),
                             cell(*rs, i, "UNIQUE").toString(), cell(*rs, i, "COLLATION").toString());
        // Unique indexes first, then by name and key position.
        QCOMPARE(rows, (QStringList{"a'b_pkey 1 k2 pk=true unique=true collation=1",
                                    "a'b_pkey 2 k1 pk=true unique=true collation=1",
                                    "ix_a'b_v 1 v pk=false unique=true collation=2",
                                    "ix_plain 1 k1 pk=false unique=false collation=1"}));
        QCOMPARE(columnTexts(*rs, "TABLE_NAME"), QStringList(4, QStringLiteral("a'b")));
        QCOMPARE(columnTexts(*rs, "TYPE"), QStringList(4, QStringLiteral("1")));

        // Restricted by index name; and an index of a table with a Chinese name.
        auto one = schema(QStringLiteral("INDEXES"), {none(), none(), QStringLiteral("ix_plain"), none(), QStringLiteral("a'b")});
        QCOMPARE(columnTexts(*one, "INDEX_NAME"), QStringList{QStringLiteral("ix_plain")});
        auto chinese = schema(QStringLiteral("INDEXES"), {none(), none(), none(), none(), QStringLiteral("客戶資料")});
        QCOMPARE(columnTexts(*chinese, "COLUMN_NAME"), QStringList{QStringLiteral("編號")});
        QCOMPARE(cell(*chinese, 0, "PRIMARY_KEY"), QVariant(true));

        // Without a table: the indexes of every table.
        auto all = schema(QStringLiteral("INDEXES"), {});
        QStringList names = columnTexts(*all, "INDEX_NAME");
        names.removeDuplicates();
        for (const char *expected : {"a'b_pkey", "ix_a'b_v", "ix_plain", "types_t_pkey"})
            QVERIFY2(names.contains(QString::fromUtf8(expected)), qPrintable(names.join(", ")));
    }

    void schemaPrimaryKeys()
    {
        auto rs = schema(QStringLiteral("PRIMARY_KEYS"), {none(), QStringLiteral("public"), QStringLiteral("a'b")});
        QCOMPARE(columnTexts(*rs, "COLUMN_NAME"), (QStringList{"k2", "k1"}));
        QCOMPARE(columnTexts(*rs, "ORDINAL"), (QStringList{"1", "2"}));
        QCOMPARE(columnTexts(*rs, "PK_NAME"), (QStringList{"a'b_pkey", "a'b_pkey"}));
        auto chinese = schema(QStringLiteral("PRIMARY_KEYS"), {none(), none(), QStringLiteral("客戶資料")});
        QCOMPARE(columnTexts(*chinese, "COLUMN_NAME"), QStringList{QStringLiteral("編號")});
        QCOMPARE(schema(QStringLiteral("PRIMARY_KEYS"), {none(), none(), QStringLiteral("x_y")})->rows.rowCount(), size_t(0));

        QCOMPARE(session->primaryKey(QStringLiteral("a'b")), (QStringList{"k2", "k1"}));
        QCOMPARE(session->primaryKey(QStringLiteral("public.\"a'b\"")), (QStringList{"k2", "k1"}));
        QCOMPARE(session->primaryKey(QStringLiteral("客戶資料")), QStringList{QStringLiteral("編號")});
        QCOMPARE(session->primaryKey(QStringLiteral("x_y")), QStringList{});
    }

    void unknownRowset()
    {
        const DatabaseError e = errorOf([&] { schema(QStringLiteral("NO_SUCH_ROWSET"), {}); });
        QVERIFY2(e.message().contains(QLatin1String("NO_SUCH_ROWSET")), qPrintable(e.message()));
    }
};

QTEST_MAIN(TestOdbcSession)
#include "tst_odbc_session.moc"
