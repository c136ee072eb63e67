#include "BackupFolder.h"

namespace maintenance {

namespace {

// "\" for Windows paths; "/" only for a path that has no backslash but a slash (a server
// on Linux).
QChar separatorOf(const QString &path)
{
    if (!path.contains(QLatin1Char('\\')) && path.contains(QLatin1Char('/')))
        return QLatin1Char('/');
    return QLatin1Char('\\');
}

// Everything before the last separator; a drive root ("C:\") or the root "/" keeps it.
QString folderPart(const QString &path, QChar separator)
{
    const qsizetype last = path.lastIndexOf(separator);
    if (last < 0)
        return path.size() >= 2 && path.at(1) == QLatin1Char(':') ? path.left(2) : QString();
    const bool driveRoot = last == 2 && path.at(1) == QLatin1Char(':');
    const bool slashRoot = last == 0;
    return path.left(driveRoot || slashRoot ? last + 1 : last);
}

} // namespace

QString backupFolder(const QString &firstFileName)
{
    const QString path = firstFileName.trimmed();
    const QChar separator = separatorOf(path);
    QString folder = folderPart(path, separator);
    const qsizetype data = folder.indexOf(QLatin1String("data"), 0, Qt::CaseInsensitive);
    if (data >= 0)
        folder.truncate(qMax<qsizetype>(0, data - 1)); // keep what precedes the character before "data"
    return folder + separator;
}

} // namespace maintenance
