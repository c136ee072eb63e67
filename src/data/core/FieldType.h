#pragma once
#include <QString>

namespace data {

// Field kinds as the rest of the program names them.
enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
    ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo,
    ftGraphic, ftFixedChar, ftWideString, ftLargeint, ftGuid, ftFMTBcd, ftWideMemo
};

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// How a column's values are held in memory. Money is a 64-bit count of ten-thousandths,
// so currency stays exact from the file or the database to the screen and back.
enum class StorageKind : unsigned char { Int, Real, DateTime, Text, Bytes, Money };

StorageKind storageFor(TFieldType type);
bool isBlobType(TFieldType type);      // memo, wide memo, blob, graphic
bool isNumericType(TFieldType type);
QString fieldTypeName(TFieldType type); // "ftInteger" ...

} // namespace data
