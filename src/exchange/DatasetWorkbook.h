#pragma once
// The grid's spreadsheet export as a sheet: row 1 "產生日期時間：" and the export time,
// row 2 the column titles, then one row per record with each column's display text as
// if typed in. Column B and the text columns are text ("@"); every exported column is
// fitted to its content and widened by one character.
#include <QDateTime>
#include <QString>
#include <vector>

namespace data { class Dataset; }

namespace exchange {

class Worksheet;

struct SheetColumn {
    QString title;
    int field = -1;      // index in the dataset
    bool text = false;   // a text field: its column is formatted "@"
};

// Rows taken by the export of recordCount records (the time row and the title row).
constexpr qint64 kSheetHeaderRows = 2;

// Row 1 of the sheets the program writes: "產生日期時間：" in A1 and the time, formatted
// "yyyy/mm/dd hh:mm", in B1; column B is text so the time stays as written.
void putGeneratedAt(Worksheet &sheet, const QDateTime &when);

// Builds and saves the workbook. Throws SheetLimitError, before anything is written,
// when the records or a value do not fit a sheet; ExportError when the file cannot be
// written (a file of the same name then stays as it was).
void writeDatasetWorkbook(const QString &path, const data::Dataset &dataset,
                          const std::vector<SheetColumn> &columns, const QDateTime &when);

} // namespace exchange
