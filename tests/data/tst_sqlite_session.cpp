// The embedded SQLite provider against real database files: opening, types and values,
// base-table information, batches, errors, timeouts, transactions and schema rowsets.
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "data/core/SchemaLayouts.h"
#include "data/sqlite/SqliteSession.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include "support/SqliteScript.h"

#include "support/ResultHelpers.h"

using namespace data;
using namespace testsupport;

namespace {

} // namespace

class TestSqliteSession : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<ProviderSession> session;

    std::unique_ptr<ProviderSession> open(const QString &file, const QString &extra = QString())
    {
        return openSqliteSession(ConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file + extra));
    }

    void exec(const char *sql)
    {
        const QString error = testsupport::sqliteScriptError(dbFile, sql);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

private slots:
    void init()
    {
        session.reset();
        dbFile = dir.filePath(QStringLiteral("銷售.db"));
        QFile::remove(dbFile);
        exec("CREATE TABLE 產品 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(30) NOT NULL UNIQUE, 單價 REAL,"
             " 圖片 BLOB, 上市 DATE, 更新 DATETIME, 時刻 TIME, 有貨 BOOLEAN, 數量 BIGINT, 價格 DECIMAL(10,2),"
             " 金額 MONEY, 說明 TEXT, 備註 NTEXT, 代碼 CHAR(4), 其他);"
             "INSERT INTO 產品 (編號, 名稱, 單價, 上市, 更新, 時刻, 有貨, 數量, 價格, 金額, 說明, 代碼)"
             " VALUES (1, '茶葉', 120.5, '2004-03-09', '2004-03-09 13:45:10.250', '08:30:00', 1,"
             " 9223372036854775807, 12.5, 3.25, '烏龍', 'TEA1');"
             "INSERT INTO 產品 (編號, 名稱) VALUES (2, '咖啡');");
        session = open(dbFile);
    }

    void cleanup() { session.reset(); }

    // ---- opening ---------------------------------------------------------------

    void missingFileIsAnErrorAndNotCreated()
    {
        const QString missing = dir.filePath(QStringLiteral("無此檔.db"));
        const QString text = errorTextOf([&] { open(missing); });
        QVERIFY2(text.contains(missing), qPrintable(text));
        QVERIFY(!QFile::exists(missing));
        // Asking for creation makes a new, empty database.
        auto created = open(missing, QStringLiteral(";Mode=ReadWrite|Create"));
        QVERIFY(QFile::exists(missing));
        QCOMPARE(created->defaultDatabase(), QStringLiteral("無此檔"));
    }

    void notADatabaseFails()
    {
        const QString junk = dir.filePath(QStringLiteral("junk.db"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        const QString text = errorTextOf([&] { open(junk); });
        QVERIFY2(text.contains(QStringLiteral("not a database")), qPrintable(text));
    }

    void memoryDatabaseAndIdentity()
    {
        auto memory = open(QStringLiteral(":memory:"));
        QCOMPARE(memory->defaultDatabase(), QStringLiteral("main"));
        QCOMPARE(memory->execute(QStringLiteral("CREATE TABLE t(a)")), -1LL);
        QCOMPARE(session->defaultDatabase(), QStringLiteral("銷售"));
        QVERIFY(session->serverVersion().startsWith(QStringLiteral("SQLite 3.")));
        QCOMPARE(session->quoteIdentifier(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    }

    void readOnlyMode()
    {
        session.reset();
        auto ro = open(dbFile, QStringLiteral(";Mode=Read"));
        QCOMPARE(ro->query(QStringLiteral("SELECT count(*) FROM 產品"))->rows.rowCount(), size_t(1));
        const QString text = errorTextOf([&] { ro->execute(QStringLiteral("DELETE FROM 產品")); });
        QVERIFY2(text.contains(QStringLiteral("readonly")), qPrintable(text));
    }

    // ---- types and values ---------------------------------------------------------

    void declaredTypes_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("isLong");
        QTest::newRow("rowid alias") << "編號" << int(ftAutoInc) << 0 << false;
        QTest::newRow("nvarchar(30)") << "名稱" << int(ftWideString) << 30 << false;
        QTest::newRow("real") << "單價" << int(ftFloat) << 0 << false;
        QTest::newRow("blob") << "圖片" << int(ftBlob) << 0 << true;
        QTest::newRow("date") << "上市" << int(ftDate) << 0 << false;
        QTest::newRow("datetime") << "更新" << int(ftDateTime) << 0 << false;
        QTest::newRow("time") << "時刻" << int(ftTime) << 0 << false;
        QTest::newRow("boolean") << "有貨" << int(ftBoolean) << 0 << false;
        QTest::newRow("bigint") << "數量" << int(ftLargeint) << 0 << false;
        QTest::newRow("decimal(10,2)") << "價格" << int(ftBCD) << 2 << false;
        QTest::newRow("money") << "金額" << int(ftCurrency) << 0 << false;
        QTest::newRow("text") << "說明" << int(ftWideString) << 0 << false;
        QTest::newRow("ntext") << "備註" << int(ftWideMemo) << 0 << true;
        QTest::newRow("char(4)") << "代碼" << int(ftWideString) << 4 << false;
        QTest::newRow("no type, all NULL") << "其他" << int(ftWideString) << 0 << false;
    }

    void declaredTypes()
    {
        QFETCH(QString, column);
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(bool, isLong);
        auto rs = session->query(QStringLiteral("SELECT * FROM 產品"));
        const int c = columnIndex(*rs, column);
        QVERIFY(c >= 0);
        const ColumnInfo &info = rs->columns[size_t(c)];
        QCOMPARE(fieldTypeName(info.type), fieldTypeName(TFieldType(type)));
        QCOMPARE(info.size, size);
        QCOMPARE(info.isLong, isLong);
        QCOMPARE(rs->rows.columns[size_t(c)].kind(), storageFor(info.type));
    }

    void declaredTypeNames_data()
    {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("precision");
        QTest::newRow("int") << "int" << int(ftInteger) << 0 << 0;
        QTest::newRow("unsigned big int") << "UNSIGNED BIG INT" << int(ftLargeint) << 0 << 0;
        QTest::newRow("varchar(255)") << "VARCHAR(255)" << int(ftWideString) << 255 << 0;
        QTest::newRow("character varying") << "character varying ( 20 )" << int(ftWideString) << 20 << 0;
        QTest::newRow("clob") << "CLOB" << int(ftWideMemo) << 0 << 0;
        QTest::newRow("double precision") << "DOUBLE PRECISION" << int(ftFloat) << 0 << 0;
        QTest::newRow("numeric(18,4)") << "NUMERIC(18, 4)" << int(ftBCD) << 4 << 18;
        QTest::newRow("timestamp") << "TIMESTAMP" << int(ftDateTime) << 0 << 0;
        QTest::newRow("smalldatetime") << "smalldatetime" << int(ftDateTime) << 0 << 0;
        QTest::newRow("bit") << "BIT" << int(ftBoolean) << 0 << 0;
        QTest::newRow("currency") << "CURRENCY" << int(ftCurrency) << 0 << 0;
        QTest::newRow("json") << "JSON" << int(ftWideString) << 0 << 0;
        QTest::newRow("empty") << "" << int(ftUnknown) << 0 << 0;
    }

    void declaredTypeNames()
    {
        QFETCH(QString, declared);
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(int, precision);
        const SqliteDeclaredType t = sqliteDeclaredType(declared);
        QCOMPARE(fieldTypeName(t.type), fieldTypeName(TFieldType(type)));
        QCOMPARE(t.size, size);
        QCOMPARE(t.precision, precision);
    }

    void valuesReadBack()
    {
        QByteArray allBytes;
        for (int i = 0; i < 256; ++i)
            allBytes.append(char(i));
        QCOMPARE(session->execute(QStringLiteral("UPDATE 產品 SET 圖片 = ? WHERE 編號 = 1"), {allBytes}), 1LL);
        auto rs = session->query(QStringLiteral("SELECT * FROM 產品 ORDER BY 編號"));
        QCOMPARE(rs->rows.rowCount(), size_t(2));
        QCOMPARE(cell(*rs, 0, QStringLiteral("編號")).toLongLong(), 1LL);
        QCOMPARE(cell(*rs, 0, QStringLiteral("名稱")).toString(), QStringLiteral("茶葉"));
        QCOMPARE(cell(*rs, 0, QStringLiteral("單價")).toDouble(), 120.5);
        QCOMPARE(cell(*rs, 0, QStringLiteral("圖片")).toByteArray(), allBytes);
        QCOMPARE(cell(*rs, 0, QStringLiteral("上市")).toDate(), QDate(2004, 3, 9));
        QCOMPARE(cell(*rs, 0, QStringLiteral("更新")).toDateTime(),
                 QDateTime(QDate(2004, 3, 9), QTime(13, 45, 10, 250), Qt::UTC));
        QCOMPARE(cell(*rs, 0, QStringLiteral("時刻")).toTime(), QTime(8, 30));
        QCOMPARE(cell(*rs, 0, QStringLiteral("有貨")).typeId(), int(QMetaType::Bool));
        QCOMPARE(cell(*rs, 0, QStringLiteral("有貨")).toBool(), true);
        QCOMPARE(cell(*rs, 0, QStringLiteral("數量")).toLongLong(), std::numeric_limits<qint64>::max());
        QCOMPARE(cell(*rs, 0, QStringLiteral("價格")).toString(), QStringLiteral("12.5"));
        QCOMPARE(cell(*rs, 0, QStringLiteral("金額")).toDouble(), 3.25);
        QCOMPARE(cell(*rs, 0, QStringLiteral("代碼")).toString(), QStringLiteral("TEA1"));
        // The second row is NULL everywhere but its key and name.
        for (const char *name : {"單價", "圖片", "上市", "更新", "時刻", "有貨", "數量", "價格", "說明", "其他"})
            QVERIFY2(!cell(*rs, 1, QString::fromUtf8(name)).isValid(), name);
    }

    void parametersBindEveryKind()
    {
        QByteArray bytes("\x00\x01\xFE\xFF", 4);
        const Params params = {qint64(7), QStringLiteral("綠茶 \"特級\" 'A'"), 0.1, bytes, QDate(1999, 12, 31),
                               QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 7)), QTime(7, 5, 3), false,
                               QVariant()};
        QCOMPARE(session->execute(QStringLiteral("INSERT INTO 產品 (編號, 名稱, 單價, 圖片, 上市, 更新, 時刻, 有貨, 說明)"
                                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                                  params),
                 1LL);
        QCOMPARE(session->lastInsertId(QStringLiteral("產品")).toLongLong(), 7LL);
        auto raw = session->query(QStringLiteral("SELECT 上市 || '|' || 更新 || '|' || 時刻 || '|' || 有貨 FROM 產品 WHERE 編號 = ?"),
                                  {7});
        QCOMPARE(cell(*raw, 0, 0).toString(), QStringLiteral("1999-12-31|2024-02-29 23:59:58.007|07:05:03|0"));
        auto rs = session->query(QStringLiteral("SELECT * FROM 產品 WHERE 名稱 = ?"), {params[1]});
        QCOMPARE(rs->rows.rowCount(), size_t(1));
        QCOMPARE(cell(*rs, 0, QStringLiteral("單價")).toDouble(), 0.1);
        QCOMPARE(cell(*rs, 0, QStringLiteral("圖片")).toByteArray(), bytes);
        QCOMPARE(cell(*rs, 0, QStringLiteral("更新")).toDateTime(),
                 QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 7), Qt::UTC));
        QCOMPARE(cell(*rs, 0, QStringLiteral("有貨")).toBool(), false);
        QVERIFY(!cell(*rs, 0, QStringLiteral("說明")).isValid());
    }

    // SQLite keeps whatever a column is given: a value that does not fit the declared
    // kind turns the column to text, and every value survives as written.
    void mixedColumnsKeepEveryValue_data()
    {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("values");   // SQL literals, "," separated
        QTest::addColumn<QStringList>("texts"); // as read back
        QTest::addColumn<int>("type");
        QTest::newRow("integer with text") << "INTEGER" << "1|'abc'|2.5|NULL"
                                           << QStringList{"1", "abc", "2.5", ""} << int(ftWideString);
        QTest::newRow("boolean beyond 0/1") << "BOOLEAN" << "0|1|2" << QStringList{"0", "1", "2"} << int(ftWideString);
        QTest::newRow("dates in other forms") << "DATETIME" << "'2024-01-02 03:04:05'|'2024-01-02'|'soon'|'2024-01-02T03:04:05'"
                                              << QStringList{"2024-01-02 03:04:05", "2024-01-02", "soon", "2024-01-02T03:04:05"}
                                              << int(ftWideString);
        QTest::newRow("date stays a date") << "DATE" << "'2024-01-02'|NULL|'1900-02-28'"
                                           << QStringList{"2024-01-02", "", "1900-02-28"} << int(ftDate);
        QTest::newRow("decimal stays decimal") << "DECIMAL(10,2)" << "12.5|3|NULL" << QStringList{"12.5", "3", ""} << int(ftBCD);
        QTest::newRow("decimal with text") << "DECIMAL(10,2)" << "12.5|'n/a'" << QStringList{"12.5", "n/a"} << int(ftWideString);
        QTest::newRow("real with text") << "REAL" << "1.5|'x'" << QStringList{"1.5", "x"} << int(ftWideString);
        QTest::newRow("money with an integer beyond double") << "MONEY" << "1.5|9007199254740993"
                                                             << QStringList{"1.5", "9007199254740993"} << int(ftWideString);
        QTest::newRow("text with binary") << "TEXT" << "'a'|x'00ff80'" << QStringList{"a", QString::fromLatin1("\x00\xff\x80", 3)}
                                          << int(ftBlob);
    }

    void mixedColumnsKeepEveryValue()
    {
        QFETCH(QString, declared);
        QFETCH(QString, values);
        QFETCH(QStringList, texts);
        QFETCH(int, type);
        auto memory = open(QStringLiteral(":memory:"));
        memory->execute(QStringLiteral("CREATE TABLE m (id INTEGER PRIMARY KEY, v %1)").arg(declared));
        for (const QString &v : values.split(QLatin1Char('|')))
            memory->execute(QStringLiteral("INSERT INTO m (v) VALUES (%1)").arg(v));
        auto rs = memory->query(QStringLiteral("SELECT v FROM m ORDER BY id"));
        QCOMPARE(fieldTypeName(rs->columns[0].type), fieldTypeName(TFieldType(type)));
        QCOMPARE(rs->rows.columns[0].kind(), storageFor(rs->columns[0].type));
        for (size_t r = 0; r < size_t(texts.size()); ++r) {
            const QVariant v = cell(*rs, r, 0);
            QString text;
            if (v.typeId() == QMetaType::QByteArray)
                text = QString::fromLatin1(v.toByteArray());
            else if (v.typeId() == QMetaType::QDate)
                text = v.toDate().toString(Qt::ISODate);
            else
                text = v.toString();
            QCOMPARE(text, texts[qsizetype(r)]);
        }
    }

    void expressionColumnsTakeTheirFirstValuesKind()
    {
        auto rs = session->query(QStringLiteral("SELECT NULL AS a, 'x' AS b UNION ALL SELECT 5, 'y' UNION ALL SELECT 6.5, 'z'"));
        QCOMPARE(rs->rows.rowCount(), size_t(3));
        // a: NULL, then an integer, then a real that is not a whole number.
        QVERIFY(!cell(*rs, 0, 0).isValid());
        QCOMPARE(cell(*rs, 1, 0).toString(), QStringLiteral("5"));
        QCOMPARE(cell(*rs, 2, 0).toString(), QStringLiteral("6.5"));
        QCOMPARE(fieldTypeName(rs->columns[1].type), fieldTypeName(ftWideString));
        auto counted = session->query(QStringLiteral("SELECT count(*) AS n FROM 產品"));
        QCOMPARE(fieldTypeName(counted->columns[0].type), fieldTypeName(ftLargeint));
        QCOMPARE(cell(*counted, 0, 0).toLongLong(), 2LL);
    }

    // ---- base tables ---------------------------------------------------------------

    void baseTableInformation()
    {
        auto rs = session->query(QStringLiteral("SELECT 編號, 名稱 AS 品名, 單價 * 2 AS 雙倍 FROM 產品"));
        const ColumnInfo &id = rs->columns[0];
        QCOMPARE(id.baseTable, QStringLiteral("產品"));
        QCOMPARE(id.baseColumn, QStringLiteral("編號"));
        QCOMPARE(id.baseCatalog, QStringLiteral("銷售"));
        QVERIFY(id.keyColumn);
        QVERIFY(id.autoIncrement);
        QVERIFY(!id.nullable);
        const ColumnInfo &name = rs->columns[1];
        QCOMPARE(name.name, QStringLiteral("品名"));
        QCOMPARE(name.baseColumn, QStringLiteral("名稱"));
        QVERIFY(!name.nullable);
        QVERIFY(!name.keyColumn);
        QVERIFY(!name.readOnly);
        const ColumnInfo &computed = rs->columns[2];
        QVERIFY(computed.baseTable.isEmpty());
        QVERIFY(computed.readOnly);
    }

    void resultsThatCannotBeWrittenBack_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("anyBaseTable");
        QTest::addColumn<bool>("anyKey");
        QTest::newRow("self-join") << "SELECT a.編號, b.名稱 FROM 產品 a JOIN 產品 b ON b.編號 = a.編號 + 1" << false << false;
        QTest::newRow("self-join through a subquery") << "SELECT a.名稱, b.單價 FROM 產品 a, (SELECT * FROM 產品 ORDER BY 單價 LIMIT 1) b" << false << false;
        QTest::newRow("filtered by its own subquery") << "SELECT 編號, 名稱 FROM 產品 WHERE 編號 IN (SELECT 編號 FROM 產品)" << true << true;
        QTest::newRow("part of a composite key") << "SELECT 甲, 值 FROM 複合" << true << false;
        QTest::newRow("whole composite key") << "SELECT 乙, 甲, 值 FROM 複合" << true << true;
        QTest::newRow("view over one table") << "SELECT * FROM 產品檢視" << true << true;
    }

    void resultsThatCannotBeWrittenBack()
    {
        QFETCH(QString, sql);
        QFETCH(bool, anyBaseTable);
        QFETCH(bool, anyKey);
        session->execute(QStringLiteral("CREATE TABLE 複合 (甲 INTEGER, 乙 TEXT, 值 REAL, PRIMARY KEY (甲, 乙));"
                                        "CREATE VIEW 產品檢視 AS SELECT 編號, 名稱 FROM 產品 WHERE 單價 > 0"));
        auto rs = session->query(sql);
        bool base = false, key = false;
        for (const auto &c : rs->columns) {
            base = base || !c.baseTable.isEmpty();
            key = key || c.keyColumn;
        }
        QCOMPARE(base, anyBaseTable);
        QCOMPARE(key, anyKey);
    }

    void onlyTablesAnUnqualifiedNameReachesAreWritable()
    {
        session->execute(QStringLiteral("ATTACH ':memory:' AS aux; CREATE TABLE aux.u (x INTEGER);"
                                        "CREATE TEMP TABLE 產品 (編號 INTEGER PRIMARY KEY, 名稱 TEXT)"));
        QVERIFY(session->query(QStringLiteral("SELECT * FROM aux.u"))->columns[0].baseTable.isEmpty());
        // The temporary table hides the main one of the same name.
        QVERIFY(session->query(QStringLiteral("SELECT * FROM main.產品"))->columns[0].baseTable.isEmpty());
        auto temp = session->query(QStringLiteral("SELECT * FROM 產品"));
        QCOMPARE(temp->columns[0].baseTable, QStringLiteral("產品"));
        QCOMPARE(temp->columns[0].baseCatalog, QStringLiteral("temp"));
    }

    void generatedColumnIsReadOnly()
    {
        session->execute(QStringLiteral("CREATE TABLE g (a INTEGER, b INTEGER GENERATED ALWAYS AS (a * 2))"));
        auto rs = session->query(QStringLiteral("SELECT a, b FROM g"));
        QVERIFY(!rs->columns[0].readOnly);
        QVERIFY(rs->columns[1].readOnly);
        QCOMPARE(rs->columns[1].baseTable, QStringLiteral("g"));
    }

    // ---- batches and errors ----------------------------------------------------------

    void multiStatementBatch()
    {
        auto rs = session->query(QStringLiteral(
            "CREATE TABLE x (a INTEGER);\r\n-- a comment\r\nINSERT INTO x VALUES (?), (?);\r\n"
            "SELECT a FROM x ORDER BY a;\r\nSELECT 99;\r\nINSERT INTO x VALUES (?);"),
            {10, 20, 30});
        QCOMPARE(rs->columns.size(), size_t(1));
        QCOMPARE(rs->columns[0].name, QStringLiteral("a"));
        QCOMPARE(rs->rows.rowCount(), size_t(2));
        QCOMPARE(cell(*rs, 1, 0).toLongLong(), 20LL);
        // The statements after the result ran too.
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT max(a) FROM x")), 0, 0).toLongLong(), 30LL);
        // Rows affected add up over the changing statements of a batch.
        QCOMPARE(session->execute(QStringLiteral("UPDATE x SET a = a + 1; CREATE INDEX xa ON x(a); DELETE FROM x WHERE a = 11")),
                 4LL);
        QCOMPARE(session->execute(QStringLiteral("UPDATE x SET a = 0 WHERE a < 0")), 0LL);
        auto none = session->query(QStringLiteral("DELETE FROM x"));
        QVERIFY(none->columns.empty());
        QCOMPARE(none->rowsAffected, 2LL);
    }

    void errorsCarrySqliteText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("syntax") << "SELEC 1" << "near \"SELEC\": syntax error";
        QTest::newRow("missing table") << "SELECT * FROM 無此表" << "no such table: 無此表";
        QTest::newRow("missing column") << "SELECT 無此欄 FROM 產品" << "no such column: 無此欄";
        QTest::newRow("constraint") << "INSERT INTO 產品 (名稱) VALUES ('茶葉')" << "UNIQUE constraint failed: 產品.名稱";
        QTest::newRow("second statement") << "SELECT 1; SELECT * FROM 無此表" << "no such table: 無此表";
    }

    void errorsCarrySqliteText()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(errorTextOf([&] { session->query(sql); }), expected);
        QCOMPARE(errorTextOf([&] { session->execute(sql); }), expected);
    }

    // A command built from a name runs as one statement: whatever follows it fails the
    // command before its first statement runs.
    void oneStatementScope_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("runs");
        QTest::newRow("one statement") << "DELETE FROM 產品 WHERE 編號 = 2" << true;
        QTest::newRow("trailing semicolon and comment") << "DELETE FROM 產品 WHERE 編號 = 2; -- done\r\n" << true;
        QTest::newRow("second statement") << "DELETE FROM 產品 WHERE 編號 = 2;DELETE FROM victim" << false;
        QTest::newRow("second after a comment") << "DELETE FROM 產品 WHERE 編號 = 2; /* x */ DELETE FROM victim" << false;
        QTest::newRow("broken second statement") << "DELETE FROM 產品 WHERE 編號 = 2; nonsense" << false;
    }
    void oneStatementScope()
    {
        QFETCH(QString, sql);
        QFETCH(bool, runs);
        session->execute(QStringLiteral("CREATE TABLE victim (id INTEGER); INSERT INTO victim VALUES (1), (2), (3)"));
        const QString refused = QStringLiteral("命令只能含一個 SQL 陳述式：") + sql;
        const QString expected = runs ? QStringLiteral("<no error>") : refused;
        QCOMPARE(errorTextOf([&] { session->execute(sql, {}, 0, StatementScope::OneStatement); }), expected);
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM 產品")), 0, 0).toLongLong(), runs ? 1LL : 2LL);
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM victim")), 0, 0).toLongLong(), 3LL);
        // The same through query: nothing fetched, nothing run.
        const QString select = QString(sql).replace(QStringLiteral("DELETE FROM 產品 WHERE 編號 = 2"),
                                                    QStringLiteral("SELECT * FROM 產品"));
        const QString selectExpected = runs ? QStringLiteral("<no error>")
                                            : QStringLiteral("命令只能含一個 SQL 陳述式：") + select;
        QCOMPARE(errorTextOf([&] { session->query(select, {}, 0, StatementScope::OneStatement); }), selectExpected);
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM victim")), 0, 0).toLongLong(), 3LL);
    }

    // Row counts of the STATISTICS rowset name each table, whatever its name holds.
    void statisticsCountHostileNames()
    {
        session->execute(QStringLiteral(
            "CREATE TABLE victim (id INTEGER); INSERT INTO victim VALUES (1), (2), (3);"
            "CREATE TABLE t (n TEXT); INSERT INTO t VALUES ('t');"
            "CREATE TABLE \"t;DELETE FROM victim\" (n TEXT); INSERT INTO \"t;DELETE FROM victim\" VALUES ('a'), ('b');"
            "CREATE TABLE \"a\"\"b\" (n TEXT);"));
        auto stats = session->openSchema(QStringLiteral("STATISTICS"), {});
        QStringList counts;
        for (size_t r = 0; r < stats->rows.rowCount(); ++r)
            counts << cell(*stats, r, QStringLiteral("TABLE_NAME")).toString() + QLatin1Char('=') +
                          cell(*stats, r, QStringLiteral("CARDINALITY")).toString();
        QCOMPARE(counts, (QStringList{"a\"b=0", "sqlite_schema=6", "t=1", "t;DELETE FROM victim=2", "victim=3", "產品=2"}));
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM victim")), 0, 0).toLongLong(), 3LL);
    }

    void timeoutInterruptsAndSessionStaysUsable()
    {
        const QString endless = QStringLiteral(
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c) SELECT count(*) FROM c");
        try {
            session->query(endless, {}, 1);
            QFAIL("the statement should time out");
        } catch (const DatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("逾時")), qPrintable(e.message()));
            QCOMPARE(e.sqlState(), QStringLiteral("HYT00"));
        }
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM 產品")), 0, 0).toLongLong(), 2LL);
    }

    // ---- transactions --------------------------------------------------------------

    void transactionsAndNestedSavepoints()
    {
        session->beginTransaction();
        session->execute(QStringLiteral("DELETE FROM 產品 WHERE 編號 = 2"));
        session->rollback();
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT count(*) FROM 產品")), 0, 0).toLongLong(), 2LL);

        // Inside a transaction begun by a typed BEGIN, an inner rollback keeps the outer work.
        session->execute(QStringLiteral("BEGIN"));
        session->execute(QStringLiteral("UPDATE 產品 SET 單價 = 1 WHERE 編號 = 1"));
        session->beginTransaction();
        session->execute(QStringLiteral("DELETE FROM 產品"));
        session->rollback();
        session->execute(QStringLiteral("COMMIT"));
        auto rs = session->query(QStringLiteral("SELECT count(*), max(單價) FROM 產品"));
        QCOMPARE(cell(*rs, 0, 0).toLongLong(), 2LL);
        QCOMPARE(cell(*rs, 0, 1).toDouble(), 1.0);

        session->beginTransaction();
        session->execute(QStringLiteral("UPDATE 產品 SET 單價 = 2"));
        session->commit();
        QCOMPARE(cell(*session->query(QStringLiteral("SELECT min(單價) FROM 產品")), 0, 0).toDouble(), 2.0);
    }

    void primaryKeys()
    {
        session->execute(QStringLiteral("CREATE TABLE 複合 (甲 INTEGER, 乙 TEXT, 值 REAL, PRIMARY KEY (乙, 甲))"));
        QCOMPARE(session->primaryKey(QStringLiteral("產品")), QStringList{QStringLiteral("編號")});
        QCOMPARE(session->primaryKey(QStringLiteral("複合")), (QStringList{QStringLiteral("乙"), QStringLiteral("甲")}));
        QCOMPARE(session->primaryKey(QStringLiteral("無此表")), QStringList());
    }

    // ---- schema rowsets --------------------------------------------------------------

    void schemaRowsetsHaveTheirLayouts_data()
    {
        QTest::addColumn<QString>("rowset");
        for (const char *r : {"TABLES", "COLUMNS", "INDEXES", "PRIMARY_KEYS", "PROVIDER_TYPES", "STATISTICS"})
            QTest::newRow(r) << QString::fromLatin1(r);
    }

    void schemaRowsetsHaveTheirLayouts()
    {
        QFETCH(QString, rowset);
        auto rs = session->openSchema(rowset, {});
        const SchemaLayout *layout = findSchemaLayout(rowset);
        QVERIFY(layout);
        QCOMPARE(rs->columns.size(), layout->columns.size());
        for (size_t i = 0; i < rs->columns.size(); ++i)
            QCOMPARE(rs->columns[i].name, layout->columns[i].name);
        QVERIFY(rs->rows.rowCount() > 0);
    }

    void tablesWithRestrictionsAndAwkwardNames()
    {
        session->execute(QStringLiteral("CREATE TABLE \"a'b\" (x INTEGER PRIMARY KEY, \"y]z\" TEXT);"
                                        "CREATE TABLE \"x]y\" (\"q\"\"q\" TEXT NOT NULL DEFAULT 'é', w BLOB);"
                                        "CREATE VIEW 檢視 AS SELECT * FROM 產品;"
                                        "CREATE TABLE s (id INTEGER PRIMARY KEY AUTOINCREMENT, v);"
                                        "INSERT INTO \"x]y\" VALUES ('1', NULL), ('2', NULL);"));
        auto all = session->openSchema(QStringLiteral("TABLES"), {});
        QCOMPARE(columnTexts(*all, QStringLiteral("TABLE_NAME")),
                 (QStringList{"sqlite_schema", "sqlite_sequence", "a'b", "s", "x]y", "產品", "檢視"}));
        QCOMPARE(columnTexts(*all, QStringLiteral("TABLE_TYPE")),
                 (QStringList{"SYSTEM TABLE", "SYSTEM TABLE", "TABLE", "TABLE", "TABLE", "TABLE", "VIEW"}));
        QCOMPARE(cell(*all, 0, QStringLiteral("TABLE_CATALOG")).toString(), QStringLiteral("銷售"));
        QVERIFY(!cell(*all, 0, QStringLiteral("TABLE_SCHEMA")).isValid());

        for (const QString &name : {QStringLiteral("a'b"), QStringLiteral("x]y"), QStringLiteral("產品")}) {
            auto one = session->openSchema(QStringLiteral("TABLES"), {QVariant(), QVariant(), name});
            QCOMPARE(columnTexts(*one, QStringLiteral("TABLE_NAME")), QStringList{name});
        }
        auto views = session->openSchema(QStringLiteral("TABLES"), {QVariant(), QVariant(), QVariant(), QStringLiteral("VIEW")});
        QCOMPARE(columnTexts(*views, QStringLiteral("TABLE_NAME")), QStringList{QStringLiteral("檢視")});
        // Restrictions are exact values, never patterns or SQL.
        for (const QString &probe : {QStringLiteral("%"), QStringLiteral("' OR 1=1 --"), QStringLiteral("產")})
            QCOMPARE(session->openSchema(QStringLiteral("TABLES"), {QVariant(), QVariant(), probe})->rows.rowCount(),
                     size_t(0));
        QCOMPARE(session->openSchema(QStringLiteral("TABLES"), {QStringLiteral("other")})->rows.rowCount(), size_t(0));

        auto cols = session->openSchema(QStringLiteral("COLUMNS"), {QVariant(), QVariant(), QStringLiteral("x]y")});
        QCOMPARE(columnTexts(*cols, QStringLiteral("COLUMN_NAME")), (QStringList{"q\"q", "w"}));
        QCOMPARE(cell(*cols, 0, QStringLiteral("ORDINAL_POSITION")).toLongLong(), 1LL);
        QCOMPARE(cell(*cols, 0, QStringLiteral("IS_NULLABLE")).toBool(), false);
        QCOMPARE(cell(*cols, 0, QStringLiteral("COLUMN_HASDEFAULT")).toBool(), true);
        QCOMPARE(cell(*cols, 0, QStringLiteral("COLUMN_DEFAULT")).toString(), QStringLiteral("'é'"));
        QCOMPARE(cell(*cols, 0, QStringLiteral("DATA_TYPE")).toInt(), int(DBTYPE_WSTR));
        QCOMPARE(cell(*cols, 1, QStringLiteral("DATA_TYPE")).toInt(), int(DBTYPE_BYTES));
        QCOMPARE(cell(*cols, 1, QStringLiteral("COLUMN_FLAGS")).toInt() & 0xE4, 0x4 | 0x20 | 0x40 | 0x80);
        auto stats = session->openSchema(QStringLiteral("STATISTICS"), {QVariant(), QVariant(), QStringLiteral("x]y")});
        QCOMPARE(cell(*stats, 0, QStringLiteral("CARDINALITY")).toLongLong(), 2LL);
        auto keys = session->openSchema(QStringLiteral("PRIMARY_KEYS"), {QVariant(), QVariant(), QStringLiteral("a'b")});
        QCOMPARE(columnTexts(*keys, QStringLiteral("COLUMN_NAME")), QStringList{QStringLiteral("x")});
    }

    void columnsDescribeTypes()
    {
        auto cols = session->openSchema(QStringLiteral("COLUMNS"), {QVariant(), QVariant(), QStringLiteral("產品")});
        QCOMPARE(cols->rows.rowCount(), size_t(15));
        struct Expect { const char *column; int dataType; QVariant maxLength, precision, scale; };
        const Expect expected[] = {
            {"編號", DBTYPE_I4, QVariant(), 10, QVariant()},
            {"名稱", DBTYPE_WSTR, 30, QVariant(), QVariant()},
            {"單價", DBTYPE_R8, QVariant(), 15, QVariant()},
            {"上市", DBTYPE_DBDATE, QVariant(), QVariant(), QVariant()},
            {"更新", DBTYPE_DBTIMESTAMP, QVariant(), QVariant(), QVariant()},
            {"有貨", DBTYPE_BOOL, QVariant(), QVariant(), QVariant()},
            {"數量", DBTYPE_I8, QVariant(), 19, QVariant()},
            {"價格", DBTYPE_NUMERIC, QVariant(), 10, 2},
            {"金額", DBTYPE_CY, QVariant(), 19, QVariant()},
            {"說明", DBTYPE_WSTR, 0, QVariant(), QVariant()},
            {"其他", DBTYPE_VARIANT, QVariant(), QVariant(), QVariant()},
        };
        const QStringList names = columnTexts(*cols, QStringLiteral("COLUMN_NAME"));
        for (const auto &e : expected) {
            const size_t row = size_t(names.indexOf(QString::fromUtf8(e.column)));
            QVERIFY2(row < size_t(names.size()), e.column);
            QCOMPARE(cell(*cols, row, QStringLiteral("DATA_TYPE")).toInt(), e.dataType);
            QCOMPARE(cell(*cols, row, QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).isValid(), e.maxLength.isValid());
            if (e.maxLength.isValid())
                QCOMPARE(cell(*cols, row, QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).toInt(), e.maxLength.toInt());
            QCOMPARE(cell(*cols, row, QStringLiteral("NUMERIC_PRECISION")).toInt(), e.precision.toInt());
            QCOMPARE(cell(*cols, row, QStringLiteral("NUMERIC_SCALE")).isValid(), e.scale.isValid());
        }
        // The rowid column is the row identifier and cannot be NULL.
        QCOMPARE(cell(*cols, 0, QStringLiteral("COLUMN_FLAGS")).toInt() & 0x100, 0x100);
        QCOMPARE(cell(*cols, 0, QStringLiteral("IS_NULLABLE")).toBool(), false);
        QCOMPARE(cell(*cols, 2, QStringLiteral("IS_NULLABLE")).toBool(), true);
        // A single column by name.
        auto one = session->openSchema(QStringLiteral("COLUMNS"),
                                       {QVariant(), QVariant(), QStringLiteral("產品"), QStringLiteral("單價")});
        QCOMPARE(one->rows.rowCount(), size_t(1));
        QCOMPARE(cell(*one, 0, QStringLiteral("ORDINAL_POSITION")).toLongLong(), 3LL);
    }

    void indexesIncludeImplicitOnes()
    {
        session->execute(QStringLiteral("CREATE TABLE 明細 (單號 TEXT, 行 INTEGER, 產品 INTEGER, PRIMARY KEY (單號, 行));"
                                        "CREATE INDEX 明細_產品 ON 明細 (產品 DESC, 行);"
                                        "CREATE TABLE \"a'b\" (k TEXT PRIMARY KEY, v) WITHOUT ROWID"));
        auto ix = session->openSchema(QStringLiteral("INDEXES"),
                                      {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("明細")});
        QCOMPARE(columnTexts(*ix, QStringLiteral("INDEX_NAME")),
                 (QStringList{"sqlite_autoindex_明細_1", "sqlite_autoindex_明細_1", "明細_產品", "明細_產品"}));
        QCOMPARE(columnTexts(*ix, QStringLiteral("COLUMN_NAME")), (QStringList{"單號", "行", "產品", "行"}));
        QCOMPARE(columnTexts(*ix, QStringLiteral("ORDINAL_POSITION")), (QStringList{"1", "2", "1", "2"}));
        QCOMPARE(columnTexts(*ix, QStringLiteral("PRIMARY_KEY")), (QStringList{"true", "true", "false", "false"}));
        QCOMPARE(columnTexts(*ix, QStringLiteral("UNIQUE")), (QStringList{"true", "true", "false", "false"}));
        QCOMPARE(columnTexts(*ix, QStringLiteral("COLLATION")), (QStringList{"1", "1", "2", "1"}));
        // The UNIQUE constraint of 產品 is an index too; restricted by index name.
        auto unique = session->openSchema(QStringLiteral("INDEXES"),
                                          {QVariant(), QVariant(), QStringLiteral("sqlite_autoindex_產品_1")});
        QCOMPARE(columnTexts(*unique, QStringLiteral("COLUMN_NAME")), QStringList{QStringLiteral("名稱")});
        QCOMPARE(cell(*unique, 0, QStringLiteral("PRIMARY_KEY")).toBool(), false);
        auto clustered = session->openSchema(QStringLiteral("INDEXES"),
                                             {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("a'b")});
        QCOMPARE(clustered->rows.rowCount(), size_t(1));
        QCOMPARE(cell(*clustered, 0, QStringLiteral("CLUSTERED")).toBool(), true);
        auto pk = session->openSchema(QStringLiteral("PRIMARY_KEYS"), {QVariant(), QVariant(), QStringLiteral("明細")});
        QCOMPARE(columnTexts(*pk, QStringLiteral("COLUMN_NAME")), (QStringList{"單號", "行"}));
        QCOMPARE(cell(*pk, 0, QStringLiteral("PK_NAME")).toString(), QStringLiteral("sqlite_autoindex_明細_1"));
    }

    void providerTypes()
    {
        auto all = session->openSchema(QStringLiteral("PROVIDER_TYPES"), {});
        QVERIFY(columnTexts(*all, QStringLiteral("TYPE_NAME")).contains(QStringLiteral("NVARCHAR")));
        auto wide = session->openSchema(QStringLiteral("PROVIDER_TYPES"), {int(DBTYPE_WSTR), true});
        QCOMPARE(columnTexts(*wide, QStringLiteral("TYPE_NAME")), QStringList{QStringLiteral("TEXT")});
        // Sorted by DATA_TYPE, one best match per type.
        qint64 last = -1;
        QSet<qint64> best;
        for (size_t r = 0; r < all->rows.rowCount(); ++r) {
            const qint64 type = cell(*all, r, QStringLiteral("DATA_TYPE")).toLongLong();
            QVERIFY(type >= last);
            last = type;
            if (cell(*all, r, QStringLiteral("BEST_MATCH")).toBool()) {
                QVERIFY(!best.contains(type));
                best.insert(type);
            }
        }
    }

    void unsupportedRowsetNamesItself()
    {
        const QString text = errorTextOf([&] { session->openSchema(QStringLiteral("VIEWS"), {}); });
        QVERIFY2(text.contains(QStringLiteral("VIEWS")) && text.contains(QStringLiteral("不提供")), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestSqliteSession)
#include "tst_sqlite_session.moc"
