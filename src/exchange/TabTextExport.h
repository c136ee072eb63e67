#pragma once
// The grid's text export: a title line and one line per record, values separated by
// tabs, CR LF after every line, in code page 950. Rows are read from the dataset in its
// visible order without moving its cursor, and written as they are read, so memory stays
// flat whatever the size. The file is written to a temporary file renamed over the
// target: a failed export leaves a file of the same name as it was.
#include <QString>
#include <vector>

namespace data { class Dataset; }

namespace exchange {

struct TextColumn {
    QString title;
    int field = -1; // index in the dataset
};

struct TextExportResult {
    qint64 rows = 0;
    // Titles and values holding characters code page 950 cannot represent, written
    // with "?" in their place.
    qint64 valuesWithReplacements = 0;
};

// endLinesWithTab: every value, the last one included, is followed by a tab (the grid's
// last column is not among the exported ones). Throws ExportError with the file's error
// text when the file cannot be written.
TextExportResult writeTabText(const QString &path, const data::Dataset &dataset,
                              const std::vector<TextColumn> &columns, bool endLinesWithTab);

} // namespace exchange
