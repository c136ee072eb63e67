#include "wSeek.h"
#include "data/core/Field.h"

namespace components {

TwSeek::TwSeek(QObject *owner) : QObject(owner)
{
}

QStringList &TwSeek::Question()
{
    if (!question_)
        question_.emplace();
    return *question_;
}

QStringList &TwSeek::ImeNameList()
{
    if (!imeNameList_)
        imeNameList_.emplace();
    return *imeNameList_;
}

void TwSeek::setSeekFields(const std::vector<data::Field *> &fields)
{
    givenFields_.clear();
    QStringList names;
    for (const data::Field *field : fields) {
        givenFields_.push_back({field->Index(), field->FieldName()});
        names << field->FieldName();
    }
    seekField_ = names.join(QLatin1Char(';'));
}

std::vector<data::Field *> TwSeek::givenFieldsStillThere() const
{
    std::vector<data::Field *> fields;
    for (const GivenField &given : givenFields_) {
        if (!dataSet_ || given.index >= dataSet_->FieldCount() ||
            dataSet_->Fields(given.index)->FieldName() != given.name)
            return {};
        fields.push_back(dataSet_->Fields(given.index));
    }
    return fields;
}

void TwSeek::Execute()
{
    TfmSeek dialog; // owned by the application, destroyed however the dialog ends
    dialog.helpContext_ = helpContext_;
    dialog.helpFile_ = helpFile_;
    dialog.FFound = false;
    dialog.FSeekField = seekField_;
    dialog.FDataSet = dataSet_;
    dialog.FAnchorLeft = left_;
    dialog.FAnchorWidth = width_;
    dialog.FAnchorTop = top_;
    dialog.FCharCase = charCase_;
    dialog.FLocateOptions = locateOptions_;
    if (question_ && OnQuestionClick) {
        dialog.FQuestionList = *question_;
        dialog.FOnQuestionClick = OnQuestionClick;
    }
    if (imeNameList_)
        dialog.FImeNameList = *imeNameList_;
    dialog.FImeName = imeName_;
    if (!editMask_.isEmpty())
        dialog.FDateMask = editMask_;
    if (std::vector<data::Field *> given = givenFieldsStillThere(); !given.empty())
        dialog.UseFields(std::move(given));
    else
        dialog.ResolveFields();
    dialog.exec();
    found_ = dialog.FFound;
}

} // namespace components
