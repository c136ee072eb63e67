#include "ProgramFolders.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString &overriddenFolder()
{
    static QString folder;
    return folder;
}

// access() rather than the mode bits: it also says no on a read-only mount, where
// root's write permission counts for nothing.
bool userMayWrite(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

bool isInstalledTree(const QString &folder)
{
    const QString entry = QStringLiteral("../share/applications/%1.desktop").arg(applicationId());
    return QFileInfo(QDir(folder).filePath(entry)).isFile();
}

// Creates every missing level; the levels made here are for the owner alone.
bool makeOwnerOnlyPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent == path || !makeOwnerOnlyPath(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir();
}

QString withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

QString applicationId()
{
    return QStringLiteral(ADO_APPLICATION_ID);
}

QString programFolder()
{
    if (!overriddenFolder().isEmpty())
        return overriddenFolder();
    return QCoreApplication::applicationDirPath();
}

bool usesProgramFolder(const QString &folder)
{
    return userMayWrite(folder) && !isInstalledTree(folder);
}

QString settingsFolder()
{
    const QString program = programFolder();
    if (usesProgramFolder(program))
        return program;
    const QString config = withoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (config.isEmpty())
        return program; // no home folder at all: the store reports the folder it cannot write
    makeOwnerOnlyPath(config); // a failure shows when a settings file is written there
    return config;
}

QString outputFolder()
{
    const QString program = programFolder();
    if (usesProgramFolder(program))
        return program;
    const QString documents = withoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (documents.isEmpty())
        return program;
    QDir().mkpath(documents);
    return documents;
}

void overrideProgramFolder(const QString &folder)
{
    overriddenFolder() = folder;
}

} // namespace platform
