#include "Worksheet.h"
#include "Biff8Workbook.h"
#include "ExportError.h"
#include <algorithm>

namespace exchange {

namespace {

Worksheet::Format formatOf(CellKind kind)
{
    switch (kind) {
    case CellKind::Date: return Worksheet::Format::Date;
    case CellKind::DateTime: return Worksheet::Format::DateTime;
    case CellKind::DateTimeMinutes: return Worksheet::Format::DateTimeMinutes;
    case CellKind::Time: return Worksheet::Format::Time;
    default: return Worksheet::Format::General;
    }
}

} // namespace

void Worksheet::checkFits(qint64 rows, qint64 columns)
{
    if (rows > kSheetMaxRows)
        throw SheetLimitError(QStringLiteral("共 %1 列，超過 Excel 97-2003 工作表的上限 %2 列，未產生檔案；"
                                             "請改用文字檔匯出 (Ctrl+P)!!")
                                  .arg(rows)
                                  .arg(kSheetMaxRows));
    if (columns > kSheetMaxColumns)
        throw SheetLimitError(QStringLiteral("共 %1 欄，超過 Excel 97-2003 工作表的上限 %2 欄，未產生檔案；"
                                             "請改用文字檔匯出 (Ctrl+P)!!")
                                  .arg(columns)
                                  .arg(kSheetMaxColumns));
}

Worksheet::ColumnSetting &Worksheet::setting(int column)
{
    if (size_t(column) >= settings_.size())
        settings_.resize(size_t(column) + 1);
    return settings_[size_t(column)];
}

void Worksheet::setColumnTextFormat(int column)
{
    checkFits(1, qint64(column) + 1);
    setting(column).text = true;
}

bool Worksheet::isTextColumn(int column) const
{
    return size_t(column) < settings_.size() && settings_[size_t(column)].text;
}

void Worksheet::place(int row, int column, int width)
{
    if (row < 0 || column < 0)
        throw SheetLimitError(QStringLiteral("儲存格位置超出範圍"));
    checkFits(qint64(row) + 1, qint64(column) + 1);
    ColumnSetting &s = setting(column);
    s.contentWidth = std::max(s.contentWidth, width);
    rows_ = std::max(rows_, row + 1);
    columns_ = std::max(columns_, column + 1);
}

uint32_t Worksheet::stringIndex(const QString &text)
{
    const auto found = stringIndex_.constFind(text);
    if (found != stringIndex_.cend())
        return found.value();
    const uint32_t index = uint32_t(strings_.size());
    strings_.push_back(text);
    stringIndex_.insert(text, index);
    return index;
}

void Worksheet::putText(int row, int column, const QString &text)
{
    if (text.size() > kCellMaxChars)
        throw SheetLimitError(QStringLiteral("第 %1 列第 %2 欄的值有 %3 個字元，超過 Excel 儲存格的上限 %4 個字元，"
                                             "未產生檔案；請改用文字檔匯出 (Ctrl+P)!!")
                                  .arg(row + 1)
                                  .arg(column + 1)
                                  .arg(text.size())
                                  .arg(kCellMaxChars));
    place(row, column, displayWidthOf(text));
    const Format format = isTextColumn(column) ? Format::Text : Format::General;
    cells_.push_back(Cell{uint16_t(row), uint16_t(column), format, true, stringIndex(text), 0});
}

void Worksheet::putNumber(int row, int column, double value, Format format)
{
    place(row, column, displayWidthOf(QString::number(value, 'g', 15)));
    cells_.push_back(Cell{uint16_t(row), uint16_t(column), format, false, 0, value});
}

void Worksheet::putTyped(int row, int column, const QString &text)
{
    if (text.isEmpty())
        return;
    const TypedCell typed = isTextColumn(column) ? TypedCell{} : convertTypedText(text);
    if (typed.kind == CellKind::Text) {
        putText(row, column, text);
        return;
    }
    place(row, column, displayWidthOf(text));
    cells_.push_back(Cell{uint16_t(row), uint16_t(column), formatOf(typed.kind), false, 0, typed.number,
                          typed.kind == CellKind::Logical});
}

void Worksheet::fitColumn(int column, int extraChars)
{
    const int content = size_t(column) < settings_.size() ? settings_[size_t(column)].contentWidth : 0;
    setColumnWidth(column, (content > 0 ? content : 8) + extraChars);
}

void Worksheet::setColumnWidth(int column, double chars)
{
    checkFits(1, qint64(column) + 1);
    setting(column).width = std::clamp(chars, 0.0, double(kColumnMaxChars));
}

void Worksheet::save(const QString &path) const
{
    writeBiff8Workbook(path, *this);
}

} // namespace exchange
