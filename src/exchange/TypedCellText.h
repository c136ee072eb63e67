#pragma once
// What a spreadsheet makes of text typed into a cell of the General format: a number
// stays a number, a date, a date-time or a time of day becomes a date serial with a date
// format, TRUE or FALSE in any case (a Boolean field's "True"/"False") becomes a logical
// value, anything else stays text. Forms the spreadsheet would change in a way that
// loses data stay text here: numbers with more than 15 significant digits (a double
// cannot hold them), dates before 1900, and short forms such as "1-2" that only guess
// at a date.
#include <QString>

namespace exchange {

enum class CellKind { Text, Number, Date, DateTime, DateTimeMinutes, Time, Logical };

struct TypedCell {
    CellKind kind = CellKind::Text;
    double number = 0; // the value, the date serial (days since 1899-12-30, 1900 system), 1/0 logical
};

TypedCell convertTypedText(const QString &text);

// Characters of width the sheet gives the text: East Asian wide characters count two.
int displayWidthOf(const QString &text);

} // namespace exchange
