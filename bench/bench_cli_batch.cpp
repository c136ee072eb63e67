// Prints what the console program's batch export costs as a whole process: `adoschema
// batch-xml T` on the 1,000,000-row, 8-column SQLite table against `sqlite3 -html` of
// the same table, both started from here, alternately, in rounds of one run; wall time
// and the ratio (least and middle) and peak memory (the child's maximum resident set).
//
//   bench_cli_batch [rows] [work folder] [rounds]
#include "BenchRounds.h"
#include "BenchTable.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    double ms = 0;
    double peakMb = 0;
    int status = -1;
};

// Runs argv with standard output to outFile (or /dev/null); waits and reads its usage.
Run runProcess(const std::vector<QByteArray> &args, const QByteArray &outFile)
{
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outFile.isEmpty() ? "/dev/null" : outFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDOUT_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {double(clock.nsecsElapsed()) / 1e6, usage.ru_maxrss / 1024.0,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void report(const char *what, const std::vector<Run> &runs)
{
    std::vector<double> ms, peaks;
    for (const Run &r : runs) {
        ms.push_back(r.ms);
        peaks.push_back(r.peakMb);
        if (r.status != 0)
            std::printf("  %s: exit status %d\n", what, r.status);
    }
    bench::printFigure(std::string(what) + " (whole process)", bench::spreadOf(ms), "ms");
    bench::printFigure(std::string(what) + " peak memory", bench::spreadOf(peaks), "MB");
}

bench::Spread timesOf(const std::vector<Run> &runs)
{
    std::vector<double> ms;
    for (const Run &r : runs)
        ms.push_back(r.ms);
    return bench::spreadOf(ms);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    const int rounds = bench::roundsArgument(argc, argv, 3);
    QDir().mkpath(work + QStringLiteral("/xml"));
    const QString dbFile = work + QStringLiteral("/bench_cli.db");
    QFile::remove(dbFile);
    std::printf("Building T (%d rows x 8 columns)...\n", rows);
    bench::buildTable(dbFile, rows);

    const QByteArray cli = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/app/adoschema"));
    const std::vector<QByteArray> ours{cli, "batch-xml", "T", "--dir", QFile::encodeName(work + QStringLiteral("/xml")),
                                       "--connect", QFile::encodeName(dbFile)};
    const std::vector<QByteArray> shell{"sqlite3", "-html", QFile::encodeName(dbFile), "select * from T"};
    const QByteArray html = QFile::encodeName(work + QStringLiteral("/T.html"));
    std::vector<Run> oursRuns, shellRuns;
    for (int pass = 0; pass < rounds; ++pass) { // alternately, so both see the same cache
        shellRuns.push_back(runProcess(shell, html));
        oursRuns.push_back(runProcess(ours, QByteArray()));
    }
    report("sqlite3 -html", shellRuns);
    report("adoschema batch-xml", oursRuns);
    bench::printRatio("adoschema batch-xml / sqlite3 -html", timesOf(oursRuns), timesOf(shellRuns));
    std::printf("files: T.xml %.1f MB, T.html %.1f MB\n",
                QFileInfo(work + QStringLiteral("/xml/T.xml")).size() / 1048576.0, QFileInfo(QString::fromLocal8Bit(html)).size() / 1048576.0);
    return 0;
}
