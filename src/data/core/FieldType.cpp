#include "data/core/FieldType.h"

namespace data {

StorageKind storageFor(TFieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftAutoInc: case ftLargeint:
        return StorageKind::Int;
    case ftFloat:
        return StorageKind::Real;
    case ftCurrency:
        return StorageKind::Money;
    case ftDate: case ftTime: case ftDateTime:
        return StorageKind::DateTime;
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic:
        return StorageKind::Bytes;
    default:
        return StorageKind::Text; // strings, memos, exact decimals, GUIDs
    }
}

bool isBlobType(TFieldType type)
{
    return type == ftMemo || type == ftWideMemo || type == ftBlob || type == ftGraphic;
}

bool isNumericType(TFieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

QString fieldTypeName(TFieldType type)
{
    static const char *const names[] = {
        "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
        "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
        "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFixedChar", "ftWideString",
        "ftLargeint", "ftGuid", "ftFMTBcd", "ftWideMemo"};
    int i = int(type);
    return (i >= 0 && i < int(sizeof names / sizeof *names)) ? QString::fromLatin1(names[i])
                                                              : QStringLiteral("ftUnknown");
}

} // namespace data
