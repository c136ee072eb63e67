// Prints how soon a big result shows its first screen and how long its background fill
// takes, against the bare sqlite3_step loop, on the 1,000,000-row, 8-column table, in
// rounds of one run: the bare loop's first 50 rows and all rows; the dataset's Open
// (first screen) and the end of its fill from the timer slices, with the longest slice
// (how long the window can go without handling input), with the window's wait installed
// and without it; and the same Open fetching everything at once.
// Usage: bench_firstscreen [rows] [work folder] [rounds, default 3]
#include "data/core/CommandWait.h"
#include "data/core/Dataset.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <sqlite3.h>
#include <thread>
#include "BenchBareLoop.h"
#include "BenchDataset.h"
#include "BenchRounds.h"
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

struct Rounds {
    std::vector<double> bareFirstMs, bareAllMs, openMs, filledMs, longestSliceMs, wholeMs, unwatchedMs;
    long long firstRows = 0;
    int slices = 0;
};

// One round of the four, in an order that turns with the round: the first open of a
// process also pays for memory the later ones find mapped already.
void measureRound(int round, Rounds &r, const QString &file, data::CommandWait *windowWait)
{
    std::vector<std::function<void()>> phases = {
        [&] {
            const bench::BareFetch bare = bench::bareFetch(file, kScreenRows);
            r.bareFirstMs.push_back(bare.firstRowsMs);
            r.bareAllMs.push_back(bare.allMs);
        },
        [&] {
            const Filled filled = backgroundFill(file, windowWait);
            r.openMs.push_back(filled.openMs);
            r.filledMs.push_back(filled.allMs);
            r.longestSliceMs.push_back(filled.longestSliceMs);
            r.firstRows = filled.firstRows;
            r.slices = filled.slices;
        },
        [&] { r.wholeMs.push_back(openAtOnce(file)); },
        [&] { r.unwatchedMs.push_back(backgroundFill(file, nullptr).allMs); },
    };
    std::rotate(phases.begin(), phases.begin() + round % phases.size(), phases.end());
    for (const auto &phase : phases)
        phase();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = bench::roundsArgument(argc, argv, 3);
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/bench_firstscreen_%1.db").arg(rows);
    if (!QFileInfo::exists(file))
        bench::buildTable(file, rows);

    bench::bareFetch(file); // warms the page cache for everyone
    QuietWait windowWait;
    Rounds r;
    for (int round = 0; round < rounds; ++round)
        measureRound(round, r, file, &windowWait);

    std::printf("rows: %d x 8 columns; %d rounds; Open returns with %lld rows, filled in %d slices\n", rows, rounds,
                r.firstRows, r.slices);
    const bench::Spread bareAll = bench::spreadOf(r.bareAllMs), open = bench::spreadOf(r.openMs),
                        filled = bench::spreadOf(r.filledMs), whole = bench::spreadOf(r.wholeMs),
                        unwatched = bench::spreadOf(r.unwatchedMs);
    bench::printFigure("bare sqlite3_step loop: first 50 rows", bench::spreadOf(r.bareFirstMs), "ms");
    bench::printFigure("bare sqlite3_step loop: all rows", bareAll, "ms");
    bench::printFigure("background fill: Open returns (first screen)", open, "ms");
    bench::printRatio("background fill: Open returns / bare loop's all rows", open, bareAll);
    bench::printFigure("background fill: all rows in", filled, "ms");
    bench::printRatio("background fill: all rows in / bare loop", filled, bareAll);
    bench::printFigure("background fill: longest slice", bench::spreadOf(r.longestSliceMs), "ms");
    bench::printFigure("all at once: Open", whole, "ms");
    bench::printRatio("all at once: Open / bare loop", whole, bareAll);
    bench::printRatio("fill in slices / all at once", filled, whole);
    bench::printFigure("background fill without the window's stop wait: all rows in", unwatched, "ms");
    bench::printRatio("fill with the stop wait / without it", filled, unwatched);
    return 0;
}
