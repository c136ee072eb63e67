// Prints what the batch export of tables to XML costs, in rounds of one run: the demo
// database's tables and views plus the 1,000,000-row, 8-column table T, each fetched and
// written to its own XML file with the timing log, against the sqlite3 shell fetching and
// writing the same tables as HTML tables (-html), one file each; and the batch's peak
// memory against opening the largest table alone with all its rows fetched (the batch
// reuses one dataset, so it should hold no more than that table at any time).
// Memory is measured in fresh processes of this program (see measureMemory).
// Usage: bench_batchexport [rows] [work folder] [demo.sql] [rounds, default 3]
// (demo.sql: the source tree's, found from build/bench, when not given or empty)
#include "BenchMemory.h"
#include "BenchRounds.h"
#include "BenchTable.h"
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/SqlNames.h"
#include "exchange/TableBatchExport.h"
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

double folderMb(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
    }
    return bytes / (1024.0 * 1024.0);
}

void addDemoTables(const QString &dbFile, const QString &script)
{
    QFile sql(script);
    if (!sql.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(script));
        std::exit(1);
    }
    sqlite3 *db = nullptr;
    bench::check(sqlite3_open(dbFile.toUtf8().constData(), &db), db, "open");
    bench::check(sqlite3_exec(db, sql.readAll().constData(), nullptr, nullptr, nullptr), db, "demo script");
    sqlite3_close(db);
}

// The sqlite3 shell writing every table as an HTML table, one process and file per table.
double shellExport(const QString &dbFile, const QStringList &tables, const QString &folder)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return -1;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QElapsedTimer t;
    t.start();
    for (const QString &table : tables) {
        QProcess p;
        p.setStandardOutputFile(folder + QLatin1Char('/') + table + QStringLiteral(".html"));
        p.start(shell, {QStringLiteral("-batch"), QStringLiteral("-html"), QStringLiteral("-header"), dbFile,
                        QStringLiteral("Select * From ") + data::quoteIdentifierWith(QStringLiteral("\""), table)});
            p.waitForFinished(-1);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return -1;
    }
    return bench::elapsedMs(t);
}

} // namespace

// One memory figure in a fresh process, so that what another phase gave back to the heap
// does not hide or add to it: the memory added at the peak of opening the largest table
// alone and fetching all its rows ("alone"), or of the whole batch ("batch"), over the
// process with its connection and grid ready. Prints MB.
int measureMemory(const QString &what, const QString &dbFile, const QString &folder)
{
    data::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    conn.Open();
    QStringList tables;
    conn.GetTableNames(tables);
    data::Dataset ds;
    ds.setConnection(&conn);
    components::TwDBGrid grid;
    grid.setDataSet(&ds);
    const long before = bench::readStatusKb("VmRSS:");
    bench::resetPeak();
    if (what == QLatin1String("alone")) {
        ds.setCommandText(QStringLiteral("Select * From T"));
        ds.Open(); // returns with the first slice
        ds.FetchAll();
    } else {
        exchange::exportTablesToXml(ds, folder, tables, {});
    }
    std::printf("%.1f\n", (bench::readStatusKb("VmHWM:") - before) / 1024.0);
    return 0;
}

double memoryInChild(const QString &what, const QString &dbFile, const QString &folder)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), what, dbFile, folder});
    p.waitForFinished(-1);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    return lines.isEmpty() ? -1 : lines.last().toDouble();
}

struct Figures {
    std::vector<double> shellMs, batchMs, aloneMb, batchMb;
};

// One round: the shell and the batch, alternating which goes first, then both memory
// figures, each in its own fresh process.
void measureRound(int round, Figures &f, data::Dataset &ds, const QStringList &tables, const QString &dbFile,
                  const QString &work)
{
    const QString ours = work + QStringLiteral("/xml");
    auto shell = [&] { f.shellMs.push_back(shellExport(dbFile, tables, work + QStringLiteral("/html"))); };
    auto batch = [&] {
        QDir(ours).removeRecursively();
        QDir().mkpath(ours);
        f.batchMs.push_back(bench::timeMs([&] { exchange::exportTablesToXml(ds, ours, tables, {}); }));
        ds.Close();
    };
    if (round % 2 == 0) {
        shell();
        batch();
    } else {
        batch();
        shell();
    }
    f.aloneMb.push_back(memoryInChild(QStringLiteral("alone"), dbFile, ours));
    f.batchMb.push_back(memoryInChild(QStringLiteral("batch"), dbFile, ours));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--memory") == 0)
        return measureMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                             QString::fromLocal8Bit(argv[4]));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = bench::roundsArgument(argc, argv, 4);
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_batch.db");
    QFile::remove(dbFile);
    std::printf("Building the demo tables and T (%d rows x 8 columns)...\n", rows);
    bench::buildTable(dbFile, rows);
    const QString script = argc > 3 && argv[3][0] ? QString::fromLocal8Bit(argv[3])
                                                  : QCoreApplication::applicationDirPath() + QStringLiteral("/../../demo/demo.sql");
    addDemoTables(dbFile, script);

    data::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    conn.Open();
    QStringList tables;
    conn.GetTableNames(tables);

    // The window's XML dataset and grid: the grid follows every table the batch opens.
    data::Dataset ds;
    ds.setConnection(&conn);
    components::TwDBGrid grid;
    grid.setDataSet(&ds);
    ds.setCommandText(QStringLiteral("Select * From T"));
    ds.Open(); // returns with the first slice
    ds.FetchAll();
    const double storeMb = ds.store().memoryBytes() / (1024.0 * 1024.0);
    ds.Close();

    shellExport(dbFile, tables, work + QStringLiteral("/html")); // warms the page cache
    Figures f;
    for (int round = 0; round < rounds; ++round)
        measureRound(round, f, ds, tables, dbFile, work);

    std::printf("tables and views %lld (%s); %d rounds\n", qlonglong(tables.size()),
                qPrintable(tables.join(QStringLiteral(", "))), rounds);
    std::printf("XML files with the log %.1f MB, the shell's HTML files %.1f MB; T's values %.1f MB\n",
                folderMb(work + QStringLiteral("/xml")), folderMb(work + QStringLiteral("/html")), storeMb);
    const bench::Spread shell = bench::spreadOf(f.shellMs), batch = bench::spreadOf(f.batchMs);
    if (shell.least > 0) {
        bench::printFigure("sqlite3 shell, -html, a process and file per table", shell, "ms");
        bench::printFigure("batch export to XML with its log", batch, "ms");
        bench::printRatio("batch export / the shell (goal <= 1.0x)", batch, shell);
    } else {
        bench::printFigure("batch export to XML with its log", batch, "ms");
        std::printf("no sqlite3 shell (or it failed): the ratio to it is left out\n");
    }
    const bench::Spread alone = bench::spreadOf(f.aloneMb), whole = bench::spreadOf(f.batchMb);
    bench::printFigure("memory added opening T alone, all rows fetched", alone, "MB");
    bench::printFigure("memory added at the whole batch's peak", whole, "MB");
    bench::printRatio("batch's peak / opening T alone (goal <= 1.0x)", whole, alone);
    bench::printRatio("batch's peak / T's values", whole, {storeMb, storeMb});
    return 0;
}
