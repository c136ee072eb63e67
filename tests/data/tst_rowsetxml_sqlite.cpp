// What a SQLite table holds comes back from the program's own XML files: tables of every
// type affinity, columns holding mixed kinds, extreme values, NULLs and hostile names
// are saved (from the XML page's dataset and through the batch export), loaded again,
// and compared cell by cell on screen and column by column in type. A column may only
// change type by widening to what its values need (an int column holding 64-bit values).
#include "support/SqliteScript.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "exchange/TableBatchExport.h"
#include <QTemporaryDir>
#include <QtTest>

using namespace data;

namespace {

// Built from plain literals: moc does not read raw string literals holding quotes.
const char kTables[] =
    "CREATE TABLE \"affinities\" (\n"
    "  i INTEGER, big BIGINT, small SMALLINT, tiny TINYINT, r REAL, d DOUBLE, n NUMERIC, dec82 DECIMAL(8,2),\n"
    "  num102 NUMERIC(10,2), t TEXT, v VARCHAR(5), c CHAR(4), b BLOB, flag BOOLEAN, m MONEY, day DATE, clock TIME,\n"
    "  stamp DATETIME, untyped, j JSON);\n"
    "INSERT INTO \"affinities\" VALUES\n"
    "  (1733900000000, 9223372036854775807, 32767, 255, 1.5, -2.5e-300, 12, 3.125, 1e16, 'plain', 'abc', 'ab  ', x'00ff10',\n"
    "   1, 0.35, '2024-02-29', '23:59:59', '2024-02-29 13:00:00.123', 7, '{\"a\":1}'),\n"
    "  (-9223372036854775808, -1, -32768, 0, 1e308, 0.1, -0.5, -999999.99, 12345678.91, 'ctrl ' || char(1) || char(31) || ' end',\n"
    "   '', NULL, x'', 0, -922337203685477.5808, '23:59:59', '2024-02-29', 'not a time', 'text', NULL),\n"
    "  (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),\n"
    "  (0, 0, 0, 0, 0.0, -0.0, 'abc', 1, 2, '_x0001_ _x005F_ looks escaped', '中文字', '全形', x'41', 1, 0, 20240229, 1.5,\n"
    "   '2000-01-01 00:00:00', x'fffe', '[]');\n"
    "CREATE TABLE \"hostile <&'\"\" names\" (\"a b\" TEXT, \"xmlns\" INTEGER, \"<&'>\" REAL, \"c2\" TEXT, \"2nd\" DATE, \"名稱\" TEXT);\n"
    "INSERT INTO \"hostile <&'\"\" names\" VALUES\n"
    "  ('x', 1, 2.5, 'y', '2024-01-05', '螺絲'), (NULL, 2147483648, NULL, '', 'not a date', NULL);\n"
    "CREATE TABLE \"keyed\" (id INTEGER PRIMARY KEY, note TEXT NOT NULL);\n"
    "INSERT INTO \"keyed\" VALUES (1, 'one'), (9007199254740993, 'past double precision');\n";

const QStringList kTableNames{QStringLiteral("affinities"), QStringLiteral("hostile <&'\" names"), QStringLiteral("keyed")};

bool widenedTo(TFieldType from, TFieldType to)
{
    if (from == to)
        return true;
    const TFieldType integers[] = {ftSmallint, ftInteger, ftWord, ftAutoInc};
    return to == ftLargeint && std::find(std::begin(integers), std::end(integers), from) != std::end(integers);
}

// The columns' types and every cell's text on screen.
QStringList screen(const Dataset &ds)
{
    QStringList lines;
    for (int r = 0; r < ds.RecordCount(); ++r) {
        QStringList cells;
        for (int f = 0; f < ds.FieldCount(); ++f)
            cells << (ds.valueAt(r, f).isValid() ? ds.displayTextAt(r, f) : QStringLiteral("<NULL>"));
        lines << cells.join(QLatin1Char('|'));
    }
    return lines;
}

void compareLoaded(const Dataset &original, const QString &file)
{
    Dataset loaded;
    try {
        loaded.LoadFromFile(file);
    } catch (const DatabaseError &e) {
        QFAIL(qPrintable(e.message()));
    }
    QCOMPARE(loaded.FieldCount(), original.FieldCount());
    for (int f = 0; f < original.FieldCount(); ++f) {
        const ColumnInfo &was = original.columnInfos()[size_t(f)];
        const ColumnInfo &now = loaded.columnInfos()[size_t(f)];
        QCOMPARE(now.name, was.name);
        QVERIFY2(widenedTo(was.type, now.type),
                 qPrintable(QStringLiteral("%1: %2 became %3").arg(was.name, fieldTypeName(was.type), fieldTypeName(now.type))));
    }
    QCOMPARE(screen(loaded), screen(original));
}

} // namespace

class TestRowsetXmlSqlite : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString dbFile;
    Connection conn;

private slots:
    void initTestCase()
    {
        dbFile = dir.filePath(QStringLiteral("every kind.db"));
        QCOMPARE(testsupport::sqliteScriptError(dbFile, kTables), QString());
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    }

    void datesStoredAsTextStayThatText()
    {
        // A DATE or TIME column holding other text as well shows what is stored.
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("SELECT day, clock FROM affinities"));
        ds.Open();
        QCOMPARE(screen(ds), (QStringList{QStringLiteral("2024-02-29|23:59:59"), QStringLiteral("23:59:59|2024-02-29"),
                                          QStringLiteral("<NULL>|<NULL>"), QStringLiteral("20240229|1.5")}));
    }

    void savedFileLoadsBack_data()
    {
        QTest::addColumn<QString>("table");
        for (const QString &t : kTableNames)
            QTest::newRow(qPrintable(t)) << t;
    }
    void savedFileLoadsBack()
    {
        QFETCH(QString, table);
        Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("SELECT * FROM \"%1\"").arg(QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
        ds.Open();
        const QString file = dir.filePath(QStringLiteral("saved.xml"));
        ds.SaveToFile(file, pfXML);
        compareLoaded(ds, file);
    }

    void batchExportLoadsBack()
    {
        QTemporaryDir out;
        Dataset batch;
        batch.setConnection(&conn);
        exchange::exportTablesToXml(batch, out.path(), kTableNames, exchange::BatchExportSteps());
        for (const QString &table : kTableNames) {
            Dataset ds;
            ds.setConnection(&conn);
            ds.setCommandText(QStringLiteral("SELECT * FROM \"%1\"").arg(QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\""))));
            ds.Open();
            compareLoaded(ds, exchange::batchXmlPath(out.path(), table));
        }
    }
};

QTEST_GUILESS_MAIN(TestRowsetXmlSqlite)
#include "tst_rowsetxml_sqlite.moc"
