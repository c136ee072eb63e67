#include "MaintenanceMessages.h"
#include "platform/RegionalDateTime.h"
#include <QRegularExpression>

namespace maintenance {

QString reindexProgress(const QString &table)
{
    return table + QStringLiteral(" 索引檔重整中 ......");
}

QString shrinkDataProgress(const QString &database)
{
    return database + QStringLiteral(" Data壓縮中，請稍待 .........");
}

QString shrinkLogProgress(const QString &database)
{
    return database + QStringLiteral(" Log壓縮中，請稍待 .........");
}

QString backupProgress(const QString &database)
{
    return database + QStringLiteral(" 資料庫備份中，請稍待 ......");
}

QString shrinkResultMessage(int failures)
{
    static const QString messages[] = {
        QStringLiteral("Data \n\rLog\n\r壓縮成功!!"),        // both shrunk
        QStringLiteral("Data 壓縮失敗!!\n\rLog 壓縮成功!!"),  // data failed
        QStringLiteral("Data 壓縮成功!!\n\rLog 壓縮失敗!!"),  // log failed
        QStringLiteral("Data \n\rLog\n\r壓縮失敗!!"),        // both failed
    };
    return messages[failures & 3];
}

QString backupSuccessMessage(const QString &folder, const QString &start, const QString &end)
{
    return QStringLiteral("資料備份成功，備份位置 ") + folder + QStringLiteral("\n\r") +
           QStringLiteral("起始時間：") + start + QStringLiteral("\n\r") + QStringLiteral("終止時間：") + end;
}

QString regionalDateTime(const QDateTime &value, const QLocale &locale)
{
    return platform::regionalDateTime(value, locale);
}

} // namespace maintenance
