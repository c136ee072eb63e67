#pragma once
// The ADO rowset XML persistence format: an inline XDR schema followed by z:row
// elements whose attributes are the values (a missing attribute is NULL).
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include <QString>
#include <memory>
#include <string>
#include <vector>

namespace data::rowsetxml {

struct Declared; // RowsetXmlDeclared.h

// What a load passed over, for the user to hear about.
struct LoadNotes {
    size_t valuesLeftOut = 0; // row attributes the schema does not declare
    size_t nestedRows = 0;    // child rows of chapter columns, kept but not shown
};

// The notes as one line for the status bar; empty when there is nothing to say.
QString loadNotesText(const LoadNotes &notes);

struct Rowset {
    std::vector<ColumnInfo> columns;
    RowStore rows;
    bool updatable = false;
    std::shared_ptr<const Declared> declared; // what a save of these rows writes back
    LoadNotes notes;
};

// Writes the columns and the rows in the given visible order (physical row numbers).
// The schema describes the values written: a column whose values outgrew its declared
// type (a 64-bit number in an int column, more decimals than its scale) is written with
// a type that holds them. `declared` (from the load of these rows) brings back what the
// file declared. Throws DatabaseError when the file cannot be written, with the
// system's reason; a failed write leaves the old file and no partial file behind.
void save(const QString &fileName, const std::vector<ColumnInfo> &columns, const RowStore &rows,
          const std::vector<uint32_t> &order, bool updatable, const Declared *declared = nullptr);
// The same document into memory (UTF-8).
std::string toXml(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable, const Declared *declared = nullptr);

// Reads a file written by this program or by the original Windows tool. Throws
// DatabaseError for a missing, malformed, truncated or foreign file and for values that
// do not match their declared type.
Rowset load(const QString &fileName);
Rowset fromXml(const QByteArray &xml, const QString &sourceName);

} // namespace data::rowsetxml
