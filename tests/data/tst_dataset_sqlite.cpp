// Rows read from a real SQLite file and written back by Post and Delete.
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include "support/SqliteScript.h"

using namespace data;

class TestDatasetSqlite : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;
    Connection conn;

    void exec(const char *sql)
    {
        const QString error = testsupport::sqliteScriptError(dbFile, sql);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QVariant scalar(const QString &sql)
    {
        Dataset q;
        q.setConnection(&conn);
        q.setCommandText(sql);
        q.Open();
        return q.Fields(0)->Value();
    }

private slots:
    void init()
    {
        conn.Close();
        dbFile = dir.filePath(QStringLiteral("rows.db"));
        QFile::remove(dbFile);
        exec("CREATE TABLE 產品 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(30) NOT NULL UNIQUE, 單價 REAL, 圖片 BLOB);"
             "INSERT INTO 產品 VALUES (1, '茶葉', 120.5, x'00FF10'), (2, '咖啡', 99, NULL);"
             "CREATE TABLE 無鍵 (名稱 TEXT, 數量 INTEGER);"
             "INSERT INTO 無鍵 VALUES ('甲', 1), ('甲', 1), ('乙', NULL);"
             "CREATE TABLE 明細 (產品編號 INTEGER, 數量 INTEGER);"
             "INSERT INTO 明細 VALUES (1, 5);");
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    }

    void typesAndValues()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 產品"));
        ds.Open();
        QCOMPARE(ds.FieldCount(), 4);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->DataType(), ftWideString);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->Size(), 30);
        QCOMPARE(ds.FieldByName(QStringLiteral("單價"))->DataType(), ftFloat);
        QVERIFY(ds.FieldByName(QStringLiteral("圖片"))->IsBlob());
        QCOMPARE(ds.FieldByName(QStringLiteral("圖片"))->Value().toByteArray(), QByteArray("\x00\xFF\x10", 3));
        QCOMPARE(ds.FieldByName(QStringLiteral("單價"))->AsString(), QStringLiteral("120.5"));
        QVERIFY(ds.CanModify());
    }

    void editAppendDeleteReachTheFile()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("select * from 產品;"));
        ds.Open();
        ds.Edit();
        ds.FieldByName(QStringLiteral("單價"))->setAsString(QStringLiteral("130"));
        ds.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 單價 FROM 產品 WHERE 編號=1")).toDouble(), 130.0);
        ds.Append();
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("可可"));
        ds.Post();
        QCOMPARE(ds.RecordCount(), 3);
        QCOMPARE(ds.FieldByName(QStringLiteral("編號"))->AsInteger(), 3); // key filled in
        QCOMPARE(scalar(QStringLiteral("SELECT 名稱 FROM 產品 WHERE 編號=3")).toString(), QStringLiteral("可可"));
        ds.First();
        ds.Delete();
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM 產品")).toInt(), 2);
    }

    void refusedPostKeepsTypedValues()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 產品"));
        ds.Open();
        ds.Next();
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("茶葉")); // UNIQUE violation
        ds.FieldByName(QStringLiteral("單價"))->setAsString(QStringLiteral("1"));
        try {
            ds.Post();
            QFAIL("post should fail");
        } catch (const DatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("UNIQUE")), qPrintable(e.message()));
        }
        QCOMPARE(ds.State(), dsEdit);
        QCOMPARE(ds.FieldByName(QStringLiteral("名稱"))->AsString(), QStringLiteral("茶葉"));
        QCOMPARE(ds.FieldByName(QStringLiteral("單價"))->AsString(), QStringLiteral("1"));
        QCOMPARE(scalar(QStringLiteral("SELECT 單價 FROM 產品 WHERE 編號=2")).toDouble(), 99.0);
        ds.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("咖啡豆"));
        ds.Post(); // corrected: goes through
        QCOMPARE(scalar(QStringLiteral("SELECT 名稱 FROM 產品 WHERE 編號=2")).toString(), QStringLiteral("咖啡豆"));
    }

    void rowChangedUnderneath()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 產品"));
        ds.Open();
        exec("UPDATE 產品 SET 單價 = 1 WHERE 編號 = 1");
        ds.Edit();
        ds.FieldByName(QStringLiteral("單價"))->setAsString(QStringLiteral("2"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Post());
        QCOMPARE(ds.State(), dsEdit);
        QCOMPARE(scalar(QStringLiteral("SELECT 單價 FROM 產品 WHERE 編號=1")).toDouble(), 1.0);
        ds.Cancel();
    }

    void tableWithoutKey()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 無鍵"));
        ds.Open();
        // Two identical rows: an edit cannot tell them apart, nothing is changed.
        ds.Edit();
        ds.FieldByName(QStringLiteral("數量"))->setAsInteger(9);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Post());
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM 無鍵 WHERE 數量=9")).toInt(), 0);
        ds.Cancel();
        // A row with a NULL value is found by IS NULL.
        ds.Last();
        ds.FieldByName(QStringLiteral("數量"))->setAsInteger(7);
        ds.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 數量 FROM 無鍵 WHERE 名稱='乙'")).toInt(), 7);
    }

    void joinedResultIsReadOnly()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("SELECT p.名稱, m.數量 FROM 產品 p JOIN 明細 m ON m.產品編號 = p.編號"));
        ds.Open();
        QVERIFY(!ds.CanModify());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, ds.Edit());
        Dataset computed;
        computed.setConnection(&conn);
        computed.setCommandText(QStringLiteral("SELECT 名稱, 單價 * 2 AS 雙倍 FROM 產品"));
        computed.Open();
        QVERIFY(!computed.CanModify());
    }

    void xmlRoundTripStaysInMemory()
    {
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 產品"));
        ds.Open();
        const QString file = dir.filePath(QStringLiteral("產品.xml"));
        ds.SaveToFile(file, pfXML);
        Dataset loaded;
        loaded.LoadFromFile(file);
        QCOMPARE(loaded.RecordCount(), 2);
        QCOMPARE(loaded.FieldNames(), ds.FieldNames());
        loaded.Edit();
        loaded.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("綠茶"));
        loaded.Post();
        loaded.Append();
        loaded.FieldByName(QStringLiteral("編號"))->setAsInteger(10);
        loaded.FieldByName(QStringLiteral("名稱"))->setAsString(QStringLiteral("紅茶"));
        loaded.Post();
        QCOMPARE(scalar(QStringLiteral("SELECT 名稱 FROM 產品 WHERE 編號=1")).toString(), QStringLiteral("茶葉"));
        loaded.SaveToFile(file, pfXML);
        Dataset again;
        again.LoadFromFile(file);
        QCOMPARE(again.RecordCount(), 3);
        QVERIFY(again.Locate(QStringLiteral("名稱"), QStringLiteral("綠茶"), 0));
        QCOMPARE(again.FieldByName(QStringLiteral("圖片"))->Value().toByteArray(), QByteArray("\x00\xFF\x10", 3));
        // A bad file leaves the open dataset as it was.
        QVERIFY_THROWS_EXCEPTION(DatabaseError, again.LoadFromFile(dir.filePath(QStringLiteral("none.xml"))));
        QCOMPARE(again.RecordCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestDatasetSqlite)
#include "tst_dataset_sqlite.moc"
