#include "SqlPageRunner.h"
#include "app/core/CommonUtils.h"
#include "data/CommandQuery.h"
#include "data/Dataset.h"

namespace gui {

SqlPageRunner::SqlPageRunner(data::Command &command, data::Dataset &rows)
    : command_(command), rows_(rows)
{
}

SqlPageRunner::Outcome SqlPageRunner::run(const QString &text)
{
    switch (GetSQLKind(text)) {
    case skInsert:
    case skUpdate:
        command_.setCommandText(text);
        command_.Execute();
        return Outcome::Executed;
    case skSelect:
        if (rows_.Active())
            rows_.Close();
        rows_.setCommandText(text);
        rows_.Open();
        return Outcome::Opened;
    case skOther:
        break;
    }
    return Outcome::Refused;
}

} // namespace gui
