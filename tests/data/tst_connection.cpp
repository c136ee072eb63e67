// Connection strings, data-link files, the property collection and the connection's
// life against a real SQLite file.
#include "data/core/CommandQuery.h"
#include "data/core/Connection.h"
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Providers.h"
#include <QSignalSpy>
#include <functional>
#include <optional>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace data;

namespace {

// One integer from the file, read past the connection under test.
long long scalar(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

void runSql(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    const QString message = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("shop.db"));
        runSql(dbFile,
               "CREATE TABLE 客戶 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(40) NOT NULL, 電話 TEXT);"
               "CREATE UNIQUE INDEX 客戶名稱 ON 客戶(名稱);"
               "CREATE TABLE 日誌 (時間 DATETIME, 內容 TEXT);"
               "CREATE VIEW 客戶清單 AS SELECT 編號, 名稱 FROM 客戶;"
               "INSERT INTO 客戶 VALUES (1, '王小明', '02-1234'), (2, '陳大文', NULL);");
    }

    void parseAndPrint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("printed");
        QTest::newRow("plain") << "Provider=SQLOLEDB.1;Data Source=srv" << "data source" << "srv"
                               << "Provider=SQLOLEDB.1;Data Source=srv";
        QTest::newRow("blanks") << " Provider = X ; User ID = sa ;" << "USER ID" << "sa"
                                << "Provider=X;User ID=sa";
        QTest::newRow("quoted") << "Provider=MSDASQL.1;Extended Properties=\"DSN=a;UID=b\"" << "Extended Properties"
                                << "DSN=a;UID=b" << "Provider=MSDASQL.1;Extended Properties=\"DSN=a;UID=b\"";
        QTest::newRow("doubled quote") << "Password=\"a\"\"b;c\"" << "password" << "a\"b;c"
                                       << "Password='a\"b;c'";
        QTest::newRow("empty value") << "Password=;User ID=sa" << "Password" << ""
                                     << "Password=;User ID=sa";
        QTest::newRow("later wins") << "A=1;a=2" << "A" << "2" << "A=2";
    }
    void parseAndPrint()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, printed);
        ConnectionString cs(text);
        QCOMPARE(cs.value(name), value);
        QCOMPARE(cs.toString(), printed);
        QCOMPARE(ConnectionString(cs.toString()).value(name), value);
    }

    void dataLinkFile()
    {
        const QString udl = dir.filePath(QStringLiteral("demo.udl"));
        writeDataLinkFile(udl, QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QFile f(udl);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith(QByteArray("\xFF\xFE[\0o\0l\0e\0d\0b\0]\0", 16)));
        Connection conn;
        conn.setConnectionString(QStringLiteral("FILE NAME=") + udl);
        conn.Open();
        QVERIFY(conn.Connected());
        QStringList tables;
        conn.GetTableNames(tables);
        QVERIFY(tables.contains(QStringLiteral("客戶")));

        const QString bad = dir.filePath(QStringLiteral("bad.udl"));
        QFile b(bad);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.write("not a data link");
        b.close();
        for (const QString &file : {bad, dir.filePath(QStringLiteral("missing.udl"))}) {
            Connection c;
            c.setConnectionString(QStringLiteral("File Name=") + file);
            QVERIFY_THROWS_EXCEPTION(DatabaseError, c.Open());
            QVERIFY(!c.Connected());
        }
    }

    void propertiesFollowProviderOrder()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral(
            "Provider=SQLOLEDB.1;Persist Security Info=True;User ID=sa;Initial Catalog=master;Data Source=srv;Custom=1"));
        auto &props = conn.Properties();
        QStringList names;
        for (int i = 0; i < props.Count(); ++i)
            names << props.Item(i).name;
        // The catalog first: a profile is named source.catalog.
        QCOMPARE(names.indexOf(QStringLiteral("Initial Catalog")) + 1, names.indexOf(QStringLiteral("Data Source")));
        QCOMPARE(props.Find(QStringLiteral("user id"))->value, QStringLiteral("sa"));
        QCOMPARE(props.Find(QStringLiteral("Persist Security Info"))->value, QStringLiteral("True"));
        QCOMPARE(props.Find(QStringLiteral("Connect Timeout"))->value, QStringLiteral("15"));
        QCOMPARE(names.last(), QStringLiteral("Custom"));
        QVERIFY(!names.contains(QStringLiteral("Provider")));
    }

    void providerLeadsTheString()
    {
        Connection conn;
        conn.setConnectionString(QString());
        conn.setProvider(QStringLiteral("SQLOLEDB.1"));
        QCOMPARE(conn.ConnectionString(), QStringLiteral("Provider=SQLOLEDB.1"));
        conn.setConnectionString(QStringLiteral("User ID=sa;Provider=X"));
        conn.setProvider(QStringLiteral("MSDASQL.1"));
        QCOMPARE(conn.ConnectionString(), QStringLiteral("Provider=MSDASQL.1;User ID=sa"));
        QVERIFY(findProvider(QStringLiteral("sqloledb")));
        QVERIFY(!findProvider(QStringLiteral("Jet.OLEDB.4.0")));
    }

    void openCloseNotifyAndGuardString()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QSignalSpy up(&conn, &Connection::AfterConnect);
        QSignalSpy down(&conn, &Connection::AfterDisconnect);
        conn.Close(); // closing a closed connection does nothing
        QCOMPARE(down.count(), 0);
        QStringList tables;
        conn.GetTableNames(tables); // a listing opens the connection first
        QCOMPARE(up.count(), 1);
        QVERIFY(conn.Connected());
        QCOMPARE(tables, (QStringList{QStringLiteral("客戶"), QStringLiteral("日誌"), QStringLiteral("客戶清單")}));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, conn.setConnectionString(QStringLiteral("Provider=X")));
        QVERIFY(!conn.DefaultDatabase().isEmpty());
        QVERIFY(!conn.Version().isEmpty());
        conn.setConnected(false);
        QCOMPARE(down.count(), 1);
    }

    void listings()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        QStringList fields, indexes;
        conn.GetFieldNames(QStringLiteral("客戶"), fields);
        QCOMPARE(fields, (QStringList{QStringLiteral("編號"), QStringLiteral("名稱"), QStringLiteral("電話")}));
        conn.GetIndexNames(QStringLiteral("客戶"), indexes);
        QVERIFY(indexes.contains(QStringLiteral("客戶名稱")));
        conn.GetIndexNames(QStringLiteral("日誌"), indexes);
        QVERIFY(indexes.isEmpty());
        conn.GetFieldNames(QStringLiteral("客戶清單"), fields);
        QCOMPARE(fields.size(), 2);
        Dataset schema;
        std::vector<QVariant> restrictions{QVariant(), QVariant(), QStringLiteral("客戶")};
        conn.OpenSchema(QStringLiteral("COLUMNS"), &restrictions, schema);
        QCOMPARE(schema.RecordCount(), 3);
        QCOMPARE(schema.Fields(0)->FieldName(), QStringLiteral("TABLE_CATALOG"));
        QVERIFY(!schema.CanModify());
    }

    void badConnections_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no provider") << "Data Source=x" << "連線字串中沒有指定資料提供者。";
        QTest::newRow("unknown provider") << "Provider=Nothing.1;Data Source=x"
                                          << "找不到資料提供者，可能沒有正確安裝。(Nothing.1)";
        QTest::newRow("missing file") << "Provider=SQLite.1;Data Source=/nonexistent/x.db"
                                      << "無法開啟資料庫檔 /nonexistent/x.db：檔案不存在 (unable to open database file)";
    }
    void badConnections()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        Connection conn;
        conn.setConnectionString(text);
        QSignalSpy up(&conn, &Connection::AfterConnect);
        try {
            conn.Open();
            QFAIL("opening should fail");
        } catch (const DatabaseError &e) {
            QCOMPARE(e.message(), error);
        }
        QVERIFY(!conn.Connected());
        QCOMPARE(up.count(), 0);
    }

    void commandQueryAndCommand()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        CommandQuery q;
        q.setConnection(&conn);
        q.SQL() << QStringLiteral("INSERT INTO 日誌 VALUES ('2004-03-09 10:00:00', 'a');")
                << QStringLiteral("INSERT INTO 日誌 VALUES ('2004-03-10 11:30:00', 'b');");
        QCOMPARE(q.batchText(), q.SQL().join(QStringLiteral("\r\n")));
        q.ExecSQL();
        q.SQL().clear();
        q.SQL() << QStringLiteral("Select count(*) AS n") << QStringLiteral("From 日誌");
        q.Open();
        QCOMPARE(q.FieldByName(QStringLiteral("n"))->AsInteger(), 2);
        q.Close();
        Command cmd;
        cmd.setConnection(&conn);
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 日誌"), 2LL);
        const long long customers = scalar(dbFile, "SELECT count(*) FROM 客戶");
        cmd.setCommandText(QStringLiteral("DELETE FROM 日誌 WHERE 內容 = 'a'"));
        QCOMPARE(cmd.Execute(), 1LL);
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 日誌 WHERE 內容 = 'b'"), 1LL);
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 日誌"), 1LL);
        cmd.setCommandText(QStringLiteral("DELETE FROM 日誌"));
        QCOMPARE(cmd.Execute(), 1LL);
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 日誌"), 0LL);
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 客戶"), customers);
        cmd.setCommandText(QStringLiteral("SELEC nonsense"));
        try {
            cmd.Execute();
            QFAIL("a syntax error should fail");
        } catch (const DatabaseError &e) {
            QCOMPARE(e.message(), QStringLiteral("near \"SELEC\": syntax error"));
        }
    }

    // A command built from a name runs as one statement, through the command, the
    // command query and the dataset alike; typed batches still run whole.
    void builtCommandsRunOneStatement()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        const long long customers = scalar(dbFile, "SELECT count(*) FROM 客戶");
        const QString twoStatements = QStringLiteral("Select * From 客戶;DELETE FROM 客戶");
        const QString refused = QStringLiteral("命令只能含一個 SQL 陳述式：") + twoStatements;
        auto errorOf = [](const std::function<void()> &f) {
            try {
                f();
            } catch (const DatabaseError &e) {
                return e.message();
            }
            return QStringLiteral("<no error>");
        };
        Command cmd;
        cmd.setConnection(&conn);
        cmd.setCommandText(twoStatements, StatementScope::OneStatement);
        QCOMPARE(errorOf([&] { cmd.Execute(); }), refused);
        CommandQuery q;
        q.setConnection(&conn);
        q.SQL() << QStringLiteral("Select * From 客戶;") << QStringLiteral("DELETE FROM 客戶");
        q.setScope(StatementScope::OneStatement);
        const QString refusedLines = QStringLiteral("命令只能含一個 SQL 陳述式：") + q.batchText();
        QCOMPARE(errorOf([&] { q.ExecSQL(); }), refusedLines);
        QCOMPARE(errorOf([&] { q.Open(); }), refusedLines);
        QVERIFY(!q.Active());
        Dataset d;
        d.setConnection(&conn);
        d.setCommandText(twoStatements, StatementScope::OneStatement);
        QCOMPARE(errorOf([&] { d.Open(); }), refused);
        QVERIFY(!d.Active());
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 客戶"), customers);
        // Typed text is a batch: both statements run.
        conn.session().beginTransaction();
        d.setCommandText(twoStatements);
        QCOMPARE(errorOf([&] { d.Open(); }), QStringLiteral("<no error>"));
        QCOMPARE(d.RecordCount(), int(customers));
        d.Close();
        QCOMPARE(conn.session().query(QStringLiteral("Select count(*) From 客戶"))->rows.columns[0].value(0, ftLargeint).toLongLong(),
                 0LL);
        conn.session().rollback();
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 客戶"), customers);
    }

    // The SQL page runs text whose kind it guessed: rows open the dataset, anything else
    // has still run and says how many rows it changed.
    void openOrExecute()
    {
        Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        Dataset d;
        d.setConnection(&conn);
        d.setCommandText(QStringLiteral("Select * From 客戶"));
        QCOMPARE(d.OpenOrExecute(), std::optional<long long>());
        QVERIFY(d.Active());
        d.Close();
        runSql(dbFile, "INSERT INTO 日誌 VALUES ('2004-03-09 10:00:00', 'x'), ('2004-03-09 10:00:00', 'y');");
        d.setCommandText(QStringLiteral("/* select */ DELETE FROM 日誌 WHERE 內容 IN (SELECT 內容 FROM 日誌)"));
        QCOMPARE(d.OpenOrExecute(), std::optional<long long>(2));
        QVERIFY(!d.Active());
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM 日誌"), 0LL);
        d.setCommandText(QStringLiteral("CREATE TABLE scratch (x); DROP TABLE scratch; -- select"));
        QCOMPARE(d.OpenOrExecute(), std::optional<long long>(-1));
        QCOMPARE(scalar(dbFile, "SELECT count(*) FROM sqlite_schema WHERE name = 'scratch'"), 0LL);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
