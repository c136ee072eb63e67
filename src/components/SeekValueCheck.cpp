#include "SeekValueCheck.h"
#include <QDate>
#include <QLocale>

namespace components {

using namespace data;

namespace {

const QString kNotANumber = QStringLiteral("輸入非數值字元");
const QString kNotADate = QStringLiteral("輸入非日期字元");

// Numbers are read in the C locale's format, then in the user's.
bool readsAsInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    QLocale::c().toLongLong(t, &ok);
    if (!ok)
        QLocale::system().toLongLong(t, &ok);
    return ok;
}

bool readsAsNumber(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    QLocale::c().toDouble(t, &ok);
    if (!ok)
        QLocale::system().toDouble(t, &ok);
    return ok;
}

QDate dateOf(const QString &text)
{
    return QDate::fromString(text.trimmed(), QLatin1String(kSeekDateFormat));
}

bool readsAsDate(const QString &text)
{
    return dateOf(text).isValid();
}

} // namespace

SeekValueKind seekValueKindOf(TFieldType type)
{
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
        return SeekValueKind::Integer;
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
        return SeekValueKind::Number;
    case ftDate: case ftDateTime:
        return SeekValueKind::Date;
    default:
        return SeekValueKind::Free;
    }
}

QString seekValueProblem(TFieldType type, const QString &text, SeekCheckMode mode)
{
    switch (seekValueKindOf(type)) {
    case SeekValueKind::Integer:
        return text.isEmpty() || readsAsInteger(text) ? QString() : kNotANumber;
    case SeekValueKind::Number: {
        const bool empty = mode == SeekCheckMode::Search ? text.trimmed().isEmpty() : text.isEmpty();
        return empty || readsAsNumber(text) ? QString() : kNotANumber;
    }
    case SeekValueKind::Date:
        return readsAsDate(text) ? QString() : kNotADate;
    case SeekValueKind::Free:
        break;
    }
    return QString();
}

bool countsAsSeekValue(TFieldType type, const QString &text)
{
    if (text.isEmpty())
        return false;
    const SeekValueKind kind = seekValueKindOf(type);
    return (kind != SeekValueKind::Integer && kind != SeekValueKind::Number) || !text.trimmed().isEmpty();
}

} // namespace components

namespace components {

QVariant seekKeyOf(TFieldType type, const QString &text)
{
    if (seekValueKindOf(type) == SeekValueKind::Date) {
        if (const QDate date = dateOf(text); date.isValid())
            return date;
    }
    return text;
}

} // namespace components
