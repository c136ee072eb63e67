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
    enum class Outcome {
        Refused,
        Executed,
        Opened,
        // Classified as a select, yet no result set came back: the text has run (it may
        // have changed data) and the dataset stays closed.
        RanWithoutRows,
    };
    struct Result {
        Outcome outcome = Outcome::Refused;
        long long rowsAffected = -1; // RanWithoutRows: as the driver says, -1 unknown
    };

    SqlPageRunner(data::Command &command, data::Dataset &rows);
    // Errors of the server or of the text propagate; a failing select leaves the
    // dataset closed.
    Result run(const QString &text);

private:
    data::Command &command_;
    data::Dataset &rows_;
};

} // namespace gui
