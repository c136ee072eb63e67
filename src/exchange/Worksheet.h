#pragma once
// One worksheet ("Sheet1") of an Excel 97-2003 workbook, built in memory and then
// written as a real .xls file (BIFF8 records in a compound file). Shared by the grid's
// spreadsheet export and the network report.
//
// Cells are put by row and column (from 0). Text put "as typed" follows the column's
// format: in a text ("@") column it stays text; elsewhere it is converted as the
// spreadsheet converts typed text (TypedCellText.h): numbers, dates and times, and
// TRUE/FALSE as logical values. A value that a sheet cannot hold
// (beyond 65,536 rows or 256 columns, more than 32,767 characters) throws SheetLimitError
// at once, so nothing is written; save() throws ExportError with the file's error text.
#include "TypedCellText.h"
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

namespace exchange {

constexpr int kSheetMaxRows = 65536;
constexpr int kSheetMaxColumns = 256;
constexpr int kCellMaxChars = 32767;
constexpr int kColumnMaxChars = 255;

class Worksheet {
public:
    // Cell formats of the workbook.
    enum class Format : uint8_t { General, Text, Date, DateTime, DateTimeMinutes, Time };

    // The column's cells are text ("@"), also those typed in later.
    void setColumnTextFormat(int column);
    bool isTextColumn(int column) const;

    void putText(int row, int column, const QString &text);
    void putNumber(int row, int column, double value, Format format = Format::General);
    // Text as a person would type it into the cell; an empty text leaves the cell empty.
    void putTyped(int row, int column, const QString &text);

    // Fits the column to its widest cell (CJK characters count two) and adds extraChars.
    void fitColumn(int column, int extraChars);
    // Width in characters (at most 255); unset columns keep the sheet's default.
    void setColumnWidth(int column, double chars);

    int rowCount() const { return rows_; }       // last used row + 1
    int columnCount() const { return columns_; } // last used column + 1

    // Writes the workbook to a temporary file renamed over path.
    void save(const QString &path) const;

    // Refuses a sheet of rows × columns before any cell is put.
    static void checkFits(qint64 rows, qint64 columns);

    struct Cell {
        uint16_t row;
        uint16_t column;
        Format format;
        bool isText;
        uint32_t sst;  // index of the text in strings()
        double number; // the value; 1 or 0 for a logical value
        bool isLogical = false;
    };
    struct ColumnSetting {
        bool text = false;
        int contentWidth = 0; // widest cell, characters
        double width = -1;    // characters; -1 = default
    };
    const std::vector<Cell> &cells() const { return cells_; }
    const std::vector<QString> &strings() const { return strings_; }
    const std::vector<ColumnSetting> &columnSettings() const { return settings_; }

private:
    ColumnSetting &setting(int column);
    void place(int row, int column, int width);
    uint32_t stringIndex(const QString &text);

    std::vector<Cell> cells_;
    std::vector<QString> strings_;
    QHash<QString, uint32_t> stringIndex_;
    std::vector<ColumnSetting> settings_;
    int rows_ = 0;
    int columns_ = 0;
};

} // namespace exchange
