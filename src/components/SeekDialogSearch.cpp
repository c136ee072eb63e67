// The search of TfmSeek: check every edit, locate the first record matching the typed
// values, and ask whether to go on when none does.
#include "SeekDialog.h"
#include "SeekEdit.h"
#include "SeekValueCheck.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "platform/UiServices.h"
#include <QCoreApplication>
#include <algorithm>

namespace components {

namespace {
const QString kQuestionTitle = QStringLiteral("程式執行確認");
const QString kGoOnQuestion = QStringLiteral("查無該筆資料，是否繼續查詢");
} // namespace

// Shows what does not fit the field's type; false then.
bool TfmSeek::checkEdit(SeekEdit *edit, SeekCheckMode mode)
{
    const QString problem = seekValueProblem(edit->field()->DataType(), edit->value(), mode);
    if (problem.isEmpty())
        return true;
    platform::ui().showMessage(this, QCoreApplication::applicationName(), problem,
                               platform::MessageIcon::None, false);
    return false;
}

void TfmSeek::search()
{
    if (FCount == 0 || !FDataSet) {
        closeDialog();
        return;
    }
    for (SeekEdit *edit : FEdits) {
        if (!checkEdit(edit, SeekCheckMode::Search)) {
            edit->setFocus();
            return;
        }
    }
    if (std::all_of(FEdits.begin(), FEdits.end(), [](SeekEdit *e) { return e->value().isEmpty(); })) {
        closeDialog();
        return;
    }
    const Outcome outcome = locate();
    FFound = FFound || outcome == Outcome::Found;
    if (outcome == Outcome::NotFound && platform::ui().askYesNo(this, kQuestionTitle, kGoOnQuestion)) {
        FEdits.front()->setFocus();
        FEdits.front()->selectAll();
        return;
    }
    closeDialog();
}

// Fields are handed to the dataset as they are, so that names holding ";" or blanks
// are searched like any other.
TfmSeek::Outcome TfmSeek::locate()
{
    std::vector<data::Field *> fields;
    QVariantList values;
    for (SeekEdit *edit : FEdits) {
        if (FCount > 1 && !countsAsSeekValue(edit->field()->DataType(), edit->value()))
            continue;
        fields.push_back(edit->field());
        values << seekKeyOf(edit->field()->DataType(), edit->value());
    }
    if (fields.empty())
        return Outcome::NothingToSeek;
    if (FCount > 1 && fields.size() == 1 && FDataSet->SupportsSort()) {
        // One value alone: search in that field's order (the dataset stays so sorted).
        FDataSet->setSort(data::Dataset::sortNameOf(fields.front()->FieldName()));
    }
    return FDataSet->Locate(fields, values, FLocateOptions) ? Outcome::Found : Outcome::NotFound;
}

// Moves the focus along the tab order until a seek edit has it; stops after one round.
void TfmSeek::walkFocus(bool forward)
{
    QWidget *start = focusWidget() ? focusWidget() : this;
    for (QWidget *w = forward ? start->nextInFocusChain() : start->previousInFocusChain(); w != start;
         w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (auto *edit = qobject_cast<SeekEdit *>(w); edit && edit->isEnabled()) {
            edit->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

SeekEdit *TfmSeek::focusedSeekEdit() const
{
    return qobject_cast<SeekEdit *>(focusWidget());
}

int TfmSeek::focusedTag() const
{
    const SeekEdit *edit = focusedSeekEdit();
    return edit ? edit->Tag() : 0;
}

} // namespace components
