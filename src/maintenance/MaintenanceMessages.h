#pragma once
// What the maintenance commands tell the user: progress texts for the status bar and the
// closing messages. Two-line messages hold the pair "\n\r" as the program writes them.
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace maintenance {

QString reindexProgress(const QString &table);   // "{table} 索引檔重整中 ......"
QString shrinkDataProgress(const QString &database);
QString shrinkLogProgress(const QString &database);
QString backupProgress(const QString &database);

// Outcome of the shrink: 1 is added when the data file failed, 2 when the log file did.
enum ShrinkFailure { kDataShrinkFailed = 1, kLogShrinkFailed = 2 };
QString shrinkResultMessage(int failures);

// "資料備份成功，備份位置 {folder}\n\r起始時間：{start}\n\r終止時間：{end}"
QString backupSuccessMessage(const QString &folder, const QString &start, const QString &end);

// A date and time as the workstation shows them (platform/RegionalDateTime.h).
QString regionalDateTime(const QDateTime &value, const QLocale &locale = QLocale::system());

} // namespace maintenance
