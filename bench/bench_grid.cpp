// Prints how the data grid behaves on a 1,000,000-row, 8-column SQLite table, in rounds
// of one run: the time from opening the dataset to the first screen painted against the
// time to fetch all rows, Ctrl+End with no limit right after the open, and 1,000 Down
// presses at the top, middle and end of the table (the cost of a move must not depend on
// where the cursor is).
// Usage: bench_grid [rows] [work folder] [rounds, default 3]
#include "BenchDataset.h"
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <climits>
#include <cstdio>
#include <vector>
#include <sqlite3.h>
#include "BenchRounds.h"
#include "BenchTable.h"

namespace {

void press(QWidget &w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(&w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods);
    QCoreApplication::sendEvent(&w, &up);
}

// Runs the event loop until pending paints are done.
void settle(components::TwDBGrid &grid)
{
    QCoreApplication::processEvents();
    grid.viewport()->repaint();
}

double downPresses(components::TwDBGrid &grid, int presses, bool paint = true)
{
    return bench::timeMs([&] {
        for (int i = 0; i < presses; ++i) {
            press(grid, Qt::Key_Down);
            if (paint)
                QCoreApplication::processEvents(); // paint each new screen
        }
    });
}

// Fetching all rows into a dataset with nothing attached: the yardstick of the open.
double plainFetchMs(data::Connection &conn)
{
    data::Dataset plain;
    plain.setConnection(&conn);
    plain.setCommandText(QStringLiteral("Select * From T"));
    return bench::timeMs([&] {
        plain.Open();
        plain.FetchAll(); // Open returns with the first slice; the fetch is every row
    });
}

struct OpenRounds {
    std::vector<double> fetchMs, firstScreenMs, ctrlEndMs;
    int lastRecNo = 0;
};

// The plain fetch and the grid's open (its first screen, then Ctrl+End, which waits for
// the rows still arriving), alternating which goes first.
void openRound(int round, OpenRounds &r, data::Connection &conn, data::Dataset &ds, components::TwDBGrid &grid)
{
    auto plain = [&] { r.fetchMs.push_back(plainFetchMs(conn)); };
    auto shown = [&] {
        ds.Close();
        settle(grid);
        r.firstScreenMs.push_back(bench::timeMs([&] {
            ds.Open();
            settle(grid);
        }));
        r.ctrlEndMs.push_back(bench::timeMs([&] {
            press(grid, Qt::Key_End, Qt::ControlModifier);
            settle(grid);
        }));
        r.lastRecNo = ds.RecNo();
    };
    if (round % 2 == 0) {
        plain();
        shown();
    } else {
        shown();
        plain();
    }
}

struct PressRounds {
    std::vector<double> topMs, middleMs, endMs, topLogicMs, endLogicMs;
    int afterTop = 0, afterEnd = 0;
};

double pressesFrom(data::Dataset &ds, components::TwDBGrid &grid, int recNo, bool paint)
{
    ds.setRecNo(recNo);
    settle(grid);
    return downPresses(grid, 1000, paint);
}

// 1,000 Down presses at the top, the middle and near the end, painting every screen,
// then the grid's own work per press with painting left out (paints are queued, not run).
void pressRound(PressRounds &r, data::Dataset &ds, components::TwDBGrid &grid, int rows)
{
    r.topMs.push_back(pressesFrom(ds, grid, 1, true));
    r.afterTop = ds.RecNo();
    r.middleMs.push_back(pressesFrom(ds, grid, rows / 2, true));
    r.endMs.push_back(pressesFrom(ds, grid, rows - 1001, true));
    r.afterEnd = ds.RecNo();
    r.topLogicMs.push_back(pressesFrom(ds, grid, 1, false));
    r.endLogicMs.push_back(pressesFrom(ds, grid, rows - 1001, false));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = bench::roundsArgument(argc, argv, 3);
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_grid.db");
    QFile::remove(dbFile);
    std::printf("Building %d rows x 8 columns...\n", rows);
    bench::buildTable(dbFile, rows);

    bench::TableDataset table(dbFile);
    data::Connection &conn = table.connection;
    data::Dataset &ds = table.dataset;
    components::TwDBGrid grid;
    grid.resize(1000, 700);
    grid.setDataSet(&ds);
    grid.show();
    settle(grid);
    // Ctrl+End with no limit: a limit no dataset reaches lets the key go to the last record.
    grid.setMaxRowCanMoveLast(INT_MAX);

    plainFetchMs(conn); // warms the page cache
    OpenRounds open;
    for (int round = 0; round < rounds; ++round)
        openRound(round, open, conn, ds, grid);
    PressRounds presses;
    for (int round = 0; round < rounds; ++round)
        pressRound(presses, ds, grid, rows);

    std::printf("rows %d; %d rounds; Ctrl+End reached record %d; 1,000 Down presses from the top reached record "
                "%d, near the end %d\n",
                rows, rounds, open.lastRecNo, presses.afterTop, presses.afterEnd);
    const bench::Spread fetch = bench::spreadOf(open.fetchMs), first = bench::spreadOf(open.firstScreenMs);
    bench::printFigure("fetch all rows, nothing attached (Open + FetchAll)", fetch, "ms");
    bench::printFigure("open to first screen shown", first, "ms");
    bench::printRatio("open to first screen / the whole fetch (goal <= 1.2x)", first, fetch);
    bench::printFigure("Ctrl+End right after the open, no limit", bench::spreadOf(open.ctrlEndMs), "ms");
    const bench::Spread top = bench::spreadOf(presses.topMs), end = bench::spreadOf(presses.endMs);
    bench::printFigure("1,000 Down presses painted, from the top", top, "ms");
    bench::printFigure("1,000 Down presses painted, from the middle", bench::spreadOf(presses.middleMs), "ms");
    bench::printFigure("1,000 Down presses painted, near the end", end, "ms");
    bench::printRatio("painted presses near the end / from the top", end, top);
    const bench::Spread topLogic = bench::spreadOf(presses.topLogicMs), endLogic = bench::spreadOf(presses.endLogicMs);
    bench::printFigure("1,000 Down presses, grid work only, from the top", topLogic, "ms");
    bench::printFigure("1,000 Down presses, grid work only, near the end", endLogic, "ms");
    bench::printRatio("grid work near the end / from the top", endLogic, topLogic);
    return 0;
}
