// Writing edited, appended and deleted rows back to a real SQLite file: by key, without
// a key, and the cases that must change nothing at all.
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "data/core/RowWriter.h"
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include "support/SqliteScript.h"

#include "support/ResultHelpers.h"

using namespace data;
using namespace testsupport;

namespace {

const QString kChanged = QStringLiteral("資料列已被其他使用者修改或刪除，未寫入任何變更。");
const QString kNotUnique = QStringLiteral("此筆資料無法唯一識別，未寫入任何變更。");

// One opened result and a writer for it, the way the dataset builds them.
struct Loaded {
    std::unique_ptr<ResultSet> rs;
    std::unique_ptr<RowWriter> writer;

    int column(const QString &name) const
    {
        for (size_t i = 0; i < rs->columns.size(); ++i)
            if (rs->columns[i].name == name)
                return int(i);
        return -1;
    }
    std::vector<QVariant> row(size_t r) const
    {
        std::vector<QVariant> values;
        for (size_t c = 0; c < rs->columns.size(); ++c)
            values.push_back(rs->rows.columns[c].value(r, rs->columns[c].type));
        return values;
    }
    // Row r with the named columns set, and the matching modified flags.
    std::pair<std::vector<QVariant>, std::vector<bool>> edit(size_t r, const QVariantMap &changes) const
    {
        auto values = row(r);
        std::vector<bool> modified(values.size(), false);
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            const int c = column(it.key());
            Q_ASSERT(c >= 0);
            values[size_t(c)] = it.value();
            modified[size_t(c)] = true;
        }
        return {values, modified};
    }
    std::pair<std::vector<QVariant>, std::vector<bool>> fresh(const QVariantMap &changes) const
    {
        std::vector<QVariant> values(rs->columns.size());
        std::vector<bool> modified(values.size(), false);
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            const int c = column(it.key());
            Q_ASSERT(c >= 0);
            values[size_t(c)] = it.value();
            modified[size_t(c)] = true;
        }
        return {values, modified};
    }
};

} // namespace

