#include "RegionalDateTime.h"
#include <QRegularExpression>

namespace platform {

QString regionalDateTime(const QDateTime &value, const QLocale &locale)
{
    // Qt's long time format names the time zone ("t", "[t]"); the workstation's does not.
    static const QRegularExpression zone(QStringLiteral("\\s*\\[t+\\]|\\s+t+(?=\\s|$)|^t+\\s*"));
    // CLDR's day period "B" (zh_TW: "Bh:mm:ss") is no format letter of this Qt: it
    // would show as a letter before a 24-hour hour. Morning and afternoon read alike as
    // the AM/PM marker.
    static const QRegularExpression dayPeriod(QStringLiteral("B(?=h)"));
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(zone).replace(dayPeriod, QStringLiteral("AP"));
    return locale.toString(value.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(value.time(), timeFormat.trimmed());
}

} // namespace platform
