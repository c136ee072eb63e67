#pragma once
// Runs SQL on a SQLite file through a connection of its own, as another user would,
// outside the program's data layer. Used to build fixtures and to change rows behind a
// dataset's back.
#include <QString>
#include <QStringList>
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

// The first column of every row `sql` returns, read through a read-only connection;
// empty when the file or the query fails.
inline QStringList sqliteColumn(const QString &file, const QString &sql)
{
    QStringList out;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// The first column of the first row `sql` returns; a null string when there is none.
inline QString sqliteValue(const QString &file, const QString &sql)
{
    return sqliteColumn(file, sql).value(0);
}

} // namespace testsupport
