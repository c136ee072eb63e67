#include "data/core/StatementText.h"
#include "data/core/DatabaseError.h"

namespace data {

namespace {

// Index just past a quoted run opened at `open` and closed by `close`, a doubled closing
// character standing for itself; -1 when it never closes.
qsizetype skipQuoted(const QString &sql, qsizetype open, QChar close)
{
    for (qsizetype i = open + 1; i < sql.size(); ++i) {
        if (sql[i] != close)
            continue;
        if (i + 1 < sql.size() && sql[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

// Index just past a comment starting at i, i itself when none starts there, -1 when a
// block comment never closes.
qsizetype skipComment(const QString &sql, qsizetype i)
{
    if (sql.mid(i, 2) == QLatin1String("--")) {
        const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? sql.size() : end + 1;
    }
    if (sql.mid(i, 2) == QLatin1String("/*")) {
        const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? -1 : end + 2;
    }
    return i;
}

} // namespace

bool holdsOneStatement(const QString &sql, const StatementQuoting &quoting)
{
    bool ended = false; // a top-level semicolon was passed
    qsizetype i = 0;
    while (i < sql.size()) {
        const qsizetype afterComment = skipComment(sql, i);
        if (afterComment < 0)
            return false;
        if (afterComment != i) {
            i = afterComment;
            continue;
        }
        const QChar c = sql[i];
        if (c == QLatin1Char(';')) {
            ended = true;
            ++i;
            continue;
        }
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (ended)
            return false; // the start of a second statement
        QChar close;
        if (c == QLatin1Char('\''))
            close = c;
        else if (c == quoting.identifierQuote || c == QLatin1Char('"'))
            close = c;
        else if (quoting.brackets && c == QLatin1Char('['))
            close = QLatin1Char(']');
        if (close.isNull()) {
            ++i;
            continue;
        }
        i = skipQuoted(sql, i, close);
        if (i < 0)
            return false;
    }
    return true;
}

void requireOneStatement(const QString &sql, const StatementQuoting &quoting)
{
    if (!holdsOneStatement(sql, quoting))
        failNotOneStatement(sql);
}

void failNotOneStatement(const QString &sql)
{
    throw DatabaseError(QStringLiteral("命令只能含一個 SQL 陳述式：%1").arg(sql));
}

} // namespace data
