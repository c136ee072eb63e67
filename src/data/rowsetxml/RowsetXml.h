#pragma once
// The ADO rowset XML persistence format: an inline XDR schema followed by z:row
// elements whose attributes are the values (a missing attribute is NULL).
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include <QString>
#include <string>
#include <vector>

namespace data::rowsetxml {

struct Rowset {
    std::vector<ColumnInfo> columns;
    RowStore rows;
    bool updatable = false;
};

// Writes the columns and the rows in the given visible order (physical row numbers).
// Throws DatabaseError when the file cannot be written; a failed write leaves no
// partial file behind.
void save(const QString &fileName, const std::vector<ColumnInfo> &columns, const RowStore &rows,
          const std::vector<uint32_t> &order, bool updatable);
// The same document into memory (UTF-8).
std::string toXml(const std::vector<ColumnInfo> &columns, const RowStore &rows,
                  const std::vector<uint32_t> &order, bool updatable);

// Reads a file written by this program or by the original Windows tool. Throws
// DatabaseError for a missing, malformed, truncated or foreign file and for values that
// do not match their declared type.
Rowset load(const QString &fileName);
Rowset fromXml(const QByteArray &xml, const QString &sourceName);

} // namespace data::rowsetxml
