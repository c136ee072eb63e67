#pragma once
// The demo database the window tests open: demo/demo.sql of the source tree, run into a
// fresh SQLite file.
#include "support/SqliteScript.h"
#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {

// Builds `file` from the demo script, then `extraSql`. The reason it failed, or an empty
// string once the file holds every table.
inline QString demoDatabaseError(const QString &file, const QByteArray &extraSql = QByteArray())
{
    QFile script(qEnvironmentVariable("ADO_TEST_SOURCE_DIR") + QStringLiteral("/demo/demo.sql"));
    if (!script.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(script.fileName());
    return sqliteScriptError(file, (script.readAll() + extraSql).constData());
}

} // namespace testsupport
