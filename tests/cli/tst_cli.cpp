// The console program run as a process on SQLite files: its usage errors, the table
// list, exports that equal the window's for the same table, the batch export and its
// log, statements, schema rowsets, profiles and Ctrl+C, with table names that try to
// break out of their quotes, folders and command lines.
#include "CliRun.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "exchange/TableBatchExport.h"
#include "platform/PlainFileName.h"
#include "profiles/ADOConnectionINI.h"
#include "support/SmallDisk.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <sqlite3.h>

using clitest::runCli;

namespace {

bool execSql(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

// Names that are SQL, folders, quotes, option-like or outside code page 950.
const QStringList kHostile = {QStringLiteral("a;b"), QStringLiteral("it's \"q\""), QStringLiteral("Q1.Orders"),
                              QStringLiteral("客戶 資料"), QStringLiteral("-x"), QStringLiteral("../up")};

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString hostileScript()
{
    QString sql;
    for (const QString &name : kHostile)
        sql += QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, name NVARCHAR(20), qty INTEGER, price REAL,"
                              " note MEMO); INSERT INTO %1 VALUES (1, '王小明', 5, 12.5, 'memo'),"
                              " (2, 'O''Brien; \"x\"', -3, 0.25, NULL), (3, '笑 😀', NULL, NULL, 'x');")
                   .arg(quoted(name));
    return sql;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;
    QString clashDb; // "a/b" and "a_b": one file name for two tables
    data::Connection connection;

    QString out(const QString &name)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase()
    {
        db = dir.filePath(QStringLiteral("shop.db"));
        QVERIFY(execSql(db, hostileScript()));
        clashDb = dir.filePath(QStringLiteral("clash.db"));
        QVERIFY(execSql(clashDb, QStringLiteral("CREATE TABLE \"a/b\" (x); INSERT INTO \"a/b\" VALUES (1);"
                                                "CREATE TABLE a_b (y); INSERT INTO a_b VALUES (2);"
                                                "CREATE TABLE wide (id INTEGER PRIMARY KEY, v TEXT);"
                                                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
                                                " INSERT INTO wide SELECT i, printf('%0100d', i) FROM n;")));
        QFile plain(dir.filePath(QStringLiteral("plain.file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + db);
        connection.Open();
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString c = QStringLiteral("--connect");
        QTest::newRow("no command") << QStringList{} << 2 << "請指定命令";
        QTest::newRow("unknown command") << QStringList{"drop"} << 2 << "沒有命令 \"drop\"";
        QTest::newRow("unknown option") << QStringList{"tables", "--frobnicate", c, db} << 2 << "用法錯誤";
        QTest::newRow("export without tables") << QStringList{"export", c, db} << 2 << "請指定要匯出的表格";
        QTest::newRow("bad format") << QStringList{"export", "a;b", "--format", "pdf", c, db} << 2 << "不支援的格式 \"pdf\"";
        QTest::newRow("password on the command line")
            << QStringList{"tables", c, "Provider=SQLOLEDB.1;Data Source=h;User ID=sa;Password=topsecret"} << 2
            << "密碼不可寫在命令列上";
        QTest::newRow("pwd inside extended properties")
            << QStringList{"tables", c, "Provider=MSDASQL.1;Extended Properties=\"DSN=x;PWD=topsecret\""} << 2
            << "密碼不可寫在命令列上";
        QTest::newRow("connect with profile") << QStringList{"tables", c, db, "--profile", "p"} << 2 << "不可與 --profile";
        QTest::newRow("no such database file") << QStringList{"tables", c, dir.filePath("none.db")} << 2 << "找不到資料庫檔案";
        QTest::newRow("batch without tables") << QStringList{"batch-xml", c, db} << 2 << "請指定 --all 或表格名稱";
        QTest::newRow("unknown rowset") << QStringList{"rowset", "NOPE", "--xml", "x.xml", c, db} << 2 << "沒有結構描述資料集";
        QTest::newRow("missing table") << QStringList{"export", "a;b", "nope", c, db} << 1 << "找不到表格：\"nope\"";
        QTest::newRow("database's own text") << QStringList{"query", "select * from nosuch", c, db} << 1 << "no such table: nosuch";
        QTest::newRow("folder missing")
            << QStringList{"export", "a;b", "--dir", dir.filePath("gone"), c, db} << 1 << "目錄不存在";
        QTest::newRow("folder is a file")
            << QStringList{"export", "a;b", "--dir", dir.filePath("plain.file"), c, db} << 1 << "不是目錄 (是一個檔案)";
        QTest::newRow("tables with a name") << QStringList{"tables", "a;b", c, db} << 2 << "多餘的引數：a;b";
        QTest::newRow("backup with a database name") << QStringList{"backup", "other", c, db} << 2 << "多餘的引數：other";
        QTest::newRow("shrink with a database name") << QStringList{"shrink", "other", c, db} << 2 << "多餘的引數：other";
        QTest::newRow("password file without a line's end")
            << QStringList{"tables", c, db, "--password-file", "/dev/zero"} << 1 << "不是密碼";
        QTest::newRow("xls over the sheet's rows")
            << QStringList{"query", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 70000)"
                           " SELECT i FROM n", "--format", "xls", "--out", dir.filePath("many.xls"), c, db}
            << 1 << "請改用文字檔匯出 (--format txt)!!";
        QTest::newRow("two tables, one file name")
            << QStringList{"export", "a/b", "a_b", "--dir", dir.path(), c, clashDb} << 1
            << "表格 \"a/b\" 與 \"a_b\" 會寫入同一個檔案";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const clitest::CliResult r = runCli(args);
        QVERIFY2(r.exitCode == status && r.err.contains(message), qPrintable(r.describe()));
        QVERIFY2(!r.err.contains(QStringLiteral("topsecret")), qPrintable(r.err));
        QVERIFY(QDir(dir.path()).entryList({"*.xml", "*.Txt"}).isEmpty());
    }

    // Standard output closed or on a full disk: the results are lost, so the command
    // fails with the system's reason, whatever the command.
    void unwritableOutputFails_data()
    {
        QTest::addColumn<QString>("redirection");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << ">/dev/full" << "";
        QTest::newRow("closed") << ">&-" << "Bad file descriptor";
    }
    void unwritableOutputFails()
    {
        QFETCH(QString, redirection);
        QFETCH(QString, reason);
        const QString program = clitest::cliProgram();
        for (const QString &args : {QStringLiteral("--help"), QStringLiteral("tables --connect '%1'").arg(db)}) {
            const clitest::CliResult r = runCli({QStringLiteral("-c"), QStringLiteral("'%1' %2 %3").arg(program, args, redirection)},
                                                60000, QStringLiteral("/bin/sh"));
            QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("無法寫入標準輸出：") + reason), qPrintable(args + r.describe()));
        }
    }

    // A full disk: one line in Chinese with the system's reason, and nothing left on it.
    void fullDiskLeavesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("xml") << QStringList{"export", "wide", "--format", "xml", "--dir"};
        QTest::newRow("txt") << QStringList{"export", "wide", "--format", "txt", "--dir"};
        QTest::newRow("xls") << QStringList{"export", "wide", "--format", "xls", "--dir"};
        QTest::newRow("batch") << QStringList{"batch-xml", "wide", "--dir"};
    }
    void fullDiskLeavesNothing()
    {
        QFETCH(QStringList, args);
        SmallDisk disk(64);
        if (!disk.mounted())
            QSKIP("cannot mount a tmpfs here (not root?)");
        const clitest::CliResult r = runCli(args + QStringList{disk.path(QString()), QStringLiteral("--connect"), clashDb});
        QVERIFY2(r.exitCode == 1 && r.err.startsWith(QStringLiteral("adoschema: 無法寫入檔案 ")) && r.err.count(QLatin1Char('\n')) == 1,
                 qPrintable(r.describe()));
        QVERIFY2(disk.files().isEmpty(), qPrintable(disk.files().join(QLatin1Char(' '))));
    }

