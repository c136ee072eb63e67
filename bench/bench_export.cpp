// Prints what the grid's exports cost on a 1,000,000-row, 8-column SQLite table, in
// rounds of one run: the text export (Ctrl+P) from the table's open, fetching and writing
// every row, against the sqlite3 shell fetching and writing the same table tab-separated
// to a file; the text export alone over rows already held and the memory it adds to the
// dataset it reads (it streams, so it should stay flat); and the .xls export (Ctrl+E) of
// 65,000 rows already held. Memory is measured in fresh processes of this program.
// Usage: bench_export [rows] [work folder] [rounds, default 3]
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "platform/UiServices.h"
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>
#include "BenchDataset.h"
#include "BenchMemory.h"
#include "BenchRounds.h"
#include "BenchTable.h"

namespace {

using bench::readStatusKb;
using bench::resetPeak;

double mb(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

// Messages are counted, not shown: the benchmark measures the export, not a dialog.
class SilentUi : public platform::IUiServices {
public:
    void showMessage(QObject *, const QString &, const QString &text, platform::MessageIcon, bool) override
    {
        last = text;
    }
    bool askYesNo(QObject *, const QString &, const QString &) override { return false; }
    QString chooseOpenFile(QObject *, const platform::FileDialogRequest &) override { return {}; }
    QString chooseSaveFile(QObject *, const platform::FileDialogRequest &) override { return {}; }
    void beep() override {}
    bool launchProgram(const QString &, const QStringList &) override { return false; }
    QString last;
};

// The sqlite3 shell fetching the table and writing it tab-separated with a title line to
// a file; -1 when there is no shell or it failed.
double shellExport(const QString &dbFile, const QString &out)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return -1;
    QProcess p;
    p.setStandardOutputFile(out);
    QElapsedTimer t;
    t.start();
    p.start(shell, {QStringLiteral("-batch"), QStringLiteral("-header"), QStringLiteral("-separator"),
                    QStringLiteral("\t"), dbFile, QStringLiteral("Select * From T")});
    p.waitForFinished(-1);
    const double ms = bench::elapsedMs(t);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? ms : -1;
}

// The memory (MB) an export adds at its peak over the process as it stood before it.
template <typename Export> double peakGrowthMb(Export exportRows)
{
    const long rssBefore = readStatusKb("VmRSS:");
    resetPeak();
    exportRows();
    return (readStatusKb("VmHWM:") - rssBefore) / 1024.0;
}

// Which rows each memory figure exports.
QString commandFor(const QString &what)
{
    return what == QLatin1String("text") ? QStringLiteral("Select * From T")
                                          : QStringLiteral("Select * From T Where id <= 65000");
}

// One memory figure in a fresh process, so that a buffer an earlier export left in the
// heap does not hide the export's own: the memory (MB) the text ("text") or .xls
// ("sheet") export adds at its peak to a dataset that holds all its rows.
int measureMemory(const QString &what, const QString &dbFile, const QString &work)
{
    bench::TableDataset table(dbFile);
    table.dataset.setCommandText(commandFor(what));
    components::TwDBGrid grid;
    grid.setDataSet(&table.dataset);
    table.dataset.Open();
    table.dataset.FetchAll();
    std::printf("%.1f\n", peakGrowthMb([&] {
                    if (what == QLatin1String("text"))
                        grid.ExportToText(work + QStringLiteral("/memory"));
                    else
                        grid.ExportToSpreadsheet(work + QStringLiteral("/memory"));
                }));
    return 0;
}

double memoryInChild(const QString &what, const QString &dbFile, const QString &work)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), what, dbFile, work});
    p.waitForFinished(-1);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    return lines.isEmpty() ? -1 : lines.last().toDouble();
}

struct TextRounds {
    std::vector<double> shellMs, fromOpenMs, aloneMs, addedMb;
    double storeMb = 0;
};

// One round: the shell and the export from the open (which alternate, so a disturbance
// of the machine does not always fall on the same side), then the export alone over the
// rows the open left, and the memory the export adds, in a fresh process.
void textRound(int round, TextRounds &r, data::Dataset &ds, components::TwDBGrid &grid, const QString &dbFile,
               const QString &work)
{
    const QString target = work + QStringLiteral("/T");
    auto shell = [&] { r.shellMs.push_back(shellExport(dbFile, work + QStringLiteral("/shell.txt"))); };
    auto fromOpen = [&] {
        ds.Close();
        r.fromOpenMs.push_back(bench::timeMs([&] {
            ds.Open(); // returns with the first slice; the export fetches the rest
            grid.ExportToText(target);
        }));
    };
    if (round % 2 == 0) {
        shell();
        fromOpen();
    } else {
        fromOpen();
        shell();
    }
    r.storeMb = mb(double(ds.store().memoryBytes()));
    r.aloneMs.push_back(bench::timeMs([&] { grid.ExportToText(target); }));
    r.addedMb.push_back(memoryInChild(QStringLiteral("text"), dbFile, work));
}

