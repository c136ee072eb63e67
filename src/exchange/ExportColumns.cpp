#include "ExportColumns.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"

namespace exchange {

bool isTextField(const data::Field *field)
{
    if (!field)
        return false;
    const data::TFieldType t = field->DataType();
    return t == data::ftString || t == data::ftWideString || t == data::ftFixedChar;
}

std::vector<TextColumn> textColumnsOf(const std::vector<ShownColumn> &shown)
{
    std::vector<TextColumn> columns;
    for (const ShownColumn &c : shown)
        if (c.field && !c.field->IsBlob())
            columns.push_back({c.title, c.field->Index()});
    return columns;
}

bool linesEndWithTab(const std::vector<ShownColumn> &shown)
{
    if (shown.empty())
        return false;
    const data::Field *last = shown.back().field;
    return !last || last->IsBlob();
}

std::vector<SheetColumn> sheetColumnsOf(const std::vector<ShownColumn> &shown)
{
    std::vector<SheetColumn> columns;
    for (const ShownColumn &c : shown)
        if (c.field && !c.field->IsBlob() && c.visible)
            columns.push_back({c.title, c.field->Index(), isTextField(c.field)});
    return columns;
}

std::vector<ShownColumn> fieldColumnsOf(const data::Dataset &dataset)
{
    std::vector<ShownColumn> shown;
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        const data::Field *f = dataset.Fields(i);
        shown.push_back({f->DisplayLabel(), f, f->Visible()});
    }
    return shown;
}

} // namespace exchange
