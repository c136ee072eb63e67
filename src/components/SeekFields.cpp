#include "SeekFields.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"

namespace components {

namespace {

void appendMatches(const QString &name, const data::Dataset &dataset, std::vector<data::Field *> &found)
{
    const QString wanted = name.trimmed().toLower();
    for (int i = 0; i < dataset.FieldCount(); ++i) {
        data::Field *field = dataset.Fields(i);
        if (field->FieldKind() != data::fkCalculated && field->FieldName().trimmed().toLower() == wanted)
            found.push_back(field);
    }
}

} // namespace

std::vector<data::Field *> resolveSeekFields(const QString &seekField, const data::Dataset *dataset)
{
    std::vector<data::Field *> found;
    if (seekField.isEmpty() || !dataset)
        return found;
    qsizetype start = 0;
    for (qsizetype end = seekField.indexOf(QLatin1Char(';')); end >= 0;
         end = seekField.indexOf(QLatin1Char(';'), start)) {
        appendMatches(seekField.mid(start, end - start), *dataset, found);
        start = end + 1;
    }
    appendMatches(found.empty() ? seekField : seekField.mid(start), *dataset, found);
    if (found.size() > size_t(kMaxSeekFields))
        found.resize(size_t(kMaxSeekFields));
    return found;
}

} // namespace components
