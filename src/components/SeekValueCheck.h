#pragma once
// What the seek dialog accepts in the edit of a field, by the field's type: whole
// numbers, numbers, dates in the grid's short date format, or anything.
#include "data/core/FieldType.h"
#include <QString>
#include <QVariant>

namespace components {

enum class SeekValueKind { Integer, Number, Date, Free };

SeekValueKind seekValueKindOf(data::TFieldType type);

// Empty when `text` fits; otherwise the message to show ("輸入非數值字元",
// "輸入非日期字元"). In the search, blanks alone in a number edit count as empty.
enum class SeekCheckMode { Typing, Search };
QString seekValueProblem(data::TFieldType type, const QString &text, SeekCheckMode mode);

// Whether a value of this type takes part in a search on several fields: numbers
// made only of blanks are left out, as empty ones are.
bool countsAsSeekValue(data::TFieldType type, const QString &text);

// The value handed to the locate for what was typed: a date edit's text (any form the
// check accepts) as the date itself, so that "2024/3/9" finds 2024/03/09; other text as
// typed.
QVariant seekKeyOf(data::TFieldType type, const QString &text);

// The short date format the grid shows dates in ("2024/03/09"); one-digit months and
// days are accepted too.
inline constexpr const char *kSeekDateFormat = "yyyy/M/d";

} // namespace components
