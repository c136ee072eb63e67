#pragma once
// Writes tables to XML files one after another, each to {folder}/{table}.xml in the
// rowset format, through one dataset that is reused for every table, and records how
// long each took in the timing log "XML轉檔所需時間.Txt" beside them.
//
// Each table is read with "Select * From " and its name quoted for the dataset's
// connection, as one statement. Before each table the caller is told which one comes
// next and may stop the batch there; after each file is written the caller is told
// too (the window deselects the table, so its selection always holds what is left).
//
// A table that cannot be read or written, or whose name cannot be a file name, ends the
// batch with the error thrown (DatabaseError, ExportError): the files already written
// stay and no log is written. Two tables that would share one file end it before any
// file is written. A batch the caller stops writes the log of the tables done. Every
// file goes to a temporary file in the folder renamed over the target.
#include "data/core/TableName.h"
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace data { class Dataset; }

namespace exchange {

inline const QString kBatchLogFileName = QStringLiteral("XML轉檔所需時間.Txt");

struct BatchExportSteps {
    // Table `number` (from 1) of `total` comes next; false stops the batch before it.
    std::function<bool(int number, int total, const QString &table)> beforeTable;
    // The dataset has been closed and is about to read `table`.
    std::function<void(const QString &table)> opening;
    // The file of tables[index] has been written.
    std::function<void(int index)> written;
    // The clock of the log (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

struct BatchExportResult {
    int written = 0;
    bool stopped = false;
};

// The file of one table: folder, the platform's separator, the table's name as a plain
// file name (platform/PlainFileName.h) + ".xml".
QString batchXmlPath(const QString &folder, const QString &table);

// Each table is read by its schema and name and named (file, log line, steps) by its
// listed text; the plain-name form is for sources without schemas.
BatchExportResult exportTablesToXml(data::Dataset &dataset, const QString &folder,
                                    const QList<data::ListedTable> &tables, const BatchExportSteps &steps);
BatchExportResult exportTablesToXml(data::Dataset &dataset, const QString &folder, const QStringList &tables,
                                    const BatchExportSteps &steps);

} // namespace exchange
