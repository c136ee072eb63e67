// The batch export's engine and its timing log, without the window: the exact lines and
// bytes of the log (code page 950, CR LF) under a fixed clock and the workstation's
// Taiwan date and time format, the stop before a table, and a log that cannot be written.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "exchange/BatchExportLog.h"
#include "exchange/ExportError.h"
#include "exchange/TableBatchExport.h"
#include "support/FileBytes.h"
#include "support/TimeLocale.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using testsupport::readAll;

namespace {

[[maybe_unused]] const bool kTaiwanTime = testsupport::useTimeLocale("zh_TW.UTF-8");

QByteArray cp950(const char *utf8)
{
    QStringEncoder big5("Big5");
    return big5.encode(QString::fromUtf8(utf8));
}

} // namespace

class TestBatchExportLog : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString dbFile;

    // A clock that moves one second per reading from 2024/03/09 23:59:58.
    std::function<QDateTime()> steppingClock()
    {
        auto tick = std::make_shared<int>(0);
        return [tick] { return QDateTime(QDate(2024, 3, 9), QTime(23, 59, 58)).addSecs((*tick)++); };
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dbFile = dir.filePath(QStringLiteral("log.db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(dbFile.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "CREATE TABLE 客戶 (n TEXT); INSERT INTO 客戶 VALUES ('甲');"
                              "CREATE TABLE \"a]b\" (n TEXT); INSERT INTO \"a]b\" VALUES ('x');"
                              "CREATE TABLE \"a\\b\" (n TEXT); INSERT INTO \"a\\b\" VALUES ('back');"
                              "CREATE TABLE a_b (n TEXT); INSERT INTO a_b VALUES ('under');",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
    }

    void lines()
    {
        const QDateTime a(QDate(2024, 3, 9), QTime(8, 5, 1));
        const QDateTime b(QDate(2024, 12, 31), QTime(23, 0, 0));
        QCOMPARE(exchange::tableLogLine(QStringLiteral("客戶"), a, b),
                 QStringLiteral("[客戶]2024/3/9 上午8:05:01 至 2024/12/31 下午11:00:00"));
        QCOMPARE(exchange::totalLogLine(a, b), QStringLiteral("總所需時間：2024/3/9 上午8:05:01 至 2024/12/31 下午11:00:00"));
    }

    // Two tables under the stepping clock: batch start, then start and end of each.
    void exactLogOfARun()
    {
        data::Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        data::Dataset dataset;
        dataset.setConnection(&connection);
        const QString out = dir.filePath(QStringLiteral("run"));
        QVERIFY(QDir().mkpath(out));
        QFile::remove(QDir(out).filePath(exchange::kBatchLogFileName));
        QVERIFY(QFile(QDir(out).filePath(exchange::kBatchLogFileName)).open(QIODevice::WriteOnly)); // replaced
        exchange::BatchExportSteps steps;
        steps.now = steppingClock();
        QStringList opened;
        steps.opening = [&opened](const QString &t) { opened << t; };
        QList<int> written;
        steps.written = [&written](int i) { written << i; };
        const exchange::BatchExportResult result =
            exchange::exportTablesToXml(dataset, out, {QStringLiteral("客戶"), QStringLiteral("a]b")}, steps);
        QCOMPARE(result.written, 2);
        QVERIFY(!result.stopped);
        QCOMPARE(opened, QStringList({QStringLiteral("客戶"), QStringLiteral("a]b")}));
        QCOMPARE(written, QList<int>({0, 1}));
        QCOMPARE(readAll(QDir(out).filePath(exchange::kBatchLogFileName)),
                 cp950("[客戶]2024/3/9 下午11:59:59 至 2024/3/10 上午12:00:00\r\n"
                       "[a]b]2024/3/10 上午12:00:01 至 2024/3/10 上午12:00:02\r\n"
                       "總所需時間：2024/3/9 下午11:59:58 至 2024/3/10 上午12:00:03\r\n"));
        QCOMPARE(exchange::batchXmlPath(out, QStringLiteral("a]b")), out + QStringLiteral("/a]b.xml"));
        QVERIFY(QFile::exists(out + QStringLiteral("/a]b.xml")));
        QCOMPARE(dataset.RecordCount(), 1);
        QCOMPARE(dataset.valueAt(0, 0).toString(), QStringLiteral("x"));
    }

    // Stopped before the second table: the first is written and logged.
    void stopBeforeATable()
    {
        data::Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        data::Dataset dataset;
        dataset.setConnection(&connection);
        const QString out = dir.filePath(QStringLiteral("stop"));
        QVERIFY(QDir().mkpath(out));
        exchange::BatchExportSteps steps;
        steps.now = steppingClock();
        QList<int> asked;
        steps.beforeTable = [&asked](int number, int total, const QString &) {
            asked << number << total;
            return number < 2;
        };
        const exchange::BatchExportResult result =
            exchange::exportTablesToXml(dataset, out, {QStringLiteral("客戶"), QStringLiteral("a]b")}, steps);
        QVERIFY(result.stopped);
        QCOMPARE(result.written, 1);
        QCOMPARE(asked, QList<int>({1, 2, 2, 2}));
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name),
                 QStringList({exchange::kBatchLogFileName, QStringLiteral("客戶.xml")}));
        QCOMPARE(readAll(QDir(out).filePath(exchange::kBatchLogFileName)),
                 cp950("[客戶]2024/3/9 下午11:59:59 至 2024/3/10 上午12:00:00\r\n"
                       "總所需時間：2024/3/9 下午11:59:58 至 2024/3/10 上午12:00:01\r\n"));
    }

    // "a\b" and "a_b" both become a_b.xml: nothing is written rather than one file lost.
    void tablesSharingAFileRefusedBeforeAnyFile()
    {
        data::Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        data::Dataset dataset;
        dataset.setConnection(&connection);
        const QString out = dir.filePath(QStringLiteral("clash"));
        QVERIFY(QDir().mkpath(out));
        try {
            exchange::exportTablesToXml(dataset, out,
                                        {QStringLiteral("客戶"), QStringLiteral("a\\b"), QStringLiteral("a_b")}, {});
            QFAIL("two tables were written to one file");
        } catch (const exchange::ExportError &e) {
            QCOMPARE(e.message(), QStringLiteral("表格 \"a\\b\" 與 \"a_b\" 會存成同一個檔案 %1，未轉出任何表格!!")
                                      .arg(QDir::toNativeSeparators(out + QStringLiteral("/a_b.xml"))));
        }
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
    }

    void unwritableLog()
    {
        const QString missing = dir.filePath(QStringLiteral("no/such/folder/log.Txt"));
        try {
            exchange::writeLogLines(missing, {QStringLiteral("x")});
            QFAIL("wrote into a missing folder");
        } catch (const exchange::ExportError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("無法寫入 \"%1\"：").arg(missing)), qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(missing));
    }
};

QTEST_GUILESS_MAIN(TestBatchExportLog)
#include "tst_batchexportlog.moc"
