// The seek dialog locating rows of a real PostgreSQL table read through ODBC: text with
// partial-key and case-insensitive options, whole numbers, dates, and a field found alone
// after sorting.
#include "SeekTestDriver.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/PgServer.h"
#include "support/PgTables.h"
#include "support/ScriptedUi.h"

using namespace components;
using seektest::execute;

class TestWSeekPostgres : public QObject {
    Q_OBJECT
    testsupport::PgServer *pg = nullptr;
    data::Connection conn;

    int currentId(const data::Dataset &ds) const
    {
        return ds.FieldByName(QStringLiteral("客戶編號"))->AsInteger();
    }

    void open(data::Dataset &ds)
    {
        ds.setConnection(&conn);
        ds.setCommandText(QStringLiteral("Select * From 客戶 Order By 客戶編號"));
        ds.Open();
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PG_SERVER(server);
        pg = server;
        const QString failure = testsupport::createTables(conn, *pg, QStringLiteral(
            "CREATE TABLE 客戶 (客戶編號 integer PRIMARY KEY, \"Name\" varchar(20),"
            " code varchar(8), 生日 date, 數量 integer);"
            "INSERT INTO 客戶 VALUES (1, 'Carol', 'C03', '2022-03-07', 30),"
            " (2, 'bobby', 'B04', '2023-04-08', 40), (3, 'Alice', 'A01', '2020-01-05', 10),"
            " (4, 'Bob', 'B02', '2021-02-06', 20), (5, '王小明', 'W05', '2019-12-31', 50);"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
    void cleanupTestCase() { testsupport::closeAndStopShared(conn); }

    void locates_data()
    {
        QTest::addColumn<QString>("seekField");
        QTest::addColumn<int>("options");
        QTest::addColumn<QStringList>("typed"); // one text per edit
        QTest::addColumn<int>("id");            // 0: not found
        const int partial = data::loPartialKey, nocase = data::loCaseInsensitive;
        QTest::newRow("partial key") << "name" << partial << QStringList{"Bo"} << 4;
        QTest::newRow("partial key, case-insensitive") << "name" << (partial | nocase) << QStringList{"BO"} << 2;
        QTest::newRow("partial key, case matters") << "name" << partial << QStringList{"BO"} << 0;
        QTest::newRow("whole value") << "name" << 0 << QStringList{"Bob"} << 4;
        QTest::newRow("whole value, case-insensitive") << "name" << nocase << QStringList{"ALICE"} << 3;
        QTest::newRow("Chinese value") << "name" << partial << QStringList{"王"} << 5;
        QTest::newRow("whole number") << "數量" << 0 << QStringList{"20"} << 4;
        QTest::newRow("date") << "生日" << partial << QStringList{"2020/01/05"} << 3;
        QTest::newRow("two fields") << "name;code" << partial << QStringList{"B", "B02"} << 4;
        QTest::newRow("second field alone: sorted first") << "name;code" << partial << QStringList{"", "B"} << 4;
    }
    void locates()
    {
        QFETCH(QString, seekField);
        QFETCH(int, options);
        QFETCH(QStringList, typed);
        QFETCH(int, id);
        testsupport::ScriptedUiScope ui;
        ui.queueAnswers({false});
        data::Dataset ds;
        open(ds);
        TwSeek seek;
        seek.setDataSet(&ds);
        seek.setSeekField(seekField);
        seek.setLocateOptions(options);
        QVERIFY(execute(seek, [&](TfmSeek *dialog) {
            QCOMPARE(dialog->count(), typed.size());
            for (const QString &text : typed) {
                drive::type(text);
                drive::press(Qt::Key_Down);
            }
        }));
        QCOMPARE(ui.messageTexts(), QStringList());
        QCOMPARE(ui.questions().size(), id != 0 ? 0 : 1);
        QCOMPARE(seek.Found(), id != 0);
        QCOMPARE(currentId(ds), id != 0 ? id : 1);
    }
};

QTEST_MAIN(TestWSeekPostgres)
#include "tst_wseek_postgres.moc"
