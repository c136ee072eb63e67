#pragma once
#include "data/core/FieldType.h"
#include <QString>

namespace data {

// What a provider (or a loaded XML file) says about one result column.
struct ColumnInfo {
    QString name;
    TFieldType type = ftWideString;
    int size = 0;            // characters for text, bytes for binary, 0 = unlimited
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool readOnly = false;
    bool autoIncrement = false;
    bool keyColumn = false;
    bool fixedLength = false;
    bool isLong = false;     // memo / blob data
    bool ansi = false;       // single-byte text on the server (varchar rather than nvarchar)
    QString baseCatalog;
    QString baseSchema;
    QString baseTable;
    QString baseColumn;
};

} // namespace data
