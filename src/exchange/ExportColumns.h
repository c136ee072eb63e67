#pragma once
// Which columns of a grid go into its text and spreadsheet exports, for the grid and for
// the console program alike: the rule works on the columns as shown (title, field,
// visibility), so both write the same file for the same columns.
#include "exchange/DatasetWorkbook.h"
#include "exchange/TabTextExport.h"
#include <QString>
#include <vector>

namespace data {
class Dataset;
class Field;
}

namespace exchange {

struct ShownColumn {
    QString title;
    const data::Field *field = nullptr; // nullptr: a column without a field of the dataset
    bool visible = true;
};

// Text fields as the grid treats them. The SQLite provider reports every text column
// as wide text, so both text types count.
bool isTextField(const data::Field *field);

// The text file takes every column but blobs, hidden ones included.
std::vector<TextColumn> textColumnsOf(const std::vector<ShownColumn> &shown);
// A line ends with the value of the last column; when that column is not exported,
// every value is followed by a tab.
bool linesEndWithTab(const std::vector<ShownColumn> &shown);
// The workbook takes the visible columns but blobs; text fields keep their text.
std::vector<SheetColumn> sheetColumnsOf(const std::vector<ShownColumn> &shown);

// The columns a grid shows for a dataset it has just opened: every field, titled with
// its display label.
std::vector<ShownColumn> fieldColumnsOf(const data::Dataset &dataset);

} // namespace exchange
