#pragma once
// How a command ends when it does not succeed; main turns each into its exit status.
#include <QString>

namespace cli {

// The command line asks for something impossible (exit status 2).
struct UsageError {
    QString message;
};

// The work failed: the database, a file, a missing table (exit status 1).
struct WorkFailure {
    QString message;
};

// Ctrl+C stopped the work (exit status 130; 143 for SIGTERM, 129 for SIGHUP).
struct Stopped {
    QString message;
};

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

} // namespace cli
