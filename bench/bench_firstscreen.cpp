// Prints how soon a big result shows its first screen and how long its background fill
// takes, against the bare sqlite3_step loop, on the 1,000,000-row, 8-column table, in one
// run: the bare loop's first 50 rows and all rows; the dataset's Open (first screen) and
// the end of its fill from the timer slices, with the longest slice (how long the window
// can go without handling input), with the window's wait installed and without it; and
// the same Open fetching everything at once.
// Usage: bench_firstscreen [rows] [work folder]
#include "data/core/CommandWait.h"
#include "data/core/Dataset.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <thread>
#include "BenchBareLoop.h"
#include "BenchDataset.h"
#include "BenchTable.h"

namespace {

constexpr int kScreenRows = 50;

struct Filled {
    double openMs = 0;     // Open returned: the first screen can be painted
    long long firstRows = 0;
    double allMs = 0;      // the last slice is in
    double longestSliceMs = 0;
    int slices = 0;
};

// The window's connection has a wait installed: long calls go to the worker, and later
// SQLite slices are watched from the progress handler. This one never has to show.
class QuietWait final : public data::CommandWait {
public:
    void wait(data::RunningCall &call) override
    {
        while (!call.finished())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
};

Filled backgroundFill(const QString &file, data::CommandWait *wait)
{
    bench::TableDataset table(file);
    table.connection.setCommandWait(wait);
    data::Dataset &ds = table.dataset;
    Filled out;
    QElapsedTimer t, slice;
    QObject::connect(&ds, &data::Dataset::rowsArrived, [&] {
        out.longestSliceMs = std::max(out.longestSliceMs, slice.nsecsElapsed() / 1e6);
        ++out.slices;
    });
    t.start();
    ds.Open();
    out.openMs = t.nsecsElapsed() / 1e6;
    out.firstRows = ds.FetchedCount();
    while (ds.Fetching()) {
        slice.start(); // the time between two passes of the event loop is one slice
        QCoreApplication::processEvents();
    }
    out.allMs = t.nsecsElapsed() / 1e6;
    return out;
}

double openAtOnce(const QString &file)
{
    const data::FetchBudget first = data::Dataset::firstSliceBudget(), later = data::Dataset::sliceBudget();
    data::Dataset::setFillBudgets({}, {});
    bench::TableDataset table(file);
    QElapsedTimer t;
    t.start();
    table.dataset.Open();
    const double ms = t.nsecsElapsed() / 1e6;
    data::Dataset::setFillBudgets(first, later);
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/bench_firstscreen_%1.db").arg(rows);
    if (!QFileInfo::exists(file))
        bench::buildTable(file, rows);

    bench::bareFetch(file); // warms the page cache for everyone
    const bench::BareFetch bare = bench::bareFetch(file, kScreenRows);
    // Each measured twice, alternating, the better of the two kept: the first open of
    // a process also pays for memory the later ones find mapped already.
    QuietWait windowWait;
    Filled filled = backgroundFill(file, &windowWait);
    double whole = openAtOnce(file);
    Filled unwatched = backgroundFill(file, nullptr);
    const Filled again = backgroundFill(file, &windowWait);
    whole = std::min(whole, openAtOnce(file));
    const Filled unwatchedAgain = backgroundFill(file, nullptr);
    if (again.allMs < filled.allMs)
        filled = again;
    if (unwatchedAgain.allMs < unwatched.allMs)
        unwatched = unwatchedAgain;

    std::printf("rows: %d x 8 columns\n", rows);
    std::printf("bare sqlite3_step loop: first %d rows %.2f ms, all rows %.1f ms\n", kScreenRows,
                bare.firstRowsMs, bare.allMs);
    std::printf("dataset, background fill: Open (first screen, %lld rows) %.2f ms = %.3f x the bare loop's all rows\n",
                filled.firstRows, filled.openMs, filled.openMs / bare.allMs);
    std::printf("                          all rows in %.1f ms = %.2f x the bare loop; %d slices, longest %.1f ms\n",
                filled.allMs, filled.allMs / bare.allMs, filled.slices, filled.longestSliceMs);
    std::printf("dataset, all at once:     Open %.1f ms = %.2f x the bare loop; the fill in slices costs %.2f x that\n",
                whole, whole / bare.allMs, filled.allMs / whole);
    std::printf("the window's stop watch on the slices: %.1f ms without it, so %.3f x\n", unwatched.allMs,
                filled.allMs / unwatched.allMs);
    return 0;
}
