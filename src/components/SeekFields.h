#pragma once
// Which fields of a dataset a seek-field list names. Names are ";"-separated and match
// field names without regard to letter case and to blanks around either name (so a
// field named " " or " 前後 " is found like any other); calculated fields
// never match; a name given twice gives its field twice. The last name counts alone only
// when an earlier name found a field: otherwise the whole text is the name, so a list
// whose earlier names match nothing finds nothing (and a single field whose name holds
// ";" can still be named).
#include <QString>
#include <vector>

namespace data {
class Dataset;
class Field;
}

namespace components {

// The seek dialog has room for this many fields; further matches are dropped.
inline constexpr int kMaxSeekFields = 9;

std::vector<data::Field *> resolveSeekFields(const QString &seekField, const data::Dataset *dataset);

} // namespace components
