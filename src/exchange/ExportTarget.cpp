#include "ExportTarget.h"
#include <QDir>

namespace exchange {

QString ExportTarget::filePath(const QString &extension) const
{
    return QDir(dir).filePath(name + extension);
}

ExportTarget exportTargetFor(const QString &fileName, const QString &defaultDir)
{
    const qsizetype cut = fileName.lastIndexOf(QLatin1Char('/'));
    QString folder = cut < 0 ? QString() : fileName.left(cut);
    if (cut == 0)
        folder = QStringLiteral("/");
    const QString name = fileName.mid(cut + 1);
    ExportTarget target;
    if (folder.isEmpty())
        target.dir = defaultDir;
    else if (QDir::isRelativePath(folder))
        target.dir = QDir::cleanPath(QDir(defaultDir).filePath(folder));
    else
        target.dir = folder;
    target.name = name.trimmed().isEmpty() ? QStringLiteral("Temp") : name;
    return target;
}

QString exportDoneMessage(const QString &fileName, const QString &dir)
{
    return QStringLiteral("已產生  \"") + fileName + QStringLiteral("\" 檔案至 \"") + dir +
           QStringLiteral("\" 目錄下!!");
}

} // namespace exchange
