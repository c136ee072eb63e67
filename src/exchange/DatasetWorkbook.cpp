#include "DatasetWorkbook.h"
#include "Worksheet.h"
#include "data/core/Dataset.h"

namespace exchange {

void putGeneratedAt(Worksheet &sheet, const QDateTime &when)
{
    sheet.setColumnTextFormat(1);
    sheet.putTyped(0, 0, QStringLiteral("產生日期時間："));
    sheet.putTyped(0, 1, when.toString(QStringLiteral("yyyy/MM/dd HH:mm")));
}

void writeDatasetWorkbook(const QString &path, const data::Dataset &dataset,
                          const std::vector<SheetColumn> &columns, const QDateTime &when)
{
    const int records = dataset.RecordCount();
    Worksheet::checkFits(kSheetHeaderRows + records, qint64(columns.size()));
    Worksheet sheet;
    putGeneratedAt(sheet, when);
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c].text)
            sheet.setColumnTextFormat(int(c));
    for (size_t c = 0; c < columns.size(); ++c)
        sheet.putTyped(1, int(c), columns[c].title);
    for (int r = 0; r < records; ++r)
        for (size_t c = 0; c < columns.size(); ++c)
            sheet.putTyped(int(kSheetHeaderRows) + r, int(c), dataset.displayTextAt(r, columns[c].field));
    for (size_t c = 0; c < columns.size(); ++c)
        sheet.fitColumn(int(c), 1);
    sheet.save(path);
}

} // namespace exchange
