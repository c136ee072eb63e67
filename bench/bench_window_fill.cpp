// Prints what the main window adds to a big table's fill, on the 1,000,000-row, 8-column
// table, in one run: the real window shown, page 0's "open on click" ticked, the table
// listed; a mouse click on its name in the list, then a click on the XML page's tab, as a
// person does. Measured from the first click: the first rows painted in the XML grid, and
// all rows in (panel 3 back to the text it had before the fill). Each round also runs the
// bare sqlite3_step loop and the dataset's own background fill with no window, so every
// ratio compares work done in the same round; least and middle of the rounds are printed.
// Usage: bench_window_fill [rows] [rounds] [work folder]
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xvfb-run -a works as well).
#include "app/gui/MainWindow.h"
#include "app/gui/QtUiServices.h"
#include "app/gui/TableListBox.h"
#include "components/wDBGrid.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>
#include "BenchBareLoop.h"
#include "BenchDataset.h"
#include "BenchRounds.h"
#include "BenchTable.h"

namespace {

constexpr int kXmlPage = 4;

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// Notes when a paint of the grid's viewport that shows rows has been delivered: the
// paint is handed on from inside the filter, so the time is taken after it.
class RowsPainted : public QObject {
public:
    RowsPainted(components::TwDBGrid *grid, const QElapsedTimer &clock) : grid_(grid), clock_(clock)
    {
        grid_->viewport()->installEventFilter(this);
    }
    void reset() { paintedMs_ = -1; }
    double paintedMs() const { return paintedMs_; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || passing_ || paintedMs_ >= 0 || grid_->model()->rowCount() == 0)
            return QObject::eventFilter(watched, event);
        passing_ = true;
        QCoreApplication::sendEvent(watched, event);
        passing_ = false;
        paintedMs_ = ms(clock_);
        return true;
    }

private:
    components::TwDBGrid *grid_;
    const QElapsedTimer &clock_;
    double paintedMs_ = -1;
    bool passing_ = false;
};

struct WindowFill {
    double firstPaintMs = 0;
    double allMs = 0;
    int rows = 0;
};

class Window {
public:
    explicit Window(const QString &file) : window_(std::make_unique<Tfm_ADO_Schema>())
    {
        window_->ADOConnection1.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        window_->resize(1200, 800);
        window_->show();
        window_->activateWindow();
        if (!QTest::qWaitForWindowActive(window_.get()))
            std::fprintf(stderr, "the window did not become active\n");
        window_->cbxOpenDataSet->setChecked(true);
        QTest::mouseClick(window_->btnGetTableName, Qt::LeftButton);
        painted_ = std::make_unique<RowsPainted>(window_->DBGrid2, clock_);
    }

    // One round: back to page 0 with the table closed, then the two clicks.
    WindowFill fill()
    {
        clickTab(0);
        window_->ADODXML.Close();
        settle();
        const QString before = window_->panelText(3);
        QListWidget *list = window_->lbxTableName;
        const QPoint name = list->visualItemRect(list->item(0)).center();
        QEventLoop allIn;
        const auto ended = QObject::connect(&window_->ADODXML, &data::Dataset::fillEnded, &allIn, &QEventLoop::quit,
                                            Qt::QueuedConnection);
        painted_->reset();
        WindowFill out;
        clock_.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, name);
        clickTab(kXmlPage);
        if (window_->ADODXML.Fetching())
            allIn.exec();
        out.allMs = ms(clock_);
        QObject::disconnect(ended);
        out.firstPaintMs = painted_->paintedMs();
        out.rows = window_->ADODXML.RecordCount();
        if (window_->panelText(3) != before)
            std::fprintf(stderr, "panel 3 did not get its text back: %s\n", qPrintable(window_->panelText(3)));
        return out;
    }

private:
    void clickTab(int index)
    {
        QTabBar *tabs = window_->PageControl1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    std::unique_ptr<Tfm_ADO_Schema> window_;
    std::unique_ptr<RowsPainted> painted_;
    QElapsedTimer clock_;
};

// The dataset's own background fill with no window: Open, then the event loop until the
// last slice is in.
double datasetFill(const QString &file)
{
    bench::TableDataset table(file);
    QEventLoop allIn;
    QObject::connect(&table.dataset, &data::Dataset::fillEnded, &allIn, &QEventLoop::quit, Qt::QueuedConnection);
    QElapsedTimer t;
    t.start();
    table.dataset.Open();
    if (table.dataset.Fetching())
        allIn.exec();
    return ms(t);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir temp;
    const QString folder = argc > 3 ? QString::fromLocal8Bit(argv[3]) : temp.path();
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/bench_window_fill_%1.db").arg(rows);
    if (!QFileInfo::exists(file))
        bench::buildTable(file, rows);

    gui::QtUiServices services;
    platform::setUiServices(&services);
    bench::bareFetch(file); // warms the page cache for everyone
    std::vector<double> bareMs, datasetMs, paintMs, allMs, datasetRatio, windowRatio, overDataset;
    {
        Window window(file);
        window.fill(); // the first open of a process also pays for memory mapped once
        for (int round = 0; round < rounds; ++round) {
            const double bare = bench::bareFetch(file).allMs;
            const double dataset = datasetFill(file);
            const WindowFill filled = window.fill();
            if (filled.rows != rows)
                std::fprintf(stderr, "round %d: the window holds %d rows\n", round + 1, filled.rows);
            std::printf("round %d: bare loop %.1f ms, dataset %.1f ms, window: first rows painted %.1f ms, "
                        "all rows in %.1f ms\n",
                        round + 1, bare, dataset, filled.firstPaintMs, filled.allMs);
            bareMs.push_back(bare);
            datasetMs.push_back(dataset);
            paintMs.push_back(filled.firstPaintMs);
            allMs.push_back(filled.allMs);
            datasetRatio.push_back(dataset / bare);
            windowRatio.push_back(filled.allMs / bare);
            overDataset.push_back(filled.allMs / dataset);
        }
    }
    platform::setUiServices(nullptr);

    // Ratios are taken round by round (both sides of a ratio ran in the same round), then
    // their least and middle printed.
    using bench::printFigure;
    using bench::spreadOf;
    std::printf("rows: %d x 8 columns, %d rounds\n", rows, rounds);
    printFigure("bare sqlite3_step loop", spreadOf(bareMs), "ms");
    printFigure("dataset alone, background fill", spreadOf(datasetMs), "ms");
    printFigure("dataset alone / bare loop", spreadOf(datasetRatio), "x");
    printFigure("window, click -> first rows painted (goal <= 50 ms)", spreadOf(paintMs), "ms");
    printFigure("window, click -> all rows in (panel 3 back to its text)", spreadOf(allMs), "ms");
    printFigure("all rows in, in the window / bare loop (goal <= 1.3x)", spreadOf(windowRatio), "x");
    printFigure("the window over the dataset alone", spreadOf(overDataset), "x");
    return 0;
}
