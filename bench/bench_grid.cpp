// Prints how the data grid behaves on a 1,000,000-row, 8-column SQLite table: the time
// from opening the dataset to the first screen painted against the time to fetch all
// rows, Ctrl+End with no limit, and 1,000 Down presses at the top, middle and end of the
// table (the cost of a move must not depend on where the cursor is).
// Usage: bench_grid [rows] [work folder]
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
#include <sqlite3.h>
#include "BenchTable.h"

namespace {

void press(QWidget &w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(&w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods);
    QCoreApplication::sendEvent(&w, &up);
}

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// Runs the event loop until pending paints are done.
void settle(components::TwDBGrid &grid)
{
    QCoreApplication::processEvents();
    grid.viewport()->repaint();
}

double downPresses(components::TwDBGrid &grid, int presses, bool paint = true)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < presses; ++i) {
        press(grid, Qt::Key_Down);
        if (paint)
            QCoreApplication::processEvents(); // paint each new screen
    }
    return ms(t);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_grid.db");
    QFile::remove(dbFile);
    std::printf("Building %d rows x 8 columns...\n", rows);
    bench::buildTable(dbFile, rows);

    data::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    conn.Open();

    // Baseline: fetching all rows into a dataset with nothing attached (page cache warm).
    double fetchMs = 0;
    for (int pass = 0; pass < 2; ++pass) {
        data::Dataset plain;
        plain.setConnection(&conn);
        plain.setCommandText(QStringLiteral("Select * From T"));
        QElapsedTimer t;
        t.start();
        plain.Open();
        plain.FetchAll(); // Open returns with the first slice; the fetch is every row
        fetchMs = ms(t);
    }

    data::Dataset ds;
    ds.setConnection(&conn);
    ds.setCommandText(QStringLiteral("Select * From T"));
    components::TwDBGrid grid;
    grid.resize(1000, 700);
    grid.setDataSet(&ds);
    grid.show();
    settle(grid);

    QElapsedTimer t;
    t.start();
    ds.Open();
    settle(grid);
    const double firstScreenMs = ms(t);

    // Ctrl+End with no limit: a limit no dataset reaches lets the key go to the last record.
    grid.setMaxRowCanMoveLast(INT_MAX);
    t.restart();
    press(grid, Qt::Key_End, Qt::ControlModifier);
    settle(grid);
    const double ctrlEndMs = ms(t);
    const int lastRecNo = ds.RecNo();

    ds.First();
    settle(grid);
    const double topMs = downPresses(grid, 1000);
    const int afterTop = ds.RecNo();
    ds.setRecNo(rows / 2);
    settle(grid);
    const double middleMs = downPresses(grid, 1000);
    ds.setRecNo(rows - 1001);
    settle(grid);
    const double endMs = downPresses(grid, 1000);
    const int afterEnd = ds.RecNo();
    // The grid's own work per press, painting left out (paints are queued, not run).
    ds.First();
    settle(grid);
    const double topLogicMs = downPresses(grid, 1000, false);
    ds.setRecNo(rows - 1001);
    settle(grid);
    const double endLogicMs = downPresses(grid, 1000, false);

    std::printf("rows                               %d\n", rows);
    std::printf("fetch all rows (Dataset::Open)     %9.1f ms\n", fetchMs);
    std::printf("open to first screen shown         %9.1f ms   ratio %.2fx the whole fetch (goal <= 1.2x)\n", firstScreenMs,
                firstScreenMs / fetchMs);
    std::printf("Ctrl+End, no limit                 %9.1f ms   (record %d)\n", ctrlEndMs, lastRecNo);
    std::printf("1,000 Down presses from the top    %9.1f ms   (%.3f ms each, record %d)\n", topMs, topMs / 1000,
                afterTop);
    std::printf("1,000 Down presses from the middle %9.1f ms   (%.3f ms each)\n", middleMs, middleMs / 1000);
    std::printf("1,000 Down presses near the end    %9.1f ms   (%.3f ms each, record %d)\n", endMs, endMs / 1000,
                afterEnd);
    std::printf("  without painting: top %.1f ms, near the end %.1f ms per 1,000 presses\n", topLogicMs,
                endLogicMs);
    return 0;
}
