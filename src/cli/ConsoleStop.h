#pragma once
// Ctrl+C as the console's stop button. The first SIGINT only notes the request; the
// running database call is then stopped the way the window's stop button stops it
// (the server is told, the dataset's fill ends, no file is written half), and the
// command ends with exit status 130. A second Ctrl+C ends the program at once, for a
// call that does not answer its stop.
#include "data/core/CommandWait.h"
#include "data/core/Dataset.h"

namespace cli {

void installStopHandler(); // SIGINT, SIGTERM and SIGHUP
bool stopRequested();
// 128 + the stop signal's number, as a shell reports a program it ended: 130 for Ctrl+C.
int stoppedExitStatus();
// Throws Stopped when a stop was requested (between tables, before a file).
void throwIfStopped();

// The connection's wait for long calls: polls the request while the call runs.
class ConsoleWait final : public data::CommandWait {
public:
    void wait(data::RunningCall &call) override;
    std::unique_ptr<data::InlineWait> waitHere() override;
};

// The datasets' wait for their remaining rows: a row count on a terminal, and the stop.
void installFillWait();

} // namespace cli
