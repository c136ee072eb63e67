#pragma once
// The 1,000,000-row, 8-column table the benchmarks measure: integers, a real, a date-time,
// Chinese and ASCII text with XML-special characters, 10% NULLs.
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace bench {

inline void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

inline void buildTable(const QString &file, int rows)
{
    sqlite3 *db = nullptr;
    check(sqlite3_open(file.toUtf8().constData(), &db), db, "open");
    check(sqlite3_exec(db,
                       "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                       "CREATE TABLE T (id INTEGER PRIMARY KEY, name NVARCHAR(40), city NVARCHAR(20),"
                       " qty INTEGER, price REAL, created DATETIME, note TEXT, flag INTEGER);"
                       "BEGIN;",
                       nullptr, nullptr, nullptr),
          db, "create");
    sqlite3_stmt *st = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?,?,?,?,?,?,?,?)", -1, &st, nullptr), db, "prepare");
    const char *cities[] = {"台北", "台中", "高雄", "Tainan", "新竹"};
    for (int i = 1; i <= rows; ++i) {
        char name[64], created[32], note[64];
        std::snprintf(name, sizeof name, "客戶 %07d", i);
        std::snprintf(created, sizeof created, "20%02d-%02d-%02d %02d:%02d:%02d", i % 25, 1 + i % 12,
                      1 + i % 28, i % 24, i % 60, (i * 7) % 60);
        std::snprintf(note, sizeof note, "note <%d> & \"quoted\" 'text'", i * 31);
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_text(st, 2, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, cities[i % 5], -1, SQLITE_STATIC);
        sqlite3_bind_int64(st, 4, i % 1000);
        sqlite3_bind_double(st, 5, (i % 100000) / 100.0);
        sqlite3_bind_text(st, 6, created, -1, SQLITE_TRANSIENT);
        if (i % 10 == 0)
            sqlite3_bind_null(st, 7);
        else
            sqlite3_bind_text(st, 7, note, -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 8, i & 1);
        check(sqlite3_step(st), db, "insert");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

} // namespace bench
