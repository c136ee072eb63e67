// Memory figures of this process, read from /proc, for the benchmarks' peak-memory lines.
#pragma once

#include <fstream>
#include <string>

namespace bench {

// A "Vm…:" line of /proc/self/status in kB, or -1 when it is missing.
inline long readStatusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// Resets VmHWM to the current RSS (writing 5 to clear_refs), so a later peak is the phase's own.
inline void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace bench
