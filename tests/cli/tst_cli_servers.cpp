// The console program against a real PostgreSQL server and the scripted SQL Server (TDS
// peer through unixODBC + FreeTDS): its table list, exports equal to the window's, the
// database's own error texts, passwords from a file, and the maintenance commands,
// whose recorded statements are the window's builders' own.
#include "CliRun.h"
#include "exchange/DatasetFile.h"
#include "maintenance/MaintenanceStatements.h"
#include "platform/CommonUtils.h"
#include "platform/PlainFileName.h"
#include "support/PgServer.h"
#include "support/TdsPeer.h"
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>

using clitest::runCli;
using tds::Column;
using tds::ColumnType;
using tds::Reply;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

Column text(const char *name, int size = 128)
{
    return Column{QString::fromUtf8(name), ColumnType::NVarChar, size};
}

Column integer(const char *name)
{
    return Column{QString::fromUtf8(name), ColumnType::Int};
}

// Names that are SQL, brackets, quotes and text outside code page 950.
const QStringList kTdsTables = {QStringLiteral("a b"), QStringLiteral("O'Brien"), QStringLiteral("t;DELETE FROM victim"),
                                QStringLiteral("a]b"), QStringLiteral("客戶 资料")};

Reply tableList()
{
    QList<QVariantList> rows;
    for (const QString &name : kTdsTables)
        rows << QVariantList{"shop", "dbo", name, "TABLE", QVariant()};
    return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("TABLE_TYPE", 32),
                        text("REMARKS", 254)},
                       rows);
}

// Select * From [dbo].[name]: two rows naming the table the server resolved.
Reply selectFrom(const QString &from)
{
    for (const QString &name : kTdsTables)
        if (from == QStringLiteral("[dbo].[%1]").arg(QString(name).replace(QStringLiteral("]"), QStringLiteral("]]"))))
            return Reply::rows({text("source"), integer("n")}, {{name, 1}, {QStringLiteral("第二列"), 2}});
    return Reply::error(208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(from));
}

Reply sysfiles()
{
    Reply r = Reply::rows({integer("fileid"), text("name"), text("filename", 260)},
                          {{1, "shop", QStringLiteral("E:\\MSSQL\\Data\\shop.mdf").leftJustified(260)},
                           {2, "shop_log", QStringLiteral("E:\\MSSQL\\Data\\shop_log.ldf").leftJustified(260)}});
    r.newDatabase = QStringLiteral("shop");
    return r;
}

Reply columnRows()
{
    return Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"), text("COLUMN_NAME"),
                        integer("DATA_TYPE"), text("TYPE_NAME"), integer("PRECISION"), integer("LENGTH"),
                        integer("SCALE"), integer("RADIX"), integer("NULLABLE")},
                       {{"shop", "dbo", "O'Brien", "id", 4, "int", 10, 4, 0, 10, 0},
                        {"shop", "dbo", "O'Brien", "名稱", -9, "nvarchar", 20, 40, QVariant(), QVariant(), 1}});
}

// The maintenance requests among what the peer received, in order.
QStringList maintenanceStatements(const tds::TdsPeer &peer)
{
    static const QRegularExpression kind(QStringLiteral("^(DBCC|Use |EXEC sp_columns)"));
    QStringList out;
    for (const tds::Request &r : peer.receivedStatements())
        if (r.kind == tds::Request::Batch && kind.match(r.text).hasMatch())
            out << r.text;
    return out;
}

} // namespace

