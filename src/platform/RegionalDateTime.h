#pragma once
// A date and time as the workstation shows them in messages and logs: the locale's
// short date, a blank, and its long time without the time-zone name.
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace platform {

QString regionalDateTime(const QDateTime &value, const QLocale &locale = QLocale::system());

} // namespace platform
