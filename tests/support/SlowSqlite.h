#pragma once
// SQLite work that takes seconds, for stopping commands: `big` holds 1,000 rows, and
// counting a cross join of three copies of it steps through 10⁹ rows.
namespace testsupport {

inline constexpr const char *kSlowSqliteBigTable =
    "CREATE TABLE big (x);"
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1000) "
    "INSERT INTO big SELECT x FROM c;";

// The count as a select of its own.
inline constexpr const char *kSlowSqliteCount = "select count(*) from big a, big b, big c";

// Table t (id key, v) holding (1, 'a'), whose update trigger runs the count: a post of
// any change to it takes seconds. Needs the big table.
inline constexpr const char *kSlowSqliteUpdateTable =
    "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT);"
    "INSERT INTO t VALUES (1, 'a');"
    "CREATE TRIGGER slow AFTER UPDATE ON t BEGIN SELECT count(*) FROM big a, big b, big c; END;";

} // namespace testsupport
