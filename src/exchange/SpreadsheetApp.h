#pragma once
// The spreadsheet application installed here, if any, to open a saved workbook in: the
// desktop's own choice for .xls files when it names one, else a known spreadsheet
// program on the PATH. Starting it is the caller's (through the UI services).
#include <QString>
#include <QStringList>

namespace exchange {

struct SpreadsheetApp {
    QString program;       // absolute path; empty: none installed
    QStringList arguments; // put before the file name
    bool found() const { return !program.isEmpty(); }
    QStringList argumentsFor(const QString &file) const { return arguments + QStringList{file}; }
};

SpreadsheetApp findSpreadsheetApp();

} // namespace exchange
