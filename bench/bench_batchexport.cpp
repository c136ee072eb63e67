// Prints what the batch export of tables to XML costs, all in one run: the demo
// database's tables and views plus the 1,000,000-row, 8-column table T, each written to
// its own XML file with the timing log, against the sqlite3 shell writing the same
// tables as HTML tables (-html), one file each; and the batch's peak memory against the
// dataset of the largest table alone (the batch reuses one dataset, so it should hold
// no more than that table at any time).
// Memory is measured in fresh processes of this program (see measureMemory).
// Usage: bench_batchexport [rows] [work folder] [demo.sql] (default: the source tree's,
// found from build/bench)
#include "BenchMemory.h"
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

namespace {

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

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
    }
    return ms(t);
}

} // namespace

// One memory figure in a fresh process, so that what another phase gave back to the heap
// does not hide or add to it: the memory added at the peak of opening the largest table
// alone ("alone") or of the whole batch ("batch"), over the process with its connection
// and grid ready. Prints MB.
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
        ds.Open();
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

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--memory") == 0)
        return measureMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                             QString::fromLocal8Bit(argv[4]));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_batch.db");
    QFile::remove(dbFile);
    std::printf("Building the demo tables and T (%d rows x 8 columns)...\n", rows);
    bench::buildTable(dbFile, rows);
    const QString script = argc > 3 ? QString::fromLocal8Bit(argv[3])
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
    ds.Open();
    const double storeMb = ds.store().memoryBytes() / (1024.0 * 1024.0);
    ds.Close();

    // Times from the second of two passes: the page cache is warm for both programs.
    const QString ours = work + QStringLiteral("/xml");
    const QString shellFolder = work + QStringLiteral("/html");
    double shellMs = 0, batchMs = 0;
    for (int pass = 0; pass < 2; ++pass) {
        shellMs = shellExport(dbFile, tables, shellFolder);
        QDir(ours).removeRecursively();
        QDir().mkpath(ours);
        QElapsedTimer t;
        t.start();
        exchange::exportTablesToXml(ds, ours, tables, {});
        batchMs = ms(t);
        ds.Close();
    }
    const double largestMb = memoryInChild(QStringLiteral("alone"), dbFile, ours);
    const double peakMb = memoryInChild(QStringLiteral("batch"), dbFile, ours);

    std::printf("tables and views                     %lld (%s)\n", qlonglong(tables.size()),
                qPrintable(tables.join(QStringLiteral(", "))));
    if (shellMs >= 0)
        std::printf("sqlite3 shell, -html, file per table %9.1f ms  (%.1f MB)\n", shellMs, folderMb(shellFolder));
    std::printf("batch export to XML with its log     %9.1f ms  (%.1f MB)   ratio %.2fx the shell (goal <= 1.0x)\n",
                batchMs, folderMb(ours), shellMs > 0 ? batchMs / shellMs : 0.0);
    std::printf("largest table's dataset (T) alone    %9.1f MB added at the peak of opening it (%.1f MB of values)\n",
                largestMb, storeMb);
    std::printf("whole batch                          %9.1f MB added at its peak: %.2fx opening the largest table alone "
                "(goal <= 1.0x; +%.1f MB), %.2fx its values\n",
                peakMb, largestMb > 0 ? peakMb / largestMb : 0.0, peakMb - largestMb, storeMb > 0 ? peakMb / storeMb : 0.0);
    return 0;
}
