// The same dataset paths the window uses, against a real PostgreSQL server through ODBC:
// listings, schema rowsets, open, edit, append, delete, refused posts, locate, sort and
// XML round trips.
#include <QtTest>
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/RowWriter.h"
#include "support/PgServer.h"
#include "support/PgTables.h"
#include "support/ResultHelpers.h"
#include <QTemporaryDir>

using namespace data;

class TestDatasetPostgres : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    Connection conn;
    QTemporaryDir dir;

    QString scalar(const QString &sql) { return pg->scalar(sql); }
    void openTable(Dataset &ds, const QString &sql)
    {
        ds.setConnection(&conn);
        ds.setCommandText(sql);
        ds.Open();
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        const QString failure = testsupport::createTables(conn, *pg, QStringLiteral(
            "CREATE TABLE 客戶 (編號 integer PRIMARY KEY, 名稱 varchar(40) NOT NULL UNIQUE,"
            " 餘額 numeric(12,2), 生日 date, 照片 bytea);"
            "CREATE INDEX 客戶名稱索引 ON 客戶 (名稱, 編號);"
            "CREATE TABLE 無鍵 (名稱 text, 數量 integer);"
            "CREATE VIEW 客戶檢視 AS SELECT 編號, 名稱 FROM 客戶;"
            "INSERT INTO 客戶 VALUES (1, '王小明', 100.50, '1980-02-29', '\\x00ff'),"
            " (2, '陳大文', NULL, NULL, NULL), (3, 'Ann', 7.25, '2001-01-01', NULL);"
            "INSERT INTO 無鍵 VALUES ('甲', 1), ('甲', 1);"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    void cleanupTestCase() { testsupport::closeAndStopShared(conn); }

    // Amounts past a double's 15 digits: typed into a numeric(19,4) column, and posted by
    // the row writer as currency (as a dataset holding currency posts them) into numeric
    // and money columns. Stored as typed; a money column keeps two decimals, so an amount
    // it would round is refused and the row left as it was.
    void exactNumbersReachTheServerExactly()
    {
        QString err;
        QVERIFY2(pg->exec(QStringLiteral("CREATE TABLE 帳 (編號 integer PRIMARY KEY, 精確 numeric(19,4), 金額 money);"
                                         "INSERT INTO 帳 VALUES (1, 0, 0);"),
                          &err),
                 qPrintable(err));
        Dataset ds;
        openTable(ds, QStringLiteral("Select * From 帳"));
        QCOMPARE(ds.FieldByName(QStringLiteral("精確"))->DataType(), ftBCD);
        ds.FieldByName(QStringLiteral("精確"))->setAsString(QStringLiteral("922337203685477.5807"));
        ds.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 精確 FROM 帳")), QStringLiteral("922337203685477.5807"));
        QCOMPARE(ds.FieldByName(QStringLiteral("精確"))->AsString(), QStringLiteral("922337203685477.5807"));

        std::vector<ColumnInfo> columns = ds.columnInfos();
        columns[1].type = columns[2].type = ftCurrency;
        auto writer = makeDatabaseRowWriter(conn.session(), QStringLiteral("帳"), columns, {QStringLiteral("編號")}, 0);
        auto post = [&](const QVariant &exactValue, const QVariant &moneyValue) {
            return testsupport::errorTextOf([&] {
                writer->update(ds.store(), 0, {1, exactValue, moneyValue}, {false, true, true});
            });
        };
        QCOMPARE(post(QStringLiteral("-12345678901234.5678"), QStringLiteral("12345678901234.56")), QStringLiteral("<no error>"));
        QCOMPARE(scalar(QStringLiteral("SELECT 精確::text || ' ' || (金額::numeric)::text FROM 帳")),
                 QStringLiteral("-12345678901234.5678 12345678901234.56"));
        ds.Close();
        openTable(ds, QStringLiteral("Select * From 帳"));
        QCOMPARE(post(QStringLiteral("1"), QStringLiteral("0.0001")),
                 QStringLiteral("資料庫無法精確存放欄位「金額」的值 0.0001（會存成 0），未寫入任何變更。"));
        QCOMPARE(scalar(QStringLiteral("SELECT 精確::text || ' ' || (金額::numeric)::text FROM 帳")),
                 QStringLiteral("-12345678901234.5678 12345678901234.56"));
    }

    void listingsMatchTheDatabase()
    {
        QStringList tables, fields, indexes;
        conn.GetTableNames(tables);
        QVERIFY(tables.contains(QStringLiteral("客戶")));
        QVERIFY(tables.contains(QStringLiteral("無鍵")));
        QVERIFY(tables.contains(QStringLiteral("客戶檢視")));
        QVERIFY(!tables.contains(QStringLiteral("pg_class")));
        conn.GetFieldNames(QStringLiteral("客戶"), fields);
        QCOMPARE(fields, (QStringList{QStringLiteral("編號"), QStringLiteral("名稱"), QStringLiteral("餘額"),
                                      QStringLiteral("生日"), QStringLiteral("照片")}));
        conn.GetIndexNames(QStringLiteral("客戶"), indexes);
        QVERIFY(indexes.contains(QStringLiteral("客戶名稱索引")));
        QVERIFY(indexes.contains(QStringLiteral("客戶_pkey")));
        conn.GetIndexNames(QStringLiteral("無鍵"), indexes);
        QVERIFY(indexes.isEmpty());
        Dataset pk;
        std::vector<QVariant> r{QVariant(), QVariant(), QStringLiteral("客戶")};
        conn.OpenSchema(QStringLiteral("PRIMARY_KEYS"), &r, pk);
        QCOMPARE(pk.RecordCount(), 1);
        QCOMPARE(pk.FieldByName(QStringLiteral("COLUMN_NAME"))->AsString(), QStringLiteral("編號"));
    }

    void typesLocateSort()
    {
        Dataset ds;
        openTable(ds, QStringLiteral("Select * From 客戶"));
        QCOMPARE(ds.RecordCount(), 3);
        QCOMPARE(ds.FieldByName(QStringLiteral("餘額"))->DataType(), ftBCD);
        QCOMPARE(ds.FieldByName(QStringLiteral("生日"))->DataType(), ftDate);
        QVERIFY(ds.FieldByName(QStringLiteral("照片"))->IsBlob() ||
                ds.FieldByName(QStringLiteral("照片"))->DataType() == ftVarBytes);
        QVERIFY(ds.Locate(QStringLiteral("名稱"), QStringLiteral("ann"), loCaseInsensitive));
        QCOMPARE(ds.FieldByName(QStringLiteral("餘額"))->AsString(), QStringLiteral("7.25"));
        QVERIFY(ds.Locate(QStringLiteral("生日"), QStringLiteral("1980/02/29"), 0));
        QCOMPARE(ds.FieldByName(QStringLiteral("照片"))->Value().toByteArray(), QByteArray("\x00\xff", 2));
        ds.setSort(QStringLiteral("名稱 DESC"));
        ds.First();
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("陳大文"));
    }

    void editAppendDelete()
    {
        Dataset ds;
        openTable(ds, QStringLiteral("Select * From 客戶"));
        QVERIFY(ds.Locate(QStringLiteral("編號"), 2, 0));
        ds.FieldByName(QStringLiteral("餘額"))->setAsString(QStringLiteral("12.34"));
        ds.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 餘額 FROM 客戶 WHERE 編號=2")), QStringLiteral("12.34"));
        ds.Append();
        ds.FieldByName(QStringLiteral("編號"))->setAsInteger(4);
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("林美麗"));
        ds.FieldByName(QStringLiteral("生日"))->setAsString(QStringLiteral("1999/12/31"));
        ds.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 生日 FROM 客戶 WHERE 名稱='林美麗'")), QStringLiteral("1999-12-31"));
        ds.Delete();
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM 客戶 WHERE 編號=4")), QStringLiteral("0"));
        QCOMPARE(ds.RecordCount(), 3);
    }

    void refusedPostsKeepTheRow()
    {
        Dataset ds;
        openTable(ds, QStringLiteral("Select * From 客戶"));
        QVERIFY(ds.Locate(QStringLiteral("編號"), 3, 0));
        // constraint violation: the server's own text, values kept, nothing written
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("王小明"));
        try {
            ds.Post();
            QFAIL("post should fail");
        } catch (const DatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("unique"), Qt::CaseInsensitive) ||
                         e.message().contains(QStringLiteral("duplicate"), Qt::CaseInsensitive),
                     qPrintable(e.message()));
        }
        QCOMPARE(ds.State(), dsEdit);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("王小明"));
        QCOMPARE(scalar(QStringLiteral("SELECT 名稱 FROM 客戶 WHERE 編號=3")), QStringLiteral("Ann"));
        ds.Cancel();
        // changed underneath by someone else
        QVERIFY(pg->exec(QStringLiteral("UPDATE 客戶 SET 餘額 = 1 WHERE 編號 = 3")));
        ds.FieldByName(QStringLiteral("餘額"))->setAsString(QStringLiteral("2"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Post());
        QCOMPARE(ds.State(), dsEdit);
        QCOMPARE(ds.FieldByName(QStringLiteral("餘額"))->AsString(), QStringLiteral("2"));
        QCOMPARE(scalar(QStringLiteral("SELECT 餘額 FROM 客戶 WHERE 編號=3")), QStringLiteral("1.00"));
        ds.Cancel();
        // duplicate rows without a key cannot be told apart
        Dataset nokey;
        openTable(nokey, QStringLiteral("Select * From 無鍵"));
        nokey.FieldByName(QStringLiteral("數量"))->setAsInteger(5);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, nokey.Post());
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM 無鍵 WHERE 數量=5")), QStringLiteral("0"));
        nokey.Cancel();
        // joins are read-only
        Dataset joined;
        openTable(joined, QStringLiteral("SELECT a.名稱, b.數量 FROM 客戶 a, 無鍵 b"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, joined.Edit());
    }

    void xmlRoundTrip()
    {
        Dataset ds;
        openTable(ds, QStringLiteral("Select * From 客戶"));
        const QString file = dir.filePath(QStringLiteral("客戶.xml"));
        ds.SaveToFile(file, pfXML);
        Dataset loaded;
        loaded.LoadFromFile(file);
        QCOMPARE(loaded.RecordCount(), ds.RecordCount());
        for (int row = 0; row < ds.RecordCount(); ++row)
            for (int f = 0; f < ds.FieldCount(); ++f)
                QCOMPARE(loaded.displayTextAt(row, f), ds.displayTextAt(row, f));
        QCOMPARE(loaded.FieldByName(QStringLiteral("餘額"))->DataType(), ftBCD);
    }

    void commandTimeoutAndErrors()
    {
        CommandQuery q;
        q.setConnection(&conn);
        q.setCommandTimeout(1);
        q.SQL() << QStringLiteral("SELECT pg_sleep(5)");
        QVERIFY_THROWS_EXCEPTION(DatabaseError, q.Open());
        q.SQL().clear();
        q.SQL() << QStringLiteral("Select * From 沒有這個表");
        try {
            q.Open();
            QFAIL("missing table should fail");
        } catch (const DatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("沒有這個表")), qPrintable(e.message()));
        }
        q.SQL().clear();
        q.SQL() << QStringLiteral("SELECT 1 AS one");
        q.Open(); // the connection is still usable
        QCOMPARE(q.FieldByName(QStringLiteral("one"))->AsInteger(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDatasetPostgres)
#include "tst_dataset_postgres.moc"