class TestCliServers : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    tds::TdsPeer peer;
    QString passwordFile;

    QString tdsConnect() const
    {
        return QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1,%2;Initial Catalog=shop;User ID=sa")
            .arg(peer.address())
            .arg(peer.port());
    }
    // The connection options right after the command, before a "--" among its arguments.
    QStringList tds(QStringList args) const
    {
        const QStringList connection{QStringLiteral("--connect"), tdsConnect(), QStringLiteral("--password-file"), passwordFile};
        return args.mid(0, 1) + connection + args.mid(1);
    }
    bool arrived(const QString &statement) const
    {
        const QList<tds::Request> received = peer.receivedStatements();
        return std::any_of(received.begin(), received.end(), [&](const tds::Request &r) { return r.text == statement; });
    }
    void script()
    {
        peer.clearScript();
        scriptRules();
        peer.clearReceived();
    }
    void scriptRules()
    {
        peer.onProcedure(QStringLiteral("sp_tables"), tableList());
        peer.onProcedure(QStringLiteral("sp_pkeys"),
                         Reply::rows({text("TABLE_QUALIFIER"), text("TABLE_OWNER"), text("TABLE_NAME"),
                                      text("COLUMN_NAME"), integer("KEY_SEQ"), text("PK_NAME")}, {}));
        peer.onQuery(QRegularExpression(QStringLiteral("^Select \\* From (.*)$")), [](const tds::Request &r) {
            return selectFrom(r.text.mid(QStringLiteral("Select * From ").size()));
        });
        peer.onQuery(QRegularExpression(QStringLiteral("^DBCC ")), Reply::done());
        peer.onQuery(QRegularExpression(QStringLiteral("^Use master\r\n")), Reply::done());
        Reply inShop = Reply::done();
        inShop.newDatabase = QStringLiteral("shop");
        peer.onQuery(QRegularExpression(QStringLiteral("^Use \\[shop\\]\r\nDBCC ")), inShop);
        peer.onQuery(QStringLiteral("Use [shop]") + kCrLf + QStringLiteral("Select * From sysfiles "), sysfiles());
        peer.onQuery(QRegularExpression(QStringLiteral("^EXEC sp_columns")), columnRows());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(peer.start());
        peer.setPassword(QStringLiteral("sa"), QStringLiteral("s3cret;x"));
        peer.setDatabases({QStringLiteral("master"), QStringLiteral("shop")});
        passwordFile = dir.filePath(QStringLiteral("password"));
        QFile f(passwordFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("s3cret;x\n");
    }
    void init() { script(); }
    void cleanupTestCase() { testsupport::PgServer::shutdownShared(); }

    void tdsTablesWithPasswordFile()
    {
        const clitest::CliResult r = runCli(tds({QStringLiteral("tables")}));
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QStringList listed = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList expected = kTdsTables;
        listed.sort();
        expected.sort();
        QCOMPARE(listed, expected);

        QFile wrong(dir.filePath(QStringLiteral("wrong")));
        QVERIFY(wrong.open(QIODevice::WriteOnly));
        wrong.write("guess\n");
        wrong.close();
        const clitest::CliResult refused = runCli({QStringLiteral("tables"), QStringLiteral("--connect"), tdsConnect(),
                                                   QStringLiteral("--password-file"), wrong.fileName()});
        QVERIFY2(refused.exitCode == 1 && refused.err.contains(QStringLiteral("無法連接資料庫：")) &&
                     refused.err.contains(QStringLiteral("Login failed")),
                 qPrintable(refused.describe()));
    }

    // No password anywhere: on a terminal (a pseudo-terminal from script(1)) it is asked
    // for, and what is typed is not echoed.
    void passwordPromptOnATerminal()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) (util-linux) is not installed");
        QProcess p;
        p.start(QStringLiteral("script"),
                {QStringLiteral("-qec"), QStringLiteral("'%1' tables --connect '%2'").arg(clitest::cliProgram(), tdsConnect()),
                 QStringLiteral("/dev/null")});
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += p.readAllStandardOutput()).contains(QStringLiteral("密碼：").toUtf8()), 20000);
        p.write("s3cret;x\n");
        const clitest::CliResult r = clitest::finish(p, 60000);
        const QString all = QString::fromUtf8(seen) + r.out;
        QVERIFY2(r.exitCode == 0 && all.contains(QStringLiteral("t;DELETE FROM victim")), qPrintable(all + r.err));
        QVERIFY2(!all.contains(QStringLiteral("s3cret")), qPrintable(all));
    }

    void tdsExportEqualsTheGrids()
    {
        const QString cliDir = dir.filePath(QStringLiteral("tds-cli"));
        const QString gridDir = dir.filePath(QStringLiteral("tds-grid"));
        QDir().mkpath(cliDir);
        QDir().mkpath(gridDir);
        const clitest::CliResult r = runCli(tds(QStringList{QStringLiteral("export"), QStringLiteral("--format"),
                                                            QStringLiteral("txt"), QStringLiteral("--dir"), cliDir} +
                                                kTdsTables));
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QStringList selects;
        for (const tds::Request &q : peer.receivedStatements())
            if (q.text.startsWith(QStringLiteral("Select * From")))
                selects << q.text;
        QCOMPARE(selects.size(), kTdsTables.size());
        QVERIFY(selects.contains(QStringLiteral("Select * From [dbo].[t;DELETE FROM victim]")));
        QVERIFY(selects.contains(QStringLiteral("Select * From [dbo].[a]]b]")));

        data::Connection connection;
        connection.setConnectionString(tdsConnect() + QStringLiteral(";Password=\"s3cret;x\""));
        connection.Open();
        for (const QString &name : kTdsTables) {
            const QString file = platform::plainFileName(name);
            QVERIFY(clitest::gridExport(connection, {QStringLiteral("dbo"), name}, QStringLiteral("txt"),
                                        gridDir + QLatin1Char('/') + file));
            QCOMPARE(clitest::readFile(cliDir + QLatin1Char('/') + file + QStringLiteral(".Txt")),
                     clitest::readFile(gridDir + QLatin1Char('/') + file + QStringLiteral(".Txt")));
        }
    }

    void tdsQueryErrorCarriesServerText()
    {
        const clitest::CliResult r = runCli(tds({QStringLiteral("query"), QStringLiteral("Select * From [dbo].[gone]"),
                                                 QStringLiteral("--out"), dir.filePath(QStringLiteral("gone.xml"))}));
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("Invalid object name '[dbo].[gone]'.")), qPrintable(r.describe()));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("gone.xml"))));
    }

    // Each command sends exactly what the window's builders make, and nothing else.
    void maintenanceSendsTheBuildersStatements_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expected");
        QStringList reindexAll;
        for (const QString &name : kTdsTables)
            reindexAll << maintenance::reindexStatement({QStringLiteral("dbo"), name});
        QTest::newRow("reindex --all") << QStringList{"reindex", "--all"} << reindexAll;
        QTest::newRow("reindex one") << QStringList{"reindex", "--", "t;DELETE FROM victim"}
                                     << QStringList{maintenance::reindexStatement({"dbo", "t;DELETE FROM victim"})};
        QTest::newRow("shrink") << QStringList{"shrink", "--database", "shop"}
                                << QStringList{maintenance::shrinkDataBatch("shop").join(kCrLf),
                                               maintenance::shrinkLogBatch().join(kCrLf)};
        const auto targets = maintenance::backupTargets("shop", "E:\\MSSQL\\", DateStamp(QDateTime::currentDateTime()));
        QTest::newRow("backup") << QStringList{"backup"}
                                << QStringList{maintenance::fileListBatch("shop").join(kCrLf),
                                               maintenance::backupBatch("shop", targets).join(kCrLf)};
        QTest::newRow("script") << QStringList{"script", "O'Brien", "--out", dir.filePath("Create_OBrien.sql")}
                                << QStringList{maintenance::columnsStatement({"dbo", "O'Brien"})};
    }
    void maintenanceSendsTheBuildersStatements()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expected);
        const clitest::CliResult r = runCli(tds(args));
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QCOMPARE(maintenanceStatements(peer), expected);
    }

    void scriptFileAndFailedRebuild()
    {
        const QString file = dir.filePath(QStringLiteral("Create_x.sql"));
        QVERIFY(runCli(tds({QStringLiteral("script"), QStringLiteral("O'Brien"), QStringLiteral("--out"), file})).exitCode == 0);
        QCOMPARE(clitest::readFile(file), QByteArray("CREATE TABLE [O'Brien]\r\n(\r\n      id int 4 NOT NULL ,\r\n"
                                                     "      \xa6\x57\xba\xd9 nvarchar 40 NULL \r\n)\r\n"));
        // One table the server refuses: the others are still rebuilt, the run fails.
        peer.onQuery(maintenance::reindexStatement({QStringLiteral("dbo"), QStringLiteral("a]b")}),
                     Reply::error(2501, 16, 1, QStringLiteral("Could not find object 'a]b'."))); // the later rule wins
        peer.clearReceived();
        const clitest::CliResult r = runCli(tds({QStringLiteral("reindex"), QStringLiteral("--all")}));
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("Could not find object 'a]b'.")) &&
                     r.err.contains(QStringLiteral("索引檔重整部份失敗!!")),
                 qPrintable(r.describe()));
        QCOMPARE(maintenanceStatements(peer).size(), kTdsTables.size());
    }

    // Ctrl+C while the server works on a statement: the server is told (an attention),
    // the program ends with 130 and writes nothing.
    void interruptTellsTheServer()
    {
        const QString statement = QStringLiteral("Select * From [dbo].[slow]");
        peer.onQuery(statement, Reply::hang());
        const QString file = dir.filePath(QStringLiteral("slow.xml"));
        QProcess p;
        p.start(clitest::cliProgram(), tds({QStringLiteral("query"), statement, QStringLiteral("--out"), file}));
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(arrived(statement), 20000);
        ::kill(pid_t(p.processId()), SIGINT);
        const clitest::CliResult r = clitest::finish(p, 60000);
        QVERIFY2(r.exitCode == 130 && r.err.contains(QStringLiteral("命令已停止")), qPrintable(r.describe()));
        QVERIFY(peer.attentions() >= 1);
        QVERIFY(!QFile::exists(file));
    }

    // The server goes away in the middle of a statement: the shared message, worded for a
    // shell (no window button to press), with the driver's own text; nothing written.
    void lostServerIsWordedForTheShell()
    {
        const QString statement = QStringLiteral("Select * From [dbo].[vanishing]");
        peer.onQuery(statement, Reply::hang());
        const QString file = dir.filePath(QStringLiteral("vanishing.xml"));
        QProcess p;
        p.start(clitest::cliProgram(), tds({QStringLiteral("query"), statement, QStringLiteral("--out"), file}));
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(arrived(statement), 20000);
        peer.dropConnections();
        const clitest::CliResult r = clitest::finish(p, 60000);
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("與資料庫的連線已中斷，命令未完成。\n")) &&
                     !r.err.contains(QStringLiteral("資料庫連接]")),
                 qPrintable(r.describe()));
        QVERIFY(!QFile::exists(file));
    }

    void postgresTablesExportAndErrors()
    {
        REQUIRE_PG_SERVER(pg);
        QVERIFY(pg->exec(QStringLiteral(
            "CREATE SCHEMA \"Sales\"; CREATE TABLE \"Sales\".\"Orders\" (id int primary key, who varchar(20), ok boolean);"
            "INSERT INTO \"Sales\".\"Orders\" VALUES (1, '王小明', true), (2, 'O''Brien', false);"
            "CREATE TABLE \"a;b\" (v text); INSERT INTO \"a;b\" VALUES ('x');")));
        const QStringList connect{QStringLiteral("--connect"), pg->adoConnectionString()};
        const clitest::CliResult list = runCli(QStringList{QStringLiteral("tables")} + connect);
        QVERIFY2(list.exitCode == 0 && list.out.split('\n', Qt::SkipEmptyParts) == QStringList({"Sales.Orders", "a;b"}),
                 qPrintable(list.describe()));

        const QString cliDir = dir.filePath(QStringLiteral("pg-cli"));
        const QString gridDir = dir.filePath(QStringLiteral("pg-grid"));
        QDir().mkpath(cliDir);
        QDir().mkpath(gridDir);
        data::Connection connection;
        connection.setConnectionString(pg->adoConnectionString());
        connection.Open();
        for (const char *format : {"xml", "txt", "xls"}) {
            const clitest::CliResult r = runCli(QStringList{QStringLiteral("export"), QStringLiteral("Sales.Orders"),
                                                            QStringLiteral("--format"), format, QStringLiteral("--dir"), cliDir} +
                                                connect);
            QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
            const QString extension = exchange::extensionOf(*exchange::exportFormatNamed(format));
            QVERIFY(clitest::gridExport(connection, {QStringLiteral("Sales"), QStringLiteral("Orders")}, format,
                                        gridDir + QStringLiteral("/Sales.Orders")));
            QVERIFY2(clitest::withoutExportTime(clitest::readFile(cliDir + QStringLiteral("/Sales.Orders") + extension)) ==
                         clitest::withoutExportTime(clitest::readFile(gridDir + QStringLiteral("/Sales.Orders") + extension)),
                     format);
        }
        const clitest::CliResult error = runCli(QStringList{QStringLiteral("query"), QStringLiteral("select * from nosuch")} + connect);
        QVERIFY2(error.exitCode == 1 && error.err.contains(QStringLiteral("relation \"nosuch\" does not exist")),
                 qPrintable(error.describe()));
    }
};

QTEST_MAIN(TestCliServers)
#include "tst_cli_servers.moc"
