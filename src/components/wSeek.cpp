#include "wSeek.h"

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
    dialog.ResolveFields();
    dialog.exec();
    found_ = dialog.FFound;
}

} // namespace components
