// Prints how long a long command takes to end once the person asks to stop it: from the
// stop request (Esc or the panel's button) to the command's failure reaching the caller,
// the worker thread joined. On SQLite (a statement counting a cross join; the post of a
// row whose update trigger does the same) and on SQL Server through FreeTDS against the
// scripted TDS peer, whose hanging reply answers the attention that SQLCancel sends. Also
// what running a quick statement on the worker thread costs against the caller's thread.
// Usage: bench_stop [rounds]
#include "data/core/CommandWait.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/SlowSqlite.h"
#include "support/SqliteScript.h"
#include "support/TdsPeer.h"
#include "BenchRounds.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Lets the command run a while, then asks it to stop and notes when.
class TimedStop final : public data::CommandWait {
public:
    Clock::time_point stopAsked;
    std::chrono::milliseconds patience() const override { return std::chrono::milliseconds(100); }
    void wait(data::RunningCall &call) override
    {
        stopAsked = Clock::now();
        call.stop();
        while (!call.finished())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
};

struct Figures {
    std::vector<double> ms;
    int failures = 0;
};

// Runs the command `rounds` times; each must end with CommandStopped.
Figures measure(TimedStop &stop, int rounds, const std::function<void()> &command)
{
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        try {
            command();
            ++f.failures; // ended without the stop
        } catch (const data::CommandStopped &) {
            f.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - stop.stopAsked).count());
        } catch (const data::DatabaseError &e) {
            std::fprintf(stderr, "failed: %s\n", e.what());
            ++f.failures;
        }
    }
    std::sort(f.ms.begin(), f.ms.end());
    return f;
}

void print(const char *what, const Figures &f)
{
    if (f.ms.empty()) {
        std::printf("%s: no stopped run (%d failed)\n", what, f.failures);
        return;
    }
    bench::printFigure(what, bench::spreadOf(f.ms), "ms");
    std::printf("    (most %.2f ms; %zu runs stopped%s)\n", f.ms.back(), f.ms.size(),
                f.failures ? ", some not stopped" : "");
}

void postOnce(data::Connection &conn)
{
    data::Dataset ds;
    ds.setConnection(&conn);
    ds.setCommandText(QStringLiteral("SELECT * FROM t"));
    ds.Open();
    ds.Edit();
    ds.FieldByName(QStringLiteral("v"))->setAsString(QStringLiteral("b"));
    try {
        ds.Post();
    } catch (...) {
        ds.Cancel();
        throw;
    }
}

void sqliteFigures(TimedStop &stop, int rounds, const QString &folder)
{
    const QString file = folder + QStringLiteral("/stop.db");
    const QString failure = testsupport::sqliteScriptError(
        file, (QByteArray(testsupport::kSlowSqliteBigTable) + testsupport::kSlowSqliteUpdateTable).constData());
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return;
    }
    data::Connection conn;
    conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
    conn.setCommandWait(&stop);
    print("SQLite statement", measure(stop, rounds, [&] {
              conn.session().execute(QString::fromLatin1(testsupport::kSlowSqliteCount));
          }));
    print("SQLite post (update trigger)", measure(stop, rounds, [&] { postOnce(conn); }));

    // What the worker thread costs a call that ends at once (never shown a wait), in
    // rounds that alternate the two threads.
    auto quickCallUs = [&](data::CommandWait *wait) {
        conn.setCommandWait(wait);
        constexpr int kCalls = 5000;
        const double ms = bench::timeMs([&] {
            for (int i = 0; i < kCalls; ++i)
                conn.session().execute(QStringLiteral("SELECT 1"));
        });
        return ms * 1000 / kCalls;
    };
    quickCallUs(nullptr); // warm
    std::vector<double> onCaller, onWorker;
    for (int round = 0; round < std::max(3, rounds / 4); ++round) {
        if (round % 2 == 0)
            onCaller.push_back(quickCallUs(nullptr));
        onWorker.push_back(quickCallUs(&stop));
        if (round % 2 == 1)
            onCaller.push_back(quickCallUs(nullptr));
    }
    const bench::Spread caller = bench::spreadOf(onCaller), worker = bench::spreadOf(onWorker);
    bench::printFigure("a quick statement (SELECT 1) on the caller's thread", caller, "us");
    bench::printFigure("a quick statement (SELECT 1) on a worker", worker, "us");
    bench::printRatio("a quick statement on a worker / on the caller's thread", worker, caller);
}

void tdsFigures(TimedStop &stop, int rounds)
{
    tds::TdsPeer peer;
    if (!peer.start()) {
        std::fprintf(stderr, "the TDS peer did not start\n");
        return;
    }
    peer.setPassword(QStringLiteral("sa"), QStringLiteral("secret"));
    peer.onQuery(QStringLiteral("WAITFOR DELAY '01:00:00'"), tds::Reply::hang());
    data::Connection conn;
    conn.setConnectionString(peer.connectionString(QStringLiteral("Sales"), QStringLiteral("sa"), QStringLiteral("secret")));
    conn.setCommandWait(&stop);
    print("SQL Server (TDS peer) statement", measure(stop, rounds, [&] {
              conn.session().execute(QStringLiteral("WAITFOR DELAY '01:00:00'"));
          }));
    std::printf("    (attentions: %d sent, %d answered by the peer)\n", rounds, peer.attentions());
    conn.Close();
    peer.stop();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    QTemporaryDir dir;
    TimedStop stop;
    std::printf("From the stop request to the command's end (each command ran %lld ms first), %d rounds:\n",
                static_cast<long long>(stop.patience().count()), rounds);
    sqliteFigures(stop, rounds, dir.path());
    tdsFigures(stop, rounds);
    return 0;
}
