#pragma once
// A dataset written to one file in one of the grid's export formats, with the columns a
// grid shows for a freshly opened dataset (ExportColumns.h): the console program's
// exports, byte for byte the files the grid writes for the same table.
#include <QDateTime>
#include <QString>
#include <optional>

namespace data { class Dataset; }

namespace exchange {

enum class ExportFormat { Xml, Text, Sheet };

inline const QString kXmlExtension = QStringLiteral(".xml");
inline const QString kTextExtension = QStringLiteral(".Txt");
inline const QString kSheetExtension = QStringLiteral(".xls");

// "xml", "txt" or "xls" (any case); nullopt for anything else.
std::optional<ExportFormat> exportFormatNamed(const QString &name);
QString extensionOf(ExportFormat format);

// Reads every row first (RequireAllRows: a stopped fill throws FetchStopped and writes
// nothing). Throws SheetLimitError before writing when the rows do not fit a sheet and
// ExportError when the file cannot be written; the target then stays as it was.
// Returns the count of text values written with "?" for characters code page 950 lacks.
qint64 writeDatasetFile(ExportFormat format, const QString &path, data::Dataset &dataset, const QDateTime &now);

} // namespace exchange
