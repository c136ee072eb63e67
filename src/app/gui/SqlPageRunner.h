#pragma once
// Runs the text of the SQL page: row-returning text opens in the XML dataset, inserts and
// updates are executed without a result, anything else is refused.
#include <QString>

namespace data {
class Command;
class Dataset;
}

namespace gui {

class SqlPageRunner {
public:
    enum class Outcome { Refused, Executed, Opened };

    SqlPageRunner(data::Command &command, data::Dataset &rows);
    // Errors of the server or of the text propagate; a failing select leaves the
    // dataset closed.
    Outcome run(const QString &text);

private:
    data::Command &command_;
    data::Dataset &rows_;
};

} // namespace gui
