#pragma once
// A dataset open on a fresh SQLite file that a script has just built: the fixture of
// tests that need a few known rows to work on.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "support/SqliteScript.h"
#include <QTemporaryDir>
#include <QtGlobal>

namespace testsupport {

struct SqliteDataset {
    QTemporaryDir dir;
    data::Connection conn;
    data::Dataset ds;

    // A script that fails leaves nothing worth testing: the run stops with its error.
    SqliteDataset(const QString &fileName, const char *script, const QString &select)
    {
        const QString file = dir.path() + QLatin1Char('/') + fileName;
        const QString error = sqliteScriptError(file, script);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        ds.setConnection(&conn);
        ds.setCommandText(select);
        ds.Open();
    }
};

} // namespace testsupport
