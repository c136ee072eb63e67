// Prints what the grid's exports cost on a 1,000,000-row, 8-column SQLite table, all in
// one run: the text export (Ctrl+P) against the sqlite3 shell writing the same table
// tab-separated to a file, the memory the text export adds to the dataset it reads (it
// streams, so it should stay flat), and the .xls export (Ctrl+E) of 65,000 rows.
// Usage: bench_export [rows] [work folder]
#include "components/wDBGrid.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "platform/UiServices.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include "BenchDataset.h"
#include "BenchMemory.h"
#include "BenchTable.h"

namespace {

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

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

// The sqlite3 shell writing the table tab-separated with a title line to a file.
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
    return ms(t);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentUi ui;
    platform::setUiServices(&ui);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
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
    ds.Open();
    const double storeMb = mb(double(ds.store().memoryBytes()));

    // Both runs twice, keeping the second: the page cache is warm for both.
    const QString shellOut = work + QStringLiteral("/shell.txt");
    double shellMs = 0, exportMs = 0, peakGrowthMb = 0;
    for (int pass = 0; pass < 2; ++pass) {
        shellMs = shellExport(dbFile, shellOut);
        const long rssBefore = readStatusKb("VmRSS:");
        resetPeak();
        QElapsedTimer t;
        t.start();
        grid.ExportToText(work + QStringLiteral("/T"));
        exportMs = ms(t);
        peakGrowthMb = std::max(peakGrowthMb, (readStatusKb("VmHWM:") - rssBefore) / 1024.0);
    }
    const double textMb = mb(double(QFileInfo(work + QStringLiteral("/T.Txt")).size()));
    const double shellMb = mb(double(QFileInfo(shellOut).size()));

    data::Dataset part;
    part.setConnection(&table.connection);
    part.setCommandText(QStringLiteral("Select * From T Where id <= 65000"));
    components::TwDBGrid sheetGrid;
    sheetGrid.setDataSet(&part);
    part.Open();
    const long rssBeforeSheet = readStatusKb("VmRSS:");
    resetPeak();
    QElapsedTimer t;
    t.start();
    const bool sheetSaved = sheetGrid.ExportToSpreadsheet(work + QStringLiteral("/T65000"));
    const double sheetMs = ms(t);
    const double sheetPeakMb = (readStatusKb("VmHWM:") - rssBeforeSheet) / 1024.0;
    const double xlsMb = mb(double(QFileInfo(work + QStringLiteral("/T65000.xls")).size()));

    std::printf("rows                                 %d (dataset in memory %.1f MB)\n", ds.RecordCount(), storeMb);
    if (shellMs >= 0)
        std::printf("sqlite3 shell, tab-separated file    %9.1f ms  (%.1f MB)\n", shellMs, shellMb);
    std::printf("text export (Ctrl+P)                 %9.1f ms  (%.1f MB)   ratio %.2fx the shell (goal <= 1.0x)\n",
                exportMs, textMb, shellMs > 0 ? exportMs / shellMs : 0.0);
    std::printf("memory added during the text export  %9.1f MB   %.3fx the dataset (goal: flat, total <= 1.2x)\n",
                peakGrowthMb, (storeMb + peakGrowthMb) / storeMb);
    std::printf(".xls export (Ctrl+E) of %d rows   %9.1f ms  (%.1f MB, %s), memory added %.1f MB\n",
                part.RecordCount(), sheetMs, xlsMb, sheetSaved ? "saved" : "NOT SAVED", sheetPeakMb);
    return 0;
}
