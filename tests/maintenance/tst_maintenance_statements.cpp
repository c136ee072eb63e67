// The statements, messages and script of the SQL Server maintenance commands as plain
// text: the backup folder of every path layout, every builder on names holding blanks,
// quotes, semicolons, "]", "_" and "%", the table script line by line and its file byte
// for byte.
#include "maintenance/BackupFolder.h"
#include "maintenance/MaintenanceMessages.h"
#include "maintenance/MaintenanceStatements.h"
#include "maintenance/TableScript.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace maintenance;

namespace {

struct HostileName {
    const char *row;
    QString name;
    QString bracketed; // as SQL Server reads it as one name
    QString literal;   // inside '...'
    QString pattern;   // sp_columns' LIKE pattern matching only this name
};

// One table of names for every builder.
const QList<HostileName> &hostileNames()
{
    static const QList<HostileName> names = {
        {"plain", "T", "[T]", "'T'", "'T'"},
        {"blank", "a b", "[a b]", "'a b'", "'a b'"},
        {"quote", "O'Brien", "[O'Brien]", "'O''Brien'", "'O''Brien'"},
        {"semicolon", "t;DELETE FROM victim", "[t;DELETE FROM victim]", "'t;DELETE FROM victim'",
         "'t;DELETE FROM victim'"},
        {"bracket", "a]b", "[a]]b]", "'a]b'", "'a]b'"},
        {"underscore", "a_b", "[a_b]", "'a_b'", "'a[_]b'"},
        {"percent", "100%", "[100%]", "'100%'", "'100[%]'"},
        {"opening bracket", "[x]", "[[x]]]", "'[x]'", "'[[]x]'"},
        {"all at once", "it's ]_%; DROP TABLE victim --", "[it's ]]_%; DROP TABLE victim --]",
         "'it''s ]_%; DROP TABLE victim --'", "'it''s ][_][%]; DROP TABLE victim --'"},
        {"Chinese", "客戶 资料", "[客戶 资料]", "'客戶 资料'", "'客戶 资料'"},
    };
    return names;
}

void addNameColumns()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("bracketed");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("pattern");
    for (const HostileName &h : hostileNames())
        QTest::newRow(h.row) << h.name << h.bracketed << h.literal << h.pattern;
}

ScriptColumn column(const char *name, const char *type, const char *length, bool nullable)
{
    return {QString::fromUtf8(name), QString::fromUtf8(type), QString::fromUtf8(length), nullable};
}

} // namespace

