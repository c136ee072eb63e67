#include "CheckColumn.h"
#include "wDBGrid.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "exchange/ExportColumns.h"

namespace components {

TCheckColumn::TCheckColumn(TwDBGrid *grid, int index, const QString &fieldName)
    : grid_(grid), index_(index), fieldName_(fieldName)
{
}

data::Field *TCheckColumn::Field() const
{
    data::Dataset *ds = grid_ ? grid_->DataSet() : nullptr;
    if (!ds || !ds->Active())
        return nullptr;
    return ds->FindField(fieldName_);
}

bool TCheckColumn::ReadOnly() const
{
    if (readOnly_)
        return *readOnly_;
    const data::Field *f = Field();
    return (grid_ && grid_->ReadOnly()) || (f && f->ReadOnly());
}

void TCheckColumn::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    changed();
}

bool TCheckColumn::Visible() const
{
    if (visible_)
        return *visible_;
    const data::Field *f = Field();
    return f ? f->Visible() : true;
}

void TCheckColumn::setVisible(bool visible)
{
    visible_ = visible;
    changed();
}

QString TCheckColumn::TitleCaption() const
{
    if (caption_)
        return *caption_;
    const data::Field *f = Field();
    return f ? f->DisplayLabel() : fieldName_;
}

void TCheckColumn::setTitleCaption(const QString &caption)
{
    caption_ = caption;
    changed();
}

void TCheckColumn::setCheck(const QString &value)
{
    check_ = value;
    changed();
}

void TCheckColumn::setValueChecked(const QString &value)
{
    valueChecked_ = value;
    changed();
}

void TCheckColumn::setValueUnchecked(const QString &value)
{
    valueUnchecked_ = value;
    changed();
}

void TCheckColumn::changed()
{
    if (grid_)
        grid_->LayoutChanged();
}

bool isTextField(const data::Field *field)
{
    return exchange::isTextField(field);
}

bool isCheckField(const data::Field *field)
{
    return isTextField(field) && field->Size() == 1 && (field->Tag() == 9 || field->Tag() == 10);
}

} // namespace components
