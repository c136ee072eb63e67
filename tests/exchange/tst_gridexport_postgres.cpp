// The grid's exports over PostgreSQL through ODBC: the types a server sends (numeric,
// bigint, date, timestamp, boolean, long text) in the text file and in the workbook as
// xlrd reads it.
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "exchange/XlrdWorkbook.h"
#include "platform/Big5Codec.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace components;

class TestGridExportPostgres : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    data::Connection conn;
    QTemporaryDir dir;
    QTemporaryDir emptyBin;
    QByteArray savedPath;

    // The text export's content as the Part defines it: each field's display text,
    // read record by record through the cursor.
    static QString expectedText(const TwDBGrid &grid, data::Dataset &ds)
    {
        QStringList titles;
        QList<data::Field *> fields;
        for (int i = 0; i < grid.ColumnCount(); ++i) {
            data::Field *f = grid.Columns(i)->Field();
            if (!f->IsBlob()) {
                titles << grid.Columns(i)->TitleCaption();
                fields << f;
            }
        }
        const bool trailingTab = grid.Columns(grid.ColumnCount() - 1)->Field()->IsBlob();
        auto line = [&](const QStringList &values) {
            return values.join(QLatin1Char('\t')) + (trailingTab ? QStringLiteral("\t") : QString()) + QStringLiteral("\r\n");
        };
        QString text = line(titles);
        const int recNo = ds.RecNo();
        for (ds.First(); !ds.Eof(); ds.Next()) {
            QStringList values;
            for (data::Field *f : fields)
                values << f->DisplayText();
            text += line(values);
        }
        ds.setRecNo(recNo);
        return text;
    }

private slots:
    void initTestCase()
    {
        savedPath = qgetenv("PATH");
        REQUIRE_PG_SERVER(server);
        pg = server;
        QString err;
        QVERIFY2(pg->exec(QStringLiteral(
                     "CREATE TABLE 庫存 (編號 integer PRIMARY KEY, 品名 varchar(20), 料號 varchar(10), 數量 integer,"
                     " 單價 numeric(12,2), 大數 bigint, 到貨 date, 盤點 timestamp, 有效 boolean, 說明 text);"
                     "INSERT INTO 庫存 VALUES"
                     " (1, '筆', '00123', 10, 12.50, 9223372036854775807, '2024-01-05', '2024-01-05 08:30:00', true, '長說明'),"
                     " (2, '紙', '0042', 0, 0.10, -5, NULL, NULL, false, NULL),"
                     " (3, '墨 ''\"; x', '', NULL, NULL, NULL, '1899-12-31', '2024-02-29 23:59:59', NULL, 'y');"),
                 &err),
                 qPrintable(err));
        conn.setConnectionString(pg->adoConnectionString());
        qputenv("PATH", emptyBin.path().toUtf8()); // no spreadsheet application
    }
    void cleanupTestCase()
    {
        qputenv("PATH", savedPath);
        conn.Close();
        testsupport::PgServer::shutdownShared();
    }

    void textFileIsTheDisplayTexts()
    {
        testsupport::ScriptedUiScope ui;
        data::Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 庫存 Order By 編號"));
        TwDBGrid grid;
        grid.setDataSet(&ds);
        ds.Open();
        ds.setRecNo(2);
        QVERIFY(grid.ExportToText(dir.filePath(QStringLiteral("庫存"))));
        QFile file(dir.filePath(QStringLiteral("庫存.Txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes, platform::big5Encode(expectedText(grid, ds)));
        QCOMPARE(ds.RecNo(), 2);
        // The values a reader would look for, whatever the driver's types.
        const QString text = platform::big5Decode(bytes);
        QVERIFY2(text.contains(QStringLiteral("\t00123\t")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\t9223372036854775807\t")));
        QVERIFY(text.contains(QStringLiteral("\t2024/02/29 23:59:59\t")));
        QVERIFY(text.contains(QStringLiteral("墨 '\"; x")));
    }

    void workbookKeepsEveryDigit()
    {
        testsupport::ScriptedUiScope ui;
        data::Dataset ds;
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select 編號, 品名, 料號, 數量, 單價, 大數, 到貨, 盤點, 有效 From 庫存 Order By 編號"));
        TwDBGrid grid;
        grid.setDataSet(&ds);
        ds.Open();
        QVERIFY(grid.ExportToSpreadsheet(dir.filePath(QStringLiteral("庫存"))));
        READ_XLS(book, dir.filePath(QStringLiteral("庫存.xls")));
        QCOMPARE(book.rows, 5);
        QCOMPARE(book.columns, 9);
        auto check = [&](int r, int c, const char *type, const QVariant &value) {
            const testsupport::XlrdCell cell = book.cell(r, c);
            QCOMPARE(cell.type, QString::fromLatin1(type));
            QCOMPARE(cell.value, value);
        };
        check(2, 0, "number", 1.0);
        check(2, 2, "text", QStringLiteral("00123"));
        check(3, 2, "text", QStringLiteral("0042"));
        check(2, 3, "number", 10.0);
        check(2, 4, "number", 12.5);
        check(3, 4, "number", 0.1);
        check(2, 5, "text", QStringLiteral("9223372036854775807")); // a number cell would lose digits
        check(3, 5, "number", -5.0);
        check(2, 6, "date", 45296.0);
        check(4, 6, "text", QStringLiteral("1899/12/31")); // before the sheet's first date
        check(2, 7, "date", 45296.0 + 8.5 / 24);
        check(4, 7, "date", 45351.0 + 86399.0 / 86400);
        check(2, 8, "boolean", 1); // a Boolean field's cells are logical values
        check(3, 8, "boolean", 0);
        QCOMPARE(book.cell(2, 2).format, QStringLiteral("@"));
        QCOMPARE(book.cell(2, 1).format, QStringLiteral("@"));
    }
};

QTEST_MAIN(TestGridExportPostgres)
#include "tst_gridexport_postgres.moc"
