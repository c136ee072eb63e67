#pragma once
// Waits for a database call that takes long while the window stays alive: panel 3 keeps
// naming what runs (or says a command runs), a stop button sits at its right end, Esc or
// the button tells the server to stop, and every other input waits (BatchStop).
#include "data/core/CommandWait.h"
#include <QPointer>
#include <QString>
#include <memory>

class QLabel;

namespace gui {

class CommandWatch final : public data::CommandWait {
public:
    explicit CommandWatch(QLabel *panel) : panel_(panel) {}
    void wait(data::RunningCall &call) override;
    // The wait for rows a result's background fill steps into on this thread: panel 3
    // says the rest is awaited (its row count would be stale), with the stop as for
    // wait(); the window is painted and the stop read each time the work checks in (at
    // most every 20 ms).
    std::unique_ptr<data::InlineWait> waitHere() override;

private:
    QPointer<QLabel> panel_;
};

// The panel's texts, shared with the tests.
QString commandRunningText();
QString commandStoppingText();
QString awaitingRowsText();

} // namespace gui