    void helpAndVersion()
    {
        const clitest::CliResult help = runCli({QStringLiteral("--help")});
        QVERIFY2(help.exitCode == 0 && help.err.isEmpty(), qPrintable(help.describe()));
        for (const char *command : {"tables", "export", "query", "batch-xml", "rowset", "backup", "reindex", "shrink", "script"})
            QVERIFY2(help.out.contains(QStringLiteral("  %1 ").arg(QLatin1String(command))), command);
        const clitest::CliResult one = runCli({QStringLiteral("export"), QStringLiteral("--help")});
        QVERIFY2(one.exitCode == 0 && one.out.contains(QStringLiteral("--format")), qPrintable(one.describe()));
        const clitest::CliResult version = runCli({QStringLiteral("--version")});
        QVERIFY2(version.exitCode == 0 && version.out.startsWith(QStringLiteral("adoschema 1.")), qPrintable(version.describe()));
    }

    void tablesListsEveryTableWhole()
    {
        const clitest::CliResult r = runCli({QStringLiteral("tables"), QStringLiteral("--fields"), QStringLiteral("--connect"), db});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QStringList names;
        for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!line.startsWith(QLatin1Char(' ')))
                names << line;
        QStringList expected = kHostile;
        expected.sort();
        names.sort();
        QCOMPARE(names, expected);
        QVERIFY(r.out.contains(QStringLiteral("  欄位 (5)：id, name, qty, price, note")));
    }

    void exportEqualsTheGrids_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("extension");
        QTest::newRow("xml") << "xml" << ".xml";
        QTest::newRow("txt") << "txt" << ".Txt";
        QTest::newRow("xls") << "xls" << ".xls";
    }
    void exportEqualsTheGrids()
    {
        QFETCH(QString, format);
        QFETCH(QString, extension);
        const QString cliDir = out(QStringLiteral("cli-") + format);
        const QString gridDir = out(QStringLiteral("grid-") + format);
        const clitest::CliResult r = runCli(QStringList{QStringLiteral("export"), QStringLiteral("--format"), format,
                                                        QStringLiteral("--dir"), cliDir, QStringLiteral("--connect"), db,
                                                        QStringLiteral("--")} + kHostile);
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), kHostile.size());
        for (const QString &name : kHostile) {
            const QString file = platform::plainFileName(name);
            QVERIFY(clitest::gridExport(connection, {QString(), name}, format, gridDir + QLatin1Char('/') + file));
            const QByteArray expected = clitest::readFile(gridDir + QLatin1Char('/') + file + extension);
            const QByteArray written = clitest::readFile(cliDir + QLatin1Char('/') + file + extension);
            QVERIFY2(expected.size() > 20, qPrintable(name));
            QVERIFY2(clitest::withoutExportTime(written) == clitest::withoutExportTime(expected), qPrintable(name));
        }
        QCOMPARE(QDir(cliDir).entryList(QDir::Files).size(), kHostile.size()); // nothing outside, no temp files
    }

    void queryWritesRowsOrCountsThem()
    {
        const QString file = dir.filePath(QStringLiteral("query.Txt"));
        const clitest::CliResult rows = runCli({QStringLiteral("query"), QStringLiteral("select * from \"a;b\""),
                                                QStringLiteral("--format"), QStringLiteral("txt"),
                                                QStringLiteral("--out"), file, QStringLiteral("--connect"), db});
        QVERIFY2(rows.exitCode == 0 && rows.out.trimmed() == file, qPrintable(rows.describe()));
        const QString gridDir = out(QStringLiteral("grid-query"));
        QVERIFY(clitest::gridExport(connection, {QString(), QStringLiteral("a;b")}, QStringLiteral("txt"),
                                    gridDir + QStringLiteral("/a;b")));
        QCOMPARE(clitest::readFile(file), clitest::readFile(gridDir + QStringLiteral("/a;b.Txt")));

        const clitest::CliResult update = runCli({QStringLiteral("query"), QStringLiteral("update \"Q1.Orders\" set qty = 1"),
                                                  QStringLiteral("--connect"), db});
        QVERIFY2(update.exitCode == 0 && update.out.trimmed() == QStringLiteral("3 筆資料受影響"), qPrintable(update.describe()));
    }

    void batchWritesFilesAndLog()
    {
        const QString folder = out(QStringLiteral("batch"));
        QStringList tables = kHostile;
        tables.removeAll(QStringLiteral("../up")); // the batch refuses it, as the window's does (below)
        const clitest::CliResult r = runCli(QStringList{QStringLiteral("batch-xml"), QStringLiteral("--dir"), folder,
                                                        QStringLiteral("--connect"), db, QStringLiteral("--")} + tables);
        QVERIFY2(r.exitCode == 0 && r.err.contains(QStringLiteral("XML轉檔完成：共 5 個表格")), qPrintable(r.describe()));
        QVERIFY2(!r.err.contains(QStringLiteral("XML轉檔中")), qPrintable(r.err)); // no progress into a pipe
        const QByteArray log = clitest::readFile(folder + QLatin1Char('/') + exchange::kBatchLogFileName);
        QCOMPARE(log.count("\r\n"), tables.size() + 1);
        QVERIFY(log.contains("[a;b]"));
        const QString gridDir = out(QStringLiteral("grid-batch"));
        QVERIFY(clitest::gridExport(connection, {QString(), QStringLiteral("客戶 資料")}, QStringLiteral("xml"),
                                    gridDir + QStringLiteral("/客戶 資料")));
        QCOMPARE(clitest::readFile(folder + QStringLiteral("/客戶 資料.xml")), clitest::readFile(gridDir + QStringLiteral("/客戶 資料.xml")));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), tables.size() + 1);

        const QString refused = out(QStringLiteral("batch-refused"));
        const clitest::CliResult all = runCli({QStringLiteral("batch-xml"), QStringLiteral("--all"), QStringLiteral("--dir"),
                                               refused, QStringLiteral("--connect"), db});
        QVERIFY2(all.exitCode == 1 && all.err.contains(QStringLiteral("\"../up\" 含有不能用於檔名的字元")), qPrintable(all.describe()));
        QVERIFY(QDir(dir.path()).entryList({"up*"}).isEmpty());
    }

    void rowsetWithRestrictions()
    {
        const QString file = dir.filePath(QStringLiteral("columns.xml"));
        const clitest::CliResult r = runCli({QStringLiteral("rowset"), QStringLiteral("COLUMNS"), QStringLiteral("--restrict"),
                                             QString(), QStringLiteral("--restrict"), QString(), QStringLiteral("--restrict"),
                                             QStringLiteral("a;b"), QStringLiteral("--xml"), file, QStringLiteral("--connect"), db});
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        data::Dataset reference;
        const std::vector<QVariant> restrictions{QVariant(), QVariant(), QStringLiteral("a;b")};
        connection.OpenSchema(QStringLiteral("COLUMNS"), &restrictions, reference);
        QCOMPARE(reference.RecordCount(), 5);
        const QString expected = dir.filePath(QStringLiteral("columns-ref.xml"));
        reference.SaveToFile(expected, data::pfXML);
        QCOMPARE(clitest::readFile(file), clitest::readFile(expected));
        const clitest::CliResult tooMany = runCli({QStringLiteral("rowset"), QStringLiteral("TABLES"), "--restrict", "1",
                                                   "--restrict", "2", "--restrict", "3", "--restrict", "4", "--restrict", "5",
                                                   QStringLiteral("--xml"), file, QStringLiteral("--connect"), db});
        QVERIFY2(tooMany.exitCode == 2, qPrintable(tooMany.describe()));
    }

    // A profile file written by the window's store: named, the default one, one that is
    // not there, a truncated one, no file. Without options, the file beside the program
    // (as the window finds it).
    void profiles()
    {
        const QString folder = out(QStringLiteral("profiles"));
        data::Connection target;
        target.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + db);
        profiles::TADOConnectionINI store;
        store.setInitialDir(folder);
        store.setIniFileName(QStringLiteral("ADOConneciton.ini"));
        store.setADOConnection(&target);
        store.WriteProfile(); // names the profile after the connection
        const QString name = store.DefaultADOConnection();
        const QString ini = folder + QStringLiteral("/ADOConneciton.ini");
        QVERIFY(QFile::exists(ini));
        QVERIFY(QFile::copy(clitest::cliProgram(), folder + QStringLiteral("/adoschema")));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::Append));
        file.write("[noprovider]\r\nData Source=x\r\n"); // a truncated profile
        file.close();
        const struct {
            QStringList args;
            QString program;
            int status;
            QString message;
        } cases[] = {
            {{"--ini", ini, "--profile", name}, clitest::cliProgram(), 0, {}},
            {{"--ini", ini}, clitest::cliProgram(), 0, {}},
            {{}, folder + QStringLiteral("/adoschema"), 0, {}},
            {{"--ini", ini, "--profile", "other"}, clitest::cliProgram(), 1, "沒有可用的連接設定 \"other\""},
            {{"--ini", ini, "--profile", "noprovider"}, clitest::cliProgram(), 1, "沒有提供者"},
            {{"--ini", dir.filePath("none.ini")}, clitest::cliProgram(), 1, "找不到連接設定檔"},
            {{"--ini", folder}, clitest::cliProgram(), 1, "無法讀取連接設定檔"},
        };
        for (const auto &c : cases) {
            const clitest::CliResult r = runCli(QStringList{QStringLiteral("tables")} + c.args, 60000, c.program);
            QVERIFY2(r.exitCode == c.status && r.err.contains(c.message), qPrintable(c.args.join(' ') + QLatin1Char('\n') + r.describe()));
            QCOMPARE(r.out.contains(QStringLiteral("a;b")), c.status == 0);
        }
    }

    // On a terminal (a pseudo-terminal from script(1)) the batch shows its progress.
    void progressOnlyOnATerminal()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) (util-linux) is not installed");
        const QString folder = out(QStringLiteral("terminal"));
        const QString command = QStringLiteral("'%1' batch-xml --dir '%2' --connect '%3' 'a;b'").arg(clitest::cliProgram(), folder, db);
        const clitest::CliResult r = runCli({QStringLiteral("-qec"), command, QStringLiteral("/dev/null")}, 60000,
                                            QStringLiteral("script"));
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("XML轉檔中：[a;b] 第 1 / 1 個表格")), qPrintable(r.describe()));
    }

    // Ctrl+C at the password prompt (on a pseudo-terminal from script(1)) ends the
    // program at once, with the terminal's echo back on.
    void interruptAtThePasswordPrompt()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) (util-linux) is not installed");
        // The terminal's ^C reaches the whole foreground group, the shell included; a shell
        // without a trap (dash) would end with the program and never print the status.
        const QString command = QStringLiteral("trap true INT; '%1' tables --connect 'Provider=SQLite.1;Data Source=%2;User ID=u';"
                                               " echo status=$?; stty -a")
                                    .arg(clitest::cliProgram(), db);
        QProcess p;
        p.start(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += p.readAllStandardOutput()).contains(QStringLiteral("密碼：").toUtf8()), 20000);
        p.write("\x03"); // the terminal's interrupt character
        const clitest::CliResult r = clitest::finish(p, 30000);
        const QString all = QString::fromUtf8(seen) + r.out;
        QVERIFY2(all.contains(QStringLiteral("status=130")) && all.contains(QStringLiteral("已停止輸入密碼")), qPrintable(all));
        QVERIFY2(QRegularExpression(QStringLiteral("[ ;]echo ")).match(all).hasMatch(), qPrintable(all)); // not "-echo"
    }

    // Ctrl+C in the middle of a statement: SQLite is interrupted, nothing is written.
    // A service manager's SIGTERM and a closed terminal's SIGHUP stop it the same way,
    // with the shell's status for the signal.
    void interruptStopsTheStatement_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("Ctrl+C") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    }
    void interruptStopsTheStatement()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        const QString file = dir.filePath(QStringLiteral("long.xml"));
        QProcess p;
        p.start(clitest::cliProgram(), {QStringLiteral("query"),
                                        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n"
                                                       " where i < 2000000000) select count(*) from n"),
                                        QStringLiteral("--out"), file, QStringLiteral("--connect"), db});
        QVERIFY(p.waitForStarted());
        QTest::qWait(1500);
        ::kill(pid_t(p.processId()), signal);
        const clitest::CliResult r = clitest::finish(p, 60000);
        QVERIFY2(r.exitCode == status && r.err.contains(QStringLiteral("命令已停止")), qPrintable(r.describe()));
        QVERIFY(!QFile::exists(file));
    }

    // Ctrl+C during a batch: the tables done keep their files and their log lines, the
    // one in hand is not written half, and the rest are left.
    void interruptStopsTheBatch()
    {
        const QString bigDb = dir.filePath(QStringLiteral("big.db"));
        QString sql;
        for (int i = 1; i <= 6; ++i)
            sql += QStringLiteral("CREATE TABLE t%1 (id INTEGER PRIMARY KEY, v TEXT);"
                                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150000)"
                                  " INSERT INTO t%1 SELECT i, 'row ' || i FROM n;").arg(i);
        QVERIFY(execSql(bigDb, sql));
        const QString folder = out(QStringLiteral("stopped"));
        QProcess p;
        p.start(clitest::cliProgram(), {QStringLiteral("batch-xml"), QStringLiteral("--all"), QStringLiteral("--dir"), folder,
                                        QStringLiteral("--connect"), bigDb});
        QVERIFY(p.waitForStarted());
        QVERIFY(p.waitForReadyRead(60000)); // the first file is written
        ::kill(pid_t(p.processId()), SIGINT);
        const clitest::CliResult r = clitest::finish(p, 60000);
        QVERIFY2(r.exitCode == 130 && r.err.contains(QStringLiteral("XML轉檔已停止")), qPrintable(r.describe()));
        const QStringList written = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(!written.isEmpty() && written.size() < 6, qPrintable(r.describe()));
        const QByteArray log = clitest::readFile(folder + QLatin1Char('/') + exchange::kBatchLogFileName);
        QCOMPARE(log.count("\r\n"), written.size() + 1);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), written.size() + 1); // no partial file
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
