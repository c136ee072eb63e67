#include "BatchExportLog.h"
#include "Cp950Encoder.h"
#include "ExportError.h"
#include "platform/SaveFile.h"
#include "platform/RegionalDateTime.h"
#include <QSaveFile>
#include <cerrno>

namespace exchange {

QString logTimeText(const QDateTime &when)
{
    return platform::regionalDateTime(when);
}

QString tableLogLine(const QString &table, const QDateTime &start, const QDateTime &end)
{
    return QLatin1Char('[') + table + QLatin1Char(']') + logTimeText(start) + QStringLiteral(" 至 ") +
           logTimeText(end);
}

QString totalLogLine(const QDateTime &start, const QDateTime &end)
{
    return QStringLiteral("總所需時間：") + logTimeText(start) + QStringLiteral(" 至 ") + logTimeText(end);
}

void writeLogLines(const QString &path, const QStringList &lines)
{
    std::string bytes;
    for (const QString &line : lines) {
        Cp950Encoder::instance().append(line, bytes);
        bytes += "\r\n";
    }
    QSaveFile file(path);
    errno = 0;
    if (!platform::openForSave(file) || !platform::writeAll(file, bytes.data(), qint64(bytes.size())) || !file.commit())
        throw ExportError(QStringLiteral("無法寫入 \"%1\"：%2").arg(path, platform::saveFailureReason(file, errno)));
}

} // namespace exchange
