// Prints the memory of a process that holds the 1,000,000-row, 8-column table open to
// its last row: a dataset with every row fetched, shown in a data grid, Ctrl+End pressed.
// Figures are the process's whole resident memory (VmRSS, its peak VmHWM) from /proc,
// so they compare with another program's on the same file (bench/peer_memory.sh);
// beside them the column store's bytes, column by column, and the table's text size.
// Each round runs in a fresh process of this program; least and middle are printed.
// Usage: bench_memory [rows] [work folder] [rounds]
//        bench_memory --open FILE    (one round: prints "rss-kB peak-kB store-bytes")
#include "BenchDataset.h"
#include "components/wDBGrid.h"
#include "data/core/ColumnStore.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <sqlite3.h>
#include <vector>
#include "BenchMemory.h"
#include "BenchRounds.h"
#include "BenchTable.h"

namespace {

const char *const kKinds[] = {"Int", "Real", "DateTime", "Text", "Bytes", "Money"};

struct Round {
    long rssKb = 0;
    long peakKb = 0;
    long long storeBytes = 0;
};

void pressCtrlEnd(QWidget &w)
{
    QKeyEvent down(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w, &down);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(&w, &up);
}

void printColumns(const data::RowStore &store)
{
    for (size_t c = 0; c < store.columns.size(); ++c) {
        const data::ColumnStore &cs = store.columns[c];
        std::printf("  column %zu  %-8s %8.1f MB\n", c + 1, kKinds[int(cs.kind())], cs.memoryBytes() / 1e6);
    }
}

// One round, in this process: the grid shown, every row in, the cursor on the last row.
int openToLastRow(const QString &dbFile, bool verbose)
{
    bench::TableDataset table(dbFile);
    data::Dataset &ds = table.dataset;
    components::TwDBGrid grid;
    grid.resize(1000, 700);
    grid.setDataSet(&ds);
    grid.show();
    QCoreApplication::processEvents();
    ds.Open();
    ds.FetchAll();
    grid.setMaxRowCanMoveLast(INT_MAX);
    pressCtrlEnd(grid);
    QCoreApplication::processEvents();
    grid.viewport()->repaint();
    if (verbose)
        printColumns(ds.store());
    std::printf("%ld %ld %zu\n", bench::readStatusKb("VmRSS:"), bench::readStatusKb("VmHWM:"),
                ds.store().memoryBytes());
    return ds.RecNo() == ds.RecordCount() ? 0 : 1;
}

Round roundInChild(const QString &self, const QString &dbFile)
{
    QProcess child;
    child.start(self, {QStringLiteral("--open"), dbFile});
    child.waitForFinished(-1);
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    const QList<QByteArray> f = lines.last().split(' ');
    if (child.exitCode() != 0 || f.size() != 3) {
        std::fprintf(stderr, "round failed: %s\n", child.readAllStandardError().constData());
        std::exit(1);
    }
    return {f[0].toLong(), f[1].toLong(), f[2].toLongLong()};
}

long long textBytesOf(const QString &file)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "Select * From T", -1, &st, nullptr);
    long long bytes = 0;
    const int cols = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < cols; ++c) {
            sqlite3_column_text(st, c);
            bytes += sqlite3_column_bytes(st, c);
        }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return bytes;
}

double mib(long kb)
{
    return kb / 1024.0;
}

template <typename Key> Round nth(std::vector<Round> runs, Key key, size_t i)
{
    std::sort(runs.begin(), runs.end(), [&](const Round &a, const Round &b) { return key(a) < key(b); });
    return runs[std::min(i, runs.size() - 1)];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--open")
        return openToLastRow(QString::fromLocal8Bit(argv[2]), qEnvironmentVariableIsSet("BENCH_VERBOSE"));

    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_memory.db");
    QFile::remove(dbFile);
    std::printf("Building %d rows x 8 columns in %s...\n", rows, qPrintable(dbFile));
    bench::buildTable(dbFile, rows);
    const long long textBytes = textBytesOf(dbFile);

    std::vector<Round> runs;
    for (int r = 0; r < rounds; ++r)
        runs.push_back(roundInChild(QCoreApplication::applicationFilePath(), dbFile));
    auto rss = [](const Round &x) { return x.rssKb; };
    auto peak = [](const Round &x) { return x.peakKb; };
    const size_t middle = runs.size() / 2;

    std::printf("rows                               %d\n", rows);
    std::printf("table's text                       %9.1f MB\n", textBytes / 1e6);
    std::printf("column store                       %9.1f MB   %.2fx the text\n", runs.front().storeBytes / 1e6,
                double(runs.front().storeBytes) / double(textBytes));
    bench::printFigure("process at the last row (VmRSS)",
                       {mib(nth(runs, rss, 0).rssKb), mib(nth(runs, rss, middle).rssKb)}, "MiB");
    bench::printFigure("process peak (VmHWM)", {mib(nth(runs, peak, 0).peakKb), mib(nth(runs, peak, middle).peakKb)},
                       "MiB");
    std::printf("by column (one round):\n");
    std::fflush(stdout);
    qputenv("BENCH_VERBOSE", "1");
    QProcess detail;
    detail.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open"), dbFile});
    detail.waitForFinished(-1);
    QList<QByteArray> lines = detail.readAllStandardOutput().split('\n');
    while (!lines.isEmpty() && !lines.last().startsWith("  "))
        lines.removeLast(); // the figures line and the trailing newline
    for (const QByteArray &l : lines)
        std::printf("%s\n", l.constData());
    std::printf("Compare: bench/peer_memory.sh %s\n", qPrintable(dbFile));
    return 0;
}
