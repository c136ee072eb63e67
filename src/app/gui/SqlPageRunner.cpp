#include "SqlPageRunner.h"
#include "platform/CommonUtils.h"
#include "data/core/CommandQuery.h"
#include "data/core/Dataset.h"

namespace gui {

SqlPageRunner::SqlPageRunner(data::Command &command, data::Dataset &rows)
    : command_(command), rows_(rows)
{
}

SqlPageRunner::Result SqlPageRunner::run(const QString &text)
{
    switch (GetSQLKind(text)) {
    case skInsert:
    case skUpdate:
        command_.setCommandText(text);
        command_.Execute();
        return {Outcome::Executed};
    case skSelect: {
        if (rows_.Active())
            rows_.Close();
        rows_.setCommandText(text);
        // The text runs once either way; what came back decides what the user sees.
        if (const auto affected = rows_.OpenOrExecute())
            return {Outcome::RanWithoutRows, *affected};
        return {Outcome::Opened};
    }
    case skOther:
        break;
    }
    return {Outcome::Refused};
}

} // namespace gui
