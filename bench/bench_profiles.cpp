// Prints how reading profile and INI files grows with their size, all in one run:
// loading a profile of 1,000, 2,000 and 4,000 keys, listing 100,000 sections and the
// 100,000 keys of one section, and reading one 50 MB value. Each figure is set against
// reading the same file's bytes and splitting them into lines, so the ratios stay
// comparable on a busy machine; a size whose run takes longer than the budget ends its
// series.
// Usage: bench_profiles [budget seconds, default 60]
#include "data/core/Connection.h"
#include "platform/IniFile.h"
#include "profiles/ADOConnectionINI.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

double budgetMs = 60000;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// The floor every reader pays: the file's bytes read and cut into lines.
double bareSplitMs(const QString &path)
{
    return timeMs([&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        volatile qsizetype lines = f.readAll().split('\n').size();
        (void)lines;
    });
}

QByteArray profileFile(int keys)
{
    QByteArray text = "[&&Main&&]\r\nDefault ADOConnection=P\r\n[P]\r\nProvider=MSDASQL.1\r\n";
    for (int i = 0; i < keys; ++i)
        text += "Key" + QByteArray::number(i) + "=value number " + QByteArray::number(i) + "\r\n";
    return text;
}

void report(const char *what, int size, double ms, double bareMs, double previousMs)
{
    std::printf("%-34s %9d %11.1f ms %9.1fx bare", what, size, ms, bareMs > 0 ? ms / bareMs : 0.0);
    if (previousMs > 0)
        std::printf("   %5.2fx the size before", ms / previousMs);
    std::printf("\n");
    std::fflush(stdout);
}

void loadProfiles(const QTemporaryDir &dir)
{
    double previous = 0;
    for (int keys : {1000, 2000, 4000}) {
        const QString path = dir.filePath(QStringLiteral("ADOConneciton.ini"));
        writeFile(path, profileFile(keys));
        data::Connection connection;
        profiles::TADOConnectionINI store;
        store.setInitialDir(dir.path());
        store.setIniIsHide(false);
        store.setADOConnection(&connection);
        const double ms = timeMs([&] { store.LoadProfile(); });
        report("LoadProfile, keys", keys, ms, bareSplitMs(path), previous);
        if (connection.Properties().Count() < keys)
            std::printf("  (only %d properties arrived)\n", connection.Properties().Count());
        previous = ms;
        if (ms > budgetMs)
            break;
    }
}

void listLargeFiles(const QTemporaryDir &dir)
{
    constexpr int kCount = 100000;
    const QString sectionsPath = dir.filePath(QStringLiteral("sections.ini"));
    QByteArray sections;
    for (int i = 0; i < kCount; ++i)
        sections += "[Section" + QByteArray::number(i) + "]\r\nk=v\r\n";
    writeFile(sectionsPath, sections);
    qsizetype listed = 0;
    double ms = timeMs([&] { listed = platform::IniFile(sectionsPath).ReadSections().size(); });
    report("ReadSections, sections", int(listed), ms, bareSplitMs(sectionsPath), 0);

    const QString keysPath = dir.filePath(QStringLiteral("keys.ini"));
    QByteArray keys = "[S]\r\n";
    for (int i = 0; i < kCount; ++i)
        keys += "Key" + QByteArray::number(i) + "=v\r\n";
    writeFile(keysPath, keys);
    ms = timeMs([&] { listed = platform::IniFile(keysPath).ReadSection(QStringLiteral("S")).size(); });
    report("ReadSection, keys", int(listed), ms, bareSplitMs(keysPath), 0);

    const QString bigPath = dir.filePath(QStringLiteral("big.ini"));
    writeFile(bigPath, "[S]\r\nk=" + QByteArray(50 * 1024 * 1024, '\xA4') + "\r\n");
    qsizetype length = 0;
    ms = timeMs([&] { length = platform::IniFile(bigPath).ReadString("S", "k", QString()).size(); });
    report("ReadString of a 50 MB value, chars", int(length), ms, bareSplitMs(bigPath), 0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        budgetMs = QByteArray(argv[1]).toDouble() * 1000;
    QTemporaryDir dir;
    std::printf("%-34s %9s %14s %14s\n", "What", "Size", "Time", "Ratio");
    loadProfiles(dir);
    listLargeFiles(dir);
    return 0;
}
