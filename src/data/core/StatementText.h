#pragma once
// Where a SQL text's first statement ends, read from the text alone: at a semicolon
// outside string literals, quoted names and comments. The ODBC providers use it to keep
// a command built from a name to one statement before the text reaches the driver;
// SQLite asks its own parser instead.
#include <QString>

namespace data {

struct StatementQuoting {
    QChar identifierQuote = QLatin1Char('"'); // doubled inside a name
    bool brackets = false;                    // [...] names (SQL Server)
};

// Whether the text holds at most one statement: after a first top-level semicolon only
// blanks, comments and further semicolons follow, and every literal, quoted name and
// block comment is closed.
bool holdsOneStatement(const QString &sql, const StatementQuoting &quoting);

// Throws DatabaseError naming the text when holdsOneStatement is false.
void requireOneStatement(const QString &sql, const StatementQuoting &quoting);
// The error for a command that should have been one statement and holds more.
[[noreturn]] void failNotOneStatement(const QString &sql);

} // namespace data
