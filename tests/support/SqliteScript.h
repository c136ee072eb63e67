#pragma once
// Runs SQL on a SQLite file through a connection of its own, as another user would,
// outside the program's data layer. Used to build fixtures and to change rows behind a
// dataset's back.
#include <QString>
#include <sqlite3.h>

namespace testsupport {

// The database's error text, or an empty string when every statement ran.
inline QString sqliteScriptError(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return message.isEmpty() ? QStringLiteral("cannot open %1").arg(file) : message;
    }
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    const QString message = rc == SQLITE_OK ? QString() : QString::fromUtf8(err ? err : sqlite3_errmsg(db));
    sqlite3_free(err);
    sqlite3_close(db);
    return message;
}

} // namespace testsupport
