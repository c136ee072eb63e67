#pragma once
// What a loaded rowset file declared beyond the fields the grid shows, kept with the
// loaded rows so that saving them writes it back: each column's attributes as the file
// spelled them (ui1 stays ui1, currency keeps its scale, rs:rowid, rs:writeunknown, ...),
// hidden columns with their values, the nested rows of a hierarchical rowset, and
// date-times that were written with a zone. Rows are physical row numbers of the load.
#include "data/core/ColumnStore.h"
#include "data/core/FieldType.h"
#include "data/rowsetxml/RowsetXmlParser.h"
#include <string>
#include <unordered_map>
#include <vector>

namespace data::rowsetxml {

struct DeclaredAttribute {
    detail::Ns ns;
    std::string local;
    std::string value; // as the file held it, character references decoded
};

struct DeclaredColumn {
    std::string xmlName;
    std::vector<DeclaredAttribute> typeAttributes;     // on s:AttributeType
    std::vector<DeclaredAttribute> datatypeAttributes; // on its s:datatype
    bool hasDatatype = false;
    TFieldType loadedType = ftUnknown;
    int output = -1;       // field index; -1 for a hidden column
    int hiddenStore = -1;  // column of Declared::hidden for a hidden column
    // What the declared type allows, to tell whether edited values still fit it.
    bool integer = false;
    int64_t minValue = 0, maxValue = 0;
    bool decimal = false;
    int precision = 0, scale = 0;
    bool unknownScale = false;
    bool unsigned64 = false; // ui8, held as a decimal
    double realLimit = 0;    // largest magnitude of r4; 0 for any double
    // Date-times read with a zone: the value as read (wall-clock msecs here) and its text.
    std::unordered_map<uint32_t, std::pair<int64_t, std::string>> zoned;
};

struct DeclaredChapter {
    int output = -1;      // the marker field
    std::string schema;   // its s:ElementType, in this program's prefixes
};

struct Declared {
    std::vector<DeclaredColumn> columns; // in column order, hidden ones included
    std::vector<DeclaredChapter> chapters;
    RowStore hidden;                     // values of hidden columns, as text
    std::vector<std::string> nested;     // per row: its child rows, serialised
    size_t rows = 0;                     // rows of the load
};

} // namespace data::rowsetxml
