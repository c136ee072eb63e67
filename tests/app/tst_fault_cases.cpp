// Faults a user meets with files, as tables of cases on real components: SQLite files
// that cannot be written (opened read-only, or in a folder mounted read-only) or that
// were cut short, and saves through the program's own rowset writer that fail (read-only
// folder, full disk) or are killed half-way. For each case: the message, the state
// afterwards, and that the old file is whole with nothing stray beside it.
//
// The killed save runs in a child: this test program started again with
// --write-large-rowset writes a large rowset over the target until it is killed.
#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include "data/core/DatabaseError.h"
#include "data/core/Field.h"
#include "data/core/FieldType.h"
#include "data/rowsetxml/RowsetXml.h"
#include "support/Facility.h"
#include "support/FileBytes.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

using components::TwDBGrid;
using testsupport::ScriptedUiScope;
using testsupport::readAll;

namespace {

const QString kTable = QStringLiteral("客戶");
const QString kColumn = QStringLiteral("聯絡人");

bool execSql(const QString &file, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// 客戶 with three contacts, and a table of many pages to cut short.
bool makeDatabase(const QString &file)
{
    return execSql(file, "PRAGMA page_size=1024;"
                         "CREATE TABLE 客戶 (編號 INTEGER PRIMARY KEY, 聯絡人 TEXT);"
                         "INSERT INTO 客戶 (聯絡人) VALUES ('甲'), ('乙'), ('丙');"
                         "CREATE TABLE 大表 (編號 INTEGER PRIMARY KEY, 內容 TEXT);"
                         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                         "INSERT INTO 大表 (內容) SELECT printf('%0200d', i) FROM n;");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// A tmpfs of the given size; read-only after `prepare` when asked. Unmounted on leaving.
class SmallDisk {
public:
    explicit SmallDisk(const QString &size) : size_(size) {}
    ~SmallDisk()
    {
        if (mounted_)
            umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    QString mount()
    {
        if (geteuid() != 0)
            return QStringLiteral("mounting a tmpfs needs root");
        const QByteArray options = "size=" + size_.toLatin1();
        if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) != 0)
            return QStringLiteral("tmpfs cannot be mounted here");
        mounted_ = true;
        return {};
    }
    bool makeReadOnly()
    {
        const QByteArray options = "size=" + size_.toLatin1();
        return ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       options.constData()) == 0;
    }
    QString path(const QString &name = {}) const { return name.isEmpty() ? dir_.path() : dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString size_;
    bool mounted_ = false;
};

// Fills the disk of `folder` with a file named "filler", whose name it returns.
QString fillDisk(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    return QStringLiteral("filler");
}

// A rowset of `rows` rows of one 200-character text column.
data::rowsetxml::Rowset textRowset(int rows)
{
    data::ColumnInfo column;
    column.name = QStringLiteral("內容");
    column.type = data::ftWideString;
    column.size = 200;
    data::rowsetxml::Rowset rowset;
    rowset.columns.push_back(column);
    data::ColumnStore store(data::storageFor(column.type));
    for (int i = 0; i < rows; ++i)
        store.appendValue(QStringLiteral("列%1").arg(i, 197, 10, QLatin1Char('0')));
    rowset.rows.columns.push_back(std::move(store));
    return rowset;
}

void saveRowset(const QString &path, const data::rowsetxml::Rowset &rowset)
{
    std::vector<uint32_t> order(rowset.rows.rowCount());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = uint32_t(i);
    data::rowsetxml::save(path, rowset.columns, rowset.rows, order, false);
}

// The child's part of the killed save: writes a large rowset over the target, again and
// again, until it is killed.
int writeLargeRowsetForever(const QString &path)
{
    const data::rowsetxml::Rowset rowset = textRowset(100000);
    for (;;)
        saveRowset(path, rowset);
}

// The size of what the process has open in the folder (its unnamed or temporary save
// file), -1 while it has nothing open there.
qint64 openFileSizeIn(qint64 pid, const QString &folder)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
        const QString target = QFile::symLinkTarget(fds + QLatin1Char('/') + fd);
        if (target.startsWith(folder + QLatin1Char('/')))
            return QFileInfo(fds + QLatin1Char('/') + fd).size();
    }
    return -1;
}

} // namespace

class TestFaultCases : public QObject {
    Q_OBJECT

    ScriptedUiScope ui;
    std::unique_ptr<Tfm_ADO_Schema> w;