class TestMaintenanceStatements : public QObject {
    Q_OBJECT

private slots:
    void backupFolderOfFirstFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");
        QTest::newRow("Data folder dropped") << "E:\\MSSQL\\Data\\shop.mdf" << "E:\\MSSQL\\";
        QTest::newRow("no data") << "E:\\SQLDB\\shop.mdf" << "E:\\SQLDB\\";
        QTest::newRow("data inside a folder name") << "D:\\MyDatabase\\Files\\shop.mdf" << "D:\\M\\";
        QTest::newRow("drive root") << "C:\\shop.mdf" << "C:\\\\";
        QTest::newRow("blanks trimmed, case ignored") << "  F:\\SQL\\DATA\\shop.mdf   " << "F:\\SQL\\";
        QTest::newRow("default instance path")
            << "C:\\Program Files\\Microsoft SQL Server\\MSSQL15.MSSQLSERVER\\MSSQL\\DATA\\shop.mdf"
            << "C:\\Program Files\\Microsoft SQL Server\\MSSQL15.MSSQLSERVER\\MSSQL\\";
        QTest::newRow("server on Linux") << "/var/opt/mssql/data/shop.mdf" << "/var/opt/mssql/";
        QTest::newRow("Linux, no data") << "/srv/sql/shop.mdf" << "/srv/sql/";
        QTest::newRow("Linux root") << "/shop.mdf" << "//";
        QTest::newRow("quote in the path") << "E:\\O'Brien\\Data\\shop.mdf" << "E:\\O'Brien\\";
    }
    void backupFolderOfFirstFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QCOMPARE(backupFolder(file), folder);
    }

    void reindexStatementKeepsNameInside_data() { addNameColumns(); }
    void reindexStatementKeepsNameInside()
    {
        QFETCH(QString, name);
        QFETCH(QString, bracketed);
        // The bracketed name inside a literal: its quotes doubled once more.
        const QString inLiteral = QString(bracketed).replace(QLatin1Char('\''), QStringLiteral("''"));
        QCOMPARE(reindexStatement({QStringLiteral("dbo"), name}),
                 QStringLiteral("DBCC DBReindex (N'[dbo].") + inLiteral + QStringLiteral("','', 0) WITH NO_INFOMSGS"));
        // The name as schema too: each part bracketed on its own.
        QCOMPARE(reindexStatement({name, QStringLiteral("T")}),
                 QStringLiteral("DBCC DBReindex (N'") + inLiteral + QStringLiteral(".[T]','', 0) WITH NO_INFOMSGS"));
    }

    void reindexStatementOfPlainAndHostileName_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("statement");
        QTest::newRow("plain") << "dbo" << "T" << "DBCC DBReindex (N'[dbo].[T]','', 0) WITH NO_INFOMSGS";
        QTest::newRow("hostile") << "dbo" << "O'Brien]x" << "DBCC DBReindex (N'[dbo].[O''Brien]]x]','', 0) WITH NO_INFOMSGS";
        QTest::newRow("other schema") << "Sales" << "Orders" << "DBCC DBReindex (N'[Sales].[Orders]','', 0) WITH NO_INFOMSGS";
        QTest::newRow("dot inside the name") << "Sales" << "Q1.Orders"
                                             << "DBCC DBReindex (N'[Sales].[Q1.Orders]','', 0) WITH NO_INFOMSGS";
        QTest::newRow("outside code page 950") << "dbo" << "客戶 资料"
                                               << "DBCC DBReindex (N'[dbo].[客戶 资料]','', 0) WITH NO_INFOMSGS";
        QTest::newRow("no schema") << "" << "T" << "DBCC DBReindex (N'[T]','', 0) WITH NO_INFOMSGS";
    }
    void reindexStatementOfPlainAndHostileName()
    {
        QFETCH(QString, schema);
        QFETCH(QString, name);
        QFETCH(QString, statement);
        QCOMPARE(reindexStatement({schema, name}), statement);
    }

    void columnsStatementMatchesOnlyTheTable_data() { addNameColumns(); }
    void columnsStatementMatchesOnlyTheTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QCOMPARE(columnsStatement({QString(), name}), QStringLiteral("EXEC sp_columns @table_name = N") + pattern);
        // The owner is a pattern too: Sales_1 must not also match Salesx1.
        QCOMPARE(columnsStatement({name, name}), QStringLiteral("EXEC sp_columns @table_name = N") + pattern +
                                                     QStringLiteral(", @table_owner = N") + pattern);
    }

    void useLinesBracketTheDatabase_data() { addNameColumns(); }
    void useLinesBracketTheDatabase()
    {
        QFETCH(QString, name);
        QFETCH(QString, bracketed);
        QCOMPARE(shrinkDataBatch(name), QStringList({"Use " + bracketed, "DBCC SHRINKFILE (1, 2)"}));
        QCOMPARE(fileListBatch(name), QStringList({"Use " + bracketed, "Select * From sysfiles "}));
        QCOMPARE(shrinkLogBatch(), QStringList{"DBCC SHRINKFILE (2, 2)"});
    }

    void backupBatchOfPlainName()
    {
        const BackupTargets t = backupTargets(QStringLiteral("shop"), QStringLiteral("E:\\MSSQL\\"), QStringLiteral("20240229"));
        QCOMPARE(t.dataDevice, QStringLiteral("shop_AllData"));
        QCOMPARE(t.logDevice, QStringLiteral("shop_Log"));
        QCOMPARE(t.dataFile, QStringLiteral("E:\\MSSQL\\shop_db_20240229.bak"));
        QCOMPARE(t.logFile, QStringLiteral("E:\\MSSQL\\shop_log_20240229.trn"));
        QCOMPARE(backupBatch(QStringLiteral("shop"), t),
                 QStringList({"Use master",
                              "if Exists (Select * From sysdevices Where name = N'shop_AllData')",
                              "  Exec sp_dropdevice N'shop_AllData'",
                              "if Exists (Select * From sysdevices Where name = N'shop_Log')",
                              "  Exec sp_dropdevice N'shop_Log'",
                              "EXEC sp_addumpdevice 'disk', N'shop_AllData', N'E:\\MSSQL\\shop_db_20240229.bak'",
                              "EXEC sp_addumpdevice 'disk', N'shop_Log', N'E:\\MSSQL\\shop_log_20240229.trn'",
                              "BACKUP DATABASE [shop] TO [shop_AllData]",
                              "BACKUP LOG [shop] TO [shop_Log]"}));
    }

    void backupBatchOfHostileName_data() { addNameColumns(); }
    void backupBatchOfHostileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, bracketed);
        QFETCH(QString, literal);
        const QString folder = QStringLiteral("/var/opt/mssql/");
        const BackupTargets t = backupTargets(name, folder, QStringLiteral("20261210"));
        // literal is '{name}' with quotes doubled; the device names and files extend it.
        const QString core = literal.mid(1, literal.size() - 2);
        const QString inner = bracketed.mid(1, bracketed.size() - 2);
        QCOMPARE(backupBatch(name, t),
                 QStringList({"Use master",
                              "if Exists (Select * From sysdevices Where name = N'" + core + "_AllData')",
                              "  Exec sp_dropdevice N'" + core + "_AllData'",
                              "if Exists (Select * From sysdevices Where name = N'" + core + "_Log')",
                              "  Exec sp_dropdevice N'" + core + "_Log'",
                              "EXEC sp_addumpdevice 'disk', N'" + core + "_AllData', N'/var/opt/mssql/" + core +
                                  "_db_20261210.bak'",
                              "EXEC sp_addumpdevice 'disk', N'" + core + "_Log', N'/var/opt/mssql/" + core +
                                  "_log_20261210.trn'",
                              "BACKUP DATABASE " + bracketed + " TO [" + inner + "_AllData]",
                              "BACKUP LOG " + bracketed + " TO [" + inner + "_Log]"}));
    }

    void backupBatchOfQuotedFolder()
    {
        const BackupTargets t = backupTargets(QStringLiteral("shop"), QStringLiteral("E:\\O'Brien\\"), QStringLiteral("20240229"));
        const QStringList lines = backupBatch(QStringLiteral("shop"), t);
        QCOMPARE(lines.at(5), QStringLiteral("EXEC sp_addumpdevice 'disk', N'shop_AllData', N'E:\\O''Brien\\shop_db_20240229.bak'"));
        QCOMPARE(lines.at(6), QStringLiteral("EXEC sp_addumpdevice 'disk', N'shop_Log', N'E:\\O''Brien\\shop_log_20240229.trn'"));
    }

    void shrinkMessages_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<QString>("message");
        QTest::newRow("both shrunk") << 0 << "Data \n\rLog\n\r壓縮成功!!";
        QTest::newRow("data failed") << 1 << "Data 壓縮失敗!!\n\rLog 壓縮成功!!";
        QTest::newRow("log failed") << 2 << "Data 壓縮成功!!\n\rLog 壓縮失敗!!";
        QTest::newRow("both failed") << 3 << "Data \n\rLog\n\r壓縮失敗!!";
    }
    void shrinkMessages()
    {
        QFETCH(int, failures);
        QFETCH(QString, message);
        QCOMPARE(shrinkResultMessage(failures), message);
    }

    void progressAndBackupTexts()
    {
        QCOMPARE(reindexProgress(QStringLiteral("客戶")), QStringLiteral("客戶 索引檔重整中 ......"));
        QCOMPARE(shrinkDataProgress(QStringLiteral("shop")), QStringLiteral("shop Data壓縮中，請稍待 ........."));
        QCOMPARE(shrinkLogProgress(QStringLiteral("shop")), QStringLiteral("shop Log壓縮中，請稍待 ........."));
        QCOMPARE(backupProgress(QStringLiteral("shop")), QStringLiteral("shop 資料庫備份中，請稍待 ......"));
        QCOMPARE(backupSuccessMessage(QStringLiteral("E:\\MSSQL\\"), QStringLiteral("A"), QStringLiteral("B")),
                 QStringLiteral("資料備份成功，備份位置 E:\\MSSQL\\\n\r起始時間：A\n\r終止時間：B"));
    }

    void regionalDateTimeWithoutZone_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("C") << "C" << "29 Feb 2024 13:45:30";
        QTest::newRow("en_US") << "en_US" << "2/29/24 1:45:30 PM";
        QTest::newRow("zh_TW") << "zh_TW" << "2024/2/29 下午1:45:30";
        QTest::newRow("de_DE") << "de_DE" << "29.02.24 13:45:30";
    }
    void regionalDateTimeWithoutZone()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QCOMPARE(regionalDateTime(QDateTime(QDate(2024, 2, 29), QTime(13, 45, 30)), QLocale(locale)), text);
    }

    void scriptOfTwoColumns()
    {
        QCOMPARE(tableScript(QStringLiteral("T"), {column("id", "int", "4", false), column("name", "varchar", "20", true)}),
                 QStringList({"CREATE TABLE T", "(", "      id int 4 NOT NULL ,", "      name varchar 20 NULL ", ")"}));
    }

    void scriptOfOneColumnHasNoComma()
    {
        QCOMPARE(tableScript(QStringLiteral("單欄"), {column("編號", "int identity", "4", false)}),
                 QStringList({"CREATE TABLE 單欄", "(", "      編號 int identity 4 NOT NULL ", ")"}));
    }

    void scriptOfNoColumns()
    {
        QCOMPARE(tableScript(QStringLiteral("T"), {}), QStringList({"CREATE TABLE T", "(", ")"}));
    }

    void scriptNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "Orders" << "Orders";
        QTest::newRow("Chinese") << "客戶" << "客戶";
        QTest::newRow("leading underscore, digits, @ $ #") << "_a1@$#" << "_a1@$#";
        QTest::newRow("temporary table") << "#tmp" << "[#tmp]";
        QTest::newRow("variable") << "@v" << "[@v]";
        QTest::newRow("global variable") << "@@x" << "[@@x]";
        QTest::newRow("leading dollar") << "$x" << "[$x]";
        QTest::newRow("@ # $ inside") << "a@b#c$" << "a@b#c$";
        QTest::newRow("blank") << "a b" << "[a b]";
        QTest::newRow("quote") << "O'Brien" << "[O'Brien]";
        QTest::newRow("semicolon") << "t;DELETE FROM victim" << "[t;DELETE FROM victim]";
        QTest::newRow("bracket") << "a]b" << "[a]]b]";
        QTest::newRow("underscore") << "a_b" << "a_b";
        QTest::newRow("leading digit") << "1st" << "[1st]";
        QTest::newRow("reserved word") << "select" << "[select]";
        QTest::newRow("reserved word, upper case") << "ORDER" << "[ORDER]";
        QTest::newRow("empty") << "" << "[]";
    }
    void scriptNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, written);
        QCOMPARE(scriptName(name), written);
    }

    void scriptHeadOfListedTable_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("head");
        QTest::newRow("default schema") << "dbo" << "Orders" << "Orders" << "CREATE TABLE Orders";
        QTest::newRow("other schema") << "Sales" << "Orders" << "Sales.Orders" << "CREATE TABLE Sales.Orders";
        QTest::newRow("dot inside the name") << "Sales" << "Q1.Orders" << "Sales.Q1.Orders"
                                             << "CREATE TABLE Sales.[Q1.Orders]";
        QTest::newRow("parts needing brackets") << "my schema" << "@v" << "my schema.@v" << "CREATE TABLE [my schema].[@v]";
        QTest::newRow("no schema") << "" << "a b" << "a b" << "CREATE TABLE [a b]";
    }
    void scriptHeadOfListedTable()
    {
        QFETCH(QString, schema);
        QFETCH(QString, name);
        QFETCH(QString, listed);
        QFETCH(QString, head);
        const QStringList lines = tableScript(data::ListedTable{{schema, name}, listed}, {column("@v", "int", "4", true)});
        QCOMPARE(lines, QStringList({head, "(", "      [@v] int 4 NULL ", ")"}));
    }

    void scriptOfHostileTableAndColumn()
    {
        QCOMPARE(tableScript(QStringLiteral("t;DELETE FROM victim"),
                             {column("it's", "varchar", "10", true), column("a]b", "int", "4", false)}),
                 QStringList({"CREATE TABLE [t;DELETE FROM victim]", "(", "      [it's] varchar 10 NULL ,",
                              "      [a]]b] int 4 NOT NULL ", ")"}));
    }

    void scriptFileNames_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "T" << "Create_T.sql";
        QTest::newRow("Chinese with blank") << "客戶 資料" << "Create_客戶 資料.sql";
        QTest::newRow("separators") << "a/b\\c" << "Create_a_b_c.sql";
        QTest::newRow("climbs two folders") << "../../escape" << "Create_______escape.sql";
        QTest::newRow("dot dot") << ".." << "Create___.sql";
        QTest::newRow("schema and name") << "dbo.訂單" << "Create_dbo.訂單.sql";
        QTest::newRow("control characters") << "a\tb\nc" << "Create_a_b_c.sql";
        QTest::newRow("too long") << QString(100, QChar(0x8868)) << "Create_" + QString(66, QChar(0x8868)) + ".sql";
    }
    void scriptFileNames()
    {
        QFETCH(QString, table);
        QFETCH(QString, file);
        QCOMPARE(scriptFileName(table), file);
    }

    void scriptFileIsBig5WithCrLf()
    {
        const QStringList lines = tableScript(QStringLiteral("客戶"), {column("id", "int", "4", false), column("名稱", "nvarchar", "20", true)});
        // 客 AB C8, 戶 A4 E1, 名 A6 57, 稱 BA D9 in code page 950.
        const QByteArray expected = QByteArray("CREATE TABLE \xAB\xC8\xA4\xE1\r\n"
                                               "(\r\n"
                                               "      id int 4 NOT NULL ,\r\n"
                                               "      \xA6\x57\xBA\xD9 nvarchar 20 NULL \r\n"
                                               ")\r\n");
        QCOMPARE(scriptFileBytes(lines), expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Create_客戶.sql"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older, longer script that must be replaced entirely\r\n");
        old.close();
        saveScriptFile(path, lines);
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Create_客戶.sql")});
    }

    void scriptFileInMissingFolderFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no such folder/Create_T.sql"));
        QString error;
        try {
            saveScriptFile(path, {QStringLiteral("CREATE TABLE T")});
        } catch (const std::runtime_error &e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.startsWith(QStringLiteral("無法建立檔案 ") + path), qPrintable(error));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceStatements)
#include "tst_maintenance_statements.moc"
