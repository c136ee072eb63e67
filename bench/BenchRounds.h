#pragma once
// Rounds and what the benchmarks print of them. One round on a shared machine says little,
// so every figure is measured in rounds and printed as its least (the machine without
// disturbance) and its middle (what a person sees). A ratio divides the least of one side
// by the least of the other and the middle by the middle, both sides measured in the same
// rounds. Every such line has the one layout printFigure writes, which
// bench/run-benches.sh gathers into a table.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

struct Spread {
    double least = 0;
    double middle = 0;
};

// The least and the middle of the values (the lower middle when their count is even).
inline Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.front(), values[(values.size() - 1) / 2]};
}

inline Spread ratioOf(Spread ours, Spread yardstick)
{
    return {yardstick.least > 0 ? ours.least / yardstick.least : 0,
            yardstick.middle > 0 ? ours.middle / yardstick.middle : 0};
}

inline double elapsedMs(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

template <typename Work> double timeMs(Work work)
{
    QElapsedTimer t;
    t.start();
    work();
    return elapsedMs(t);
}

// The benchmarks' round count: the argument at `index` when given, else `fallback`.
inline int roundsArgument(int argc, char **argv, int index, int fallback = 3)
{
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

// One figure: "<measure>  least <value> <unit>  middle <value> <unit>". A unit "x" marks a
// ratio. Notes belong on lines of their own, so the layout stays one to parse.
inline void printFigure(const std::string &measure, Spread s, const char *unit)
{
    const int decimals = std::string(unit) == "x" ? 3 : std::max(s.least, s.middle) < 10 ? 2 : 1;
    std::printf("  %-62s least %10.*f %-2s  middle %10.*f %s\n", measure.c_str(), decimals, s.least, unit, decimals,
                s.middle, unit);
    std::fflush(stdout);
}

inline void printRatio(const std::string &measure, Spread ours, Spread yardstick)
{
    printFigure(measure, ratioOf(ours, yardstick), "x");
}

} // namespace bench
