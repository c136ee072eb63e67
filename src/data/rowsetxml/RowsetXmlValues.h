#pragma once
// Values of the rowset XML files: the text forms of XML-Data types, read strictly. A value
// either reads exactly or the parser says why not.
#include "data/core/ExactNumber.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace data::rowsetxml::detail {

// What a parser found in a value: what the message of a refused value says.
enum class ValueCheck { Ok, Invalid, OutOfRange, TooPrecise, ZoneOnDateOrTime };

std::string_view trimmed(std::string_view s);  // XML blanks at both ends removed
bool same(std::string_view a, std::string_view b); // ASCII letters without case
std::string lowered(std::string_view s);       // trimmed, ASCII letters in lower case

// "+12", "-3": 64-bit integers; OutOfRange beyond them.
ValueCheck parseInteger(std::string_view s, int64_t &v);
// What a ui8 value may be: a decimal from 0 to 18446744073709551615 (its digits past the
// point are the scale's business).
inline constexpr std::string_view kMaxUi8 = "18446744073709551615";
bool fitsUnsigned64(const exact::Decimal &d);

// True/False in any case, 1, 0 and -1.
bool parseBoolean(std::string_view s, int64_t &v);
// Doubles; INF and NaN only when written as such, a finite text beyond the double range
// (or a non-zero that reads as zero) is OutOfRange.
ValueCheck parseReal(std::string_view s, double &v);
// 36 hex digits and hyphens, with or without braces.
bool isGuidText(std::string_view s);
// Pairs of hex digits; blanks and line ends between pairs are allowed.
bool parseHexBytes(std::string_view s, std::string &out);
bool parseBase64Bytes(std::string_view s, std::string &out);
// yyyy-mm-dd[Thh:mm[:ss[.fff]]][Z|+hh:mm|-hh:mm], or a lone hh:mm[:ss[.fff]] (a time of
// day, on the day the time columns use), as wall-clock milliseconds (ColumnStore's form).
// Years run from 1 to 9999: there is no year 0. Digits past the milliseconds must be
// zeros (TooPrecise). A date and time with a zone is converted to this machine's local
// time, the time every other value is in; a date or a time alone cannot be converted
// (ZoneOnDateOrTime).
// `zoned` (when given) tells whether the text named a zone.
ValueCheck parseDateTime(std::string_view s, int64_t &msecs, bool *zoned = nullptr);

// Characters XML 1.0 cannot carry at all, not even as a character reference: U+0000 to
// U+001F other than TAB, LF and CR, and U+FFFE, U+FFFF. Text holding them is written with
// the escape "_xHHHH_" (four hex digits of the code unit, as spreadsheet files spell
// such characters), and an underscore that would otherwise begin "_xHHHH" is written
// "_x005F_". Reading decodes exactly these two kinds: "_xHHHH_" naming such a character
// or 005F; any other "_x...." text stays as it is.
bool isEscapedCharacter(uint32_t cp);
// Whether s[i] begins "_x" and four hex digits (an underscore the writer must escape).
bool startsHexEscapeShape(std::string_view s, size_t i);
// The text with the escapes decoded into `out`; false (and `out` unused) when it has none.
bool decodeTextEscapes(std::string_view s, std::string &out);

} // namespace data::rowsetxml::detail
