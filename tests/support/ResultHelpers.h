#pragma once
// Small readers of fetched results and errors shared by the data-layer tests.
#include "data/core/DatabaseError.h"
#include "data/core/ProviderSession.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace testsupport {

inline int columnIndex(const data::ResultSet &rs, const QString &name)
{
    for (size_t i = 0; i < rs.columns.size(); ++i)
        if (rs.columns[i].name == name)
            return int(i);
    return -1;
}

inline QVariant cell(const data::ResultSet &rs, size_t row, int column)
{
    return rs.rows.columns[size_t(column)].value(row, rs.columns[size_t(column)].type);
}

inline QVariant cell(const data::ResultSet &rs, size_t row, const QString &column)
{
    const int c = columnIndex(rs, column);
    if (c < 0)
        return QStringLiteral("<no column %1>").arg(column);
    return cell(rs, row, c);
}

inline QStringList columnTexts(const data::ResultSet &rs, const QString &column)
{
    QStringList out;
    for (size_t r = 0; r < rs.rows.rowCount(); ++r)
        out << cell(rs, r, column).toString();
    return out;
}

// The DatabaseError f throws; one whose message is "<no error>" when it throws none.
inline data::DatabaseError errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const data::DatabaseError &e) {
        return e;
    }
    return data::DatabaseError(QStringLiteral("<no error>"));
}

// The message of the DatabaseError f throws, or "<no error>".
inline QString errorTextOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const data::DatabaseError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace testsupport
