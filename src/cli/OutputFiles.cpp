#include "OutputFiles.h"
#include "Console.h"
#include "ConsoleStop.h"
#include "Failures.h"
#include "data/core/Dataset.h"
#include "platform/ProgramFolders.h"
#include <QDir>
#include <QFileInfo>

namespace cli {

const QCommandLineOption kDirOption{QStringLiteral("dir"), QStringLiteral("檔案寫入的目錄 (預設為視窗程式的匯出目錄)"),
                                    QStringLiteral("DIR")};

exchange::ExportFormat formatOption(const QCommandLineParser &parser)
{
    const QString name = parser.value(QStringLiteral("format"));
    if (name.isEmpty())
        return exchange::ExportFormat::Xml;
    if (const auto format = exchange::exportFormatNamed(name))
        return *format;
    throw UsageError{QStringLiteral("不支援的格式 \"%1\" (可用 xml、txt、xls)").arg(name)};
}

QString folderOption(const QCommandLineParser &parser)
{
    const QString dir = parser.value(QStringLiteral("dir"));
    const QString folder = dir.isEmpty() ? platform::outputFolder() : QFileInfo(dir).absoluteFilePath();
    const QFileInfo info(folder);
    if (!info.exists())
        throw WorkFailure{QStringLiteral("目錄不存在：%1").arg(folder)};
    if (!info.isDir())
        throw WorkFailure{QStringLiteral("不是目錄 (是一個檔案)：%1").arg(folder)};
    return QDir::cleanPath(folder);
}

void writeDataset(exchange::ExportFormat format, const QString &path, data::Dataset &dataset)
{
    throwIfStopped(); // a stop that came after the database had answered: no file
    qint64 replaced = 0;
    try {
        replaced = exchange::writeDatasetFile(format, path, dataset, QDateTime::currentDateTime());
    } catch (const data::FetchStopped &e) {
        throw Stopped{e.message()};
    }
    endProgress();
    printLine(path);
    if (replaced > 0)
        printMessage(QStringLiteral("%1：其中 %2 項文字含有 Big5 (code page 950) 無法表示的字元，已以 \"?\" 代替寫入")
                         .arg(path)
                         .arg(replaced));
}

} // namespace cli
