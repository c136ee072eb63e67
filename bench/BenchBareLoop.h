#pragma once
// The yardstick of the dataset benchmarks: a plain sqlite3_step loop over table T that
// reads every value in its natural type and keeps nothing.
#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <sqlite3.h>

namespace bench {

struct BareFetch {
    double allMs = 0;
    double firstRowsMs = 0; // when the first `firstRows` rows were in (0: not asked)
};

inline BareFetch bareFetch(const QString &file, long long firstRows = 0)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    BareFetch out;
    QElapsedTimer t;
    t.start();
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "Select * From T", -1, &st, nullptr);
    const int cols = sqlite3_column_count(st);
    long long sum = 0, rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: sum += sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: sum += (long long)sqlite3_column_double(st, c); break;
            case SQLITE_TEXT: sum += sqlite3_column_text(st, c)[0]; break;
            default: break;
            }
        }
        if (++rows == firstRows)
            out.firstRowsMs = t.nsecsElapsed() / 1e6;
    }
    out.allMs = t.nsecsElapsed() / 1e6;
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (sum == 42) // keeps the reads from being optimised away
        std::puts("");
    return out;
}

} // namespace bench
