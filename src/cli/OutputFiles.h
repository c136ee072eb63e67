#pragma once
// The files the export commands write: the format option and the folder they go to.
#include "exchange/DatasetFile.h"
#include <QCommandLineParser>
#include <QDateTime>

namespace data { class Dataset; }

namespace cli {

// --format xml|txt|xls (xml when absent); UsageError for any other.
exchange::ExportFormat formatOption(const QCommandLineParser &parser);
// --dir DIR, the folder the export commands write to.
extern const QCommandLineOption kDirOption;
// --dir, or the window's default export folder; WorkFailure when it is no folder.
QString folderOption(const QCommandLineParser &parser);

// Writes the dataset (every row) to path, reports the file on standard output and a
// code page 950 loss on standard error. A stop while rows arrive throws Stopped.
void writeDataset(exchange::ExportFormat format, const QString &path, data::Dataset &dataset);

} // namespace cli