struct SheetRounds {
    std::vector<double> ms, addedMb;
    int rows = 0;
    bool saved = true;
};

// The .xls export of rows already held (the open and its fill are not timed), and the
// memory it adds in a fresh process.
void sheetRound(SheetRounds &r, data::Dataset &part, components::TwDBGrid &sheetGrid, const QString &dbFile,
                const QString &work)
{
    part.Close();
    part.Open();
    part.FetchAll();
    r.rows = part.RecordCount();
    r.ms.push_back(
        bench::timeMs([&] { r.saved = sheetGrid.ExportToSpreadsheet(work + QStringLiteral("/T65000")) && r.saved; }));
    r.addedMb.push_back(memoryInChild(QStringLiteral("sheet"), dbFile, work));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentUi ui;
    platform::setUiServices(&ui);
    if (argc == 5 && qstrcmp(argv[1], "--memory") == 0)
        return measureMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                             QString::fromLocal8Bit(argv[4]));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = bench::roundsArgument(argc, argv, 3);
    QTemporaryDir tmp;
    const QString work = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    QDir().mkpath(work);
    const QString dbFile = work + QStringLiteral("/bench_export.db");
    QFile::remove(dbFile);
    std::printf("Building %d rows x 8 columns...\n", rows);
    bench::buildTable(dbFile, rows);

    bench::TableDataset table(dbFile);
    data::Dataset &ds = table.dataset;
    components::TwDBGrid grid;
    grid.setDataSet(&ds);
    if (shellExport(dbFile, work + QStringLiteral("/shell.txt")) < 0) // also warms the page cache
        std::printf("no sqlite3 shell: the ratios to it are left out\n");
    TextRounds text;
    for (int round = 0; round < rounds; ++round)
        textRound(round, text, ds, grid, dbFile, work);

    data::Dataset part;
    part.setConnection(&table.connection);
    part.setCommandText(commandFor(QStringLiteral("sheet")));
    components::TwDBGrid sheetGrid;
    sheetGrid.setDataSet(&part);
    SheetRounds sheet;
    for (int round = 0; round < rounds; ++round)
        sheetRound(sheet, part, sheetGrid, dbFile, work);

    std::printf("rows %d, dataset %.1f MB in memory; %d rounds\n", ds.RecordCount(), text.storeMb, rounds);
    std::printf("text file %.1f MB, shell's file %.1f MB; .xls of %d rows %.1f MB%s\n",
                mb(double(QFileInfo(work + QStringLiteral("/T.Txt")).size())),
                mb(double(QFileInfo(work + QStringLiteral("/shell.txt")).size())), sheet.rows,
                mb(double(QFileInfo(work + QStringLiteral("/T65000.xls")).size())), sheet.saved ? "" : " NOT SAVED");
    const bench::Spread shell = bench::spreadOf(text.shellMs), fromOpen = bench::spreadOf(text.fromOpenMs);
    const bool haveShell = shell.least > 0;
    if (haveShell)
        bench::printFigure("sqlite3 shell: fetch and write, tab-separated", shell, "ms");
    bench::printFigure("text export (Ctrl+P) from the open: fetch and write", fromOpen, "ms");
    if (haveShell)
        bench::printRatio("text export from the open / the shell (goal <= 1.0x)", fromOpen, shell);
    bench::printFigure("text export alone, rows already held", bench::spreadOf(text.aloneMs), "ms");
    const bench::Spread added = bench::spreadOf(text.addedMb);
    bench::printFigure("memory the text export adds to the dataset (fresh process)", added, "MB");
    bench::printRatio("dataset + that memory / dataset (goal <= 1.2x)",
                      {text.storeMb + added.least, text.storeMb + added.middle}, {text.storeMb, text.storeMb});
    bench::printFigure(".xls export (Ctrl+E) of " + std::to_string(sheet.rows) + " rows already held",
                       bench::spreadOf(sheet.ms), "ms");
    bench::printFigure("memory the .xls export adds (fresh process)", bench::spreadOf(sheet.addedMb), "MB");
    return 0;
}