    void openWindowOn(const QString &connectionString)
    {
        w = std::make_unique<Tfm_ADO_Schema>();
        w->ADOConnection1.setConnectionString(connectionString);
        w->resize(1000, 700);
        QVERIFY(drive::showActive(w.get()));
        ui.clearRecords();
    }
    // Fetches the tables and opens one in the XML page's grid, as a person does.
    void openTable(const QString &table)
    {
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        const auto found = w->lbxTableName->findItems(table, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(ui.messageTexts().join('|')));
        w->cbxOpenDataSet->setChecked(true);
        QListWidget *list = w->lbxTableName;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        w->showPage(4);
    }

private slots:
    void cleanup() { w.reset(); }

    // An edit posted to a database that cannot be written: a Chinese line saying why,
    // SQLite's own text beside it in an error box, the typed value kept in the row,
    // which stays in its edit state.
    void editOnUnwritableDatabase_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");       // the Chinese line
        QTest::addColumn<QString>("sqliteText"); // SQLite's own
        const QString readOnly = QStringLiteral("資料庫檔案是唯讀的");
        QTest::newRow("database opened read-only") << "read-only connection" << readOnly << "readonly";
        QTest::newRow("folder mounted read-only") << "read-only folder" << readOnly << "readonly";
        QTest::newRow("disk full") << "disk full" << QStringLiteral("磁碟空間已滿") << "database or disk is full";
    }
    void editOnUnwritableDatabase()
    {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QFETCH(QString, sqliteText);
        SmallDisk disk(QStringLiteral("4m"));
        const QString missing = disk.mount();
        REQUIRE_FACILITY(missing.isEmpty(), missing);
        const QString db = disk.path(QStringLiteral("shop.db"));
        QVERIFY(makeDatabase(db));
        if (fault == QLatin1String("read-only folder"))
            QVERIFY(disk.makeReadOnly());
        const QByteArray before = readAll(db);
        openWindowOn(QStringLiteral("Provider=SQLite.1;Data Source=%1%2")
                         .arg(db, fault == QLatin1String("read-only connection") ? ";Mode=Read" : ""));
        openTable(kTable);
        QStringList files{QStringLiteral("shop.db")};
        if (fault == QLatin1String("disk full"))
            files.prepend(fillDisk(disk.path())); // listed by name
        TwDBGrid *grid = w->DBGrid2;
        const int column = w->ADODXML.FieldByName(kColumn)->Index();
        drive::clickCell(grid, 0, column);
        drive::type(QStringLiteral("新值"));
        drive::press(Qt::Key_Return); // past the last column: posts
        QVERIFY2(ui.messages().size() == 1, qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
        QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
        QCOMPARE(ui.lastMessage().icon, platform::MessageIcon::Stop);
        QVERIFY2(ui.lastMessage().text.startsWith(said) && ui.lastMessage().text.contains(sqliteText),
                 qPrintable(ui.lastMessage().text));
        QCOMPARE(w->ADODXML.State(), data::dsEdit);
        QCOMPARE(w->ADODXML.FieldByName(kColumn)->AsString(), QStringLiteral("新值"));
        QCOMPARE(readAll(db), before);
        QCOMPARE(filesIn(disk.path()), files);
    }

    // A database file cut short: opening the table that lost its pages shows SQLite's
    // "database disk image is malformed" in an error box; the window goes on working.
    void truncatedDatabase_data()
    {
        QTest::addColumn<int>("keptPages");
        QTest::newRow("schema pages only") << 3;
        QTest::newRow("half the table") << 40;
    }
    void truncatedDatabase()
    {
        QFETCH(int, keptPages);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("cut.db"));
        QVERIFY(makeDatabase(db));
        QVERIFY(QFile::resize(db, qint64(keptPages) * 1024));
        openWindowOn(QStringLiteral("Provider=SQLite.1;Data Source=") + db);
        QTest::mouseClick(w->btnGetTableName, Qt::LeftButton);
        w->cbxOpenDataSet->setChecked(true);
        const auto found = w->lbxTableName->findItems(QStringLiteral("大表"), Qt::MatchExactly);
        if (!found.isEmpty()) {
            QListWidget *list = w->lbxTableName;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!ui.messages().isEmpty(), 10000); // a later slice of the fill may meet it
        QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
        QVERIFY2(ui.lastMessage().text.contains(QLatin1String("database disk image is malformed")),
                 qPrintable(ui.lastMessage().text));
        QVERIFY(w->isVisible());
        QCOMPARE(QFileInfo(db).size(), qint64(keptPages) * 1024);
    }

    // A save that cannot finish: an error naming the file, the old file whole and
    // nothing else left in the folder.
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("diskSize");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("namesPath"); // else: a message of some kind
        QTest::newRow("folder mounted read-only") << "1m" << true << 10 << true;
        QTest::newRow("disk full") << "256k" << false << 5000 << false;
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, diskSize);
        QFETCH(bool, readOnly);
        QFETCH(int, rows);
        QFETCH(bool, namesPath);
        SmallDisk disk(diskSize);
        const QString missing = disk.mount();
        REQUIRE_FACILITY(missing.isEmpty(), missing);
        const QString target = disk.path(QStringLiteral("old.xml"));
        saveRowset(target, textRowset(3));
        const QByteArray before = readAll(target);
        if (readOnly)
            QVERIFY(disk.makeReadOnly());
        try {
            saveRowset(target, textRowset(rows));
            QFAIL("the save did not fail");
        } catch (const data::DatabaseError &e) {
            QVERIFY2(namesPath ? e.message().contains(target) : !e.message().isEmpty(), qPrintable(e.message()));
        }
        QCOMPARE(readAll(target), before);
        QCOMPARE(filesIn(disk.path()), QStringList{QStringLiteral("old.xml")});
        QCOMPARE(data::rowsetxml::load(target).rows.rowCount(), size_t(3));
    }

    // The column captions stored in a settings file that cannot be written (its folder
    // mounted read-only, its disk full): one error box, in Chinese, with the file's path
    // and the system's reason; the old file as it was and nothing left beside it.
    void settingsFileCannotBeWritten_data()
    {
        QTest::addColumn<bool>("readOnly"); // else: the disk is full
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder mounted read-only") << true << QStringLiteral("Read-only file system");
        QTest::newRow("disk full") << false << QStringLiteral("No space left on device");
    }
    void settingsFileCannotBeWritten()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        SmallDisk disk(QStringLiteral("256k"));
        const QString missing = disk.mount();
        REQUIRE_FACILITY(missing.isEmpty(), missing);
        const QString ini = disk.path(QStringLiteral("ADO_OpenSchema.Ini"));
        {
            QFile old(ini);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("[Other]\r\nKept=1\r\n");
        }
        const QByteArray before = readAll(ini);
        QStringList expectedFiles{QStringLiteral("ADO_OpenSchema.Ini")};
        if (readOnly) {
            QVERIFY(disk.makeReadOnly());
        } else {
            expectedFiles.append(fillDisk(disk.path()));
        }
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("shop.db"));
        QVERIFY(makeDatabase(db));
        openWindowOn(QStringLiteral("Provider=SQLite.1;Data Source=") + db);
        w->FSchemaIniFile = ini;
        openTable(kTable);
        ui.clearRecords();
        w->menuItem(QStringLiteral("N10"))->trigger(); // 存資料集欄位顯示名稱至Ini
        QVERIFY2(ui.messages().size() == 1, qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
        QCOMPARE(ui.lastMessage().title, QStringLiteral("錯誤"));
        const QString said = ui.lastMessage().text;
        QVERIFY2(said.contains(QStringLiteral("設定檔")) && said.contains(QStringLiteral("Unable to write to ") + ini) &&
                     said.contains(reason),
                 qPrintable(said));
        QCOMPARE(readAll(ini), before);
        QCOMPARE(filesIn(disk.path()), expectedFiles);
    }

    // A save killed half-way through a large file: the old file is whole and loads.
    void killedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("old.xml"));
        saveRowset(target, textRowset(3));
        const QByteArray before = readAll(target);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--write-large-rowset"), target});
        QVERIFY(child.waitForStarted());
        // Half-way: the save file holds a good part of the new content, not all of it.
        QVERIFY(QTest::qWaitFor([&] { return openFileSizeIn(child.processId(), dir.path()) > 4 * 1024 * 1024; }, 60000));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(readAll(target), before);
        QCOMPARE(data::rowsetxml::load(target).rows.rowCount(), size_t(3));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("old.xml")});
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--write-large-rowset") == 0) {
        QCoreApplication app(argc, argv);
        return writeLargeRowsetForever(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestFaultCases test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fault_cases.moc"
