// Time from process start to the main window shown and painted for the first time.
// The benchmark starts itself again as a child for each run; the child builds the window
// exactly as the program does (demo database connection, maximised), and at the end of
// the first paint prints the monotonic clock; the parent subtracts the moment it started
// the child. Prints each run, then the least and the middle of the runs. Needs a display (xvfb-run -a ... works):
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench_startup [runs]
#include "app/gui/MainWindow.h"
#include "app/gui/ProgramStart.h"
#include "app/gui/QtUiServices.h"
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>
#include "BenchRounds.h"

namespace {

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Notes the end of the window's first paint and quits.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Queued: runs once the paint that is starting now has been delivered.
            QTimer::singleShot(0, [] {
                std::printf("%lld\n", monotonicNs());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

int child(int argc, char **argv)
{
    QApplication app(argc, argv);
    gui::installQtTranslation();
    gui::QtUiServices services;
    platform::setUiServices(&services);
    FirstPaint watcher;
    std::unique_ptr<Tfm_ADO_Schema> window = gui::createMainWindow();
    window->installEventFilter(&watcher);
    window->showMaximized();
    app.exec();
    window.reset();
    platform::setUiServices(nullptr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        const long long started = monotonicNs();
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            std::fprintf(stderr, "bench_startup: run %d failed: %s\n", i + 1,
                         process.readAllStandardError().constData());
            return 1;
        }
        const long long painted = process.readAllStandardOutput().trimmed().toLongLong();
        ms.push_back(double(painted - started) / 1e6);
        std::printf("run %d: %.1f ms\n", i + 1, ms.back());
    }
    std::printf("%d runs:\n", runs);
    bench::printFigure("start-up to the main window's first paint", bench::spreadOf(ms), "ms");
    return 0;
}
