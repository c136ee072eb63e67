// Prints how the dataset compares with bare SQLite on a 1,000,000-row, 8-column table:
// opening against a plain sqlite3_step loop, saving XML against `sqlite3 -html`,
// loading the XML back, and peak memory against the table's text size. The open is
// shown beside the bare fetch and the same loop appending into column stores, each
// with the page faults it caused, so a regression names its phase.
// Usage: bench_dataset [rows] [work folder]
#include "data/core/Connection.h"
#include "data/core/ColumnStore.h"
#include "data/core/Dataset.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include "BenchMemory.h"
#include "BenchTable.h"
#include <string>

namespace {

using bench::readStatusKb;
using bench::resetPeak;

// The bare loop: step every row and read every value in its natural type.
double bareLoop(const QString &file, long long &textBytes)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "Select * From T", -1, &st, nullptr);
    long long sum = 0;
    textBytes = 0;
    const int cols = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: sum += sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: sum += (long long)sqlite3_column_double(st, c); break;
            case SQLITE_TEXT: sum += sqlite3_column_text(st, c)[0]; break;
            default: break;
            }
        }
    }
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_finalize(st);
    // The table as text: every value's text form (not timed).
    sqlite3_prepare_v2(db, "Select * From T", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < cols; ++c) {
            sqlite3_column_text(st, c);
            textBytes += sqlite3_column_bytes(st, c);
        }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (sum == 42)
        std::puts("");
    return ms;
}

long minorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// The bare loop again, appending every value into column stores in its natural kind:
// the fetch plus the storage, without the dataset's field conversion.
double storeLoop(const QString &file, long &faults)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "Select * From T", -1, &st, nullptr);
    const int cols = sqlite3_column_count(st);
    const long faultsBefore = minorFaults();
    QElapsedTimer t;
    t.start();
    std::vector<data::ColumnStore> stores(size_t(cols), data::ColumnStore(data::StorageKind::Text));
    bool kinded = false;
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (!kinded) {
            for (int c = 0; c < cols; ++c) {
                const int type = sqlite3_column_type(st, c);
                stores[size_t(c)] = data::ColumnStore(type == SQLITE_INTEGER ? data::StorageKind::Int
                                                      : type == SQLITE_FLOAT ? data::StorageKind::Real
                                                                             : data::StorageKind::Text);
            }
            kinded = true;
        }
        for (int c = 0; c < cols; ++c) {
            data::ColumnStore &cs = stores[size_t(c)];
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL: cs.appendNull(); break;
            case SQLITE_INTEGER: cs.appendInt(sqlite3_column_int64(st, c)); break;
            case SQLITE_FLOAT: cs.appendReal(sqlite3_column_double(st, c)); break;
            default: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                cs.appendText(std::string_view(text, size_t(sqlite3_column_bytes(st, c))));
            }
            }
        }
    }
    const double ms = t.nsecsElapsed() / 1e6;
    faults = minorFaults() - faultsBefore;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ms;
}

// Runs the column-store loop in a child process, so its freed memory does not make the
// dataset's open below look cheaper than it is in a fresh process.
double storeLoopInChild(const QString &file, long &faults)
{
    int fds[2];
    if (pipe(fds) != 0)
        return storeLoop(file, faults);
    const pid_t child = fork();
    if (child == 0) {
        long f = 0;
        const double ms = storeLoop(file, f);
        const struct { double ms; long faults; } out{ms, f};
        (void)!write(fds[1], &out, sizeof out);
        _exit(0);
    }
    struct { double ms; long faults; } in{0, 0};
    (void)!read(fds[0], &in, sizeof in);
    waitpid(child, nullptr, 0);
    close(fds[0]);
    close(fds[1]);
    faults = in.faults;
    return in.ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench.db");
    const QString xmlFile = work + QStringLiteral("/bench.xml");
    const QString htmlFile = work + QStringLiteral("/bench.html");
    QFile::remove(dbFile);

    std::printf("Building %d rows x 8 columns...\n", rows);
    bench::buildTable(dbFile, rows);

    long long textBytes = 0;
    bareLoop(dbFile, textBytes); // warm the page cache
    long bareFaults = minorFaults();
    const double bareMs = bareLoop(dbFile, textBytes);
    bareFaults = minorFaults() - bareFaults;
    long storeFaults = 0;
    const double storeMs = storeLoopInChild(dbFile, storeFaults);

    data::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
    conn.Open();
    data::Dataset ds;
    ds.setConnection(&conn);
    ds.setCommandText(QStringLiteral("Select * From T"));
    const long rssBefore = readStatusKb("VmRSS:");
    resetPeak();
    QElapsedTimer t;
    long openFaults = minorFaults();
    t.start();
    ds.Open();
    const double openMs = t.nsecsElapsed() / 1e6;
    openFaults = minorFaults() - openFaults;
    const long peakOpen = readStatusKb("VmHWM:");
    const size_t storeBytes = ds.store().memoryBytes();

    t.restart();
    ds.SaveToFile(xmlFile, data::pfXML);
    const double saveMs = t.nsecsElapsed() / 1e6;

    QProcess sqliteShell;
    sqliteShell.setStandardOutputFile(htmlFile);
    t.restart();
    sqliteShell.start(QStringLiteral("sqlite3"), {QStringLiteral("-html"), dbFile, QStringLiteral("Select * From T")});
    sqliteShell.waitForFinished(-1);
    const double htmlMs = t.nsecsElapsed() / 1e6;

    ds.Close();
    data::Dataset loaded;
    t.restart();
    loaded.LoadFromFile(xmlFile);
    const double loadMs = t.nsecsElapsed() / 1e6;

    const double peakMb = (peakOpen - rssBefore) / 1024.0;
    const double textMb = textBytes / (1024.0 * 1024.0);
    std::printf("rows                         %d (loaded back: %d)\n", rows, loaded.RecordCount());
    std::printf("bare sqlite3_step loop       %9.1f ms\n", bareMs);
    std::printf("Dataset open                 %9.1f ms   ratio %.2fx (goal <= 1.5x)\n", openMs, openMs / bareMs);
    std::printf("  fetch (the bare loop)      %9.1f ms   %8ld page faults\n", bareMs, bareFaults);
    std::printf("  fetch into column stores   %9.1f ms   %8ld page faults (fresh process)\n", storeMs, storeFaults);
    std::printf("  dataset open               %9.1f ms   %8ld page faults\n", openMs, openFaults);
    std::printf("SaveToFile XML               %9.1f ms   (%lld MB)\n", saveMs,
                (long long)(QFileInfo(xmlFile).size() >> 20));
    std::printf("sqlite3 -html to a file      %9.1f ms   ratio %.2fx (goal <= 1.0x)\n", htmlMs, saveMs / htmlMs);
    std::printf("LoadFromFile XML             %9.1f ms\n", loadMs);
    std::printf("table text size              %9.1f MB\n", textMb);
    std::printf("peak memory while opening    %9.1f MB   ratio %.2fx (goal <= 2x); column store %.1f MB\n",
                peakMb, peakMb / textMb, storeBytes / (1024.0 * 1024.0));
    return 0;
}