class TestRowWriter : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;
    std::unique_ptr<ProviderSession> session;

    // Another user's connection.
    void exec(const char *sql)
    {
        const QString error = testsupport::sqliteScriptError(dbFile, sql);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    QString dump(const QString &sql)
    {
        auto rs = session->query(sql);
        QStringList rows;
        for (size_t r = 0; r < rs->rows.rowCount(); ++r) {
            QStringList cells;
            for (size_t c = 0; c < rs->columns.size(); ++c) {
                const QVariant v = rs->rows.columns[c].value(r, rs->columns[c].type);
                cells << (v.isValid() ? v.toString() : QStringLiteral("NULL"));
            }
            rows << cells.join(QLatin1Char(','));
        }
        return rows.join(QLatin1Char(';'));
    }

    Loaded load(const QString &table, const QString &sql = QString())
    {
        Loaded l;
        l.rs = session->query(sql.isEmpty() ? QStringLiteral("SELECT * FROM %1").arg(session->quoteIdentifier(table)) : sql);
        QStringList keys;
        for (const auto &c : l.rs->columns)
            if (c.keyColumn)
                keys << c.name;
        l.writer = makeDatabaseRowWriter(*session, table, l.rs->columns, keys, 0);
        return l;
    }

private slots:
    void init()
    {
        session.reset();
        dbFile = dir.filePath(QStringLiteral("rows.db"));
        QFile::remove(dbFile);
        exec("CREATE TABLE 產品 (編號 INTEGER PRIMARY KEY, 名稱 NVARCHAR(30) NOT NULL UNIQUE, 單價 REAL,"
             " 圖片 BLOB, 狀態 TEXT DEFAULT '新品');"
             "INSERT INTO 產品 VALUES (1, '茶葉', 120.5, x'00FF', '舊'), (2, '咖啡', 99, NULL, NULL);"
             "CREATE TABLE 無鍵 (名稱 TEXT, 數量 INTEGER, 日期 DATE);"
             "INSERT INTO 無鍵 VALUES ('甲', 1, '2024-01-02'), ('甲', 1, '2024-01-02'), ('乙', NULL, NULL);"
             "CREATE TABLE \"a'b\" (\"x]y\" TEXT, \"q\"\"q\" INTEGER, PRIMARY KEY (\"q\"\"q\", \"x]y\"));"
             "INSERT INTO \"a'b\" VALUES ('一', 1), ('二', 1);");
        session = openSqliteSession(ConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile));
    }

    void cleanup() { session.reset(); }

    void updateByKeyTouchesOnlyThatRow()
    {
        auto l = load(QStringLiteral("產品"));
        auto [values, modified] = l.edit(0, {{QStringLiteral("單價"), 130.0}, {QStringLiteral("狀態"), QVariant()}});
        l.writer->update(l.rs->rows, 0, values, modified);
        QCOMPARE(dump(QStringLiteral("SELECT 編號, 名稱, 單價, 狀態 FROM 產品 ORDER BY 編號")),
                 QStringLiteral("1,茶葉,130,NULL;2,咖啡,99,NULL"));
        // The key itself may change; the row is found by its original key.
        auto [v2, m2] = l.edit(1, {{QStringLiteral("編號"), 20}});
        l.writer->update(l.rs->rows, 1, v2, m2);
        QCOMPARE(dump(QStringLiteral("SELECT 編號 FROM 產品 ORDER BY 編號")), QStringLiteral("1;20"));
    }

    // Currency and decimals are written as typed. SQLite keeps 15 significant digits of a
    // MONEY or NUMERIC value: what it keeps is written and reads back exactly, what it
    // would round is refused and the table left as it was.
    void exactNumbersAreWrittenExactlyOrNotAtAll()
    {
        exec("CREATE TABLE 帳 (編號 INTEGER PRIMARY KEY, 金額 MONEY, 比率 NUMERIC(38,10));"
             "INSERT INTO 帳 VALUES (1, 1.5, 2.25);");
        const QString money = QStringLiteral("金額"), ratio = QStringLiteral("比率");
        auto l = load(QStringLiteral("帳"));
        QCOMPARE(l.rs->columns[1].type, ftCurrency);
        QCOMPARE(l.rs->columns[2].type, ftBCD);
        auto [values, modified] = l.edit(0, {{money, QStringLiteral("1234567890.1234")}, {ratio, QStringLiteral("0.0000000001")}});
        l.writer->update(l.rs->rows, 0, values, modified);
        QCOMPARE(dump(QStringLiteral("SELECT 金額, 比率 FROM 帳")), QStringLiteral("1234567890.1234,1e-10"));

        l = load(QStringLiteral("帳"));
        QCOMPARE(l.row(0)[1].toString(), QStringLiteral("1234567890.1234"));
        auto [v2, m2] = l.edit(0, {{money, QStringLiteral("922337203685477.5807")}});
        QCOMPARE(errorTextOf([&] { l.writer->update(l.rs->rows, 0, v2, m2); }),
                 QStringLiteral("資料庫無法精確存放欄位「金額」的值 922337203685477.5807（會存成 922337203685477.6），"
                                "未寫入任何變更。"));
        auto [v3, m3] = l.edit(0, {{ratio, QStringLiteral("12345678901234567890.123456789")}});
        QVERIFY(errorTextOf([&] { l.writer->update(l.rs->rows, 0, v3, m3); })
                    .startsWith(QStringLiteral("資料庫無法精確存放欄位「比率」的值 12345678901234567890.123456789（")));
        auto [v4, m4] = l.fresh({{QStringLiteral("編號"), 2}, {money, QStringLiteral("12345678901234.5678")}});
        QVERIFY(errorTextOf([&] { l.writer->insert(v4, m4); }).startsWith(QStringLiteral("資料庫無法精確存放欄位「金額」")));
        QCOMPARE(dump(QStringLiteral("SELECT * FROM 帳")), QStringLiteral("1,1234567890.1234,1e-10"));
    }

    void blobIsLeftOutOfTheKeyedWhere()
    {
        auto l = load(QStringLiteral("產品"));
        auto [values, modified] = l.edit(0, {{QStringLiteral("圖片"), QByteArray("\x01\x02", 2)}});
        l.writer->update(l.rs->rows, 0, values, modified);
        QCOMPARE(session->query(QStringLiteral("SELECT hex(圖片) FROM 產品 WHERE 編號 = 1"))
                     ->rows.columns[0].value(0, ftWideString).toString(),
                 QStringLiteral("0102"));
    }

    void updateWithoutKeyUsesAllOriginalsAndIsNull()
    {
        auto l = load(QStringLiteral("無鍵"));
        QVERIFY(l.writer);
        // 乙 has NULLs: found by IS NULL.
        auto [values, modified] = l.edit(2, {{QStringLiteral("數量"), 7}});
        l.writer->update(l.rs->rows, 2, values, modified);
        QCOMPARE(dump(QStringLiteral("SELECT * FROM 無鍵 ORDER BY rowid")),
                 QStringLiteral("甲,1,2024-01-02;甲,1,2024-01-02;乙,7,NULL"));
    }

    void identicalRowsWithoutKeyChangeNothing()
    {
        auto l = load(QStringLiteral("無鍵"));
        const QString before = dump(QStringLiteral("SELECT * FROM 無鍵 ORDER BY rowid"));
        auto [values, modified] = l.edit(0, {{QStringLiteral("數量"), 9}});
        QCOMPARE(errorTextOf([&] { l.writer->update(l.rs->rows, 0, values, modified); }), kNotUnique);
        QCOMPARE(errorTextOf([&] { l.writer->remove(l.rs->rows, 1); }), kNotUnique);
        QCOMPARE(dump(QStringLiteral("SELECT * FROM 無鍵 ORDER BY rowid")), before);
        QCOMPARE(session->query(QStringLiteral("SELECT 1"))->rows.rowCount(), size_t(1));
        // No transaction was left open: another connection can write.
        exec("DELETE FROM 無鍵 WHERE 名稱 = '乙'");
    }

    void rowChangedOrDeletedUnderneath_data()
    {
        QTest::addColumn<QByteArray>("otherUser");
        QTest::addColumn<QString>("afterwards");
        QTest::newRow("same column changed") << QByteArray("UPDATE 產品 SET 單價 = 1 WHERE 編號 = 1")
                                             << QStringLiteral("1,1;2,99");
        QTest::newRow("row deleted") << QByteArray("DELETE FROM 產品 WHERE 編號 = 1") << QStringLiteral("2,99");
        QTest::newRow("key changed") << QByteArray("UPDATE 產品 SET 編號 = 5 WHERE 編號 = 1")
                                     << QStringLiteral("2,99;5,120.5");
    }

    void rowChangedOrDeletedUnderneath()
    {
        QFETCH(QByteArray, otherUser);
        QFETCH(QString, afterwards);
        auto l = load(QStringLiteral("產品"));
        exec(otherUser.constData());
        auto [values, modified] = l.edit(0, {{QStringLiteral("單價"), 2.0}});
        QCOMPARE(errorTextOf([&] { l.writer->update(l.rs->rows, 0, values, modified); }), kChanged);
        QCOMPARE(dump(QStringLiteral("SELECT 編號, 單價 FROM 產品 ORDER BY 編號")), afterwards);
    }

    void constraintViolationRollsBackWithTheDatabaseText()
    {
        auto l = load(QStringLiteral("產品"));
        auto [values, modified] = l.edit(1, {{QStringLiteral("名稱"), QStringLiteral("茶葉")}, {QStringLiteral("單價"), 1.0}});
        QCOMPARE(errorTextOf([&] { l.writer->update(l.rs->rows, 1, values, modified); }),
                 QStringLiteral("UNIQUE constraint failed: 產品.名稱"));
        auto [iv, im] = l.fresh({{QStringLiteral("單價"), 5.0}}); // 名稱 NOT NULL
        QCOMPARE(errorTextOf([&] { l.writer->insert(iv, im); }), QStringLiteral("NOT NULL constraint failed: 產品.名稱"));
        QCOMPARE(dump(QStringLiteral("SELECT 編號, 名稱, 單價 FROM 產品 ORDER BY 編號")),
                 QStringLiteral("1,茶葉,120.5;2,咖啡,99"));
        exec("UPDATE 產品 SET 單價 = 3 WHERE 編號 = 2"); // nothing holds the file
    }

    void insertFillsTheKeyAndDefaults()
    {
        auto l = load(QStringLiteral("產品"));
        auto [values, modified] = l.fresh({{QStringLiteral("名稱"), QStringLiteral("可可")}});
        const auto stored = l.writer->insert(values, modified);
        QCOMPARE(stored[size_t(l.column(QStringLiteral("編號")))].toLongLong(), 3LL);
        QCOMPARE(stored[size_t(l.column(QStringLiteral("狀態")))].toString(), QStringLiteral("新品"));
        QCOMPARE(stored[size_t(l.column(QStringLiteral("名稱")))].toString(), QStringLiteral("可可"));
        QCOMPARE(dump(QStringLiteral("SELECT 編號, 名稱, 狀態 FROM 產品 WHERE 編號 = 3")), QStringLiteral("3,可可,新品"));
        // A given key is kept.
        auto [v2, m2] = l.fresh({{QStringLiteral("編號"), 10}, {QStringLiteral("名稱"), QStringLiteral("紅茶")}});
        QCOMPARE(l.writer->insert(v2, m2)[0].toLongLong(), 10LL);
        // Without a key the typed values come back.
        auto k = load(QStringLiteral("無鍵"));
        auto [v3, m3] = k.fresh({{QStringLiteral("名稱"), QStringLiteral("丙")}, {QStringLiteral("日期"), QDate(2020, 5, 6)}});
        const auto typed = k.writer->insert(v3, m3);
        QCOMPARE(typed[2].toDate(), QDate(2020, 5, 6));
        QCOMPARE(dump(QStringLiteral("SELECT * FROM 無鍵 WHERE 名稱 = '丙'")), QStringLiteral("丙,NULL,2020-05-06"));
    }

    void insertWithNothingTypedUsesDefaults()
    {
        session->execute(QStringLiteral("CREATE TABLE d (id INTEGER PRIMARY KEY, v TEXT DEFAULT 'x')"));
        auto l = load(QStringLiteral("d"));
        const auto stored = l.writer->insert(std::vector<QVariant>(2), std::vector<bool>(2, false));
        QCOMPARE(stored[0].toLongLong(), 1LL);
        QCOMPARE(stored[1].toString(), QStringLiteral("x"));
    }

    void deleteByKey()
    {
        auto l = load(QStringLiteral("產品"));
        l.writer->remove(l.rs->rows, 1);
        QCOMPARE(dump(QStringLiteral("SELECT 編號 FROM 產品")), QStringLiteral("1"));
        QCOMPARE(errorTextOf([&] { l.writer->remove(l.rs->rows, 1); }), kChanged);
        auto k = load(QStringLiteral("無鍵"));
        k.writer->remove(k.rs->rows, 2); // the unique 乙 row, by all its values
        QCOMPARE(dump(QStringLiteral("SELECT count(*) FROM 無鍵")), QStringLiteral("2"));
    }

    void awkwardNamesAreQuoted()
    {
        auto l = load(QStringLiteral("a'b"));
        QCOMPARE(l.rs->columns[0].name, QStringLiteral("x]y"));
        QVERIFY(l.rs->columns[0].keyColumn && l.rs->columns[1].keyColumn);
        auto [values, modified] = l.edit(1, {{QStringLiteral("x]y"), QStringLiteral("三")}});
        l.writer->update(l.rs->rows, 1, values, modified);
        auto [iv, im] = l.fresh({{QStringLiteral("x]y"), QStringLiteral("四")}, {QStringLiteral("q\"q"), 2}});
        l.writer->insert(iv, im);
        l.writer->remove(l.rs->rows, 0);
        QCOMPARE(dump(QStringLiteral("SELECT * FROM \"a'b\" ORDER BY 2, 1")), QStringLiteral("三,1;四,2"));
    }

    void writesInsideAnOpenTransactionKeepTheOuterWork()
    {
        auto l = load(QStringLiteral("無鍵"));
        session->execute(QStringLiteral("BEGIN; INSERT INTO 無鍵 VALUES ('丁', 4, NULL)"));
        auto [values, modified] = l.edit(0, {{QStringLiteral("數量"), 9}});
        QCOMPARE(errorTextOf([&] { l.writer->update(l.rs->rows, 0, values, modified); }), kNotUnique);
        session->execute(QStringLiteral("COMMIT"));
        QCOMPARE(dump(QStringLiteral("SELECT count(*) FROM 無鍵 WHERE 名稱 = '丁'")), QStringLiteral("1"));
    }

    void duplicatedTableColumnsAreRefused()
    {
        std::vector<ColumnInfo> columns(2);
        columns[0].name = QStringLiteral("編號");
        columns[1].name = QStringLiteral("編號_1");
        columns[0].baseColumn = columns[1].baseColumn = QStringLiteral("編號");
        QVERIFY_THROWS_EXCEPTION(DatabaseError, makeDatabaseRowWriter(*session, QStringLiteral("產品"), columns, {}, 0));
    }

    void singleTableOf_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("table");
        QTest::newRow("plain") << "Select * From T" << "T";
        QTest::newRow("case and blanks") << "  SELECT\t*\r\n from   產品 ; \r\n" << "產品";
        QTest::newRow("brackets") << "select * from [Order Details]" << "Order Details";
        QTest::newRow("bracket escape") << "select * from [x]]y]" << "x]y";
        QTest::newRow("double quotes") << "select * from \"a\"\"b\";" << "a\"b";
        QTest::newRow("back quotes") << "select * from `my table`" << "my table";
        QTest::newRow("where clause") << "select * from T where a = 1" << "";
        QTest::newRow("columns") << "select a from T" << "";
        QTest::newRow("join") << "select * from T, U" << "";
        QTest::newRow("qualified") << "select * from dbo.T" << "";
        QTest::newRow("two statements") << "select * from T; delete from T" << "";
        QTest::newRow("empty") << "" << "";
    }

    void singleTableOf()
    {
        QFETCH(QString, command);
        QFETCH(QString, table);
        QCOMPARE(data::singleTableOf(command), table);
    }

    void singleTableNameOf_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("table");
        QTest::newRow("plain") << "Select * From T" << "" << "T";
        QTest::newRow("bracketed pair") << "Select * From [Sales].[Orders]" << "Sales" << "Orders";
        QTest::newRow("dot inside a part") << "Select * From [Sales].[Q1.Orders]" << "Sales" << "Q1.Orders";
        QTest::newRow("quoted pair") << "select * from \"sales\".\"a\"\"b\";" << "sales" << "a\"b";
        QTest::newRow("bare pair") << "select * from dbo.T" << "dbo" << "T";
        QTest::newRow("three parts") << "select * from db.dbo.T" << "" << "";
        QTest::newRow("where clause") << "select * from [S].[T] where a = 1" << "" << "";
    }
    void singleTableNameOf()
    {
        QFETCH(QString, command);
        QFETCH(QString, schema);
        QFETCH(QString, table);
        QCOMPARE(data::singleTableNameOf(command), (data::TableName{schema, table}));
    }
};

QTEST_GUILESS_MAIN(TestRowWriter)
#include "tst_rowwriter.moc"
