#pragma once
// The BIFF8 "Workbook" stream of a one-sheet workbook: the globals (fonts, formats, cell
// formats, the shared string table) and the sheet's column widths and cells.
#include <QString>
#include <string>

namespace exchange {

class Worksheet;

std::string biff8WorkbookStream(const Worksheet &sheet);
// The stream in a compound file at path (temporary file renamed over it).
void writeBiff8Workbook(const QString &path, const Worksheet &sheet);

} // namespace exchange
