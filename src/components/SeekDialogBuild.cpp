// Building TfmSeek: one caption, edit and (where asked) question button per seek
// field, then the frame, the tool bar and the dialog sized and placed around them.
#include "ImeSwitch.h"
#include "SeekAppearance.h"
#include "SeekDialog.h"
#include "SeekEdit.h"
#include "SeekFields.h"
#include "SeekLayout.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

namespace components {

void TfmSeek::ResolveFields()
{
    FFirstIndex = 1;
    FFields = resolveSeekFields(FSeekField, FDataSet.data());
    FCount = int(FFields.size());
}

void TfmSeek::UseFields(std::vector<data::Field *> fields)
{
    FFirstIndex = 1;
    if (fields.size() > size_t(kMaxSeekFields))
        fields.resize(size_t(kMaxSeekFields));
    FFields = std::move(fields);
    FCount = int(FFields.size());
}

void TfmSeek::FormShow()
{
    for (int i = 1; i <= FCount; ++i)
        addSeekField(i);
    // The dialog is being shown: controls made now must be shown themselves.
    for (QWidget *control : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        control->show();
    if (FCount > 0)
        FEdits.front()->setFocus();
    placeControls();
}

void TfmSeek::addSeekField(int index)
{
    data::Field *field = FFields.at(size_t(index - 1));
    auto *caption = new QLabel(field->DisplayLabel(), this);
    caption->setObjectName(QStringLiteral("lblSeek%1").arg(index));
    caption->adjustSize();
    const int widthLimit = seekControlWidthLimit(screen()->availableGeometry().width());
    if (caption->width() > widthLimit)
        caption->setFixedWidth(widthLimit);
    FLabels.push_back(caption);

    // Controls are named by their place, not by the field: field names (Chinese ones,
    // repeated ones) need not make valid or unique control names.
    auto *edit = new SeekEdit(field, index, this);
    edit->setObjectName(QStringLiteral("edSeek%1").arg(index));
    edit->setPalette(seekEditPalette(edit->palette()));
    edit->setFont(font());
    const bool isDate = field->DataType() == data::ftDate || field->DataType() == data::ftDateTime;
    edit->setEditMask(isDate ? FDateMask : field->EditMask());
    // A display width of 0 leaves the length open, as a maximum length of 0 does.
    edit->setMaxLength(field->DisplayWidth() > 0 ? field->DisplayWidth() : 32767);
    // Wide fields (nvarchar(4000)) keep their length but not an edit wider than the screen.
    edit->setFixedWidth(std::min(seekEditWidth(field->DisplayWidth()), widthLimit));
    edit->setCharCase(FCharCase);
    edit->installEventFilter(this);
    if (!FImeName.isEmpty() && FImeNameList.size() >= index && !FImeNameList.at(index - 1).isEmpty())
        imeSwitch().useInputMethod(edit, FImeName);
    FEdits.push_back(edit);

    FButtons.push_back(nullptr);
    if (FOnQuestionClick && FQuestionList.contains(field->FieldName(), Qt::CaseInsensitive))
        addQuestionButton(index);
}

void TfmSeek::addQuestionButton(int index)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("qbSeek%1").arg(index));
    button->setProperty("Tag", index);
    button->setFixedSize(22, 22);
    button->setCursor(Qt::PointingHandCursor);
    button->setIcon(QIcon(seekQuestionPicture()));
    button->setIconSize(QSize(16, 16));
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, button] { guarded([this, button] { DoQuestionClick(button); }); });
    FButtons.back() = button;
}

void TfmSeek::placeControls()
{
    SeekLayoutInput in;
    for (int i = 0; i < FCount; ++i) {
        in.labelWidths.push_back(FLabels.at(size_t(i))->width());
        in.editWidths.push_back(FEdits.at(size_t(i))->width());
    }
    in.toolBar = ToolBar1->size();
    in.anchorLeft = FAnchorLeft;
    in.anchorTop = FAnchorTop;
    in.anchorWidth = FAnchorWidth;
    in.screen = screen()->geometry();
    in.available = screen()->availableGeometry();
    const SeekLayout at = layOutSeekDialog(in);

    for (int i = 0; i < FCount; ++i) {
        FLabels.at(size_t(i))->move(at.labels.at(size_t(i)));
        SeekEdit *edit = FEdits.at(size_t(i));
        edit->move(at.edits.at(size_t(i)));
        if (QToolButton *button = FButtons.at(size_t(i)))
            button->move(edit->x() + edit->width() + 2, edit->y());
    }
    Bevel1->setGeometry(at.bevel);
    Bevel1->lower();
    ToolBar1->move(at.toolBar);
    // The layout gives the outer size; the frame the window system adds comes off it.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setFixedSize(at.dialog.shrunkBy(frame));
    move(at.dialogAt);
}

} // namespace components
