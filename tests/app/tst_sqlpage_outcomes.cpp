// The SQL page tells what happened: text taken for a select that brings no rows back has
// still run on the database, so the page says it ran and how many rows it changed, and
// the XML dataset stays closed. Typed and run as a person does, on an SQLite file and on
// PostgreSQL through ODBC; the rows left are counted in the database itself.
#include "app/gui/MainWindow.h"
#include "support/GuiDriver.h"
#include "support/MainWindowUnderTest.h"
#include "support/PgServer.h"
#include "support/ScriptedUi.h"
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

constexpr int kSqlPage = 3;
constexpr int kXmlPage = 4;
const QString kRan = QStringLiteral("指令已執行，沒有傳回資料集。");

QString ranWithCount(int rows)
{
    return kRan + QStringLiteral("\n\r影響筆數：%1").arg(rows);
}

} // namespace

class TestSqlPageOutcomes : public QObject {
    Q_OBJECT

    testsupport::ScriptedUiScope ui;
    QTemporaryDir dir;
    std::unique_ptr<Tfm_ADO_Schema> w;

    // Rows of victim in an SQLite file; -1 when the table is gone.
    static int sqliteVictimRows(const QString &file)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        int rows = -1;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM victim", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            rows = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }

    static int postgresVictimRows(testsupport::PgServer *pg)
    {
        if (pg->scalar(QStringLiteral("SELECT to_regclass('victim') IS NULL")) == QLatin1String("t"))
            return -1;
        bool ok = false;
        const int rows = pg->scalar(QStringLiteral("SELECT count(*) FROM victim")).toInt(&ok);
        return ok ? rows : -2;
    }

    bool openWindow(const QString &connection)
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(connection);
        w->resize(1000, 700);
        if (!drive::showActive(w.get()))
            return false;
        QTest::mouseClick(w->btnADOConnection, Qt::LeftButton);
        return w->ADOConnection1.Connected();
    }

    // Clicks the page's tab, clicks into the editor, replaces its text by typing, runs.
    void typeAndRun(const QString &text) { QVERIFY(testsupport::typeAndRunOnSqlPage(*w, text)); }

    // Opens victim's rows first, so the run below must close them; then runs `text`.
    void runAfterAnOpenSelect(const QString &text)
    {
        typeAndRun(QStringLiteral("select * from victim"));
        QVERIFY2(ui.messages().isEmpty(), qPrintable(ui.messageTexts().join('\n')));
        QVERIFY(w->ADODXML.Active());
        QCOMPARE(w->PageControl1->currentIndex(), kXmlPage);
        typeAndRun(text);
    }

    void expectRanWithoutRows(const QString &text, const QString &message)
    {
        QCOMPARE(ui.messageTexts(), QStringList{message});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("程式訊息"));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::None);
        QVERIFY(!w->ADODXML.Active());
        QCOMPARE(w->PageControl1->currentIndex(), kSqlPage);
        QVERIFY(!w->FXMLFromTable);
        QCOMPARE(w->redSQLText->toPlainText(), text);
    }

    static void addCases()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("victimRowsAfter"); // -1: the table is gone
        QTest::newRow("delete with a subselect")
            << "delete from victim where id in (select id from victim where id <= 2)" << ranWithCount(2) << 1;
        QTest::newRow("delete matching nothing")
            << "delete from victim where id in (select id from victim where id > 5)" << ranWithCount(0) << 3;
        QTest::newRow("select only in a comment") << "/* select */ delete from victim" << ranWithCount(3) << 0;
        // Neither database counts rows for a dropped table: no count is shown.
        QTest::newRow("drop, select in a comment") << "DROP TABLE victim; -- select 1" << kRan << -1;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }
    void init() { ui.clearRecords(); }
    void cleanup()
    {
        w.reset();
        QVERIFY2(ui.failures().isEmpty(), qPrintable(ui.failures().join('\n')));
    }

    void sqlite_data() { addCases(); }
    void sqlite()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, victimRowsAfter);
        const QString file = dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')) +
                                           QStringLiteral(".db"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE victim (id INTEGER); INSERT INTO victim VALUES (1), (2), (3);",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);

        QVERIFY(openWindow(QStringLiteral("Provider=SQLite.1;Data Source=") + file));
        runAfterAnOpenSelect(text);
        expectRanWithoutRows(text, message);
        w.reset();
        QCOMPARE(sqliteVictimRows(file), victimRowsAfter);
    }

    void postgres_data() { addCases(); }
    void postgres()
    {
        REQUIRE_PG_SERVER(pg);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(int, victimRowsAfter);
        QString error;
        QVERIFY2(pg->exec(QStringLiteral("DROP TABLE IF EXISTS victim; CREATE TABLE victim (id integer);"
                                         "INSERT INTO victim VALUES (1), (2), (3);"),
                          &error),
                 qPrintable(error));

        QVERIFY(openWindow(pg->adoConnectionString()));
        runAfterAnOpenSelect(text);
        expectRanWithoutRows(text, message);
        w.reset();
        QCOMPARE(postgresVictimRows(pg), victimRowsAfter);
    }
};

QTEST_MAIN(TestSqlPageOutcomes)
#include "tst_sqlpage_outcomes.moc"
