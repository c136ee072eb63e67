// Prints how reading profile and INI files grows with their size, in rounds of one run:
// loading a profile of 1,000, 2,000 and 4,000 keys, listing 100,000 sections and the
// 100,000 keys of one section, and reading the one value of a file that holds a 50 MB
// value (a value is read back at most 2,047 characters long, so this is finding the key
// past one huge line). Each figure is set against reading the same file's bytes and
// splitting them into lines, so the ratios stay comparable on a busy machine; a size
// whose least round takes longer than the budget ends its series.
// Usage: bench_profiles [budget seconds, default 60] [rounds, default 3]
#include "data/core/Connection.h"
#include "platform/IniFile.h"
#include "profiles/ADOConnectionINI.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>
#include "BenchRounds.h"

namespace {

double budgetMs = 60000;
int rounds = 3;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The floor every reader pays: the file's bytes read and cut into lines.
double bareSplitMs(const QString &path)
{
    return bench::timeMs([&] {
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

struct Measured {
    bench::Spread ms, bareMs;
};

// The reader (`timedRead` returns its own time) and the bare read of the same file, in
// rounds that alternate which goes first.
Measured measure(const QString &path, const std::function<double()> &timedRead)
{
    std::vector<double> ms, bareMs;
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0)
            bareMs.push_back(bareSplitMs(path));
        ms.push_back(timedRead());
        if (round % 2 == 1)
            bareMs.push_back(bareSplitMs(path));
    }
    return {bench::spreadOf(ms), bench::spreadOf(bareMs)};
}

void report(const std::string &what, const Measured &m, const Measured *sizeBefore = nullptr)
{
    bench::printFigure(what, m.ms, "ms");
    bench::printRatio(what + " / the bare read", m.ms, m.bareMs);
    if (sizeBefore)
        bench::printRatio(what + " / the size before", m.ms, sizeBefore->ms);
}

void loadProfiles(const QTemporaryDir &dir)
{
    Measured previous;
    bool first = true;
    for (int keys : {1000, 2000, 4000}) {
        const QString path = dir.filePath(QStringLiteral("ADOConneciton.ini"));
        writeFile(path, profileFile(keys));
        int arrived = keys;
        const Measured m = measure(path, [&] {
            data::Connection connection;
            profiles::TADOConnectionINI store;
            store.setInitialDir(dir.path());
            store.setIniIsHide(false);
            store.setADOConnection(&connection);
            const double ms = bench::timeMs([&] { store.LoadProfile(); });
            arrived = std::min(arrived, connection.Properties().Count());
            return ms;
        });
        report("LoadProfile, " + std::to_string(keys) + " keys", m, first ? nullptr : &previous);
        if (arrived < keys)
            std::printf("  (only %d properties arrived)\n", arrived);
        previous = m;
        first = false;
        if (m.ms.least > budgetMs)
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
    report("ReadSections, 100,000 sections", measure(sectionsPath, [&] {
               return bench::timeMs([&] { listed = platform::IniFile(sectionsPath).ReadSections().size(); });
           }));
    std::printf("  (%lld sections listed)\n", qlonglong(listed));

    const QString keysPath = dir.filePath(QStringLiteral("keys.ini"));
    QByteArray keys = "[S]\r\n";
    for (int i = 0; i < kCount; ++i)
        keys += "Key" + QByteArray::number(i) + "=v\r\n";
    writeFile(keysPath, keys);
    report("ReadSection, 100,000 keys", measure(keysPath, [&] {
               return bench::timeMs([&] { listed = platform::IniFile(keysPath).ReadSection(QStringLiteral("S")).size(); });
           }));
    std::printf("  (%lld keys listed)\n", qlonglong(listed));

    // A value is read back at most 2,047 characters long, as a profile value always was:
    // this measures finding the key in a file dominated by one huge line, not decoding it.
    const QString bigPath = dir.filePath(QStringLiteral("big.ini"));
    writeFile(bigPath, "[S]\r\nk=" + QByteArray(50 * 1024 * 1024, '\xA4') + "\r\n");
    report("ReadString in a file of one 50 MB value", measure(bigPath, [&] {
               return bench::timeMs([&] { listed = platform::IniFile(bigPath).ReadString("S", "k", QString()).size(); });
           }));
    std::printf("  (the value read back: %lld characters, the first of the 50 MB)\n", qlonglong(listed));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        budgetMs = QByteArray(argv[1]).toDouble() * 1000;
    rounds = bench::roundsArgument(argc, argv, 2);
    QTemporaryDir dir;
    std::printf("%d rounds\n", rounds);
    loadProfiles(dir);
    listLargeFiles(dir);
    return 0;
}
